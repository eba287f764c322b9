"""Pictures of packed boxes: an interactive 3D view for a notebook or a browser.

Every opened box is drawn at its true proportions with its items as solid blocks,
one colour per article family; hovering shows what each item carries against
its MaxLoad, and fragile ones (MaxLoad 0) are marked. A page from `to_html`
adds the families' legend, a slider that steps through the loading order and
the list of what was not packed. Needs plotly: `pip install quarvex[viz]`.
"""

from __future__ import annotations

import html
import re
import tempfile
import webbrowser
import zlib
from collections import Counter
from collections.abc import Iterable, Mapping, Sequence
from dataclasses import dataclass, replace
from pathlib import Path
from typing import TYPE_CHECKING, Any

from ._core import PackResult
from .summary import REASON_TEXT
from .summary import counted as _count

if TYPE_CHECKING:
    import plotly.graph_objects as go  # type: ignore[import-untyped]

__all__ = ["figure", "to_html", "show"]

# A PackResult, or the parsed JSON of a `solve` response.
Result = PackResult | Mapping[str, Any]


@dataclass(frozen=True)
class Block:
    code: str
    reference: str
    x: float
    y: float
    z: float
    width: float
    length: float
    depth: float
    orientation: str
    weight: float
    load: float = 0.0  # the weight resting on its top, directly or through other items
    max_load: float | None = None  # known from a PackResult's items only


@dataclass(frozen=True)
class BoxType:
    reference: str
    width: float
    length: float
    depth: float


@dataclass(frozen=True)
class OpenedBox:
    kind: BoxType
    max_weight: float | None
    weight: float
    fill: float  # % of the inner volume
    blocks: tuple[Block, ...]  # in loading order


@dataclass(frozen=True)
class LeftOut:
    code: str
    reference: str
    width: float
    length: float
    depth: float
    weight: float
    rotation: str


@dataclass(frozen=True)
class Picture:
    boxes: tuple[OpenedBox, ...]
    left_out: tuple[LeftOut, ...]
    reasons: tuple[str, ...]  # why each was left out, as the engine names it; "" when not known


# ---------------------------------------------------------------- reading a result


def _record(value: Any, where: str) -> Mapping[str, Any]:
    if not isinstance(value, Mapping):
        raise ValueError(f"{where} must be an object (a dict), not {type(value).__name__}")
    return value


def _field(record: Mapping[str, Any], key: str, where: str) -> Any:
    if key not in record:
        raise ValueError(f"{where} has no {key!r}")
    return record[key]


def _number(record: Mapping[str, Any], key: str, where: str) -> float:
    value = _field(record, key, where)
    if isinstance(value, bool) or not isinstance(value, int | float):
        raise ValueError(f"{where}: {key!r} must be a number, not {value!r}")
    return float(value)


def _optional_number(record: Mapping[str, Any], key: str, where: str) -> float | None:
    return None if record.get(key) is None else _number(record, key, where)


def _list(record: Mapping[str, Any], key: str, where: str) -> list[Any]:
    value = _field(record, key, where)
    if not isinstance(value, list):
        raise ValueError(f"{where}: {key!r} must be a list")
    return value


def _block(value: Any, where: str) -> Block:
    record = _record(value, where)
    return Block(
        code=str(_field(record, "ItemCode", where)),
        reference=str(record.get("ItemReference") or ""),
        orientation=str(record.get("orientation") or ""),
        **{key: _number(record, key, where) for key in ("x", "y", "z", "width", "length", "depth", "weight")},
    )


def _opened_box(value: Any, where: str) -> OpenedBox:
    record = _record(value, where)
    max_weight = _optional_number(record, "max_weight", where)
    kind = BoxType(
        reference=str(_field(record, "box_reference", where)),
        width=_number(record, "width", where),
        length=_number(record, "length", where),
        depth=_number(record, "depth", where),
    )
    items = _list(record, "items", where)
    blocks = _with_loads([_block(item, f"{where}, item {n}") for n, item in enumerate(items)])
    return OpenedBox(
        kind=kind,
        max_weight=max_weight,
        weight=_number(record, "weight", where),
        fill=_number(record, "volume_utilisation", where),
        blocks=blocks,
    )


def _left_out(value: Any, where: str) -> LeftOut:
    record = _record(value, where)
    return LeftOut(
        code=str(_field(record, "ItemCode", where)),
        reference=str(record.get("ItemReference") or ""),
        rotation=str(record.get("AllowedRotation") or "BestFit"),
        width=_number(record, "Width", where),
        length=_number(record, "Length", where),
        depth=_number(record, "Depth", where),
        weight=_number(record, "Weight", where),
    )


def _with_loads(blocks: list[Block]) -> tuple[Block, ...]:
    """The blocks with the weight each carries: every item passes its weight and
    load down to the items its base rests on, shared by contact area."""
    loads = [0.0] * len(blocks)
    # Tops from the highest down, so each load is complete before it is passed on;
    # among flat items at one height, the later loaded rests on the earlier.
    order = sorted(range(len(blocks)), key=lambda k: (-(blocks[k].z + blocks[k].depth), -blocks[k].z, -k))
    for rank, k in enumerate(order):
        upper = blocks[k]
        tolerance = 1e-9 * max(1.0, upper.z)
        areas = {}
        for j in order[rank + 1 :] if upper.z > tolerance else ():
            lower = blocks[j]
            dx = min(upper.x + upper.width, lower.x + lower.width) - max(upper.x, lower.x)
            dy = min(upper.y + upper.length, lower.y + lower.length) - max(upper.y, lower.y)
            if abs(lower.z + lower.depth - upper.z) <= tolerance and dx > 0 and dy > 0:
                areas[j] = dx * dy
        contact = sum(areas.values())
        for j, area in areas.items():
            loads[j] += (upper.weight + loads[k]) * area / contact
    return tuple(replace(block, load=load) for block, load in zip(blocks, loads))


def _picture(result: Result) -> Picture:
    if not isinstance(result, PackResult | Mapping):
        raise TypeError(f"result must be a PackResult or a solve response dict, not {type(result).__name__}")
    data = result.to_dict() if isinstance(result, PackResult) else result
    boxes = tuple(_opened_box(box, f"result box {n}") for n, box in enumerate(_list(data, "boxes", "result")))
    if isinstance(result, PackResult):
        # Load limits are not in the response: the result's items carry them.
        boxes = tuple(
            replace(
                box,
                blocks=tuple(
                    replace(block, max_load=placed.item.max_load)
                    for block, placed in zip(box.blocks, packed.items)
                ),
            )
            for box, packed in zip(boxes, result.boxes)
        )
    left_out = tuple(
        _left_out(item, f"unplaced item {n}") for n, item in enumerate(data.get("unplaced_items") or [])
    )
    # A PackResult judges against every box type of its run; a solve response
    # carries the reasons when it was written with explain.
    reasons = result.unplaced_reasons() if isinstance(result, PackResult) else data.get("unplaced_reasons")
    if not isinstance(reasons, list) or len(reasons) != len(left_out):
        reasons = [""] * len(left_out)
    return Picture(boxes, left_out, tuple(str(reason) for reason in reasons))


# ---------------------------------------------------------------- drawing

# A block is a cuboid: eight corners, twelve triangles, and its twelve edges as one
# path of twenty points (None lifts the pen). The page's loading-order slider shows
# the first k blocks of a box by cutting the mesh and edge arrays at these strides.
_CORNERS = ((0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1))
_TRIANGLES = (
    (0, 1, 2),
    (0, 2, 3),
    (4, 5, 6),
    (4, 6, 7),
    (0, 1, 5),
    (0, 5, 4),
    (1, 2, 6),
    (1, 6, 5),
    (2, 3, 7),
    (2, 7, 6),
    (3, 0, 4),
    (3, 4, 7),
)
_EDGE_PATH = (0, 1, 2, 3, 0, 4, 5, 6, 7, 4, None, 1, 5, None, 2, 6, None, 3, 7, None)
_TRACES_PER_BOX = 3  # outline, blocks, block edges
_EDGE_COLOUR = "#2b2b2b"
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


def _family(code: str) -> str:
    """Repeated articles share a family: MUG-01 and MUG-02 are both MUG."""
    match = _FAMILY_SUFFIX.match(code)
    return match.group(1) if match else code


def _mix(colour: str, towards: int, share: float) -> str:
    channels = (int(colour[n : n + 2], 16) for n in (1, 3, 5))
    return "#" + "".join(f"{round(c + (towards - c) * share):02x}" for c in channels)


def _colours(families: Iterable[str]) -> dict[str, str]:
    """Each family's colour. A family's code picks its hue, so it keeps it from page to
    page; when a family sorting before it on the page holds that hue, it takes the next
    free one. Once all ten are taken the next shade starts; past the last, colours repeat."""
    colours: dict[str, str] = {}
    free: list[int] = []
    for family in sorted(set(families)):
        if not free:
            towards, share = _SHADES[len(colours) // len(_HUES) % len(_SHADES)]
            free = list(range(len(_HUES)))
        home = zlib.crc32(family.encode("utf-8", "surrogatepass")) % len(_HUES)
        hue = min(free, key=lambda n: (n - home) % len(_HUES))
        free.remove(hue)
        colours[family] = _mix(_HUES[hue], towards, share)
    return colours


def _families(picture: Picture) -> Counter[str]:
    """How many items of each family are packed."""
    return Counter(_family(block.code) for box in picture.boxes for block in box.blocks)


def _plotly() -> Any:
    try:
        import plotly.graph_objects as go
    except ImportError as error:
        raise ImportError("quarvex.viz needs plotly: pip install quarvex[viz]") from error
    return go


def _text(value: str) -> str:
    # Plotly reads its texts as a little HTML: tags and its few entities, of which
    # &amp; &lt; &gt; are enough to show any text as itself ("&quot;" would show as is).
    return html.escape(value, quote=False)


def _num(value: float) -> str:
    return f"{value:.6g}"


def _size(width: float, length: float, depth: float) -> str:
    return f"{_num(width)} × {_num(length)} × {_num(depth)}"


def _corners(x: float, y: float, z: float, w: float, l: float, d: float) -> list[tuple[float, float, float]]:
    return [(x + cx * w, y + cy * l, z + cz * d) for cx, cy, cz in _CORNERS]


def _edges(corners: list[tuple[float, float, float]]) -> tuple[list[float | None], ...]:
    points = [None if corner is None else corners[corner] for corner in _EDGE_PATH]
    return tuple([None if point is None else point[axis] for point in points] for axis in range(3))


def _box_title(box: OpenedBox, number: int, count: int) -> str:
    kind = box.kind
    weight = f"weighs {_num(box.weight)}"
    weight += f" of {_num(box.max_weight)} allowed" if box.max_weight is not None else " (no limit)"
    return (
        f"Box {number} of {count}: {_text(kind.reference)}, inside "
        f"{_size(kind.width, kind.length, kind.depth)}, {box.fill:.1f} % full, {weight}"
    )


def _hover(block: Block) -> str:
    shown = block.reference and block.reference != block.code
    reference = f" · {_text(block.reference)}" if shown else ""
    return (
        f"<b>{_text(block.code)}</b>{reference}<br>"
        f"{_size(block.width, block.length, block.depth)} as {_text(block.orientation)}"
        f" at ({_num(block.x)}, {_num(block.y)}, {_num(block.z)})<br>weight {_num(block.weight)}"
        f"<br>{_load_text(block)}"
    )


def _load_text(block: Block) -> str:
    if block.max_load == 0:
        return "<b>fragile</b>: nothing on top"
    carries = f"carries {_num(block.load)}"
    return carries + (f" of {_num(block.max_load)} allowed" if block.max_load is not None else "")


def _box_traces(go: Any, box: OpenedBox, title: str, colours: Mapping[str, str], hover: bool) -> list[Any]:
    kind = box.kind
    ox, oy, oz = _edges(_corners(0, 0, 0, kind.width, kind.length, kind.depth))
    outline = go.Scatter3d(
        x=ox,
        y=oy,
        z=oz,
        mode="lines",
        line={"color": "#7f7f7f", "width": 3},
        name=_text(kind.reference),
        hovertext=title,
        hoverinfo="text",
        showlegend=False,
    )
    corners = [
        _corners(block.x, block.y, block.z, block.width, block.length, block.depth) for block in box.blocks
    ]
    xs, ys, zs = ([corner[axis] for block in corners for corner in block] for axis in range(3))
    i, j, k = (
        [n * len(_CORNERS) + triangle[m] for n in range(len(corners)) for triangle in _TRIANGLES]
        for m in range(3)
    )
    edges_of = [_edges(block) for block in corners]
    ex, ey, ez = ([point for edges in edges_of for point in edges[axis]] for axis in range(3))
    vertex_colours = [colours[_family(block.code)] for block in box.blocks for _ in _CORNERS]
    # Plotly hovers over a mesh by vertex, so each block's text is repeated per corner.
    text = [_hover(block) for block in box.blocks for _ in _CORNERS] if hover else None
    blocks = go.Mesh3d(
        x=xs,
        y=ys,
        z=zs,
        i=i,
        j=j,
        k=k,
        vertexcolor=vertex_colours,
        flatshading=True,
        text=text,
        hovertemplate="%{text}<extra></extra>",
        name="items",
        showlegend=False,
    )
    edges = go.Scatter3d(
        x=ex,
        y=ey,
        z=ez,
        mode="lines",
        line={"color": _EDGE_COLOUR, "width": 2},
        hoverinfo="skip",
        showlegend=False,
    )
    return [outline, blocks, edges]


def _loading_slider(box: OpenedBox, position: int) -> dict[str, Any]:
    """Steps that show the first k blocks of a box; the page's script does the cutting."""
    count = len(box.blocks)
    steps = [
        {"method": "skip", "args": [position, k], "label": f"{k} of {count}: {_text(block.code)}"}
        for k, block in enumerate(box.blocks, start=1)
    ]
    return {
        "active": max(count - 1, 0),
        "steps": steps,
        "currentvalue": {"prefix": "Loading order, up to item ", "font": {"color": "#222"}},
        # The current value names the step; a label under every tick would crowd.
        "font": {"color": "rgba(0,0,0,0)"},
        "pad": {"t": 10, "b": 10},
    }


def _build(picture: Picture, positions: Sequence[int], for_page: bool) -> go.Figure:
    """The figure; for a page, the hover texts and the loading order come from its script."""
    go = _plotly()
    colours = _colours(_families(picture))
    count = len(picture.boxes)
    titles = [_box_title(picture.boxes[p], p + 1, count) for p in positions]
    traces = []
    for position, title in zip(positions, titles):
        traces += _box_traces(go, picture.boxes[position], title, colours, hover=not for_page)
    for trace in traces[_TRACES_PER_BOX:]:
        trace.visible = False

    layout: dict[str, Any] = {
        "title": {"text": titles[0] if titles else "Nothing was packed"},
        "scene": {
            "aspectmode": "data",
            # Far enough back that no corner of the box is cut off.
            "camera": {"eye": {"x": 1.45, "y": 1.45, "z": 1.0}},
            "xaxis": {"title": {"text": "width"}},
            "yaxis": {"title": {"text": "length"}},
            "zaxis": {"title": {"text": "depth (up)"}},
        },
        "margin": {"l": 0, "r": 0, "t": 60, "b": 0},
        "height": 760,
    }
    sliders = [_loading_slider(picture.boxes[p], n) for n, p in enumerate(positions)] if for_page else []
    if sliders:
        layout["sliders"] = [sliders[0]]
    if len(positions) > 1:
        buttons = []
        for n, (position, title) in enumerate(zip(positions, titles)):
            box = picture.boxes[position]
            view: dict[str, Any] = {"title.text": title}
            if sliders:
                view["sliders"] = [sliders[n]]
            items = _count(len(box.blocks), "item", "items")
            label = f"Box {position + 1}: {_text(box.kind.reference)} ({items})"
            visible = [n == shown // _TRACES_PER_BOX for shown in range(len(traces))]
            buttons.append({"method": "update", "args": [{"visible": visible}, view], "label": label})
        layout["updatemenus"] = [{"buttons": buttons, "x": 0, "xanchor": "left", "y": 1, "yanchor": "top"}]
    return go.Figure(data=traces, layout=layout)


def figure(result: Result, box_index: int | None = None) -> go.Figure:
    """The packed boxes as a plotly Figure, one box at a time with a box picker.

    `result` is a PackResult or the parsed JSON of a `solve` response; `box_index`
    draws that box alone (numbered from 0). The loading-order slider needs the
    page's script, so it is on pages from `to_html` and `show`.

    >>> fig = figure(quarvex.pack_dicts(order["items"], order["boxes"]))
    >>> fig.show()  # in Jupyter: shown inline
    """
    picture = _picture(result)
    positions = range(len(picture.boxes))
    if box_index is not None:
        if not 0 <= box_index < len(picture.boxes):
            raise IndexError(
                f"box_index {box_index} is out of range: the result has {len(picture.boxes)} boxes"
            )
        positions = range(box_index, box_index + 1)
    return _build(picture, positions, for_page=False)


# Reads the page's data, fills in the hover texts (one per block in the data, one
# per corner on screen) before the first draw, then shows the first k blocks of a
# box when the slider moves and the whole box again when another box is picked.
_PAGE_SCRIPT = """
const {figure, hovers, stride} = JSON.parse(document.getElementById("packing-data").textContent);
figure.data.forEach((trace, n) => {
  if (n % stride.traces === 1) {
    trace.text = hovers[(n - 1) / stride.traces].flatMap((text) => Array(stride.corners).fill(text));
  }
});
const full = figure.data.map(({i, j, k, x, y, z}) => ({i, j, k, x, y, z}));
Plotly.newPlot("packing", figure.data, figure.layout, {displaylogo: false}).then((plot) => {
  let cut = null;
  function showFirst(box, count) {
    const blocks = box * stride.traces + 1, edges = blocks + 1;
    const triangles = count * stride.triangles, points = count * stride.points;
    const head = (trace, key, end) => [full[trace][key].slice(0, end)];
    Plotly.restyle(plot, {i: head(blocks, "i", triangles), j: head(blocks, "j", triangles),
                          k: head(blocks, "k", triangles)}, [blocks]);
    Plotly.restyle(plot, {x: head(edges, "x", points), y: head(edges, "y", points),
                          z: head(edges, "z", points)}, [edges]);
  }
  plot.on("plotly_sliderchange", (event) => {
    const [box, count] = event.step.args;
    showFirst(box, count);
    cut = box;
  });
  plot.on("plotly_buttonclicked", () => {
    if (cut !== null) showFirst(cut, Infinity);
    cut = null;
  });
});
"""


def _left_out_section(picture: Picture) -> str:
    if not picture.left_out:
        return ""
    basis = (
        "Reasons are judged against every box type of the request."
        if any(picture.reasons)
        else "Why is not known here: a solve response says it when written with explain."
    )
    rows = "".join(
        f"<tr><td>{html.escape(item.code)}</td><td>{html.escape(item.reference)}</td>"
        f"<td>{_size(item.width, item.length, item.depth)}</td><td>{_num(item.weight)}</td>"
        f"<td>{html.escape(item.rotation)}</td>"
        f"<td>{html.escape(REASON_TEXT.get(reason, reason))}</td></tr>"
        for item, reason in zip(picture.left_out, picture.reasons)
    )
    return (
        f'<section id="unplaced"><h2>Not packed ({len(picture.left_out)})</h2>'
        f"<p>{basis}</p>"
        "<table><tr><th>Code</th><th>Reference</th><th>Size (W × L × D)</th><th>Weight</th>"
        f"<th>Rotation</th><th>Why</th></tr>{rows}</table></section>"
    )


_STYLE = """
body { font-family: system-ui, sans-serif; margin: 1em 2em; color: #222; }
table { border-collapse: collapse; }
th, td { border-bottom: 1px solid #ddd; padding: 0.25em 0.75em; text-align: left; }
#legend ul { display: flex; flex-wrap: wrap; gap: 0.25em 1.5em; list-style: none; padding: 0; }
#legend span { display: inline-block; width: 1em; height: 1em; margin-right: 0.4em;
               vertical-align: -0.15em; border: 1px solid #2b2b2b; }
"""


def _legend_section(picture: Picture) -> str:
    """Each family's colour, code and count of packed items, in the order of their codes."""
    families = _families(picture)
    colours = _colours(families)
    entries = "".join(
        f'<li><span style="background: {colours[family]}"></span>{html.escape(family)} ({count})</li>'
        for family, count in sorted(families.items())
    )
    return f'<section id="legend"><ul>{entries}</ul></section>\n'


def _plot_section(picture: Picture) -> str:
    if not picture.boxes:
        return ""
    from plotly.io.json import to_json_plotly  # type: ignore[import-untyped]
    from plotly.offline import get_plotlyjs  # type: ignore[import-untyped]

    data = {
        "figure": _build(picture, range(len(picture.boxes)), for_page=True),
        "hovers": [[_hover(block) for block in box.blocks] for box in picture.boxes],
        "stride": {
            "traces": _TRACES_PER_BOX,
            "corners": len(_CORNERS),
            "triangles": len(_TRIANGLES),
            "points": len(_EDGE_PATH),
        },
    }
    # Plotly's JSON writes "<" as an escape, so no item code can end the data early.
    return (
        f'{_legend_section(picture)}<div id="packing"></div>\n<script>{get_plotlyjs()}</script>\n'
        f'<script type="application/json" id="packing-data">{to_json_plotly(data)}</script>\n'
        f"<script>{_PAGE_SCRIPT}</script>\n"
    )


def to_html(result: Result, path: str | Path | None = None) -> str:
    """One self-contained page (plotly.js embedded, no network use) of the packed boxes.

    The page has a box picker, a slider through each box's loading order and the
    list of unplaced items with why each was not packed (a solve response gives the
    reasons when written with explain).
    Writes the page to `path` when given; returns its text either way.

    >>> to_html(quarvex.pack_dicts(order["items"], order["boxes"]), "order.html")
    """
    picture = _picture(result)
    placed = sum(len(box.blocks) for box in picture.boxes)
    items = _count(placed + len(picture.left_out), "item", "items")
    summary = f"{placed} of {items} packed into {_count(len(picture.boxes), 'box', 'boxes')}."
    page = (
        '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n<title>Packed boxes</title>\n'
        f"<style>{_STYLE}</style>\n</head>\n<body>\n<h1>Packed boxes</h1>\n<p>{summary}</p>\n"
        f"{_plot_section(picture)}{_left_out_section(picture)}\n</body>\n</html>\n"
    )
    if path is not None:
        Path(path).write_text(page, encoding="utf-8")
    return page


def show(result: Result) -> Path:
    """Writes the page of `to_html` to a temporary file, opens it in the browser and returns its path.

    >>> show(quarvex.pack_dicts(order["items"], order["boxes"]))
    """
    with tempfile.NamedTemporaryFile(
        "w", suffix=".html", prefix="quarvex-", delete=False, encoding="utf-8"
    ) as file:
        file.write(to_html(result))
    page = Path(file.name)
    webbrowser.open(page.as_uri())
    return page
