"""Keystrokes and window queries through System Events, in JavaScript for
Automation.

Only System Events is scripted: hosted runners let osascript control it,
and the applications themselves are opened with `open` and never scripted.
Every script returns JSON, so a text with tabs, line breaks or any other
character comes back exactly; every call has a timeout and a hung one is
ended. Each script opens with a line naming it, which the command log and
the harness's tests read.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Dict, Optional

from . import processes
from .context import Context
from .jsonlines import JsonObject, as_object, parse_object
from .report import FAIL, SKIP, Outcome

SCRIPTS: Dict[str, str] = {
    # key CODE [MODIFIER,...]: a keystroke by virtual key code, so that the
    # keyboard layout cannot change which key it is.
    "key": """
function run(argv) {
  const using = argv[1] ? argv[1].split(',').map(m => m + ' down') : [];
  Application('System Events').keyCode(Number(argv[0]), {using: using});
  return JSON.stringify({ok: true});
}""",
    # frontmost: the application in front, by name, process and bundle.
    "frontmost": """
function run(argv) {
  const p = Application('System Events').applicationProcesses.whose({frontmost: true})[0];
  let bundle = null;
  try { bundle = p.bundleIdentifier(); } catch (e) {}
  return JSON.stringify({ok: true, value: {name: p.name(), pid: p.unixId(), bundle: bundle}});
}""",
    # activate PID: brings the application of that process to the front.
    "activate": """
function run(argv) {
  const p = Application('System Events').applicationProcesses.whose({unixId: Number(argv[0])})[0];
  p.frontmost = true;
  return JSON.stringify({ok: true});
}""",
    # running PROCESS: how many application processes have that name.
    "running": """
function run(argv) {
  return JSON.stringify({ok: true, value: Application('System Events').applicationProcesses.whose({name: argv[0]}).length});
}""",
    # window-count PROCESS TITLE: how many of its windows have TITLE in
    # their name; 0 when the process is not running.
    "window-count": """
function run(argv) {
  const se = Application('System Events');
  if (se.applicationProcesses.whose({name: argv[0]}).length === 0) return JSON.stringify({ok: true, value: 0});
  const p = se.applicationProcesses.byName(argv[0]);
  return JSON.stringify({ok: true, value: p.windows.whose({name: {_contains: argv[1]}}).length});
}""",
    # raise PROCESS TITLE: that window in front of its application, and the
    # application in front.
    "raise": """
function run(argv) {
  const p = Application('System Events').applicationProcesses.byName(argv[0]);
  p.frontmost = true;
  p.windows.whose({name: {_contains: argv[1]}})[0].actions.byName('AXRaise').perform();
  return JSON.stringify({ok: true});
}""",
    # text PROCESS TITLE: the accessibility value of the window's text area.
    "text": """
function run(argv) {
  const p = Application('System Events').applicationProcesses.byName(argv[0]);
  const w = p.windows.whose({name: {_contains: argv[1]}})[0];
  return JSON.stringify({ok: true, value: w.scrollAreas[0].textAreas[0].value()});
}""",
    # set-text PROCESS TITLE TEXT: sets the window's text area's value.
    "set-text": """
function run(argv) {
  const p = Application('System Events').applicationProcesses.byName(argv[0]);
  const w = p.windows.whose({name: {_contains: argv[1]}})[0];
  w.scrollAreas[0].textAreas[0].value = argv[2];
  return JSON.stringify({ok: true});
}""",
    # close PROCESS TITLE: clicks the window's close button.
    "close": """
function run(argv) {
  const p = Application('System Events').applicationProcesses.byName(argv[0]);
  const w = p.windows.whose({name: {_contains: argv[1]}})[0];
  w.buttons.whose({subrole: 'AXCloseButton'})[0].click();
  return JSON.stringify({ok: true});
}""",
}


@dataclass(frozen=True)
class Answer:
    ok: bool
    value: object = None
    error: str = ""


def call(ctx: Context, name: str, *arguments: str) -> Answer:
    script = f"// brimlane:{name}{SCRIPTS[name]}"
    result = processes.run(
        ["osascript", "-l", "JavaScript", "-e", script, *arguments],
        timeout=ctx.timing.applescript,
    )
    if not result.ok:
        error = result.describe()
        if result.stderr.strip() and not result.timed_out:
            error = f"{name}: {processes.last_line(result.stderr)}"
        with ctx.log("osascript.log").open("a", encoding="utf-8") as log:
            log.write(f"{name} {list(arguments)!r}: {error}\n{result.stderr}\n")
        return Answer(False, error=f"osascript {name}: {error}" if result.timed_out else error)
    document = parse_object(result.stdout)
    if document is None or document.get("ok") is not True:
        return Answer(False, error=f"{name}: osascript printed no answer of its script: {result.stdout[:200]!r}")
    return Answer(True, document.get("value"))


def press(ctx: Context, key_code: int, *modifiers: str) -> Answer:
    return call(ctx, "key", str(key_code), ",".join(modifiers))


def frontmost(ctx: Context) -> Optional[JsonObject]:
    """The application in front: its name, pid and bundle identifier."""
    answer = call(ctx, "frontmost")
    return as_object(answer.value) if answer.ok and answer.value is not None else None


def typing_failed(ctx: Context, what: str, error: str) -> Outcome:
    """System Events types for whatever started the run (a terminal, or a
    runner's agent), which needs the Accessibility trust itself. On a Mac of
    your own without it the case is skipped; on a runner, which grants it,
    it fails."""
    if ctx.options.grant_trust:
        return Outcome(FAIL, f"{what} could not be typed: {error}")
    return Outcome(SKIP, f"{what} could not be typed, most likely because the terminal is not trusted "
                         f"for Accessibility: {error}")


# The host's hot key is virtual key 17 (T on the ANSI layout) with Command and
# Shift, whatever character the layout puts there: the host registers it by
# key code. Command-A is key code 0, which is A in US, Dvorak and "Dvorak -
# QWERTY Command" alike, with Command held or not.
HOT_KEY = 17
SELECT_ALL_KEY = 0
