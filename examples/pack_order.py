"""Pack one order with quarvex and print what goes into which box.

Usage: python examples/pack_order.py examples/order.json
"""

import json
import sys
import textwrap

import quarvex


def weight_text(packed_box: quarvex.PackedBox) -> str:
    if packed_box.box.has_weight_limit:
        return f"{packed_box.weight:.2f} of {packed_box.box.max_weight:.2f} kg"
    return f"{packed_box.weight:.2f} kg"


def main(path: str) -> None:
    with open(path, encoding="utf-8") as file:
        order = json.load(file)
    result = quarvex.pack_dicts(order.get("items"), order.get("boxes"))

    print(
        f"Packed {result.total_placed} of {result.total_placed + result.total_unplaced} items "
        f"into {len(result.boxes)} boxes, {result.overall_volume_utilisation:.1f} % of their volume used."
    )
    for number, packed_box in enumerate(result.boxes, start=1):
        box = packed_box.box
        print(
            f"\nBox {number}: {box.reference} ({box.width:g} x {box.length:g} x {box.depth:g}), "
            f"{len(packed_box)} items, {packed_box.volume_utilisation:.1f} % full, {weight_text(packed_box)}"
        )
        contents = ", ".join(
            placed.item.item_code + ("*" if placed.rotated else "") for placed in packed_box.items
        )
        print(textwrap.fill(contents, width=88, initial_indent="    ", subsequent_indent="    "))
    if any(placed.rotated for packed_box in result.boxes for placed in packed_box.items):
        print("\n(* placed turned from the way it was described)")

    if result.unplaced_items:
        print(f"\nNot packed ({result.total_unplaced}):")
        for item in result.unplaced_items:
            print(
                f"    {item.item_code}: {item.item_reference}, "
                f"{item.width:g} x {item.length:g} x {item.depth:g}, {item.weight:g} kg"
            )


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    main(sys.argv[1])
