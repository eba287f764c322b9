"""Seeded request generators for the benchmark families.

Every generator returns plain request dicts ({"items": [...], "boxes": [...]})
and depends only on its arguments, so two runs pack exactly the same data.
"""

import math
import random

# --- MPV classes ------------------------------------------------------------

MPV_CLASSES = range(1, 9)
MPV_SIZES = (50, 100, 150, 200)
MPV_INSTANCES = range(1, 11)


class Lcg48:
    """The 48-bit linear congruential generator the published instances were drawn with."""

    def __init__(self, seed):
        self.state = (seed << 16) | 0x330E

    def draw(self):
        self.state = (0x5DEECE66D * self.state + 0xB) % (1 << 48)
        return self.state >> 17

    def rint(self, low, high):
        return low + self.draw() % (high - low + 1)


def mpv_bin_size(cls):
    return {6: 10, 7: 40}.get(cls, 100)


def _mpv_type_ranges(kind, size):
    full, half, two_thirds = (1, size), (1, size // 2), (2 * size // 3, size)
    return {
        1: ((1, size // 2), two_thirds, two_thirds),
        2: (two_thirds, half, two_thirds),
        3: (two_thirds, two_thirds, half),
        4: ((size // 2, size), (size // 2, size), (size // 2, size)),
        5: (half, half, half),
    }.get(kind, (full, full, full))


def mpv_dimensions(cls, n, instance):
    """The (w, h, d) of every item of one instance, in drawing order."""
    rng = Lcg48(instance + n)
    size = mpv_bin_size(cls)
    uniform = {6: (1, 10), 7: (1, 35), 8: (1, 100)}
    items = []
    for _ in range(n):
        if cls <= 5:
            kind = rng.rint(1, 10)
            ranges = _mpv_type_ranges(kind if kind <= 5 else cls, size)
        else:
            ranges = (uniform[cls],) * 3
        items.append(tuple(rng.rint(low, high) for low, high in ranges))
    return items


def mpv_lower_bound(cls, n, instance):
    """The volume bound: no packing of the instance can use fewer bins."""
    volume = sum(w * h * d for w, h, d in mpv_dimensions(cls, n, instance))
    return math.ceil(volume / mpv_bin_size(cls) ** 3)


# Summed volume bounds of published instance sets: they match only if the drawing rules do.
PUBLISHED_BOUND_SUMS = {(1, 50): 96, (8, 200): 249}


def mpv_rule_problem():
    """What is wrong with the MPV drawing rules, or None."""
    for (cls, n), published in PUBLISHED_BOUND_SUMS.items():
        found = sum(mpv_lower_bound(cls, n, v) for v in MPV_INSTANCES)
        if found != published:
            return f"MPV class {cls}, n={n}: volume bounds sum to {found}, published {published}"
    return None


def mpv_request(cls, n, instance):
    size = mpv_bin_size(cls)
    # h is the vertical extent, which the engine calls depth.
    items = [
        {"ItemCode": f"i{k}", "Width": w, "Length": d, "Depth": h, "AllowedRotation": "Never"}
        for k, (w, h, d) in enumerate(mpv_dimensions(cls, n, instance))
    ]
    box = {"Reference": f"bin{size}", "Width": size, "Length": size, "Depth": size, "MaxWeight": -1}
    return {"items": items, "boxes": [box]}


# --- Orders -----------------------------------------------------------------

# Shipping cartons in centimetres with their gross weight limits in kilograms.
CARTONS = (
    ("S", 25, 18, 10, 5.0),
    ("M", 32, 24, 16, 10.0),
    ("L", 40, 30, 22, 20.0),
    ("XL", 50, 40, 30, 25.0),
    ("XXL", 60, 40, 40, 30.0),
    ("PAL", 80, 60, 60, 40.0),
)
CATALOGUE_SIZE = 60
_RULES = ("BestFit", "BestFit", "KeepFlat", "KeepFlat", "Never")


def catalogue(seed=2024):
    """Parcel-like products: (sku, width, length, depth, weight kg, rotation rule)."""
    rng = random.Random(seed)
    products = []
    for k in range(CATALOGUE_SIZE):
        # Most goods are small; a few are bulky. All fit the largest carton.
        scale = rng.choice((12, 12, 20, 20, 30, 45))
        w, l, d = (rng.randint(2, scale) for _ in range(3))
        density = rng.uniform(0.1, 0.6)  # kg per litre
        weight = min(15.0, max(0.1, round(w * l * d / 1000 * density, 1)))
        products.append((f"SKU{k:03d}", w, l, d, weight, rng.choice(_RULES)))
    return products


def _item(product, index, rule):
    sku, w, l, d, weight, _ = product
    return {
        "ItemCode": f"{sku}-{index}",
        "ItemReference": sku,
        "Width": w,
        "Length": l,
        "Depth": d,
        "Weight": weight,
        "AllowedRotation": rule,
    }


def order_request(seed, products, min_items=5, max_items=60):
    """One shop order: a few products in some quantity and the cartons the shop may use."""
    rng = random.Random(seed)
    count = rng.randint(min_items, max_items)
    # Some shops ship everything loose; the others honour each product's handling rule.
    free = rng.random() < 0.5
    lines = rng.sample(products, rng.randint(1, min(8, count)))
    items = []
    for index in range(count):
        product = lines[index] if index < len(lines) else rng.choice(lines)
        items.append(_item(product, index, "BestFit" if free else product[5]))
    # The largest carton is always offered, so every product has somewhere to go.
    cartons = sorted(rng.sample(CARTONS[:-1], rng.randint(2, 5)), key=lambda c: c[1] * c[2] * c[3])
    cartons.append(CARTONS[-1])
    limited = rng.randrange(len(cartons) - 1)
    boxes = []
    for k, (name, w, l, d, max_weight) in enumerate(cartons):
        box = {
            "Reference": name,
            "Width": w,
            "Length": l,
            "Depth": d,
            "MaxWeight": max_weight,
            "BoxWeight": round(0.1 + w * l * d / 100000, 2),
        }
        if k == limited:
            box["MaximumBoxes"] = rng.randint(1, 3)
        boxes.append(box)
    return {"items": items, "boxes": boxes}


def orders(count, seed=1):
    products = catalogue()
    return [order_request(seed * 100003 + k, products) for k in range(count)]


def with_physical_keys(request):
    """The order with load limits on some products (a few fragile: MaxLoad 0)
    and a price on every carton: a fee per parcel plus a rate per litre, as
    carriers charge by volume."""
    items = []
    for item in request["items"]:
        rng = random.Random(item.get("ItemReference") or item["ItemCode"])  # one limit per product
        kind = rng.random()
        if kind < 0.06:
            item = {**item, "MaxLoad": 0}
        elif kind < 0.4:
            load = rng.choice((0.5, 1, 2, 4)) * (item.get("Weight") or 0) + rng.choice((0, 1, 5))
            item = {**item, "MaxLoad": round(load, 1)}
        items.append(item)
    boxes = [
        {**box, "Cost": round(2 + 0.12 * box["Width"] * box["Length"] * box["Depth"] / 1000, 2)}
        for box in request["boxes"]
    ]
    return {"items": items, "boxes": boxes}


def physical_orders(count, seed=1):
    return [with_physical_keys(request) for request in orders(count, seed)]


# --- Scaling ----------------------------------------------------------------


def scaling_request(n, seed=7):
    """n catalogue items that may turn freely, into the three largest cartons."""
    rng = random.Random(seed * 1000003 + n)
    products = catalogue()
    items = [_item(rng.choice(products), k, "BestFit") for k in range(n)]
    boxes = [
        {"Reference": name, "Width": w, "Length": l, "Depth": d, "MaxWeight": max_weight}
        for name, w, l, d, max_weight in CARTONS[3:]
    ]
    return {"items": items, "boxes": boxes}


def request_taking_seconds():
    """A request the default packer takes seconds over, for stopping one midway: several
    times the tests' time limits, so a faster packer does not finish it in time."""
    return scaling_request(16000)


def small_order(seed, products):
    """A few items into a few cartons: the kind of call a shop makes all day."""
    return order_request(seed, products, min_items=3, max_items=8)


# --- Worst cases --------------------------------------------------------------
# Requests of a few hundred items that end in a handful of boxes, so the weight
# balancing re-packs boxes item by item: the slowest kind of request there is.

_WORST_RULES = ("BestFit", "KeepFlat", "Never")


def worst_case_request(seed):
    """100-300 items with mixed rotation rules into 2-8 box types, with or without
    weight limits; the same seed always gives the same request."""
    rng = random.Random(seed)
    limits = rng.random() < 0.5
    boxes = []
    for k in range(rng.randint(2, 8)):
        w, l, d = (rng.randint(40, 90) for _ in range(3))
        boxes.append(
            {
                "Reference": f"B{k}",
                "Width": float(w),
                "Length": float(l),
                "Depth": float(d),
                "MaxWeight": float(rng.choice((100, 200, 300, -1))) if limits else -1.0,
            }
        )
    items = []
    for i in range(rng.randint(100, 300)):
        w, l, d = (float(rng.randint(10, 40)) for _ in range(3))
        items.append(
            {
                "ItemCode": f"I{i}",
                "ItemReference": "r",
                "Width": w,
                "Length": l,
                "Depth": d,
                "Weight": rng.uniform(0.5, 8.0),
                "AllowedRotation": rng.choice(_WORST_RULES),
            }
        )
    return {"items": items, "boxes": boxes}


# --- Feature mix --------------------------------------------------------------
# Small requests that reach every rule of the engine: the three rotation rules
# under their various spellings, box groups, limited supply (also 0 and
# negative), inactive box types, weight limits (also a box heavier than its
# limit), enough items for balancing over 2-12 boxes, items that fit nowhere,
# zero and thin sizes, and repeated shapes whose placements tie until the
# look-ahead decides. The golden files and digests of tests/data come from it.

ROTATION_NAMES = ("Never", "KeepFlat", "BestFit", "keep_flat", "NEVER", None)


def _size(rng):
    roll = rng.random()
    if roll < 0.05:
        return 0.0
    if roll < 0.10:
        return 0.001
    if roll < 0.20:
        return round(rng.uniform(0.5, 20.0), 3)
    if roll < 0.28:
        return rng.randint(40, 120) / 2  # larger than most boxes
    return rng.randint(2, 40) / 2  # halves: sums stay exact


def _weight(rng):
    roll = rng.random()
    if roll < 0.2:
        return 0.0
    if roll < 0.5:
        return float(rng.randint(1, 10))
    return round(rng.uniform(0.0, 20.0), 1)


def feature_box(rng, index):
    size = [rng.randint(10, 80) / 2 for _ in range(3)]
    if rng.random() < 0.15:
        size = [size[0]] * 3
    if rng.random() < 0.04:
        size[2] = 0.0
    box = {"Reference": f"b{index}", "Width": size[0], "Length": size[1], "Depth": size[2], "MaxWeight": -1}
    if rng.random() < 0.4:
        box["MaxWeight"] = rng.randint(0, 80)
        box["BoxWeight"] = box["MaxWeight"] + 5 if rng.random() < 0.1 else rng.randint(0, 10)
    if rng.random() < 0.15:
        box["Active"] = False
    if rng.random() < 0.35:
        box["MaximumBoxes"] = rng.randint(-1, 3)
    return box


def feature_request(seed, max_items=40):
    """One request of the feature mix; the same seed always gives the same request."""
    rng = random.Random(seed)
    boxes = [] if rng.random() < 0.04 else [feature_box(rng, b) for b in range(rng.randint(1, 4))]
    count = max_items if rng.random() < 0.1 else rng.randint(0, min(max_items, 25))
    grouped = rng.random() < 0.3
    shared_rotation = rng.choice(ROTATION_NAMES) if rng.random() < 0.2 else False
    palette = [[_size(rng) for _ in range(3)] for _ in range(rng.randint(1, 3))]
    items = []
    for i in range(count):
        shape = [_size(rng) for _ in range(3)]
        if rng.random() < 0.5:
            shape = list(rng.choice(palette))
        if rng.random() < 0.1:
            shape = [shape[0]] * 3
        item = {
            "ItemCode": "same" if rng.random() < 0.05 else f"i{i}",
            "Width": shape[0],
            "Length": shape[1],
            "Depth": shape[2],
            "Weight": _weight(rng),
        }
        rotation = shared_rotation if shared_rotation is not False else rng.choice(ROTATION_NAMES)
        if rotation is not None:
            item["AllowedRotation"] = rotation
        if rng.random() < 0.3:
            item["ItemReference"] = f"r{rng.randint(0, 3)}"
        if grouped and rng.random() < 0.6:
            item["BoxGroup"] = "ABC"[rng.randint(0, 2)]
        items.append(item)
    return {"items": items, "boxes": boxes}


def nudged(request, nudge):
    """The request with every item `nudge` larger in each size but its zero sizes: the
    look-ahead must not take answers given for these items as answers for the request's own."""
    items = [
        {**item, **{side: item[side] + nudge for side in ("Width", "Length", "Depth") if item[side] > 0}}
        for item in request["items"]
    ]
    return {"items": items, "boxes": request["boxes"]}


def feature_requests(first_seed, count, max_items=40):
    """`count` requests of the feature mix; every fifth is followed by two near twins."""
    requests = []
    for seed in range(first_seed, first_seed + count):
        request = feature_request(seed, max_items)
        requests.append(request)
        if seed % 5 == 0 and len(requests) < count:
            requests.append(nudged(request, 3e-7))
        if seed % 5 == 0 and len(requests) < count:
            requests.append(nudged(request, -3e-7))
        if len(requests) >= count:
            break
    return requests


def as_objects(request):
    """The request's items and boxes as quarvex.Item and quarvex.Box objects, for `pack`."""
    import quarvex  # here, so that py3dbp's workers never load quarvex

    rotations = {
        "never": quarvex.Rotation.NEVER,
        "keepflat": quarvex.Rotation.KEEP_FLAT,
        "keep_flat": quarvex.Rotation.KEEP_FLAT,
    }

    def rotation(name):
        lowered = "".join(c.lower() if "A" <= c <= "Z" else c for c in name or "")
        return rotations.get(lowered, quarvex.Rotation.BEST_FIT)

    items = [
        quarvex.Item(
            item["ItemCode"],
            item.get("ItemReference", item["ItemCode"]),
            item["Width"],
            item["Length"],
            item["Depth"],
            item.get("Weight", 0.0),
            item.get("BoxGroup", ""),
            rotation(item.get("AllowedRotation")),
            item.get("MaxLoad"),
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
            box.get("Cost"),
        )
        for box in request["boxes"]
    ]
    return items, boxes


# --- Two tight boxes ------------------------------------------------------------
# Loads that two boxes take only split just so, as the mid-size orders where a
# search over item orders opens a third box.


def tight_weight_request(seed, count=28):
    """Items of two to four products whose weights add up to just under 98 kg, against
    boxes that take 49 kg each: two boxes do only with the items split to within a few
    hundred grams. The room is ample."""
    rng = random.Random(seed)
    while True:
        weights = [rng.randint(40, 120) for _ in range(rng.randint(2, 4))]  # in twentieths of a kg
        split = [rng.choice(weights) for _ in range(count)]
        if 1955 < sum(split) < 1959 and _splits(split, 979):
            break
    sizes = {weight: [rng.randint(6, 16) for _ in range(3)] for weight in weights}
    items = [
        {
            "ItemCode": f"W{k}",
            "Width": sizes[w][0],
            "Length": sizes[w][1],
            "Depth": sizes[w][2],
            "Weight": w / 20,
        }
        for k, w in enumerate(split)
    ]
    return {
        "items": items,
        "boxes": [{"Reference": "B", "Width": 60, "Length": 40, "Depth": 40, "MaxWeight": 49}],
    }


def tight_fit_request(seed, count=28, fill=0.83):
    """Pieces of two 40 x 30 x 22 boxes, each cut through and through into 17, shuffled and
    dropped until at most `count` fill at most `fill` of the two; orientation fixed, no
    weight limit. Two boxes take them as cut; a search over item orders does not always
    find how."""
    rng = random.Random(seed)
    box = (40, 30, 22)
    pieces = _guillotine_pieces(rng, box, 17) + _guillotine_pieces(rng, box, 17)
    rng.shuffle(pieces)
    room = 2 * math.prod(box)
    while len(pieces) > count or sum(map(math.prod, pieces)) > fill * room:
        pieces.pop()
    items = [
        {"ItemCode": f"G{k}", "Width": w, "Length": l, "Depth": d, "AllowedRotation": "Never"}
        for k, (w, l, d) in enumerate(pieces)
    ]
    box_dict = {"Reference": "L", "Width": box[0], "Length": box[1], "Depth": box[2], "MaxWeight": -1}
    return {"items": items, "boxes": [box_dict]}


def _guillotine_pieces(rng, box, count):
    """The box cut into `count` pieces, the largest piece cut in two each time, across
    a roughly longest side at a whole-number position."""
    pieces = [box]
    while len(pieces) < count:
        pieces.sort(key=math.prod)
        piece = pieces.pop()
        axis = max((a for a in range(3) if piece[a] > 1), key=lambda a: piece[a] * rng.uniform(0.6, 1.4))
        at = rng.randint(1, piece[axis] - 1)
        pieces += [
            tuple(at if a == axis else s for a, s in enumerate(piece)),
            tuple(s - at if a == axis else s for a, s in enumerate(piece)),
        ]
    return pieces


def _splits(weights, limit):
    """Whether the whole numbers split into two parts that each add up to at most the limit."""
    sums = {0}
    for weight in weights:
        sums |= {s + weight for s in sums if s + weight <= limit}
    return any(sum(weights) - s <= limit for s in sums)
