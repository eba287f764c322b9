"""Packing many requests at once: on threads of this process, local worker
processes or a Dask cluster.

The engine lets the interpreter lock go while it packs, so threads pack in
parallel; processes cost pickling and start-up but keep a request that kills
its worker from taking the caller down with it.
"""

from __future__ import annotations

import json
import math
import multiprocessing
import os
import pickle
import signal
import sys
import threading
import time
import warnings
from collections import deque
from collections.abc import Callable, Iterable, Iterator
from concurrent.futures import FIRST_COMPLETED, BrokenExecutor, Executor, Future, ThreadPoolExecutor, wait
from dataclasses import dataclass
from multiprocessing.connection import Connection
from multiprocessing.connection import wait as wait_for_connections
from multiprocessing.context import ForkServerContext
from typing import Any

from ._core import request_fault, solve
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
# With a time limit, a worker that has not answered this long after its
# requests' limits ran out is taken to be stuck (the engine itself stops
# within milliseconds of a limit): it is replaced, or on a caller's executor
# abandoned.
STUCK_AFTER_S = 2.0


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
    processes: bool = False,
    ordered: bool = True,
    search_time_limit: float | None = None,
    min_support: float | None = None,
    objective: str | None = None,
    time_limit: float | None = None,
    strict: bool = False,
    optimize_seconds: float | None = None,
) -> Iterator[BatchOutcome]:
    """Packs each request as `solve` would, in parallel, yielding one outcome per request.

    `requests` holds request dicts or their JSON texts and is read lazily, as
    work is handed out; a blank text (a blank line of a file) is no request and
    has no outcome. Outcomes come in input order, or in the order they
    complete with `ordered=False`; each carries its request's index in
    `requests` (for the lines of a file, its line number less one). A
    request's `response` is byte for byte `solve(text)`, where `text` is the
    request itself or `json.dumps` of a dict.

    By default `workers` threads of this process (the CPU count) do the work,
    with nothing pickled and no process started. With `processes=True`, a pool
    of `workers` processes of quarvex's own does it instead: slower, but a
    request that kills its worker (a crash, running out of memory) costs only
    that worker. `executor` may instead be any `concurrent.futures.Executor`
    or a Dask `distributed.Client`, with `workers` then only sizing the work
    in flight (by default a Client's thread count, else the CPU count). When
    a worker process dies (or Dask reports KilledWorker), the requests it held
    are tried again one at a time; one whose worker dies again fails with an
    error saying so. As with any pool that starts processes, a script calling
    this with `processes=True` needs the `if __name__ == "__main__":` guard.

    With `search_time_limit`, `min_support` or `objective`, each request is
    packed by `quarvex.optimize` instead (for `search_time_limit` seconds, by
    default 1), and its response is the result's compact JSON; a request's
    own "options" override `min_support` and `objective`. Without them, a
    request carrying what only the search honours (an item's MaxLoad, a box's
    Cost, "options") fails rather than be packed as if it had been honoured.

    With `strict`, a request with an unknown key, another rotation name, a value
    of the wrong type or a negative or non-finite figure fails with a ValueError
    naming it and its JSON pointer (see quarvex.request_fault) instead of being
    read leniently.

    With `time_limit` (seconds), a request still packing after that long is
    answered with an error of type TimeoutError (with the search, the search
    stops by the time limit instead); a worker process stuck past its limit
    is replaced (on threads or a caller's executor, its answer is no longer
    awaited). When reading `requests` raises, every request read before is
    answered first, then the exception propagates. Worker processes that
    cannot start at all end the batch at once with WorkerStartError.
    `optimize_seconds` is the deprecated spelling of `search_time_limit`.

    >>> [o.ok for o in pack_batch(['{"items": [], "boxes": []}', "not json"], workers=1)]
    [True, False]
    """
    if workers is not None and workers < 1:
        raise ValueError(f"workers must be at least 1, not {workers}")
    if optimize_seconds is not None:
        warnings.warn(
            "pack_batch(optimize_seconds=) is deprecated; use search_time_limit=",
            DeprecationWarning,
            stacklevel=2,
        )
        search_time_limit = optimize_seconds if search_time_limit is None else search_time_limit
    if search_time_limit is not None and not search_time_limit >= 0:
        raise ValueError(f"search_time_limit must be a number of seconds, not {search_time_limit}")
    if time_limit is not None and not 0 <= time_limit < math.inf:
        raise ValueError(f"time_limit must be a finite number of seconds, not {time_limit}")
    search = None
    if (search_time_limit, min_support, objective) != (None, None, None):
        seconds = 1.0 if search_time_limit is None else search_time_limit
        # The search stops by the time limit too, so that it answers in time.
        search = Search(
            min(seconds, math.inf if time_limit is None else time_limit),
            0.0 if min_support is None else min_support,
            objective or "boxes",
        )
    if not (executor is None or isinstance(executor, Executor) or _is_dask_client(executor)):
        raise TypeError(
            "executor must be a concurrent.futures.Executor or a Dask distributed.Client, "
            f"not {type(executor).__name__}"
        )
    if processes and executor is not None:
        raise ValueError("processes=True packs on quarvex's own processes; it takes no executor")
    pool = _pool(workers, executor, processes, _Packing(search, time_limit, strict))
    return _outcomes(pool, requests, ordered)


class UnpicklableRequest(Exception):
    """A request that could not be pickled to be sent to a worker."""


class WorkerDied(Exception):
    """The worker process packing a request died."""


class WorkerStartError(RuntimeError):
    """The batch's worker processes cannot start, so no request can be packed."""


class _Overdue(Exception):
    """A chunk's worker did not answer within the chunk's time limits."""


@dataclass(frozen=True)
class _Packing:
    """How each request is packed: what a worker needs to know."""

    search: Search | None = None
    time_limit: float | None = None
    strict: bool = False

    def patience(self, requests: int) -> float | None:
        """Seconds to wait for the answer to a chunk of `requests` before giving up on its worker."""
        if self.time_limit is None:
            return None
        return requests * self.time_limit + STUCK_AFTER_S


# A chunk as it travels: each request pickled on its own, so that one that
# cannot be sent or read back fails alone.
Chunk = list[tuple[int, bytes]]


def _encoded(request: object) -> bytes:
    try:
        return pickle.dumps(request, protocol=pickle.HIGHEST_PROTOCOL)
    except Exception as error:
        return pickle.dumps(UnpicklableRequest(f"{type(error).__name__}: {error}"))


@dataclass(frozen=True)
class _Unreadable:
    """A request that a worker thread will answer with the error reading it raised."""

    error: Exception


def _snapshot(request: object) -> str | bytes | _Unreadable:
    """A request as a worker thread takes it: its text, made as it is read, so
    that a dict or bytearray the caller changes afterwards is packed as it was."""
    try:
        text = _request_text(request)
    except Exception as error:
        return _Unreadable(error)
    return bytes(text) if isinstance(text, bytearray) else text


def _request_text(request: object) -> str | bytes | bytearray:
    if isinstance(request, UnpicklableRequest):
        raise request
    if isinstance(request, _Unreadable):
        raise request.error
    if isinstance(request, dict):
        return json.dumps(request)
    if isinstance(request, (str, bytes, bytearray)):
        return request
    raise TypeError(f"a request must be a dict or its JSON text (str or bytes), not {type(request).__name__}")


def is_blank(request: object) -> bool:
    """A text of JSON whitespace alone, as a blank line of a JSON Lines file is: no request."""
    if isinstance(request, str):
        return not request.strip(" \t\r\n")
    return isinstance(request, (bytes, bytearray)) and not request.strip(b" \t\r\n")


def _failure(index: int, error: BaseException) -> BatchOutcome:
    return BatchOutcome(index, error=BatchError(index, type(error).__name__, str(error)))


def _response(
    text: str | bytes | bytearray, search: Search | None, time_limit: float | None, strict: bool
) -> str:
    if strict:
        _refuse_strict_faults(text, search is not None)
    if search is None:
        if may_need_search(text):
            _refuse_unhonoured(text)
        # solve reads bytes as well as str, which its stub does not say.
        return solve(text, time_limit=time_limit)  # type: ignore[arg-type]
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
        raise ValueError(
            f"{what}, which only the search honours: pass search_time_limit, min_support "
            "or objective (command line: --search-time-limit SECONDS)"
        )


def _refuse_strict_faults(text: str | bytes | bytearray, search: bool) -> None:
    try:
        request = json.loads(text)
    except ValueError:
        return  # solve names the fault
    if fault := request_fault(request, search=search):
        raise ValueError(f"{fault[1]} (at {fault[0]})")


def pack_chunk(
    chunk: Chunk, search: Search | None = None, time_limit: float | None = None, strict: bool = False
) -> list[BatchOutcome]:
    """Runs in a worker: packs each (index, pickled request) of a chunk."""
    return _pack_each(chunk, pickle.loads, search, time_limit, strict)


def _pack_each(
    chunk: list[tuple[int, Any]],
    read: Callable[[Any], object],
    search: Search | None,
    time_limit: float | None,
    strict: bool,
) -> list[BatchOutcome]:
    outcomes = []
    for index, payload in chunk:
        try:
            text = _request_text(read(payload))
            outcomes.append(BatchOutcome(index, response=_response(text, search, time_limit, strict)))
        except Exception as error:
            outcomes.append(_failure(index, error))
    return outcomes


class _Reader:
    """The caller's requests, read a chunk at a time. An error while reading
    ends the reading; the requests read before it still form a chunk, and the
    error is kept to be raised once they are all answered."""

    def __init__(self, requests: Iterable[Request], encode: Callable[[object], object]) -> None:
        self.numbered = enumerate(requests)
        self.encode = encode
        self.size = 1
        self.error: Exception | None = None

    def next_chunk(self) -> Chunk | None:
        batch: list[tuple[int, Any]] = []
        if self.error is None:
            try:
                while len(batch) < self.size and (pair := next(self.numbered, None)):
                    if not is_blank(pair[1]):
                        # Taken as it is read: the caller may reuse a dict once the next is asked for.
                        batch.append((pair[0], self.encode(pair[1])))
            except Exception as error:
                self.error = error
        if self.size < MAX_CHUNK and len(batch) == self.size:
            self.size *= 2
        return batch or None


class _Task:
    """One chunk on its way through a pool; `retry` marks a request tried once more alone."""

    def __init__(self, chunk: Chunk, retry: bool = False) -> None:
        self.chunk = chunk
        self.retry = retry
        self.outcomes: list[BatchOutcome] | None = None

    def failed(self, error: BaseException) -> list[_Task]:
        """Takes the failure of the chunk as a whole (its worker died or was
        stuck, or the executor failed): a first failure gives one retry task
        per request, a retry's failure is that request's outcome; a request
        that alone overran its time limit is not tried again."""
        if not self.retry and not (isinstance(error, _Overdue) and len(self.chunk) == 1):
            return [_Task([pair], retry=True) for pair in self.chunk]
        [(index, _)] = self.chunk
        if isinstance(error, _Overdue):
            error = TimeoutError(f"request {index} was still packing after its time limit of {error} s")
        elif isinstance(error, (WorkerDied, BrokenExecutor)) or type(error).__name__ == "KilledWorker":
            # Dask's KilledWorker is matched by name, keeping Dask out of quarvex's imports.
            error = WorkerDied(f"worker process died while packing request {index}")
        self.outcomes = [_failure(index, error)]
        return []


class _Worker:
    """A process of our own pool, fed one chunk at a time over a pipe of its own."""

    def __init__(self, context: ForkServerContext, packing: _Packing) -> None:
        self.connection, child = context.Pipe()
        self.process = context.Process(target=_serve, args=(child, packing), daemon=True)
        self.process.start()
        # Only the worker holds the other end now, so its death reads as end of file.
        child.close()
        self.started = False  # it said it is ready: it could load what it needs
        self.task: _Task | None = None
        self.deadline: float | None = None  # when its task is overdue

    def stop(self, timeout: float) -> None:
        self.connection.close()
        self.process.join(timeout)
        if self.process.is_alive():
            self.process.kill()
            self.process.join()


def _serve(connection: Connection, packing: _Packing) -> None:
    # Ctrl-C reaches the whole process group; the parent alone handles it, stopping us.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    connection.send(None)  # ready
    while True:
        try:
            chunk = connection.recv()
        except EOFError:
            return
        connection.send(pack_chunk(chunk, packing.search, packing.time_limit, packing.strict))


def _start_failure(worker: _Worker) -> WorkerStartError:
    worker.process.join()
    reason = f"a worker process exited with code {worker.process.exitcode} before it could take work"
    # Workers load the caller's main script, as multiprocessing does; from standard input it cannot be.
    script = getattr(sys.modules["__main__"], "__file__", None)
    if script is not None and not os.path.isfile(script):
        return WorkerStartError(
            f"{reason}: it cannot load the main script {script!r}; run the script from a file"
        )
    return WorkerStartError(f"{reason}; its error is on standard error")


class _LocalPool:
    """Worker processes of our own, started as work arrives. Each holds at most
    one chunk, so when one dies or is stuck the chunk it held is known; a fresh
    process takes its place."""

    def __init__(self, workers: int, packing: _Packing) -> None:
        self.encode: Callable[[object], object] = _encoded
        # A fork of a parent that may run threads can deadlock; forkserver forks a clean process.
        self.context = multiprocessing.get_context("forkserver")
        self.packing = packing
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
            self.workers.append(_Worker(self.context, self.packing))
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
                    continue
                patience = self.packing.patience(len(task.chunk))
                worker.deadline = None if patience is None else time.monotonic() + patience

    def _replace(self, worker: _Worker) -> None:
        worker.stop(timeout=0)
        self.workers[self.workers.index(worker)] = _Worker(self.context, self.packing)

    def _lose(self, worker: _Worker, error: BaseException) -> None:
        task, worker.task = worker.task, None
        assert task is not None
        self._replace(worker)
        self.failures.append((task, error))

    def _finish(self, worker: _Worker) -> bool:
        """Takes what the worker sent: False when that was not its task's result
        (it said it is ready, or it died first)."""
        try:
            message = worker.connection.recv()
        except (EOFError, OSError):
            if not worker.started:
                raise _start_failure(worker) from None
            self._lose(worker, WorkerDied())
            return False
        if not worker.started:
            worker.started = True
            return False
        task, worker.task = worker.task, None
        assert task is not None
        task.outcomes = message
        if not worker.process.is_alive():  # it sent its result, then died
            self._replace(worker)
        return True

    def wait(self) -> list[tuple[_Task, BaseException]]:
        """Waits until a started task has finished; returns the tasks that failed."""
        finished = False
        while not finished and not self.failures:
            busy = [w for w in self.workers if w.task is not None]
            deadlines = [w.deadline for w in busy if w.deadline is not None]
            timeout = max(0.0, min(deadlines) - time.monotonic()) if deadlines else None
            handles = [h for w in busy for h in (w.connection, w.process.sentinel)]
            ready = set(wait_for_connections(handles, timeout))
            for worker in busy:
                if worker.connection in ready or worker.process.sentinel in ready:
                    finished |= self._finish(worker)
                elif worker.deadline is not None and time.monotonic() >= worker.deadline:
                    self._lose(worker, _Overdue(self.packing.time_limit))
            self._dispatch()
        failures, self.failures = self.failures, []
        return failures

    def close(self) -> None:
        # An idle worker leaves at the end of its pipe; a busy one is stopped.
        for worker in self.workers:
            worker.stop(timeout=5 if worker.task is None else 0)


def _ready() -> None:
    """Runs in a worker first: that it returns shows the workers can start."""


class _ExecutorPool:
    """The caller's executor, or a Dask client's. An executor that breaks when
    a worker dies (a process pool does) is replaced by a pool of our own, so
    the batch goes on as on our own pool."""

    def __init__(self, executor: Executor, workers: int, packing: _Packing) -> None:
        # What each request travels as, and what packs a chunk of them in a worker.
        self.encode: Callable[[object], object] = _encoded
        self.pack: Callable[
            [list[tuple[int, Any]], Search | None, float | None, bool], list[BatchOutcome]
        ] = pack_chunk
        self.executor = executor
        self.workers = workers
        self.packing = packing
        self.capacity = CHUNKS_PER_WORKER * workers
        self.running: dict[Future[list[BatchOutcome]], tuple[_Task, float | None]] = {}
        self.started = False
        self.fallback: _LocalPool | None = None

    def start(self, task: _Task) -> _Task:
        if not self.started:
            try:
                self.executor.submit(_ready).result()
            except BrokenExecutor as error:
                raise WorkerStartError(f"the executor's workers cannot start: {error}") from error
            self.started = True
        if self.fallback is None:
            try:
                future = self.executor.submit(
                    self.pack, task.chunk, self.packing.search, self.packing.time_limit, self.packing.strict
                )
            except BrokenExecutor:
                self.fallback = _LocalPool(self.workers, self.packing)
            else:
                patience = self.packing.patience(len(task.chunk))
                self.running[future] = (task, None if patience is None else time.monotonic() + patience)
                return task
        assert self.fallback is not None
        return self.fallback.start(task)

    def wait(self) -> list[tuple[_Task, BaseException]]:
        if not self.running:
            assert self.fallback is not None
            return self.fallback.wait()
        deadlines = [deadline for _, deadline in self.running.values() if deadline is not None]
        timeout = max(0.0, min(deadlines) - time.monotonic()) if deadlines else None
        done, _ = wait(self.running, timeout, return_when=FIRST_COMPLETED)
        failures: list[tuple[_Task, BaseException]] = []
        for future in done:
            task, _ = self.running.pop(future)
            try:
                task.outcomes = future.result()
            except BrokenExecutor as error:
                self.fallback = self.fallback or _LocalPool(self.workers, self.packing)
                failures.append((task, error))
            except Exception as error:
                failures.append((task, error))
        for future, (task, deadline) in list(self.running.items()):
            if deadline is not None and time.monotonic() >= deadline:
                # Its worker cannot be stopped from here; its answer is no longer awaited.
                future.cancel()
                del self.running[future]
                failures.append((task, _Overdue(self.packing.time_limit)))
        return failures

    def close(self) -> None:
        for future in self.running:
            future.cancel()
        if self.fallback is not None:
            self.fallback.close()


class _ThreadPool(_ExecutorPool):
    """Threads of this process: requests travel as snapshots, not pickled, and
    are packed in parallel since the engine lets the interpreter lock go."""

    def __init__(self, workers: int, packing: _Packing) -> None:
        super().__init__(ThreadPoolExecutor(workers, thread_name_prefix="quarvex-batch"), workers, packing)
        self.encode = _snapshot
        self.pack = self._pack_unless_closed
        self.closed = threading.Event()

    def _pack_unless_closed(
        self, chunk: list[tuple[int, Any]], search: Search | None, time_limit: float | None, strict: bool
    ) -> list[BatchOutcome]:
        return _pack_each(chunk, self._unless_closed, search, time_limit, strict)

    def _unless_closed(self, snapshot: object) -> object:
        # Threads cannot be stopped: after Ctrl-C or an abandoned batch, each ends with its request in hand.
        if self.closed.is_set():
            raise RuntimeError("the batch ended before this request was packed")
        return snapshot

    def close(self) -> None:
        self.closed.set()
        super().close()
        self.executor.shutdown(wait=False, cancel_futures=True)


def _is_dask_client(executor: object) -> bool:
    # Told apart without importing Dask.
    return not isinstance(executor, Executor) and hasattr(executor, "get_executor")


def _pool(
    workers: int | None, executor: Any, processes: bool, packing: _Packing
) -> _LocalPool | _ExecutorPool:
    if executor is None:
        pool = _LocalPool if processes else _ThreadPool
        return pool(workers or os.cpu_count() or 1, packing)
    if _is_dask_client(executor):
        workers = workers or sum(executor.nthreads().values())
        executor = executor.get_executor()
    return _ExecutorPool(executor, workers or os.cpu_count() or 1, packing)


def _outcomes(
    pool: _LocalPool | _ExecutorPool, requests: Iterable[Request], ordered: bool
) -> Iterator[BatchOutcome]:
    reader = _Reader(requests, pool.encode)
    pending: list[_Task] = []  # in input order
    try:
        while True:
            while len(pending) < pool.capacity and (chunk := reader.next_chunk()):
                pending.append(pool.start(_Task(chunk)))
            if not pending:
                if reader.error is not None:
                    raise reader.error
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
