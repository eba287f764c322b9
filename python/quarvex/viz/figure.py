"""The packed boxes as a plotly figure: each box's outline, its items as solid
blocks coloured by family and their edges, one box shown at a time."""

from __future__ import annotations

import html
from collections.abc import Mapping, Sequence
from typing import TYPE_CHECKING, Any

from ..summary import counted
from . import colours as palette
from .picture import Block, PackedBoxView, Picture, Result, picture_of

if TYPE_CHECKING:
    import plotly.graph_objects as go  # type: ignore[import-untyped]

# A block is a cuboid: eight corners, twelve triangles, and its twelve edges as one
# path of twenty points (None lifts the pen). The page's loading-order slider shows
# the first k blocks of a box by cutting the mesh and edge arrays at these strides.
CORNERS = ((0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1))
TRIANGLES = (
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
EDGE_PATH = (0, 1, 2, 3, 0, 4, 5, 6, 7, 4, None, 1, 5, None, 2, 6, None, 3, 7, None)
TRACES_PER_BOX = 3  # outline, blocks, block edges
_EDGE_COLOUR = "#2b2b2b"


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


def short_number(value: float) -> str:
    return f"{value:.6g}"


def size(width: float, length: float, depth: float) -> str:
    return f"{short_number(width)} × {short_number(length)} × {short_number(depth)}"


def _corners(x: float, y: float, z: float, w: float, l: float, d: float) -> list[tuple[float, float, float]]:
    return [(x + cx * w, y + cy * l, z + cz * d) for cx, cy, cz in CORNERS]


def _edges(corners: list[tuple[float, float, float]]) -> tuple[list[float | None], ...]:
    points = [None if corner is None else corners[corner] for corner in EDGE_PATH]
    return tuple([None if point is None else point[axis] for point in points] for axis in range(3))


def _box_title(box: PackedBoxView, number: int, count: int) -> str:
    weight = f"weighs {short_number(box.weight)}"
    weight += f" of {short_number(box.max_weight)} allowed" if box.max_weight is not None else " (no limit)"
    return (
        f"Box {number} of {count}: {_text(box.reference)}, inside "
        f"{size(box.width, box.length, box.depth)}, {box.fill:.1f} % full, {weight}"
    )


def hover_text(block: Block) -> str:
    shown = block.reference and block.reference != block.code
    reference = f" · {_text(block.reference)}" if shown else ""
    return (
        f"<b>{_text(block.code)}</b>{reference}<br>"
        f"{size(block.width, block.length, block.depth)} as {_text(block.orientation)}"
        f" at ({short_number(block.x)}, {short_number(block.y)}, {short_number(block.z)})<br>weight {short_number(block.weight)}"
        f"<br>{_load_text(block)}"
    )


def _load_text(block: Block) -> str:
    if block.max_load == 0:
        return "<b>fragile</b>: nothing on top"
    carries = f"carries {short_number(block.load)}"
    return carries + (f" of {short_number(block.max_load)} allowed" if block.max_load is not None else "")


def _box_traces(
    go: Any, box: PackedBoxView, title: str, colours: Mapping[str, str], hover: bool
) -> list[Any]:
    ox, oy, oz = _edges(_corners(0, 0, 0, box.width, box.length, box.depth))
    outline = go.Scatter3d(
        x=ox,
        y=oy,
        z=oz,
        mode="lines",
        line={"color": "#7f7f7f", "width": 3},
        name=_text(box.reference),
        hovertext=title,
        hoverinfo="text",
        showlegend=False,
    )
    corners = [
        _corners(block.x, block.y, block.z, block.width, block.length, block.depth) for block in box.blocks
    ]
    xs, ys, zs = ([corner[axis] for block in corners for corner in block] for axis in range(3))
    i, j, k = (
        [n * len(CORNERS) + triangle[m] for n in range(len(corners)) for triangle in TRIANGLES]
        for m in range(3)
    )
    edges_of = [_edges(block) for block in corners]
    ex, ey, ez = ([point for edges in edges_of for point in edges[axis]] for axis in range(3))
    vertex_colours = [colours[palette.family(block.code)] for block in box.blocks for _ in CORNERS]
    # Plotly hovers over a mesh by vertex, so each block's text is repeated per corner.
    text = [hover_text(block) for block in box.blocks for _ in CORNERS] if hover else None
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


def _loading_slider(box: PackedBoxView, position: int) -> dict[str, Any]:
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


def build(picture: Picture, positions: Sequence[int], for_page: bool) -> go.Figure:
    """The figure; for a page, the hover texts and the loading order come from its script."""
    go = _plotly()
    colours = palette.colours(palette.families(picture))
    count = len(picture.boxes)
    titles = [_box_title(picture.boxes[p], p + 1, count) for p in positions]
    traces = []
    for position, title in zip(positions, titles):
        traces += _box_traces(go, picture.boxes[position], title, colours, hover=not for_page)
    for trace in traces[TRACES_PER_BOX:]:
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
            items = counted(len(box.blocks), "item", "items")
            label = f"Box {position + 1}: {_text(box.reference)} ({items})"
            visible = [n == shown // TRACES_PER_BOX for shown in range(len(traces))]
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
    picture = picture_of(result)
    positions = range(len(picture.boxes))
    if box_index is not None:
        if not 0 <= box_index < len(picture.boxes):
            raise IndexError(
                f"box_index {box_index} is out of range: the result has {len(picture.boxes)} boxes"
            )
        positions = range(box_index, box_index + 1)
    return build(picture, positions, for_page=False)
