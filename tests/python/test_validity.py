"""Every result of every road is a sound packing of its request."""

import json
from pathlib import Path

import pytest

import quarvex
from random_requests import as_objects, random_request
from validator import validate

EXAMPLE_ORDER = Path(__file__).parents[2] / "examples" / "order.json"


REQUESTS = [pytest.param(json.loads(EXAMPLE_ORDER.read_text()), id="example-order")] + [
    pytest.param(random_request(seed), id=f"seed-{seed}") for seed in range(100, 160)
]


@pytest.mark.parametrize("request_data", REQUESTS)
@pytest.mark.parametrize("road", ["solve", "pack_dicts", "pack"])
def test_results_are_sound(road, request_data):
    items, boxes = request_data["items"], request_data["boxes"]
    if road == "solve":
        result = json.loads(quarvex.solve(json.dumps(request_data)))
    elif road == "pack_dicts":
        result = quarvex.pack_dicts(items, boxes).to_dict()
    else:
        item_objects, box_objects = as_objects(request_data)
        result = quarvex.pack(item_objects, box_objects).to_dict()
        items = [item.to_dict() for item in item_objects]
        boxes = [box.to_dict() for box in box_objects]
    validate(result, items, boxes)


def test_many_boxes_of_a_limited_type_are_not_exceeded():
    # Enough items for several boxes, so that weight balancing runs too.
    items = [{"ItemCode": f"I{i}", "Width": 5, "Length": 5, "Depth": 5, "Weight": 1 + i % 4} for i in range(12)]
    boxes = [
        {"Reference": "small-limited", "Width": 10, "Length": 10, "Depth": 5, "MaxWeight": -1, "MaximumBoxes": 1},
        {"Reference": "large", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": 12},
    ]
    validate(quarvex.pack_dicts(items, boxes).to_dict(), items, boxes)
