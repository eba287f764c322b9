"""No input from Python may crash the interpreter: every call ends in a
result or in one of the module's ordinary exceptions."""

import functools
import json
import math

import pytest
from hypothesis import example, given
from hypothesis import strategies as st

import quarvex
from bench.generators import as_objects

EXPECTED_FAULTS = (ValueError, RuntimeError, TypeError)

scalars = st.one_of(
    st.none(),
    st.booleans(),
    st.integers(min_value=-(2**70), max_value=2**70),
    st.floats(allow_nan=True, allow_infinity=True),
    st.text(max_size=8),
)
json_like = st.recursive(
    scalars,
    lambda children: (
        st.lists(children, max_size=4) | st.dictionaries(st.text(max_size=6), children, max_size=4)
    ),
    max_leaves=12,
)
# Sizes and weights that every entry point takes, at their edges.
sizes = st.one_of(
    st.integers(min_value=0, max_value=40),
    st.floats(min_value=0, max_value=1e3),
    st.sampled_from([0.0, -0.0, 1e-300, 5e-324, 1e300, 1.7976931348623157e308]),
)
weights = st.one_of(st.none(), sizes, st.sampled_from([0, 1e9]))
max_weights = st.one_of(sizes, st.sampled_from([-1, -1e300, -5e-324]))


def field(values, junk_one_in):
    """Mostly a value of the right kind, now and then (if at all) anything."""
    if junk_one_in is None:
        return values
    return st.integers(1, junk_one_in).flatmap(lambda n: json_like if n == 1 else values)


def item_like(junk_one_in=None):
    f = functools.partial(field, junk_one_in=junk_one_in)
    return st.fixed_dictionaries(
        {"ItemCode": f(st.text(max_size=4)), "Width": f(sizes), "Length": f(sizes), "Depth": f(sizes)},
        optional={
            "ItemReference": f(st.text(max_size=4)),
            "Weight": f(weights),
            "AllowedRotation": f(st.sampled_from(["Never", "KeepFlat", "BestFit", "keep_flat", "x"])),
            "BoxGroup": f(st.sampled_from(["", "G1", "G2"])),
        },
    )


def box_like(junk_one_in=None):
    f = functools.partial(field, junk_one_in=junk_one_in)
    quantities = st.one_of(
        st.integers(-(2**40), 2**40), st.floats(allow_nan=False, allow_infinity=False), st.booleans()
    )
    return st.fixed_dictionaries(
        {
            "Reference": f(st.text(max_size=4)),
            "Width": f(sizes),
            "Length": f(sizes),
            "Depth": f(sizes),
            "MaxWeight": f(max_weights),
        },
        optional={"BoxWeight": f(weights), "Active": f(st.booleans()), "MaximumBoxes": f(quantities)},
    )


# Whole lists of well-typed elements, with odd values: every call must pack.
items_list = st.lists(item_like(), max_size=6)
boxes_list = st.lists(box_like(), min_size=1, max_size=3)
# Anything at all in places, or instead of the lists.
items_value = field(st.lists(item_like(junk_one_in=20), max_size=6), junk_one_in=6)
boxes_value = field(st.lists(box_like(junk_one_in=20), max_size=3), junk_one_in=6)


def outcome(call):
    try:
        return call()
    except EXPECTED_FAULTS as fault:
        return fault


@given(items=items_list, boxes=boxes_list, min_support=st.sampled_from([0.0, 1.0]))
def test_pack_dicts_and_optimize_pack_odd_but_well_typed_values(items, boxes, min_support):
    packed = quarvex.pack_dicts(items, boxes)
    optimized = quarvex.optimize(items, boxes, time_limit=None, effort=300, min_support=min_support)
    for result in (packed, optimized):
        assert result.total_placed + result.total_unplaced == len(items)
        assert result.success == (result.total_unplaced == 0)
        assert json.loads(result.to_json(-1))["summary"]["box_count"] == len(result.boxes)
    if min_support == 0.0:
        assert optimized.total_placed >= packed.total_placed


@given(items=items_value, boxes=boxes_value)
# Two faults in one box: the search's reading once met the unreadable Reference first.
@example(items=[], boxes=[{"Reference": None, "Width": None, "Length": None, "Depth": None, "MaxWeight": []}])
def test_pack_dicts_and_optimize_never_crash(items, boxes):
    result = outcome(lambda: quarvex.pack_dicts(items, boxes))
    optimized = outcome(lambda: quarvex.optimize(items, boxes, time_limit=None, effort=100))
    if isinstance(result, quarvex.PackResult):
        assert result.success == (result.total_unplaced == 0)
        json.loads(result.to_json(-1))
        result.to_dict()
        optimized.to_dict()
    else:  # the same reading rules, so the same fault
        assert (type(optimized), str(optimized)) == (type(result), str(result))


@given(items=items_value, boxes=boxes_value, allow_nan=st.booleans())
def test_solve_never_crashes_on_json_text(items, boxes, allow_nan):
    try:
        text = json.dumps({"items": items, "boxes": boxes}, allow_nan=allow_nan)
    except ValueError:
        return  # a non-finite number that strict JSON cannot carry
    result = outcome(lambda: quarvex.solve(text))
    if isinstance(result, str):
        assert json.loads(result).keys() >= {"boxes", "success", "summary"}


@given(st.binary(max_size=200) | st.text(max_size=200).map(str.encode))
def test_solve_never_crashes_on_bytes(data):
    result = outcome(lambda: quarvex.solve(data))
    assert isinstance(result, (str, *EXPECTED_FAULTS))


DEPTH = 1_000_000


@pytest.mark.parametrize(
    ("text", "fault"),
    [
        ("[" * DEPTH + "]" * DEPTH, None),
        ('{"a":' * DEPTH + "1" + "}" * DEPTH, None),
        (
            '{"items":' + "[" * DEPTH + "]" * DEPTH + "}",
            (ValueError, "item is missing required field 'ItemCode'"),
        ),
        (
            '{"items":[{"ItemCode":' + '{"b":' * DEPTH + "1" + "}" * DEPTH + "}]}",
            (RuntimeError, "type must be string, but is object"),
        ),
        (
            '{"items":[{"ItemCode":"A","Depth":' + "[" * DEPTH + "]" * DEPTH + "}]}",
            (RuntimeError, "type must be number, but is array"),
        ),
        ("[" * DEPTH, (RuntimeError, "[json.exception.parse_error.101]")),
    ],
    ids=["arrays", "objects", "items-array", "item-code", "depth", "unterminated"],
)
def test_solve_survives_a_million_levels_of_nesting(text, fault):
    if fault is None:
        assert quarvex.solve(text) == quarvex.solve("{}")
        return
    kind, message = fault
    with pytest.raises(kind) as caught:
        quarvex.solve(text)
    assert message in str(caught.value)


def test_pack_dicts_refuses_a_million_levels_of_nesting():
    nested = []
    for _ in range(DEPTH):
        nested = [nested]
    with pytest.raises(RecursionError):
        quarvex.pack_dicts(nested, [])


BAD_SIZES = [-1, -3e-7, math.nan, math.inf, -math.inf]
FIELDS = {"item": ("Width", "Length", "Depth", "Weight"), "box": ("Width", "Length", "Depth", "BoxWeight")}
BAD_FIGURES = [
    (kind, field, value) for kind, fields in FIELDS.items() for field in fields for value in BAD_SIZES
]
BAD_FIGURES += [("box", "MaxWeight", value) for value in (math.nan, math.inf, -math.inf)]
ITEM = {"ItemCode": "A", "Width": 10, "Length": 10, "Depth": 10, "Weight": 1}
BOX = {"Reference": "B", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": 10, "BoxWeight": 0}
# The dict roads read JSON, which carries no NaN or infinity (they fail to
# parse); those reach only the constructors.
ROADS = {
    "solve": lambda items, boxes: quarvex.solve(json.dumps({"items": items, "boxes": boxes})),
    "pack_dicts": quarvex.pack_dicts,
    "optimize": lambda items, boxes: quarvex.optimize(items, boxes, effort=10),
    "constructors": lambda items, boxes: quarvex.pack(*as_objects({"items": items, "boxes": boxes})),
}
CASES = [
    pytest.param(road, *figure, id=f"{name}-{figure[0]}-{figure[1]}-{figure[2]}")
    for name, road in ROADS.items()
    for figure in BAD_FIGURES
    if name == "constructors" or math.isfinite(figure[2])
]


@pytest.mark.parametrize(("road", "kind", "field", "value"), CASES)
def test_sizes_and_weights_no_packing_can_use_are_refused(road, kind, field, value):
    items, boxes = [ITEM, {**ITEM, "ItemCode": "C"}], [BOX]
    if kind == "item":
        items[1][field] = value
    else:
        boxes[0] = {**BOX, field: value}
    with pytest.raises(
        ValueError, match=f"^{kind} '{'C' if kind == 'item' else 'B'}': {field} must be a finite number"
    ):
        road(items, boxes)
