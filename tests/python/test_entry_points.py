"""The three entry points agree with each other, and each refuses what it cannot take."""

import json
from collections import Counter

import pytest

import quarvex
from quarvex import Box, Item
from random_requests import as_objects, random_request

SEEDS = range(40)
ITEM = {"ItemCode": "A", "Width": 1, "Length": 2, "Depth": 3}
BOX = {"Reference": "S", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": -1}
UNICODE_ITEM = {**ITEM, "ItemCode": "Kiste für Ünterwäsche ✓"}
UNICODE_TEXT = json.dumps({"items": [UNICODE_ITEM], "boxes": [BOX]}, ensure_ascii=False)


@pytest.mark.parametrize("seed", SEEDS)
def test_all_roads_give_the_same_text(seed):
    request = random_request(seed)
    text = quarvex.solve(json.dumps(request))
    assert quarvex.pack_dicts(request["items"], request["boxes"]).to_json(-1) == text
    assert quarvex.pack(*as_objects(request)).to_json(-1) == text


@pytest.mark.parametrize(
    "argument",
    [UNICODE_TEXT, json.dumps({"items": [UNICODE_ITEM], "boxes": [BOX]}), UNICODE_TEXT.encode(),
     bytearray(UNICODE_TEXT.encode())],
    ids=["str", "str-escaped", "bytes", "bytearray"],
)
def test_solve_takes_text_and_bytes_and_returns_utf8_text(argument):
    text = quarvex.solve(argument)
    assert '"ItemCode":"Kiste für Ünterwäsche ✓"' in text
    assert text == quarvex.pack_dicts([UNICODE_ITEM], [BOX]).to_json(-1)


@pytest.mark.parametrize("argument", [None, 42, ["{}"], "\ud800"], ids=["None", "int", "list", "lone-surrogate"])
def test_solve_rejects_arguments_that_are_not_text(argument):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        quarvex.solve(argument)


def test_solve_rejects_bytes_that_are_not_utf8():
    with pytest.raises(RuntimeError, match=r"^\[json\.exception\.parse_error\.101\]"):
        quarvex.solve(b'{"items": [{"ItemCode": "\xff", "Width": 1, "Length": 1, "Depth": 1}]}')


def test_pack_dicts_takes_tuples_and_non_string_keys():
    result = quarvex.pack_dicts(({**ITEM},), {1: BOX, None: {**BOX, "Reference": "T", "Active": False}})
    assert result.success and result.boxes[0].box.reference == "S"


@pytest.mark.parametrize("seed", SEEDS[:12])
def test_pack_shares_the_callers_objects(seed):
    items, boxes = as_objects(random_request(seed))
    result = quarvex.pack(items, boxes)
    seen = Counter()
    for packed in result.boxes:
        assert any(packed.box is box for box in boxes)
        for placed in packed.items:
            seen[id(placed.item)] += 1
    for item in result.unplaced_items:
        seen[id(item)] += 1
    assert seen == Counter(id(item) for item in items)


def test_pack_inserts_an_object_given_twice_twice():
    item = Item("A", "A", 1, 1, 1, 1)
    result = quarvex.pack([item, item], (Box("B", 2, 2, 2, -1),))
    assert [p.item for packed in result.boxes for p in packed.items] == [item, item]
    assert all(p.item is item for packed in result.boxes for p in packed.items)


def test_items_outlive_the_callers_references():
    result = quarvex.pack([Item("A", "gone", 1, 1, 1, 1)], [Box("B", 2, 2, 2, -1)])
    assert result.boxes[0].items[0].item.item_reference == "gone"
    assert result.boxes[0].box.reference == "B"


@pytest.mark.parametrize(
    ("items", "boxes"),
    [
        ([{"ItemCode": "A"}], [BOX]),
        ([Box("B", 1, 1, 1, 1)], []),
        ("AB", []),
        (None, []),
        ([], [Item("A", "A", 1, 1, 1, 1)]),
        ([], [BOX]),
    ],
    ids=["dict-as-item", "box-as-item", "string", "None", "item-as-box", "dict-as-box"],
)
def test_pack_rejects_anything_but_items_and_boxes(items, boxes):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        quarvex.pack(items, boxes)


@pytest.mark.parametrize("value", [float("nan"), float("inf"), float("-inf")], ids=["nan", "inf", "-inf"])
@pytest.mark.parametrize(
    "place",
    [lambda v: ([{**ITEM, "Width": v}], [BOX]), lambda v: ([{**ITEM, "Weight": v}], [BOX]),
     lambda v: ([ITEM], [{**BOX, "MaxWeight": v}]), lambda v: ([{**ITEM, "Unread": [v]}], [])],
    ids=["item-width", "item-weight", "box-max-weight", "unread-key"],
)
def test_pack_dicts_rejects_non_finite_numbers(value, place):
    with pytest.raises(RuntimeError, match=r"^\[json\.exception\.parse_error\.101\]"):
        quarvex.pack_dicts(*place(value))


@pytest.mark.parametrize(
    "value",
    [{1, 2}, (x for x in ()), Item("A", "A", 1, 1, 1, 1), b"bytes", 1j, object()],
    ids=["set", "generator", "Item", "bytes", "complex", "object"],
)
@pytest.mark.parametrize("side", ["items", "boxes"])
def test_pack_dicts_passes_on_the_serialiser_type_error(value, side):
    arguments = {"items": [ITEM], "boxes": [BOX]}
    arguments[side] = [value]
    with pytest.raises(TypeError, match="is not JSON serializable"):
        quarvex.pack_dicts(**arguments)


def test_pack_dicts_reads_items_before_converting_boxes():
    with pytest.raises(ValueError, match="ItemCode"):
        quarvex.pack_dicts([42], [{1, 2}])
