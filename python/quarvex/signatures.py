"""The signatures of the extension's functions as help() and inspect show them.

The extension writes each function's signature as the first line of its
docstring; this reads it into an inspect.Signature with the types named as a
reader would write them. Loaded only when a signature is first asked for.
"""

import ast
import inspect
import re
from typing import Any


class _Shown(str):
    """A type or a default as help() prints it: as written, not quoted."""

    def __repr__(self) -> str:
        return str(self)


def _readable(annotation: ast.expr | None) -> Any:
    if annotation is None:
        return inspect.Parameter.empty
    text = re.sub(r"\b(?:collections\.abc|typing|quarvex)\.", "", ast.unparse(annotation))
    # Any real number, as type checkers read float and int.
    return _Shown(
        text.replace("SupportsFloat | SupportsIndex", "float").replace("SupportsInt | SupportsIndex", "int")
    )


def _default(node: ast.expr | None) -> Any:
    if node is None:
        return inspect.Parameter.empty
    try:
        return ast.literal_eval(node)
    except ValueError:
        return _Shown(ast.unparse(node))


def signature(line: str) -> inspect.Signature:
    """The signature in a docstring's first line.

    >>> signature("solve(request_json: str, *, time_limit: typing.SupportsFloat | typing.SupportsIndex | None = None) -> str")
    <Signature (request_json: str, *, time_limit: float | None = None) -> str>
    """
    definition = ast.parse(f"def {line}: pass").body[0]
    assert isinstance(definition, ast.FunctionDef)
    arguments, Parameter = definition.args, inspect.Parameter
    named = arguments.args + arguments.kwonlyargs
    kinds = [Parameter.POSITIONAL_OR_KEYWORD] * len(arguments.args) + [Parameter.KEYWORD_ONLY] * len(
        arguments.kwonlyargs
    )
    defaults = (
        [None] * (len(arguments.args) - len(arguments.defaults)) + arguments.defaults + arguments.kw_defaults
    )
    return inspect.Signature(
        [
            Parameter(a.arg, kind, default=_default(d), annotation=_readable(a.annotation))
            for a, kind, d in zip(named, kinds, defaults, strict=True)
        ],
        return_annotation=_readable(definition.returns),
    )
