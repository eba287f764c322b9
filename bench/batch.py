"""Many orders at once: packed one by one in one process, by pack_batch on two
threads, on two local worker processes, and on a Dask cluster of two worker
processes. The output follows the worker's protocol ("start ..." lines, then
"result JSON").

    python -m bench.batch COUNT

Times are wall-clock: what parallel packing saves is waiting. The cluster is
started before its run is timed; the local pools' start-up is part of their runs.
"""

import argparse
import hashlib
import json
import os
import time

import quarvex
from bench import generators

WORKERS = 2


def timed(index, responses):
    """Wall time to draw every response, and a digest of them all in order."""
    print("start", index, flush=True)
    digest = hashlib.sha256()
    started = time.perf_counter()
    for response in responses:
        digest.update(response.encode() + b"\n")
    return {"seconds": time.perf_counter() - started, "digest": digest.hexdigest()}


def responses(outcomes):
    # A failed order would be a fault of its own; its error text keeps the digests apart.
    return (outcome.response or str(outcome.error) for outcome in outcomes)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("count", type=int)
    count = parser.parse_args(argv).count
    orders = generators.orders(count)
    runs = {"serial": timed(0, (quarvex.solve(json.dumps(order)) for order in orders))}
    runs["threads"] = timed(1, responses(quarvex.pack_batch(orders, workers=WORKERS)))
    runs["local"] = timed(2, responses(quarvex.pack_batch(orders, workers=WORKERS, processes=True)))
    try:
        from distributed import Client, LocalCluster
    except ImportError:
        runs["dask"] = None
    else:
        with (
            LocalCluster(
                n_workers=WORKERS, threads_per_worker=1, processes=True, dashboard_address=":0"
            ) as cluster,
            Client(cluster) as client,
        ):
            runs["dask"] = timed(3, responses(quarvex.pack_batch(orders, executor=client)))
    print(
        "result",
        json.dumps(
            {
                "orders": count,
                "items": sum(len(o["items"]) for o in orders),
                "runs": runs,
                "load_average": os.getloadavg()[0],
            }
        ),
    )


if __name__ == "__main__":
    main()
