"""Engine calls stop on Ctrl-C and at a deadline, raise, and leave nothing half-made."""

import json
import os
import random
import subprocess
import time
from pathlib import Path

import pytest
from validator import validate

import quarvex
from bench.generators import as_objects, request_taking_seconds, scaling_request

SLOW = request_taking_seconds()
SLOW_TEXT = json.dumps(SLOW)
SLOW_OBJECTS = as_objects(SLOW)
# Longer in the default packer than the search's budget below.
TWO_HUNDRED = json.loads((Path(__file__).parents[1] / "data" / "slow_200_items.json").read_text())

CALLS = {
    "solve": lambda **limit: quarvex.solve(SLOW_TEXT, **limit),
    "pack_dicts": lambda **limit: quarvex.pack_dicts(SLOW["items"], SLOW["boxes"], **limit),
    "pack": lambda **limit: quarvex.pack(*SLOW_OBJECTS, **limit),
}


@pytest.mark.timeout(60)
@pytest.mark.parametrize("name", [*CALLS, "optimize"])
def test_ctrl_c_stops_a_call_midway(name):
    call = CALLS.get(name) or (
        lambda: quarvex.optimize(TWO_HUNDRED["items"], TWO_HUNDRED["boxes"], time_limit=None, effort=2**62)
    )
    # From another process, as from a terminal: a thread of this one would wait for the lock.
    sender = subprocess.Popen(["sh", "-c", f"sleep 0.3; kill -INT {os.getpid()}"])
    try:
        with pytest.raises(KeyboardInterrupt):
            call()
    finally:
        sender.wait()


@pytest.mark.parametrize("name", CALLS)
def test_a_deadline_raises_timeout_error(name):
    with pytest.raises(quarvex.TimeoutError, match="the time limit ran out") as raised:
        CALLS[name](time_limit=0.05)
    assert isinstance(raised.value, TimeoutError)


def test_calls_stopped_anywhere_change_no_later_result():
    request = scaling_request(300)
    text = json.dumps(request)
    started = time.perf_counter()
    expected = quarvex.solve(text)
    length = time.perf_counter() - started
    rng = random.Random(5)
    for _ in range(10):
        try:
            quarvex.solve(text, time_limit=rng.uniform(0, length))
        except quarvex.TimeoutError:
            pass
    assert quarvex.solve(text) == expected


@pytest.mark.parametrize("limit", [-1.0, float("nan"), float("inf")])
def test_time_limits_are_checked(limit):
    with pytest.raises(ValueError, match="time_limit must be a finite number of seconds of at least 0"):
        quarvex.solve('{"items": [], "boxes": []}', time_limit=limit)


def test_optimize_past_its_deadline_without_the_packers_result_is_sound():
    # The default packer cannot finish in this time; the search's own start stands in.
    result = quarvex.optimize(TWO_HUNDRED["items"], TWO_HUNDRED["boxes"], time_limit=0.01)
    validate(result.to_dict(), TWO_HUNDRED["items"], TWO_HUNDRED["boxes"])
    assert result.total_placed == len(TWO_HUNDRED["items"])
