"""One cell of the compatibility table: an application under a layout.

The application starts with the test text selected; the user's clipboard
(the sentinel) goes in place; the bystander comes forward and then the
application; the hot key captures the selection; the integration UI answers
with "pasteText"; the run reads the application's text back by its own means.
A cell passes when the capture and the paste are exact, the clipboard comes
back with every item and type, and nothing reached the bystander.
"""

from __future__ import annotations

import time
from typing import Dict, List, Optional

from . import clipboard, osa, processes, witness
from .applications import Application
from .context import SELECTION_CHANNEL, Context
from .layouts import Layout
from .report import CHECK_TITLES, FAIL, PASS, Outcome, failed, skipped
from .targets import Cell
from .text_target import bystander, typed_into
from .ui_report import UiReport, time_of

# Several lines, accented letters, CJK, an emoji with a skin-tone modifier,
# a combining mark (e + U+0301, left decomposed on purpose) and a tab.
TEST_TEXT = "Crème brûlée à la carte\n漢字かな交じり文\t👍🏽 thumbs up\nCafe\u0301 — the last line"


def pasted_text(selection: str) -> str:
    """What the integration UI asks the host to paste for a selection
    (pastedText in integration/ui/lib/main.dart)."""
    return f"«{selection}»"


def run_cell(ctx: Context, application: Application, layout: Layout) -> Outcome:
    unavailable = application.start.available(ctx)
    if unavailable:
        return skipped(unavailable)
    files = ctx.paths.out / "cells"
    files.mkdir(parents=True, exist_ok=True)
    cell = Cell(f"brimlane-{application.slug}-{layout.slug}", TEST_TEXT, files)
    try:
        return _drive(ctx, application, layout, cell)
    finally:
        for stop in reversed(cell.stops):
            stop()


def _drive(ctx: Context, application: Application, layout: Layout, cell: Cell) -> Outcome:
    checks: Dict[str, Optional[bool]] = {name: None for name in CHECK_TITLES}
    timings: Dict[str, float] = {}
    other, failure = bystander(ctx)
    if other is None:
        return failed(f"set-up: no bystander: {failure}")
    failure = application.start.start(ctx, cell)
    if failure or cell.pid is None:
        return failed(f"set-up: {application.name} did not start with the text: {failure or 'no process'}")
    if application.read.shows_text:
        shown, _ = application.read.text(ctx, cell)
        if shown != cell.text:
            return failed(f"set-up: {application.name} shows {shown!r}, not the test text")
    expected_clipboard, failure = clipboard.put_sentinel(ctx)
    if expected_clipboard is None:
        return failed(f"set-up: {failure}")

    other.bring_forward(ctx)
    osa.call(ctx, "activate", str(cell.pid))
    processes.pause(ctx.timing.activation_settle)
    front = osa.frontmost(ctx) or {}
    if front.get("pid") != cell.pid:
        return failed(f"set-up: {front.get('name') or 'nothing'} is in front, not {application.name}")
    if application.select_all:
        selected = osa.press(ctx, osa.SELECT_ALL_KEY, "command")
        if not selected.ok:
            return osa.typing_failed(ctx, "Command-A", selected.error)

    report = UiReport(ctx.paths.report)
    mark = report.mark()
    started = time.time()
    pressed = osa.press(ctx, osa.HOT_KEY, "command", "shift")
    if not pressed.ok:
        return osa.typing_failed(ctx, "the hot key", pressed.error)
    hot_key_time = _hot_key_time(ctx, started) or time.time()

    reasons: List[str] = []
    processes.wait_until(lambda: report.answer(SELECTION_CHANNEL, "pasteText", mark) is not None, ctx.timing.capture)
    received = report.received("updateSelection", mark)
    captured = received.get("arguments") if received else None
    checks["capture_exact"] = captured == cell.text
    if received is None:
        reasons.append(f"nothing reached the UI within {ctx.timing.capture:g} s of the hot key")
    elif captured != cell.text:
        reasons.append(f"the UI received {captured!r}")
    else:
        timings["hot_key_to_ui_ms"] = round((time_of(received) or hot_key_time) * 1000 - hot_key_time * 1000, 1)

    answer = report.answer(SELECTION_CHANNEL, "pasteText", mark)
    call = report.call(SELECTION_CHANNEL, "pasteText", mark)
    watch = clipboard.start_watch(ctx, expected_clipboard, cell.key)
    if answer is None or answer.get("value") is not True:
        reasons.append(f"pasteText answered {answer.get('kind') if answer else 'nothing'}"
                       + (f" {answer.get('value')!r}" if answer else ""))
    else:
        expected = pasted_text(captured if isinstance(captured, str) else "")
        landed = processes.wait_until(lambda: application.read.text(ctx, cell)[0] == expected, ctx.timing.paste)
        text, when = application.read.text(ctx, cell)
        checks["paste_exact"] = landed
        if not landed:
            reasons.append(f"{application.name} reads {text!r} after the paste")
        elif time_of(call) is not None and when is not None:
            timings["paste_to_target_ms"] = round((when - (time_of(call) or 0)) * 1000, 1)

    restored, restored_at, difference = clipboard.watch_result(ctx, watch, expected_clipboard)
    checks["clipboard_restored"] = restored
    if not restored:
        reasons.append(difference)
    elif restored_at is not None and time_of(call) is not None:
        timings["paste_to_clipboard_ms"] = round((restored_at - (time_of(call) or 0)) * 1000, 1)

    # A keystroke posted late would land now.
    processes.pause(ctx.timing.quiet_after_paste)
    stray = typed_into(other, started)
    checks["bystander_untouched"] = not stray
    if stray:
        reasons.append(f"the bystander received {stray}")

    verdict = PASS if all(checks.values()) else FAIL
    return Outcome(verdict, "; ".join(reasons) or "capture and paste exact, clipboard whole, bystander untouched", timings, checks)


def _hot_key_time(ctx: Context, after: float) -> Optional[float]:
    """When the witness saw the hot key, the most exact start of the clock."""
    seen = ctx.state.get("witness")
    if not isinstance(seen, witness.Witness):
        return None
    keys = seen.keystrokes(after - 0.5, osa.HOT_KEY)
    return float(keys[0]["time"]) if keys else None
