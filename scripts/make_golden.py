"""Writes the expected responses under tests/data/ from the engine as it is now.

    python scripts/make_golden.py

Run it (`make golden`) only when a change of behaviour is intended, and read
the diff: every changed response is a changed result.
- golden/hand-*.request.json are written by hand; their responses are written here.
- golden/random-*.request.json come from bench.generators.feature_request.
- digests.json holds the sha256 of solve's text for many more generated requests, and
  digested_responses.txt.xz those texts, to show what changed when a digest fails.
"""

import hashlib
import json
import lzma
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT))

import quarvex  # noqa: E402
from bench import generators  # noqa: E402

DATA = ROOT / "tests" / "data"
GOLDEN = DATA / "golden"
RANDOM_SEEDS = range(1, 41)
DIGESTS = {"first_seed": 1000, "count": 3000, "max_items": 40}


def write_json(path, value):
    path.write_text(json.dumps(value, indent=1, ensure_ascii=False) + "\n")


def response_text(request):
    """The response as solve writes it, indented by the same writer so that a diff reads well."""
    return quarvex.pack_dicts(request.get("items"), request.get("boxes")).to_json(1) + "\n"


def main():
    for path in GOLDEN.glob("random-*.json"):
        path.unlink()
    for seed in RANDOM_SEEDS:
        write_json(GOLDEN / f"random-{seed:02d}.request.json", generators.feature_request(seed))
    write_json(
        GOLDEN / "example-order.request.json", json.loads((ROOT / "examples" / "order.json").read_text())
    )
    requests = sorted(GOLDEN.glob("*.request.json"))
    for path in requests:
        request = json.loads(path.read_text())
        path.with_name(path.name.replace(".request.", ".response.")).write_text(response_text(request))

    texts = [quarvex.solve(json.dumps(request)) for request in generators.feature_requests(**DIGESTS)]
    digests = [hashlib.sha256(text.encode()).hexdigest() for text in texts]
    # The responses themselves, one a line, so that a failing digest can show what changed.
    with lzma.open(DATA / "digested_responses.txt.xz", "wt", encoding="utf-8", preset=9) as file:
        file.writelines(text + "\n" for text in texts)
    write_json(
        DATA / "digests.json",
        {"generator": "bench.generators.feature_requests", "parameters": DIGESTS, "sha256": digests},
    )
    print(f"{len(requests)} golden pairs, {len(digests)} digests")


if __name__ == "__main__":
    main()
