"""How soon a stop is seen: for each request, calls with deadlines spread over
the call's length, and the time from each deadline to the TimeoutError; and
how far optimize overruns short time limits, its starting point included.

    python -m bench.cancellation [--calls N]
"""

import argparse
import json
import random
import statistics
import time
from pathlib import Path

import quarvex
from bench.generators import scaling_request

SLOW_REQUEST = Path(__file__).resolve().parent.parent / "tests" / "data" / "slow_200_items.json"


def _requests():
    return {
        "3,000 items": scaling_request(3000),
        "1,000 items": scaling_request(1000),
        "slow request, 200 items": json.loads(SLOW_REQUEST.read_text()),
    }


def stop_delays(text, calls, rng):
    """Milliseconds from each deadline to the TimeoutError, deadlines drawn
    uniformly over the uninterrupted call's length."""
    started = time.perf_counter()
    quarvex.solve(text)
    length = time.perf_counter() - started
    delays = []
    for _ in range(calls):
        limit = rng.uniform(0, length * 0.95)
        started = time.perf_counter()
        try:
            quarvex.solve(text, time_limit=limit)
        except quarvex.TimeoutError:
            delays.append((time.perf_counter() - started - limit) * 1000)
    return length, delays


def optimize_overruns(request, limits):
    """Milliseconds past the time limit at which optimize answered."""
    overruns = []
    for limit in limits:
        started = time.perf_counter()
        quarvex.optimize(request["items"], request["boxes"], time_limit=limit)
        overruns.append((time.perf_counter() - started - limit) * 1000)
    return overruns


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--calls", type=int, default=30)
    args = parser.parse_args()
    rng = random.Random(1)
    print("| Request | call s | stops | median ms after deadline | max ms | optimize overrun max ms |")
    print("|---|---:|---:|---:|---:|---:|")
    for name, request in _requests().items():
        length, delays = stop_delays(json.dumps(request), args.calls, rng)
        overruns = optimize_overruns(request, [0.0, 0.001, 0.01, 0.05, 0.1, 0.3] * 3)
        print(
            f"| {name} | {length:.2f} | {len(delays)} | {statistics.median(delays):.2f} "
            f"| {max(delays):.2f} | {max(overruns):.1f} |"
        )


if __name__ == "__main__":
    main()
