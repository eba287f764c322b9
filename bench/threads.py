"""Packing on two threads against one, on the bench's orders: Python's
pack_dicts, and the C++ engine itself (bench/threads_bench.cpp, built with
the C++ tests by `make build`). Every run starts on fresh threads, so each
begins with empty look-ahead memos. The output follows the worker's protocol
("start ..." lines, then "result JSON").

    python -m bench.threads COUNT
"""

import argparse
import hashlib
import json
import os
import subprocess
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import quarvex
from bench import generators

ROOT = Path(__file__).resolve().parent.parent
CPP_BENCH = ROOT / "build" / "cpp" / "quarvex_threads_bench"
THREADS = 2


def python_run(orders, threads):
    """Wall seconds for pack_dicts over every order, dealt out to `threads` threads in turn."""
    print("start", threads, flush=True)

    def pack(share):
        return [quarvex.pack_dicts(order["items"], order["boxes"]) for order in share]

    started = time.perf_counter()
    with ThreadPoolExecutor(threads) as pool:
        shares = list(pool.map(pack, [orders[k::threads] for k in range(threads)]))
    seconds = time.perf_counter() - started
    results = [None] * len(orders)
    for k, share in enumerate(shares):
        results[k::threads] = share
    digest = hashlib.sha256("\n".join(r.to_json(-1) for r in results).encode()).hexdigest()
    return {"seconds": seconds, "digest": digest}


def cpp_run(orders):
    if not CPP_BENCH.exists():
        return None
    print("start", 3, flush=True)
    with tempfile.NamedTemporaryFile("w", suffix=".jsonl") as file:
        file.writelines(json.dumps(order) + "\n" for order in orders)
        file.flush()
        output = subprocess.run(
            [str(CPP_BENCH), file.name, str(THREADS)], check=True, text=True, capture_output=True
        ).stdout
    return json.loads(output)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("count", type=int)
    orders = generators.orders(parser.parse_args(argv).count)
    python = {str(threads): python_run(orders, threads) for threads in (1, THREADS)}
    print(
        "result",
        json.dumps(
            {
                "orders": len(orders),
                "python": python,
                "cpp": cpp_run(orders),
                "load_average": os.getloadavg()[0],
            }
        ),
    )


if __name__ == "__main__":
    main()
