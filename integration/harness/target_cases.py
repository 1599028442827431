"""The cases driven in the run's own TextTarget, where every keystroke the
host sends can be seen: the keys the host uses under each layout, and a
target that quits while a paste is on its way."""

from __future__ import annotations

import time
from dataclasses import dataclass
from pathlib import Path
from typing import List, Optional, Union

from . import clipboard, osa, processes, witness
from .context import SELECTION_CHANNEL, Context
from .jsonlines import JsonObject, number
from .layouts import Layout, keys
from .report import Outcome, failed, passed, skipped
from .text_target import TextTarget, bystander, open_target, typed_into
from .ui_report import UiReport, time_of


@dataclass
class Summoned:
    """A target in front of the bystander, the sentinel on the clipboard,
    and the hot key pressed: what the UI report shows from `mark` on."""

    target: TextTarget
    bystander: TextTarget
    expected_clipboard: Path
    report: UiReport
    mark: int
    started: float

    def answer(self) -> Optional[JsonObject]:
        return self.report.answer(SELECTION_CHANNEL, "pasteText", self.mark)


def _summon(ctx: Context, name: str, text: str, quit_when_reactivated: bool = False) -> Union[Summoned, Outcome]:
    """Opens a target showing `text`, puts the sentinel on the clipboard,
    brings the bystander and then the target forward, selects, presses the
    hot key and waits for the UI to ask for the paste."""
    other, failure = bystander(ctx)
    target = None
    if other is not None:
        target, failure = open_target(ctx, name, text, quit_when_reactivated)
    if other is None or target is None:
        return failed(f"set-up: {failure}")
    expected_clipboard, failure = clipboard.put_sentinel(ctx)
    if expected_clipboard is None:
        return failed(f"set-up: {failure}")
    other.bring_forward(ctx)
    target.bring_forward(ctx)
    processes.pause(ctx.timing.activation_settle)
    selected = osa.press(ctx, osa.SELECT_ALL_KEY, "command")
    if not selected.ok:
        return osa.typing_failed(ctx, "Command-A", selected.error)
    report = UiReport(ctx.paths.report)
    summoned = Summoned(target, other, expected_clipboard, report, report.mark(), time.time())
    pressed = osa.press(ctx, osa.HOT_KEY, "command", "shift")
    if not pressed.ok:
        return osa.typing_failed(ctx, "the hot key", pressed.error)
    processes.wait_until(lambda: summoned.answer() is not None, ctx.timing.capture)
    return summoned


def keys_case(ctx: Context, layout: Layout) -> Outcome:
    """Passes only when the host's Command-C reached the target, and its
    Command-V the input stream, with the key codes that the layout tool says
    type "c" and "v" with Command held under this layout, and the paste
    landed."""
    eyes, why = witness.live(ctx)
    if eyes is None:
        return skipped(why)
    wanted = keys(ctx, layout)
    if wanted is None or not isinstance(wanted.get("c"), int) or not isinstance(wanted.get("v"), int):
        return failed(f"the layout tool found no key for \"c\" or \"v\" under {layout.name}: {wanted}")
    text = f"keys under {layout.name}"
    summoned = _summon(ctx, f"brimlane-keys-{layout.slug}", text)
    if isinstance(summoned, Outcome):
        return summoned
    target, started, answer = summoned.target, summoned.started, summoned.answer()
    if answer is not None:
        processes.wait_until(lambda: bool(target.events("text", started)), ctx.timing.paste)
    processes.pause(ctx.timing.quiet_after_paste)

    # The key codes are judged whatever else happened: a Command-C with the
    # wrong key copies nothing, and the reason must say which key it was.
    problems: List[str] = []
    copies = [k for k in target.events("key", started) if witness.is_command(k) and k.get("keyCode") != osa.SELECT_ALL_KEY]
    if not copies:
        problems.append("the target received no Command keystroke for the copy")
    elif copies[0].get("keyCode") != wanted["c"]:
        problems.append(f"the host's Command-C carried key code {copies[0].get('keyCode')}, "
                        f"but \"c\" is key code {wanted['c']} under {layout.name}")
    if answer is None:
        received = summoned.report.received("updateSelection", summoned.mark)
        problems.append(f"no paste to watch: the UI received {received.get('arguments') if received else 'nothing'}")
    else:
        pastes = [k for k in eyes.keystrokes(time_of(answer) or started) if witness.is_command(k)]
        if not pastes:
            problems.append("the witness saw no Command keystroke for the paste")
        elif pastes[0].get("keyCode") != wanted["v"]:
            problems.append(f"the host's Command-V carried key code {pastes[0].get('keyCode')}, but \"v\" is key "
                            f"code {wanted['v']} under {layout.name} ({witness.describe(pastes[0])})")
        pasted = target.events("text", started)
        if not pasted or pasted[-1].get("text") != f"«{text}»":
            problems.append(f"the target's text is {pasted[-1].get('text') if pasted else text!r} after the paste")
    stray = typed_into(summoned.bystander, started)
    if stray:
        problems.append(f"the bystander received {stray}")
    if problems:
        return failed("; ".join(problems))
    return passed(f"Command-C as key code {wanted['c']} and Command-V as key code {wanted['v']}, as {layout.name} has them")


def quit_case(ctx: Context) -> Outcome:
    """A target that quits as soon as the paste brings it forward again: the
    host must type nothing anywhere, and give the clipboard back."""
    eyes, why = witness.live(ctx)
    if eyes is None:
        return skipped(f"{why}; without it, that nothing was typed anywhere cannot be shown")
    summoned = _summon(ctx, "brimlane-quitting-target", "text of an application about to quit", True)
    if isinstance(summoned, Outcome):
        return summoned
    target, answer = summoned.target, summoned.answer()
    if answer is None or answer.get("value") is not True:
        return failed(f"pasteText answered {answer.get('kind') if answer else 'nothing'}")
    watch = clipboard.start_watch(ctx, summoned.expected_clipboard, "quitting-target")
    processes.wait_until(lambda: target.first("exited") is not None or not target.alive(), ctx.timing.target_quit)
    processes.pause(ctx.timing.quiet_after_paste)
    restored, _, difference = clipboard.watch_result(ctx, watch, summoned.expected_clipboard)

    origin = time_of(answer) or summoned.started
    moments = _moments(target, eyes, origin)
    again, ended = target.when("active-again"), target.when("exited")
    if again is None:
        return failed(f"the paste never brought the target forward again; {moments}")
    if ended is None and target.alive():
        return failed(f"the target came forward again but had not ended {ctx.timing.target_quit:g} s later; {moments}")
    typed = [k for k in eyes.keystrokes(again) if k.get("keyCode") != witness.CONTROL_KEY]
    first_key = (typed or target.events("key", again) or [None])[0]
    if first_key is not None:
        when = number(first_key.get("time")) or 0.0
        if ended is None or when < ended:
            return skipped("the target's process was still running when the host typed, so the host was right to "
                           f"type into it; this run shows nothing about the host; {moments}")
        return failed(f"the host typed after the target had ended: {witness.describe(first_key)}; {moments}")
    stray = typed_into(summoned.bystander, again)
    if stray:
        return failed(f"the bystander received {stray}; {moments}")
    if not restored:
        return failed(f"{difference}; {moments}")
    return passed(f"nothing typed anywhere, the clipboard back; {moments}")


def _moments(target: TextTarget, eyes: witness.Witness, origin: float) -> str:
    """When each thing happened, in ms after the host answered pasteText."""

    def at(value: Optional[float]) -> str:
        return f"+{(value - origin) * 1000:.0f} ms" if value is not None else "never"

    seen = [k for k in eyes.keystrokes(origin) if k.get("keyCode") != witness.CONTROL_KEY]
    return (
        f"target came forward again {at(target.when('active-again'))}, quit {at(target.when('quitting'))}, "
        f"ended {at(target.when('exited'))}; the witness saw a keystroke {at(number(seen[0].get('time')) if seen else None)}"
    )
