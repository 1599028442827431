"""Reading what the run's tools, the UI and the applications write: JSON
objects, one a line. Whatever is not a JSON object is left out rather than
guessed at, and so is a last line still being written."""

from __future__ import annotations

import json
from pathlib import Path
from typing import Any, Dict, List, Optional, cast

JsonObject = Dict[str, Any]


def parse_object(text: str) -> Optional[JsonObject]:
    """`text` as a JSON object, or None when it is not one."""
    try:
        value: Any = json.loads(text)
    except json.JSONDecodeError:
        return None
    return cast(JsonObject, value) if isinstance(value, dict) else None


def last_object(text: str) -> Optional[JsonObject]:
    """The JSON object on the last line of `text` that holds anything."""
    lines = [line for line in text.splitlines() if line.strip()]
    return parse_object(lines[-1]) if lines else None


def read_objects(path: Optional[Path]) -> List[JsonObject]:
    """Every complete line of the file that is a JSON object, in order."""
    if path is None:
        return []
    try:
        text = path.read_text(encoding="utf-8", errors="replace")
    except FileNotFoundError:
        return []
    objects: List[JsonObject] = []
    for line in text[: text.rfind("\n") + 1].splitlines():
        found = parse_object(line)
        if found is not None:
            objects.append(found)
    return objects


def as_object(value: object) -> JsonObject:
    """A value known to come from JSON, as an object; {} when it is none."""
    return cast(JsonObject, value) if isinstance(value, dict) else {}


def as_list(value: object) -> List[Any]:
    return cast(List[Any], value) if isinstance(value, list) else []


def number(value: object) -> Optional[float]:
    """A JSON number as a float; None for anything else (a bool included)."""
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        return None
    return float(value)
