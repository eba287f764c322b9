"""The peer packer, py3dbp, fed with the same request dicts as quarvex.

py3dbp turns every item freely and knows bins, not box types, so a request is
expressible only when every item may rotate freely. Each active box type
becomes as many bins as the request could need (one per item, fewer when its
supply is limited); py3dbp fills them smallest first.
"""

# py3dbp has no "no limit"; a weight no order reaches stands in for it.
_UNLIMITED_WEIGHT = 10**9
_FIXED_RULES = {"never", "keepflat", "keep_flat"}


def expressible(request):
    return all(
        (item.get("AllowedRotation") or "BestFit").lower() not in _FIXED_RULES for item in request["items"]
    )


def _bin_specs(box, count):
    """(name, width, height, depth, weight limit) of each bin that stands for the box type."""
    limit = box["MaxWeight"]
    # The peer counts only the contents against the limit, so the empty weight comes off it.
    content_limit = limit - box.get("BoxWeight", 0.0) if limit >= 0 else _UNLIMITED_WEIGHT
    supply = box.get("MaximumBoxes")
    copies = count if supply is None else max(0, min(count, int(supply)))
    return [
        (f"{box['Reference']}#{k}", box["Width"], box["Length"], box["Depth"], content_limit)
        for k in range(copies)
    ]


def pack(request):
    """Packs the request; the returned packer holds the filled bins."""
    # Imported here so that choosing requests by expressible() needs no py3dbp.
    from py3dbp import Bin, Item, Packer

    items = request["items"]
    packer = Packer()
    for box in request["boxes"]:
        if box.get("Active", True):
            for spec in _bin_specs(box, len(items)):
                packer.add_bin(Bin(*spec))
    for item in items:
        packer.add_item(
            Item(item["ItemCode"], item["Width"], item["Length"], item["Depth"], item.get("Weight", 0.0))
        )
    packer.pack(bigger_first=False, distribute_items=True)
    return packer


def outcome(packer, request):
    """(boxes used, items placed, items unplaced, volume utilisation %) of a packed request."""
    used = [peer_bin for peer_bin in packer.bins if peer_bin.items]
    placed = sum(len(peer_bin.items) for peer_bin in used)
    used_volume = sum(float(item.get_volume()) for peer_bin in used for item in peer_bin.items)
    inner_volume = sum(float(peer_bin.get_volume()) for peer_bin in used)
    utilisation = 100.0 * used_volume / inner_volume if inner_volume > 0 else 0.0
    return len(used), placed, len(request["items"]) - placed, utilisation
