"""A packing told for people: what goes into which box, and what is left out."""

import textwrap

from ._core import PackedBox, PackResult

# Why an item was left out, for people: PackResult.unplaced_reasons() gives the codes.
REASON_TEXT = {
    "no_active_box_type": "the request has no active box type",
    "too_large": "larger than every box type in every allowed orientation",
    "too_heavy": "heavier than any box type's weight limit",
    "no_type_large_and_strong": "no box type is both large enough and allowed its weight",
    "box_group": "the box types that take it are used up by boxes of other box groups",
    "supply_exhausted": "the box types that take it are used up (MaximumBoxes)",
    "no_room_beside_others": "fits a box type on its own, but not beside the items packed",
}


def counted(number: int, one: str, many: str) -> str:
    """The number with the noun it counts.

    >>> counted(1, "box", "boxes"), counted(2, "box", "boxes")
    ('1 box', '2 boxes')
    """
    return f"{number} {one if number == 1 else many}"


def _weight_text(packed_box: PackedBox) -> str:
    # In the request's own unit of weight, which is not known here.
    if packed_box.box.has_weight_limit:
        return f"weight {packed_box.weight:g} of {packed_box.box.max_weight:g}"
    return f"weight {packed_box.weight:g}"


def summary_text(result: PackResult) -> str:
    """The packing as lines of text: a headline, each box and its items, the items not packed.

    >>> from quarvex import Box, Item, pack
    >>> print(summary_text(pack([Item("A", "a", 1, 1, 1, 1)], [Box("S", 2, 2, 2, -1)])))
    Packed 1 of 1 item into 1 box, 12.5 % of their volume used.
    <BLANKLINE>
    Box 1: S (2 x 2 x 2), 1 item, 12.5 % full, weight 1
        A
    """
    items = counted(result.total_placed + result.total_unplaced, "item", "items")
    lines = [
        f"Packed {result.total_placed} of {items} into {counted(len(result.boxes), 'box', 'boxes')}, "
        f"{result.overall_volume_utilisation:.1f} % of their volume used."
    ]
    for number, packed_box in enumerate(result.boxes, start=1):
        box = packed_box.box
        lines.append(
            f"\nBox {number}: {box.reference} ({box.width:g} x {box.length:g} x {box.depth:g}), "
            f"{counted(len(packed_box), 'item', 'items')}, {packed_box.volume_utilisation:.1f} % full, "
            f"{_weight_text(packed_box)}"
        )
        contents = ", ".join(
            placed.item.item_code + ("*" if placed.rotated else "") for placed in packed_box.items
        )
        lines.append(textwrap.fill(contents, width=88, initial_indent="    ", subsequent_indent="    "))
    if any(placed.rotated for packed_box in result.boxes for placed in packed_box.items):
        lines.append("\n(* placed turned from the way it was described)")

    if result.unplaced_items:
        lines.append(f"\nNot packed ({result.total_unplaced}):")
        for item, reason in zip(result.unplaced_items, result.unplaced_reasons()):
            lines.append(
                f"    {item.item_code}: {item.item_reference}, "
                f"{item.width:g} x {item.length:g} x {item.depth:g}, weight {item.weight:g}: "
                f"{REASON_TEXT.get(reason, reason)}"
            )
    return "\n".join(lines)
