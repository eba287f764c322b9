"""The benchmark generators: the MPV rules must reproduce the published instances."""

import sys
from pathlib import Path

import pytest

# The bench package sits at the top of the repository, outside the installed module.
sys.path.insert(0, str(Path(__file__).resolve().parents[2]))

from bench import generators  # noqa: E402


@pytest.mark.parametrize(("cls", "n", "bound_sum"), [(1, 50, 96), (8, 200, 249)])
def test_mpv_volume_bounds_match_the_published_sums(cls, n, bound_sum):
    assert sum(generators.mpv_lower_bound(cls, n, v) for v in generators.MPV_INSTANCES) == bound_sum


def test_lcg_follows_the_48_bit_recurrence():
    rng = generators.Lcg48(0)
    state = 0x330E
    for _ in range(5):
        state = (0x5DEECE66D * state + 0xB) % (1 << 48)
        assert rng.draw() == state >> 17


@pytest.mark.parametrize("cls", generators.MPV_CLASSES)
def test_mpv_items_fit_their_bin_and_keep_their_orientation(cls):
    request = generators.mpv_request(cls, 50, 3)
    (box,) = request["boxes"]
    for item in request["items"]:
        assert item["AllowedRotation"] == "Never"
        for axis in ("Width", "Length", "Depth"):
            assert 1 <= item[axis] <= box[axis]


def test_mpv_class_one_draws_mostly_its_own_type():
    # Type 1 has a narrow width and a tall height and depth; class 1 draws it 60% of the time.
    dims = [d for v in generators.MPV_INSTANCES for d in generators.mpv_dimensions(1, 100, v)]
    type_one = sum(w <= 50 and h >= 66 and d >= 66 for w, h, d in dims)
    assert 0.5 < type_one / len(dims) < 0.75


def test_generators_are_reproducible():
    assert generators.orders(5) == generators.orders(5)
    assert generators.scaling_request(40) == generators.scaling_request(40)
    assert generators.orders(5, seed=1) != generators.orders(5, seed=2)


@pytest.mark.parametrize("request_", generators.orders(40), ids=lambda r: str(len(r["items"])))
def test_orders_have_the_promised_shape(request_):
    items, boxes = request_["items"], request_["boxes"]
    assert 5 <= len(items) <= 60
    assert 3 <= len(boxes) <= 6
    assert sum("MaximumBoxes" in box for box in boxes) == 1
    assert len({item["ItemCode"] for item in items}) == len(items)
    # Every item fits the largest carton, which is never the limited one.
    largest = max(boxes, key=lambda b: b["Width"] * b["Length"] * b["Depth"])
    assert "MaximumBoxes" not in largest
    room = sorted((largest["Width"], largest["Length"], largest["Depth"]))
    for item in items:
        size = sorted((item["Width"], item["Length"], item["Depth"]))
        assert all(side <= limit for side, limit in zip(size, room))
        assert item["Weight"] <= largest["MaxWeight"] - largest["BoxWeight"]


def test_orders_mix_free_and_constrained_rotation():
    rules = [{item["AllowedRotation"] for item in r["items"]} for r in generators.orders(40)]
    assert {"BestFit"} in rules
    assert any("Never" in rule for rule in rules)
    assert any("KeepFlat" in rule for rule in rules)
