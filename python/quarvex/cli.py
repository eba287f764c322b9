"""The quarvex command line: one function per subcommand.

    quarvex pack REQUEST.json [-o FILE] [--indent N] [--summary] [--html PAGE] [--explain]
                 [--strict] [SEARCH]
    quarvex view REQUEST.json [--html PAGE] [--no-open] [--strict] [SEARCH]
    quarvex batch ORDERS.jsonl [-o RESULTS.jsonl] [--workers N] [--processes | --scheduler ADDRESS]
                  [SEARCH] [--time-limit SECONDS] [--strict]
    quarvex serve [--host H] [--port P] [--workers N] [LIMITS]   (see quarvex serve --help)

SEARCH: [--search-time-limit SECONDS] [--min-support F] [--objective {boxes,cost}];
any of them packs with the search (1 s unless --search-time-limit says otherwise).

Exit status: 0 when every item was packed (pack, view) or every request
answered (batch); 1 when some items were not packed or some requests of a
batch failed; 2 on a usage, input or output error; 130 when interrupted
(Ctrl-C). Output files are written whole or not at all.
"""

from __future__ import annotations

import argparse
import json
import os
import sys
import tempfile
import webbrowser
from collections.abc import Iterable, Iterator
from contextlib import ExitStack, contextmanager
from pathlib import Path
from typing import IO, Any

from . import PackResult, __version__, pack, pack_dicts, request_fault, service
from .batch import BatchOutcome, WorkerStartError, pack_batch
from .search_settings import Search, unhonoured
from .summary import counted, summary_text


class InputError(Exception):
    """Input that cannot be used; the message names the file and the reason."""


def main(argv: list[str] | None = None) -> int:
    """Runs the command line and returns its exit status.

    >>> main(["pack", "examples/order.json", "--summary"])  # doctest: +ELLIPSIS
    Packed 36 of 37 items into 3 boxes, ...
    0
    """
    args = _parser().parse_args(argv)
    try:
        status: int = args.run(args)
        return status
    except InputError as error:
        print(f"quarvex: error: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print("quarvex: interrupted", file=sys.stderr)
        return 130
    except BrokenPipeError:
        # The reader left (`| head`): stop quietly.
        _drop_standard_output()
        return 1


def _drop_standard_output() -> None:
    # What is still buffered goes nowhere, so the interpreter's final flush cannot fail again.
    os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="quarvex", description="Pack items into boxes: one order, or many at once."
    )
    parser.add_argument("--version", action="version", version=f"quarvex {__version__}")
    commands = parser.add_subparsers(metavar="COMMAND", required=True)

    # Each subcommand adds its own arguments and names the function that runs it.
    for add in (_add_pack, _add_view, _add_batch):
        add(commands)
    service.add_parser(commands, _positive, _seconds)
    return parser


def _add_pack(commands: Any) -> None:
    pack = commands.add_parser(
        "pack",
        help="pack one order and write the response",
        description='Pack one request ({"items": [...], "boxes": [...]}) and write the response.',
    )
    pack.add_argument("request", metavar="REQUEST", help="the request's JSON file, or - for standard input")
    pack.add_argument("-o", "--output", metavar="FILE", help="write the response to FILE")
    pack.add_argument(
        "--indent",
        type=int,
        default=2,
        metavar="N",
        help="indent N spaces; negative for one line (default 2)",
    )
    pack.add_argument(
        "--summary", action="store_true", help="print what goes into which box instead of the response"
    )
    pack.add_argument("--html", metavar="PAGE", help="also write a 3D picture of the boxes to PAGE")
    pack.add_argument(
        "--explain", action="store_true", help='add "unplaced_reasons": why each unplaced item was not packed'
    )
    _add_strict(pack)
    _add_search(pack)
    pack.set_defaults(run=_pack)


def _add_view(commands: Any) -> None:
    view = commands.add_parser(
        "view",
        help="pack one order and show its boxes in the browser",
        description="Pack one request, write a 3D picture of its boxes as one offline HTML page, "
        "print where, and open it in the browser. Needs quarvex[viz].",
    )
    view.add_argument("request", metavar="REQUEST", help="the request's JSON file, or - for standard input")
    view.add_argument("--html", metavar="PAGE", help="write the page to PAGE (default: a new temporary file)")
    view.add_argument("--no-open", dest="open", action="store_false", help="only write the page")
    _add_strict(view)
    _add_search(view)
    view.set_defaults(run=_view)


def _add_batch(commands: Any) -> None:
    batch = commands.add_parser(
        "batch",
        help="pack one order per line, in parallel",
        description="Pack one request per line of a JSON Lines file, writing one line per input line "
        'in the same order: the response, or {"error": {"line", "type", "message"}}. '
        "A blank line is no request: it is answered by a blank line and not counted.",
    )
    batch.add_argument(
        "orders", metavar="ORDERS", help="the requests' JSON Lines file, or - for standard input"
    )
    batch.add_argument("-o", "--output", metavar="FILE", help="write the outcomes to FILE")
    batch.add_argument(
        "--workers", type=_positive, metavar="N", help="worker threads or processes (default: one per CPU)"
    )
    where = batch.add_mutually_exclusive_group()
    where.add_argument(
        "--processes",
        action="store_true",
        help="pack in worker processes, not threads: slower, but a request that crashes its worker fails alone",
    )
    where.add_argument(
        "--scheduler",
        metavar="ADDRESS",
        help="send the work to a running Dask scheduler, e.g. tcp://host:8786",
    )
    _add_strict(batch)
    _add_search(batch, each=" on each request")
    batch.add_argument(
        "--time-limit",
        type=_seconds,
        metavar="SECONDS",
        help="answer a request still packing after SECONDS with a TimeoutError line (default: no limit)",
    )
    batch.set_defaults(run=_batch)


def _add_strict(command: argparse.ArgumentParser) -> None:
    command.add_argument(
        "--strict",
        action="store_true",
        help="refuse unknown keys, other rotation names, values of the wrong type and negative "
        "sizes or weights, naming where they are, instead of reading them leniently",
    )


class _Renamed(argparse.Action):
    """A flag's old spelling: still taken, with a warning naming the new one."""

    def __init__(self, *args: Any, new: str, **kwargs: Any) -> None:
        super().__init__(*args, **kwargs)
        self.new = new

    def __call__(self, parser: Any, namespace: argparse.Namespace, values: Any, option: Any = None) -> None:
        print(f"quarvex: warning: {option} is deprecated; use {self.new}", file=sys.stderr)
        setattr(namespace, self.dest, values)


def _add_search(command: argparse.ArgumentParser, each: str = "") -> None:
    command.add_argument(
        "--search-time-limit",
        type=_seconds,
        metavar="SECONDS",
        help=f"search for fewer and smaller boxes with quarvex.optimize, spending SECONDS{each}",
    )
    command.add_argument(
        "--optimize",
        dest="search_time_limit",
        nargs="?",
        const=1.0,
        type=_seconds,
        action=_Renamed,
        new="--search-time-limit SECONDS",
        help=argparse.SUPPRESS,
    )
    command.add_argument(
        "--min-support",
        type=_fraction,
        metavar="F",
        help="with the search: rest each item on items below over at least F of its base "
        "(1 for stacks a person can build; searches 1 s unless --search-time-limit is given)",
    )
    command.add_argument(
        "--objective",
        choices=("boxes", "cost"),
        help="with the search: fewest boxes (default), or least total box Cost "
        "(searches 1 s unless --search-time-limit is given)",
    )


def _search(args: argparse.Namespace) -> Search | None:
    if (args.search_time_limit, args.min_support, args.objective) == (None, None, None):
        return None
    return Search(
        1.0 if args.search_time_limit is None else args.search_time_limit,
        0.0 if args.min_support is None else args.min_support,
        args.objective or "boxes",
    )


def _positive(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, not {value}")
    return value


def _seconds(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number of seconds: {text!r}") from None
    if not 0 <= value < float("inf"):
        raise argparse.ArgumentTypeError(f"must be a finite number of seconds of at least 0, not {text}")
    return value


def _fraction(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None
    if not 0 <= value <= 1:
        raise argparse.ArgumentTypeError(f"must be a fraction from 0 to 1, not {text}")
    return value


def _name(path: str) -> str:
    return "<stdin>" if path == "-" else path


def _open(stack: ExitStack, path: str) -> IO[bytes]:
    """A file opened to read in binary, or standard input for "-"."""
    if path == "-":
        return sys.stdin.buffer
    try:
        file: IO[bytes] = stack.enter_context(open(path, "rb"))
        return file
    except OSError as error:
        raise InputError(f"{path}: {error.strerror}") from None


def _refuse_input_as_output(source: str, *outputs: str | None) -> None:
    for output in outputs:
        if source == "-" or output in (None, "-"):
            continue
        try:
            same = os.path.samefile(source, output)
        except OSError:  # the output does not exist yet (or the input does not, said later)
            continue
        if same:
            raise InputError(f"{output}: is the input {source}; write the output to another file")


class _Output:
    """Where one output goes; a failed write is an InputError naming it."""

    def __init__(self, file: IO[bytes], name: str) -> None:
        self.file = file
        self.name = name

    def write(self, data: bytes) -> None:
        try:
            self.file.write(data)
        except BrokenPipeError:
            raise
        except OSError as error:
            raise self.failed(error) from None

    def failed(self, error: OSError) -> InputError:
        if self.file is sys.stdout.buffer:
            _drop_standard_output()
        return InputError(f"{self.name}: {error.strerror}")


@contextmanager
def _output(path: str) -> Iterator[_Output]:
    """Standard output for "-"; else a temporary file in the same folder that
    replaces `path` once complete, so a failed or interrupted write leaves
    the old file whole."""
    if path == "-":
        output = _Output(sys.stdout.buffer, "<stdout>")
        yield output
        try:
            sys.stdout.buffer.flush()
        except BrokenPipeError:
            raise
        except OSError as error:
            raise output.failed(error) from None
        return
    target = os.path.realpath(path)  # through a link, the file it names is replaced
    try:
        handle, temporary = tempfile.mkstemp(
            dir=os.path.dirname(target), prefix=f".{os.path.basename(target)}."
        )
    except OSError as error:
        raise InputError(f"{path}: {error.strerror}") from None
    try:
        with os.fdopen(handle, "wb") as file:
            yield _Output(file, path)
        os.chmod(temporary, _mode_of(target))
        os.replace(temporary, target)
    except OSError as error:
        raise InputError(f"{path}: {error.strerror}") from None
    finally:
        if os.path.lexists(temporary):
            os.unlink(temporary)


def _mode_of(path: str) -> int:
    """The permissions the file has, or those a new file gets under the umask."""
    try:
        return os.stat(path).st_mode & 0o7777
    except FileNotFoundError:
        umask = os.umask(0)
        os.umask(umask)
        return 0o666 & ~umask


def _reject_constant(name: str) -> None:
    raise ValueError(f"{name} is not a JSON number")


def _read_and_pack(path: str, search: Search | None, strict: bool) -> PackResult:
    with ExitStack() as stack:
        text = _open(stack, path).read()
    try:
        request = json.loads(text, parse_constant=_reject_constant)
    except (ValueError, RecursionError) as error:  # ValueError covers UnicodeDecodeError
        raise InputError(f"{_name(path)}: not valid JSON: {error}") from None
    if strict and (fault := request_fault(request, search=search is not None)):
        raise InputError(f"{_name(path)}: {fault[1]} (at {fault[0]})")
    # The request is read as solve reads its text: anything but an object holds nothing.
    if not isinstance(request, dict):
        request = {}
    if search is None and (what := unhonoured(request)):
        raise InputError(
            f"{_name(path)}: {what}, which only the search honours: add --search-time-limit SECONDS"
        )
    try:
        if search is None:
            return pack_dicts(request.get("items"), request.get("boxes"))
        return search.run(request)
    except Exception as error:
        raise InputError(f"{_name(path)}: {error}") from None


def _write_page(result: PackResult, page: str) -> None:
    from . import viz

    try:
        text = viz.to_html(result)
    except (ImportError, ValueError) as error:  # plotly missing, or a result it cannot read
        raise InputError(str(error)) from None
    with _output(page) as output:
        output.write(text.encode())


def _pack(args: argparse.Namespace) -> int:
    _refuse_input_as_output(args.request, args.output, args.html)
    # Every negative indent means one line; the writer's own bound is asked of an
    # empty result, so that a bad indent is refused before the packing starts.
    indent = max(-1, min(args.indent, 2**31 - 1))
    try:
        pack([], []).to_json(indent)
    except ValueError as error:
        raise InputError(f"--{error}") from None
    result = _read_and_pack(args.request, _search(args), args.strict)
    if args.html:
        _write_page(result, args.html)
    response = (result.to_json(indent, explain=args.explain) + "\n").encode()
    if args.output:
        with _output(args.output) as output:
            output.write(response)
    if args.summary or not args.output:
        with _output("-") as output:
            output.write((summary_text(result) + "\n").encode() if args.summary else response)
    return _status(result)


def _status(result: PackResult) -> int:
    """0 when every item was packed; else 1, said on standard error, as a failed
    batch request is: the output holds the packing all the same."""
    if result.success:
        return 0
    items = counted(result.total_placed + result.total_unplaced, "item", "items")
    print(f"quarvex: {result.total_unplaced} of {items} not packed", file=sys.stderr)
    return 1


def _view(args: argparse.Namespace) -> int:
    _refuse_input_as_output(args.request, args.html)
    result = _read_and_pack(args.request, _search(args), args.strict)
    page = args.html
    if page is None:
        handle, page = tempfile.mkstemp(prefix="quarvex-", suffix=".html")
        os.close(handle)
    _write_page(result, page)
    print(page)
    if args.open:
        webbrowser.open(Path(page).resolve().as_uri())
    return _status(result)


def _batch(args: argparse.Namespace) -> int:
    _refuse_input_as_output(args.orders, args.output)
    with ExitStack() as stack:
        lines = _CountedLines(_open(stack, args.orders))
        output = stack.enter_context(_output(args.output or "-"))
        executor = _dask_client(stack, args.scheduler) if args.scheduler else None
        outcomes = _with_progress(
            pack_batch(
                lines,
                workers=args.workers,
                executor=executor,
                processes=args.processes,
                search_time_limit=args.search_time_limit,
                min_support=args.min_support,
                objective=args.objective,
                time_limit=args.time_limit,
                strict=args.strict,
            )
        )
        failed = total = answered = 0
        try:
            for outcome in outcomes:
                # Blank lines have no outcome: answered by blank lines, line N of the
                # output answers line N of the input.
                output.write(b"\n" * (outcome.index - answered))
                answered = outcome.index + 1
                total += 1
                output.write(_outcome_line(outcome).encode() + b"\n")
                if outcome.error:
                    failed += 1
                    reason = " ".join(f"{outcome.error.type}: {outcome.error.message}".split())
                    print(
                        f"quarvex: error: {_name(args.orders)}:{outcome.index + 1}: {reason}", file=sys.stderr
                    )
            output.write(b"\n" * (lines.count - answered))
        except WorkerStartError as error:
            raise InputError(str(error)) from None
        except OSError as error:  # writes fail as InputError, so reading the orders failed
            raise InputError(f"{_name(args.orders)}: {error.strerror}") from None
    if failed:
        print(f"quarvex: {failed} of {counted(total, 'request', 'requests')} failed", file=sys.stderr)
        return 1
    return 0


class _CountedLines:
    """The lines of a file, counted as they are read."""

    def __init__(self, file: IO[bytes]) -> None:
        self.file = file
        self.count = 0

    def __iter__(self) -> Iterator[bytes]:
        for line in self.file:
            self.count += 1
            yield line


def _outcome_line(outcome: BatchOutcome) -> str:
    if outcome.response is not None:
        return outcome.response
    assert outcome.error is not None
    error = {"line": outcome.index + 1, "type": outcome.error.type, "message": outcome.error.message}
    return json.dumps({"error": error}, ensure_ascii=False)


def _dask_client(stack: ExitStack, address: str) -> Any:
    try:
        from distributed import Client
    except ImportError:
        raise InputError("--scheduler needs Dask: pip install quarvex[dask]") from None
    try:
        return stack.enter_context(Client(address, timeout="10s"))  # type: ignore[no-untyped-call]
    except (OSError, ValueError, TypeError) as error:
        raise InputError(f"cannot reach the Dask scheduler at {address}: {error}") from None


def _with_progress(outcomes: Iterable[BatchOutcome]) -> Iterator[BatchOutcome]:
    # A bar only for a person watching: tqdm installed and standard error a terminal.
    if sys.stderr.isatty():
        try:
            from tqdm import tqdm  # type: ignore[import-untyped]

            return iter(tqdm(outcomes, unit=" orders", file=sys.stderr))
        except ImportError:
            pass
    return iter(outcomes)
