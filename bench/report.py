"""Figures and tables from the workers' raw timings."""

import math
import os
from statistics import median


def _median_total(passes, indices=None):
    return median(sum(p[k] for k in indices) if indices is not None else sum(p) for p in passes)


def _mean(values):
    values = list(values)
    return sum(values) / len(values) if values else None


def _outcome_totals(outcomes, indices=None):
    chosen = outcomes if indices is None else [outcomes[k] for k in indices]
    return {
        "boxes": sum(o[0] for o in chosen),
        "unplaced": sum(o[2] for o in chosen),
        "utilisation": _mean(o[3] for o in chosen),
    }


def _figures(run, stopped, clock):
    """One engine's figures for one row, from its worker's result (None if it was stopped)
    and the indices of the requests whose calls were stopped."""
    if run is None or not run["indices"]:
        return {"timed_out": True, "stopped": len(stopped)}
    passes = run["times"][clock]
    total = _median_total(passes)
    calls, items = len(run["items"]), sum(run["items"])
    return {
        "requests": calls,
        "stopped": len(stopped),
        "items": items,
        "passes": len(passes),
        "seconds": total,
        "ms_per_call": 1000 * total / calls,
        "calls_per_s": calls / total,
        "first_pass_calls_per_s": calls / sum(passes[0]),
        "items_per_s": items / total,
        "peak_rss_mib": run["peak_rss_kib"] / 1024,
        **_outcome_totals(run["outcomes"]),
    }


def group_figures(label, ours, theirs, clock):
    """Summary figures of one row. `ours` and `theirs` are (worker result or None, stopped
    indices); `theirs` is None where py3dbp did not run."""
    row = {"label": label, **_figures(*ours, clock)}
    if theirs is None or row.get("timed_out"):
        return row
    peer = _figures(*theirs, clock)
    if not peer.get("timed_out"):
        # py3dbp ran a subset of our requests: compare on exactly that subset.
        run = ours[0]
        position = {index: k for k, index in enumerate(run["indices"])}
        subset = [position[index] for index in theirs[0]["indices"]]
        peer["ours_seconds"] = _median_total(run["times"][clock], subset)
        peer["speed_ratio"] = peer["seconds"] / peer["ours_seconds"]
        peer["ours"] = _outcome_totals(run["outcomes"], subset)
    row["peer"] = peer
    return row


def fitted_exponent(points):
    """Least-squares slope of log(time) against log(n)."""
    points = [(math.log(n), math.log(t)) for n, t in points if t and t > 0]
    if len(points) < 2:
        return None
    mean_x = sum(x for x, _ in points) / len(points)
    mean_y = sum(y for _, y in points) / len(points)
    spread = sum((x - mean_x) ** 2 for x, _ in points)
    return sum((x - mean_x) * (y - mean_y) for x, y in points) / spread


# --- text tables ------------------------------------------------------------


def fmt(value, digits=0):
    if value is None:
        return "-"
    if isinstance(value, float) and digits == 0 and abs(value) < 100:
        digits = 1 if abs(value) >= 10 else 2
    return f"{value:,.{digits}f}"


def _line(values, widths):
    # Labels to the left, figures to the right.
    return "  ".join(v.ljust(w) if k == 0 else v.rjust(w) for k, (v, w) in enumerate(zip(values, widths)))


def table(title, headers, rows, notes=()):
    cells = [[str(c) for c in row] for row in rows]
    widths = [max(len(h), *(len(r[k]) for r in cells)) if cells else len(h) for k, h in enumerate(headers)]
    out = [title, _line(headers, widths), "  ".join("-" * w for w in widths)]
    out += [_line(r, widths) for r in cells]
    out += [f"  {note}" for note in notes]
    return "\n".join(out)


def _field(key, digits=0):
    return lambda row: fmt(row.get(key), digits)


def _peer_field(key, digits=0):
    return lambda row: fmt(row["peer"].get(key), digits)


def _peer_pair(key, digits=0):
    return lambda row: f"{fmt(row['peer']['ours'][key], digits)} / {fmt(row['peer'][key], digits)}"


def _bound_ratio(row):
    return fmt(row["boxes"] / row["lower_bound"], 3)


OURS = [
    ("reqs", _field("requests")),
    ("stopped", _field("stopped")),
    ("calls/s", _field("calls_per_s")),
    ("cold calls/s", _field("first_pass_calls_per_s")),
    ("items/s", _field("items_per_s")),
    ("ms/call", _field("ms_per_call", 2)),
    ("boxes", _field("boxes")),
    ("util%", _field("utilisation", 1)),
    ("unplaced", _field("unplaced")),
    ("peak MiB", _field("peak_rss_mib", 1)),
]
BOUND = [("bound", _field("lower_bound")), ("boxes/bound", _bound_ratio)]
PEER = [
    ("py reqs", _peer_field("requests")),
    ("py stopped", _peer_field("stopped")),
    ("py calls/s", _peer_field("calls_per_s")),
    ("boxes us/py", _peer_pair("boxes")),
    ("util% us/py", _peer_pair("utilisation", 1)),
    ("unplaced us/py", _peer_pair("unplaced")),
    ("py MiB", _peer_field("peak_rss_mib", 1)),
    ("speedup", lambda row: f"{row['peer']['speed_ratio']:,.1f}x"),
]


def _cells(columns, row, part):
    if part is None:
        return ["-"] * len(columns)
    if part.get("timed_out"):
        return [
            fmt(part["stopped"])
            if header.endswith("stopped")
            else "stopped"
            if header.endswith("calls/s") and "cold" not in header
            else ""
            for header, _ in columns
        ]
    return [render(row) for _, render in columns]


def family_table(title, rows, notes, with_bound=False):
    """One line per row: our figures, then py3dbp's beside ours where it ran."""
    ours = OURS[:7] + BOUND + OURS[7:] if with_bound else OURS
    has_peer = any("peer" in row for row in rows)
    peer = PEER if has_peer else []
    # The stopped columns only earn their width when a call was stopped.
    if not any(row["stopped"] for row in rows):
        ours = [c for c in ours if c[0] != "stopped"]
    if not any(row.get("peer", {}).get("stopped") for row in rows):
        peer = [c for c in peer if c[0] != "py stopped"]
    headers = ["row"] + [h for h, _ in ours] + [h for h, _ in peer]
    body = []
    for row in rows:
        cells = [row["label"]] + _cells(ours, row, row)
        if peer:
            cells += _cells(peer, row, None if row.get("timed_out") else row.get("peer"))
        body.append(cells)
    return table(title, headers, body, notes)


def _mib(kib):
    return kib / 1024


def memory_table(large, small, clock):
    rows = []
    if large is None:
        rows.append(["one large call", "stopped", "", "", ""])
    else:
        rows.append(
            [
                f"one call, {large['items']:,} items",
                fmt(_mib(large["baseline_rss_kib"]), 1),
                fmt(_mib(large["peak_rss_kib"]), 1),
                fmt(_mib(large["peak_rss_kib"] - large["baseline_rss_kib"]), 1),
                fmt(large["seconds"][clock], 2) + " s",
            ]
        )
    notes = ["each probe runs in a fresh process; RSS is resident memory in MiB"]
    if small is None:
        rows.append(["many small calls", "stopped", "", "", ""])
    else:
        for sample in small["samples"]:
            rows.append(
                [
                    f"after {sample['calls']:,} small calls",
                    fmt(_mib(small["baseline_rss_kib"]), 1),
                    fmt(_mib(sample["rss_kib"]), 1),
                    fmt(_mib(sample["rss_kib"] - small["baseline_rss_kib"]), 1),
                    "",
                ]
            )
        seconds = small["seconds"][clock]
        notes.insert(
            0,
            f"small calls: a new order of 3-8 items each, "
            f"{fmt(small['calls'] / seconds)} calls/s, "
            f"{fmt(small['items'] / seconds)} items/s, {fmt(seconds, 1)} s in all",
        )
    return table("Memory", ["probe", "RSS before", "RSS", "growth", "time"], rows, notes)


def threads_table(result):
    if result is None:
        return table("Threads", ["engine"], [["stopped"]])
    rows = []
    python = result["python"]
    runs = [
        (
            "Python pack_dicts",
            python["1"]["seconds"],
            python["2"]["seconds"],
            python["1"]["digest"] == python["2"]["digest"],
        )
    ]
    cpp = result["cpp"]
    if cpp is not None:
        runs.append(("C++ solve", cpp["seconds"]["1"], cpp["seconds"]["2"], cpp["same"]))
    for label, one, two, same in runs:
        rows.append([label, fmt(one, 2), fmt(two, 2), fmt(one / two, 2) + "x", "yes" if same else "NO"])
    notes = [
        f"{result['orders']:,} orders of the order generator, dealt out to the threads in turn; "
        "wall-clock seconds; same: every output identical to the one-thread run",
        f"load average at the end: {result['load_average']:.2f} on {os.cpu_count()} cores",
    ]
    if cpp is None:
        notes.append("C++: build/cpp/quarvex_threads_bench is not built (make build)")
    return table("Threads", ["engine", "1 thread", "2 threads", "speed-up", "same"], rows, notes)


BATCH_MODES = {
    "serial": "one process, one by one",
    "threads": "pack_batch, 2 threads",
    "local": "pack_batch, 2 local worker processes",
    "dask": "pack_batch, Dask LocalCluster, 2 worker processes",
}


def batch_table(result):
    if result is None:
        return table("Batch", ["mode"], [["stopped"]])
    serial = result["runs"]["serial"]
    rows = []
    for key, label in BATCH_MODES.items():
        run = result["runs"][key]
        if run is None:
            rows.append([label, "-", "-", "-", "not installed: pip install quarvex[dask]"])
            continue
        same = "yes" if run["digest"] == serial["digest"] else "NO"
        rows.append(
            [
                label,
                fmt(run["seconds"], 1),
                fmt(result["orders"] / run["seconds"]),
                fmt(serial["seconds"] / run["seconds"], 2) + "x",
                same,
            ]
        )
    notes = [
        f"{result['orders']:,} orders of the order generator, {result['items']:,} items; "
        "wall-clock seconds; same: every response identical to the one-by-one run",
        f"load average at the end: {result['load_average']:.2f} on {os.cpu_count()} cores",
    ]
    return table("Batch", ["mode", "seconds", "orders/s", "speed-up", "same"], rows, notes)
