"""The compatibility table's applications that are programs of the run's
own (integration/apps/): each reports "started" with its pid once the text
is in place and selected, then its whole text after each change, one JSON
object a line in a report file."""

from __future__ import annotations

import os
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Optional, Tuple

from . import osa, processes
from .context import Context
from .jsonlines import number, read_objects
from .targets import Cell, Reader, Starter, running


class _ReportingProgram(Starter):
    def _started(self, ctx: Context, cell: Cell, activate: bool = True) -> str:
        def started() -> Optional[int]:
            for line in read_objects(cell.report):
                pid = line.get("pid")
                if line.get("event") == "started" and isinstance(pid, int):
                    return pid
            return None

        if not processes.wait_until(lambda: started() is not None, ctx.timing.app_start):
            return f"{self.process} did not report that it started within {ctx.timing.app_start:g} s"
        cell.pid, cell.process = started(), self.process
        if activate:
            osa.call(ctx, "activate", str(cell.pid))
        return ""

    def _files(self, cell: Cell) -> Tuple[Path, Path]:
        text = cell.files / f"{cell.key}.text"
        text.write_text(cell.text, encoding="utf-8")
        cell.report = cell.files / f"{cell.key}.report.jsonl"
        cell.report.unlink(missing_ok=True)
        return text, cell.report

    def _end_with_cell(self, ctx: Context, cell: Cell) -> None:
        pid = cell.pid
        if pid is not None:
            cell.stops.append(lambda: processes.end_pid(pid, ctx.timing.process_grace))


@dataclass(frozen=True)
class SwingProgram(_ReportingProgram):
    process: str = "java"

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
    process: str = "brimlane_text_field_app"

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
        self._end_with_cell(ctx, cell)
        return failure


@dataclass(frozen=True)
class TerminalWindow(_ReportingProgram):
    """A window of its own that shows the text, then reads what is pasted."""

    process: str = "Terminal"

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
        self._end_with_cell(ctx, cell)
        return failure or self._front(ctx, cell, was_running)


def _quoted(path: Path) -> str:
    return "'" + str(path).replace("'", "'\\''") + "'"


@dataclass(frozen=True)
class ReportFile(Reader):
    # The programs report their text only once it changes.
    shows_text: bool = False

    def text(self, ctx: Context, cell: Cell) -> Tuple[Optional[str], Optional[float]]:
        texts = [line for line in read_objects(cell.report) if line.get("event") == "text"]
        if not texts:
            return None, None
        value = texts[-1].get("text")
        return (value if isinstance(value, str) else None), number(texts[-1].get("time"))
