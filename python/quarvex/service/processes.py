"""Several server processes on one port, each listening on a socket of its own.

On one shared socket the process that wakes first accepts a whole burst of
connections, and keep-alive connections stay where they landed (8 connections
all went to one of two processes). With a socket each (SO_REUSEPORT) the
kernel spreads the connections between them.
"""

from __future__ import annotations

import multiprocessing
import signal
import socket
from collections.abc import Callable
from typing import Any


def listening_sockets(host: str, port: int, count: int) -> list[socket.socket]:
    """`count` sockets listening on host:port together; OSError when the port is taken."""
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    # Sockets of another process that shares ports this way would let these
    # join them, so a plain socket first makes sure that the port is free.
    with socket.socket(family, socket.SOCK_STREAM) as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        probe.bind((host, port))
        probe.listen()
    sockets = []
    try:
        for _ in range(count):
            listener = socket.socket(family, socket.SOCK_STREAM)
            sockets.append(listener)
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
            listener.bind((host, port))
            listener.listen(2048)
    except OSError:
        for listener in sockets:
            listener.close()
        raise
    return sockets


def run_processes(target: Callable[..., Any], sockets: list[socket.socket], *args: Any) -> int:
    """Runs target(*args, socket) in a process per socket until all have ended;
    SIGTERM or SIGINT asks each to stop as it does on its own (finishing what it
    accepted). 0 when every process ended with 0, else 1."""
    spawn = multiprocessing.get_context("spawn")
    processes = [spawn.Process(target=target, args=(*args, listener)) for listener in sockets]
    for process in processes:
        process.start()
    for listener in sockets:
        listener.close()  # each process has its own copy now

    def stop(*_: Any) -> None:
        for process in processes:
            if process.is_alive():
                process.terminate()

    previous = {sig: signal.signal(sig, stop) for sig in (signal.SIGINT, signal.SIGTERM)}
    try:
        for process in processes:
            process.join()
    finally:
        for sig, handler in previous.items():
            signal.signal(sig, handler)
    return 0 if all(process.exitcode == 0 for process in processes) else 1
