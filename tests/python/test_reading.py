"""How requests are read, on both dict roads: solve's JSON text and pack_dicts' Python data."""

import builtins
import json
import re
from pathlib import Path

import jsonschema
import pytest

import quarvex

ITEM = {"ItemCode": "A", "Width": 1, "Length": 2, "Depth": 3}
BOX = {"Reference": "S", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": -1}
# Each row: a request, the exception it raises and its whole message.
FAULTS = json.loads((Path(__file__).resolve().parents[1] / "data" / "reading_faults.json").read_text())


def via_solve(items, boxes):
    return json.loads(quarvex.solve(json.dumps({"items": items, "boxes": boxes})))


def via_pack_dicts(items, boxes):
    return quarvex.pack_dicts(items, boxes).to_dict()


ROADS = [pytest.param(via_solve, id="solve"), pytest.param(via_pack_dicts, id="pack_dicts")]


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize("row", FAULTS, ids=[row["case"] for row in FAULTS])
def test_faults(road, row):
    with pytest.raises(getattr(builtins, row["error"])) as caught:
        road(row["items"], row["boxes"])
    assert str(caught.value) == row["message"]


PARSE_ERROR = "[json.exception.parse_error.101] parse error at line 1, column "


TEXT_FAULTS = {
    "number-overflow": (
        '{"items": [{"ItemCode": "A", "Width": 1e400}]}',
        "[json.exception.out_of_range.406] number overflow parsing '1e400'",
    ),
    "empty": (
        "",
        PARSE_ERROR + "1: attempting to parse an empty input; check that your input string or stream "
        "contains the expected JSON",
    ),
    "blank": (" ", PARSE_ERROR + "2: syntax error"),
    "trailing-text": ("{} x", PARSE_ERROR + "4: syntax error"),
    "trailing-comment": ("{} // note", PARSE_ERROR),
    "leading-comment": ("/* note */ {}", PARSE_ERROR),
    "unterminated": ('{"items": [', PARSE_ERROR),
    "unbalanced": ('{"items": [}', PARSE_ERROR),
    # The parser would stop at a NUL byte and call what came before the whole text.
    "nul-byte": (
        "{}\0 x",
        PARSE_ERROR + "3: syntax error while parsing value - unexpected NUL byte; expected end of input",
    ),
    "nul-byte-on-line-2": (
        '{"items": []}\n \0',
        "[json.exception.parse_error.101] parse error at line 2, column 2: syntax error",
    ),
}


@pytest.mark.parametrize(("text", "start"), TEXT_FAULTS.values(), ids=TEXT_FAULTS.keys())
def test_request_text_faults(text, start):
    with pytest.raises(RuntimeError) as caught:
        quarvex.solve(text)
    assert str(caught.value).startswith(start)


WRITTEN_ITEM = quarvex.Item("A", "r", 1, 2, 3, 4, "G", quarvex.Rotation.KEEP_FLAT)
DEFAULTS = {"ItemReference": "A", "Weight": 0.0, "AllowedRotation": "BestFit", "BoxGroup": None}


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(
    ("extra", "expected"),
    [
        ({}, DEFAULTS),
        ({"ItemReference": None, "Weight": None, "AllowedRotation": None, "BoxGroup": None}, DEFAULTS),
        ({"ItemReference": "", "BoxGroup": ""}, {"ItemReference": "", "BoxGroup": None}),
        ({"Width": 1.5, "Length": 2, "Depth": 0}, {"Width": 1.5, "Length": 2.0, "Depth": 0.0, "Volume": 0.0}),
        ({"Comment": "ignored"}, {"ItemCode": "A"}),
        (WRITTEN_ITEM.to_dict(), WRITTEN_ITEM.to_dict()),
        *[
            ({"AllowedRotation": name}, {"AllowedRotation": rule})
            for rule, names in [
                ("Never", ["NEVER", "never"]),
                ("KeepFlat", ["keepflat", "KEEP_FLAT"]),
                ("BestFit", ["", "Keep Flat", "keep-flat", " never", "NEVERÉ"]),
            ]
            for name in names
        ],
    ],
)
def test_item_fields(road, extra, expected):
    # Without boxes every item comes back unplaced, as it was read.
    (read,) = road([{**ITEM, **extra}], [])["unplaced_items"]
    assert {key: read[key] for key in expected} == expected


INT32_MAX = 2**31 - 1


@pytest.mark.parametrize(
    ("extra", "expected"),
    [
        ({}, dict(max_quantity=None, active=True, empty_weight=0.0, has_weight_limit=False)),
        (
            {"MaximumBoxes": None, "Active": None, "BoxWeight": None},
            dict(max_quantity=None, active=True, empty_weight=0.0),
        ),
        ({"MaximumBoxes": 2.9}, dict(max_quantity=2)),
        ({"MaximumBoxes": True}, dict(max_quantity=1)),
        ({"MaximumBoxes": 3}, dict(max_quantity=3, has_limited_quantity=True)),
        *[
            ({"MaximumBoxes": n}, dict(max_quantity=INT32_MAX))
            for n in (2**32, 2**32 + 1, 2**64 - 1, 2**64, 2147483647.9, 1e20)
        ],
        ({"MaxWeight": 0, "BoxWeight": 0}, dict(max_weight=0.0, has_weight_limit=True)),
        ({"MaxWeight": 5, "BoxWeight": 1.5}, dict(max_weight=5.0, empty_weight=1.5)),
        ({"Comment": "ignored"}, dict(reference="S")),
        # What Box.to_dict writes reads back as the same box type, with or without a weight limit.
        *[
            (
                box.to_dict(),
                {
                    name: getattr(box, name)
                    for name in ("reference", "max_weight", "empty_weight", "max_quantity")
                },
            )
            for box in (quarvex.Box("U", 10, 10, 10, -1.5, 0.5, True, 3), quarvex.Box("L", 10, 10, 10, 7))
        ],
    ],
)
def test_box_fields_of_an_opened_box(extra, expected):
    items, boxes = [ITEM], [{**BOX, **extra}]
    result = quarvex.pack_dicts(items, boxes)
    assert result.to_json(-1) == quarvex.solve(json.dumps({"items": items, "boxes": boxes}))
    (packed,) = result.boxes
    assert {name: getattr(packed.box, name) for name in expected} == expected


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(
    "extra", [*[{"MaximumBoxes": n} for n in (0, False, -1, -4294967296, -0.5)], {"Active": False}]
)
def test_box_types_never_opened(road, extra):
    result = road([ITEM], [{**BOX, **extra}])
    assert (result["success"], result["boxes"], result["unplaced_item_codes"]) == (False, [], ["A"])


# The walk rule for the values of "items" and "boxes".


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize("nothing", [None, [], {}, ()])
def test_walk_yields_nothing(road, nothing):
    result = road(nothing, nothing)
    assert (result["success"], result["boxes"], result["unplaced_items"]) == (True, [], [])


@pytest.mark.parametrize("road", ROADS)
@pytest.mark.parametrize(
    "items", [42, "A", True, ITEM], ids=["number", "string", "boolean", "single-item-object"]
)
def test_walk_fails_on_values_that_are_not_item_objects(road, items):
    with pytest.raises(ValueError, match="^item is missing required field 'ItemCode'$"):
        road(items, [BOX])


@pytest.mark.parametrize("road", ROADS)
def test_walk_reads_object_members_in_key_order(road):
    twin = {**ITEM, "Weight": 1}
    items = {"b": {**twin, "ItemReference": "from-b"}, "a": {**twin, "ItemReference": "from-a"}}
    # Equal items keep their reading order through the stable item ordering.
    assert [item["ItemReference"] for item in road(items, [])["unplaced_items"]] == ["from-a", "from-b"]
    # Of equal box types the first one read is opened.
    boxes = {"z": BOX, "a": {**BOX, "Reference": "T"}}
    assert [box["box_reference"] for box in road([ITEM], boxes)["boxes"]] == ["T"]
    assert [box["box_reference"] for box in road([ITEM], [{**BOX, "Reference": "2"}, BOX])["boxes"]] == ["2"]


@pytest.mark.parametrize(
    "text", ["{}", " [] ", "null", "42", '"text"', '{"items": null, "boxes": null}', '{"Items": [1]}']
)
def test_requests_without_items_or_boxes(text):
    assert quarvex.solve(text) == (
        '{"boxes":[],"placements":[],"success":true,"summary":{"box_count":0,"overall_volume_utilisation":0.0,'
        '"total_placed":0,"total_unplaced":0},"unplaced_item_codes":[],"unplaced_items":[]}'
    )


# Strict reading: every fault of the lenient table, and what only strict
# reading refuses, named with its pointer; the request schema agrees.

STRICT = json.loads((Path(__file__).resolve().parents[1] / "data" / "strict_faults.json").read_text())
STRICT_ROWS = [
    *[
        pytest.param(
            {"items": row["items"], "boxes": row["boxes"]},
            "search",
            row["strict_pointer"],
            None,
            id=row["case"],
        )
        for row in FAULTS
    ],
    *[
        pytest.param(
            row["request"], row.get("reader", "search"), row["pointer"], row["message"], id=row["case"]
        )
        for row in STRICT
    ],
]


@pytest.mark.parametrize(("request_", "reader", "pointer", "message"), STRICT_ROWS)
def test_strict_reading_names_the_fault_and_the_schema_agrees(request_, reader, pointer, message):
    fault = quarvex.request_fault(request_, search=reader == "search")
    assert (fault and fault[0]) == pointer
    if message is not None:
        assert fault[1] == message
    if reader == "search":
        valid = jsonschema.Draft202012Validator(quarvex.request_schema()).is_valid(request_)
        assert valid == (pointer is None)
    call = quarvex.optimize if reader == "search" else quarvex.pack_dicts
    if isinstance(request_, dict) and set(request_) <= {"items", "boxes"}:
        if pointer is None:
            call(request_.get("items"), request_.get("boxes"), strict=True)
        else:
            with pytest.raises(ValueError, match=re.escape(f"(at {pointer})")):
                call(request_.get("items"), request_.get("boxes"), strict=True)
