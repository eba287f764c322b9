"""The adapter that hands benchmark requests to py3dbp."""

import sys
from pathlib import Path

import pytest

pytest.importorskip("py3dbp", reason="py3dbp is installed by `make bench` only")

sys.path.insert(0, str(Path(__file__).resolve().parents[2]))

from bench import peer  # noqa: E402


def _item(code, size, weight=1.0, rotation=None):
    item = {"ItemCode": code, "Width": size, "Length": size, "Depth": size, "Weight": weight}
    if rotation is not None:
        item["AllowedRotation"] = rotation
    return item


def _box(reference, size, **extra):
    return {"Reference": reference, "Width": size, "Length": size, "Depth": size,
            "MaxWeight": -1, **extra}


@pytest.mark.parametrize(("rotation", "expressible"), [
    (None, True), ("BestFit", True), ("anything", True),
    ("Never", False), ("KEEP_FLAT", False), ("keepflat", False),
])
def test_only_freely_turning_items_are_expressible(rotation, expressible):
    request = {"items": [_item("a", 1), _item("b", 1, rotation=rotation)], "boxes": []}
    assert peer.expressible(request) is expressible


def test_limited_supply_caps_the_bins_and_inactive_types_get_none():
    items = [_item(str(k), 2) for k in range(4)]
    boxes = [_box("one-each", 2, MaximumBoxes=2), _box("off", 2, Active=False), _box("big", 4)]
    request = {"items": items, "boxes": boxes}
    packer = peer.pack(request)
    assert [b.name.split("#")[0] for b in packer.bins].count("one-each") == 2
    assert not any(b.name.startswith("off") for b in packer.bins)
    # Two cubes go one per small bin, the other two share a big bin.
    assert peer.outcome(packer, request) == (3, 4, 0, pytest.approx(100 * 32 / 80))


def test_empty_box_weight_counts_against_the_limit():
    items = [_item("a", 1, weight=6.0), _item("b", 1, weight=6.0)]
    request = {"items": items, "boxes": [_box("b", 10, MaxWeight=14.0, BoxWeight=3.0)]}
    boxes, placed, unplaced, _ = peer.outcome(peer.pack(request), request)
    # 3 + 6 + 6 > 14: the two items need a box each.
    assert (boxes, placed, unplaced) == (2, 2, 0)
