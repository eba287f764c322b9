"""Packs the same seeded requests with this checkout's module and a baseline
build, each in a process of its own, and reports every request whose `solve`
output, or `pack_dicts` result as JSON, differs by a byte.

    python -m bench.differential --baseline PYTHON [--count N] [--seed S]

PYTHON is an interpreter that imports the baseline module, e.g. the .venv of a
worktree of the previous commit. Exit status 0 when nothing differs, 1 otherwise.
"""

import argparse
import hashlib
import json
import os
import subprocess
import sys
from pathlib import Path

from bench import generators, worst_case

ROOT = Path(__file__).resolve().parent.parent


def requests(count, seed):
    """Mostly the feature mix (near twins included), with shop orders, MPV
    instances and worst cases among them, in one fixed order (the look-ahead
    memo carries over from call to call)."""
    products = generators.catalogue()
    mix = iter(generators.feature_requests(seed * 1_000_003, count))
    for k in range(count):
        if k == 3:
            yield json.loads(worst_case.SLOW_REQUEST.read_text())
        elif k % 100 == 2:
            yield generators.worst_case_request(seed * 1009 + k)
        elif k % 10 == 0:
            yield generators.order_request(seed * 7919 + k, products)
        elif k % 50 == 1:
            yield generators.mpv_request(k // 50 % 8 + 1, 50, k // 400 % 10 + 1)
        else:
            yield next(mix)


def digests(count, seed):
    import quarvex

    for request in requests(count, seed):
        digest = hashlib.sha256(quarvex.solve(json.dumps(request)).encode())
        digest.update(quarvex.pack_dicts(request["items"], request["boxes"]).to_json().encode())
        yield digest.hexdigest()[:16]


def run(python, count, seed, path=()):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(ROOT), *path]))
    done = subprocess.run(
        [python, "-m", "bench.differential", "--emit", "--count", str(count), "--seed", str(seed)],
        cwd=ROOT,
        env=env,
        capture_output=True,
        text=True,
        check=True,
    )
    return done.stdout.split()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--baseline", help="interpreter that imports the baseline module")
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--emit", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.emit:
        print("\n".join(digests(args.count, args.seed)))
        return 0
    if not args.baseline:
        parser.error("--baseline is required")
    # Our own module may come from PYTHONPATH (a build tree); the baseline's never does.
    ours = run(sys.executable, args.count, args.seed, filter(None, [os.environ.get("PYTHONPATH")]))
    theirs = run(args.baseline, args.count, args.seed)
    differing = [k for k, (a, b) in enumerate(zip(ours, theirs)) if a != b]
    print(f"{len(ours)} requests, {len(differing)} differing" + (f": {differing[:20]}" if differing else ""))
    return 1 if differing or len(ours) != len(theirs) else 0


if __name__ == "__main__":
    sys.exit(main())
