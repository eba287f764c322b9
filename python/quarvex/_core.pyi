"""
Ostrellan 3D bin-packing engine.

solve(json) -> json is the simplest entry point; pack_dicts(items, boxes) and pack(items, boxes) return a richer PackResult object.
"""
from __future__ import annotations
import collections.abc
import quarvex
import typing
__all__: list[str] = ['Box', 'Item', 'PackResult', 'PackedBox', 'PackedItem', 'Rotation', 'TimeoutError', 'optimize', 'pack', 'pack_dicts', 'request_fault', 'solve']
class Rotation:
    """
    How free an item is to be reoriented while packing.
    
    Members:
    
      NEVER : Must be packed exactly as given (Width/Length/Depth).
    
      KEEP_FLAT : May swap Width/Length but stay 'this way up'.
    
      BEST_FIT : May be placed in any of the 6 axis orderings.
    """
    BEST_FIT: typing.ClassVar[Rotation]
    KEEP_FLAT: typing.ClassVar[Rotation]
    NEVER: typing.ClassVar[Rotation]
    __members__: typing.ClassVar[dict[str, Rotation]]
    @typing.overload
    def __eq__(self: quarvex.Rotation, other: quarvex.Rotation) -> bool:
        ...
    @typing.overload
    def __eq__(self: quarvex.Rotation, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self: quarvex.Rotation) -> int:
        ...
    def __init__(self: quarvex.Rotation, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self: quarvex.Rotation) -> int:
        ...
    @typing.overload
    def __ne__(self: quarvex.Rotation, other: quarvex.Rotation) -> bool:
        ...
    @typing.overload
    def __ne__(self: quarvex.Rotation, other: typing.Any) -> bool:
        ...
    def __reduce__(self) -> tuple[type, tuple[int]]:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self: quarvex.Rotation, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class Item:
    """
    A single item to be packed.
    """
    def __getstate__(self: quarvex.Item) -> tuple:
        ...
    def __init__(self: quarvex.Item, item_code: str, item_reference: str, width: typing.SupportsFloat | typing.SupportsIndex, length: typing.SupportsFloat | typing.SupportsIndex, depth: typing.SupportsFloat | typing.SupportsIndex, weight: typing.SupportsFloat | typing.SupportsIndex, box_group: str = '', allowed_rotation: quarvex.Rotation = Rotation.BEST_FIT, max_load: typing.SupportsFloat | typing.SupportsIndex | None = None) -> None:
        ...
    def __reduce__(self) -> tuple:
        ...
    def __repr__(self: quarvex.Item) -> str:
        ...
    def __setstate__(self: quarvex.Item, arg0: typing.Any) -> None:
        ...
    def to_dict(self: quarvex.Item) -> typing.Any:
        """
        Every feature of this item as a plain Python dict.
        """
    @property
    def allowed_rotation(self) -> quarvex.Rotation:
        ...
    @property
    def box_group(self) -> str | None:
        ...
    @property
    def depth(self) -> float:
        ...
    @property
    def has_box_group(self) -> bool:
        ...
    @property
    def item_code(self) -> str:
        ...
    @property
    def item_reference(self) -> str:
        ...
    @property
    def length(self) -> float:
        ...
    @property
    def max_load(self) -> float | None:
        """
        Most weight it may carry on top (None: no limit); optimize honours it, pack ignores it.
        """
    @property
    def volume(self) -> float:
        ...
    @property
    def weight(self) -> float:
        ...
    @property
    def width(self) -> float:
        ...
class Box:
    """
    A box type available to pack items into.
    """
    def __getstate__(self: quarvex.Box) -> tuple:
        ...
    def __init__(self: quarvex.Box, reference: str, width: typing.SupportsFloat | typing.SupportsIndex, length: typing.SupportsFloat | typing.SupportsIndex, depth: typing.SupportsFloat | typing.SupportsIndex, max_weight: typing.SupportsFloat | typing.SupportsIndex, empty_weight: typing.SupportsFloat | typing.SupportsIndex = 0.0, active: bool = True, max_quantity: typing.SupportsInt | typing.SupportsIndex | None = None, cost: typing.SupportsFloat | typing.SupportsIndex | None = None) -> None:
        ...
    def __reduce__(self) -> tuple:
        ...
    def __repr__(self: quarvex.Box) -> str:
        ...
    def __setstate__(self: quarvex.Box, arg0: typing.Any) -> None:
        ...
    def to_dict(self: quarvex.Box) -> typing.Any:
        """
        Every feature of this box type as a plain Python dict.
        """
    @property
    def active(self) -> bool:
        ...
    @property
    def cost(self) -> float | None:
        """
        Price of one box of the type (None: not given); optimize's objective "cost" uses it, pack ignores it.
        """
    @property
    def depth(self) -> float:
        ...
    @property
    def empty_weight(self) -> float:
        ...
    @property
    def has_limited_quantity(self) -> bool:
        ...
    @property
    def has_weight_limit(self) -> bool:
        ...
    @property
    def inner_volume(self) -> float:
        ...
    @property
    def length(self) -> float:
        ...
    @property
    def max_quantity(self) -> int | None:
        ...
    @property
    def max_weight(self) -> float:
        ...
    @property
    def reference(self) -> str:
        ...
    @property
    def width(self) -> float:
        ...
class PackedItem:
    """
    An Item placed at a specific position inside a box.
    """
    def __getstate__(self: quarvex.PackedItem) -> tuple:
        ...
    def __reduce__(self) -> tuple:
        ...
    def __repr__(self: quarvex.PackedItem) -> str:
        ...
    def __setstate__(self: quarvex.PackedItem, arg0: typing.Any) -> None:
        ...
    def to_dict(self: quarvex.PackedItem) -> typing.Any:
        ...
    @property
    def depth(self) -> float:
        """
        Placed (post-rotation) depth.
        """
    @property
    def item(self) -> quarvex.Item:
        """
        The original Item that was placed.
        """
    @property
    def length(self) -> float:
        """
        Placed (post-rotation) length.
        """
    @property
    def orientation(self) -> str:
        """
        Axis mapping used, e.g. 'WLD' = original order, 'LWD' = width/length swapped, etc.
        """
    @property
    def rotated(self) -> bool:
        """
        True if this item was not placed in its original orientation.
        """
    @property
    def volume(self) -> float:
        ...
    @property
    def weight(self) -> float:
        ...
    @property
    def width(self) -> float:
        """
        Placed (post-rotation) width.
        """
    @property
    def x(self) -> float:
        ...
    @property
    def y(self) -> float:
        ...
    @property
    def z(self) -> float:
        ...
class PackedBox:
    """
    A box together with everything packed into it.
    """
    def __getstate__(self: quarvex.PackedBox) -> tuple:
        ...
    def __len__(self: quarvex.PackedBox) -> int:
        ...
    def __reduce__(self) -> tuple:
        ...
    def __repr__(self: quarvex.PackedBox) -> str:
        ...
    def __setstate__(self: quarvex.PackedBox, arg0: typing.Any) -> None:
        ...
    def to_dict(self: quarvex.PackedBox) -> typing.Any:
        ...
    @property
    def box(self) -> quarvex.Box:
        ...
    @property
    def inner_volume(self) -> float:
        ...
    @property
    def item_weight(self) -> float:
        ...
    @property
    def items(self) -> list[quarvex.PackedItem]:
        ...
    @property
    def max_weight(self) -> float:
        ...
    @property
    def remaining_depth(self) -> float:
        ...
    @property
    def remaining_length(self) -> float:
        ...
    @property
    def remaining_weight(self) -> float:
        ...
    @property
    def remaining_width(self) -> float:
        ...
    @property
    def unused_volume(self) -> float:
        ...
    @property
    def used_depth(self) -> float:
        ...
    @property
    def used_length(self) -> float:
        ...
    @property
    def used_volume(self) -> float:
        ...
    @property
    def used_width(self) -> float:
        ...
    @property
    def volume_utilisation(self) -> float:
        """
        Used volume as a percentage (0-100) of inner volume.
        """
    @property
    def weight(self) -> float:
        """
        Empty weight + all item weights.
        """
class PackResult:
    """
    The outcome of a packing run.
    """
    def __getstate__(self: quarvex.PackResult) -> tuple:
        ...
    def __reduce__(self) -> tuple:
        ...
    def __repr__(self: quarvex.PackResult) -> str:
        ...
    def __setstate__(self: quarvex.PackResult, arg0: typing.Any) -> None:
        ...
    def to_dict(self: quarvex.PackResult) -> typing.Any:
        """
        The full result -- every box, every placed item, and every unplaced item -- as a plain Python dict.
        """
    def to_json(self: quarvex.PackResult, indent: typing.SupportsInt | typing.SupportsIndex = 2, *, explain: bool = False) -> str:
        """
        The full result as a JSON string.
        """
    def unplaced_reasons(self: quarvex.PackResult) -> list[str]:
        """
        Why each unplaced item was not packed, in the order of unplaced_items,
        judged against every box type the run was given: "no_active_box_type",
        "too_large", "too_heavy", "no_type_large_and_strong", "box_group",
        "supply_exhausted" or "no_room_beside_others".
        
        >>> pack_dicts([{"ItemCode": "big", "Width": 9, "Length": 9, "Depth": 9}],
        ...            [{"Reference": "S", "Width": 1, "Length": 1, "Depth": 1, "MaxWeight": -1}]).unplaced_reasons()
        ['too_large']
        """
    @property
    def boxes(self) -> list[quarvex.PackedBox]:
        ...
    @property
    def overall_volume_utilisation(self) -> float:
        ...
    @property
    def success(self) -> bool:
        """
        True if every item was placed in some box.
        """
    @property
    def total_placed(self) -> int:
        ...
    @property
    def total_unplaced(self) -> int:
        ...
    @property
    def unplaced_items(self) -> list[quarvex.Item]:
        ...
class TimeoutError(TimeoutError):
    """
    A call's time_limit ran out before it finished; a TimeoutError.
    """
def _carried_loads(blocks: collections.abc.Sequence[typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(7)"]]) -> list[float]:
    """
    The weight on each packed item's top, given (x, y, z, width, length, depth, weight) per item of one box (for the pictures).
    """
def _fill_counts() -> dict:
    """
    Box fills made on this thread so far, by what asked for them (for the benchmarks).
    """
def _solve_if_clean(body: bytes, *, strict: bool, explain: bool, max_items: typing.SupportsInt | typing.SupportsIndex) -> bytes | None:
    """
    solve()'s answer as bytes when the request reads cleanly (strictly, if asked) with at most max_items items and nothing only the search honours; None otherwise. For the HTTP service.
    """
def optimize(items: collections.abc.Sequence[quarvex.Item] | collections.abc.Sequence[collections.abc.Mapping[str, typing.Any]] | None, boxes: collections.abc.Sequence[quarvex.Box] | collections.abc.Sequence[collections.abc.Mapping[str, typing.Any]] | None, *, time_limit: typing.SupportsFloat | typing.SupportsIndex | None = 1.0, effort: typing.SupportsInt | typing.SupportsIndex | None = None, seed: typing.SupportsInt | typing.SupportsIndex = 0, min_support: typing.SupportsFloat | typing.SupportsIndex = 0.0, objective: str = 'boxes', strict: bool = False) -> quarvex.PackResult:
    """
    Searches for a packing that places the most items, in the fewest boxes,
    of the least total volume. Takes items and boxes as pack() or
    pack_dicts() do and returns a PackResult.
    
    time_limit: wall seconds (None: no limit); effort: work units, the same
    result for the same seed on any machine (None: no limit); at least one
    must be given. The time limit bounds the whole call: when pack() itself
    does not finish within it, the search starts from its own orders.
    min_support: the share of each item's base that must rest on the tops
    of items below it (0.0: as the default packer). objective: "boxes"
    (fewest boxes, then least volume) or "cost" (least total Cost of the
    boxes first; every usable box type needs a Cost). Each item's MaxLoad
    (max_load) caps the weight resting on its top, directly or through other
    items, shared among supporters by contact area; 0 lets nothing stand on
    it. With min_support 0.0, no MaxLoad and pack() finished within the time
    limit (always, without one), the result is never worse than pack()'s.
    strict: refuse request dicts with unknown keys, other rotation names,
    values of the wrong type or sizes that are negative or not finite
    (ValueError naming the fault and its JSON pointer) instead of reading
    them leniently.
    Ctrl-C stops the call with KeyboardInterrupt.
    
    >>> result = optimize(items, boxes, time_limit=0.5)
    >>> len(result.boxes) <= len(pack(items, boxes).boxes)
    True
    """
def pack(items: collections.abc.Sequence[quarvex.Item], boxes: collections.abc.Sequence[quarvex.Box], *, time_limit: typing.SupportsFloat | typing.SupportsIndex | None = None) -> quarvex.PackResult:
    """
    Like pack_dicts(), but takes lists of quarvex.Item / quarvex.Box
    objects instead of plain dicts.
    """
def pack_dicts(items: collections.abc.Sequence[collections.abc.Mapping[str, typing.Any]] | None, boxes: collections.abc.Sequence[collections.abc.Mapping[str, typing.Any]] | None, *, time_limit: typing.SupportsFloat | typing.SupportsIndex | None = None, strict: bool = False) -> quarvex.PackResult:
    """
    Like solve(), but takes/returns native Python objects: pass lists
    of plain dicts shaped like items.json / boxes.json and get back a
    rich PackResult with attribute access to every feature.
    """
def request_fault(request: typing.Any, *, search: bool = False) -> tuple[str, str] | None:
    """
    The first fault that strict reading finds in a request (the parsed JSON
    object), as (JSON pointer, message); None when it reads cleanly. search:
    read it as optimize() does, which also honours MaxLoad, Cost and "options".
    
    >>> request_fault({"items": [{"ItemCode": "lamp", "Width": 1, "Length": 1, "Depth": 1,
    ...                           "AllowedRotation": "Upright"}]})
    ('/items/0/AllowedRotation', 'item \\'lamp\\': AllowedRotation must be "Never", "KeepFlat" or "BestFit", not "Upright"')
    """
def solve(request_json: str, *, time_limit: typing.SupportsFloat | typing.SupportsIndex | None = None, explain: bool = False) -> str:
    """
    The simplest entry point: pass a JSON string shaped like
    {"items": [...], "boxes": [...]} and get a JSON string back.
    No quarvex types required on either side.
    """
