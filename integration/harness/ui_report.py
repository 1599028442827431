"""The integration UI's report: one JSON object a line, written by the UI as
things happen (integration/ui/lib/main.dart says what each line means)."""

from __future__ import annotations

import json
from pathlib import Path
from typing import Callable, List, Optional

from .jsonlines import JsonObject, number, read_objects

Line = JsonObject


class UiReport:
    def __init__(self, path: Path) -> None:
        self.path = path

    def lines(self) -> List[Line]:
        """Every complete line so far; the UI writes each line whole."""
        return read_objects(self.path)

    def mark(self) -> int:
        """Where the report stands now; later questions can start from here."""
        return len(self.lines())

    def first(self, predicate: Callable[[Line], bool], since: int = 0) -> Optional[Line]:
        for line in self.lines()[since:]:
            if predicate(line):
                return line
        return None

    def all(self, predicate: Callable[[Line], bool], since: int = 0) -> List[Line]:
        return [line for line in self.lines()[since:] if predicate(line)]

    def event(self, name: str, since: int = 0) -> Optional[Line]:
        return self.first(lambda line: line.get("event") == name, since)

    def answer(self, channel: str, method: str, since: int = 0) -> Optional[Line]:
        return self.first(
            lambda line: line.get("event") == "answer"
            and line.get("channel") == channel
            and line.get("method") == method,
            since,
        )

    def call(self, channel: str, method: str, since: int = 0) -> Optional[Line]:
        return self.first(
            lambda line: line.get("event") == "call"
            and line.get("channel") == channel
            and line.get("method") == method,
            since,
        )

    def received(self, method: str, since: int = 0) -> Optional[Line]:
        return self.first(
            lambda line: line.get("event") == "received" and line.get("method") == method, since
        )

    def plugin(self, package: str) -> Optional[Line]:
        return self.first(lambda line: line.get("event") == "plugin" and line.get("package") == package)


def describe_answer(line: Optional[Line]) -> str:
    """An answer as a reader would want it in a table."""
    if line is None:
        return "no answer"
    kind = line.get("kind")
    if kind == "value":
        return f"value {json.dumps(line.get('value'), ensure_ascii=False)}"
    if kind == "error":
        return f"error {line.get('code')!r} / {line.get('message')!r} / {json.dumps(line.get('details'))}"
    if kind == "notImplemented":
        return "not implemented"
    return f"{kind}: {line.get('description', '')}"


def time_of(line: Optional[Line]) -> Optional[float]:
    return number(line.get("time")) if line is not None else None
