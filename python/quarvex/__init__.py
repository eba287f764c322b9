"""The quarvex package: the compiled engine's classes and entry points, re-exported."""

from importlib.metadata import version as _version

from ._core import (
    __doc__,
    Box,
    Item,
    PackedBox,
    PackedItem,
    PackResult,
    Rotation,
    optimize,
    pack,
    pack_dicts,
    solve,
)
from .batch import BatchError, BatchOutcome, pack_batch

__version__ = _version("quarvex")

__all__ = [
    "Rotation",
    "Item",
    "Box",
    "PackedItem",
    "PackedBox",
    "PackResult",
    "solve",
    "pack_dicts",
    "pack",
    "optimize",
    "pack_batch",
    "BatchOutcome",
    "BatchError",
]
