"""Instructions that Packer::pack executes on a few slow requests, counted by
callgrind (Debian's valgrind), for this checkout's module and a baseline build
side by side: a figure that the load of a shared machine does not move.

    python -m bench.instructions [--baseline SITE] [CASE ...]
    python -m bench.instructions --emit CASE                   one solve (run under callgrind)

A CASE is a seed of the worst-case family (129), "slow" for the slow request,
or "n1000" for the scaling request of 1000 items. SITE is a directory holding
a quarvex package built from another revision, as for bench.worst_case.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

from bench import generators, report, worst_case

ROOT = Path(__file__).resolve().parent.parent
CASES = ("129", "199", "35", "slow", "n1000")


def request(case):
    if case == "slow":
        return json.loads(worst_case.SLOW_REQUEST.read_text())
    if case.startswith("n"):
        return generators.scaling_request(int(case[1:]))
    return generators.worst_case_request(int(case))


def emit(case):
    import quarvex

    quarvex.solve(json.dumps(request(case)))


def count(case, site=None):
    """Instructions executed inside Packer::pack while solving the case."""
    path = [*filter(None, [site]), str(ROOT), *filter(None, [os.environ.get("PYTHONPATH")])]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(path))
    with tempfile.TemporaryDirectory() as scratch:
        out = Path(scratch) / "callgrind.out"
        subprocess.run(
            [
                "valgrind",
                "--tool=callgrind",
                "--toggle-collect=quarvex::Packer::pack*",
                f"--callgrind-out-file={out}",
                sys.executable,
                "-m",
                "bench.instructions",
                "--emit",
                case,
            ],
            cwd=ROOT,
            env=env,
            capture_output=True,
            check=True,
        )
        summary = next(line for line in out.read_text().splitlines() if line.startswith("summary:"))
    return int(summary.split()[1])


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cases", nargs="*", default=CASES)
    parser.add_argument("--baseline", help="directory with a baseline build of the package")
    parser.add_argument("--emit", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.emit:
        emit(args.cases[0])
        return
    rows = []
    for case in args.cases:
        now = count(case)
        before = count(case, args.baseline) if args.baseline else None
        millions = before / 1e6 if before else None
        ratio = before / now if before else None
        rows.append([case, report.fmt(millions), report.fmt(now / 1e6), report.fmt(ratio, 2)])
    headers = ["request", "before (M)", "now (M)", "before / now"]
    notes = ["instructions executed inside Packer::pack, counted by callgrind"]
    print(report.table("Instructions per request", headers, rows, notes))


if __name__ == "__main__":
    main()
