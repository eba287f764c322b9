"""Runs the benchmark suite, prints one table per family and writes the
figures to bench/results/latest.json.

    python -m bench [--quick] [--only FAMILY ...] [--no-peer] [--clock cpu|wall] [--out PATH]
                    [--baseline SITE]

Every row runs in worker processes of its own, one per engine, so each row's
peak memory is its own, a call that never ends can be stopped, and py3dbp
never shares a process with quarvex.
"""

import argparse
import importlib.util
import json
import os
import platform
import queue
import subprocess
import sys
import threading
import time
from pathlib import Path

from bench import families, generators, quality, report, worst_case

ROOT = Path(__file__).resolve().parent.parent
MEMORY = "memory"
BATCH = "batch"
THREADS = "threads"
THREAD_ORDERS = {True: 300, False: 2000}
BATCH_ORDERS = {True: 1000, False: 20_000}
# The batch probe packs every order three times over, in one process.
BATCH_LIMIT_S = {True: 300, False: 1800}
QUALITY = "quality"
WORST_CASE = "worst-case"
SMALL_CALLS = {True: 10_000, False: 100_000}
LARGE_CALL = {True: 1000, False: 3000}
LEGEND = """\
calls/s, items/s, ms/call: median of the timed passes; cold calls/s: the first pass, with
the look-ahead memo still empty. boxes and unplaced are summed over a row's requests, util%
is the mean volume utilisation of the boxes used, peak MiB the worker's peak resident memory.
py = py3dbp (pinned in bench/requirements.txt) on the requests it can express; us/py is
quarvex / py3dbp on those same requests, speedup py3dbp's time over ours on them."""
# A call still running after this many seconds is stopped and its request left out.
CALL_LIMIT_S = {True: 20, False: 60}
# A row gives up after this many stopped calls.
MAX_STOPPED = 3


def _watch(args, limit_s):
    """Runs `python -m args`, a worker that prints "start INDEX" before each call and
    "result JSON" at the end. Returns (result, None), or (None, INDEX) when the call
    on request INDEX was still running after limit_s seconds (the worker is stopped)
    or the worker failed in it."""
    path = [str(ROOT), *filter(None, [os.environ.get("PYTHONPATH")])]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(path))
    started = time.perf_counter()
    worker = subprocess.Popen(
        [sys.executable, "-m", *args], cwd=ROOT, env=env, stdout=subprocess.PIPE, text=True
    )
    lines = queue.Queue()

    def read():
        for line in worker.stdout:
            lines.put(line)
        lines.put(None)

    threading.Thread(target=read, daemon=True).start()
    running, result = None, None
    while True:
        try:
            line = lines.get(timeout=limit_s)
        except queue.Empty:
            worker.kill()
            worker.wait()
            print(f"  {' '.join(args[1:])}: stopped in request {running} after {limit_s} s", file=sys.stderr)
            return None, running
        if line is None:
            break
        kind, _, rest = line.partition(" ")
        if kind == "start":
            running = int(rest)
        elif kind == "result":
            result = json.loads(rest)
    if worker.wait() != 0:
        # A crash is a finding in itself: say so, and go on without that request.
        print(
            f"  {' '.join(args[1:])}: failed in request {running} with exit status {worker.returncode}",
            file=sys.stderr,
        )
        return None, running
    print(f"  {' '.join(args[1:])}: {time.perf_counter() - started:.1f} s", file=sys.stderr)
    return result, None


def _measure(args, limit_s, skip=()):
    """Runs a worker, leaving out each request whose call does not end in time."""
    stopped = []
    while len(stopped) <= MAX_STOPPED:
        result, stuck = _watch([*args, "--skip", *map(str, [*skip, *stopped])], limit_s)
        if result is not None or stuck is None:
            return result, stopped
        stopped.append(stuck)
    return None, stopped


def run_family(key, quick, with_peer, clock):
    family = families.build(key, quick)
    mode = ["--quick"] if quick else []
    limit = CALL_LIMIT_S[quick]
    rows, raw = [], []
    for index, group in enumerate(family.groups):
        worker = ["bench.worker", key, str(index)]
        ours = _measure([*worker, "quarvex", *mode], limit)
        theirs = None
        if with_peer and family.peer_repeats and group.peer_indices and ours[0]:
            # Requests we could not finish are left out on both sides.
            theirs = _measure([*worker, "py3dbp", *mode], limit, skip=ours[1])
        row = report.group_figures(group.label, ours, theirs, clock)
        row["lower_bound"] = group.lower_bound
        rows.append(row)
        raw.append({"quarvex": ours, "py3dbp": theirs})
    notes = list(family.notes)
    if any(r["stopped"] or r.get("peer", {}).get("stopped") for r in rows):
        notes.append(
            f"stopped: calls still running after {limit} s, left out of the row "
            f"(a row gives up after {MAX_STOPPED} of them)"
        )
    if key == "scaling":
        notes += _scaling_notes(rows)
    with_bound = any(g.lower_bound is not None for g in family.groups)
    print(report.family_table(family.title, rows, notes, with_bound) + "\n", flush=True)
    return {"title": family.title, "rows": rows, "notes": notes, "raw": raw}


def _scaling_notes(rows):
    def size(row):
        return int(row["label"].removeprefix("n="))

    measured = [r for r in rows if not r.get("timed_out")]
    ours = [(size(r), r["ms_per_call"]) for r in measured]
    large = [(n, t) for n, t in ours if n >= 100]
    peer = [
        (size(r), r["peer"]["ms_per_call"])
        for r in measured
        if "peer" in r and not r["peer"].get("timed_out")
    ]
    stopped = [r["label"] for r in rows if r.get("timed_out")]
    notes = [f"left out of the fit: {', '.join(stopped)} (stopped)"] if stopped else []
    for label, points in (("quarvex", ours), ("quarvex, n >= 100", large), ("py3dbp", peer)):
        if len(points) >= 2:
            notes.append(
                f"{label}: time ~ n^{report.fitted_exponent(points):.2f} "
                f"for n = {points[0][0]}..{points[-1][0]} (least squares, log-log)"
            )
    return notes


def run_memory(quick, clock):
    large, _ = _watch(["bench.memory", "large", str(LARGE_CALL[quick])], CALL_LIMIT_S[quick])
    small, _ = _watch(["bench.memory", "small", str(SMALL_CALLS[quick])], CALL_LIMIT_S[quick])
    print(report.memory_table(large, small, clock) + "\n", flush=True)
    return {"large": large, "small": small}


def run_threads(quick):
    result, _ = _watch(["bench.threads", str(THREAD_ORDERS[quick])], BATCH_LIMIT_S[quick])
    print(report.threads_table(result) + "\n", flush=True)
    return result


def run_batch(quick):
    result, _ = _watch(["bench.batch", str(BATCH_ORDERS[quick])], BATCH_LIMIT_S[quick])
    print(report.batch_table(result) + "\n", flush=True)
    return result


def machine():
    cpu = next(
        (line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
        platform.processor(),
    )
    try:
        commit = subprocess.run(
            ["git", "rev-parse", "--short", "HEAD"], cwd=ROOT, text=True, capture_output=True, check=True
        ).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        commit = None
    return {
        "cpu": cpu,
        "cores": os.cpu_count(),
        "python": platform.python_version(),
        "system": platform.platform(),
        "commit": commit,
        "load_average": os.getloadavg()[0],
    }


def main(argv=None):
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--quick", action="store_true", help="smaller families, fewer passes")
    parser.add_argument(
        "--only",
        nargs="+",
        choices=[*families.FAMILIES, WORST_CASE, QUALITY, MEMORY, THREADS, BATCH],
        help="run only these families",
    )
    parser.add_argument("--no-peer", action="store_true", help="skip py3dbp")
    parser.add_argument(
        "--clock",
        choices=("cpu", "wall"),
        default="cpu",
        help="time the tables show (default: CPU time of the worker, which "
        "other load on the machine disturbs least); the JSON has both",
    )
    parser.add_argument("--out", type=Path, default=ROOT / "bench" / "results" / "latest.json")
    parser.add_argument(
        "--baseline",
        metavar="SITE",
        help="directory with a package built from another revision (make bench "
        "BASELINE=<revision> makes one): the worst cases run on it too",
    )
    args = parser.parse_args(argv)
    for needed, remedy in (("quarvex", "make module"), ("py3dbp", "--no-peer, or make bench")):
        if (needed == "quarvex" or not args.no_peer) and importlib.util.find_spec(needed) is None:
            parser.error(f"{needed} is not installed (try {remedy})")
    if problem := generators.mpv_rule_problem():
        sys.exit(f"bench: {problem}")

    chosen = args.only or [*families.FAMILIES, WORST_CASE, QUALITY, MEMORY, THREADS, BATCH]
    info = machine()
    print(
        f"quarvex {info['commit']} on {info['cpu']}, {info['cores']} cores, "
        f"Python {info['python']}, load average {info['load_average']:.2f}; "
        f"{'quick' if args.quick else 'full'} mode, {args.clock} time\n",
        flush=True,
    )
    print(LEGEND + "\n", flush=True)
    started = time.perf_counter()
    results = {
        "mode": "quick" if args.quick else "full",
        "clock": args.clock,
        "machine": info,
        "started": time.strftime("%Y-%m-%dT%H:%M:%S%z"),
        "families": {},
    }
    for key in chosen:
        print(f"{key}:", file=sys.stderr)
        if key == MEMORY:
            results["memory"] = run_memory(args.quick, args.clock)
        elif key == BATCH:
            results["batch"] = run_batch(args.quick)
        elif key == THREADS:
            results["threads"] = run_threads(args.quick)
        elif key == WORST_CASE:
            results["worst_case"] = worst_case.run(args.quick, args.baseline)
        elif key == QUALITY:
            results["quality"] = quality.run(args.quick, not args.no_peer)
        else:
            results["families"][key] = run_family(key, args.quick, not args.no_peer, args.clock)
    results["seconds"] = time.perf_counter() - started
    args.out.parent.mkdir(parents=True, exist_ok=True)
    args.out.write_text(json.dumps(results, indent=1) + "\n")
    print(f"{results['seconds']:.0f} s in all; figures in {args.out}")


if __name__ == "__main__":
    main()
