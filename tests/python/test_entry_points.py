"""What each entry point takes, what it refuses, and the objects pack hands back."""

import json
import pickle
import sys
import threading
import time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

import pytest

import quarvex
from bench import generators
from quarvex import Box, Item

ITEM = {"ItemCode": "A", "Width": 1, "Length": 2, "Depth": 3}
BOX = {"Reference": "S", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": -1}
UNICODE_ITEM = {**ITEM, "ItemCode": "Kiste für Ünterwäsche ✓"}
UNICODE_TEXT = json.dumps({"items": [UNICODE_ITEM], "boxes": [BOX]}, ensure_ascii=False)


@pytest.mark.parametrize(
    "argument",
    [
        UNICODE_TEXT,
        json.dumps({"items": [UNICODE_ITEM], "boxes": [BOX]}),
        UNICODE_TEXT.encode(),
        bytearray(UNICODE_TEXT.encode()),
    ],
    ids=["str", "str-escaped", "bytes", "bytearray"],
)
def test_solve_takes_text_and_bytes_and_returns_utf8_text(argument):
    text = quarvex.solve(argument)
    assert '"ItemCode":"Kiste für Ünterwäsche ✓"' in text
    assert text == quarvex.pack_dicts([UNICODE_ITEM], [BOX]).to_json(-1)


def test_pack_dicts_takes_tuples_and_non_string_keys():
    result = quarvex.pack_dicts(({**ITEM},), {1: BOX, None: {**BOX, "Reference": "T", "Active": False}})
    assert result.success and result.boxes[0].box.reference == "S"


def outcome(call):
    try:
        return call()
    except Exception as fault:  # noqa: BLE001 - the fault itself is compared
        return type(fault), str(fault)


VALUES = {
    "2^63": 2**63,
    "2^64": 2**64,
    "below-int64": -(2**63) - 1,
    "minus-zero": -0.0,
    "1e16": 1e16,
    "inexact": 0.1 + 0.2,
    "whole-float": 5.0,
    "true": True,
    "none": None,
    "tuple": (1, [2.5]),
    "dict": {"k": {}},
    "escapes": 'q"\\\n\x00\u2713\U0001f600',
}


@pytest.mark.parametrize("value", VALUES.values(), ids=VALUES.keys())
@pytest.mark.parametrize("key", ["Width", "Weight", "ItemReference", "Unread"])
def test_pack_dicts_reads_values_as_json_dumps_and_parsing_would(value, key):
    items, boxes = [{**ITEM, key: value}], [BOX]
    text = outcome(lambda: quarvex.solve(json.dumps({"items": items, "boxes": boxes})))
    assert outcome(lambda: quarvex.pack_dicts(items, boxes).to_json(-1)) == text


NOT_SERIALISABLE = [{1, 2}, (x for x in ()), Item("A", "A", 1, 1, 1, 1), b"bytes", 1j, object()]
NOT_ARGUMENTS = "incompatible function arguments"
PARSE_ERROR = r"^\[json\.exception\.parse_error\.101\]"
REFUSALS = {
    **{
        f"solve-{name}": (lambda v=v: quarvex.solve(v), TypeError, NOT_ARGUMENTS)
        for name, v in [("None", None), ("int", 42), ("list", ["{}"]), ("lone-surrogate", "\ud800")]
    },
    "solve-bytes-not-utf8": (
        lambda: quarvex.solve(b'{"items": [{"ItemCode": "\xff", "Width": 1, "Length": 1, "Depth": 1}]}'),
        RuntimeError,
        PARSE_ERROR,
    ),
    **{
        f"pack-{name}": (lambda i=items, b=boxes: quarvex.pack(i, b), TypeError, NOT_ARGUMENTS)
        for name, items, boxes in [
            ("dict-as-item", [ITEM], [BOX]),
            ("box-as-item", [Box("B", 1, 1, 1, 1)], []),
            ("string", "AB", []),
            ("None", None, []),
            ("item-as-box", [], [Item("A", "A", 1, 1, 1, 1)]),
            ("dict-as-box", [], [BOX]),
        ]
    },
    **{
        f"pack_dicts-{value}-in-{name}": (
            lambda v=value, p=place: quarvex.pack_dicts(*p(v)),
            RuntimeError,
            PARSE_ERROR,
        )
        for value in (float("nan"), float("inf"), float("-inf"), "\ud800")
        for name, place in [
            ("width", lambda v: ([{**ITEM, "Width": v}], [BOX])),
            ("weight", lambda v: ([{**ITEM, "Weight": v}], [BOX])),
            ("max-weight", lambda v: ([ITEM], [{**BOX, "MaxWeight": v}])),
            ("unread-key", lambda v: ([{**ITEM, "Unread": [v]}], [])),
        ]
    },
    **{
        f"pack_dicts-{side}-{type(value).__name__}": (
            lambda s=side, v=value: quarvex.pack_dicts(**{"items": [ITEM], "boxes": [BOX], s: [v]}),
            TypeError,
            "is not JSON serializable",
        )
        for side in ("items", "boxes")
        for value in NOT_SERIALISABLE
    },
    # Items are read before boxes are converted.
    "pack_dicts-items-first": (lambda: quarvex.pack_dicts([42], [{1, 2}]), ValueError, "ItemCode"),
}


@pytest.mark.parametrize(("call", "fault", "message"), REFUSALS.values(), ids=REFUSALS.keys())
def test_refusals(call, fault, message):
    with pytest.raises(fault, match=message):
        call()


@pytest.mark.parametrize("seed", range(8))
def test_pack_shares_the_callers_objects(seed):
    items, boxes = generators.as_objects(generators.feature_request(seed))
    result = quarvex.pack(items, boxes)
    seen = Counter()
    for packed in result.boxes:
        assert any(packed.box is box for box in boxes)
        seen.update(id(placed.item) for placed in packed.items)
    seen.update(id(item) for item in result.unplaced_items)
    assert seen == Counter(id(item) for item in items)


def test_pack_places_an_object_given_twice_twice_and_keeps_it_alive():
    item = Item("A", "gone", 1, 1, 1, 1)
    result = quarvex.pack([item, item], (Box("B", 2, 2, 2, -1),))
    placed = [p.item for packed in result.boxes for p in packed.items]
    assert len(placed) == 2 and all(p is item for p in placed)
    del item, placed  # the result alone holds the item and the box now
    assert (result.boxes[0].items[0].item.item_reference, result.boxes[0].box.reference) == ("gone", "B")


def cube(code, size, weight=0.0, **extra):
    return {"ItemCode": code, "Width": size, "Length": size, "Depth": size, "Weight": weight, **extra}


def carton(reference, size, max_weight=-1, **extra):
    return dict(Reference=reference, Width=size, Length=size, Depth=size, MaxWeight=max_weight, **extra)


@pytest.mark.parametrize(
    ("reason", "items", "boxes"),
    [
        ("no_active_box_type", [cube("a", 1)], [carton("S", 10, Active=False)]),
        ("too_large", [cube("a", 20)], [carton("S", 10), carton("T", 9)]),
        ("too_heavy", [cube("a", 1, 9)], [carton("S", 10, 5), carton("T", 10, 9, BoxWeight=1)]),
        ("no_type_large_and_strong", [cube("a", 20, 9)], [carton("S", 10, 99), carton("L", 30, 5)]),
        ("supply_exhausted", [cube("a", 10), cube("b", 10)], [carton("S", 10, MaximumBoxes=1)]),
        (
            "box_group",
            [cube("a", 1, BoxGroup="g"), cube("b", 1, BoxGroup="h")],
            [carton("S", 10, MaximumBoxes=1)],
        ),
        # The packer places whatever fits a box type with supply left; a result that
        # left such an item out is made from its state.
        ("no_room_beside_others", [cube("a", 1)], [carton("S", 10)]),
    ],
)
def test_unplaced_items_say_why(reason, items, boxes):
    if reason == "no_room_beside_others":
        item, box = Item("a", "a", 1, 1, 1, 0).__getstate__(), Box("S", 10, 10, 10, -1).__getstate__()
        results = [quarvex.PackResult.__new__(quarvex.PackResult)]
        results[0].__setstate__((False, [item], [box], [], [0], [0]))
    else:
        results = [quarvex.pack_dicts(items, boxes), quarvex.optimize(items, boxes, effort=1000)]
    for result in results:
        copy = pickle.loads(pickle.dumps(result))
        assert result.unplaced_reasons() == copy.unplaced_reasons() == [reason]
        assert json.loads(result.to_json(explain=True))["unplaced_reasons"] == [reason]


# Each entry point on a request dict and its Item and Box objects, as compact JSON text.
ENTRY_POINTS = {
    "solve": lambda request, objects, k: quarvex.solve(json.dumps(request)),
    "pack_dicts": lambda request, objects, k: quarvex.pack_dicts(request["items"], request["boxes"]).to_json(
        -1
    ),
    "pack": lambda request, objects, k: quarvex.pack(*objects).to_json(-1),
    "optimize": lambda request, objects, k: quarvex.optimize(
        *objects, time_limit=None, effort=2000, seed=k, min_support=k % 2
    ).to_json(-1),
}


def test_threads_mixing_the_entry_points_give_the_bytes_of_serial_calls():
    requests = [generators.feature_request(seed) for seed in range(200, 212)]
    shared = [generators.as_objects(request) for request in requests]  # the same objects in every thread
    calls = [(name, k) for k in range(len(requests)) for name in ENTRY_POINTS]

    def run(call):
        name, k = call
        return ENTRY_POINTS[name](requests[k], shared[k], k)

    serial = [run(call) for call in calls]
    with ThreadPoolExecutor(max_workers=4) as pool:
        assert list(pool.map(run, reversed(calls)))[::-1] == serial


@pytest.mark.parametrize("name", ENTRY_POINTS)
def test_other_threads_run_while_the_engine_packs(name):
    request = generators.scaling_request(3000 if name == "pack_dicts" else 300)
    objects = generators.as_objects(request)
    ticks = [0]
    counted = []

    def call():
        before = ticks[0]
        ENTRY_POINTS[name](request, objects, 0)
        counted.append(ticks[0] - before)

    interval = sys.getswitchinterval()
    # Longer than any call: the lock changes hands only where its holder lets it go.
    sys.setswitchinterval(60)
    try:
        caller = threading.Thread(target=call)
        caller.start()
        while caller.is_alive():
            ticks[0] += 1
            time.sleep(0.001)
    finally:
        sys.setswitchinterval(interval)
    assert counted[0] > 0, "the main thread never ran while the engine packed"
