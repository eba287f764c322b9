"""Times one engine on one group of a family in a process of its own, so
that each row's peak memory is its own and a call that does not end can be
stopped from outside.

    python -m bench.worker FAMILY GROUP ENGINE [--quick] [--skip INDEX ...]

Before each call it prints "start INDEX" (the request's index in its group),
so whoever stops it knows which request was running; the last line is
"result " and the figures as JSON.
"""

import argparse
import json
import time

from bench import families
from bench.engines import ENGINES


def _status_kib(field):
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise LookupError(field)


def current_rss_kib():
    return _status_kib("VmRSS")


def peak_rss_kib():
    # Not getrusage: its maximum survives exec, so it would include the parent's size at fork.
    return _status_kib("VmHWM")


def measure(engine, requests, indices, repeats, budget_s):
    """Per-pass, per-request CPU and wall times, and each request's outcome from the first pass."""
    cpu_passes, wall_passes, outcomes = [], [], []
    spent = 0.0
    while len(wall_passes) < repeats and (not wall_passes or spent < budget_s):
        cpu_times, wall_times = [], []
        for index, request in zip(indices, requests):
            print("start", index, flush=True)
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
    parser.add_argument("--skip", type=int, nargs="*", default=[], help="indices of requests to leave out")
    args = parser.parse_args(argv)

    engine = ENGINES[args.engine]()
    family = families.build(args.family, args.quick)
    group = family.groups[args.group]
    is_peer = engine.name != "quarvex"
    candidates = group.peer_indices if is_peer else range(len(group.requests))
    indices = [k for k in candidates if k not in args.skip]
    requests = [group.requests[k] for k in indices]
    repeats = family.peer_repeats if is_peer else family.repeats
    baseline = current_rss_kib()
    times, outcomes = measure(engine, requests, indices, repeats, family.budget_s)
    print(
        "result",
        json.dumps(
            {
                "label": group.label,
                "engine": engine.name,
                "indices": indices,
                "items": [len(r["items"]) for r in requests],
                "times": times,
                "outcomes": outcomes,
                "baseline_rss_kib": baseline,
                "peak_rss_kib": peak_rss_kib(),
            }
        ),
    )


if __name__ == "__main__":
    main()
