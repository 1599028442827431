"""What a reader of a failed or skipped run needs, collected into
build/integration/ (which the workflow uploads whatever happened): a
screenshot at each failure and skip, the machine's description, the host's
unified log, and the crash reports written during the run."""

from __future__ import annotations

import json
import shutil
import time
from pathlib import Path
from typing import Any, Dict, List

from . import processes
from .context import Context
from .jsonlines import as_object
from .report import PASS, Outcome, Row, failed, passed

CRASH_REPORTS = Path.home() / "Library" / "Logs" / "DiagnosticReports"


def screenshot(ctx: Context, row: Row) -> None:
    """The screen as it was when a case failed or was skipped."""
    if row.verdict == PASS:
        return
    folder = ctx.paths.out / "screenshots"
    folder.mkdir(exist_ok=True)
    name = "".join(c if c.isalnum() or c in "-_" else "_" for c in row.id)
    processes.run(["screencapture", "-x", folder / f"{name}.png"], timeout=ctx.timing.quick_command)


def describe_machine(ctx: Context) -> Dict[str, Any]:
    """The system, the tools and the protection the trust depends on."""
    described: Dict[str, Any] = {}
    for name, command in (
        ("csrutil status", ["csrutil", "status"]),
        ("sw_vers", ["sw_vers"]),
        ("xcodebuild -version", ["xcodebuild", "-version"]),
    ):
        result = processes.run(command, timeout=ctx.timing.quick_command)
        described[name] = (result.stdout + result.stderr).strip() if result.returncode is not None else result.describe()
    flutter = processes.run([ctx.options.flutter, "--version", "--machine"], env=ctx.flutter_env, timeout=ctx.timing.flutter_create)
    described["flutter --version --machine"] = flutter_version(flutter.stdout) or flutter.describe()
    ctx.log("machine.json").write_text(json.dumps(described, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")
    return described


def flutter_version(output: str) -> Dict[str, Any]:
    """The JSON object of `flutter --version --machine`, which may follow a
    line or two of the tool's own (an upgrade notice, say)."""
    start = output.find("{")
    if start < 0:
        return {}
    try:
        value: object = json.JSONDecoder().raw_decode(output[start:])[0]
    except json.JSONDecodeError:
        return {}
    return as_object(value)


def host_log(ctx: Context) -> None:
    """The unified log of the host's process for the run."""
    since = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(ctx.started - 5))
    processes.run(
        ["log", "show", "--style", "syslog", "--start", since, "--predicate", 'process == "Brimlane"'],
        timeout=ctx.timing.tests / 5,
        output=ctx.log("host-unified.log"),
    )


def crash_reports(ctx: Context) -> Outcome:
    """Every crash report written since the run started is kept; one of the
    host's fails the case."""
    kept: List[str] = []
    folder = ctx.paths.out / "crash-reports"
    if CRASH_REPORTS.is_dir():
        for report in sorted(CRASH_REPORTS.iterdir()):
            if report.is_file() and report.stat().st_mtime >= ctx.started - 1:
                folder.mkdir(exist_ok=True)
                shutil.copy(report, folder)
                kept.append(report.name)
    host = [name for name in kept if name.startswith("Brimlane")]
    if host:
        return failed(f"{len(host)} of the host's in build/integration/crash-reports: {', '.join(host)}")
    others = f"; kept {len(kept)} of other processes: {', '.join(kept)}" if kept else ""
    return passed("none of the host's" + others)
