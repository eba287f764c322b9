"""One self-contained page of the packed boxes: the figure, drawn by the page's own
script so it can fill in hover texts before the first draw and cut a box to its
first k items, the families' legend and the items left out with why."""

from __future__ import annotations

import html
import tempfile
import webbrowser
from pathlib import Path

from ..summary import REASON_TEXT, counted
from . import colours as palette
from .figure import CORNERS, EDGE_PATH, TRACES_PER_BOX, TRIANGLES, build, hover_text, short_number, size
from .picture import Picture, Result, picture_of

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
        f"<td>{size(item.width, item.length, item.depth)}</td><td>{short_number(item.weight)}</td>"
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
    families = palette.families(picture)
    colours = palette.colours(families)
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
        "figure": build(picture, range(len(picture.boxes)), for_page=True),
        "hovers": [[hover_text(block) for block in box.blocks] for box in picture.boxes],
        "stride": {
            "traces": TRACES_PER_BOX,
            "corners": len(CORNERS),
            "triangles": len(TRIANGLES),
            "points": len(EDGE_PATH),
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
    picture = picture_of(result)
    placed = sum(len(box.blocks) for box in picture.boxes)
    items = counted(placed + len(picture.left_out), "item", "items")
    summary = f"{placed} of {items} packed into {counted(len(picture.boxes), 'box', 'boxes')}."
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
