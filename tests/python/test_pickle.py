"""Every class pickles to an equal object on every protocol, shared objects
stay shared, a state that is not one raises instead of crashing, and an object
made without its state is refused wherever it is used."""

import copy
import math
import pickle

import pytest

import quarvex
from bench import generators
from quarvex import Box, Item, PackedBox, PackedItem, PackResult, Rotation

LINKED = Item("L", "linked", 1, 2, 3, 4, "G1", Rotation.KEEP_FLAT)
PLAIN = Item("P", "plain", 100, 1, 1, 1.5)
LIMITED = Box("S", 10, 10, 10, 5, 0.5, True, 2)
# The linked item twice, so it is placed in two boxes of the one box type.
SHARED = quarvex.pack([LINKED, LINKED, PLAIN], [LIMITED])
PROTOCOLS = range(pickle.HIGHEST_PROTOCOL + 1)
COPIES = [lambda o, p=p: pickle.loads(pickle.dumps(o, protocol=p)) for p in PROTOCOLS]
COPIES.append(copy.deepcopy)


@pytest.mark.parametrize("copy_of", COPIES, ids=[f"protocol-{p}" for p in PROTOCOLS] + ["deepcopy"])
@pytest.mark.parametrize("seed", [0, 3, 8])
def test_round_trips_keep_every_feature_and_sharing(copy_of, seed):
    request = generators.feature_request(seed)
    for result in [SHARED, quarvex.pack_dicts(request["items"], request["boxes"])]:
        again = copy_of(result)
        assert (again.to_json(), again.to_dict()) == (result.to_json(), result.to_dict())
    physical = [Item("F", "fragile", 1, 1, 1, 1, "G", max_load=0), Box("C", 1, 1, 1, -1, cost=2.5)]
    for original in [
        LINKED,
        PLAIN,
        LIMITED,
        Box("U", 1, 2, 3, -1),
        SHARED.boxes[0],
        SHARED.boxes[0].items[0],
        *physical,
    ]:
        again = copy_of(original)
        assert type(again) is type(original) and again.to_dict() == original.to_dict()
    assert [copy_of(o).to_dict().get(k) for o, k in zip(physical, ["MaxLoad", "Cost"])] == [0, 2.5]
    for rotation in Rotation.__members__.values():
        assert copy_of(rotation) == rotation
    again = copy_of(SHARED)
    first, second = again.boxes
    assert first.box is second.box
    assert first.items[0].item is second.items[0].item
    assert (first.box.max_quantity, first.items[0].item.box_group) == (2, "G1")


ITEM_STATE = LINKED.__getstate__()
BOX_STATE = LIMITED.__getstate__()
RESULT_STATE = SHARED.__getstate__()
ITEMS, BOXES, PACKED, UNPLACED, TYPES = RESULT_STATE[1:]
((BOX, (PLACEMENT, *_)), *_) = PACKED
TURNED = [(BOX, [(*PLACEMENT[:4], "WWD", *PLACEMENT[5:])])]


@pytest.mark.parametrize(
    "cls, state, error, message",
    [
        (PackResult, None, TypeError, "state must be a tuple, not NoneType"),
        (PackResult, RESULT_STATE[:5], ValueError, "must hold 6 values, not 5"),
        (PackResult, (True, [], [], [(0, [])], [], []), ValueError, "box index 0 is out of range"),
        (PackResult, (*RESULT_STATE[:4], [-1], TYPES), ValueError, "item index -1 is out of range"),
        (PackResult, (*RESULT_STATE[:4], [math.nan], TYPES), TypeError, "value 0 has the wrong type (float)"),
        (PackResult, (*RESULT_STATE[:5], [7]), ValueError, "box index 7 is out of range"),
        (PackResult, (True, {}, [], [], [], []), TypeError, "item table must be a list, not dict"),
        (Item, ITEM_STATE[:7] + (7, None), TypeError, "value 7 has the wrong type (int)"),
        (
            PackedBox,
            SHARED.boxes[0].__getstate__()[:2] + ([(5, 1, 1, 1, "WLD", 0, 0, 0)],),
            ValueError,
            "item index 5 is out of range (1 in the table)",
        ),
        (PackedItem, ([ITEM_STATE], (0, 1, 1, 1, "WLD", 0, 0)), ValueError, "must hold 8 values"),
        # States that no packing gives.
        (PackResult, (True, ITEMS, BOXES, PACKED, [0], TYPES), ValueError, "success is True with 1"),
        (PackResult, (False, ITEMS, BOXES, PACKED, [], TYPES), ValueError, "success is False with 0"),
        (PackResult, (True, ITEMS, BOXES, TURNED, [], TYPES), ValueError, "item 'L' in orientation 'WWD'"),
        (PackedItem, ([ITEM_STATE], (0, 2, 1, 3, "WLD", 0, 0, 0)), ValueError, "extents do not match item"),
        (Item, (b"L", *ITEM_STATE[1:]), TypeError, "value 0 has the wrong type (bytes)"),
        (Item, (*ITEM_STATE[:2], -1.0, *ITEM_STATE[3:]), ValueError, "item 'L': Width must be"),
        (Box, (*BOX_STATE[:4], math.nan, *BOX_STATE[5:]), ValueError, "box 'S': MaxWeight must be a finite"),
    ],
)
def test_invalid_states_raise_clear_errors(cls, state, error, message):
    with pytest.raises(error) as raised:
        cls.__new__(cls).__setstate__(state)
    assert message in str(raised.value)


CLASSES = [Item, Box, PackedItem, PackedBox, PackResult]
USES = {
    "repr": repr,
    "property": lambda o: [
        getattr(o, name) for name in dir(type(o)) if isinstance(getattr(type(o), name), property)
    ],
    "to_dict": lambda o: o.to_dict(),
    "pickle": pickle.dumps,
}
REQUEST_USES = {
    "pack": quarvex.pack,
    "optimize": lambda items, boxes: quarvex.optimize(items, boxes, effort=10),
}
CASES = [pytest.param(cls, use, id=f"{cls.__name__}-{name}") for cls in CLASSES for name, use in USES.items()]
CASES += [
    pytest.param(Item, lambda o, f=f: f([o], [LIMITED]), id=f"Item-{name}")
    for name, f in REQUEST_USES.items()
]
CASES += [
    pytest.param(Box, lambda o, f=f: f([LINKED], [o]), id=f"Box-{name}") for name, f in REQUEST_USES.items()
]


@pytest.mark.parametrize(("cls", "use"), CASES)
@pytest.mark.parametrize("make", ["__new__", "crafted-pickle"])
def test_objects_without_a_state_are_refused_on_use(make, cls, use):
    if make == "__new__":
        obj = cls.__new__(cls)
    else:  # NEWOBJ of the class with no arguments, then no BUILD
        obj = pickle.loads(b"\x80\x02cquarvex\n" + cls.__name__.encode() + b"\n)\x81.")
    with pytest.raises(TypeError, match=f"this quarvex.{cls.__name__} was never initialised"):
        use(obj)
