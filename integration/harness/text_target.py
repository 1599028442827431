"""TextTarget.app, the run's own application (integration/tools/text_target.mm):
a window with a text selected that logs every key it receives, every change
of its text and its own activations, copies and end. The run uses it as the
target whose keystrokes it can see, as the target that quits while a paste is
on its way, and as the bystander that nothing may ever be typed into."""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path
from typing import Any, Dict, List, Optional

from . import osa, processes
from .context import Context
from .jsonlines import read_objects

BYSTANDER_TEXT = "bystander document, to stay as it is"


def bundle(ctx: Context) -> Path:
    return ctx.paths.tool("TextTarget.app")


@dataclass
class TextTarget:
    name: str
    log: Path
    pid: Optional[int] = None

    def events(self, event: str = "", after: float = 0.0) -> List[Dict[str, Any]]:
        return [
            line
            for line in read_objects(self.log)
            if (not event or line.get("event") == event) and _time(line) > after
        ]

    def first(self, event: str, after: float = 0.0) -> Optional[Dict[str, Any]]:
        found = self.events(event, after)
        return found[0] if found else None

    def when(self, event: str, after: float = 0.0) -> Optional[float]:
        line = self.first(event, after)
        return _time(line) if line is not None else None

    def alive(self) -> bool:
        return self.pid is not None and processes.alive(self.pid)

    def bring_forward(self, ctx: Context) -> bool:
        return self.pid is not None and osa.call(ctx, "activate", str(self.pid)).ok


def _time(line: Dict[str, Any]) -> float:
    value = line.get("time")
    return float(value) if isinstance(value, (int, float)) else 0.0


def open_target(ctx: Context, name: str, text: str, quit_when_reactivated: bool = False) -> tuple[Optional[TextTarget], str]:
    """Opens a new TextTarget showing `text` selected, and waits for it to be
    in front. Returns it, or why it could not be opened."""
    files = ctx.paths.out / "targets"
    files.mkdir(parents=True, exist_ok=True)
    text_file = files / f"{name}.text"
    text_file.write_text(text, encoding="utf-8")
    target = TextTarget(name, files / f"{name}.jsonl")
    target.log.unlink(missing_ok=True)
    command = ["open", "-n", str(bundle(ctx)), "--args", "--log", str(target.log),
               "--text-file", str(text_file), "--title", name]
    if quit_when_reactivated:
        command.append("--quit-when-reactivated")
    opened = processes.run(command, timeout=ctx.timing.quick_command)
    if not opened.ok:
        return None, f"TextTarget did not open: {opened.describe()}"
    if not processes.wait_until(lambda: target.first("active") is not None, ctx.timing.app_start):
        started = target.first("started")
        return None, (
            f"TextTarget {'started but ' if started else ''}did not come forward within "
            f"{ctx.timing.app_start:g} s; see {target.log.name}"
        )
    pid = (target.first("started") or {}).get("pid")
    target.pid = pid if isinstance(pid, int) else None
    if target.pid is not None:
        pid_to_end = target.pid
        ctx.cleanup.callback(lambda: processes.end_pid(pid_to_end, ctx.timing.process_grace))
    return target, ""


def bystander(ctx: Context) -> tuple[Optional[TextTarget], str]:
    """The one bystander of the run, opened at its first use. Each case brings
    it forward just before its own target, so that a paste sent to the wrong
    application lands in it."""
    existing = ctx.state.get("bystander")
    if isinstance(existing, TextTarget) and existing.alive():
        return existing, ""
    target, failure = open_target(ctx, "brimlane-bystander", BYSTANDER_TEXT)
    if target is not None:
        ctx.state["bystander"] = target
    return target, failure


def typed_into(target: TextTarget, after: float) -> str:
    """What reached `target` after `after`, for a reason; "" when nothing did."""
    events = target.events("key", after) + target.events("text", after)
    if not events:
        return ""
    first = min(events, key=_time)
    if first.get("event") == "key":
        flags = first.get("flags")
        return f"key code {first.get('keyCode')} with flags {flags:#x}" if isinstance(flags, int) else f"key code {first.get('keyCode')}"
    return f"its text became {first.get('text')!r}"
