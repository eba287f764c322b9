"""The two packers behind one interface: pack(request) is what gets timed,
outcome(result, request) reads (boxes, placed, unplaced, utilisation %) afterwards."""

from collections.abc import Callable
from dataclasses import dataclass
from typing import Any


@dataclass(frozen=True)
class Engine:
    name: str
    pack: Callable[[dict], Any]
    outcome: Callable[[Any, dict], tuple]


def quarvex_engine():
    import quarvex

    def pack(request):
        return quarvex.pack_dicts(request["items"], request["boxes"])

    def outcome(result, request):
        return (
            len(result.boxes),
            result.total_placed,
            result.total_unplaced,
            result.overall_volume_utilisation,
        )

    return Engine("quarvex", pack, outcome)


def peer_engine():
    from bench import peer

    return Engine("py3dbp", peer.pack, peer.outcome)


ENGINES = {"quarvex": quarvex_engine, "py3dbp": peer_engine}
