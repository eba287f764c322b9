"""One colour per article family, kept from page to page."""

from __future__ import annotations

import re
import zlib
from collections import Counter
from collections.abc import Iterable

from .picture import Picture

_FAMILY_SUFFIX = re.compile(r"^(.+?)[-_./ ]\d+$")
# Ten well-separated hues; more families on a page take them darker, then lighter.
_HUES = (
    "#4c78a8",
    "#f58518",
    "#e45756",
    "#72b7b2",
    "#54a24b",
    "#eeca3b",
    "#b279a2",
    "#ff9da6",
    "#9d755d",
    "#bab0ac",
)
_SHADES = ((0, 0.0), (0, 0.45), (255, 0.5))  # (mixed towards, share)


def family(code: str) -> str:
    """Repeated articles share a family: MUG-01 and MUG-02 are both MUG."""
    match = _FAMILY_SUFFIX.match(code)
    return match.group(1) if match else code


def _mix(colour: str, towards: int, share: float) -> str:
    channels = (int(colour[n : n + 2], 16) for n in (1, 3, 5))
    return "#" + "".join(f"{round(c + (towards - c) * share):02x}" for c in channels)


def colours(families: Iterable[str]) -> dict[str, str]:
    """Each family's colour. A family's code picks its hue, so it keeps it from page to
    page; when a family sorting before it on the page holds that hue, it takes the next
    free one. Once all ten are taken the next shade starts; past the last, colours repeat."""
    chosen: dict[str, str] = {}
    free: list[int] = []
    for name in sorted(set(families)):
        if not free:
            towards, share = _SHADES[len(chosen) // len(_HUES) % len(_SHADES)]
            free = list(range(len(_HUES)))
        home = zlib.crc32(name.encode("utf-8", "surrogatepass")) % len(_HUES)
        hue = min(free, key=lambda n: (n - home) % len(_HUES))
        free.remove(hue)
        chosen[name] = _mix(_HUES[hue], towards, share)
    return chosen


def families(picture: Picture) -> Counter[str]:
    """How many items of each family are packed."""
    return Counter(family(block.code) for box in picture.boxes for block in box.blocks)
