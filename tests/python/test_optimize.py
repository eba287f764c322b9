"""optimize: sound packings under every rule, never worse than pack, reproducible."""

import math
import random

import pytest
from validator import validate, validate_physical

import quarvex
from bench.generators import as_objects, feature_request, tight_weight_request, with_physical_keys

SMALL = {"time_limit": None, "effort": 3000}


def score(result):
    return (
        -result.total_placed,
        len(result.boxes),
        sum(b.box.width * b.box.length * b.box.depth for b in result.boxes),
    )


@pytest.mark.parametrize("seed", range(300))
def test_results_are_sound_and_never_worse_than_pack(seed):
    # Every fourth request has load limits and prices, and half of those count the prices.
    physical = seed % 4 == 3
    request = with_physical_keys(feature_request(seed)) if physical else feature_request(seed)
    items, boxes = request["items"], request["boxes"]
    min_support = (0.0, 0.5, 1.0)[seed % 3]
    settings = {
        **SMALL,
        "seed": seed,
        "min_support": min_support,
        "objective": "cost" if seed % 8 == 7 else "boxes",
    }
    if seed % 2:
        result = quarvex.optimize(items, boxes, **settings)
    else:
        item_objects, box_objects = as_objects(request)
        result = quarvex.optimize(item_objects, box_objects, **settings)
    validate(result.to_dict(), items, boxes)
    validate_physical(result.to_dict(), items, min_support)
    if min_support == 0.0 and not physical:
        assert score(result) <= score(quarvex.pack_dicts(items, boxes))


def stacking_request(count, seed):
    rng = random.Random(seed)
    items = [
        {
            "ItemCode": f"I{k}",
            "Width": rng.randint(1, 6),
            "Length": rng.randint(1, 6),
            "Depth": rng.randint(1, 6),
            "AllowedRotation": rng.choice(["Never", "KeepFlat", "BestFit"]),
        }
        for k in range(count)
    ]
    return items, [{"Reference": "B", "Width": 10, "Length": 12, "Depth": 14, "MaxWeight": -1}]


@pytest.mark.parametrize("min_support", [0.5, 1.0])
@pytest.mark.parametrize("seed", range(4))
def test_items_rest_on_the_items_below(min_support, seed):
    items, boxes = stacking_request(60, seed)
    result = quarvex.optimize(
        items, boxes, time_limit=None, effort=20000, seed=seed, min_support=min_support
    ).to_dict()
    validate(result, items, boxes)
    validate_physical(result, items, min_support)
    assert any(p["z"] > 0 for p in result["placements"])


def test_fewer_and_smaller_boxes_than_pack_on_a_loose_load():
    items, boxes = stacking_request(80, 7)
    boxes.append({"Reference": "S", "Width": 6, "Length": 6, "Depth": 6, "MaxWeight": -1})
    result = quarvex.optimize(items, boxes, time_limit=None, effort=50000)
    assert score(result) < score(quarvex.pack_dicts(items, boxes))


@pytest.mark.parametrize("seed", [8, 14])  # a search over item orders alone opens a third box
def test_two_boxes_take_a_load_that_only_a_tight_split_by_weight_gets_into_two(seed):
    request = tight_weight_request(seed)
    result = quarvex.optimize(request["items"], request["boxes"], time_limit=None, effort=2000)
    validate(result.to_dict(), request["items"], request["boxes"])
    assert result.success and len(result.boxes) == 2


def test_an_effort_gives_the_same_result_every_time():
    request = feature_request(11)
    runs = {
        quarvex.optimize(
            request["items"], request["boxes"], time_limit=None, effort=5000, seed=3, min_support=0.5
        ).to_json(-1)
        for _ in range(3)
    }
    assert len(runs) == 1


@pytest.mark.parametrize(
    "budget", [{"time_limit": 0.0}, {"time_limit": None, "effort": 0}, {"time_limit": 0.01, "effort": 10**12}]
)
@pytest.mark.parametrize("min_support", [0.0, 1.0])
def test_the_smallest_budgets_still_answer_with_every_item(budget, min_support):
    items, boxes = stacking_request(30, 1)
    result = quarvex.optimize(items, boxes, **budget, min_support=min_support)
    validate(result.to_dict(), items, boxes)
    assert result.success


@pytest.mark.parametrize(
    "arguments, message",
    [
        ({"time_limit": -1.0}, "time_limit must be a non-negative"),
        ({"time_limit": math.nan}, "time_limit must be a non-negative"),
        ({"effort": -5}, "effort must be a non-negative"),
        ({"time_limit": None}, "needs a finite time_limit or an effort"),
        ({"time_limit": math.inf}, "needs a finite time_limit or an effort"),
        ({"min_support": 1.5}, r"min_support must be a fraction in \[0, 1\]"),
        ({"min_support": -0.1}, r"min_support must be a fraction in \[0, 1\]"),
        ({"min_support": math.nan}, r"min_support must be a fraction in \[0, 1\]"),
    ],
)
def test_bad_budgets_and_support_are_refused(arguments, message):
    items, boxes = stacking_request(3, 0)
    with pytest.raises(ValueError, match=message):
        quarvex.optimize(items, boxes, **arguments)
