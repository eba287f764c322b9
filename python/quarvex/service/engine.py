"""Packing off the event loop: a bounded number of requests admitted, each
packing on a thread of a fixed pool, answered by its deadline or not at all."""

from __future__ import annotations

import asyncio
import queue
import threading
import time
from collections.abc import Callable
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

    def __init__(self, threads: int, queue_size: int, metrics: Metrics) -> None:
        self._capacity = threads + queue_size
        self._admitted = 0
        self._lock = threading.Lock()
        self._metrics = metrics
        # Admission bounds the queue, so it needs no bound of its own.
        self._jobs: queue.SimpleQueue[_Job | None] = queue.SimpleQueue()
        self._threads = [
            threading.Thread(target=self._work, name=f"quarvex-engine_{n}", daemon=True)
            for n in range(threads)
        ]
        for thread in self._threads:
            thread.start()

    def admit(self) -> Ticket:
        with self._lock:
            if self._admitted >= self._capacity:
                raise Saturated
            self._admitted += 1
        return Ticket(self)

    def submit(self, job: _Job) -> None:
        self._jobs.put(job)

    def give_back(self, job: _Job | None) -> None:
        """A request is done with its place, which goes back now or once its job has finished."""
        with self._lock:
            if job is None or job.finished:
                self._admitted -= 1
            else:
                job.holds_place = True

    def _work(self) -> None:
        while (job := self._jobs.get()) is not None:
            if not job.cancelled:
                start = time.perf_counter()
                job.run()
                self._metrics.engine_ran(time.perf_counter() - start)
            with self._lock:
                job.finished = True
                if job.holds_place:
                    self._admitted -= 1

    def shutdown(self) -> None:
        for _ in self._threads:
            self._jobs.put(None)
        for thread in self._threads:
            thread.join()


class _Job:
    """One call on an engine thread, answered on the event loop that asked for it."""

    def __init__(self, work: Callable[..., Any], args: tuple[Any, ...]) -> None:
        self.work, self.args = work, args
        self.loop = asyncio.get_running_loop()
        self.answer: asyncio.Future[Any] = self.loop.create_future()
        # Set on the loop: the deadline passed before the job started, so it never runs.
        self.cancelled = False
        # Both under the engine's lock: the place goes back when the job has
        # finished and the request is done with it, whichever comes last.
        self.finished = False
        self.holds_place = False

    def run(self) -> None:
        try:
            outcome, failed = self.work(*self.args), False
        except Exception as error:
            outcome, failed = error, True
        try:
            self.loop.call_soon_threadsafe(self._settle, outcome, failed)
        except RuntimeError:  # the loop has closed: nobody waits for the answer
            pass

    def _settle(self, outcome: Any, failed: bool) -> None:
        if self.answer.done():  # answered 504 already
            return
        if failed:
            self.answer.set_exception(outcome)
        else:
            self.answer.set_result(outcome)


class Ticket:
    """One admitted request's place. The place is given back when the request
    is done with it and its last packing has finished, which may be after a
    504 answer: a packing that has started cannot be stopped."""

    def __init__(self, engine: Engine) -> None:
        self._engine = engine
        self._job: _Job | None = None

    async def run(self, deadline: float, work: Callable[..., T], *args: Any) -> T:
        """Runs work(*args) on an engine thread; DeadlinePassed when it is not
        done by `deadline` (time.monotonic())."""
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise DeadlinePassed
        self._job = job = _Job(work, args)
        self._engine.submit(job)
        timer = job.loop.call_later(remaining, _expire, job)
        try:
            return await job.answer  # type: ignore[no-any-return]
        finally:
            timer.cancel()

    def release(self) -> None:
        self._engine.give_back(self._job)


def _expire(job: _Job) -> None:
    if not job.answer.done():
        job.cancelled = True  # still queued: it never runs
        job.answer.set_exception(DeadlinePassed())
