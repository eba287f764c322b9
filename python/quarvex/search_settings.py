"""How the command line and pack_batch run quarvex.optimize on a request, and
the request keys that only it honours.

A request may carry the search's settings beside its items and boxes, as
``"options": {"min_support": 1.0, "objective": "cost"}``; they override the
caller's settings for that request. The default packer knows neither these
nor an item's ``MaxLoad`` or a box's ``Cost``, so a surface that packs with
it refuses a request that carries any of them.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

from ._core import PackResult, optimize

OPTION_NAMES = ("min_support", "objective")
# Text without these cannot carry a key only the search honours; a JSON
# escape may spell any key, so text with one is read to be sure.
_MARKERS = ("MaxLoad", "Cost", "options", "\\u")


@dataclass(frozen=True)
class Search:
    """The settings of quarvex.optimize for every request of a call.

    >>> Search(time_limit=0.5, objective="cost").run({"items": [], "boxes": []}).success
    True
    """

    time_limit: float = 1.0
    min_support: float = 0.0
    objective: str = "boxes"

    def __post_init__(self) -> None:
        # optimize checks the settings itself; on nothing it answers at once.
        optimize([], [], time_limit=self.time_limit, min_support=self.min_support, objective=self.objective)

    def run(self, request: dict[str, Any]) -> PackResult:
        settings: dict[str, Any] = {"min_support": self.min_support, "objective": self.objective}
        settings.update(request_options(request))
        return optimize(request.get("items"), request.get("boxes"), time_limit=self.time_limit, **settings)


def request_options(request: dict[str, Any]) -> dict[str, Any]:
    """The request's "options", checked: an object with only known keys of the right types.

    >>> request_options({"options": {"min_support": 1}})
    {'min_support': 1}
    """
    options = request.get("options")
    if options is None:
        return {}
    if not isinstance(options, dict):
        raise ValueError(f'"options" must be an object, not {type(options).__name__}')
    for key, value in options.items():
        if key not in OPTION_NAMES:
            raise ValueError(f'"options" has an unknown key {key!r}; it takes {", ".join(OPTION_NAMES)}')
        if key == "min_support" and (isinstance(value, bool) or not isinstance(value, (int, float))):
            raise ValueError(f'"options": min_support must be a number, not {type(value).__name__}')
        if key == "objective" and not isinstance(value, str):
            raise ValueError(f'"options": objective must be "boxes" or "cost", not {value!r}')
    return options


def may_need_search(text: str | bytes | bytearray) -> bool:
    """False when a request's text cannot carry a key only the search honours."""
    if isinstance(text, str):
        return any(marker in text for marker in _MARKERS)
    return any(marker.encode() in text for marker in _MARKERS)


def unhonoured(request: dict[str, Any]) -> str | None:
    """What in the request only the search honours, as the start of a sentence;
    None when the default packer can honour all of it.

    >>> unhonoured({"items": [{"ItemCode": "mug", "MaxLoad": 0}]})
    "item 'mug' has a MaxLoad"
    """
    found = unhonoured_at(request)
    return None if found is None else found[1]


def unhonoured_at(request: dict[str, Any]) -> tuple[str, str] | None:
    """As unhonoured, with the JSON pointer to the key first.

    >>> unhonoured_at({"boxes": [{"Reference": "M", "Cost": 2}]})
    ('/boxes/0/Cost', "box 'M' has a Cost")
    """
    if request.get("options") is not None:
        return "/options", 'the request has "options"'
    for kind, key, name, field in (
        ("item", "MaxLoad", "ItemCode", "items"),
        ("box", "Cost", "Reference", "boxes"),
    ):
        for position, element in request_elements(request.get(field)):
            if isinstance(element, dict) and element.get(key) is not None:
                return f"/{field}/{_escaped(position)}/{key}", f"{kind} {element.get(name)!r} has a {key}"
    return None


def request_elements(value: Any) -> list[tuple[int | str, Any]]:
    """The elements of a request's "items" or "boxes" with where each is, as the
    reader walks them: a list's elements, an object's values, or the one value."""
    if value is None:
        return []
    if isinstance(value, list):
        return list(enumerate(value))
    if isinstance(value, dict):
        return list(value.items())
    return [("", value)]


def _escaped(position: int | str) -> str:
    # A JSON pointer spells ~ and / in a key as ~0 and ~1.
    return str(position).replace("~", "~0").replace("/", "~1")
