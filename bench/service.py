"""The service under load beside in-process pack_batch on the same cores.

    python -m bench.service [--orders N] [--seconds S] [--workers N] [--concurrency N]

Starts `quarvex serve` on a free port of 127.0.0.1 and loads POST /v1/pack
with wrk (Debian's `wrk`; `make bench-service` installs it) over keep-alive
connections: at 1, 8 and 64 connections, then at about 80% of the peak rate
(connections that pause a fixed time between requests), each level for S
seconds with a /healthz probe every 50 ms beside. Then packs the same orders with pack_batch
for S seconds. Prints requests/s, p50 and p99 latency, the failed requests
(errors and any status but 2xx), the probe's p99 and the server's resident
memory after each level.
"""

import argparse
import itertools
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import quarvex
from bench import generators

LEVELS = (1, 8, 64)
PACED_CONNECTIONS = 32
PACED_SHARE = 0.8

# wrk's hooks: the orders in turn, an optional pause of PAUSE_MS before each
# request (a steady rate, as a constant-rate load generator keeps), and one JSON
# line of figures when the run ends.
SCRIPT = """
local bodies = dofile(os.getenv("BODIES"))
local pause = tonumber(os.getenv("PAUSE_MS") or "0")
local path = os.getenv("TARGET")
local i = 0
request = function()
  i = i % #bodies + 1
  if path == "/healthz" then return wrk.format("GET", path) end
  return wrk.format("POST", path, {["Content-Type"] = "application/json"}, bodies[i])
end
if pause > 0 then
  delay = function() return pause end
end
done = function(summary, latency, requests)
  local e = summary.errors
  io.write(string.format(
    '{"requests": %d, "seconds": %f, "failed": %d, "p50_ms": %f, "p99_ms": %f}\\n',
    summary.requests, summary.duration / 1e6, e.connect + e.read + e.write + e.status + e.timeout,
    latency:percentile(50) / 1e3, latency:percentile(99) / 1e3))
end
"""


def _lua_string(text):
    return "[==[" + text + "]==]"


def _wrk(folder, port, target, connections, seconds, pause_ms=0.0):
    environment = dict(os.environ, BODIES=str(folder / "bodies.lua"), TARGET=target, PAUSE_MS=str(pause_ms))
    return subprocess.Popen(
        [
            "wrk",
            "-t1",
            f"-c{connections}",
            f"-d{seconds:g}s",
            "--timeout",
            "30s",
            "-s",
            str(folder / "load.lua"),
            f"http://127.0.0.1:{port}",
        ],
        env=environment,
        stdout=subprocess.PIPE,
        text=True,
    )


def _figures(process):
    output = process.communicate()[0]
    return json.loads(output.strip().splitlines()[-1])


def _level(folder, port, server, connections, seconds, pause_ms=0.0):
    probe = _wrk(folder, port, "/healthz", 1, seconds, pause_ms=50)
    load = _wrk(folder, port, "/v1/pack", connections, seconds, pause_ms)
    row = _figures(load)
    row.update(
        connections=connections,
        per_s=row["requests"] / row["seconds"],
        health_p99_ms=_figures(probe)["p99_ms"],
        rss_mib=_resident_mib(server.pid),
    )
    return row


def _resident_mib(pid):
    """Resident memory of the server and every process under it."""
    total, pending = 0, [pid]
    while pending:
        current = pending.pop()
        try:
            status = Path(f"/proc/{current}/status").read_text()
            children = Path(f"/proc/{current}/task/{current}/children").read_text().split()
        except OSError:
            continue
        total += int(next(line.split()[1] for line in status.splitlines() if line.startswith("VmRSS:")))
        pending += [int(child) for child in children]
    return total / 1024


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _serve(port, workers, concurrency):
    command = [
        sys.executable,
        "-m",
        "quarvex",
        "serve",
        "--port",
        str(port),
        "--workers",
        str(workers),
        "--concurrency",
        str(concurrency),
        "--queue",
        "128",
    ]
    server = subprocess.Popen(command, stderr=subprocess.DEVNULL)
    for _ in range(300):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return server
        except OSError:
            time.sleep(0.1)
    server.kill()
    raise SystemExit("the server did not start")


def _batch_rate(orders, workers, seconds):
    """Orders per second of pack_batch over the orders in turn, timed from its first answer
    (the server too was started before its clock ran)."""
    start, packed = None, 0
    for _ in quarvex.pack_batch(
        itertools.islice(itertools.cycle(orders), len(orders) * 1000), workers=workers
    ):
        if start is None:
            start = time.monotonic()
            continue
        packed += 1
        if time.monotonic() - start >= seconds:
            break
    return packed / (time.monotonic() - start)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orders", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--workers", type=int, default=1, help="server processes")
    parser.add_argument(
        "--concurrency", type=int, default=os.cpu_count() or 1, help="engine threads per process"
    )
    args = parser.parse_args()
    if shutil.which("wrk") is None:
        raise SystemExit("bench.service needs wrk: `make bench-service` installs it (Debian's wrk)")
    orders = [json.dumps(order) for order in generators.orders(args.orders)]

    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        (folder / "bodies.lua").write_text("return {\n" + ",\n".join(map(_lua_string, orders)) + "\n}\n")
        (folder / "load.lua").write_text(SCRIPT)
        port = _free_port()
        server = _serve(port, args.workers, args.concurrency)
        try:
            rows = [_level(folder, port, server, connections, args.seconds) for connections in LEVELS]
            peak = max(row["per_s"] for row in rows)
            # Each connection's cycle is its answer plus its pause. A short run at the
            # unloaded answer time shows the answer time at about that load.
            cycle_ms = 1000 * PACED_CONNECTIONS / (PACED_SHARE * peak)
            trial = _level(folder, port, server, PACED_CONNECTIONS, 5, max(0.0, cycle_ms - rows[0]["p50_ms"]))
            pause_ms = max(0.0, cycle_ms - trial["p50_ms"])
            rows.append(_level(folder, port, server, PACED_CONNECTIONS, args.seconds, pause_ms))
        finally:
            server.send_signal(signal.SIGTERM)
            server.wait(timeout=60)
    batch_per_s = _batch_rate(orders, args.concurrency * args.workers, args.seconds)

    print(
        f"POST /v1/pack with wrk, {args.orders} shop orders, {args.workers} server process(es) of "
        f"{args.concurrency} engine threads, {args.seconds:g} s per level, load average "
        f"{os.getloadavg()[0]:.2f} on {os.cpu_count()} cores"
    )
    print(
        f"{'connections':>13} {'requests':>9} {'failed':>7} {'req/s':>8} {'p50 ms':>8} {'p99 ms':>8} "
        f"{'p99/p50':>8} {'/healthz p99 ms':>16} {'RSS MiB':>8}"
    )
    for row in rows:
        label = f"{row['connections']}" if row is not rows[-1] else f"{row['connections']} paced"
        print(
            f"{label:>13} {row['requests']:>9} {row['failed']:>7} {row['per_s']:>8.1f} {row['p50_ms']:>8.1f} "
            f"{row['p99_ms']:>8.1f} {row['p99_ms'] / row['p50_ms']:>8.1f} {row['health_p99_ms']:>16.1f} "
            f"{row['rss_mib']:>8.1f}"
        )
    print(
        f"paced: {100 * rows[-1]['per_s'] / peak:.0f}% of the peak {peak:.0f} req/s; "
        f"{sum(row['requests'] for row in rows):,} requests in all"
    )
    print(
        f"in-process pack_batch, {args.concurrency * args.workers} threads: {batch_per_s:.1f} orders/s; "
        f"the service's peak is {100 * peak / batch_per_s:.0f}% of it"
    )


if __name__ == "__main__":
    main()
