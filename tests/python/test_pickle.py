"""Every class pickles to an equal object, shared objects stay shared, and a
state that is not one raises instead of crashing."""

import copy
import math
import pickle

import pytest

import quarvex
from quarvex import Box, Item, PackResult, Rotation
from bench import generators

LINKED = Item("L", "linked", 1, 2, 3, 4, "G1", Rotation.KEEP_FLAT)
PLAIN = Item("P", "plain", 100, 1, 1, 1.5)
LIMITED = Box("S", 10, 10, 10, 5, 0.5, True, 2)
# The linked item twice, so it is placed in two boxes of the one box type.
SHARED = quarvex.pack([LINKED, LINKED, PLAIN], [LIMITED])
COPIES = [lambda o, p=p: pickle.loads(pickle.dumps(o, protocol=p)) for p in range(2, 6)]
COPIES.append(copy.deepcopy)


@pytest.mark.parametrize("copy_of", COPIES, ids=[f"protocol-{p}" for p in range(2, 6)] + ["deepcopy"])
@pytest.mark.parametrize("seed", [0, 3, 8])
def test_round_trips_keep_every_feature_and_sharing(copy_of, seed):
    request = generators.feature_request(seed)
    for result in [SHARED, quarvex.pack_dicts(request["items"], request["boxes"])]:
        again = copy_of(result)
        assert (again.to_json(), again.to_dict()) == (result.to_json(), result.to_dict())
    physical = [Item("F", "fragile", 1, 1, 1, 1, "G", max_load=0), Box("C", 1, 1, 1, -1, cost=2.5)]
    for original in [LINKED, PLAIN, LIMITED, Box("U", 1, 2, 3, -1), SHARED.boxes[0], SHARED.boxes[0].items[0], *physical]:
        again = copy_of(original)
        assert type(again) is type(original) and again.to_dict() == original.to_dict()
    assert [copy_of(o).to_dict().get(k) for o, k in zip(physical, ["MaxLoad", "Cost"])] == [0, 2.5]
    for rotation in [Rotation.NEVER, Rotation(7)]:
        assert int(copy_of(rotation)) == int(rotation)
    again = copy_of(SHARED)
    first, second = again.boxes
    assert first.box is second.box
    assert first.items[0].item is second.items[0].item
    assert (first.box.max_quantity, first.items[0].item.box_group) == (2, "G1")


ITEM_STATE = LINKED.__getstate__()
RESULT_STATE = SHARED.__getstate__()


@pytest.mark.parametrize(
    "cls, state, error, message",
    [
        (PackResult, None, TypeError, "state must be a tuple, not NoneType"),
        (PackResult, RESULT_STATE[:4], ValueError, "must hold 5 values, not 4"),
        (PackResult, (True, [], [], [(0, [])], []), ValueError, "box index 0 is out of range"),
        (PackResult, (*RESULT_STATE[:4], [-1]), ValueError, "item index -1 is out of range"),
        (PackResult, (*RESULT_STATE[:4], [math.nan]), TypeError, "value 0 has the wrong type (float)"),
        (PackResult, (True, {}, [], [], []), TypeError, "item table must be a list, not dict"),
        (Item, ITEM_STATE[:7] + (7, None), TypeError, "value 7 has the wrong type (int)"),
        (quarvex.PackedBox, SHARED.boxes[0].__getstate__()[:2] + ([(5, 1, 1, 1, "WLD", 0, 0, 0)],),
         ValueError, "item index 5 is out of range (1 in the table)"),
        (quarvex.PackedItem, ([ITEM_STATE], (0, 1, 1, 1, "WLD", 0, 0)), ValueError, "must hold 8 values"),
    ],
)
def test_invalid_states_raise_clear_errors(cls, state, error, message):
    with pytest.raises(error) as raised:
        cls.__new__(cls).__setstate__(state)
    assert message in str(raised.value)
