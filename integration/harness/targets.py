"""How the compatibility table's applications are started with the test text
in them, and how their text is read back without the clipboard.

A starter leaves its application in front with the text in place, and knows
its process; a reader says what the application's text is now and since
when. An application the run found running is left running; one it started
is ended when the run ends.
"""

from __future__ import annotations

import json
import os
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Callable, Dict, List, Optional, Tuple

from . import osa, processes
from .context import Context
from .pages import PageServer


@dataclass
class Cell:
    """One application under one layout, while it runs."""

    key: str
    text: str
    files: Path
    pid: Optional[int] = None
    process: str = ""
    report: Optional[Path] = None
    stops: List[Callable[[], None]] = field(default_factory=lambda: [])


def running(ctx: Context, process: str) -> bool:
    answer = osa.call(ctx, "running", process)
    return answer.ok and isinstance(answer.value, int) and answer.value > 0


def installed(ctx: Context, application: str) -> str:
    """Why the application cannot be used here, or "" when it can."""
    result = processes.run(["open", "-Ra", application], timeout=ctx.timing.quick_command)
    return "" if result.ok else f"{application} is not installed ({result.describe()})"


def await_front(ctx: Context, process: str) -> Optional[int]:
    """Waits for `process` to be the frontmost application; its pid."""
    found: Dict[str, Any] = {}

    def in_front() -> bool:
        front = osa.frontmost(ctx)
        if front is not None and front.get("name") == process:
            found.update(front)
            return True
        return False

    if processes.wait_until(in_front, ctx.timing.app_start, interval=0.25):
        pid = found.get("pid")
        return pid if isinstance(pid, int) else None
    return None


def end_when_run_ends(ctx: Context, process: str, pid: int) -> None:
    """Ends, when the run ends, an application the run started."""
    ended: Dict[int, bool] = ctx.state.setdefault("ended-apps", {})  # type: ignore[assignment]
    if pid in ended:
        return
    ended[pid] = False
    ctx.cleanup.callback(lambda: processes.end_pid(pid, ctx.timing.process_grace))


def report_lines(path: Optional[Path]) -> List[Dict[str, Any]]:
    if path is None:
        return []
    try:
        raw = path.read_text(encoding="utf-8", errors="replace")
    except FileNotFoundError:
        return []
    lines: List[Dict[str, Any]] = []
    for line in raw[: raw.rfind("\n") + 1].splitlines():
        try:
            value = json.loads(line)
        except json.JSONDecodeError:
            continue
        if isinstance(value, dict):
            lines.append(value)  # pyright: ignore[reportUnknownArgumentType]
    return lines


class Starter:
    """Starts an application with the text in it and in front."""

    process = ""

    def available(self, ctx: Context) -> str:
        return installed(ctx, self.process)

    def start(self, ctx: Context, cell: Cell) -> str:
        raise NotImplementedError

    def _front(self, ctx: Context, cell: Cell, was_running: bool) -> str:
        pid = await_front(ctx, self.process)
        if pid is None:
            return f"{self.process} did not come to the front within {ctx.timing.app_start:g} s"
        cell.pid, cell.process = pid, self.process
        if not was_running:
            end_when_run_ends(ctx, self.process, pid)
        return ""


class Reader:
    # Whether the application shows the text it starts with, so that the run
    # can check it before the capture.
    shows_text = True

    def text(self, ctx: Context, cell: Cell) -> Tuple[Optional[str], Optional[float]]:
        raise NotImplementedError


@dataclass(frozen=True)
class TextEditDocument(Starter):
    """An empty document of its own, named after the cell, whose text is set
    through accessibility: no encoding is guessed from a file."""

    process = "TextEdit"

    def start(self, ctx: Context, cell: Cell) -> str:
        was_running = running(ctx, self.process)
        document = cell.files / f"{cell.key}.txt"
        document.write_text("", encoding="utf-8")
        opened = processes.run(["open", "-a", "TextEdit", document], timeout=ctx.timing.quick_command)
        if not opened.ok:
            return opened.describe()
        counted = lambda: osa.call(ctx, "window-count", self.process, cell.key).value  # noqa: E731
        if not processes.wait_until(lambda: isinstance(counted(), int) and counted() > 0, ctx.timing.app_start):
            return f"no TextEdit window for {document.name} within {ctx.timing.app_start:g} s"
        cell.stops.append(lambda: osa.call(ctx, "close", self.process, cell.key) and None)
        answer = osa.call(ctx, "set-text", self.process, cell.key, cell.text)
        if not answer.ok:
            return f"the text could not be set: {answer.error}"
        osa.call(ctx, "raise", self.process, cell.key)
        return self._front(ctx, cell, was_running)


@dataclass(frozen=True)
class AccessibilityText(Reader):
    def text(self, ctx: Context, cell: Cell) -> Tuple[Optional[str], Optional[float]]:
        answer = osa.call(ctx, "text", cell.process, cell.key)
        return (answer.value if answer.ok and isinstance(answer.value, str) else None), time.time()


def _pages(ctx: Context) -> PageServer:
    server = ctx.state.get("pages")
    if not isinstance(server, PageServer):
        server = PageServer(ctx.paths.apps / "text_page.html", ctx.log("pages.log"))
        ctx.state["pages"] = server
        ctx.cleanup.callback(server.close)
    return server


@dataclass(frozen=True)
class OpenPage(Starter):
    """The text page in a browser, in a new tab or window of its own."""

    application: str
    bundle: str
    field: str
    chrome_args: Tuple[str, ...] = ()
    firefox_prefs: Optional[Dict[str, object]] = None

    @property
    def process(self) -> str:  # type: ignore[override]
        return self.application

    def start(self, ctx: Context, cell: Cell) -> str:
        server = _pages(ctx)
        server.add_case(cell.key, cell.text)
        url = server.url(cell.key, self.field)
        was_running = running(ctx, self.process)
        command: List[str] = ["open", "-a", self.application, url]
        if not was_running and (self.chrome_args or self.firefox_prefs is not None):
            command = ["open", "-na", self.application, "--args", *self._profile(ctx), url]
        opened = processes.run(command, timeout=ctx.timing.quick_command)
        if not opened.ok:
            return opened.describe()
        loaded = server.wait_for(cell.key, lambda r: r.get("event") == "loaded", ctx.timing.app_start)
        if loaded is None:
            return f"the page did not load in {self.application} within {ctx.timing.app_start:g} s"
        return self._front(ctx, cell, was_running)

    def _profile(self, ctx: Context) -> List[str]:
        profile = ctx.paths.out / f"profile-{self.bundle}"
        profile.mkdir(parents=True, exist_ok=True)
        if self.firefox_prefs is None:
            return [f"--user-data-dir={profile}", *self.chrome_args]
        prefs = "".join(f"user_pref({json.dumps(k)}, {json.dumps(v)});\n" for k, v in self.firefox_prefs.items())
        (profile / "user.js").write_text(prefs, encoding="utf-8")
        return ["-profile", str(profile)]


@dataclass(frozen=True)
class PageReport(Reader):
    def text(self, ctx: Context, cell: Cell) -> Tuple[Optional[str], Optional[float]]:
        reports = _pages(ctx).reports(cell.key)
        if not reports:
            return None, None
        latest = reports[-1]
        value, when = latest.get("value"), latest.get("time")
        return (value if isinstance(value, str) else None), (float(when) if isinstance(when, (int, float)) else None)


@dataclass(frozen=True)
class Electron(Starter):
    """The text page in the Electron app that the run built with npm."""

    field: str
    process = "Electron"

    def available(self, ctx: Context) -> str:
        if not (ctx.paths.apps / "electron" / "node_modules" / ".bin" / "electron").exists():
            return "the Electron app was not built (see build:electron)"
        return ""

    def start(self, ctx: Context, cell: Cell) -> str:
        server = _pages(ctx)
        server.add_case(cell.key, cell.text)
        folder = ctx.paths.apps / "electron"
        app = processes.Background(
            [folder / "node_modules" / ".bin" / "electron", ".", f"--url={server.url(cell.key, self.field)}"],
            cwd=folder,
            output=ctx.log(f"{cell.key}.electron.log"),
        )
        cell.stops.append(lambda: app.stop(ctx.timing.process_grace))
        if server.wait_for(cell.key, lambda r: r.get("event") == "loaded", ctx.timing.app_start) is None:
            return f"the page did not load in Electron within {ctx.timing.app_start:g} s"
        return self._front(ctx, cell, was_running=True)


class _ReportingProgram(Starter):
    """A program of the run's own that reports "started" with its pid once
    the text is in place and selected, then its whole text after each change."""

    def _started(self, ctx: Context, cell: Cell, activate: bool = True) -> str:
        def started() -> bool:
            return any(line.get("event") == "started" for line in report_lines(cell.report))

        if not processes.wait_until(started, ctx.timing.app_start):
            return f"{self.process} did not report that it started within {ctx.timing.app_start:g} s"
        pid = next(line.get("pid") for line in report_lines(cell.report) if line.get("event") == "started")
        if not isinstance(pid, int):
            return f"{self.process} reported no pid"
        cell.pid, cell.process = pid, self.process
        if activate:
            osa.call(ctx, "activate", str(pid))
        return ""

    def _files(self, cell: Cell) -> Tuple[Path, Path]:
        text = cell.files / f"{cell.key}.text"
        text.write_text(cell.text, encoding="utf-8")
        cell.report = cell.files / f"{cell.key}.report.jsonl"
        cell.report.unlink(missing_ok=True)
        return text, cell.report


@dataclass(frozen=True)
class SwingProgram(_ReportingProgram):
    process = "java"

    def available(self, ctx: Context) -> str:
        result = processes.run(["java", "-version"], timeout=ctx.timing.quick_command)
        return "" if result.ok else f"no Java runtime: {result.describe()}"

    def start(self, ctx: Context, cell: Cell) -> str:
        text, report = self._files(cell)
        program = processes.Background(
            ["java", ctx.paths.apps / "SwingText.java", text, report, cell.key],
            output=ctx.log(f"{cell.key}.java.log"),
        )
        cell.stops.append(lambda: program.stop(ctx.timing.process_grace))
        return self._started(ctx, cell)


@dataclass(frozen=True)
class FlutterTextField(_ReportingProgram):
    process = "brimlane_text_field_app"

    @staticmethod
    def bundle(ctx: Context) -> Path:
        build = ctx.paths.apps / "text_field_app" / "build" / "macos" / "Build" / "Products" / "Debug"
        return build / "brimlane_text_field_app.app"

    def available(self, ctx: Context) -> str:
        return "" if self.bundle(ctx).exists() else "the Flutter app was not built (see build:text-field-app)"

    def start(self, ctx: Context, cell: Cell) -> str:
        text, report = self._files(cell)
        opened = processes.run(
            ["open", "-n", self.bundle(ctx), "--env", f"BRIMLANE_TEXT_FILE={text}",
             "--env", f"BRIMLANE_TEXT_REPORT={report}"],
            timeout=ctx.timing.quick_command,
        )
        if not opened.ok:
            return opened.describe()
        failure = self._started(ctx, cell)
        if cell.pid is not None:
            pid = cell.pid
            cell.stops.append(lambda: processes.end_pid(pid, ctx.timing.process_grace) and None)
        return failure


@dataclass(frozen=True)
class TerminalWindow(_ReportingProgram):
    """A window of its own that shows the text, then reads what is pasted."""

    process = "Terminal"

    def start(self, ctx: Context, cell: Cell) -> str:
        text, report = self._files(cell)
        script = cell.files / f"{cell.key}.command"
        # Clears the screen and the scrollback, so that Select All selects the
        # text alone, then hands the window to the reader.
        script.write_text(
            "#!/bin/bash\n"
            "printf '\\033[3J\\033[H\\033[2J'\n"
            f"cat {_quoted(text)}\n"
            f"exec {_quoted(Path(sys.executable))} {_quoted(ctx.paths.apps / 'terminal_reader.py')} "
            f"{_quoted(report)} 600\n",
            encoding="utf-8",
        )
        os.chmod(script, 0o755)
        was_running = running(ctx, self.process)
        opened = processes.run(["open", "-a", "Terminal", script], timeout=ctx.timing.quick_command)
        if not opened.ok:
            return opened.describe()
        # The reader is no application; the window it runs in is Terminal's.
        failure = self._started(ctx, cell, activate=False)
        reader = cell.pid
        if reader is not None:
            cell.stops.append(lambda: processes.end_pid(reader, ctx.timing.process_grace) and None)
        return failure or self._front(ctx, cell, was_running)


def _quoted(path: Path) -> str:
    return "'" + str(path).replace("'", "'\\''") + "'"


@dataclass(frozen=True)
class ReportFile(Reader):
    # The programs report their text only once it changes.
    shows_text: bool = False

    def text(self, ctx: Context, cell: Cell) -> Tuple[Optional[str], Optional[float]]:
        texts = [line for line in report_lines(cell.report) if line.get("event") == "text"]
        if not texts:
            return None, None
        value, when = texts[-1].get("text"), texts[-1].get("time")
        return (value if isinstance(value, str) else None), (float(when) if isinstance(when, (int, float)) else None)
