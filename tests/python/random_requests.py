"""Seeded random requests of plausible size and shape, for cross-checks."""

import random

import quarvex

ROTATION_NAMES = ["Never", "KeepFlat", "BestFit", "keep_flat", "NEVER", None]


def _size(rng, low, high):
    # Whole and half units: sums stay exact, so results compare exactly.
    return rng.randint(low * 2, high * 2) / 2


def random_item(rng, index):
    item = {
        "ItemCode": f"I{index:02d}",
        "Width": _size(rng, 1, 12),
        "Length": _size(rng, 1, 12),
        "Depth": _size(rng, 1, 10),
    }
    if rng.random() < 0.7:
        item["Weight"] = rng.choice([0, 0.5, 1, 2.5, 4, 7, 12])
    if rng.random() < 0.5:
        item["ItemReference"] = f"ref-{rng.randint(0, 5)}"
    rotation = rng.choice(ROTATION_NAMES)
    if rotation is not None:
        item["AllowedRotation"] = rotation
    if rng.random() < 0.25:
        item["BoxGroup"] = rng.choice(["G1", "G2", "G3"])
    return item


def random_box(rng, index):
    box = {
        "Reference": f"B{index}",
        "Width": _size(rng, 6, 30),
        "Length": _size(rng, 6, 30),
        "Depth": _size(rng, 6, 25),
        "MaxWeight": rng.choice([-1, -1, 15, 30, 60, 0]),
    }
    if rng.random() < 0.5:
        box["BoxWeight"] = rng.choice([0, 0.5, 1, 3, 20])
    if rng.random() < 0.15:
        box["Active"] = False
    if rng.random() < 0.3:
        box["MaximumBoxes"] = rng.choice([0, 1, 1, 2, 3])
    return box


def random_request(seed):
    rng = random.Random(seed)
    items = [random_item(rng, i) for i in range(rng.randint(0, 14))]
    boxes = [random_box(rng, i) for i in range(rng.randint(0, 4))]
    return {"items": items, "boxes": boxes}


def rotation_from_name(name):
    """The rotation rule a request's "AllowedRotation" name stands for."""
    lowered = "".join(c.lower() if "A" <= c <= "Z" else c for c in name or "")
    if lowered == "never":
        return quarvex.Rotation.NEVER
    if lowered in ("keepflat", "keep_flat"):
        return quarvex.Rotation.KEEP_FLAT
    return quarvex.Rotation.BEST_FIT


def as_objects(request):
    """The request's items and boxes as quarvex.Item and quarvex.Box objects."""
    items = [
        quarvex.Item(
            item["ItemCode"],
            item.get("ItemReference", item["ItemCode"]),
            item["Width"],
            item["Length"],
            item["Depth"],
            item.get("Weight", 0.0),
            item.get("BoxGroup", ""),
            rotation_from_name(item.get("AllowedRotation")),
        )
        for item in request["items"]
    ]
    boxes = [
        quarvex.Box(
            box["Reference"],
            box["Width"],
            box["Length"],
            box["Depth"],
            box["MaxWeight"],
            box.get("BoxWeight", 0.0),
            box.get("Active", True),
            box.get("MaximumBoxes"),
        )
        for box in request["boxes"]
    ]
    return items, boxes
