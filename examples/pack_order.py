"""Pack one order with quarvex and print what goes into which box.

Usage: python examples/pack_order.py examples/order.json
(the same as `quarvex pack examples/order.json --summary`)
"""

import json
import sys

from quarvex.summary import summary_text

import quarvex


def main(path: str) -> None:
    with open(path, encoding="utf-8") as file:
        order = json.load(file)
    result = quarvex.pack_dicts(order.get("items"), order.get("boxes"))
    print(summary_text(result))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-2])
    main(sys.argv[1])
