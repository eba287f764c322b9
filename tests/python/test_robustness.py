"""No input from Python may crash the interpreter: every call ends in a
result or in one of the module's ordinary exceptions."""

import json

import pytest
from hypothesis import given
from hypothesis import strategies as st

import quarvex

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
    lambda children: st.lists(children, max_size=4) | st.dictionaries(st.text(max_size=6), children, max_size=4),
    max_leaves=12,
)
sizes = st.one_of(
    st.integers(min_value=-3, max_value=40),
    st.floats(min_value=-1e3, max_value=1e3, allow_nan=False),
    st.sampled_from([0.0, -0.0, 1e-300, 5e-324, 1e300, 1.7976931348623157e308]),
)
weights = st.one_of(st.none(), sizes, st.sampled_from([-1, 0, 1e9]))


def field(values, junk_one_in):
    """Mostly a value of the right kind, now and then (if at all) anything."""
    if junk_one_in is None:
        return values
    return st.integers(1, junk_one_in).flatmap(lambda n: json_like if n == 1 else values)


def item_like(junk_one_in=None):
    def f(values):
        return field(values, junk_one_in)

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
    def f(values):
        return field(values, junk_one_in)

    quantities = st.one_of(st.integers(-(2**40), 2**40), st.floats(allow_nan=False, allow_infinity=False), st.booleans())
    return st.fixed_dictionaries(
        {"Reference": f(st.text(max_size=4)), "Width": f(sizes), "Length": f(sizes), "Depth": f(sizes), "MaxWeight": f(sizes)},
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
        ('{"items":' + "[" * DEPTH + "]" * DEPTH + "}", (ValueError, "item is missing required field 'ItemCode'")),
        ('{"items":[{"ItemCode":' + '{"b":' * DEPTH + "1" + "}" * DEPTH + "}]}", (RuntimeError, "type must be string, but is object")),
        ('{"items":[{"ItemCode":"A","Depth":' + "[" * DEPTH + "]" * DEPTH + "}]}", (RuntimeError, "type must be number, but is array")),
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


def packed_with_bytes_that_are_not_utf8():
    item = quarvex.Item(b"\xff", b"\xfe", 1, 1, 1, 1, b"\xc3")
    return item, quarvex.pack([item], [quarvex.Box(b"B\xff", 2, 2, 2, -1)])


@pytest.mark.parametrize(
    ("read", "fault"),
    [
        (lambda item, result: item.item_code, UnicodeDecodeError),
        (lambda item, result: repr(item), UnicodeDecodeError),
        (lambda item, result: item.to_dict(), UnicodeDecodeError),
        (lambda item, result: repr(result.boxes[0]), UnicodeDecodeError),
        (lambda item, result: result.to_dict(), UnicodeDecodeError),
        (lambda item, result: result.to_json(), RuntimeError),
    ],
    ids=["property", "repr", "to_dict", "packed-box-repr", "result-to_dict", "to_json"],
)
def test_constructor_bytes_that_are_not_utf8_fail_only_when_read_back(read, fault):
    # Constructors take bytes as they are; turning them back into text fails cleanly.
    item, result = packed_with_bytes_that_are_not_utf8()
    assert result.total_placed == 1
    with pytest.raises(fault):
        read(item, result)
