"""The benchmark families: which requests each one packs, and how often.

A family is rebuilt from its key and the quick flag alone, so each worker
process makes its own copy instead of receiving the requests.
"""

import copy
from dataclasses import dataclass, field

from bench import generators, peer


@dataclass(frozen=True)
class Group:
    """One table row: requests measured together."""

    label: str
    requests: list
    peer_indices: tuple = ()  # the requests that py3dbp packs too
    lower_bound: int | None = None  # summed volume bound, for the MPV rows


@dataclass(frozen=True)
class Family:
    key: str
    title: str
    groups: list
    repeats: int  # timed passes over every group, of which the median counts
    peer_repeats: int
    budget_s: float  # no further passes over a group once its passes took this long
    notes: list = field(default_factory=list)


def _orders(quick):
    requests = generators.orders(60 if quick else 300)
    bands = ((5, 20), (21, 40), (41, 60))
    groups = []
    for low, high in bands:
        chosen = [r for r in requests if low <= len(r["items"]) <= high]
        peer_indices = tuple(k for k, r in enumerate(chosen) if peer.expressible(r))
        groups.append(Group(f"{low}-{high} items", chosen, peer_indices))
    return Family("orders", "Orders (e-commerce requests)", groups,
                  repeats=3 if quick else 5, peer_repeats=1 if quick else 3,
                  budget_s=10 if quick else 30,
                  notes=["py3dbp: only the orders whose items may all turn freely"])


def _mpv(quick):
    sizes = generators.MPV_SIZES[:2] if quick else generators.MPV_SIZES
    groups = []
    for cls in generators.MPV_CLASSES:
        for n in sizes:
            instances = generators.MPV_INSTANCES
            groups.append(Group(
                f"class {cls} n={n}",
                [generators.mpv_request(cls, n, v) for v in instances],
                lower_bound=sum(generators.mpv_lower_bound(cls, n, v) for v in instances)))
    return Family("mpv", "MPV classes 1-8 (orientation fixed, 10 instances per row)", groups,
                  repeats=3 if quick else 5, peer_repeats=0, budget_s=5 if quick else 20,
                  notes=["py3dbp cannot keep an orientation; see the next table"])


def _free_rotation(request):
    freed = copy.deepcopy(request)
    for item in freed["items"]:
        item["AllowedRotation"] = "BestFit"
    return freed


def _mpv_free(quick):
    sizes = (50,) if quick else (50, 100)
    groups = []
    for cls in generators.MPV_CLASSES:
        for n in sizes:
            requests = [_free_rotation(generators.mpv_request(cls, n, v))
                        for v in generators.MPV_INSTANCES]
            groups.append(Group(f"class {cls} n={n}", requests, tuple(range(len(requests))),
                                sum(generators.mpv_lower_bound(cls, n, v)
                                    for v in generators.MPV_INSTANCES)))
    return Family("mpv-free", "MPV classes 1-8 with free rotation, side by side", groups,
                  repeats=3 if quick else 5, peer_repeats=1 if quick else 3,
                  budget_s=5 if quick else 20,
                  notes=[f"py3dbp is slow on large inputs: n <= {max(sizes)} only"])


SCALING_SIZES = (10, 30, 100, 300, 1000, 3000)


def _scaling(quick):
    sizes = SCALING_SIZES[:5] if quick else SCALING_SIZES
    peer_cap = 100 if quick else 300
    groups = [Group(f"n={n}", [generators.scaling_request(n)], (0,) if n <= peer_cap else ())
              for n in sizes]
    return Family("scaling", "Scaling (catalogue items, free rotation, three cartons)", groups,
                  repeats=3 if quick else 5, peer_repeats=1 if quick else 3,
                  budget_s=10 if quick else 60,
                  notes=[f"py3dbp: n <= {peer_cap} only"])


FAMILIES = {"orders": _orders, "mpv": _mpv, "mpv-free": _mpv_free, "scaling": _scaling}


def build(key, quick):
    return FAMILIES[key](quick)
