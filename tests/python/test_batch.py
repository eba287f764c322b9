"""pack_batch gives what solve gives, request by request, on every kind of pool,
and survives workers that die."""

import json
import math
import os
import signal
from concurrent.futures import ThreadPoolExecutor

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


@pytest.mark.timeout(120)
@pytest.mark.parametrize("ordered", [True, False])
@pytest.mark.parametrize("make_executor", [None, lambda: ThreadPoolExecutor(2)], ids=["local", "threads"])
def test_outcomes_equal_serial_solve(make_executor, ordered):
    executor = make_executor and make_executor()
    outcomes = list(pack_batch(iter(REQUESTS), workers=2, executor=executor, ordered=ordered))
    if ordered:
        assert [o.index for o in outcomes] == list(range(len(REQUESTS)))
    assert as_pairs(outcomes) == EXPECTED
    assert [o.ok for o in outcomes[-4:]] == [False] * 4 if ordered else True
    assert pool_workers() == []


@pytest.mark.timeout(180)
def test_dask_cluster_gives_the_same(dask_client):
    assert as_pairs(pack_batch(REQUESTS, executor=dask_client)) == EXPECTED


@pytest.mark.timeout(120)
def test_a_request_that_kills_its_worker_fails_alone():
    requests = REQUESTS[:40]
    requests[20] = {"items": [KillsItsWorker()], "boxes": []}
    outcomes = as_pairs(pack_batch(requests, workers=2))
    assert outcomes[20] == (None, ("WorkerDied", "worker process died while packing request 20"))
    assert outcomes[:20] + outcomes[21:] == EXPECTED[:20] + EXPECTED[21:40]


@pytest.mark.timeout(120)
def test_a_worker_killed_mid_batch_loses_nothing():
    outcomes = pack_batch(REQUESTS * 3, workers=2)
    first = next(outcomes)
    os.kill(pool_workers()[0], signal.SIGKILL)
    assert as_pairs([first, *outcomes]) == EXPECTED * 3


def test_arguments_are_checked_before_any_work():
    with pytest.raises(ValueError, match="workers must be at least 1, not 0"):
        pack_batch([], workers=0)
    with pytest.raises(TypeError, match="executor must be .* not str"):
        pack_batch([], executor="tcp://localhost:8786")
