"""The quarvex package: the compiled engine's classes and entry points, re-exported."""

from typing import TYPE_CHECKING, Any

from ._core import (
    __doc__,
    Box,
    Item,
    PackedBox,
    PackedItem,
    PackResult,
    Rotation,
    TimeoutError as TimeoutError,
    optimize,
    pack,
    pack_dicts,
    request_fault,
    solve,
)
from .schema import request_schema, response_schema

if TYPE_CHECKING:
    from .batch import BatchError, BatchOutcome, pack_batch

    __version__: str

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
    "request_fault",
    "request_schema",
    "response_schema",
    "pack_batch",
    "BatchOutcome",
    "BatchError",
]
# quarvex.TimeoutError (a subclass of the builtin) stays out of __all__, so that
# a star import does not shadow the builtin name; "as" marks it exported all the same.

_BATCH_NAMES = {"pack_batch", "BatchOutcome", "BatchError"}


def __getattr__(name: str) -> Any:
    # The version's metadata reader and the batch module's process machinery
    # each cost megabytes and tens of milliseconds, so they load on first use.
    if name == "__version__":
        from importlib.metadata import version

        return version("quarvex")
    if name in _BATCH_NAMES:
        from . import batch

        return getattr(batch, name)
    raise AttributeError(f"module 'quarvex' has no attribute {name!r}")
