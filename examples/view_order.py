"""Pack one order with quarvex and write a 3D picture of its boxes as one offline page.

Usage: python examples/view_order.py examples/order.json order.html
"""

import json
import sys

import quarvex
from quarvex import viz


def main(request_path: str, page_path: str) -> None:
    with open(request_path, encoding="utf-8") as file:
        order = json.load(file)
    result = quarvex.pack_dicts(order.get("items"), order.get("boxes"))
    viz.to_html(result, page_path)
    print(f"Wrote {page_path}: {len(result.boxes)} boxes, {result.total_unplaced} items not packed.")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    main(sys.argv[1], sys.argv[2])
