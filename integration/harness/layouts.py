"""Keyboard layouts, selected with the run's layout tool
(integration/tools/keyboard_layout.mm) and put back afterwards.

Applications read a Command shortcut by the character its key types with
Command held in the current layout: under Dvorak, C and V are on the keys
that are I and the full stop on a US keyboard. The layout tool says, for the
layout it selected, which key codes type "c" and "v" with Command held; a
case under that layout passes only when the host's keystrokes carried those
codes. Before it changes anything the tool writes the user's input source
into a record beside itself, so that a restore from this run's cleanup, or
from the next run after one killed outright, selects it again.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Optional, Tuple

from . import processes
from .context import Context
from .jsonlines import JsonObject, as_list, as_object, parse_object
from .report import Outcome, failed, passed, skipped


@dataclass(frozen=True)
class Layout:
    name: str
    slug: str
    source: str


US = Layout("US", "us", "com.apple.keylayout.US")
DVORAK = Layout("Dvorak", "dvorak", "com.apple.keylayout.Dvorak")
DVORAK_QWERTY_COMMAND = Layout("Dvorak - QWERTY Command", "dvorak-qwerty-command", "com.apple.keylayout.DVORAK-QWERTYCMD")


def _tool(ctx: Context, *arguments: str) -> Tuple[int, JsonObject, str]:
    """Runs the layout tool; its exit status, its JSON answer, and its output
    for a reason when the answer is not JSON."""
    result = processes.run([ctx.paths.tool("keyboard-layout"), *arguments], timeout=ctx.timing.quick_command)
    with ctx.log("keyboard-layout.log").open("a", encoding="utf-8") as log:
        log.write(f"{' '.join(arguments)}: {result.describe()}\n{result.stdout}{result.stderr}")
    answer = parse_object(result.stdout)
    if result.returncode is None or answer is None:
        return (result.returncode if result.returncode is not None else 1), {}, result.describe()
    return result.returncode, answer, ""


def keys(ctx: Context, layout: Layout) -> Optional[JsonObject]:
    """The key codes the layout tool found for "c" and "v" under `layout`,
    once it has been selected."""
    found = ctx.state.get(f"keys:{layout.slug}")
    return as_object(found) if found is not None else None


def select(ctx: Context, layout: Layout) -> Outcome:
    status, answer, output = _tool(ctx, "select", layout.source, str(ctx.paths.layout_state))
    _put_back_at_the_end(ctx)
    if status == 0 and answer.get("ok") is True:
        found = as_object(answer.get("keys"))
        ctx.state[f"keys:{layout.slug}"] = found
        # The host and the applications hear of the new layout through a
        # notification; nothing says when they have.
        processes.pause(ctx.timing.layout_settle)
        return passed(
            f"{answer.get('name') or layout.source} selected and read back; with Command, "
            f"\"c\" is key code {found.get('c')} and \"v\" key code {found.get('v')} there"
        )
    reason = answer.get("reason") or output or f"the layout tool exited {status}"
    if status == 3:
        return skipped(f"layout not changed: {reason}")
    return failed(f"{layout.source} not selected: {reason}")


def _put_back_at_the_end(ctx: Context) -> None:
    if not ctx.state.get("layout-cleanup"):
        ctx.state["layout-cleanup"] = True
        ctx.cleanup.callback(lambda: restore(ctx))


def restore(ctx: Context) -> Tuple[bool, str]:
    """Selects the user's input source again and disables what the run
    enabled; says whether that held, and what was done."""
    if not ctx.paths.layout_state.exists():
        return True, "nothing to put back"
    status, answer, output = _tool(ctx, "restore", str(ctx.paths.layout_state))
    if status == 0 and answer.get("ok") is True:
        disabled = [str(source) for source in as_list(answer.get("disabled"))]
        restored = answer.get("restored")
        text = f"put back {restored}" if restored else str(answer.get("reason") or "nothing to put back")
        return True, text + (f"; disabled {', '.join(disabled)}" if disabled else "")
    return False, str(answer.get("reason") or output or f"the layout tool exited {status}")


def put_back(ctx: Context) -> Outcome:
    held, what = restore(ctx)
    return passed(what) if held else failed(f"the user's input source was not put back: {what}")


def recover_from_killed_run(ctx: Context) -> None:
    """A run killed outright had no chance to select the user's input source
    again; its record does it now, before anything else."""
    if ctx.paths.layout_state.exists() and ctx.paths.tool("keyboard-layout").exists():
        held, what = restore(ctx)
        ctx.notes.append(f"an earlier run's keyboard layout: {what if held else 'not put back: ' + what}")
