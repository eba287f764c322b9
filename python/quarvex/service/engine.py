"""Packing off the event loop: a bounded number of requests admitted, each
packing on a thread of a fixed pool, answered by its deadline or not at all."""

from __future__ import annotations

import asyncio
import threading
import time
from collections.abc import Callable
from concurrent.futures import Future, ThreadPoolExecutor
from typing import Any, TypeVar

from .metrics import Metrics

T = TypeVar("T")


class Saturated(Exception):
    """Every engine thread is busy and the queue is full."""


class DeadlinePassed(Exception):
    """The request's deadline passed before its packing finished."""


class Engine:
    """Admits at most `threads + queue` requests at a time; the rest are refused
    at once, so nothing waits in an unbounded queue."""

    def __init__(self, threads: int, queue: int, metrics: Metrics) -> None:
        self._executor = ThreadPoolExecutor(threads, thread_name_prefix="quarvex-engine")
        self._capacity = threads + queue
        self._admitted = 0
        self._lock = threading.Lock()
        self._metrics = metrics

    def admit(self) -> Ticket:
        with self._lock:
            if self._admitted >= self._capacity:
                raise Saturated
            self._admitted += 1
        return Ticket(self)

    def release(self) -> None:
        with self._lock:
            self._admitted -= 1

    def submit(self, work: Callable[..., T], *args: Any) -> Future[T]:
        return self._executor.submit(self._timed, work, *args)

    def _timed(self, work: Callable[..., T], *args: Any) -> T:
        start = time.perf_counter()
        try:
            return work(*args)
        finally:
            self._metrics.engine_ran(time.perf_counter() - start)

    def shutdown(self) -> None:
        self._executor.shutdown(wait=True)


class Ticket:
    """One admitted request's place. The place is given back when the request
    is done with it and its last packing has finished, which may be after a
    504 answer: a packing that has started cannot be stopped."""

    def __init__(self, engine: Engine) -> None:
        self._engine = engine
        self._job: Future[Any] | None = None

    async def run(self, deadline: float, work: Callable[..., T], *args: Any) -> T:
        """Runs work(*args) on an engine thread; DeadlinePassed when it is not
        done by `deadline` (time.monotonic())."""
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise DeadlinePassed
        self._job = job = self._engine.submit(work, *args)
        try:
            return await asyncio.wait_for(asyncio.wrap_future(job), remaining)
        except TimeoutError:
            job.cancel()  # still queued: it never runs
            raise DeadlinePassed from None

    def release(self) -> None:
        if self._job is None:
            self._engine.release()
        else:
            self._job.add_done_callback(lambda _: self._engine.release())
