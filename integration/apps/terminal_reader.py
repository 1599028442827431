#!/usr/bin/env python3
"""Reads what is pasted into the end-to-end run's Terminal window.

    python3 terminal_reader.py REPORT [SECONDS]

Terminal's text system is tried by pasting into a shell window; this reader
sits in that window and appends all it has read so far to REPORT, one JSON
object per line, so that the harness reads the paste back without the
clipboard, whose restoration is one of the things it checks. Python 3.9 and
the standard library only: it runs with the python3 of any hosted Mac.
"""
import argparse
import codecs
import json
import os
import select
import signal
import sys
import termios
import time
from typing import Any, List, NoReturn, Optional


def report(path: str, event: str, **fields: Any) -> None:
    line = json.dumps({"event": event, "time": time.time(), **fields}, ensure_ascii=False)
    with open(path, "a", encoding="utf-8") as file:
        file.write(line + "\n")
        file.flush()


def stop(signum: int, _frame: object) -> NoReturn:
    # Unwinds through the finally below, which puts the terminal back.
    raise SystemExit(128 + signum)


def main(argv: List[str]) -> int:
    parser = argparse.ArgumentParser(description=(__doc__ or "").splitlines()[0])
    parser.add_argument("report")
    parser.add_argument("seconds", nargs="?", type=float, default=300.0)
    args = parser.parse_args(argv)
    fd = sys.stdin.fileno()
    original: Optional[List[Any]] = termios.tcgetattr(fd) if os.isatty(fd) else None
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)
    try:
        if original is not None:
            raw = termios.tcgetattr(fd)
            # Bytes arrive as they are typed or pasted, and nothing echoes
            # over the text the window shows. ICRNL stays on in the input
            # flags: Terminal pastes a line break as a carriage return, which
            # it turns back into the newline of the text.
            raw[3] &= ~(termios.ICANON | termios.ECHO)
            raw[6][termios.VMIN] = 1
            raw[6][termios.VTIME] = 0
            termios.tcsetattr(fd, termios.TCSANOW, raw)
        report(args.report, "started", pid=os.getpid())
        # A character whose bytes come in two reads is decoded once whole.
        decoder = codecs.getincrementaldecoder("utf-8")(errors="replace")
        text = ""
        deadline = time.monotonic() + args.seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return 0
            if not select.select([fd], [], [], left)[0]:
                continue
            data = os.read(fd, 65536)
            if not data:
                return 0
            text += decoder.decode(data)
            report(args.report, "text", text=text)
    finally:
        if original is not None:
            try:
                termios.tcsetattr(fd, termios.TCSADRAIN, original)
            except termios.error:
                pass  # The window, and with it the terminal, is gone.


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
