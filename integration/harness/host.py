"""The host with the integration UI: started through Launch Services, and
judged by what the UI reports of every channel answer and plug-in."""

from __future__ import annotations

import json
from typing import Any, Callable, Dict, List, Optional, Tuple

from . import processes
from .context import SELECTION_CHANNEL, SYSTEM_CHANNEL, Context
from .report import Outcome, failed, passed, skipped
from .ui_report import UiReport, describe_answer

REGISTRANT_LINE = "Brimlane: plug-ins registered by the generated plug-in registrant"
# The plug-in packages the UI calls, as its report names them.
PLUGINS = ("device_info_plus", "flutter_secure_storage", "package_info_plus", "path_provider", "url_launcher")
UNKNOWN_METHOD = "integrationUnknownMethod"


# Every answer the UI records at start, with what it may be. "checkPermission"
# may be either boolean (the trust is judged by its own case), and
# "getSelection" null or, trusted, the text of whatever was in front.
EXPECTED_ANSWERS: Tuple[Tuple[str, str, Callable[[Dict[str, Any]], bool], str], ...] = (
    (SELECTION_CHANNEL, "checkPermission", lambda a: a.get("kind") == "value" and isinstance(a.get("value"), bool), "a boolean"),
    (SELECTION_CHANNEL, "startWindowDrag", lambda a: a.get("kind") == "value" and a.get("value") is None, "null"),
    (SELECTION_CHANNEL, UNKNOWN_METHOD, lambda a: a.get("kind") == "notImplemented", "not implemented"),
    (SELECTION_CHANNEL, "getSelection", lambda a: a.get("kind") == "value" and (a.get("value") is None or isinstance(a.get("value"), str)), "null or a text"),
    (SYSTEM_CHANNEL, "getLaunchAtLogin", lambda a: a.get("kind") == "value" and a.get("value") is False, "false"),
    (
        SYSTEM_CHANNEL,
        "setLaunchAtLogin",
        lambda a: a.get("kind") == "error" and a.get("code") == "INVALID_ARGUMENT"
        and a.get("message") == "Boolean argument required" and a.get("details") is None,
        'the error "INVALID_ARGUMENT" / "Boolean argument required"',
    ),
    (SYSTEM_CHANNEL, UNKNOWN_METHOD, lambda a: a.get("kind") == "notImplemented", "not implemented"),
)


def find_pid(ctx: Context) -> Optional[int]:
    """The process started from the bundle's executable, found by its command
    line rather than by name, so that another copy of Brimlane is left
    alone."""
    result = processes.run(["ps", "-x", "-o", "pid=", "-o", "command="], timeout=ctx.timing.quick_command)
    executable = str(ctx.paths.executable)
    for line in result.stdout.splitlines():
        pid, _, command = line.strip().partition(" ")
        command = command.strip()
        if pid.isdigit() and (command == executable or command.startswith(executable + " ")):
            return int(pid)
    return None


def host_pid(ctx: Context) -> Optional[int]:
    pid = ctx.state.get("host-pid")
    return pid if isinstance(pid, int) else None


def start(ctx: Context) -> Outcome:
    """Started through Launch Services, so that the trust asked about is the
    application's own and not the terminal's; -g leaves the application in
    front where it is."""
    for name in ("report.jsonl", "host-stdout.txt", "host-stderr.txt"):
        ctx.log(name).write_text("", encoding="utf-8")
    opened = processes.run(
        ["open", "-g", "-n", "--env", f"BRIMLANE_INTEGRATION_REPORT={ctx.paths.report}",
         "--stdout", ctx.log("host-stdout.txt"), "--stderr", ctx.log("host-stderr.txt"), ctx.paths.app],
        timeout=ctx.timing.quick_command,
    )
    if not opened.ok:
        return failed(f"open: {opened.describe()}")
    found: List[int] = []

    def known() -> bool:
        pid = find_pid(ctx)
        if pid is not None:
            found.append(pid)
        return pid is not None

    if not processes.wait_until(known, ctx.timing.host_start, interval=0.2):
        return failed(f"no process of {ctx.paths.executable.name} within {ctx.timing.host_start:g} s")
    pid = found[-1]
    ctx.state["host-pid"] = pid
    ctx.cleanup.callback(lambda: end_host(ctx))
    return passed(f"pid {pid}")


def end_host(ctx: Context) -> str:
    pid = host_pid(ctx)
    if pid is None:
        return "no host"
    ctx.state.pop("host-pid", None)
    return processes.end_pid(pid, ctx.timing.process_grace)


def end_case(ctx: Context) -> Outcome:
    return passed(end_host(ctx))


def ui_ready(ctx: Context) -> Outcome:
    report = UiReport(ctx.paths.report)
    pid = host_pid(ctx)
    processes.wait_until(
        lambda: report.event("ready") is not None or (pid is not None and not processes.alive(pid)),
        ctx.timing.ui_ready,
        interval=0.2,
    )
    if report.event("ready") is not None:
        return passed("the UI made every start-up call")
    ended = "; the host has ended" if pid is not None and not processes.alive(pid) else ""
    return failed(f"no \"ready\" line in report.jsonl within {ctx.timing.ui_ready:g} s{ended}")


def registrant(ctx: Context) -> Outcome:
    """The launch says on standard error which way the host registered the
    plug-ins; the runner always has Flutter's generated registrant."""
    lines = ctx.log("host-stderr.txt").read_text(encoding="utf-8", errors="replace").splitlines()
    if REGISTRANT_LINE in lines:
        return passed(REGISTRANT_LINE)
    said = next((line for line in lines if line.startswith("Brimlane: ") and "plug-in" in line), "")
    return failed(said or "the host's standard error does not say how it registered the plug-ins")


def plugin(ctx: Context, package: str) -> Outcome:
    """Passes when the macOS side of the plug-in answered the UI's call, with
    a value or with an error of its own (either needs it registered)."""
    line = UiReport(ctx.paths.report).plugin(package)
    if line is None:
        return failed("no line for it in report.jsonl")
    kind = line.get("kind")
    if kind == "answered":
        return passed("answered")
    if kind == "error":
        return passed(f"answered with its own error {line.get('code')}")
    if kind == "missing":
        return failed(f"not registered: {line.get('description')}")
    if kind == "timeout":
        return failed("no answer within the UI's 10 s")
    return failed(json.dumps(line, ensure_ascii=False))


def trusted(ctx: Context) -> Outcome:
    answer = UiReport(ctx.paths.report).answer(SELECTION_CHANNEL, "checkPermission")
    if answer is not None and answer.get("kind") == "value" and answer.get("value") is True:
        return passed("checkPermission answered true")
    if ctx.options.grant_trust:
        return failed(f"checkPermission answered {describe_answer(answer)} after the trust was written")
    return skipped(
        "not trusted: grant Brimlane the Accessibility permission by hand (docs/MACOS.md, "
        f"\"Running it on your Mac\"), or run with --grant-trust on a runner; checkPermission answered {describe_answer(answer)}"
    )


def answer_case(ctx: Context, channel: str, method: str) -> Outcome:
    for expected_channel, expected_method, accept, wanted in EXPECTED_ANSWERS:
        if (expected_channel, expected_method) == (channel, method):
            answer = UiReport(ctx.paths.report).answer(channel, method)
            if answer is not None and accept(answer):
                return passed(describe_answer(answer))
            return failed(f"got {describe_answer(answer)}; expected {wanted}")
    raise KeyError((channel, method))


def still_running(ctx: Context) -> Outcome:
    pid = host_pid(ctx)
    if pid is not None and processes.alive(pid):
        return passed(f"pid {pid}")
    return failed("the host ended before the checks did")
