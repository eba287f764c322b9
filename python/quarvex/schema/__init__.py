"""The JSON Schemas (draft 2020-12) of a request and of a response, as dicts.

The request schema says what strict reading accepts (quarvex.request_fault);
the lenient reading of solve accepts more.
"""

from __future__ import annotations

import json
from functools import cache
from importlib.resources import files
from typing import Any

__all__ = ["request_schema", "response_schema"]


@cache
def _load(name: str) -> str:
    return files(__name__).joinpath(name).read_text(encoding="utf-8")


def request_schema() -> dict[str, Any]:
    """The schema of a request: {"items": [...], "boxes": [...], "options": {...}}.

    >>> request_schema()["$defs"]["box"]["required"]
    ['Reference', 'Width', 'Length', 'Depth', 'MaxWeight']
    """
    schema: dict[str, Any] = json.loads(_load("request.schema.json"))
    return schema


def response_schema() -> dict[str, Any]:
    """The schema of a response, "unplaced_reasons" (explain) included.

    >>> response_schema()["required"][0]
    'boxes'
    """
    schema: dict[str, Any] = json.loads(_load("response.schema.json"))
    return schema
