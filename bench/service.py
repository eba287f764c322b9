"""The service under load beside in-process pack_batch on the same cores.

    python -m bench.service [--orders N] [--seconds S] [--workers N]

Starts `quarvex serve` on a free port of 127.0.0.1 and drives POST /v1/pack
with the bench's shop orders from an asyncio client over keep-alive
connections, at 1, 8 and 64 connections at once, each level for at most S
seconds, with a /healthz probe every 50 ms beside; then packs the same orders
with pack_batch. Prints requests/s, p50 and p99 latency, the failed requests
(any status but 200) and the probe's p99 per level.
"""

import argparse
import asyncio
import itertools
import json
import os
import signal
import socket
import subprocess
import sys
import time

import quarvex
from bench import generators

LEVELS = (1, 8, 64)


async def _call(reader, writer, port, body, path=b"/v1/pack"):
    method = b"POST" if body else b"GET"
    writer.write(
        b"%s %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Type: application/json\r\n"
        b"Content-Length: %d\r\n\r\n%s" % (method, path, port, len(body), body)
    )
    await writer.drain()
    status = int((await reader.readline()).split()[1])
    length = 0
    while (line := await reader.readline()) not in (b"\r\n", b""):
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value)
    await reader.readexactly(length)
    return status


async def _connection(port, bodies, start, until, latencies, failures, counter):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    try:
        while time.monotonic() < until and counter[0] < len(bodies) * 50:
            body = bodies[counter[0] % len(bodies)]
            counter[0] += 1
            sent = time.perf_counter()
            if await _call(reader, writer, port, body) != 200:
                failures.append(1)
            latencies.append(time.perf_counter() - sent)
    finally:
        writer.close()


async def _health(port, until, latencies):
    # One probe every 50 ms on a connection of its own, as a load balancer's would.
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    try:
        while time.monotonic() < until:
            sent = time.perf_counter()
            await _call(reader, writer, port, b"", b"/healthz")
            latencies.append(time.perf_counter() - sent)
            await asyncio.sleep(0.05)
    finally:
        writer.close()


def _percentile(values, share):
    values = sorted(values)
    return 1000 * values[min(len(values) - 1, int(len(values) * share))]


async def _level(port, bodies, connections, seconds):
    latencies, failures, counter, health = [], [], [0], []
    start = time.monotonic()
    await asyncio.gather(
        _health(port, start + seconds, health),
        *(
            _connection(port, bodies, start, start + seconds, latencies, failures, counter)
            for _ in range(connections)
        ),
    )
    elapsed = time.monotonic() - start
    return {
        "connections": connections,
        "requests": len(latencies),
        "failed": len(failures),
        "per_s": len(latencies) / elapsed,
        "p50_ms": _percentile(latencies, 0.5),
        "p99_ms": _percentile(latencies, 0.99),
        "health_p99_ms": _percentile(health, 0.99),
    }


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _serve(port, workers):
    server = subprocess.Popen(
        [
            sys.executable,
            "-m",
            "quarvex",
            "serve",
            "--port",
            str(port),
            "--workers",
            str(workers),
            "--queue",
            "64",
        ],
        stderr=subprocess.DEVNULL,
    )
    for _ in range(300):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return server
        except OSError:
            time.sleep(0.1)
    server.kill()
    raise SystemExit("the server did not start")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orders", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()
    orders = [json.dumps(order) for order in generators.orders(args.orders)]
    bodies = [order.encode() for order in orders]

    port = _free_port()
    server = _serve(port, args.workers)
    try:
        rows = [asyncio.run(_level(port, bodies, connections, args.seconds)) for connections in LEVELS]
    finally:
        server.send_signal(signal.SIGTERM)
        server.wait(timeout=60)

    # One pool for the whole run, as the server's processes are, timed from its first
    # answer (the server too was started before its clock ran), with the same time bound.
    start = None
    packed = 0
    for _ in quarvex.pack_batch(
        itertools.islice(itertools.cycle(orders), len(orders) * 50), workers=args.workers
    ):
        if start is None:
            start = time.monotonic()
            continue
        packed += 1
        if time.monotonic() - start >= args.seconds:
            break
    batch_per_s = packed / (time.monotonic() - start)

    print(
        f"POST /v1/pack, {args.orders} shop orders, {args.workers} server processes, {args.seconds:g} s per level"
    )
    print(
        f"{'connections':>11} {'requests':>9} {'failed':>7} {'req/s':>8} {'p50 ms':>8} {'p99 ms':>8} "
        f"{'/healthz p99 ms':>16}"
    )
    for row in rows:
        print(
            f"{row['connections']:>11} {row['requests']:>9} {row['failed']:>7} {row['per_s']:>8.1f} "
            f"{row['p50_ms']:>8.1f} {row['p99_ms']:>8.1f} {row['health_p99_ms']:>16.1f}"
        )
    print(f"in-process pack_batch, {args.workers} workers: {batch_per_s:.1f} orders/s")


if __name__ == "__main__":
    main()
