"""Recorded responses: each golden request gives its response byte for byte on
all three roads, and a sound packing; many more generated requests give the
responses whose digests were recorded. `make golden` records them anew."""

import difflib
import hashlib
import json
import lzma
import re
import threading
from pathlib import Path

import jsonschema
import pytest
from validator import validate

import quarvex
from bench import generators

DATA = Path(__file__).resolve().parents[1] / "data"
GOLDEN = sorted((DATA / "golden").glob("*.request.json"))
# Whitespace outside strings: the recorded response is indented, solve's is not.
LAYOUT = re.compile(r'("(?:[^"\\]|\\.)*")|\s+')
REQUEST_SCHEMA = jsonschema.Draft202012Validator(quarvex.request_schema())
RESPONSE_SCHEMA = jsonschema.Draft202012Validator(quarvex.response_schema())


@pytest.mark.parametrize("path", GOLDEN, ids=lambda path: path.name.removesuffix(".request.json"))
def test_golden_response(path):
    text = path.read_text()
    request = json.loads(text)
    expected = path.with_name(path.name.replace(".request.", ".response.")).read_text()
    assert quarvex.solve(text) == LAYOUT.sub(lambda m: m.group(1) or "", expected)
    assert quarvex.pack_dicts(request["items"], request["boxes"]).to_json(1) + "\n" == expected
    assert quarvex.pack(*generators.as_objects(request)).to_json(1) + "\n" == expected
    validate(json.loads(expected), request["items"], request["boxes"])
    # The schemas and strict reading describe every recorded request and response.
    assert quarvex.request_fault(request) is None
    REQUEST_SCHEMA.validate(request)
    explained = json.loads(quarvex.solve(text, explain=True))
    RESPONSE_SCHEMA.validate(explained)
    assert (
        explained.pop("unplaced_reasons")
        == quarvex.pack_dicts(request["items"], request["boxes"]).unplaced_reasons()
    )
    assert explained == json.loads(expected)


def test_generated_requests_match_their_digests():
    recorded = json.loads((DATA / "digests.json").read_text())
    requests = generators.feature_requests(**recorded["parameters"])
    with lzma.open(DATA / "digested_responses.txt.xz", "rt", encoding="utf-8") as file:
        responses = file.read().splitlines()
    for index, (request, digest, response) in enumerate(
        zip(requests, recorded["sha256"], responses, strict=True)
    ):
        # The stored response only shows what changed: the recorded digest is the reference.
        assert hashlib.sha256(response.encode()).hexdigest() == digest, f"stored response {index} is stale"
        text = quarvex.solve(json.dumps(request))
        if hashlib.sha256(text.encode()).hexdigest() != digest:
            pytest.fail(
                f"request {index} of {recorded['generator']}(**{recorded['parameters']}) gives another "
                f"response:\n{json.dumps(request)}\n" + "\n".join(response_diff(response, text)),
                pytrace=False,
            )
        if index % 10 == 0:
            validate(json.loads(text), request["items"], request["boxes"])


def response_diff(recorded, now):
    def lines(text):
        return json.dumps(json.loads(text), indent=1).splitlines()

    return difflib.unified_diff(lines(recorded), lines(now), "recorded response", "response now", lineterm="")


def test_fifty_thousand_stacked_sheets_fit_a_small_thread_stack():
    # Each sheet sits on the one below: recursion per level would overflow this stack.
    items = [{"ItemCode": "post", "Width": 1, "Length": 1, "Depth": 100, "AllowedRotation": "Never"}]
    items += [{"ItemCode": "sheet", "Width": 9, "Length": 9, "Depth": 0.001}] * 50_000
    boxes = [{"Reference": "tall", "Width": 10, "Length": 10, "Depth": 100, "MaxWeight": -1}]
    results = []
    default_size = threading.stack_size(256 * 1024)
    try:
        thread = threading.Thread(target=lambda: results.append(quarvex.pack_dicts(items, boxes)))
        thread.start()
        thread.join()
    finally:
        threading.stack_size(default_size)
    (result,) = results
    assert result.success and len(result.boxes) == 1
