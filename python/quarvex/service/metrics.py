"""The service's counters in Prometheus's text format, kept in this process.

With --workers N each worker process counts its own requests, and a scrape
reaches whichever worker accepts it.
"""

from __future__ import annotations

import threading
from bisect import bisect_left
from collections import Counter
from itertools import accumulate

# Upper bounds in seconds: from a health check to a search at its time limit.
BUCKETS = (0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1.0, 2.5, 5.0, 10.0, 30.0, 60.0)


class Metrics:
    """Requests by route and status, their latency, requests in flight and engine time.

    >>> metrics = Metrics(); metrics.finished("/v1/pack", 200, 0.02); "quarvex_requests_total" in metrics.text()
    True
    """

    def __init__(self) -> None:
        # Requests finish on the event loop, engine work on threads.
        self._lock = threading.Lock()
        self._requests: Counter[tuple[str, int]] = Counter()
        self._buckets: dict[str, list[int]] = {}
        self._sums: dict[str, float] = {}
        self.in_flight = 0
        self._engine_seconds = 0.0

    def finished(self, route: str, status: int, seconds: float) -> None:
        with self._lock:
            self._requests[route, status] += 1
            # Counted in its own bucket only; the text adds them up as Prometheus's are.
            buckets = self._buckets.setdefault(route, [0] * (len(BUCKETS) + 1))
            buckets[bisect_left(BUCKETS, seconds)] += 1
            self._sums[route] = self._sums.get(route, 0.0) + seconds

    def engine_ran(self, seconds: float) -> None:
        with self._lock:
            self._engine_seconds += seconds

    def text(self) -> str:
        with self._lock:
            lines = [
                "# HELP quarvex_requests_total Requests answered, by route and status.",
                "# TYPE quarvex_requests_total counter",
            ]
            for (route, status), count in sorted(self._requests.items()):
                lines.append(f'quarvex_requests_total{{route="{route}",status="{status}"}} {count}')
            lines += [
                "# HELP quarvex_request_duration_seconds Time from a request's arrival to its last byte.",
                "# TYPE quarvex_request_duration_seconds histogram",
            ]
            for route, buckets in sorted(self._buckets.items()):
                *below, total = accumulate(buckets)
                for bound, count in zip(BUCKETS, below, strict=True):
                    lines.append(
                        f'quarvex_request_duration_seconds_bucket{{route="{route}",le="{bound}"}} {count}'
                    )
                lines.append(f'quarvex_request_duration_seconds_bucket{{route="{route}",le="+Inf"}} {total}')
                lines.append(
                    f'quarvex_request_duration_seconds_sum{{route="{route}"}} {self._sums[route]:.6f}'
                )
                lines.append(f'quarvex_request_duration_seconds_count{{route="{route}"}} {total}')
            lines += [
                "# HELP quarvex_requests_in_flight Requests being answered now.",
                "# TYPE quarvex_requests_in_flight gauge",
                f"quarvex_requests_in_flight {self.in_flight}",
                "# HELP quarvex_engine_seconds_total Wall time spent packing.",
                "# TYPE quarvex_engine_seconds_total counter",
                f"quarvex_engine_seconds_total {self._engine_seconds:.6f}",
            ]
        return "\n".join(lines) + "\n"
