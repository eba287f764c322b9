"""The quarvex package: the compiled engine's classes and entry points, re-exported."""

import functools
from collections.abc import Callable
from typing import TYPE_CHECKING, Any

from . import _core
from ._core import (
    Box,
    Item,
    PackedBox,
    PackedItem,
    PackResult,
    Rotation,
)
from ._core import (
    TimeoutError as TimeoutError,
)
from ._core import (
    __doc__ as __doc__,  # the extension's docstring is the package's
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


def _exposed[Function: Callable[..., Any]](function: Function) -> Function:
    """The extension's function as a function of this package: help() and inspect
    show its signature and docstring (help() of the function itself names the
    binding library's internals as its owner)."""
    line, _, doc = (function.__doc__ or "").partition("\n\n")

    @functools.wraps(function)
    def call(*args: Any, **kwargs: Any) -> Any:
        return function(*args, **kwargs)

    def signature() -> Any:
        # Parsed when inspect first asks: the parser's modules are not loaded before.
        from .signatures import signature

        return signature(line)

    call.__signature__ = signature  # type: ignore[attr-defined]
    call.__doc__ = doc
    call.__qualname__ = (
        function.__name__
    )  # the extension's names the binding's internals, which pickle cannot find
    return call  # type: ignore[return-value]


solve = _exposed(_core.solve)
pack_dicts = _exposed(_core.pack_dicts)
pack = _exposed(_core.pack)
optimize = _exposed(_core.optimize)
request_fault = _exposed(_core.request_fault)

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
