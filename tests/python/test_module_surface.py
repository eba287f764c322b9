import functools
import inspect
import json
import pickle
import pydoc
import subprocess
import sys
import tomllib
from pathlib import Path

import pytest

import quarvex
from quarvex import Box, Item, PackedBox, PackedItem, PackResult, Rotation

MODULE_DOC = (
    "Ostrellan 3D bin-packing engine.\n\nsolve(json) -> json is the simplest entry point; "
    "pack_dicts(items, boxes) and pack(items, boxes) return a richer PackResult object."
)


@pytest.fixture
def one_box():
    """Item A (1 x 1 x 1, weight 1) packed alone into box B (2 x 2 x 2, no weight limit)."""
    item = Item("A", "A", 1, 1, 1, 1)
    box = Box("B", 2, 2, 2, -1)
    return item, box, quarvex.pack([item], [box])


def test_package_names_docstring_and_version():
    names = "Rotation Item Box PackedItem PackedBox PackResult solve pack_dicts pack optimize".split()
    assert quarvex.__doc__ == quarvex._core.__doc__ == MODULE_DOC
    extras = "request_fault request_schema response_schema pack_batch BatchOutcome BatchError".split()
    assert quarvex.__all__ == names + extras
    # quarvex.TimeoutError stays out of __all__, not to shadow the builtin on a star import.
    names.insert(6, "TimeoutError")
    names.insert(-1, "request_fault")
    assert [name for name in vars(quarvex._core) if not name.startswith("_")] == names
    # Callers, pickles and help() name the package, not the extension inside it.
    assert all(getattr(quarvex, name).__module__ == "quarvex" for name in names)
    assert not hasattr(quarvex, "NEVER"), "enum members are not exported to the package"
    with open(Path(__file__).parents[2] / "pyproject.toml", "rb") as file:
        assert quarvex.__version__ == tomllib.load(file)["project"]["version"]


# Functions: the text after the signature line; classes and properties: the whole docstring.
DOCS = {
    "solve": 'The simplest entry point: pass a JSON string shaped like\n{"items": [...], "boxes": [...]} '
    "and get a JSON string back.\nNo quarvex types required on either side.",
    "pack_dicts": "Like solve(), but takes/returns native Python objects: pass lists\nof plain "
    "dicts shaped like items.json / boxes.json and get back a\nrich PackResult with attribute access "
    "to every feature.",
    "pack": "Like pack_dicts(), but takes lists of quarvex.Item / quarvex.Box\n"
    "objects instead of plain dicts.",
    "Item.to_dict": "Every feature of this item as a plain Python dict.",
    "Box.to_dict": "Every feature of this box type as a plain Python dict.",
    "PackResult.to_dict": "The full result -- every box, every placed item, and every unplaced item -- "
    "as a plain Python dict.",
    "PackResult.to_json": "The full result as a JSON string.",
    "Item": "A single item to be packed.",
    "Box": "A box type available to pack items into.",
    "PackedItem": "An Item placed at a specific position inside a box.",
    "PackedBox": "A box together with everything packed into it.",
    "PackResult": "The outcome of a packing run.",
    "PackedItem.item": "The original Item that was placed.",
    "PackedItem.width": "Placed (post-rotation) width.",
    "PackedItem.length": "Placed (post-rotation) length.",
    "PackedItem.depth": "Placed (post-rotation) depth.",
    "PackedItem.orientation": "Axis mapping used, e.g. 'WLD' = original order, "
    "'LWD' = width/length swapped, etc.",
    "PackedItem.rotated": "True if this item was not placed in its original orientation.",
    "PackedBox.weight": "Empty weight + all item weights.",
    "PackedBox.volume_utilisation": "Used volume as a percentage (0-100) of inner volume.",
    "PackResult.success": "True if every item was placed in some box.",
}


@pytest.mark.parametrize(("name", "doc"), DOCS.items())
def test_docstrings(name, doc):
    documented = functools.reduce(getattr, name.split("."), quarvex)
    text = documented.__doc__
    if callable(documented) and not isinstance(documented, type) and not inspect.isfunction(documented):
        signature, _, text = text.partition("\n\n")  # methods open with the extension's signature line
        assert signature.startswith(documented.__name__ + "(")
    assert text.rstrip("\n") == doc


@pytest.mark.parametrize(
    ("name", "items"),
    [
        ("solve", "str"),
        ("pack_dicts", "Sequence[Mapping[str, Any]] | None"),
        ("pack", "Sequence[Item]"),
        ("optimize", "Sequence[Item] | Sequence[Mapping[str, Any]] | None"),
    ],
)
def test_entry_points_are_functions_of_the_package(name, items):
    function = getattr(quarvex, name)
    # help() of the extension's own function names the binding library's internals as its owner.
    assert pydoc.render_doc(function).startswith(
        f"Python Library Documentation: function {name} in module quarvex\n"
    )
    assert repr(next(iter(inspect.signature(function).parameters.values())).annotation) == items
    assert pickle.loads(pickle.dumps(function)) is function


def test_rotation_members():
    assert Rotation.__doc__.startswith("How free an item is to be reoriented while packing.")
    members = {name: int(member) for name, member in Rotation.__members__.items()}
    assert members == {"NEVER": 0, "KEEP_FLAT": 1, "BEST_FIT": 2}
    for line in (
        "NEVER : Must be packed exactly as given (Width/Length/Depth).",
        "KEEP_FLAT : May swap Width/Length but stay 'this way up'.",
        "BEST_FIT : May be placed in any of the 6 axis orderings.",
    ):
        assert line in Rotation.__doc__
    assert Rotation(1) == Rotation.KEEP_FLAT
    with pytest.raises(ValueError, match="99 is not a quarvex.Rotation value"):
        Rotation(99)
    # No arithmetic, no order, and no members but the three (not by __new__, nor from a pickle).
    for operation in (
        lambda: Rotation.NEVER | Rotation.KEEP_FLAT,
        lambda: Rotation.NEVER < Rotation.BEST_FIT,
        lambda: Rotation.NEVER + 1,
        lambda: Rotation.__new__(Rotation),
        lambda: pickle.loads(b"\x80\x02cquarvex\nRotation\n)\x81."),
    ):
        with pytest.raises(TypeError):
            operation()


@pytest.mark.parametrize(
    ("obj", "expected"),
    [
        (
            Item("A", "A", 1, 2, 3, 4),
            dict(box_group=None, has_box_group=False, allowed_rotation=Rotation.BEST_FIT, volume=6.0),
        ),
        (
            Item("A", "ref", 1, 2, 3, 4, "G", Rotation.NEVER),
            dict(box_group="G", has_box_group=True, allowed_rotation=Rotation.NEVER),
        ),
        (Item("A", "A", 1, 2, 3, 4, box_group=" "), dict(box_group=" ", has_box_group=True)),
        (Item("A", "A", 1, 2, 3, 4, box_group=""), dict(box_group=None, has_box_group=False)),
        (Item("A", "A", 2, 0, 3, 0), dict(volume=0.0)),
        (Box("B", 10, 10, 10, -1), dict(has_weight_limit=False, empty_weight=0.0, active=True)),
        (Box("B", 10, 10, 10, -1), dict(max_quantity=None, has_limited_quantity=False, inner_volume=1000.0)),
        (Box("B", 10, 10, 10, -1, max_quantity=0), dict(max_quantity=0, has_limited_quantity=True)),
        (Box("B", 10, 10, 10, -1, max_quantity=-3), dict(max_quantity=-3, has_limited_quantity=True)),
        (Box("B", 1, 2, 3, 0, 0, False), dict(has_weight_limit=True, active=False, inner_volume=6.0)),
        (Box("B", 1, 2, 3, 10, 12), dict(max_weight=10.0, empty_weight=12.0, has_weight_limit=True)),
    ],
)
def test_item_and_box_properties(obj, expected):
    assert {name: getattr(obj, name) for name in expected} == expected


@pytest.mark.parametrize(
    ("pick", "names"),
    [
        (lambda item, box, result: item, ["item_code", "width", "box_group", "allowed_rotation", "volume"]),
        (lambda item, box, result: box, ["reference", "max_weight", "max_quantity", "inner_volume"]),
        (lambda item, box, result: result, ["success", "boxes"]),
        (lambda item, box, result: result.boxes[0], ["box", "items", "weight"]),
        (lambda item, box, result: result.boxes[0].items[0], ["x", "item", "rotated"]),
    ],
    ids=["Item", "Box", "PackResult", "PackedBox", "PackedItem"],
)
def test_properties_are_read_only(one_box, pick, names):
    obj = pick(*one_box)
    for name in names:
        with pytest.raises(AttributeError):
            setattr(obj, name, getattr(obj, name))


@pytest.mark.parametrize("cls", [PackResult, PackedBox, PackedItem])
def test_result_classes_have_no_constructor(cls):
    with pytest.raises(TypeError, match="No constructor defined"):
        cls()


def test_reprs(one_box):
    item, box, result = one_box
    for obj, text in [
        (item, "<quarvex.Item 'A'>"),
        (box, "<quarvex.Box 'B'>"),
        (result.boxes[0].items[0], "<quarvex.PackedItem 'A' @ (0.000000, 0.000000, 0.000000)>"),
        (result.boxes[0], "<quarvex.PackedBox 'B' items=1>"),
        (result, "<quarvex.PackResult success=True boxes=1 unplaced=0>"),
        (
            quarvex.pack([item, Item("C", "C", 5, 5, 5, 0)], []),
            "<quarvex.PackResult success=False boxes=0 unplaced=2>",
        ),
    ]:
        assert repr(obj) == text


def test_item_and_box_to_dict():
    assert json.dumps(Item("A", "R", 1, 2, 3, 4, "G", Rotation.KEEP_FLAT).to_dict()) == (
        '{"AllowedRotation": "KeepFlat", "BoxGroup": "G", "Depth": 3.0, "ItemCode": "A", '
        '"ItemReference": "R", "Length": 2.0, "Volume": 6.0, "Weight": 4.0, "Width": 1.0}'
    )
    assert Item("A", "A", 1, 1, 1, 1).to_dict()["BoxGroup"] is None
    assert json.dumps(Box("B", 1, 2, 3, -1, 0.5, False, 7).to_dict()) == (
        '{"Active": false, "BoxWeight": 0.5, "Depth": 3.0, "InnerVolume": 6.0, "Length": 2.0, '
        '"MaxWeight": -1.0, "MaximumBoxes": 7, "Reference": "B", "Width": 1.0}'
    )
    assert [Box("B", 1, 2, 3, 10).to_dict()[key] for key in ("MaxWeight", "MaximumBoxes")] == [10.0, None]


def test_result_figures_and_to_dict(one_box):
    _, _, result = one_box
    packed_box = result.boxes[0]
    placed = packed_box.items[0]
    figures = "x y z orientation rotated weight volume"
    assert [getattr(placed, name) for name in figures.split()] == [0.0, 0.0, 0.0, "WLD", False, 1.0, 1.0]
    # The figures keep -1.0 for "no limit" where the dicts say None.
    assert (packed_box.max_weight, packed_box.remaining_weight) == (-1.0, -1.0)
    figures = "weight used_volume unused_volume volume_utilisation used_width remaining_width"
    assert [getattr(packed_box, name) for name in figures.split()] == [1.0, 1.0, 7.0, 12.5, 1.0, 1.0]
    assert len(packed_box) == 1
    assert (result.overall_volume_utilisation, result.total_placed, result.total_unplaced) == (12.5, 1, 0)
    # The dicts hold what the JSON text holds, in the same order.
    whole = result.to_dict()
    assert json.dumps(whole) == json.dumps(json.loads(result.to_json()))
    assert json.dumps(packed_box.to_dict()) == json.dumps(
        {k: v for k, v in whole["boxes"][0].items() if k != "box_index"}
    )
    assert json.dumps(placed.to_dict()) == json.dumps(whole["boxes"][0]["items"][0])


def test_to_dict_and_result_lists_are_fresh(one_box):
    _, _, result = one_box
    first = result.to_dict()
    first["boxes"].clear()
    assert result.to_dict()["boxes"]
    assert result.boxes[0] is not result.boxes[0]
    assert result.boxes[0].items[0] is not result.boxes[0].items[0]


def test_to_json_indents(one_box):
    _, _, result = one_box
    assert result.to_json().startswith('{\n  "boxes": [\n')
    assert result.to_json(0).split("\n")[1] == '"boxes": ['
    compact = result.to_json(-1)
    assert " " not in compact and "\n" not in compact
    assert result.to_json(-5) == compact
    assert not result.to_json(4).endswith("\n")
    # Wider indents overran the JSON library's buffer: text with NUL bytes, then a crash.
    assert result.to_json(64).split("\n")[1].startswith(" " * 64 + '"boxes"')
    for indent in (65, 1025, 100_000):
        with pytest.raises(ValueError, match="^indent must be 0..64, or negative for one line$"):
            result.to_json(indent)


UNCONVERTIBLE = {
    "rotation-as-int": lambda: Item("A", "A", 1, 1, 1, 1, "", 1),
    "width-as-str": lambda: Item("A", "A", "1", 1, 1, 1),
    "weight-missing": lambda: Item("A", "A", 1, 1, 1),
    "quantity-beyond-int32": lambda: Box("B", 1, 1, 1, 1, max_quantity=2**31),
    "quantity-float": lambda: Box("B", 1, 1, 1, 1, max_quantity=1.5),
    "max-weight-missing": lambda: Box("B", 1, 1, 1),
    # Bytes would be kept as they are and fail wherever the text is read back.
    "code-as-bytes": lambda: Item(b"A", "A", 1, 1, 1, 1),
    "box-group-as-bytes": lambda: Item("A", "A", 1, 1, 1, 1, b"G"),
    "reference-as-bytes": lambda: Box(b"B", 1, 1, 1, 1),
}


@pytest.mark.parametrize("make", UNCONVERTIBLE.values(), ids=UNCONVERTIBLE.keys())
def test_constructors_reject_unconvertible_arguments(make):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        make()


def test_refuses_sub_interpreters():
    pytest.importorskip("_interpreters")
    # In a process of its own: threads left by earlier tests (Dask's profiler reads
    # every thread's frames) can crash the interpreter while a sub-interpreter dies.
    probe = (
        "import _interpreters as i\n"
        "interpreter = i.create()\n"
        "try:\n"
        "    failure = i.exec(interpreter, 'import quarvex')\n"
        "finally:\n"
        "    i.destroy(interpreter)\n"
        "print(failure.type.__name__ if failure else None)\n"
        "print(failure.msg if failure else '')\n"
    )
    run = subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True, check=True)
    kind, message = run.stdout.splitlines()[:2]
    assert kind == "ImportError"
    assert "does not support loading in subinterpreters" in message
