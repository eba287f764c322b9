"""An independent check of a packing result against the request it came from.

Works on the plain-data form of a result (``PackResult.to_dict()`` or the
parsed text of ``solve``) and on the request's item and box dicts, so it
shares no code with the engine or its writers.
"""

from collections import Counter
from dataclasses import dataclass
from itertools import combinations

ALL_CODES = frozenset({"WLD", "LWD", "WDL", "LDW", "DWL", "DLW"})


def allowed_codes(rotation_name):
    name = "".join(c.lower() if "A" <= c <= "Z" else c for c in rotation_name or "BestFit")
    if name == "never":
        return frozenset({"WLD"})
    if name in ("keepflat", "keep_flat"):
        return frozenset({"WLD", "LWD"})
    return ALL_CODES


@dataclass(frozen=True)
class BoxType:
    width: float
    length: float
    depth: float
    capacity: float | None  # weight the contents may add; None: no limit
    active: bool
    max_quantity: int | None  # None: unlimited supply

    @classmethod
    def from_dict(cls, box):
        max_weight = box["MaxWeight"]
        empty = box.get("BoxWeight")
        empty = 0.0 if empty is None else empty
        limited = max_weight is not None and max_weight >= 0
        quantity = box.get("MaximumBoxes")
        return cls(
            width=box["Width"],
            length=box["Length"],
            depth=box["Depth"],
            capacity=max(0.0, max_weight - empty) if limited else None,
            active=box.get("Active", True) is not False,
            max_quantity=None if quantity is None else int(quantity),
        )


def item_signature(item):
    """What identifies one requested item, from a request item dict."""
    reference, weight = item.get("ItemReference"), item.get("Weight")
    return (
        item["ItemCode"],
        item["ItemCode"] if reference is None else reference,
        item["Width"],
        item["Length"],
        item["Depth"],
        0.0 if weight is None else weight,
        item.get("BoxGroup") or None,
    )


PLACEMENT_SIGNATURE = "ItemCode ItemReference original_width original_length original_depth weight box_group"
SIDE_OF = {"W": "original_width", "L": "original_length", "D": "original_depth"}


def placement_signature(p):
    return tuple(p[key] for key in PLACEMENT_SIGNATURE.split())


def placed_dims_for(code, placement):
    return tuple(placement[SIDE_OF[letter]] for letter in code)


def overlap(a_start, a_size, b_start, b_size):
    return min(a_start + a_size, b_start + b_size) - max(a_start, b_start)


def validate(result, items, boxes):
    """Assert that ``result`` is a sound packing of ``items`` into ``boxes``.

    Box references must be unique in ``boxes``: boxes in the result are
    matched to their type by reference.
    """
    types = {box["Reference"]: BoxType.from_dict(box) for box in boxes}
    assert len(types) == len(boxes), "validator needs unique box references"
    rotation_of = {}
    for item in items:
        rotation_of.setdefault(item_signature(item), allowed_codes(item.get("AllowedRotation")))

    placed = []
    expected_placements = []
    for index, packed in enumerate(result["boxes"]):
        assert packed["box_index"] == index
        box_type = types[packed["box_reference"]]
        assert box_type.active, f"inactive box type {packed['box_reference']} opened"
        assert (packed["width"], packed["length"], packed["depth"]) == (
            box_type.width,
            box_type.length,
            box_type.depth,
        )
        contents = packed["items"]
        assert contents, f"box {index} opened empty"
        assert packed["item_count"] == len(contents)
        tolerance = 1e-9 * max(1.0, box_type.width, box_type.length, box_type.depth)

        for p in contents:
            codes = rotation_of[placement_signature(p)]
            assert p["orientation"] in codes, (
                f"{p['ItemCode']} in {p['orientation']}, allowed {sorted(codes)}"
            )
            assert (p["width"], p["length"], p["depth"]) == placed_dims_for(p["orientation"], p)
            assert p["rotated"] == (p["orientation"] != "WLD")
            for start, size, room in (
                (p["x"], p["width"], box_type.width),
                (p["y"], p["length"], box_type.length),
                (p["z"], p["depth"], box_type.depth),
            ):
                assert start >= -tolerance and start + size <= room + tolerance, (
                    f"{p} sticks out of box {index}"
                )
            expected_placements.append({**p, "box_index": index, "box_reference": packed["box_reference"]})

        for a, b in combinations(contents, 2):
            overlaps = (
                overlap(a["x"], a["width"], b["x"], b["width"]),
                overlap(a["y"], a["length"], b["y"], b["length"]),
                overlap(a["z"], a["depth"], b["z"], b["depth"]),
            )
            assert min(overlaps) <= tolerance, f"{a['ItemCode']} and {b['ItemCode']} overlap in box {index}"

        if box_type.capacity is not None:
            item_weight = sum(p["weight"] for p in contents)
            assert item_weight <= box_type.capacity + tolerance, f"box {index} over its weight limit"

        groups = {p["box_group"] for p in contents if p["box_group"] is not None}
        assert len(groups) <= 1, f"box {index} mixes box groups {sorted(groups)}"
        placed.extend(placement_signature(p) for p in contents)

    opened = Counter(packed["box_reference"] for packed in result["boxes"])
    for reference, box_type in types.items():
        if box_type.max_quantity is not None:
            assert opened[reference] <= max(0, box_type.max_quantity), (
                f"{reference} opened {opened[reference]} times"
            )

    assert result["placements"] == expected_placements
    unplaced = [item_signature(item) for item in result["unplaced_items"]]
    assert Counter(placed) + Counter(unplaced) == Counter(item_signature(item) for item in items)
    assert result["unplaced_item_codes"] == [item["ItemCode"] for item in result["unplaced_items"]]
    assert result["success"] == (not unplaced)
    assert result["summary"]["box_count"] == len(result["boxes"])
    assert result["summary"]["total_placed"] == len(placed)
    assert result["summary"]["total_unplaced"] == len(unplaced)


def contact_area(upper, lower, tolerance):
    """The area of `upper`'s base resting on `lower`'s top; 0 when they do not touch."""
    if abs(lower["z"] + lower["depth"] - upper["z"]) > tolerance:
        return 0.0
    dx = overlap(upper["x"], upper["width"], lower["x"], lower["width"])
    dy = overlap(upper["y"], upper["length"], lower["y"], lower["length"])
    return dx * dy if dx > 0 and dy > 0 else 0.0


def validate_physical(result, items, min_support):
    """Assert that each item above the floor rests on the tops of items below over
    `min_support` of its base, and that no item carries more than its MaxLoad:
    the weight resting on its top, directly or through the items above, each
    item's weight and load shared among its supporters by contact area. An item
    with MaxLoad 0 has nothing on it at all. Items of one signature take the
    smallest MaxLoad among them."""
    limits = {}
    for item in items:
        if item.get("MaxLoad") is not None:
            key = item_signature(item)
            limits[key] = min(limits.get(key, float("inf")), item["MaxLoad"])
    for packed in result["boxes"]:
        contents = packed["items"]
        tolerance = 1e-9 * max(1.0, packed["depth"])
        # Whatever rests on an item has its base at the item's top, so tops
        # from the highest down pass every load on before it is read; among
        # flat items at one height, the later placed rests on the earlier.
        order = sorted(
            range(len(contents)),
            key=lambda k: (-(contents[k]["z"] + contents[k]["depth"]), -contents[k]["z"], -k),
        )
        load = [0.0] * len(contents)
        for rank, k in enumerate(order):
            p = contents[k]
            on_floor = p["z"] <= tolerance
            areas = {
                j: 0.0 if on_floor else contact_area(p, contents[j], tolerance) for j in order[rank + 1 :]
            }
            areas = {j: a for j, a in areas.items() if a > 0}
            contact = sum(areas.values())
            base = p["width"] * p["length"]
            if not on_floor and base > 0:
                assert contact >= min_support * base * (1 - 1e-9), (
                    f"{p['ItemCode']} rests on {contact} of {base}"
                )
            limit = limits.get(placement_signature(p), float("inf"))
            assert load[k] <= limit * (1 + 1e-6) + 1e-9, (
                f"{p['ItemCode']} carries {load[k]}, more than {limit}"
            )
            for j, area in areas.items():
                fragile = limits.get(placement_signature(contents[j])) == 0
                assert not fragile, f"{p['ItemCode']} stands on fragile {contents[j]['ItemCode']}"
                load[j] += (p["weight"] + load[k]) * area / contact
