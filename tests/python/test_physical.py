"""Load limits, box prices and their settings: honoured by optimize on every
surface that runs it, refused where the default packer would ignore them."""

import json
import math

import pytest
from quarvex.cli import main
from validator import validate, validate_physical

import quarvex

EFFORT = {"time_limit": None, "effort": 20000}


def cube(code, weight, max_load=None, width=1):
    item = dict(ItemCode=code, Width=width, Length=1, Depth=1, Weight=weight, AllowedRotation="Never")
    return item if max_load is None else {**item, "MaxLoad": max_load}


def box(reference, width, depth, cost=None):
    found = {"Reference": reference, "Width": width, "Length": 1, "Depth": depth, "MaxWeight": -1}
    return found if cost is None else {**found, "Cost": cost}


# Hand-worked: in a one-wide column the bottom item carries the two above it
# through the middle one; a beam on two items shares its weight 2:1 by contact.
@pytest.mark.parametrize(
    "items, boxes, columns",
    [
        ([cube("a", 1, 2), cube("b", 1), cube("c", 1)], [box("T", 1, 3)], 1),
        ([cube("a", 1, 1.5), cube("b", 1, 0.5), cube("c", 1)], [box("T", 1, 3)], [["c", "a", "b"]]),
        ([cube("a", 1, 0), cube("b", 1, 0), cube("c", 1)], [box("T", 1, 3)], 2),
        ([cube("p", 1, 2, width=2), cube("q", 1, 1), cube("t", 3, 0, width=3)], [box("T", 3, 2)], 1),
        ([cube("p", 1, 2, width=2), cube("q", 1, 0.9), cube("t", 3, 0, width=3)], [box("T", 3, 2)], 2),
    ],
    ids=["carried-through", "only-order", "fragile-on-top", "shared-by-area", "share-too-heavy"],
)
@pytest.mark.parametrize("min_support", [0.5, 1.0])
def test_loads_are_carried_down_stacks_within_every_limit(items, boxes, columns, min_support):
    result = quarvex.optimize(items, boxes, **EFFORT, min_support=min_support).to_dict()
    validate(result, items, boxes)
    validate_physical(result, items, min_support)
    assert result["success"]
    if isinstance(columns, int):
        assert len(result["boxes"]) == columns
    else:
        assert [
            [p["ItemCode"] for p in sorted(b["items"], key=lambda p: p["z"])] for b in result["boxes"]
        ] == columns


@pytest.mark.parametrize("objective, chosen", [("boxes", ["Big"]), ("cost", ["Small", "Small"])])
def test_the_cost_objective_pays_less_where_more_boxes_cost_less(objective, chosen):
    items, boxes = [cube("a", 1), cube("b", 1)], [box("Big", 2, 1, 10), box("Small", 1, 1, 3)]
    result = quarvex.optimize(items, boxes, **EFFORT, objective=objective)
    assert [b.box.reference for b in result.boxes] == chosen


MUG = "item 'mug': MaxLoad must be a number"
COST = "box 'S': Cost must be a number"


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: quarvex.optimize([cube("mug", 1, -1)], []), MUG + " of at least 0"),
        (lambda: quarvex.optimize([cube("mug", 1, "5")], []), MUG + " of at least 0, got string"),
        (lambda: quarvex.optimize([cube("mug", 1, True)], []), MUG + " .* got boolean"),
        (lambda: quarvex.Item("mug", "m", 1, 1, 1, 1, max_load=math.nan), MUG + " .* got nan"),
        (lambda: quarvex.optimize([], [box("S", 1, 1, -2)]), COST + " of at least 0"),
        (lambda: quarvex.optimize([], [box("S", 1, 1, {})]), COST + " .* got object"),
        (lambda: quarvex.Box("S", 1, 1, 1, -1, cost=-0.5), COST + " of at least 0"),
        (
            lambda: quarvex.optimize([], [], objective="price"),
            'objective must be "boxes" or "cost", got "price"',
        ),
        (
            lambda: quarvex.optimize([cube("a", 1)], [box("S", 1, 1, 2), box("U", 1, 1)], objective="cost"),
            "box 'U' has no Cost, which the objective \"cost\" needs",
        ),
        (lambda: quarvex.pack_batch([], min_support=2), r"min_support must be a fraction in \[0, 1\]"),
        (lambda: quarvex.pack_batch([], objective="cheap"), "objective must be"),
    ],
)
def test_bad_values_are_refused_naming_what_and_where(call, message):
    with pytest.raises(ValueError, match=message):
        call()


ORDER = {"items": [cube("mug", 1, 0), cube("b", 1)], "boxes": [box("T", 1, 2, 3)]}


@pytest.mark.parametrize(
    "request_, refused",
    [
        (ORDER, "item 'mug' has a MaxLoad"),
        ({"items": [cube("b", 1)], "boxes": {"T": box("T", 1, 2, 3)}}, "box 'T' has a Cost"),
        ({**ORDER, "options": {"objective": "cost"}}, 'the request has "options"'),
    ],
)
def test_the_default_packer_refuses_what_only_the_search_honours(capsys, tmp_path, request_, refused):
    path = tmp_path / "order.json"
    path.write_text(json.dumps(request_))
    assert main(["pack", str(path)]) == 2
    assert (
        capsys.readouterr().err
        == f"quarvex: error: {path}: {refused}, which only the search honours: add --search-time-limit SECONDS\n"
    )
    [outcome] = quarvex.pack_batch([request_], workers=1)
    assert outcome.error.message.startswith(f"{refused}, which only the search honours")


@pytest.mark.parametrize("old", [["--optimize", "0.05"], ["--optimize"], "optimize_seconds"])
def test_the_old_spellings_of_the_search_time_limit_still_search_and_name_the_new_one(capsys, tmp_path, old):
    request = {**ORDER, "options": {"min_support": 1}}  # refused unless the search packs it
    if old == "optimize_seconds":
        with pytest.warns(DeprecationWarning, match="use search_time_limit="):
            [outcome] = quarvex.pack_batch([request], workers=1, optimize_seconds=0.05)
        assert outcome.ok
        return
    path = tmp_path / "order.json"
    path.write_text(json.dumps(request))
    assert main(["pack", str(path), *old]) == 0
    assert (
        capsys.readouterr().err
        == "quarvex: warning: --optimize is deprecated; use --search-time-limit SECONDS\n"
    )


def test_a_request_carries_its_own_settings_and_the_search_honours_them(capsys, tmp_path):
    # The request's options win over the caller's: support 1 leaves the mug on top, and cost is allowed.
    request = {**ORDER, "options": {"min_support": 1, "objective": "cost"}}
    path = tmp_path / "order.json"
    path.write_text(json.dumps(request))
    assert main(["pack", str(path), "--min-support", "0"]) == 0
    result = json.loads(capsys.readouterr().out)
    validate_physical(result, request["items"], 1.0)
    [outcome] = quarvex.pack_batch([request], workers=1, objective="boxes")
    assert json.loads(outcome.response)["placements"] == result["placements"]
    [outcome] = quarvex.pack_batch([{**request, "options": {"support": 1}}], workers=1, search_time_limit=0.1)
    assert (
        outcome.error.message == "\"options\" has an unknown key 'support'; it takes min_support, objective"
    )
