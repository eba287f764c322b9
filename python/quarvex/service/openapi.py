"""The service described for clients (OpenAPI 3.1) and the docs page built from it."""

from __future__ import annotations

import html
import json
from typing import Any

from ..schema import request_schema

_ERROR = {
    "description": "The request was not packed.",
    "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Error"}}},
}
_JSON_REQUEST = {
    "required": True,
    "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Request"}}},
}
_PACKED = {
    "description": "The packing, as quarvex's solve writes it.",
    "content": {"application/json": {"schema": {"type": "object"}}},
}
_FAILURES = {code: _ERROR for code in ("400", "413", "415", "422", "503", "504")}


def _query(name: str, schema: dict[str, Any], description: str) -> dict[str, Any]:
    return {"name": name, "in": "query", "required": False, "schema": schema, "description": description}


_SEARCH = [
    _query(
        "time_limit",
        {"type": "number", "minimum": 0},
        "seconds the search may spend (default 1, capped by --max-time-limit)",
    ),
    _query(
        "min_support",
        {"type": "number", "minimum": 0, "maximum": 1},
        "share of each item's base resting on items below",
    ),
    _query(
        "objective", {"type": "string", "enum": ["boxes", "cost"]}, "fewest boxes, or least total box Cost"
    ),
]
_SEARCH_NOTE = " Any of the query's search settings packs with the search instead of the default packer."
_READING = _query(
    "reading",
    {"type": "string", "enum": ["strict", "lenient"]},
    "strict (the default) refuses what the schema at /v1/schema does not allow; lenient reads as solve does",
)
_EXPLAIN = _query(
    "explain",
    {"type": "string", "enum": ["true", "false"]},
    'true adds "unplaced_reasons": why each unplaced item was not packed',
)


def _get(summary: str, media: str) -> dict[str, Any]:
    return {"get": {"summary": summary, "responses": {"200": {"description": "OK", "content": {media: {}}}}}}


def _request_component() -> dict[str, Any]:
    # Without "$id", which would move where the references resolve.
    text = json.dumps(
        {key: value for key, value in request_schema().items() if key not in ("$defs", "$id", "$schema")}
    )
    return dict(json.loads(text.replace('"#/$defs/', '"#/components/schemas/')))


def _request_definitions() -> dict[str, Any]:
    text = json.dumps(request_schema()["$defs"])
    return dict(json.loads(text.replace('"#/$defs/', '"#/components/schemas/')))


OPENAPI: dict[str, Any] = {
    "openapi": "3.1.0",
    "info": {"title": "quarvex", "version": "1", "description": "3D bin packing over HTTP."},
    "paths": {
        "/v1/pack": {
            "post": {
                "summary": "Pack with the default packer; the body is solve's text for the request. "
                "A request with MaxLoad, Cost or options is refused: they need /v1/optimize.",
                "parameters": [_READING, _EXPLAIN],
                "requestBody": _JSON_REQUEST,
                "responses": {"200": _PACKED, **_FAILURES},
            }
        },
        "/v1/optimize": {
            "post": {
                "summary": "Search for fewer and smaller boxes, honouring MaxLoad, Cost and the request's options.",
                "parameters": [*_SEARCH, _READING, _EXPLAIN],
                "requestBody": _JSON_REQUEST,
                "responses": {"200": _PACKED, **_FAILURES},
            }
        },
        "/v1/batch": {
            "post": {
                "summary": "One request per line in, one line per request out, in order; a failed line is "
                '{"error": {"line", "type", "message"}} in its place, a blank line a blank line.'
                + _SEARCH_NOTE,
                "parameters": [*_SEARCH, _READING],
                "requestBody": {
                    "required": True,
                    "content": {"application/x-ndjson": {"schema": {"type": "string"}}},
                },
                "responses": {
                    "200": {"description": "One line per request.", "content": {"application/x-ndjson": {}}},
                    **_FAILURES,
                },
            }
        },
        "/v1/view": {
            "post": {
                "summary": "A self-contained HTML page picturing the packed boxes." + _SEARCH_NOTE,
                "parameters": [*_SEARCH, _READING],
                "requestBody": _JSON_REQUEST,
                "responses": {
                    "200": {"description": "The page.", "content": {"text/html": {}}},
                    "501": _ERROR,
                    **_FAILURES,
                },
            }
        },
        "/healthz": _get("Answers while the process runs.", "application/json"),
        "/readyz": _get(
            "Answers 200 while the service takes requests, 503 while starting or stopping.",
            "application/json",
        ),
        "/metrics": _get("Counters in Prometheus's text format.", "text/plain"),
        "/openapi.json": _get("This description.", "application/json"),
        "/v1/schema": _get(
            "The JSON Schema (draft 2020-12) of a request, as strict reading accepts it.",
            "application/schema+json",
        ),
        "/docs": _get("A page to read and try the endpoints.", "text/html"),
        "/": _get(
            "A page to pack a pasted or uploaded request and see the result and its picture.", "text/html"
        ),
        "/v1/example": _get("An example request: a small web shop's order.", "application/json"),
    },
    "components": {
        "schemas": {
            **_request_definitions(),
            # The package's own schema, its definitions where OpenAPI keeps them.
            "Request": _request_component(),
            "Error": {
                "type": "object",
                "required": ["error"],
                "properties": {
                    "error": {
                        "type": "object",
                        "required": ["type", "message", "pointer"],
                        "properties": {
                            "type": {"type": "string"},
                            "message": {"type": "string"},
                            "pointer": {
                                "type": ["string", "null"],
                                "description": "JSON pointer to the field at fault",
                            },
                        },
                    }
                },
            },
        }
    },
}

_EXAMPLE = {
    "items": [
        {
            "ItemCode": "mug",
            "Width": 10,
            "Length": 10,
            "Depth": 12,
            "Weight": 0.4,
            "AllowedRotation": "BestFit",
        }
    ],
    "boxes": [{"Reference": "S", "Width": 20, "Length": 20, "Depth": 20, "BoxWeight": 0.2, "MaxWeight": 10}],
}


def _docs_page() -> str:
    rows = "".join(
        f"<tr><td>{method.upper()}</td><td><code>{html.escape(path)}</code></td>"
        f"<td>{html.escape(operation['summary'])}</td></tr>"
        for path, operations in OPENAPI["paths"].items()
        for method, operation in operations.items()
    )
    return f"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>quarvex service</title>
<style>body{{font-family:sans-serif;margin:2em;max-width:60em}}td{{padding:.2em .6em;vertical-align:top}}
textarea{{width:100%;height:12em;font-family:monospace}}pre{{background:#f4f4f4;padding:1em;white-space:pre-wrap}}</style>
</head><body><h1>quarvex service</h1><p>The machine-readable description is <a href="/openapi.json">/openapi.json</a>.</p>
<table>{rows}</table>
<h2>Try it</h2>
<p><select id="path"><option>/v1/pack</option><option>/v1/optimize</option><option>/v1/view</option></select>
<button id="send">Send</button></p>
<textarea id="body">{html.escape(json.dumps(_EXAMPLE, indent=2))}</textarea>
<pre id="answer"></pre>
<script>
document.getElementById("send").onclick = async () => {{
  const answer = await fetch(document.getElementById("path").value, {{method: "POST",
    headers: {{"Content-Type": "application/json"}}, body: document.getElementById("body").value}});
  const text = await answer.text();
  if (answer.ok && answer.headers.get("Content-Type").startsWith("text/html")) {{
    const page = URL.createObjectURL(new Blob([text], {{type: "text/html"}}));
    document.getElementById("answer").innerHTML = `<a href="${{page}}" target="_blank">open the picture</a>`;
  }} else {{
    document.getElementById("answer").textContent = answer.status + "\\n" + text;
  }}
}};
</script></body></html>
"""


DOCS_PAGE = _docs_page()
