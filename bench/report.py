"""Figures and tables from the workers' raw timings."""

import math
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


def _peak_mib(run):
    return run["peak_rss_kib"] / 1024


TIMED_OUT = {"timed_out": True}


def group_figures(label, ours, theirs, clock):
    """Summary figures of one row from the workers' output (or TIMED_OUT); `theirs` is None
    where py3dbp did not run."""
    if ours is TIMED_OUT:
        return {"label": label, **TIMED_OUT}
    row = {"label": label}
    passes = ours["times"][clock]
    total = _median_total(passes)
    calls, items = len(ours["items"]), sum(ours["items"])
    row.update({
        "requests": calls,
        "items": items,
        "passes": len(passes),
        "seconds": total,
        "ms_per_call": 1000 * total / calls,
        "calls_per_s": calls / total,
        "first_pass_calls_per_s": calls / sum(passes[0]),
        "items_per_s": items / total,
        "peak_rss_mib": _peak_mib(ours),
        **_outcome_totals(ours["outcomes"]),
    })
    if theirs is None:
        return row
    row["peer"] = dict(TIMED_OUT)
    if theirs is not TIMED_OUT:
        indices = theirs["indices"]
        peer_total = _median_total(theirs["times"][clock])
        ours_subset = _median_total(passes, indices)
        row["peer"] = {
            "requests": len(indices),
            "passes": len(theirs["times"][clock]),
            "seconds": peer_total,
            "ms_per_call": 1000 * peer_total / len(indices),
            "calls_per_s": len(indices) / peer_total,
            "peak_rss_mib": _peak_mib(theirs),
            "ours_seconds": ours_subset,
            "speed_ratio": peer_total / ours_subset,
            **_outcome_totals(theirs["outcomes"]),
            "ours": _outcome_totals(ours["outcomes"], indices),
        }
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
    return "  ".join(v.ljust(w) if k == 0 else v.rjust(w)
                     for k, (v, w) in enumerate(zip(values, widths)))


def table(title, headers, rows, notes=()):
    cells = [[str(c) for c in row] for row in rows]
    widths = [max(len(h), *(len(r[k]) for r in cells)) if cells else len(h)
              for k, h in enumerate(headers)]
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


OURS = [("reqs", _field("requests")), ("calls/s", _field("calls_per_s")),
        ("cold calls/s", _field("first_pass_calls_per_s")),
        ("items/s", _field("items_per_s")), ("ms/call", _field("ms_per_call", 2)),
        ("boxes", _field("boxes")), ("util%", _field("utilisation", 1)),
        ("unplaced", _field("unplaced")), ("peak MiB", _field("peak_rss_mib", 1))]
BOUND = [("bound", _field("lower_bound")), ("boxes/bound", _bound_ratio)]
PEER = [("py reqs", _peer_field("requests")), ("py calls/s", _peer_field("calls_per_s")),
        ("boxes us/py", _peer_pair("boxes")),
        ("util% us/py", _peer_pair("utilisation", 1)),
        ("unplaced us/py", _peer_pair("unplaced")),
        ("py MiB", _peer_field("peak_rss_mib", 1)),
        ("speedup", lambda row: f"{row['peer']['speed_ratio']:,.1f}x")]


def _cells(columns, row, part):
    if part is None:
        return ["-"] * len(columns)
    if part.get("timed_out"):
        return ["timed out"] + [""] * (len(columns) - 1)
    return [render(row) for _, render in columns]


def family_table(title, rows, notes, with_bound=False):
    """One line per row: our figures, then py3dbp's beside ours where it ran."""
    ours = OURS[:6] + BOUND + OURS[6:] if with_bound else OURS
    has_peer = any("peer" in row for row in rows)
    headers = ["row"] + [h for h, _ in ours] + ([h for h, _ in PEER] if has_peer else [])
    body = []
    for row in rows:
        cells = [row["label"]] + _cells(ours, row, row)
        if has_peer:
            cells += _cells(PEER, row, None if row.get("timed_out") else row.get("peer"))
        body.append(cells)
    return table(title, headers, body, notes)


def _mib(kib):
    return kib / 1024


def memory_table(large, small, clock):
    rows = []
    if large is TIMED_OUT:
        rows.append(["one large call", "timed out", "", "", ""])
    else:
        rows.append([f"one call, {large['items']:,} items", fmt(_mib(large["baseline_rss_kib"]), 1),
                     fmt(_mib(large["peak_rss_kib"]), 1),
                     fmt(_mib(large["peak_rss_kib"] - large["baseline_rss_kib"]), 1),
                     fmt(large["seconds"][clock], 2) + " s"])
    notes = ["each probe runs in a fresh process; RSS is resident memory in MiB"]
    if small is TIMED_OUT:
        rows.append(["many small calls", "timed out", "", "", ""])
    else:
        for sample in small["samples"]:
            rows.append([f"after {sample['calls']:,} small calls",
                         fmt(_mib(small["baseline_rss_kib"]), 1), fmt(_mib(sample["rss_kib"]), 1),
                         fmt(_mib(sample["rss_kib"] - small["baseline_rss_kib"]), 1), ""])
        seconds = small["seconds"][clock]
        notes.insert(0, f"small calls: a new order of 3-8 items each, {fmt(small['calls'] / seconds)} "
                        f"calls/s, {fmt(small['items'] / seconds)} items/s, "
                        f"{fmt(seconds, 1)} s in all")
    return table("Memory", ["probe", "RSS before", "RSS", "growth", "time"], rows, notes)
