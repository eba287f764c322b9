"""The service under load beside in-process pack_batch on the same cores.

    python -m bench.service [--orders N] [--seconds S] [--workers N] [--concurrency N]

Starts `quarvex serve` (its defaults unless --workers or --concurrency say
otherwise) on a free port of 127.0.0.1 and loads POST /v1/pack with wrk
(Debian's `wrk`; `make bench-service` installs it) over keep-alive
connections: at 1, 8 and 64 connections, then at 80% of the peak rate
(connections that pause between requests, the pause set by short trials),
each level for S seconds with a /healthz probe every 50 ms beside. Then packs
the same orders with pack_batch on as many threads as the server has engine
threads, for S seconds. Prints one table: requests/s and their share of
pack_batch's orders/s, p50 and p99 latency, the failed requests (errors and
any status but 2xx), the probe's p99, the server's resident memory after each
level and its CPU time per request, which a machine busy with other work
changes least, beside pack_batch's CPU time per order.
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
PACED_SHARE = 0.8
# The paced level is run when a short trial lands within this of PACED_SHARE.
PACED_TOLERANCE = 0.02
PACED_TRIALS = 5
PACED_TRIAL_SECONDS = 5

# wrk's hooks: the orders in turn, an optional pause of PAUSE_MS before each
# request (a steady rate, as a constant-rate load generator keeps; wrk takes
# whole milliseconds, so the next one up is taken as often as the fraction
# says), and one JSON line of figures when the run ends.
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
  local whole = math.floor(pause)
  delay = function()
    if math.random() < pause - whole then return whole + 1 end
    return whole
  end
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
    cpu_before = _server_usage(server.pid)["cpu_s"]
    probe = _wrk(folder, port, "/healthz", 1, seconds, pause_ms=50)
    load = _wrk(folder, port, "/v1/pack", connections, seconds, pause_ms)
    row = _figures(load)
    health = _figures(probe)
    usage = _server_usage(server.pid)
    row.update(
        connections=connections,
        per_s=row["requests"] / row["seconds"],
        health_p99_ms=health["p99_ms"],
        rss_mib=usage["rss_mib"],
        # The probe's requests took CPU time too, though little.
        cpu_ms=1000 * (usage["cpu_s"] - cpu_before) / (row["requests"] + health["requests"]),
    )
    return row


def _paced(folder, port, server, connections, peak, unloaded_ms, seconds):
    """The level at PACED_SHARE of the peak. Each connection's cycle is its
    answer plus its pause; short trials measure the answer time at about that
    load, and the pause is set again from each until one lands close enough."""
    target = PACED_SHARE * peak
    answer_ms = unloaded_ms
    for _ in range(PACED_TRIALS):
        pause_ms = max(0.0, 1000 * connections / target - answer_ms)
        trial = _level(folder, port, server, connections, PACED_TRIAL_SECONDS, pause_ms)
        if abs(trial["per_s"] / peak - PACED_SHARE) <= PACED_TOLERANCE:
            break
        answer_ms = 1000 * connections / trial["per_s"] - pause_ms
    return _level(folder, port, server, connections, seconds, pause_ms)


def _server_usage(pid):
    """Resident memory and CPU seconds so far of the server and every process under it."""
    rss_kib, ticks, pending = 0, 0, [pid]
    while pending:
        current = pending.pop()
        try:
            status = Path(f"/proc/{current}/status").read_text()
            stat = Path(f"/proc/{current}/stat").read_text()
            children = Path(f"/proc/{current}/task/{current}/children").read_text().split()
        except OSError:
            continue
        rss_kib += int(next(line.split()[1] for line in status.splitlines() if line.startswith("VmRSS:")))
        # User and system time, the 14th and 15th fields; the name before them may hold spaces.
        user, system = stat.rsplit(")", 1)[1].split()[11:13]
        ticks += int(user) + int(system)
        pending += [int(child) for child in children]
    return {"rss_mib": rss_kib / 1024, "cpu_s": ticks / os.sysconf("SC_CLK_TCK")}


def _free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _serve(port, workers, concurrency):
    command = [sys.executable, "-m", "quarvex", "serve", "--port", str(port), "--queue", "128"]
    if workers:
        command += ["--workers", str(workers)]
    if concurrency:
        command += ["--concurrency", str(concurrency)]
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
    """Orders per second of pack_batch over the orders in turn, and its CPU
    milliseconds per order, timed from its first answer (the server too was
    started before its clock ran)."""
    start, packed = None, 0
    for _ in quarvex.pack_batch(
        itertools.islice(itertools.cycle(orders), len(orders) * 1000), workers=workers
    ):
        if start is None:
            start, cpu_start = time.monotonic(), time.process_time()
            continue
        packed += 1
        if time.monotonic() - start >= seconds:
            break
    return packed / (time.monotonic() - start), 1000 * (time.process_time() - cpu_start) / packed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orders", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--workers", type=int, help="server processes (default: the server's)")
    parser.add_argument("--concurrency", type=int, help="engine threads per process (default: the server's)")
    # More connections, each pausing longer, come closer to requests arriving independently.
    parser.add_argument("--paced-connections", type=int, default=32, help="connections of the paced level")
    args = parser.parse_args()
    if shutil.which("wrk") is None:
        raise SystemExit("bench.service needs wrk: `make bench-service` installs it (Debian's wrk)")
    orders = [json.dumps(order) for order in generators.orders(args.orders)]
    # The server's defaults: a process per core, one engine thread each.
    engine_threads = (args.workers or os.process_cpu_count() or 1) * (args.concurrency or 1)

    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        (folder / "bodies.lua").write_text("return {\n" + ",\n".join(map(_lua_string, orders)) + "\n}\n")
        (folder / "load.lua").write_text(SCRIPT)
        port = _free_port()
        server = _serve(port, args.workers, args.concurrency)
        try:
            rows = [_level(folder, port, server, connections, args.seconds) for connections in LEVELS]
            peak = max(row["per_s"] for row in rows)
            rows.append(
                _paced(folder, port, server, args.paced_connections, peak, rows[0]["p50_ms"], args.seconds)
            )
        finally:
            server.send_signal(signal.SIGTERM)
            server.wait(timeout=60)
    batch_per_s, batch_cpu_ms = _batch_rate(orders, engine_threads, args.seconds)
    _report(args, rows, peak, batch_per_s, batch_cpu_ms, engine_threads)


def _report(args, rows, peak, batch_per_s, batch_cpu_ms, engine_threads):
    print(
        f"POST /v1/pack with wrk, {args.orders} shop orders, {engine_threads} engine threads "
        f"(--workers {args.workers or 'default'}, --concurrency {args.concurrency or 'default'}), "
        f"{args.seconds:g} s per level; load average {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores"
    )
    columns = (
        ("connections", 13),
        ("requests", 9),
        ("failed", 7),
        ("req/s", 8),
        ("% batch", 8),
        ("p50 ms", 8),
        ("p99 ms", 8),
        ("p99/p50", 8),
        ("/healthz p99 ms", 16),
        ("RSS MiB", 8),
        ("CPU ms/req", 11),
    )
    print(" ".join(f"{name:>{width}}" for name, width in columns))
    for row in rows:
        label = f"{row['connections']}" if row is not rows[-1] else f"{row['connections']} paced"
        figures = (
            label,
            f"{row['requests']}",
            f"{row['failed']}",
            f"{row['per_s']:.1f}",
            f"{100 * row['per_s'] / batch_per_s:.0f}%",
            f"{row['p50_ms']:.1f}",
            f"{row['p99_ms']:.1f}",
            f"{row['p99_ms'] / row['p50_ms']:.1f}",
            f"{row['health_p99_ms']:.1f}",
            f"{row['rss_mib']:.1f}",
            f"{row['cpu_ms']:.2f}",
        )
        print(" ".join(f"{figure:>{width}}" for figure, (_, width) in zip(figures, columns, strict=True)))
    paced = rows[-1]
    print(
        f"in-process pack_batch on {engine_threads} threads: {batch_per_s:.1f} orders/s, "
        f"{batch_cpu_ms:.2f} CPU ms per order"
    )
    # The service's goals, each beside its figure.
    print(f"peak req/s over pack_batch's orders/s: {100 * peak / batch_per_s:.0f}% (goal: at least 70%)")
    print(
        f"paced level: {100 * paced['per_s'] / peak:.0f}% of the peak (80% +- 3%), "
        f"p99/p50 {paced['p99_ms'] / paced['p50_ms']:.1f} (goal: at most 5)"
    )
    print(f"failed requests: {sum(row['failed'] for row in rows)} (goal: 0)")
    print(f"/healthz p99: at most {max(row['health_p99_ms'] for row in rows):.1f} ms (goal: under 50 ms)")
    print(
        # From the second level: one connection keeps all but one server process idle.
        f"server RSS: {rows[1]['rss_mib']:.1f} MiB after the second level, {rows[-1]['rss_mib']:.1f} after "
        f"the last, {sum(row['requests'] for row in rows):,} requests in all (goal: flat)"
    )


if __name__ == "__main__":
    main()
