"""An exact reference for the mid-size shop orders: the most items placed, then
the fewest boxes, then the least inner box volume, under the same rules as
quarvex (each item's allowed orientations, content weight limits, supply).
Solved by OR-Tools' CP-SAT, a bench-only extra (bench/requirements.txt), and
stored in bench/data/exact_orders.json with the status of each order: proven
optimal, or the best packing found and the best lower bound on the boxes
(bound_boxes; the box count is proven when it meets it) when the solver ran
out of time. Not part of make test or make bench: run it once after the
orders change.

    python -m bench.exact [--seconds 20] [--workers 1]
"""

import argparse
import json
import sys
import time
from pathlib import Path

from bench import generators

OUT = Path(__file__).resolve().parent / "data" / "exact_orders.json"
ORDER_COUNT = 100  # the Quality family's orders, of which the mid-size ones count
MIN_ITEMS, MAX_ITEMS = 13, 44
# Weights are kilograms with at most two decimals: hundredths make them exact integers.
WEIGHT_SCALE = 100
# One box more always outweighs any volume saving: no order ships this much air.
BOX_PENALTY = 10**8


def mid_size_orders():
    """(index among the Quality family's orders, request) of the orders the reference covers."""
    return [
        (k, r)
        for k, r in enumerate(generators.orders(ORDER_COUNT))
        if MIN_ITEMS <= len(r["items"]) <= MAX_ITEMS
    ]


def orientations(item):
    w, l, d = item["Width"], item["Length"], item["Depth"]
    rule = (item.get("AllowedRotation") or "BestFit").lower()
    shapes = [(w, l, d)]
    if rule in ("keepflat", "keep_flat"):
        shapes.append((l, w, d))
    elif rule != "never":
        shapes += [(l, w, d), (w, d, l), (l, d, w), (d, w, l), (d, l, w)]
    return list(dict.fromkeys(shapes))


def box_types(request):
    types = []
    for box in request["boxes"]:
        if not box.get("Active", True):
            continue
        # A negative MaxWeight is no limit; the contents may weigh the limit less the empty box.
        limit = box.get("MaxWeight", -1)
        capacity = None if limit < 0 else round(max(0.0, limit - box.get("BoxWeight", 0.0)) * WEIGHT_SCALE)
        types.append(
            {
                "reference": box["Reference"],
                "size": (box["Width"], box["Length"], box["Depth"]),
                "capacity": capacity,
                "supply": box.get("MaximumBoxes"),
            }
        )
    return types


def _hint(model, result, codes, assign, type_of, where, turns):
    """Starts the solver from a known packing."""
    for b, packed in enumerate(result.boxes):
        for reference, var in type_of[b]:
            model.AddHint(var, int(reference == packed.box.reference))
        for p in packed.items:
            i = codes[p.item.item_code]
            for slot in range(len(result.boxes)):
                model.AddHint(assign[i][slot], int(slot == b))
            for shape, var in turns[i]:
                model.AddHint(var, int(shape == (p.width, p.length, p.depth)))
            x, y, z = where[i]
            model.AddHint(x, int(p.x))
            model.AddHint(y, int(p.y))
            model.AddHint(z, int(p.z))


def solve_order(request, start, seconds, workers):
    """The reference for one order; start is a known packing, whose box count bounds the slots."""
    from ortools.sat.python import cp_model

    items, types = request["items"], box_types(request)
    slots = len(start.boxes)
    n = len(items)
    model = cp_model.CpModel()
    largest = [max(t["size"][a] for t in types) for a in range(3)]
    type_of = [
        [(t["reference"], model.NewBoolVar(f"type{b}_{k}")) for k, t in enumerate(types)]
        for b in range(slots)
    ]
    used = []
    extent = []  # per slot: its width, length and depth
    for b in range(slots):
        chosen = [var for _, var in type_of[b]]
        model.Add(sum(chosen) <= 1)
        used.append(sum(chosen))
        extent.append([sum(t["size"][a] * var for t, var in zip(types, chosen)) for a in range(3)])
    for b in range(slots - 1):
        model.Add(used[b] >= used[b + 1])  # slots fill in order: no twin solutions by slot
    for k, t in enumerate(types):
        if t["supply"] is not None:
            model.Add(sum(type_of[b][k][1] for b in range(slots)) <= int(t["supply"]))

    assign = [[model.NewBoolVar(f"in{i}_{b}") for b in range(slots)] for i in range(n)]
    placed = []
    where, size, turns = [], [], []
    for i, item in enumerate(items):
        model.Add(sum(assign[i]) <= 1)
        placed.append(sum(assign[i]))
        shapes = orientations(item)
        pick = [model.NewBoolVar(f"turn{i}_{o}") for o in range(len(shapes))]
        model.AddExactlyOne(pick)
        turns.append(list(zip(shapes, pick)))
        size.append([sum(s[a] * p for s, p in zip(shapes, pick)) for a in range(3)])
        where.append([model.NewIntVar(0, largest[a], f"at{i}_{a}") for a in range(3)])
        for b in range(slots):
            model.Add(used[b] >= 1).OnlyEnforceIf(assign[i][b])
            for a in range(3):
                model.Add(where[i][a] + size[i][a] <= extent[b][a]).OnlyEnforceIf(assign[i][b])
    volumes = [item["Width"] * item["Length"] * item["Depth"] for item in items]
    weights = [round(item.get("Weight", 0.0) * WEIGHT_SCALE) for item in items]
    limited = all(t["capacity"] is not None for t in types)
    for b in range(slots):
        if limited:
            model.Add(
                sum(w * assign[i][b] for i, w in enumerate(weights))
                <= sum(t["capacity"] * var for t, (_, var) in zip(types, type_of[b]))
            )
        else:  # an unlimited type takes any weight; the limited ones still count
            for t, (_, var) in zip(types, type_of[b]):
                if t["capacity"] is not None:
                    model.Add(
                        sum(w * assign[i][b] for i, w in enumerate(weights)) <= t["capacity"]
                    ).OnlyEnforceIf(var)
        model.Add(
            sum(v * assign[i][b] for i, v in enumerate(volumes))
            <= sum(t["size"][0] * t["size"][1] * t["size"][2] * var for t, (_, var) in zip(types, type_of[b]))
        )
    # Redundant, for a stronger bound: the boxes together hold the items' volume and weight.
    largest_volume = max(t["size"][0] * t["size"][1] * t["size"][2] for t in types)
    model.Add(sum(used) * largest_volume >= sum(v * p for v, p in zip(volumes, placed)))
    if limited:
        model.Add(
            sum(used) * max(t["capacity"] for t in types) >= sum(w * p for w, p in zip(weights, placed))
        )
    for i in range(n):
        for j in range(i + 1, n):
            # Two items in one box lie apart along some axis, one before the other.
            apart = []
            for a in range(3):
                for first, second in ((i, j), (j, i)):
                    lit = model.NewBoolVar(f"apart{first}_{second}_{a}")
                    model.Add(where[first][a] + size[first][a] <= where[second][a]).OnlyEnforceIf(lit)
                    apart.append(lit)
            for b in range(slots):
                model.AddBoolOr([*apart, assign[i][b].Not(), assign[j][b].Not()])

    box_cost = [
        sum(
            (BOX_PENALTY + t["size"][0] * t["size"][1] * t["size"][2]) * var
            for t, (_, var) in zip(types, type_of[b])
        )
        for b in range(slots)
    ]
    unplaced_penalty = BOX_PENALTY * (slots + 1)  # one item more outweighs every box
    model.Minimize(unplaced_penalty * (n - sum(placed)) + sum(box_cost))
    codes = {item["ItemCode"]: i for i, item in enumerate(items)}
    _hint(model, start, codes, assign, type_of, where, turns)

    solver = cp_model.CpSolver()
    solver.parameters.max_time_in_seconds = seconds
    solver.parameters.num_workers = workers
    solver.parameters.random_seed = 1
    status = solver.Solve(model)
    if status not in (cp_model.OPTIMAL, cp_model.FEASIBLE):
        return {"status": solver.StatusName(status)}

    def decode(value):
        unplaced, rest = divmod(int(round(value)), unplaced_penalty)
        boxes, volume = divmod(rest, BOX_PENALTY)
        return unplaced, boxes, volume

    unplaced, boxes, volume = decode(solver.ObjectiveValue())
    # The bound on the objective says how few boxes any packing of every item could have.
    # Any order of items needs a box.
    bound_boxes = max(1, decode(solver.BestObjectiveBound())[1])
    return {
        "status": "optimal" if status == cp_model.OPTIMAL else "feasible",
        "placed": n - unplaced,
        "boxes": boxes,
        "volume": volume,
        "bound_boxes": bound_boxes,
        "seconds": round(solver.WallTime(), 1),
    }


def main(argv=None):
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--seconds", type=float, default=20.0, help="solver time per order")
    parser.add_argument("--workers", type=int, default=1, help="solver threads")
    args = parser.parse_args(argv)
    try:
        import ortools  # noqa: F401
    except ImportError:
        sys.exit("bench.exact: OR-Tools is missing (pip install -r bench/requirements.txt)")
    import quarvex

    started = time.perf_counter()
    references = []
    for index, request in mid_size_orders():
        # The search's packing is the solver's first: a fast start, and its box count bounds the slots.
        start = quarvex.optimize(request["items"], request["boxes"], time_limit=None, effort=200_000)
        reference = {
            "order": index,
            "items": len(request["items"]),
            **solve_order(request, start, args.seconds, args.workers),
        }
        references.append(reference)
        print(json.dumps(reference), flush=True)
    OUT.write_text(
        json.dumps(
            {
                "orders": f"generators.orders({ORDER_COUNT}), those of {MIN_ITEMS}-{MAX_ITEMS} items",
                "objective": "most items placed, then fewest boxes, then least inner box volume (cm^3)",
                "solver": f"CP-SAT, {args.seconds:g} s and {args.workers} worker(s) per order",
                "references": references,
            },
            indent=1,
        )
        + "\n"
    )
    print(f"{len(references)} orders in {time.perf_counter() - started:.0f} s; written to {OUT}")


if __name__ == "__main__":
    main()
