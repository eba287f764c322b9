import json
import math
import webbrowser
from collections import Counter
from io import BytesIO
from pathlib import Path

import pytest
from conftest import watched_page
from quarvex.cli import main

import quarvex

pytest.importorskip("plotly", reason="the viz extra is not installed: pip install quarvex[viz]")
from quarvex import viz  # noqa: E402 (after the skip when plotly is missing)

ROOT = Path(__file__).resolve().parents[2]
ORDER = json.loads((ROOT / "examples" / "order.json").read_text())
ARTEFACTS = ROOT / "build" / "viz-test"


def packed_order() -> quarvex.PackResult:
    return quarvex.pack_dicts(ORDER["items"], ORDER["boxes"])


def meshes(fig):
    return [trace for trace in fig.data if trace.type == "mesh3d"]


@pytest.mark.parametrize("as_json", [False, True], ids=["PackResult", "solve JSON"])
def test_blocks_lie_where_the_result_places_them(as_json):
    result = packed_order()
    fig = viz.figure(json.loads(quarvex.solve(json.dumps(ORDER))) if as_json else result)
    for box, mesh in zip(result.boxes, meshes(fig), strict=True):
        for n, placed in enumerate(box.items):
            corners = range(8 * n, 8 * n + 8)
            for axis, start, size in (
                ("x", placed.x, placed.width),
                ("y", placed.y, placed.length),
                ("z", placed.z, placed.depth),
            ):
                values = [getattr(mesh, axis)[c] for c in corners]
                assert (min(values), max(values)) == (start, start + size)
            assert placed.item.item_code in mesh.text[8 * n]
    assert [trace.visible for trace in meshes(fig)] == [None] + [False] * (len(result.boxes) - 1)


def test_repeated_articles_share_a_colour_and_hover_names_the_placement():
    mug = {"ItemReference": "Mug", "Width": 4, "Length": 4, "Depth": 4, "Weight": 0.5}
    items = [{"ItemCode": c, **mug} for c in ("MUG-01", "MUG-02", "VASE", "VASE-XL")]
    box = {"Reference": "S", "Width": 8, "Length": 8, "Depth": 4, "MaxWeight": 9}
    result = quarvex.pack_dicts(items, [box])
    mesh = meshes(viz.figure(result))[0]
    placements = result.boxes[0].items
    colour = {
        placed.item.item_code: set(mesh.vertexcolor[8 * n : 8 * n + 8]) for n, placed in enumerate(placements)
    }
    assert colour["MUG-01"] == colour["MUG-02"] and len(colour["MUG-01"]) == 1
    assert len(colour["MUG-01"] | colour["VASE"] | colour["VASE-XL"]) == 3
    # A family keeps its colour whatever else is on the page, and in whatever order;
    # each family on a page has its own.
    families = [f"F{n}" for n in range(25)]
    assert viz.colours.colours(["VASE"])["VASE"] == viz.colours.colours(["RUG", "VASE"])["VASE"]
    assert viz.colours.colours(families) == viz.colours.colours(reversed(families))
    assert len(set(viz.colours.colours(families).values())) == 25
    placed = placements[1]
    assert set(mesh.text[8:16]) == {
        f"<b>{placed.item.item_code}</b> · Mug<br>4 × 4 × 4 as {placed.orientation}"
        f" at ({placed.x:g}, {placed.y:g}, {placed.z:g})<br>weight 0.5<br>carries 0"
    }
    # A fragile item on top of one carrying it against its limit.
    cube = {"Width": 1, "Length": 1, "Depth": 1, "Weight": 1}
    stack = [{"ItemCode": "a", "MaxLoad": 0, **cube}, {"ItemCode": "b", "MaxLoad": 2, **cube}]
    tower = {"Reference": "T", "Width": 1, "Length": 1, "Depth": 2, "MaxWeight": -1}
    stacked = quarvex.optimize(stack, [tower], effort=100)
    texts = set(meshes(viz.figure(stacked))[0].text)
    assert {t.rsplit("<br>", 1)[1] for t in texts} == {
        "carries 1 of 2 allowed",
        "<b>fragile</b>: nothing on top",
    }


def test_unplaced_items_say_why_as_the_engine_judges():
    items = [
        {"ItemCode": "OK", "Width": 5, "Length": 5, "Depth": 5, "Weight": 1},
        {"ItemCode": "LONG", "Width": 5, "Length": 5, "Depth": 70, "Weight": 1},
        {"ItemCode": "</script><b>X", "Width": 5, "Length": 5, "Depth": 80, "Weight": 1},
    ]
    boxes = [{"Reference": "S", "Width": 10, "Length": 10, "Depth": 10, "MaxWeight": 20, "BoxWeight": 1}]
    result = quarvex.pack_dicts(items, boxes)
    row = "<td>LONG</td><td>LONG</td><td>5 × 5 × 70</td><td>1</td><td>BestFit</td><td>larger than every"
    # A solve response gives the reasons only when written with explain.
    for page in (viz.to_html(result), viz.to_html(json.loads(result.to_json(explain=True)))):
        assert row in page
        assert "</script><b>X" not in page and "&lt;/script&gt;&lt;b&gt;X" in page
    assert "Why is not known here" in viz.to_html(result.to_dict())


def test_show_opens_the_page_it_wrote(monkeypatch):
    opened = []
    monkeypatch.setattr(webbrowser, "open", opened.append)
    page = viz.show(packed_order())
    assert opened == [page.as_uri()] and "Box 1 of 3: L-Carton" in page.read_text()
    page.unlink()


def test_command_line_writes_the_page_and_opens_it_when_asked(capsys, tmp_path, monkeypatch):
    opened = []
    monkeypatch.setattr(webbrowser, "open", opened.append)
    order, page = ROOT / "examples" / "order.json", tmp_path / "order.html"
    # Status 1: the example order leaves its rug out.
    assert main(["pack", str(order), "--html", str(page), "--summary"]) == 1
    assert "Box 1 of 3: L-Carton" in page.read_text() and opened == []
    assert main(["view", str(order), "--no-open"]) == 1 and opened == []
    written = Path(capsys.readouterr().out.splitlines()[-1])
    assert "Box 1 of 3: L-Carton" in written.read_text()
    written.unlink()
    assert main(["view", str(order), "--html", str(page)]) == 1
    assert opened == [page.resolve().as_uri()]
    capsys.readouterr()
    nowhere = tmp_path / "no" / "page.html"
    assert main(["view", str(order), "--html", str(nowhere)]) == 2
    assert capsys.readouterr().err == f"quarvex: error: {nowhere}: No such file or directory\n"


def with_nan_height():
    response = json.loads(quarvex.solve(json.dumps(ORDER)))
    response["boxes"][0]["items"][0]["z"] = math.nan
    return response


@pytest.mark.parametrize(
    "draw, error",
    [
        (lambda: viz.figure({"boxes": [{"box_reference": "S"}]}), "result box 0 has no 'width'"),
        (lambda: viz.figure(with_nan_height()), "result box 0, item 0: 'z' must be a finite number, not nan"),
        (lambda: viz.figure({"boxes": [], "unplaced_items": [3]}), "unplaced item 0 must be an"),
        (lambda: viz.figure([]), "must be a PackResult or a solve response dict, not list"),
        (lambda: viz.figure(packed_order(), box_index=3), "box_index 3 is out of range: the"),
    ],
)
def test_a_malformed_result_is_named(draw, error):
    with pytest.raises((ValueError, TypeError, IndexError), match=error):
        draw()


# Text a page must show as itself: quotes, an entity, markup, non-ASCII.
ODD = 'Tom\'s "Café" <img src=x onerror=window.hacked=1> &amp;'


def legend_of(result):
    families = Counter(
        viz.colours.family(placed.item.item_code) for box in result.boxes for placed in box.items
    )
    return [f"{family} ({count})" for family, count in sorted(families.items())]


def test_the_page_works_offline_in_a_real_browser(tmp_path, browser):
    image = pytest.importorskip("PIL.Image", reason="the browser-test extra is not installed")
    page_path = tmp_path / "order.html"
    items = [dict(item, ItemCode=item["ItemCode"].replace("MUG", ODD)) for item in ORDER["items"]]
    items.append({"ItemCode": ODD, "Width": 500, "Length": 1, "Depth": 1, "Weight": 1})
    boxes = [dict(box, Reference=box["Reference"] + ' "A&B"') for box in ORDER["boxes"]]
    result = quarvex.pack_dicts(items, boxes)
    viz.to_html(result, page_path)
    ARTEFACTS.mkdir(parents=True, exist_ok=True)
    page, errors, requests = watched_page(browser, "file:", viewport={"width": 1200, "height": 900})
    page.goto(page_path.as_uri())
    page.wait_for_selector("#packing .gl-container canvas")

    def colours(name):
        # WebGL draws on a later frame than the event that changed the figure.
        page.evaluate("new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done)))")
        shot = page.locator("#packing").screenshot(path=ARTEFACTS / f"{name}.png")
        return image.open(BytesIO(shot)).convert("RGB").getcolors(1 << 24)

    first_box = colours("box-1")
    legend = page.locator("#legend li").all_text_contents()
    title = page.text_content(".gtitle")
    page.click(".updatemenu-header-group")
    page.locator(".updatemenu-dropdown-button").nth(1).click()
    second_box = colours("box-2")
    rail = page.locator(".slider-rail-touch-rect").bounding_box()
    page.mouse.click(rail["x"] + 2, rail["y"] + rail["height"] / 2)
    first_item = colours("box-2-first-item")
    loaded = page.text_content(".slider-group > .slider-label")
    unplaced = page.locator("#unplaced td").all_text_contents()
    hacked = page.evaluate("window.hacked")

    assert len(first_box) > 50, "the 3D view looks blank"
    assert first_box != second_box != first_item
    assert len(first_item) < len(second_box)
    assert loaded.startswith("Loading order, up to item 1 of ")
    assert legend == legend_of(result) and any(entry.startswith(ODD) for entry in legend)
    assert title.startswith(f"Box 1 of {len(result.boxes)}: {result.boxes[0].box.reference},")
    assert ODD in unplaced and hacked is None
    assert (errors, requests) == ([], [])
