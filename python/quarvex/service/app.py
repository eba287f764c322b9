"""The HTTP application: thin handlers over the library, the limits, the
access log and errors as JSON."""

from __future__ import annotations

import importlib.util
import json
import math
import pickle
import re
import sys
import time
import uuid
from collections.abc import AsyncIterator, Awaitable, Callable, Mapping
from contextlib import asynccontextmanager
from functools import partial
from pathlib import Path
from typing import Any
from urllib.parse import parse_qsl

from starlette.applications import Starlette
from starlette.exceptions import HTTPException
from starlette.requests import Request
from starlette.responses import HTMLResponse, JSONResponse, PlainTextResponse, Response, StreamingResponse
from starlette.routing import Route
from starlette.types import ASGIApp, Message, Receive, Scope, Send

from .. import PackResult, pack_dicts, request_fault, request_schema, solve
from .._core import _solve_if_clean
from ..batch import BatchError, BatchOutcome, is_blank, pack_chunk
from ..cli import _outcome_line
from ..search_settings import Search, request_elements, unhonoured_at
from .engine import DeadlinePassed, Engine, Saturated, Ticket
from .limits import Limits
from .metrics import Metrics
from .openapi import DOCS_PAGE, OPENAPI

JSON = b"application/json"
JSON_TYPES = ("application/json",)
NDJSON_TYPES = ("application/x-ndjson", "application/jsonl", "application/ndjson")
SEARCH_PARAMETERS = ("time_limit", "min_support", "objective")
READINGS = ("strict", "lenient")
# A caller's own request id is kept when it is short and plain; otherwise one is made.
_REQUEST_ID = re.compile(r"[A-Za-z0-9._:-]{1,64}")
_HERE = Path(__file__).parent
# Package data, served as it is. The order is a copy of examples/order.json, which is
# not installed; the service's test keeps the two equal.
PAGE = (_HERE / "page.html").read_text(encoding="utf-8")
EXAMPLE_ORDER = (_HERE / "example_order.json").read_bytes()


class ApiError(Exception):
    """An answer other than success: the status, a type, a one-line message and
    the JSON pointer to the field at fault (None when no one field is)."""

    def __init__(self, status: int, type: str, message: str, pointer: str | None = None) -> None:
        super().__init__(message)
        self.status, self.type, self.message, self.pointer = status, type, message, pointer

    def body(self) -> bytes:
        error = {"type": self.type, "message": self.message, "pointer": self.pointer}
        return json.dumps({"error": error}, ensure_ascii=False, separators=(",", ":")).encode()


def create_app(limits: Limits) -> ASGIApp:
    """The service's ASGI application.

    >>> uvicorn.run(create_app(Limits(max_items=1000)), port=8080)
    """
    metrics = Metrics()
    engine = Engine(limits.concurrency, limits.queue, metrics)
    state = {"ready": False}

    @asynccontextmanager
    async def lifespan(_: Starlette) -> AsyncIterator[None]:
        state["ready"] = True
        yield
        state["ready"] = False
        engine.shutdown()

    async def pack(scope: Scope, receive: Receive, headers: Mapping[str, str]) -> bytes:
        body = await _body(headers, receive, limits, JSON_TYPES)
        query = _query(scope)
        work = partial(_checked_pack, limits=limits, strict=_strict(query), explain=_explain(query))
        return await _packed(scope["state"]["deadline"], engine, limits, work, body)  # type: ignore[no-any-return]

    async def optimize(scope: Scope, receive: Receive, headers: Mapping[str, str]) -> bytes:
        body = await _body(headers, receive, limits, JSON_TYPES)
        query = _query(scope)
        search = _search(query, limits, always=True)
        assert search is not None
        work = partial(
            _checked_search, search=search, limits=limits, strict=_strict(query), explain=_explain(query)
        )
        return await _packed(scope["state"]["deadline"], engine, limits, work, body)  # type: ignore[no-any-return]

    async def healthz(*_: Any) -> bytes:
        return b'{"status":"ok"}'

    async def view(request: Request) -> Response:
        body = await _body(request.headers, request.receive, limits, JSON_TYPES)
        parsed = _parsed(body)
        _check_items(parsed, limits)
        search = _search(request.query_params, limits, always=False)
        if search is None and (found := unhonoured_at(parsed)):
            pointer, what = found
            raise ApiError(
                422, "NeedsSearch", f"{what}, which only the search honours: add ?time_limit=1", pointer
            )
        _check_strictly(_strict(request.query_params), parsed, search=search is not None)
        if importlib.util.find_spec("plotly") is None:
            raise ApiError(501, "NotInstalled", "pictures need plotly: pip install quarvex[viz]")
        page = await _packed(request.state.deadline, engine, limits, _page, parsed, search)
        return HTMLResponse(page)

    async def batch(request: Request) -> Response:
        body = await _body(request.headers, request.receive, limits, NDJSON_TYPES)
        search = _search(request.query_params, limits, always=False)
        strict = _strict(request.query_params)
        lines = body.split(b"\n")
        if lines[-1] == b"":
            lines.pop()
        ticket = _admitted(engine)
        deadline = request.state.deadline

        async def outcomes() -> AsyncIterator[bytes]:
            for index, line in enumerate(lines):
                if is_blank(line):  # no request: a blank line keeps the lines in step
                    yield b"\n"
                    continue
                try:
                    text = await ticket.run(
                        deadline, _batch_line, index, line, search, limits.max_items, strict
                    )
                except DeadlinePassed:
                    error = BatchError(index, "DeadlineExceeded", f"not packed within {limits.deadline} s")
                    text = _outcome_line(BatchOutcome(index, error=error))
                yield text.encode() + b"\n"

        return _Streamed(outcomes(), ticket)

    async def readyz(_: Request) -> Response:
        if not state["ready"]:
            raise ApiError(503, "NotReady", "starting or shutting down")
        return JSONResponse({"status": "ready"})

    async def metrics_text(_: Request) -> Response:
        return PlainTextResponse(metrics.text(), media_type="text/plain; version=0.0.4")

    async def openapi(_: Request) -> Response:
        return JSONResponse(OPENAPI)

    async def schema(_: Request) -> Response:
        return JSONResponse(request_schema(), media_type="application/schema+json")

    async def docs(_: Request) -> Response:
        return HTMLResponse(DOCS_PAGE)

    async def page(_: Request) -> Response:
        return HTMLResponse(PAGE)

    async def example(_: Request) -> Response:
        return Response(EXAMPLE_ORDER, media_type="application/json")

    # The busiest routes, answered without the framework's layers (see _Service).
    hot: dict[str, tuple[tuple[str, ...], HotHandler]] = {
        "/v1/pack": (("POST",), pack),
        "/v1/optimize": (("POST",), optimize),
        "/healthz": (("GET", "HEAD"), healthz),
    }
    routes = [
        Route("/v1/view", view, methods=["POST"]),
        Route("/v1/batch", batch, methods=["POST"]),
        Route("/readyz", readyz, methods=["GET"]),
        Route("/metrics", metrics_text, methods=["GET"]),
        Route("/openapi.json", openapi, methods=["GET"]),
        Route("/v1/schema", schema, methods=["GET"]),
        Route("/docs", docs, methods=["GET"]),
        Route("/", page, methods=["GET"]),
        Route("/v1/example", example, methods=["GET"]),
    ]

    async def api_error(_: Request, error: Exception) -> Response:
        assert isinstance(error, ApiError)
        return Response(error.body(), error.status, _error_headers(error, limits), "application/json")

    app = Starlette(
        routes=routes, lifespan=lifespan, exception_handlers={ApiError: api_error, HTTPException: _http_error}
    )
    return _Service(app, hot, metrics, limits, {*hot, *(route.path for route in routes)})


# A route answered by _Service itself: the request's scope, receive and headers in,
# the JSON body of a 200 answer out (or an ApiError raised).
HotHandler = Callable[[Scope, Receive, Mapping[str, str]], Awaitable[bytes]]


def _error_headers(error: ApiError, limits: Limits) -> dict[str, str]:
    return {"Retry-After": str(limits.retry_after)} if error.status == 503 else {}


async def _body(
    headers: Mapping[str, str], receive: Receive, limits: Limits, media_types: tuple[str, ...]
) -> bytes:
    media = headers.get("content-type", "").split(";")[0].strip().lower()
    if media not in media_types:
        raise ApiError(
            415, "UnsupportedMediaType", f"send Content-Type {media_types[0]}, not {media or 'none'}"
        )
    too_large = ApiError(413, "PayloadTooLarge", f"the body is over {limits.max_body} bytes (--max-body)")
    declared = headers.get("content-length", "")
    if declared.isdigit() and int(declared) > limits.max_body:
        raise too_large
    chunks, size = [], 0
    while True:
        message = await receive()
        if message["type"] == "http.disconnect":
            # Logged and counted as the client's doing (499, as proxies count it), not a fault of ours.
            raise ApiError(499, "ClientClosedRequest", "the client left before the body ended")
        chunk = message.get("body", b"")
        size += len(chunk)
        if size > limits.max_body:
            raise too_large
        chunks.append(chunk)
        if not message.get("more_body", False):
            return b"".join(chunks)


def _query(scope: Scope) -> dict[str, str]:
    """The query's settings (the last of each name, as the framework reads them)."""
    return dict(parse_qsl(scope["query_string"].decode("latin-1"), keep_blank_values=True))


def _reject_constant(name: str) -> None:
    raise ValueError(f"{name} is not a JSON number")


def _parsed(body: bytes) -> dict[str, Any]:
    try:
        request = json.loads(body, parse_constant=_reject_constant)
    except (ValueError, RecursionError) as error:  # ValueError covers UnicodeDecodeError
        raise ApiError(400, "InvalidJSON", f"not valid JSON: {error}") from None
    if not isinstance(request, dict):
        raise ApiError(
            422, "InvalidRequest", f"the request must be a JSON object, not {type(request).__name__}", ""
        )
    return request


def _item_count(request: dict[str, Any]) -> int:
    return len(request_elements(request.get("items")))


def _check_items(request: dict[str, Any], limits: Limits) -> None:
    if (count := _item_count(request)) > limits.max_items:
        message = f"{count} items, over the limit of {limits.max_items} (--max-items)"
        raise ApiError(413, "TooManyItems", message, "/items")


def _strict(query: Mapping[str, str]) -> bool:
    """Requests are read strictly unless the query asks for ?reading=lenient (solve's reading)."""
    reading = query.get("reading", "strict")
    if reading not in READINGS:
        raise ApiError(422, "InvalidParameter", f"reading must be strict or lenient, not {reading!r}")
    return reading == "strict"


def _check_strictly(strict: bool, parsed: dict[str, Any], search: bool) -> None:
    if strict and (fault := request_fault(parsed, search=search)):
        raise ApiError(422, "InvalidRequest", fault[1], fault[0])


def _explain(query: Mapping[str, str]) -> bool:
    """?explain=true adds "unplaced_reasons" to the response."""
    explain = query.get("explain", "false")
    if explain not in ("true", "false"):
        raise ApiError(422, "InvalidParameter", f"explain must be true or false, not {explain!r}")
    return explain == "true"


def _search(query: Mapping[str, str], limits: Limits, always: bool) -> Search | None:
    """The search the query asks for; None when it names none of its settings and `always` is false."""
    if not always and not any(name in query for name in SEARCH_PARAMETERS):
        return None
    time_limit = _number(query, "time_limit", 1.0)
    if not 0 <= time_limit <= limits.max_time_limit:
        message = f"time_limit must be from 0 to {limits.max_time_limit} seconds, not {time_limit}"
        raise ApiError(422, "InvalidParameter", message)
    try:
        return Search(time_limit, _number(query, "min_support", 0.0), query.get("objective", "boxes"))
    except ValueError as error:
        raise ApiError(422, "InvalidParameter", str(error)) from None


def _number(query: Mapping[str, str], name: str, default: float) -> float:
    text = query.get(name)
    if text is None:
        return default
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not math.isfinite(value):
        raise ApiError(422, "InvalidParameter", f"{name} must be a number, not {text!r}")
    return value


def _admitted(engine: Engine) -> Ticket:
    try:
        return engine.admit()
    except Saturated:
        raise ApiError(
            503, "Saturated", "every engine thread is busy and the queue is full; try again"
        ) from None


async def _packed(
    deadline: float, engine: Engine, limits: Limits, work: Callable[..., Any], *args: Any
) -> Any:
    ticket = _admitted(engine)
    try:
        return await ticket.run(deadline, work, *args)
    except DeadlinePassed:
        raise ApiError(
            504, "DeadlineExceeded", f"not packed within {limits.deadline} s (--deadline)"
        ) from None
    except (ValueError, RuntimeError) as error:  # the reader's and the search's faults of input
        raise ApiError(422, type(error).__name__, str(error)) from None
    finally:
        ticket.release()


class _Streamed(StreamingResponse):
    """NDJSON that holds its request's place until the stream ends, however it ends."""

    def __init__(self, lines: AsyncIterator[bytes], ticket: Ticket) -> None:
        super().__init__(lines, media_type="application/x-ndjson")
        self.ticket = ticket

    async def __call__(self, scope: Scope, receive: Receive, send: Send) -> None:
        try:
            await super().__call__(scope, receive, send)
        finally:
            self.ticket.release()


# Parsing and checking a body run on an engine thread with its packing, not on the
# event loop, so that a burst of requests (or one large body) holds up no other
# request there, /healthz among them.
def _checked_pack(body: bytes, limits: Limits, strict: bool, explain: bool) -> bytes:
    # Nearly every request reads cleanly: parsed, checked and packed in one call
    # that lets the interpreter lock go. This path only names what is wrong.
    answer = _solve_if_clean(body, strict=strict, explain=explain, max_items=limits.max_items)
    if answer is not None:
        return answer
    parsed = _parsed(body)
    _check_items(parsed, limits)
    if found := unhonoured_at(parsed):
        pointer, what = found
        raise ApiError(
            422, "NeedsSearch", f"{what}, which only the search honours: POST to /v1/optimize", pointer
        )
    _check_strictly(strict, parsed, search=False)
    # The body itself, not its parsed copy, so the answer is solve's for exactly these bytes
    # (solve reads bytes as well as str, which its stub does not say).
    return solve(body, explain=explain).encode()  # type: ignore[arg-type]


def _checked_search(body: bytes, search: Search, limits: Limits, strict: bool, explain: bool) -> bytes:
    parsed = _parsed(body)
    _check_items(parsed, limits)
    _check_strictly(strict, parsed, search=True)
    return search.run(parsed).to_json(-1, explain=explain).encode()


def _page(request: dict[str, Any], search: Search | None) -> str:
    from .. import viz

    result: PackResult = (
        search.run(request) if search else pack_dicts(request.get("items"), request.get("boxes"))
    )
    return viz.to_html(result)


def _batch_line(index: int, line: bytes, search: Search | None, max_items: int, strict: bool) -> str:
    # Each line is packed as the command line's batch packs it, and fails alone.
    try:
        request = json.loads(line)
    except (ValueError, RecursionError):
        request = None  # the packer names the fault
    if isinstance(request, dict) and (count := _item_count(request)) > max_items:
        error = BatchError(index, "TooManyItems", f"{count} items, over the limit of {max_items}")
        return _outcome_line(BatchOutcome(index, error=error))
    [outcome] = pack_chunk([(index, pickle.dumps(line))], search, None, strict)
    return _outcome_line(outcome)


async def _http_error(_: Request, error: Exception) -> Response:
    assert isinstance(error, HTTPException)
    kind = {404: "NotFound", 405: "MethodNotAllowed"}.get(error.status_code, "HTTPError")
    body = ApiError(error.status_code, kind, str(error.detail)).body()
    return Response(body, error.status_code, dict(error.headers or {}), "application/json")


class _Service:
    """Around every request: its id, deadline, the access log line, the metrics,
    and a JSON 500 instead of a traceback for anything unforeseen. The hot routes
    are answered here, which spares each of their requests the framework's layers
    of middleware, routing and response objects; the rest go to the framework."""

    def __init__(
        self,
        app: Starlette,
        hot: dict[str, tuple[tuple[str, ...], HotHandler]],
        metrics: Metrics,
        limits: Limits,
        routes: set[str],
    ) -> None:
        self.app, self.hot, self.metrics, self.limits, self.routes = app, hot, metrics, limits, routes

    async def __call__(self, scope: Scope, receive: Receive, send: Send) -> None:
        if scope["type"] != "http":
            await self.app(scope, receive, send)
            return
        start = time.monotonic()
        headers = {name.decode("latin-1"): value.decode("latin-1") for name, value in scope["headers"]}
        given = headers.get("x-request-id", "")
        request_id = given if _REQUEST_ID.fullmatch(given) else uuid.uuid4().hex
        scope.setdefault("state", {})["deadline"] = start + self.limits.deadline
        status, sent, started = 500, 0, False

        async def observed_send(message: Message) -> None:
            nonlocal status, sent, started
            if message["type"] == "http.response.start":
                status, started = message["status"], True
                message["headers"] = [*message.get("headers", []), (b"x-request-id", request_id.encode())]
            elif message["type"] == "http.response.body":
                sent += len(message.get("body", b""))
            await send(message)

        self.metrics.in_flight += 1
        try:
            if (hot := self.hot.get(scope["path"])) is None:
                await self.app(scope, receive, observed_send)
            else:
                await self._answer(hot, scope, receive, headers, observed_send)
        except Exception as error:
            # Once the response has started, the client sees a cut stream instead.
            if not started:
                error = ApiError(500, "InternalError", f"{type(error).__name__}: {error}")
                await _send_json(observed_send, 500, error.body(), {})
        finally:
            self.metrics.in_flight -= 1
            seconds = time.monotonic() - start
            route = scope["path"] if scope["path"] in self.routes else "other"
            self.metrics.finished(route, status, seconds)
            record = {
                "time": round(time.time(), 3),
                "request_id": request_id,
                "method": scope["method"],
                "path": scope["path"],
                "status": status,
                "bytes": sent,
                "seconds": round(seconds, 6),
            }
            print(json.dumps(record), file=sys.stderr, flush=True)

    async def _answer(
        self,
        hot: tuple[tuple[str, ...], HotHandler],
        scope: Scope,
        receive: Receive,
        headers: Mapping[str, str],
        send: Send,
    ) -> None:
        methods, handler = hot
        try:
            if scope["method"] not in methods:
                raise ApiError(405, "MethodNotAllowed", "Method Not Allowed")
            body = await handler(scope, receive, headers)
        except ApiError as error:
            extra = _error_headers(error, self.limits)
            if error.status == 405:
                extra["Allow"] = ", ".join(methods)
            await _send_json(send, error.status, error.body(), extra)
        else:
            await _send_json(send, 200, body, {})


async def _send_json(send: Send, status: int, body: bytes, headers: dict[str, str]) -> None:
    start = [(b"content-type", JSON), (b"content-length", str(len(body)).encode())]
    start += [(name.lower().encode(), value.encode()) for name, value in headers.items()]
    await send({"type": "http.response.start", "status": status, "headers": start})
    await send({"type": "http.response.body", "body": body})
