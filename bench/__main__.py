"""Runs the benchmark suite, prints one table per family and writes the
figures to bench/results/latest.json.

    python -m bench [--quick] [--only FAMILY ...] [--no-peer] [--out PATH]

Every row runs in worker processes of its own, one per engine, so each row's
peak memory is its own, a call that never ends can be stopped, and py3dbp
never shares a process with quarvex.
"""

import argparse
import json
import os
import platform
import subprocess
import sys
import time
from pathlib import Path

from bench import families, report

ROOT = Path(__file__).resolve().parent.parent
MEMORY = "memory"
SMALL_CALLS = {True: 10_000, False: 100_000}
LARGE_CALL = {True: 1000, False: 3000}
LEGEND = """\
calls/s, items/s, ms/call: median of the timed passes; cold calls/s: the first pass, with
the look-ahead memo still empty. boxes and unplaced are summed over a row's requests, util%
is the mean volume utilisation of the boxes used, peak MiB the worker's peak resident memory.
py = py3dbp (pinned in bench/requirements.txt) on the requests it can express; us/py is
quarvex / py3dbp on those same requests, speedup py3dbp's time over ours on them."""
# A worker still running after this many seconds is stopped and its row marked.
TIMEOUT_S = {True: 30, False: 300}


def _python_module(args, timeout):
    """Runs `python -m args` and returns its JSON output, or TIMED_OUT."""
    path = [str(ROOT), *filter(None, [os.environ.get("PYTHONPATH")])]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(path))
    started = time.perf_counter()
    try:
        done = subprocess.run([sys.executable, "-m", *args], cwd=ROOT, env=env, check=True,
                              stdout=subprocess.PIPE, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        print(f"  {' '.join(args[1:])}: stopped after {timeout} s", file=sys.stderr)
        return report.TIMED_OUT
    print(f"  {' '.join(args[1:])}: {time.perf_counter() - started:.1f} s", file=sys.stderr)
    return json.loads(done.stdout)


def run_family(key, quick, with_peer, clock):
    family = families.build(key, quick)
    mode = ["--quick"] if quick else []
    rows, raw = [], []
    for index, group in enumerate(family.groups):
        worker = ["bench.worker", key, str(index)]
        ours = _python_module([*worker, "quarvex", *mode], TIMEOUT_S[quick])
        theirs = None
        if with_peer and family.peer_repeats and group.peer_indices and ours is not report.TIMED_OUT:
            theirs = _python_module([*worker, "py3dbp", *mode], TIMEOUT_S[quick])
        row = report.group_figures(group.label, ours, theirs, clock)
        row["lower_bound"] = group.lower_bound
        rows.append(row)
        raw.append({"quarvex": ours, "py3dbp": theirs})
    notes = list(family.notes)
    if key == "scaling":
        notes += _scaling_notes(rows)
    with_bound = group.lower_bound is not None
    print(report.family_table(family.title, rows, notes, with_bound) + "\n", flush=True)
    return {"title": family.title, "rows": rows, "notes": notes, "raw": raw}


def _scaling_notes(rows):
    def size(row):
        return int(row["label"].removeprefix("n="))
    measured = [r for r in rows if not r.get("timed_out")]
    ours = [(size(r), r["ms_per_call"]) for r in measured]
    large = [(n, t) for n, t in ours if n >= 100]
    peer = [(size(r), r["peer"]["ms_per_call"]) for r in measured
            if "peer" in r and not r["peer"].get("timed_out")]
    notes = []
    for label, points in (("quarvex", ours), ("quarvex, n >= 100", large), ("py3dbp", peer)):
        if len(points) >= 2:
            notes.append(f"{label}: time ~ n^{report.fitted_exponent(points):.2f} "
                         f"for n = {points[0][0]}..{points[-1][0]} (least squares, log-log)")
    return notes


def run_memory(quick, clock):
    timeout = 4 * TIMEOUT_S[quick]
    large = _python_module(["bench.memory", "large", str(LARGE_CALL[quick])], timeout)
    small = _python_module(["bench.memory", "small", str(SMALL_CALLS[quick])], timeout)
    print(report.memory_table(large, small, clock) + "\n", flush=True)
    return {"large": large, "small": small}


def machine():
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
                if line.startswith("model name")), platform.processor())
    try:
        commit = subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=ROOT, text=True,
                                capture_output=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        commit = None
    return {"cpu": cpu, "cores": os.cpu_count(), "python": platform.python_version(),
            "system": platform.platform(), "commit": commit, "load_average": os.getloadavg()[0]}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="smaller families, fewer passes")
    parser.add_argument("--only", nargs="+", choices=[*families.FAMILIES, MEMORY],
                        help="run only these families")
    parser.add_argument("--no-peer", action="store_true", help="skip py3dbp")
    parser.add_argument("--clock", choices=("cpu", "wall"), default="cpu",
                        help="time the tables show (default: CPU time of the worker, which "
                             "other load on the machine disturbs least); the JSON has both")
    parser.add_argument("--out", type=Path, default=ROOT / "bench" / "results" / "latest.json")
    args = parser.parse_args(argv)

    chosen = args.only or [*families.FAMILIES, MEMORY]
    info = machine()
    print(f"quarvex {info['commit']} on {info['cpu']}, {info['cores']} cores, "
          f"Python {info['python']}, load average {info['load_average']:.2f}; "
          f"{'quick' if args.quick else 'full'} mode, {args.clock} time\n", flush=True)
    print(LEGEND + "\n", flush=True)
    started = time.perf_counter()
    results = {"mode": "quick" if args.quick else "full", "clock": args.clock, "machine": info,
               "started": time.strftime("%Y-%m-%dT%H:%M:%S%z"), "families": {}}
    for key in chosen:
        print(f"{key}:", file=sys.stderr)
        if key == MEMORY:
            results["memory"] = run_memory(args.quick, args.clock)
        else:
            results["families"][key] = run_family(key, args.quick, not args.no_peer, args.clock)
    results["seconds"] = time.perf_counter() - started
    args.out.parent.mkdir(parents=True, exist_ok=True)
    args.out.write_text(json.dumps(results, indent=1) + "\n")
    print(f"{results['seconds']:.0f} s in all; figures in {args.out}")


if __name__ == "__main__":
    main()
