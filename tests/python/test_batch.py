"""pack_batch gives what solve gives, request by request, on every kind of pool,
and survives workers that die or are stuck and inputs that fail."""

import json
import math
import os
import signal
import subprocess
import sys
import time
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from multiprocessing import get_context

import pytest

import quarvex
from bench import generators
from quarvex import pack_batch

BAD = ["not json", {"items": [{"ItemCode": "A"}]}, 42, {"items": [{"ItemCode": "N", "Width": math.nan}]}]
REQUESTS = [generators.feature_request(seed) for seed in range(300)] + BAD
REQUESTS[7] = json.dumps(REQUESTS[7]).encode()


class KillsItsWorker:
    """Unpickling it ends the process that does so."""

    def __reduce__(self):
        return os._exit, (9,)


class HangsItsWorker:
    """Unpickling it blocks the process that does so, where no deadline reaches."""

    def __reduce__(self):
        return time.sleep, (3600,)


SLOW_TEXT = json.dumps(generators.request_taking_seconds())


def serial(request):
    try:
        return quarvex.solve(json.dumps(request) if isinstance(request, dict) else request), None
    except Exception as error:
        return None, (type(error).__name__, str(error))


EXPECTED = [serial(request) for request in REQUESTS]
EXPECTED[-2] = (None, ("TypeError", "a request must be a dict or its JSON text (str or bytes), not int"))


def as_pairs(outcomes):
    by_index = {o.index: (o.response, o.error and (o.error.type, o.error.message)) for o in outcomes}
    return [by_index[i] for i in range(len(by_index))]


def pool_workers():
    """The local pool's workers: our children's children that the forkserver started."""
    parents = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as stat, open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                parent = int(stat.read().rsplit(")", 1)[1].split()[1])
                if parent != os.getpid() or b"forkserver" in cmdline.read():
                    parents.setdefault(parent, []).append(int(pid))
        except OSError:
            pass
    return [worker for child in parents.get(os.getpid(), []) for worker in parents.get(child, [])]


def reused(requests):
    """The requests, each dict emptied once the next is asked for, as a reader reusing its dicts would."""
    for request in requests:
        if isinstance(request, dict):
            request = dict(request)
            yield request
            request.clear()
        else:
            yield request


@pytest.mark.timeout(120)
@pytest.mark.parametrize("ordered", [True, False])
@pytest.mark.parametrize("processes", [False, True], ids=["threads", "processes"])
def test_outcomes_equal_serial_solve(processes, ordered):
    outcomes = list(pack_batch(reused(REQUESTS), workers=2, processes=processes, ordered=ordered))
    if ordered:
        assert [o.index for o in outcomes] == list(range(len(REQUESTS)))
    assert as_pairs(outcomes) == EXPECTED
    assert [o.ok for o in outcomes[-4:]] == [False] * 4 if ordered else True
    misspelt = {"items": [{"ItemCode": "A", "Width": 1, "Length": 1, "Depth": 1, "Wieght": 2}]}
    strict = as_pairs(
        pack_batch([REQUESTS[0], misspelt], workers=2, processes=processes, ordered=ordered, strict=True)
    )
    assert strict[0] == EXPECTED[0] and strict[1][1][1].endswith("(at /items/0/Wieght)")
    assert pool_workers() == []


@pytest.mark.timeout(180)
def test_dask_cluster_gives_the_same(dask_client):
    assert as_pairs(pack_batch(REQUESTS, executor=dask_client)) == EXPECTED


@pytest.mark.timeout(120)
def test_a_request_that_kills_its_worker_fails_alone():
    requests = REQUESTS[:40]
    requests[20] = {"items": [KillsItsWorker()], "boxes": []}
    outcomes = as_pairs(pack_batch(requests, workers=2, processes=True))
    assert outcomes[20] == (None, ("WorkerDied", "worker process died while packing request 20"))
    assert outcomes[:20] + outcomes[21:] == EXPECTED[:20] + EXPECTED[21:40]


@pytest.mark.timeout(120)
def test_a_worker_killed_mid_batch_loses_nothing():
    outcomes = pack_batch(REQUESTS * 3, workers=2, processes=True)
    first = next(outcomes)
    os.kill(pool_workers()[0], signal.SIGKILL)
    assert as_pairs([first, *outcomes]) == EXPECTED * 3


def test_arguments_are_checked_before_any_work():
    with pytest.raises(ValueError, match="workers must be at least 1, not 0"):
        pack_batch([], workers=0)
    with pytest.raises(ValueError, match="time_limit must be a finite number of seconds, not nan"):
        pack_batch([], time_limit=math.nan)
    with pytest.raises(TypeError, match="executor must be .* not str"):
        pack_batch([], executor="tcp://localhost:8786")
    own = "processes=True packs on quarvex's own processes; it takes no executor"
    with pytest.raises(ValueError, match=own):
        pack_batch([], executor=ThreadPoolExecutor(1), processes=True)


class ReadError(Exception):
    pass


def fails_after(requests, count):
    yield from requests[:count]
    raise ReadError("the orders file went away")


TIMED_OUT = ("TimeoutError", "the time limit ran out before packing finished")
STUCK = ("TimeoutError", "request 0 was still packing after its time limit of 3 s")


@pytest.mark.timeout(180)
@pytest.mark.parametrize(
    "fault, pool, replaced, outcome",
    [
        ("slow", dict, SLOW_TEXT, (None, TIMED_OUT)),
        ("slow", lambda: {"executor": ThreadPoolExecutor(2)}, SLOW_TEXT, (None, TIMED_OUT)),
        ("stuck", lambda: {"processes": True}, {"items": [HangsItsWorker()]}, (None, STUCK)),
        (
            "killer",
            lambda: {"executor": ProcessPoolExecutor(2, mp_context=get_context("forkserver"))},
            {"items": [KillsItsWorker()]},
            (None, ("WorkerDied", "worker process died while packing request 0")),
        ),
        ("reader", dict, None, None),
        ("reader", lambda: {"processes": True}, None, None),
    ],
)
def test_a_fault_costs_only_its_own_request(fault, pool, replaced, outcome):
    """Every request but the faulty one is answered as solve answers it. The faulty
    one comes first, alone in its chunk, so a stuck worker costs one time limit."""
    requests = list(REQUESTS[:60])
    choice = pool()
    if fault == "reader":
        outcomes = []
        with pytest.raises(ReadError):
            outcomes.extend(pack_batch(fails_after(requests, 50), workers=2, **choice))
        assert as_pairs(outcomes) == EXPECTED[:50]
    else:
        requests[0] = replaced
        # Ample for every other request, also in the sanitizers' build.
        outcomes = as_pairs(pack_batch(requests, workers=2, time_limit=3, **choice))
        assert outcomes[0] == outcome
        assert outcomes[1:] == EXPECTED[1:60]
    if "executor" in choice:
        choice["executor"].shutdown()
    assert pool_workers() == []


@pytest.mark.timeout(60)
def test_workers_that_cannot_start_end_the_batch_once():
    # Run from standard input, the script is nothing its workers can load.
    script = "import quarvex\nprint(list(quarvex.pack_batch(['{}'] * 50, workers=2, processes=True)))\n"
    run = subprocess.run([sys.executable, "-"], input=script, capture_output=True, text=True)
    assert run.returncode == 1 and "WorkerDied" not in run.stdout + run.stderr
    assert run.stderr.count("quarvex.batch.WorkerStartError") == 1
    assert "cannot load the main script '<stdin>'; run the script from a file" in run.stderr
