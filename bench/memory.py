"""Resident memory of quarvex, each probe in a fresh process; the output
follows the worker's protocol ("start ..." lines, then "result JSON").

    python -m bench.memory large N      one call with N items: peak RSS
    python -m bench.memory small CALLS  CALLS small orders in one process: RSS as they go

The look-ahead memo lives as long as the process, so the second probe shows
whether memory keeps growing with the number of calls.
"""

import argparse
import json
import time

import quarvex
from bench import generators
from bench.worker import current_rss_kib, peak_rss_kib


def large(n):
    request = generators.scaling_request(n)
    baseline = current_rss_kib()
    print("start 0", flush=True)
    cpu_start, wall_start = time.process_time(), time.perf_counter()
    result = quarvex.pack_dicts(request["items"], request["boxes"])
    seconds = {"cpu": time.process_time() - cpu_start, "wall": time.perf_counter() - wall_start}
    return {
        "items": n,
        "seconds": seconds,
        "boxes": len(result.boxes),
        "baseline_rss_kib": baseline,
        "peak_rss_kib": peak_rss_kib(),
    }


def small(calls):
    products = generators.catalogue()
    baseline = current_rss_kib()
    checkpoints = {calls // 100, calls // 10, calls // 2, calls}
    samples, items = [], 0
    seconds = {"cpu": 0.0, "wall": 0.0}
    for k in range(1, calls + 1):
        if k % 1000 == 1:
            print("start", k, flush=True)  # the watcher's sign of progress
        # A new order each call, as a long-running service would see them.
        request = generators.small_order(k, products)
        items += len(request["items"])
        cpu_start, wall_start = time.process_time(), time.perf_counter()
        quarvex.pack_dicts(request["items"], request["boxes"])
        seconds["cpu"] += time.process_time() - cpu_start
        seconds["wall"] += time.perf_counter() - wall_start
        if k in checkpoints:
            samples.append({"calls": k, "rss_kib": current_rss_kib()})
    return {
        "calls": calls,
        "items": items,
        "seconds": seconds,
        "baseline_rss_kib": baseline,
        "samples": samples,
        "peak_rss_kib": peak_rss_kib(),
    }


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("probe", choices=("large", "small"))
    parser.add_argument("count", type=int)
    args = parser.parse_args(argv)
    probe = large if args.probe == "large" else small
    print("result", json.dumps(probe(args.count)))


if __name__ == "__main__":
    main()
