"""How the compatibility table's applications are started with the test text
in them, and how their text is read back without the clipboard.

A starter leaves its application in front with the text in place, and knows
its process; a reader says what the application's text is now and since
when. An application the run found running is left running; one it started
is ended when the run ends. The run's own programs, which report their text
themselves, are in programs.py.
"""

from __future__ import annotations

import json
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, List, Mapping, Optional, Tuple

from . import osa, processes
from .context import Context
from .jsonlines import JsonObject, number
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
    stops: List[Callable[[], object]] = field(default_factory=lambda: [])


def running(ctx: Context, process: str) -> bool:
    answer = osa.call(ctx, "running", process)
    return answer.ok and isinstance(answer.value, int) and answer.value > 0


def installed(ctx: Context, application: str) -> str:
    """Why the application cannot be used here, or "" when it can."""
    result = processes.run(["open", "-Ra", application], timeout=ctx.timing.quick_command)
    return "" if result.ok else f"{application} is not installed ({result.describe()})"


def await_front(ctx: Context, process: str) -> Optional[int]:
    """Waits for `process` to be the frontmost application; its pid."""
    found: List[int] = []

    def in_front() -> bool:
        front = osa.frontmost(ctx)
        pid = front.get("pid") if front is not None else None
        if front is not None and front.get("name") == process and isinstance(pid, int):
            found.append(pid)
            return True
        return False

    processes.wait_until(in_front, ctx.timing.app_start, interval=0.25)
    return found[-1] if found else None


def end_when_run_ends(ctx: Context, pid: int) -> None:
    """Ends, when the run ends, an application the run started."""
    key = f"ends-with-the-run:{pid}"
    if key in ctx.state:
        return
    ctx.state[key] = True
    ctx.cleanup.callback(lambda: processes.end_pid(pid, ctx.timing.process_grace))


class Starter:
    """Starts an application with the text in it and in front. `process` is
    the application's name as System Events knows it."""

    process: str

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
            end_when_run_ends(ctx, pid)
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

    process: str = "TextEdit"

    def start(self, ctx: Context, cell: Cell) -> str:
        was_running = running(ctx, self.process)
        document = cell.files / f"{cell.key}.txt"
        document.write_text("", encoding="utf-8")
        opened = processes.run(["open", "-a", self.process, document], timeout=ctx.timing.quick_command)
        if not opened.ok:
            return opened.describe()

        def shown() -> bool:
            count = osa.call(ctx, "window-count", self.process, cell.key).value
            return isinstance(count, int) and count > 0

        if not processes.wait_until(shown, ctx.timing.app_start):
            return f"no TextEdit window for {document.name} within {ctx.timing.app_start:g} s"
        cell.stops.append(lambda: osa.call(ctx, "close", self.process, cell.key))
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


def pages(ctx: Context) -> PageServer:
    server = ctx.state.get("pages")
    if not isinstance(server, PageServer):
        server = PageServer(ctx.paths.apps / "text_page.html", ctx.log("pages.log"))
        ctx.state["pages"] = server
        ctx.cleanup.callback(server.close)
    return server


def _loaded(report: JsonObject) -> bool:
    return report.get("event") == "loaded"


@dataclass(frozen=True)
class OpenPage(Starter):
    """The text page in a browser, in a new tab or window of its own."""

    process: str
    field: str
    chrome_args: Tuple[str, ...] = ()
    firefox_prefs: Optional[Mapping[str, object]] = None

    def start(self, ctx: Context, cell: Cell) -> str:
        server = pages(ctx)
        server.add_case(cell.key, cell.text)
        url = server.url(cell.key, self.field)
        was_running = running(ctx, self.process)
        command: List[str] = ["open", "-a", self.process, url]
        if not was_running and (self.chrome_args or self.firefox_prefs is not None):
            command = ["open", "-na", self.process, "--args", *self._profile(ctx), url]
        opened = processes.run(command, timeout=ctx.timing.quick_command)
        if not opened.ok:
            return opened.describe()
        if server.wait_for(cell.key, _loaded, ctx.timing.app_start) is None:
            return f"the page did not load in {self.process} within {ctx.timing.app_start:g} s"
        return self._front(ctx, cell, was_running)

    def _profile(self, ctx: Context) -> List[str]:
        profile = ctx.paths.out / f"profile-{self.process.replace(' ', '-')}"
        profile.mkdir(parents=True, exist_ok=True)
        if self.firefox_prefs is None:
            return [f"--user-data-dir={profile}", *self.chrome_args]
        prefs = "".join(f"user_pref({json.dumps(k)}, {json.dumps(v)});\n" for k, v in self.firefox_prefs.items())
        (profile / "user.js").write_text(prefs, encoding="utf-8")
        return ["-profile", str(profile)]


@dataclass(frozen=True)
class PageReport(Reader):
    def text(self, ctx: Context, cell: Cell) -> Tuple[Optional[str], Optional[float]]:
        reports = pages(ctx).reports(cell.key)
        if not reports:
            return None, None
        value = reports[-1].get("value")
        return (value if isinstance(value, str) else None), number(reports[-1].get("time"))


@dataclass(frozen=True)
class Electron(Starter):
    """The text page in the Electron app that the run built with npm."""

    field: str
    process: str = "Electron"

    def available(self, ctx: Context) -> str:
        if not (ctx.paths.apps / "electron" / "node_modules" / ".bin" / "electron").exists():
            return "the Electron app was not built (see build:electron)"
        return ""

    def start(self, ctx: Context, cell: Cell) -> str:
        server = pages(ctx)
        server.add_case(cell.key, cell.text)
        folder = ctx.paths.apps / "electron"
        app = processes.Background(
            [folder / "node_modules" / ".bin" / "electron", ".", f"--url={server.url(cell.key, self.field)}"],
            cwd=folder,
            output=ctx.log(f"{cell.key}.electron.log"),
        )
        cell.stops.append(lambda: app.stop(ctx.timing.process_grace))
        if server.wait_for(cell.key, _loaded, ctx.timing.app_start) is None:
            return f"the page did not load in Electron within {ctx.timing.app_start:g} s"
        return self._front(ctx, cell, was_running=True)
