"""What the service takes on at once and from one request; the flags of `quarvex serve`."""

from __future__ import annotations

from dataclasses import dataclass


@dataclass(frozen=True)
class Limits:
    """What one request may ask of the service, and how much it takes at once."""

    max_body: int = 1 << 20
    max_items: int = 5000
    max_time_limit: float = 10.0
    concurrency: int = 1
    queue: int = 16
    deadline: float = 30.0
    retry_after: int = 1
