"""`quarvex serve` as a client sees it: a real server process on a free local port."""

import http.client
import json
import signal
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest
from conftest import watched_page

import quarvex
from bench import generators

pytest.importorskip("starlette")
pytest.importorskip("uvicorn")

ORDER = (Path(__file__).parents[2] / "examples" / "order.json").read_bytes()
JSON = "application/json"


class Server:
    def __init__(self, *flags):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        # One process, so that /metrics counts every request of the test.
        command = [sys.executable, "-m", "quarvex", "serve", "--port", str(self.port), "--workers", "1"]
        command += map(str, flags)
        self.process = subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
        for _ in range(200):
            try:
                if self.request("GET", "/healthz")[0] == 200:
                    return
            except OSError:
                time.sleep(0.1)
        self.process.kill()
        raise RuntimeError(f"the server did not start: {self.process.communicate()[1]}")

    def request(self, method, path, body=None, content_type=JSON, headers=()):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        try:
            connection.request(method, path, body, {"Content-Type": content_type, **dict(headers)})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def in_flight(self):
        metrics = self.request("GET", "/metrics")[2].decode()
        return int(
            next(
                line for line in metrics.splitlines() if line.startswith("quarvex_requests_in_flight ")
            ).split()[1]
        )

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        _, log = self.process.communicate(timeout=60)
        return self.process.returncode, log


@pytest.fixture(scope="module")
def server():
    server = Server("--max-items", 40, "--max-body", 20000, "--max-time-limit", 2)
    yield server
    server.stop()


def test_endpoints_answer_as_the_library_does(server):
    status, headers, body = server.request("POST", "/v1/pack", ORDER, headers={"X-Request-ID": "order-1"})
    assert (status, body.decode(), headers["x-request-id"]) == (200, quarvex.solve(ORDER.decode()), "order-1")
    status, _, body = server.request("POST", "/v1/pack?explain=true", ORDER)
    assert (status, body.decode()) == (200, quarvex.solve(ORDER.decode(), explain=True))

    status, _, body = server.request("POST", "/v1/optimize?time_limit=0.1&min_support=1", ORDER)
    summary = json.loads(body)["summary"]
    assert status == 200
    assert summary["total_placed"] + summary["total_unplaced"] == len(json.loads(ORDER)["items"])

    lines = [json.dumps(generators.feature_request(seed)) for seed in range(6)]
    lines[1], lines[2] = " ", "not json"
    lines[4] = '{"items": [{"ItemCode": "A", "MaxLoad": 1}], "boxes": []}'
    status, _, body = server.request("POST", "/v1/batch", "\n".join(lines) + "\n", "application/x-ndjson")
    answers = body.decode().splitlines()
    assert status == 200 and len(answers) == len(lines)
    for number, (line, answer) in enumerate(zip(lines, answers, strict=True), 1):
        if number == 2:
            assert answer == ""  # a blank line is no request
        elif number in (3, 5):
            assert json.loads(answer)["error"]["line"] == number
        else:
            assert answer == quarvex.solve(line)

    pytest.importorskip("plotly")
    status, headers, body = server.request("POST", "/v1/view", ORDER)
    assert status == 200 and headers["content-type"].startswith("text/html") and b"Packed boxes" in body

    for path, expected in [
        ("/healthz", b"ok"),
        ("/readyz", b"ready"),
        ("/openapi.json", b'"/v1/batch"'),
        ("/docs", b"/openapi.json"),
        ("/", b"/v1/example"),
        ("/v1/example", ORDER),
        ("/v1/schema", b'"MaximumBoxes"'),
        ("/metrics", b'quarvex_requests_total{route="/v1/pack",status="200"} 2'),
    ]:
        status, _, body = server.request("GET", path)
        assert status == 200 and expected in body, path


def test_the_page_packs_a_request_and_shows_faults_as_text(server, browser):
    pytest.importorskip("plotly")
    origin = f"http://127.0.0.1:{server.port}"
    page, errors, elsewhere = watched_page(browser, origin)
    page.goto(origin + "/")
    page.click("#example")
    page.wait_for_function("document.getElementById('request').value.length > 0")
    page.click("#run")
    page.frame_locator("#picture").locator(".gl-container canvas").first.wait_for()
    packed = json.loads(quarvex.solve(ORDER.decode(), explain=True))
    summary = packed["summary"]
    counts = [str(summary[key]) for key in ("box_count", "total_placed", "total_unplaced")]
    shown = [*counts, f"{summary['overall_volume_utilisation']:.1f} %"]
    labels = ["Boxes used", "Items placed", "Items not placed", "Volume used"]
    assert page.locator("#summary td").all_text_contents() == [t for row in zip(labels, shown) for t in row]
    assert page.locator("#unplaced td").all_text_contents() == ["RUG", packed["unplaced_reasons"][0]]

    markup = "<img src=x onerror=window.hacked=1>"
    invalid = {"items": [dict(ITEM, ItemCode=markup, AllowedRotation="Upright")], "boxes": [BOX]}
    page.fill("#request", json.dumps(invalid))
    page.click("#run")
    page.wait_for_selector("#error:not([hidden])")
    pointer, message = quarvex.request_fault(invalid)
    assert page.text_content("#error") == f"422 InvalidRequest at {pointer}: {message}"
    assert markup in message and page.evaluate("window.hacked") is None
    # The browser itself logs the 422 answer as a failed load; anything else is the page's fault.
    assert [error for error in errors if "status of 422" not in error] == [] and elsewhere == []
    assert page.is_hidden("#result")


ITEM = {"ItemCode": "A", "Width": 1, "Length": 1, "Depth": 1, "Weight": 1}
BOX = {"Reference": "B", "Width": 2, "Length": 2, "Depth": 2, "BoxWeight": 0, "MaxWeight": 9}


def order(*items, boxes=None, **extra):
    """A request of the items (ITEM if none) and the boxes (BOX if none)."""
    return {"items": list(items) or [ITEM], "boxes": boxes or [BOX], **extra}


@pytest.mark.parametrize(
    ("path", "body", "content_type", "status", "kind", "pointer"),
    [
        ("/v1/pack", ORDER, "text/plain", 415, "UnsupportedMediaType", None),
        ("/v1/batch", ORDER, JSON, 415, "UnsupportedMediaType", None),
        ("/v1/pack", b'{"items": [', JSON, 400, "InvalidJSON", None),
        ("/v1/pack", b'{"items": [NaN]}', JSON, 400, "InvalidJSON", None),
        ("/v1/pack", b"[1]", JSON, 422, "InvalidRequest", ""),
        ("/v1/pack", order(ITEM, {**ITEM, "MaxLoad": 0}), JSON, 422, "NeedsSearch", "/items/1/MaxLoad"),
        (
            "/v1/pack?reading=lenient",
            order(boxes={"b": {**BOX, "Cost": 1}}),
            JSON,
            422,
            "NeedsSearch",
            "/boxes/b/Cost",
        ),
        ("/v1/view", order(options={}), JSON, 422, "NeedsSearch", "/options"),
        ("/v1/pack", order({**ITEM, "Width": "wide"}), JSON, 422, "InvalidRequest", "/items/0/Width"),
        ("/v1/pack?reading=lenient", order({**ITEM, "Width": "wide"}), JSON, 422, "RuntimeError", None),
        ("/v1/optimize", order({**ITEM, "Wieght": 1}), JSON, 422, "InvalidRequest", "/items/0/Wieght"),
        ("/v1/pack?reading=loose", order(), JSON, 422, "InvalidParameter", None),
        ("/v1/pack", order(*[ITEM] * 41), JSON, 413, "TooManyItems", "/items"),
        ("/v1/pack", b" " * 20001, JSON, 413, "PayloadTooLarge", None),
        ("/v1/optimize?time_limit=3", order(), JSON, 422, "InvalidParameter", None),
        ("/v1/optimize?time_limit=inf", order(), JSON, 422, "InvalidParameter", None),
        ("/v1/optimize", order(options={"objective": "cost"}), JSON, 422, "ValueError", None),
        ("/v2/pack", b"{}", JSON, 404, "NotFound", None),
    ],
)
def test_faults_answer_a_json_error_naming_the_field(server, path, body, content_type, status, kind, pointer):
    if isinstance(body, dict):
        body = json.dumps(body)
    answer = server.request("POST", path, body, content_type)
    error = json.loads(answer[2])["error"]
    assert (answer[0], error["type"], error["pointer"]) == (status, kind, pointer)
    assert error["message"]


def test_a_full_service_refuses_with_503_and_answers_504_past_the_deadline():
    server = Server("--concurrency", 1, "--queue", 1, "--max-time-limit", 1, "--deadline", 1.5)
    answers = {}

    def search(name):
        answers[name] = server.request("POST", "/v1/optimize?time_limit=1", ORDER)

    try:
        first = threading.Thread(target=search, args=("first",))
        first.start()
        while server.in_flight() < 2:
            time.sleep(0.01)
        queued = threading.Thread(target=search, args=("queued",))
        queued.start()
        while server.in_flight() < 3:
            time.sleep(0.01)
        status, headers, body = server.request("POST", "/v1/pack", ORDER)
        refusal = (status, headers.get("retry-after"), json.loads(body)["error"]["type"])
        assert refusal == (503, "1", "Saturated")
        first.join()
        queued.join()
        assert answers["first"][0] == 200
        status, _, body = answers["queued"]
        assert (status, json.loads(body)["error"]["type"]) == (504, "DeadlineExceeded")
    finally:
        server.stop()


def test_sigterm_finishes_accepted_requests_and_exits_0():
    server = Server("--concurrency", 2, "--queue", 4)
    answers = []
    clients = [
        threading.Thread(
            target=lambda: answers.append(server.request("POST", "/v1/optimize?time_limit=1", ORDER))
        )
        for _ in range(4)
    ]
    for client in clients:
        client.start()
    while server.in_flight() < 5:
        time.sleep(0.01)
    status, log = server.stop()
    for client in clients:
        client.join()
    assert status == 0, log
    assert [answer[0] for answer in answers] == [200] * 4
    with pytest.raises(ConnectionRefusedError):
        server.request("GET", "/healthz")
    records = [json.loads(line) for line in log.splitlines() if line.startswith("{")]
    assert sum(record["path"] == "/v1/optimize" and record["status"] == 200 for record in records) == 4
