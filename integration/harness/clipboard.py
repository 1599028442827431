"""The user's clipboard as the run plays it: several items of several types,
put in place before each capture with the run's `pasteboard` tool, and
compared item by item and type by type with what the host gives back.
No clipboard is used to read any application's text."""

from __future__ import annotations

import base64
import json
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple

from . import processes
from .context import Context
from .jsonlines import as_list, as_object, last_object, number, parse_object

Items = List[Dict[str, Any]]

# Two items, the first with two representations of one text and the second
# with a type of the run's own holding bytes that are not text at all: a host
# that kept only the plain text, or only the first item, shows here.
SENTINEL: Items = [
    {
        "types": [
            {"type": "public.utf8-plain-text", "data": "the user's own clipboard ✓".encode()},
            {"type": "public.html", "data": b"<p>the user's <b>own</b> clipboard</p>"},
        ]
    },
    {
        "types": [
            {"type": "com.brimlane.integration.sentinel", "data": bytes(range(0, 256, 7)) + b"\0\xff"},
            {"type": "public.utf8-plain-text", "data": "second item".encode()},
        ]
    },
]


def to_json(items: Items) -> Dict[str, Any]:
    return {
        "items": [
            {
                "types": [
                    {"type": t["type"], "base64": base64.b64encode(t["data"]).decode()}
                    for t in item["types"]
                ]
            }
            for item in items
        ]
    }


def tool(ctx: Context) -> Path:
    return ctx.paths.tool("pasteboard")


def read(ctx: Context) -> Tuple[Optional[List[Any]], str]:
    """The pasteboard's items as the tool reports them, or why not."""
    result = processes.run([tool(ctx), "read"], timeout=ctx.timing.quick_command)
    document = parse_object(result.stdout)
    if not result.ok or document is None or not isinstance(document.get("items"), list):
        return None, f"pasteboard read: {result.describe()}"
    return document["items"], ""


def _keep_users(ctx: Context) -> str:
    """Before the run first changes the pasteboard, what the user had on it
    is kept, item by item, and put back when the run ends."""
    if ctx.state.get("user-clipboard"):
        return ""
    items, error = read(ctx)
    if items is None:
        return error
    kept = ctx.log("clipboard-user.json")
    kept.write_text(json.dumps({"items": items}), encoding="utf-8")
    ctx.state["user-clipboard"] = kept
    ctx.cleanup.callback(
        lambda: processes.run([tool(ctx), "write", kept], timeout=ctx.timing.quick_command)
    )
    return ""


def put_sentinel(ctx: Context) -> Tuple[Optional[Path], str]:
    """Puts the sentinel on the pasteboard and keeps what the system then
    reports for it, which is what the host must give back. Returns that
    file, or why it could not be done."""
    error = _keep_users(ctx)
    if error:
        return None, error
    wanted = ctx.log("clipboard-sentinel.json")
    wanted.write_text(json.dumps(to_json(SENTINEL)), encoding="utf-8")
    result = processes.run([tool(ctx), "write", wanted], timeout=ctx.timing.quick_command)
    document = parse_object(result.stdout)
    if not result.ok or document is None or document.get("ok") is not True:
        return None, f"pasteboard write: {result.describe()}"
    items, error = read(ctx)
    if items is None:
        return None, error
    expected = ctx.log("clipboard-expected.json")
    expected.write_text(json.dumps({"items": items}), encoding="utf-8")
    return expected, ""


def start_watch(ctx: Context, expected: Path, name: str) -> processes.Background:
    """Watches the pasteboard until it holds `expected` again; the answer is
    read with `watch_result`."""
    output = ctx.log(f"{name}.pasteboard-wait.json")
    output.unlink(missing_ok=True)
    return processes.Background(
        [tool(ctx), "wait", expected, f"{ctx.timing.clipboard_restored:.2f}"], output=output
    )


def watch_result(ctx: Context, watch: processes.Background, expected: Path) -> Tuple[bool, Optional[float], str]:
    """Whether the pasteboard came back whole, when, and if not, how it differs."""
    processes.wait_until(lambda: not watch.running(), ctx.timing.clipboard_restored + 5)
    watch.stop()
    text = watch.output.read_text(encoding="utf-8", errors="replace")
    document = last_object(text)
    if document is None:
        return False, None, f"pasteboard wait said nothing readable: {text[:200]!r}"
    if document.get("equal") is True:
        # Equal at its first look, the watch began after the host had given
        # the clipboard back (or before it took it): when is not known.
        changed = len(as_list(document.get("seen"))) > 1
        return True, number(document.get("time")) if changed else None, ""
    wanted = as_list(as_object(parse_object(expected.read_text(encoding="utf-8"))).get("items"))
    return False, None, differences(wanted, as_list(document.get("items")))


def differences(wanted: List[Any], got: List[Any]) -> str:
    """What a reader needs to see of how two pasteboards differ."""

    def shape(items: List[Any]) -> List[List[str]]:
        return [[t.get("type", "?") for t in item.get("types", [])] for item in items]

    if shape(wanted) != shape(got):
        return f"the clipboard holds {shape(got)} instead of {shape(wanted)}"
    for index, (a, b) in enumerate(zip(wanted, got)):
        for ta, tb in zip(a["types"], b["types"]):
            if ta.get("base64") != tb.get("base64"):
                return f"item {index + 1}, {ta['type']}: other bytes than the user's"
    return "the clipboard differs from the user's"
