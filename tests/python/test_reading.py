"""How item and box objects are read, on both dict roads: solve's JSON text
and pack_dicts' Python data."""

import json

import pytest

import quarvex

ITEM = {"ItemCode": "A", "Width": 1, "Length": 2, "Depth": 3}
BOX = {"Reference": "S", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": -1}


def via_solve(items, boxes):
    return json.loads(quarvex.solve(json.dumps({"items": items, "boxes": boxes})))


def via_pack_dicts(items, boxes):
    return quarvex.pack_dicts(items, boxes).to_dict()


ROADS = [pytest.param(via_solve, id="solve"), pytest.param(via_pack_dicts, id="pack_dicts")]


def type_fault(expected, actual):
    return RuntimeError, f"[json.exception.type_error.302] type must be {expected}, but is {actual}"


def missing_key(key):
    return RuntimeError, f"[json.exception.out_of_range.403] key '{key}' not found"


MISSING_ITEM_CODE = (ValueError, "item is missing required field 'ItemCode'")
MISSING_REFERENCE = (ValueError, "box is missing required field 'Reference'")


def without(element, *keys):
    return {key: value for key, value in element.items() if key not in keys}


ITEM_FAULTS = {
    "not-an-object": ([42], MISSING_ITEM_CODE),
    "key-in-other-case": ([{**without(ITEM, "ItemCode"), "itemcode": "A"}], MISSING_ITEM_CODE),
    "code-null": ([{**ITEM, "ItemCode": None}], type_fault("string", "null")),
    "code-number": ([{**ITEM, "ItemCode": 7}], type_fault("string", "number")),
    "weight-boolean": ([{**ITEM, "Weight": True}], type_fault("number", "boolean")),
    "width-null-is-not-missing": ([{**ITEM, "Width": None}], type_fault("number", "null")),
    "width-string": ([{**ITEM, "Width": "1"}], type_fault("number", "string")),
    "rotation-number": ([{**ITEM, "AllowedRotation": 0}], type_fault("string", "number")),
    "reference-number": ([{**ITEM, "ItemReference": 5}], type_fault("string", "number")),
    "group-array": ([{**ITEM, "BoxGroup": []}], type_fault("string", "array")),
    "width-missing": ([without(ITEM, "Width")], missing_key("Width")),
    "depth-before-width": ([without(ITEM, "Width", "Depth")], missing_key("Depth")),
    "length-before-width": ([without(ITEM, "Width", "Length")], missing_key("Length")),
    "code-before-dimensions": ([{"ItemCode": 1}], type_fault("string", "number")),
    "rotation-before-weight": ([{**ITEM, "AllowedRotation": 1, "Weight": "x"}], type_fault("string", "number")),
    "weight-before-dimensions": ([{"ItemCode": "A", "Weight": "x"}], type_fault("number", "string")),
    "dimensions-before-reference": ([{**without(ITEM, "Depth"), "ItemReference": 1}], missing_key("Depth")),
    "second-item": ([ITEM, {"ItemCode": "B"}], missing_key("Depth")),
}

BOX_FAULTS = {
    "not-an-object": ([42], MISSING_REFERENCE),
    "reference-missing": ([without(BOX, "Reference")], MISSING_REFERENCE),
    "max-weight-missing": ([without(BOX, "MaxWeight")], (ValueError, "box 'S' is missing required field 'MaxWeight'")),
    "max-weight-null": ([{**BOX, "MaxWeight": None}], (ValueError, "box 'S' is missing required field 'MaxWeight'")),
    "reference-number-without-max-weight": ([{**without(BOX, "MaxWeight"), "Reference": 5}], type_fault("string", "number")),
    "active-number": ([{**BOX, "Active": 1}], type_fault("boolean", "number")),
    "box-weight-string": ([{**BOX, "BoxWeight": "2"}], type_fault("number", "string")),
    "max-weight-string": ([{**BOX, "MaxWeight": "2"}], type_fault("number", "string")),
    "quantity-string": ([{**BOX, "MaximumBoxes": "2"}], type_fault("number", "string")),
    "active-before-box-weight": ([{**BOX, "Active": "yes", "BoxWeight": "2"}], type_fault("boolean", "string")),
    "max-weight-before-dimensions": ([{**without(BOX, "Depth"), "MaxWeight": "2"}], type_fault("number", "string")),
    "active-before-dimensions": ([{**without(BOX, "Depth"), "Active": 0}], type_fault("boolean", "number")),
    "depth-before-length": ([without(BOX, "Depth", "Length")], missing_key("Depth")),
    "length-before-width": ([without(BOX, "Length", "Width")], missing_key("Length")),
    "dimensions-before-reference-type": ([{"Reference": 5, "MaxWeight": 1}], missing_key("Depth")),
    "reference-before-quantity": ([{**BOX, "Reference": 5, "MaximumBoxes": "x"}], type_fault("string", "number")),
}


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(("items", "fault"), ITEM_FAULTS.values(), ids=ITEM_FAULTS.keys())
def test_item_faults(road, items, fault):
    kind, text = fault
    with pytest.raises(kind) as caught:
        road(items, [BOX])
    assert str(caught.value) == text


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(("boxes", "fault"), BOX_FAULTS.values(), ids=BOX_FAULTS.keys())
def test_box_faults(road, boxes, fault):
    kind, text = fault
    with pytest.raises(kind) as caught:
        road([ITEM], boxes)
    assert str(caught.value) == text


@pytest.mark.parametrize("road", ROADS)
def test_items_are_read_before_boxes(road):
    with pytest.raises(RuntimeError) as caught:
        road([{**ITEM, "Width": None}], [42])
    assert str(caught.value) == type_fault("number", "null")[1]


PARSE_ERROR = "[json.exception.parse_error.101] parse error at line 1, column "


@pytest.mark.parametrize(
    ("text", "start"),
    [
        ('{"items": [{"ItemCode": "A", "Width": 1e400}]}',
         "[json.exception.out_of_range.406] number overflow parsing '1e400'"),
        ("", PARSE_ERROR + "1: attempting to parse an empty input; check that your input string or stream "
         "contains the expected JSON"),
        (" ", PARSE_ERROR + "2: syntax error"),
        ("{} x", PARSE_ERROR + "4: syntax error"),
        ("{} // note", PARSE_ERROR),
        ("{} /* note */", PARSE_ERROR),
        ("/* note */ {}", PARSE_ERROR),
        ('{"items": [', PARSE_ERROR),
        ('{"items": [}', PARSE_ERROR),
    ],
    ids=["number-overflow", "empty", "blank", "trailing-text", "trailing-line-comment", "trailing-comment",
         "leading-comment", "unterminated", "unbalanced"],
)
def test_request_text_faults(text, start):
    with pytest.raises(RuntimeError) as caught:
        quarvex.solve(text)
    assert str(caught.value).startswith(start)


WRITTEN_ITEM = quarvex.Item("A", "r", 1, 2, 3, 4, "G", quarvex.Rotation.KEEP_FLAT)


def unplaced_item(road, item):
    """The item as read, seen through the unplaced items of a run without boxes."""
    (read,) = road([item], [])["unplaced_items"]
    return read


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(
    ("extra", "expected"),
    [
        ({}, {"ItemReference": "A", "Weight": 0.0, "AllowedRotation": "BestFit", "BoxGroup": None}),
        ({"ItemReference": None, "Weight": None, "AllowedRotation": None, "BoxGroup": None},
         {"ItemReference": "A", "Weight": 0.0, "AllowedRotation": "BestFit", "BoxGroup": None}),
        ({"ItemReference": "", "BoxGroup": ""}, {"ItemReference": "", "BoxGroup": None}),
        ({"ItemReference": "r", "Weight": 2, "BoxGroup": "G"}, {"ItemReference": "r", "Weight": 2.0, "BoxGroup": "G"}),
        ({"Width": 1.5, "Length": -2, "Depth": 0}, {"Width": 1.5, "Length": -2.0, "Depth": 0.0, "Volume": -0.0}),
        ({"Comment": "ignored"}, {"ItemCode": "A"}),
        (WRITTEN_ITEM.to_dict(), WRITTEN_ITEM.to_dict()),
    ],
    ids=["absent", "null", "empty-strings", "given", "unchecked-dimensions", "unknown-key", "written-item"],
)
def test_optional_item_fields(road, extra, expected):
    read = unplaced_item(road, {**ITEM, **extra})
    assert {key: read[key] for key in expected} == expected


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(
    ("name", "expected"),
    [
        ("Never", "Never"), ("NEVER", "Never"), ("never", "Never"),
        ("KeepFlat", "KeepFlat"), ("keepflat", "KeepFlat"), ("KEEPFLAT", "KeepFlat"), ("keep_flat", "KeepFlat"),
        ("KEEP_FLAT", "KeepFlat"), ("BestFit", "BestFit"), ("", "BestFit"), ("sideways", "BestFit"),
        ("Keep Flat", "BestFit"), ("keep-flat", "BestFit"), (" never", "BestFit"), ("NEVERÉ", "BestFit"),
    ],
)
def test_rotation_names(road, name, expected):
    assert unplaced_item(road, {**ITEM, "AllowedRotation": name})["AllowedRotation"] == expected


INT32_MAX = 2**31 - 1


@pytest.mark.parametrize(
    ("extra", "expected"),
    [
        ({}, dict(max_quantity=None, active=True, empty_weight=0.0, has_weight_limit=False)),
        ({"MaximumBoxes": None, "Active": None, "BoxWeight": None}, dict(max_quantity=None, active=True, empty_weight=0.0)),
        ({"MaximumBoxes": 2.9}, dict(max_quantity=2)),
        ({"MaximumBoxes": True}, dict(max_quantity=1)),
        ({"MaximumBoxes": 3}, dict(max_quantity=3, has_limited_quantity=True)),
        ({"MaximumBoxes": 4294967296}, dict(max_quantity=INT32_MAX)),
        ({"MaximumBoxes": 4294967297}, dict(max_quantity=INT32_MAX)),
        ({"MaximumBoxes": 2**64 - 1}, dict(max_quantity=INT32_MAX)),
        ({"MaximumBoxes": 2**64}, dict(max_quantity=INT32_MAX)),
        ({"MaximumBoxes": 2147483647.9}, dict(max_quantity=INT32_MAX)),
        ({"MaximumBoxes": 1e20}, dict(max_quantity=INT32_MAX)),
        ({"MaxWeight": 0, "BoxWeight": 0}, dict(max_weight=0.0, has_weight_limit=True)),
        ({"MaxWeight": 5, "BoxWeight": 1.5}, dict(max_weight=5.0, empty_weight=1.5)),
        ({"Comment": "ignored"}, dict(reference="S")),
    ],
    ids=["absent", "null", "quantity-float", "quantity-true", "quantity-int", "quantity-2**32", "quantity-2**32+1",
         "quantity-2**64-1", "quantity-2**64", "quantity-int32-max-fraction", "quantity-1e20", "zero-weight-limit", "weights", "unknown-key"],
)
def test_box_fields_of_an_opened_box(extra, expected):
    items, boxes = [ITEM], [{**BOX, **extra}]
    result = quarvex.pack_dicts(items, boxes)
    assert result.to_json(-1) == quarvex.solve(json.dumps({"items": items, "boxes": boxes}))
    (packed,) = result.boxes
    assert {name: getattr(packed.box, name) for name in expected} == expected


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(
    "extra",
    [{"MaximumBoxes": 0}, {"MaximumBoxes": False}, {"MaximumBoxes": -1}, {"MaximumBoxes": -4294967296},
     {"MaximumBoxes": -0.5}, {"Active": False}],
    ids=["quantity-0", "quantity-false", "quantity-negative", "quantity-below-int32", "quantity-small-negative",
         "inactive"],
)
def test_box_types_never_opened(road, extra):
    result = road([ITEM], [{**BOX, **extra}])
    assert (result["success"], result["boxes"], result["unplaced_item_codes"]) == (False, [], ["A"])


# The walk rule for the values of "items" and "boxes".


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize("nothing", [None, [], {}, ()], ids=["null", "empty-list", "empty-object", "empty-tuple"])
def test_walk_yields_nothing(road, nothing):
    result = road(nothing, nothing)
    assert (result["success"], result["boxes"], result["unplaced_items"]) == (True, [], [])


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize("items", [42, "A", True, ITEM], ids=["number", "string", "boolean", "single-item-object"])
def test_walk_fails_on_values_that_are_not_item_objects(road, items):
    with pytest.raises(ValueError, match="^item is missing required field 'ItemCode'$"):
        road(items, [BOX])


@pytest.mark.parametrize("road", ROADS)
def test_walk_reads_object_members_in_key_order(road):
    twin = {**ITEM, "Weight": 1}
    items = {"b": {**twin, "ItemReference": "from-b"}, "a": {**twin, "ItemReference": "from-a"}}
    # Equal items keep their reading order through the stable item ordering.
    assert [item["ItemReference"] for item in road(items, [])["unplaced_items"]] == ["from-a", "from-b"]


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(
    ("boxes", "chosen"),
    [({"z": BOX}, "S"), ({"z": BOX, "a": {**BOX, "Reference": "T"}}, "T"), ([{**BOX, "Reference": "2"}, BOX], "2")],
    ids=["object-member", "key-order", "list-order"],
)
def test_walk_keeps_the_order_of_box_types(road, boxes, chosen):
    # Of equal box types the first one read is opened.
    assert [box["box_reference"] for box in road([ITEM], boxes)["boxes"]] == [chosen]


@pytest.mark.parametrize("request_text", ["{}", " [] ", "null", "42", '"text"', '{"items": null, "boxes": null}', '{"Items": [1]}'])
def test_requests_without_items_or_boxes(request_text):
    assert quarvex.solve(request_text) == quarvex.solve("{}")


def test_empty_result_text():
    assert quarvex.solve("{}") == (
        '{"boxes":[],"placements":[],"success":true,"summary":{"box_count":0,"overall_volume_utilisation":0.0,'
        '"total_placed":0,"total_unplaced":0},"unplaced_item_codes":[],"unplaced_items":[]}'
    )


def test_items_without_boxes_are_unplaced_larger_first():
    result = json.loads(quarvex.solve(json.dumps({"items": [ITEM, {**ITEM, "ItemCode": "B", "Width": 2}]})))
    assert (result["success"], result["unplaced_item_codes"], result["summary"]["box_count"]) == (False, ["B", "A"], 0)
