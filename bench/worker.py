"""Times one engine on one group of a family in a process of its own and
prints the figures as JSON, so that each row's peak memory is its own and a
call that never ends can be stopped from outside.

    python -m bench.worker FAMILY GROUP ENGINE [--quick]
"""

import argparse
import json
import resource
import sys
import time

from bench import families
from bench.engines import ENGINES


def current_rss_kib():
    with open("/proc/self/statm") as statm:
        pages = int(statm.read().split()[1])
    return pages * resource.getpagesize() // 1024


def peak_rss_kib():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss  # KiB on Linux


def measure(engine, requests, repeats, budget_s):
    """Per-pass, per-request CPU and wall times, and each request's outcome from the first pass."""
    cpu_passes, wall_passes, outcomes = [], [], []
    spent = 0.0
    while len(wall_passes) < repeats and (not wall_passes or spent < budget_s):
        cpu_times, wall_times = [], []
        for request in requests:
            cpu_start, wall_start = time.process_time(), time.perf_counter()
            result = engine.pack(request)
            wall_times.append(time.perf_counter() - wall_start)
            cpu_times.append(time.process_time() - cpu_start)
            if not wall_passes:
                outcomes.append(engine.outcome(result, request))
        cpu_passes.append(cpu_times)
        wall_passes.append(wall_times)
        spent += sum(wall_times)
    return {"cpu": cpu_passes, "wall": wall_passes}, outcomes


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("family", choices=sorted(families.FAMILIES))
    parser.add_argument("group", type=int, help="index of the group in its family")
    parser.add_argument("engine", choices=sorted(ENGINES))
    parser.add_argument("--quick", action="store_true")
    args = parser.parse_args(argv)

    engine = ENGINES[args.engine]()
    family = families.build(args.family, args.quick)
    group = family.groups[args.group]
    is_peer = engine.name != "quarvex"
    indices = list(group.peer_indices) if is_peer else list(range(len(group.requests)))
    requests = [group.requests[k] for k in indices]
    repeats = family.peer_repeats if is_peer else family.repeats
    baseline = current_rss_kib()
    times, outcomes = measure(engine, requests, repeats, family.budget_s)
    json.dump({"label": group.label, "engine": engine.name, "indices": indices,
               "items": [len(r["items"]) for r in requests], "times": times,
               "outcomes": outcomes, "baseline_rss_kib": baseline,
               "peak_rss_kib": peak_rss_kib()}, sys.stdout)


if __name__ == "__main__":
    main()
