"""`quarvex serve`: packing as an HTTP service (needs quarvex[serve]).

A process per core serves by default, each packing on one engine thread:
the engine lets the interpreter lock go while it packs, but the server's own
Python work holds it, so processes of their own outrun threads sharing one
(measured with bench.service). Each process has its own limits and metrics.
"""

from __future__ import annotations

import argparse
import json
import os
import signal
from collections.abc import Generator
from contextlib import contextmanager
from dataclasses import asdict
from typing import Any

from .limits import Limits
from .processes import listening_sockets, run_processes

# How `--workers` processes, started afresh by the server, learn the limits.
_LIMITS_VARIABLE = "QUARVEX_SERVE_LIMITS"


def add_parser(commands: Any, positive: Any, seconds: Any) -> None:
    defaults = Limits()
    serve = commands.add_parser(
        "serve",
        help="pack over HTTP",
        description="Serve POST /v1/pack, /v1/optimize, /v1/batch and /v1/view, with /healthz, /readyz, "
        "/metrics, /openapi.json and /docs. Needs quarvex[serve]. SIGTERM stops taking requests, "
        "finishes those accepted and exits 0.",
    )
    serve.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    serve.add_argument("--port", type=int, default=8080, help="port to listen on (default 8080)")
    serve.add_argument(
        "--workers",
        type=positive,
        default=os.process_cpu_count() or 1,
        metavar="N",
        help="server processes (default: one per core)",
    )
    serve.add_argument(
        "--max-body",
        type=positive,
        default=defaults.max_body,
        metavar="BYTES",
        help=f"largest request body; larger ones get 413 (default {defaults.max_body})",
    )
    serve.add_argument(
        "--max-items",
        type=positive,
        default=defaults.max_items,
        metavar="N",
        help=f"most items in one request; more get 413 (default {defaults.max_items})",
    )
    serve.add_argument(
        "--max-time-limit",
        type=seconds,
        default=defaults.max_time_limit,
        metavar="SECONDS",
        help=f"longest search a request may ask for (default {defaults.max_time_limit})",
    )
    serve.add_argument(
        "--concurrency",
        type=positive,
        default=defaults.concurrency,
        metavar="N",
        help=f"engine threads per process (default {defaults.concurrency})",
    )
    serve.add_argument(
        "--queue",
        type=int,
        default=defaults.queue,
        metavar="N",
        help=f"requests waiting for an engine thread before 503 (default {defaults.queue})",
    )
    serve.add_argument(
        "--deadline",
        type=seconds,
        default=defaults.deadline,
        metavar="SECONDS",
        help=f"answer 504 when packing a request takes longer (default {defaults.deadline})",
    )
    serve.set_defaults(run=run)


def run(args: argparse.Namespace) -> int:
    from ..cli import InputError

    try:
        # Loaded by each server process; here only to say what is missing.
        import starlette  # noqa: F401
        import uvicorn  # noqa: F401
    except ImportError:
        raise InputError("serve needs Starlette and uvicorn: pip install quarvex[serve]") from None
    if args.queue < 0:
        raise InputError(f"--queue must be at least 0, not {args.queue}")
    if args.deadline <= args.max_time_limit:
        raise InputError(
            f"--deadline ({args.deadline} s) must be longer than --max-time-limit ({args.max_time_limit} s)"
        )
    limits = Limits(
        max_body=args.max_body,
        max_items=args.max_items,
        max_time_limit=args.max_time_limit,
        concurrency=args.concurrency,
        queue=args.queue,
        deadline=args.deadline,
    )
    os.environ[_LIMITS_VARIABLE] = json.dumps(asdict(limits))
    options: dict[str, Any] = {
        "host": args.host,
        "port": args.port,
        "access_log": False,
        "log_level": "warning",
    }
    if args.workers == 1:
        if not _serve(options):
            raise InputError(f"could not serve on {args.host}:{args.port} (see above)")
        return 0
    try:
        sockets = listening_sockets(args.host, args.port, args.workers)
    except OSError as error:
        raise InputError(f"could not serve on {args.host}:{args.port}: {error.strerror}") from None
    return run_processes(_serve_on, sockets, options)


def _serve(options: dict[str, Any], sockets: list[Any] | None = None) -> bool:
    """Serves until SIGTERM or SIGINT; False when it could not start."""
    import uvicorn

    server = uvicorn.Server(uvicorn.Config("quarvex.service:app_from_environment", factory=True, **options))
    server.capture_signals = _capture_signals(server)  # type: ignore[method-assign]
    server.run(sockets)
    return server.started


def _serve_on(options: dict[str, Any], listener: Any) -> None:
    """One of several server processes, on its own listening socket."""
    if not _serve(options, [listener]):
        raise SystemExit(1)


def app_from_environment() -> Any:
    """The application with the limits `quarvex serve` put in the environment."""
    from .app import create_app

    return create_app(Limits(**json.loads(os.environ.get(_LIMITS_VARIABLE, "{}"))))


def _capture_signals(server: Any) -> Any:
    """uvicorn's handling of SIGINT and SIGTERM (stop taking requests, finish those
    accepted), without raising the signal again afterwards: a stop asked for is a
    success, exit status 0."""

    @contextmanager
    def capture() -> Generator[None]:
        handlers = {sig: signal.signal(sig, server.handle_exit) for sig in (signal.SIGINT, signal.SIGTERM)}
        try:
            yield
        finally:
            for sig, handler in handlers.items():
                signal.signal(sig, handler)

    return capture
