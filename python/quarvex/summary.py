"""A packing told for people: what goes into which box, and what is left out."""

import textwrap

from ._core import PackedBox, PackResult


def _weight_text(packed_box: PackedBox) -> str:
    if packed_box.box.has_weight_limit:
        return f"{packed_box.weight:.2f} of {packed_box.box.max_weight:.2f} kg"
    return f"{packed_box.weight:.2f} kg"


def summary_text(result: PackResult) -> str:
    """The packing as lines of text: a headline, each box and its items, the items not packed.

    >>> from quarvex import Box, Item, pack
    >>> print(summary_text(pack([Item("A", "a", 1, 1, 1, 1)], [Box("S", 2, 2, 2, -1)])))
    Packed 1 of 1 items into 1 boxes, 12.5 % of their volume used.
    <BLANKLINE>
    Box 1: S (2 x 2 x 2), 1 items, 12.5 % full, 1.00 kg
        A
    """
    lines = [
        f"Packed {result.total_placed} of {result.total_placed + result.total_unplaced} items "
        f"into {len(result.boxes)} boxes, {result.overall_volume_utilisation:.1f} % of their volume used."
    ]
    for number, packed_box in enumerate(result.boxes, start=1):
        box = packed_box.box
        lines.append(
            f"\nBox {number}: {box.reference} ({box.width:g} x {box.length:g} x {box.depth:g}), "
            f"{len(packed_box)} items, {packed_box.volume_utilisation:.1f} % full, {_weight_text(packed_box)}"
        )
        contents = ", ".join(
            placed.item.item_code + ("*" if placed.rotated else "") for placed in packed_box.items
        )
        lines.append(textwrap.fill(contents, width=88, initial_indent="    ", subsequent_indent="    "))
    if any(placed.rotated for packed_box in result.boxes for placed in packed_box.items):
        lines.append("\n(* placed turned from the way it was described)")

    if result.unplaced_items:
        lines.append(f"\nNot packed ({result.total_unplaced}):")
        for item in result.unplaced_items:
            lines.append(
                f"    {item.item_code}: {item.item_reference}, "
                f"{item.width:g} x {item.length:g} x {item.depth:g}, {item.weight:g} kg"
            )
    return "\n".join(lines)
