"""A result read for drawing: its packed boxes, their items with the weight each
carries, and the items left out with why, from a PackResult or a solve response."""

from __future__ import annotations

import math
from collections.abc import Mapping
from dataclasses import dataclass, replace
from typing import Any

from .._core import PackResult, _carried_loads

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
class PackedBoxView:
    reference: str  # its box type's, with the type's inner sizes
    width: float
    length: float
    depth: float
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
    boxes: tuple[PackedBoxView, ...]
    left_out: tuple[LeftOut, ...]
    reasons: tuple[str, ...]  # why each was left out, as the engine names it; "" when not known


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
    if isinstance(value, bool) or not isinstance(value, int | float) or not math.isfinite(value):
        raise ValueError(f"{where}: {key!r} must be a finite number, not {value!r}")
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


def _packed_box_view(value: Any, where: str) -> PackedBoxView:
    record = _record(value, where)
    return PackedBoxView(
        reference=str(_field(record, "box_reference", where)),
        width=_number(record, "width", where),
        length=_number(record, "length", where),
        depth=_number(record, "depth", where),
        max_weight=_optional_number(record, "max_weight", where),
        weight=_number(record, "weight", where),
        fill=_number(record, "volume_utilisation", where),
        blocks=_with_loads(
            [_block(item, f"{where}, item {n}") for n, item in enumerate(_list(record, "items", where))]
        ),
    )


def _left_out(value: Any, where: str) -> LeftOut:
    record = _record(value, where)
    return LeftOut(
        code=str(_field(record, "ItemCode", where)),
        reference=str(record.get("ItemReference") or ""),
        rotation=str(record.get("AllowedRotation") or ""),
        width=_number(record, "Width", where),
        length=_number(record, "Length", where),
        depth=_number(record, "Depth", where),
        weight=_number(record, "Weight", where),
    )


def _with_loads(blocks: list[Block]) -> tuple[Block, ...]:
    """The blocks with the weight each carries, as the engine shares it out."""
    loads = _carried_loads([(b.x, b.y, b.z, b.width, b.length, b.depth, b.weight) for b in blocks])
    return tuple(replace(block, load=load) for block, load in zip(blocks, loads))


def picture_of(result: Result) -> Picture:
    if not isinstance(result, PackResult | Mapping):
        raise TypeError(f"result must be a PackResult or a solve response dict, not {type(result).__name__}")
    data = result.to_dict() if isinstance(result, PackResult) else result
    boxes = tuple(
        _packed_box_view(box, f"result box {n}") for n, box in enumerate(_list(data, "boxes", "result"))
    )
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
