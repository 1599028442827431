"""The key witness (integration/tools/key_witness.mm): a tap on the session's
key presses, which sees what the host posts into the input stream.

A witness that says it listens can still be blind: a listen-only tap made
without the Input Monitoring permission may be created and then receive
nothing. So the run believes it only after a control keystroke of its own,
sent after "listening", has shown up in its log, and asks again before each
case that rests on it. Until then there is no witness, and a case that needs
one is skipped, never passed.
"""

from __future__ import annotations

import time
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple

from . import osa, processes
from .context import Context
from .report import Outcome, passed, skipped
from .jsonlines import read_objects

# F19: a key no application the run drives does anything with, and no text
# system types anything for.
CONTROL_KEY = 80

COMMAND_FLAG = 0x100000
# Shift, Control, Option: a Command keystroke carrying any of these is another
# shortcut.
OTHER_MODIFIERS = 0x20000 | 0x40000 | 0x80000


@dataclass
class Witness:
    log: Path
    process: processes.Background

    def lines(self, event: str = "", after: float = 0.0) -> List[Dict[str, Any]]:
        return [
            line
            for line in read_objects(self.log)
            if (not event or line.get("event") == event) and float(line.get("time") or 0) > after
        ]

    def settled(self) -> Optional[Dict[str, Any]]:
        """Its "listening" or "no-tap" line, once it has written one."""
        found = self.lines("listening") or self.lines("no-tap")
        return found[0] if found else None

    def keystrokes(self, after: float, key_code: Optional[int] = None) -> List[Dict[str, Any]]:
        return [
            line
            for line in self.lines("keyDown", after)
            if key_code is None or line.get("keyCode") == key_code
        ]

    def confirm(self, ctx: Context) -> Tuple[bool, str]:
        """Sends the control keystroke and waits for it in the log."""
        if not self.process.running():
            return False, "the witness has ended"
        sent = time.time()
        answer = osa.press(ctx, CONTROL_KEY)
        if not answer.ok:
            return False, f"the control keystroke could not be sent: {answer.error}"
        if processes.wait_until(lambda: bool(self.keystrokes(sent - 0.5, CONTROL_KEY)), ctx.timing.control_keystroke):
            return True, ""
        return False, (
            f"it said it was listening, but the control keystroke (key code {CONTROL_KEY}) "
            f"did not reach it within {ctx.timing.control_keystroke:g} s"
        )


def start(ctx: Context) -> Outcome:
    """The witness case: starts it, and passes only once it has seen the
    control keystroke."""
    log = ctx.log("key-witness.jsonl")
    log.unlink(missing_ok=True)
    process = processes.Background(
        [ctx.paths.tool("key-witness"), log], output=ctx.log("key-witness-stderr.txt")
    )
    witness = Witness(log, process)
    ctx.cleanup.callback(process.stop)
    processes.wait_until(lambda: witness.settled() is not None or not process.running(), ctx.timing.witness_listening)
    chose = witness.lines("chose")
    choice = f"{chose[0].get('tap')} tap" if chose else "no choice logged"
    settled = witness.settled()
    if settled is None:
        return skipped(f"no witness: it neither listened nor gave up within {ctx.timing.witness_listening:g} s ({choice})")
    if settled.get("event") == "no-tap":
        return skipped(f"no witness: {settled.get('reason')}")
    confirmed, why = witness.confirm(ctx)
    if not confirmed:
        return skipped(f"no witness: {why}")
    ctx.state["witness"] = witness
    return passed(f"listening with a {settled.get('tap')} tap, and the control keystroke reached it")


def live(ctx: Context) -> Tuple[Optional[Witness], str]:
    """The witness, asked again with a control keystroke; or why there is
    none."""
    witness = ctx.state.get("witness")
    if not isinstance(witness, Witness):
        return None, "no witness (see the witness case)"
    confirmed, why = witness.confirm(ctx)
    return (witness, "") if confirmed else (None, f"no witness: {why}")


def is_command(line: Dict[str, Any]) -> bool:
    flags = line.get("flags")
    return isinstance(flags, int) and bool(flags & COMMAND_FLAG) and not flags & OTHER_MODIFIERS


def describe(line: Dict[str, Any]) -> str:
    flags = line.get("flags")
    flag_text = f"{flags:#x}" if isinstance(flags, int) else "?"
    return f"key code {line.get('keyCode')} flags {flag_text} from pid {line.get('sourcePid')} at {line.get('time')}"
