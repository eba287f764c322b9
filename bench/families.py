"""The benchmark families: which requests each one packs, and how often.

A family is rebuilt from its key and the quick flag alone, so each worker
process makes its own copy instead of receiving the requests. A group makes
its requests only when asked, so a worker holds just the group it measures
and its peak memory is not that of the whole family.
"""

import copy
from collections.abc import Callable
from dataclasses import dataclass, field
from functools import cached_property

from bench import generators, peer


@dataclass
class Group:
    """One table row: requests measured together."""

    label: str
    make: Callable[[], list]
    peer_packs: Callable[[dict], bool] | None = None  # which requests py3dbp packs too
    lower_bound: int | None = None  # summed volume bound, for the MPV rows

    @cached_property
    def requests(self):
        return self.make()

    @property
    def peer_indices(self):
        if self.peer_packs is None:
            return []
        return [k for k, request in enumerate(self.requests) if self.peer_packs(request)]


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
    count = 60 if quick else 300

    def band(low, high):
        return lambda: [r for r in generators.orders(count) if low <= len(r["items"]) <= high]

    groups = [
        Group(f"{low}-{high} items", band(low, high), peer.expressible)
        for low, high in ((5, 20), (21, 40), (41, 60))
    ]
    return Family(
        "orders",
        "Orders (e-commerce requests)",
        groups,
        repeats=3 if quick else 5,
        peer_repeats=1 if quick else 3,
        budget_s=10 if quick else 30,
        notes=["py3dbp: only the orders whose items may all turn freely"],
    )


def _mpv_bound(cls, n):
    return sum(generators.mpv_lower_bound(cls, n, v) for v in generators.MPV_INSTANCES)


def _mpv_instances(cls, n, transform=lambda request: request):
    return lambda: [transform(generators.mpv_request(cls, n, v)) for v in generators.MPV_INSTANCES]


def _mpv(quick):
    sizes = generators.MPV_SIZES[:2] if quick else generators.MPV_SIZES
    groups = [
        Group(f"class {cls} n={n}", _mpv_instances(cls, n), lower_bound=_mpv_bound(cls, n))
        for cls in generators.MPV_CLASSES
        for n in sizes
    ]
    return Family(
        "mpv",
        "MPV classes 1-8 (orientation fixed, 10 instances per row)",
        groups,
        repeats=3 if quick else 5,
        peer_repeats=0,
        budget_s=5 if quick else 20,
        notes=["py3dbp cannot keep an orientation; see the next table"],
    )


def _free_rotation(request):
    freed = copy.deepcopy(request)
    for item in freed["items"]:
        item["AllowedRotation"] = "BestFit"
    return freed


def _mpv_free(quick):
    sizes = (50,) if quick else (50, 100, 150)
    groups = [
        Group(
            f"class {cls} n={n}", _mpv_instances(cls, n, _free_rotation), peer.expressible, _mpv_bound(cls, n)
        )
        for cls in generators.MPV_CLASSES
        for n in sizes
    ]
    return Family(
        "mpv-free",
        "MPV classes 1-8 with free rotation, side by side",
        groups,
        repeats=3 if quick else 5,
        peer_repeats=1 if quick else 3,
        budget_s=5 if quick else 20,
        notes=[f"py3dbp is slow on large inputs: n <= {max(sizes)} only"],
    )


SCALING_SIZES = (10, 30, 100, 300, 1000, 3000)


def _scaling(quick):
    sizes = SCALING_SIZES[:5] if quick else SCALING_SIZES
    peer_cap = 100 if quick else 300
    groups = [
        Group(
            f"n={n}", lambda n=n: [generators.scaling_request(n)], peer.expressible if n <= peer_cap else None
        )
        for n in sizes
    ]
    return Family(
        "scaling",
        "Scaling (catalogue items, free rotation, three cartons)",
        groups,
        repeats=3 if quick else 5,
        peer_repeats=1 if quick else 3,
        budget_s=10 if quick else 60,
        notes=[f"py3dbp: n <= {peer_cap} only"],
    )


FAMILIES = {"orders": _orders, "mpv": _mpv, "mpv-free": _mpv_free, "scaling": _scaling}


def build(key, quick):
    return FAMILIES[key](quick)
