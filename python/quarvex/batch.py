"""Packing many requests at once, across local worker processes or a Dask cluster.

One packing call at a time may run in a process (the look-ahead memo is
process-wide), so parallel packing means processes: a pool of our own, or
the caller's executor.
"""

from __future__ import annotations

import json
import multiprocessing
import os
import pickle
import signal
from collections import deque
from collections.abc import Iterable, Iterator
from concurrent.futures import FIRST_COMPLETED, Executor, Future, wait
from dataclasses import dataclass
from itertools import islice
from multiprocessing.connection import Connection
from multiprocessing.connection import wait as wait_for_connections
from multiprocessing.context import ForkServerContext
from typing import Any

from ._core import solve
from .search_settings import Search, may_need_search, unhonoured

# A request as pack_batch takes it: the request dict, or its JSON text.
Request = dict[str, Any] | str | bytes

# Requests travel in chunks, so that sending one costs little next to packing a
# small order; chunks start small and grow, so a short batch still spreads over
# every worker.
MAX_CHUNK = 32
# Chunks in flight per worker: enough to keep each one busy, few enough that
# a long input is read as it is packed, not ahead of it.
CHUNKS_PER_WORKER = 4


@dataclass(frozen=True)
class BatchError:
    """Why request `index` failed: the exception's type name and message."""

    index: int
    type: str
    message: str

    def __str__(self) -> str:
        return f"request {self.index}: {self.type}: {self.message}"


@dataclass(frozen=True)
class BatchOutcome:
    """The outcome of request `index`: `solve`'s compact JSON text, or an error."""

    index: int
    response: str | None = None
    error: BatchError | None = None

    @property
    def ok(self) -> bool:
        return self.error is None


def pack_batch(
    requests: Iterable[Request],
    *,
    workers: int | None = None,
    executor: Any = None,
    ordered: bool = True,
    optimize_seconds: float | None = None,
    min_support: float | None = None,
    objective: str | None = None,
) -> Iterator[BatchOutcome]:
    """Packs each request as `solve` would, in parallel, yielding one outcome per request.

    `requests` holds request dicts or their JSON texts and is read lazily, as
    work is handed out. Outcomes come in input order, or in the order they
    complete with `ordered=False`; each carries its request's index. A
    request's `response` is byte for byte `solve(text)`, where `text` is the
    request itself or `json.dumps` of a dict.

    By default a pool of `workers` processes (the CPU count) does the work;
    `executor` may instead be any `concurrent.futures.Executor` or a Dask
    `distributed.Client`, with `workers` then only sizing the work in flight
    (by default a Client's thread count, else the CPU count). When a worker
    process dies (or Dask reports KilledWorker), the requests it held are
    tried again one at a time; one whose worker dies again fails with an error
    saying so. As with any pool that starts processes, a script calling this
    needs the `if __name__ == "__main__":` guard.

    With `optimize_seconds`, `min_support` or `objective`, each request is
    packed by `quarvex.optimize` instead (time limit `optimize_seconds`, by
    default 1), and its response is the result's compact JSON; a request's
    own "options" override `min_support` and `objective`. Without them, a
    request carrying what only the search honours (an item's MaxLoad, a box's
    Cost, "options") fails rather than be packed as if it had been honoured.

    >>> [o.ok for o in pack_batch(['{"items": [], "boxes": []}', "not json"], workers=1)]
    [True, False]
    """
    if workers is not None and workers < 1:
        raise ValueError(f"workers must be at least 1, not {workers}")
    if optimize_seconds is not None and not optimize_seconds >= 0:
        raise ValueError(f"optimize_seconds must be a number of seconds, not {optimize_seconds}")
    search = None
    if (optimize_seconds, min_support, objective) != (None, None, None):
        search = Search(1.0 if optimize_seconds is None else optimize_seconds,
                        0.0 if min_support is None else min_support, objective or "boxes")
    if not (executor is None or isinstance(executor, Executor) or _is_dask_client(executor)):
        raise TypeError(
            "executor must be a concurrent.futures.Executor or a Dask distributed.Client, "
            f"not {type(executor).__name__}"
        )
    return _outcomes(_pool(workers, executor, search), requests, ordered)


class UnpicklableRequest(Exception):
    """A request that could not be pickled to be sent to a worker."""


class WorkerDied(Exception):
    """The worker process packing a request died."""


# A chunk as it travels: each request pickled on its own, so that one that
# cannot be sent or read back fails alone.
Chunk = list[tuple[int, bytes]]


def _encoded(request: object) -> bytes:
    try:
        return pickle.dumps(request, protocol=pickle.HIGHEST_PROTOCOL)
    except Exception as error:
        return pickle.dumps(UnpicklableRequest(f"{type(error).__name__}: {error}"))


def _request_text(request: object) -> str | bytes | bytearray:
    if isinstance(request, UnpicklableRequest):
        raise request
    if isinstance(request, dict):
        return json.dumps(request)
    if isinstance(request, (str, bytes, bytearray)):
        return request
    raise TypeError(
        f"a request must be a dict or its JSON text (str or bytes), not {type(request).__name__}"
    )


def _failure(index: int, error: BaseException) -> BatchOutcome:
    return BatchOutcome(index, error=BatchError(index, type(error).__name__, str(error)))


def _response(text: str | bytes | bytearray, search: Search | None) -> str:
    if search is None:
        if may_need_search(text):
            _refuse_unhonoured(text)
        # solve reads bytes as well as str, which its stub does not say.
        return solve(text)  # type: ignore[arg-type]
    # Read as solve reads a request: anything but an object holds nothing.
    request = json.loads(text)
    if not isinstance(request, dict):
        request = {}
    return search.run(request).to_json(-1)


def _refuse_unhonoured(text: str | bytes | bytearray) -> None:
    try:
        request = json.loads(text)
    except ValueError:
        return  # solve names the fault
    if isinstance(request, dict) and (what := unhonoured(request)):
        raise ValueError(f"{what}, which only the search honours: pass optimize_seconds, min_support "
                         "or objective (command line: --optimize)")


def pack_chunk(chunk: Chunk, search: Search | None = None) -> list[BatchOutcome]:
    """Runs in a worker: packs each (index, pickled request) of a chunk."""
    outcomes = []
    for index, payload in chunk:
        try:
            text = _request_text(pickle.loads(payload))
            outcomes.append(BatchOutcome(index, response=_response(text, search)))
        except Exception as error:
            outcomes.append(_failure(index, error))
    return outcomes


def _chunks(requests: Iterable[Request]) -> Iterator[Chunk]:
    numbered = enumerate(requests)
    size = 1
    while batch := list(islice(numbered, size)):
        yield [(index, _encoded(request)) for index, request in batch]
        if size < MAX_CHUNK and len(batch) == size:
            size *= 2


class _Task:
    """One chunk on its way through a pool; `retry` marks a request tried once more alone."""

    def __init__(self, chunk: Chunk, retry: bool = False) -> None:
        self.chunk = chunk
        self.retry = retry
        self.outcomes: list[BatchOutcome] | None = None

    def failed(self, error: BaseException) -> list[_Task]:
        """Takes the failure of the chunk as a whole (its worker died, or the
        executor failed): a first failure gives one retry task per request, a
        retry's failure is that request's outcome."""
        if not self.retry:
            return [_Task([pair], retry=True) for pair in self.chunk]
        [(index, _)] = self.chunk
        if isinstance(error, WorkerDied) or type(error).__name__ == "KilledWorker":
            # Dask's KilledWorker is matched by name, keeping Dask out of quarvex's imports.
            error = WorkerDied(f"worker process died while packing request {index}")
        self.outcomes = [_failure(index, error)]
        return []


class _Worker:
    """A process of our own pool, fed one chunk at a time over a pipe of its own."""

    def __init__(self, context: ForkServerContext, search: Search | None) -> None:
        self.connection, child = context.Pipe()
        self.process = context.Process(target=_serve, args=(child, search), daemon=True)
        self.process.start()
        # Only the worker holds the other end now, so its death reads as end of file.
        child.close()
        self.task: _Task | None = None

    def stop(self, timeout: float) -> None:
        self.connection.close()
        self.process.join(timeout)
        if self.process.is_alive():
            self.process.kill()
            self.process.join()


def _serve(connection: Connection, search: Search | None) -> None:
    # Ctrl-C reaches the whole process group; the parent alone handles it, stopping us.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    while True:
        try:
            chunk = connection.recv()
        except EOFError:
            return
        connection.send(pack_chunk(chunk, search))


class _LocalPool:
    """Worker processes of our own, started as work arrives. Each holds at most
    one chunk, so when one dies the chunk it held is known; a fresh process
    takes its place."""

    def __init__(self, workers: int, search: Search | None) -> None:
        # A fork of a parent that may run threads can deadlock; forkserver forks a clean process.
        self.context = multiprocessing.get_context("forkserver")
        self.search = search
        self.size = workers
        self.workers: list[_Worker] = []
        self.capacity = CHUNKS_PER_WORKER * workers
        self.backlog: deque[_Task] = deque()
        self.failures: list[tuple[_Task, BaseException]] = []

    def start(self, task: _Task) -> _Task:
        self.backlog.append(task)
        self._dispatch()
        return task

    def _dispatch(self) -> None:
        idle = sum(worker.task is None for worker in self.workers)
        while len(self.workers) < self.size and idle < len(self.backlog):
            self.workers.append(_Worker(self.context, self.search))
            idle += 1
        for worker in self.workers:
            if worker.task is None and self.backlog:
                task = self.backlog.popleft()
                try:
                    worker.connection.send(task.chunk)
                    worker.task = task
                except OSError:
                    self._replace(worker)
                    self.failures.append((task, WorkerDied()))

    def _replace(self, worker: _Worker) -> None:
        worker.stop(timeout=0)
        self.workers[self.workers.index(worker)] = _Worker(self.context, self.search)

    def _finish(self, worker: _Worker) -> bool:
        """Takes the result of the worker's task: False when the worker died first."""
        task, worker.task = worker.task, None
        assert task is not None
        try:
            task.outcomes = worker.connection.recv()
        except (EOFError, OSError):
            self._replace(worker)
            self.failures.append((task, WorkerDied()))
            return False
        if not worker.process.is_alive():  # it sent its result, then died
            self._replace(worker)
        return True

    def wait(self) -> list[tuple[_Task, BaseException]]:
        """Waits until a started task has finished; returns the tasks that failed."""
        finished = False
        while not finished and not self.failures:
            busy = [w for w in self.workers if w.task is not None]
            ready = set(wait_for_connections([h for w in busy for h in (w.connection, w.process.sentinel)]))
            for worker in busy:
                if worker.connection in ready or worker.process.sentinel in ready:
                    finished |= self._finish(worker)
            self._dispatch()
        failures, self.failures = self.failures, []
        return failures

    def close(self) -> None:
        # An idle worker leaves at the end of its pipe; a busy one is stopped.
        for worker in self.workers:
            worker.stop(timeout=5 if worker.task is None else 0)


class _ExecutorPool:
    """The caller's executor, or a Dask client's."""

    def __init__(self, executor: Executor, workers: int, search: Search | None) -> None:
        self.executor = executor
        self.search = search
        self.capacity = CHUNKS_PER_WORKER * workers
        self.running: dict[Future[list[BatchOutcome]], _Task] = {}

    def start(self, task: _Task) -> _Task:
        self.running[self.executor.submit(pack_chunk, task.chunk, self.search)] = task
        return task

    def wait(self) -> list[tuple[_Task, BaseException]]:
        done, _ = wait(self.running, return_when=FIRST_COMPLETED)
        failures: list[tuple[_Task, BaseException]] = []
        for future in done:
            task = self.running.pop(future)
            try:
                task.outcomes = future.result()
            except Exception as error:
                failures.append((task, error))
        return failures

    def close(self) -> None:
        for future in self.running:
            future.cancel()


def _is_dask_client(executor: object) -> bool:
    # Told apart without importing Dask.
    return not isinstance(executor, Executor) and hasattr(executor, "get_executor")


def _pool(
    workers: int | None, executor: Any, search: Search | None
) -> _LocalPool | _ExecutorPool:
    if executor is None:
        return _LocalPool(workers or os.cpu_count() or 1, search)
    if _is_dask_client(executor):
        workers = workers or sum(executor.nthreads().values())
        executor = executor.get_executor()
    return _ExecutorPool(executor, workers or os.cpu_count() or 1, search)


def _outcomes(
    pool: _LocalPool | _ExecutorPool, requests: Iterable[Request], ordered: bool
) -> Iterator[BatchOutcome]:
    chunks = _chunks(requests)
    pending: list[_Task] = []  # in input order
    try:
        while True:
            while len(pending) < pool.capacity and (chunk := next(chunks, None)):
                pending.append(pool.start(_Task(chunk)))
            if not pending:
                return
            if pending[0].outcomes is None and (ordered or all(t.outcomes is None for t in pending)):
                for task, error in pool.wait():
                    position = pending.index(task)
                    pending[position : position + 1] = [
                        pool.start(retry) for retry in task.failed(error)
                    ] or [task]
            if ordered:
                while pending and pending[0].outcomes is not None:
                    yield from pending.pop(0).outcomes or ()
            else:
                done = [t for t in pending if t.outcomes is not None]
                pending = [t for t in pending if t.outcomes is None]
                for task in done:
                    yield from task.outcomes or ()
    finally:
        pool.close()
