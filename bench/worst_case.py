"""The slowest kind of request: a few hundred items ending in a handful of boxes,
where the weight balancing re-packs boxes item by item. Times this checkout's
module beside a baseline build (`make bench BASELINE=<revision>`), each in a
process of its own, on the same requests, and checks that both give the same
output.

    python -m bench.worst_case [--quick] [--baseline SITE]     the table
    python -m bench.worst_case --emit [--quick]                one engine's figures (worker)

SITE is a directory holding a quarvex package built from another revision; it
goes first on that worker's path.
"""

import argparse
import hashlib
import json
import os
import subprocess
import sys
import time
from pathlib import Path

from bench import generators, report

ROOT = Path(__file__).resolve().parent.parent
SLOW_REQUEST = ROOT / "bench" / "data" / "slow_200_items.json"
RANDOM_REQUESTS = {True: 40, False: 200}
FILL_KINDS = ("first", "balancing", "look_ahead")


def requests(quick):
    """(label, request) pairs: the slow request first, then the seeded random ones."""
    yield "slow", json.loads(SLOW_REQUEST.read_text())
    for seed in range(RANDOM_REQUESTS[quick]):
        yield "random", generators.worst_case_request(seed)


def emit(quick):
    """CPU seconds, box fills (when the module counts them) and an output digest per request."""
    import quarvex

    counts = getattr(quarvex._core, "_fill_counts", None)
    rows = []
    for label, request in requests(quick):
        text = json.dumps(request)
        before = counts() if counts else None
        started = time.process_time()
        output = quarvex.solve(text)
        seconds = time.process_time() - started
        fills = None
        if counts:
            after = counts()
            fills = {kind: after[kind] - before[kind] for kind in FILL_KINDS}
        rows.append(
            {
                "label": label,
                "seconds": seconds,
                "fills": fills,
                "digest": hashlib.sha256(output.encode()).hexdigest()[:16],
            }
        )
    print(json.dumps(rows))


def measure(quick, site=None):
    path = [*filter(None, [site]), str(ROOT), *filter(None, [os.environ.get("PYTHONPATH")])]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(path))
    done = subprocess.run(
        [sys.executable, "-m", "bench.worst_case", "--emit", *(["--quick"] if quick else [])],
        cwd=ROOT,
        env=env,
        capture_output=True,
        text=True,
        check=True,
    )
    return json.loads(done.stdout)


def _quantile(values, q):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def _row(label, rows):
    seconds = [r["seconds"] for r in rows]
    fills = None
    if all(r["fills"] for r in rows):
        fills = {kind: sum(r["fills"][kind] for r in rows) for kind in FILL_KINDS}
    return {
        "label": label,
        "requests": len(rows),
        "p50_ms": 1000 * _quantile(seconds, 0.5),
        "p99_ms": 1000 * _quantile(seconds, 0.99),
        "max_ms": 1000 * max(seconds),
        "fills": fills,
    }


def summarise(runs):
    """One row per engine and group: the slow request alone, and the whole family."""
    table = []
    for engine, rows in runs.items():
        table.append(
            {
                "engine": engine,
                **_row("slow request (200 items, 6 box types)", [r for r in rows if r["label"] == "slow"]),
            }
        )
        family = [r for r in rows if r["label"] == "random"]
        table.append({"engine": engine, **_row("seeded random requests", family)})
    return table


def print_table(table, differing):
    def fills(row):
        f = row["fills"]
        return "-" if f is None else " / ".join(f"{f[kind]:,}" for kind in FILL_KINDS)

    lines = [
        [
            row["label"],
            row["engine"],
            str(row["requests"]),
            report.fmt(row["p50_ms"], 1),
            report.fmt(row["p99_ms"], 1),
            report.fmt(row["max_ms"], 1),
            fills(row),
        ]
        for row in sorted(table, key=lambda row: row["label"])
    ]
    notes = [
        "time: CPU ms per request; fills: box fills of the first packing / balancing / "
        "look-ahead, summed over the row (- where the build does not count them)"
    ]
    if differing is not None:
        notes.append(f"output differing from the baseline: {differing} request(s)")
    print(
        report.table(
            "Worst cases (100-300 items, 2-8 box types, balancing)",
            ["requests", "engine", "n", "p50 ms", "p99 ms", "max ms", "fills first / balancing / look-ahead"],
            lines,
            notes,
        )
        + "\n",
        flush=True,
    )


def run(quick, site=None):
    runs = {"now": measure(quick)}
    differing = None
    if site:
        runs = {"before": measure(quick, site), **runs}
        differing = sum(a["digest"] != b["digest"] for a, b in zip(runs["before"], runs["now"]))
    table = summarise(runs)
    print_table(table, differing)
    return {"rows": table, "differing": differing}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--baseline", help="directory with a baseline build of the package")
    parser.add_argument("--emit", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.emit:
        emit(args.quick)
    else:
        run(args.quick, args.baseline)


if __name__ == "__main__":
    main()
