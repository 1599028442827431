"""What every part of a run shares: the options, the paths, the timings, and
the cleanup stack through which everything the run starts or changes is put
back in reverse order."""

from __future__ import annotations

import os
import time
import traceback
from contextlib import ExitStack
from dataclasses import dataclass, field, fields, replace
from pathlib import Path
from typing import Any, Callable, Dict, List

BUNDLE_ID = "com.brimlane.app"
SELECTION_CHANNEL = "com.brimlane.app/selection"
SYSTEM_CHANNEL = "com.brimlane.app/system"

# Stretches or shrinks every wait and timeout of the run; the harness's own
# tests set it below 1 so that stand-ins for the Mac's commands answer
# within a few seconds.
TIME_SCALE_VARIABLE = "BRIMLANE_E2E_TIME_SCALE"


@dataclass(frozen=True)
class Timing:
    """Seconds. Timeouts bound a command; waits bound a condition the run
    looks for; settles are pauses with nothing observable to wait for."""

    # Commands.
    quick_command: float = 60.0
    applescript: float = 20.0
    flutter_create: float = 600.0
    build: float = 1800.0
    install: float = 900.0
    tests: float = 900.0
    # Conditions.
    host_start: float = 30.0
    ui_ready: float = 120.0
    app_start: float = 60.0
    capture: float = 20.0
    paste: float = 10.0
    clipboard_restored: float = 10.0
    witness_listening: float = 10.0
    control_keystroke: float = 5.0
    target_quit: float = 5.0
    daemon_start: float = 300.0
    daemon_answer: float = 120.0
    reassembled: float = 20.0
    process_grace: float = 3.0
    # Settles. Applications hear of a new keyboard layout through a
    # notification, and of an activation through the window server; nothing
    # tells the run when they have.
    layout_settle: float = 1.0
    activation_settle: float = 0.5
    # After a paste, a keystroke posted late would land now: the run watches
    # this long before it says nothing else was typed.
    quiet_after_paste: float = 1.5

    def scaled(self, factor: float) -> Timing:
        return replace(self, **{f.name: getattr(self, f.name) * factor for f in fields(self)})

    @staticmethod
    def from_environment() -> Timing:
        factor = os.environ.get(TIME_SCALE_VARIABLE, "")
        try:
            scale = float(factor) if factor else 1.0
        except ValueError:
            scale = 1.0
        return Timing().scaled(scale) if scale > 0 else Timing()


@dataclass(frozen=True)
class Options:
    grant_trust: bool = False
    plugins_through: str = ""
    hot_reload_by: float = 30.0
    budget_minutes: float = 40.0
    strict: bool = False
    allow_skip: tuple[str, ...] = ()
    applications: tuple[str, ...] = ()
    flutter: str = "flutter"


@dataclass(frozen=True)
class Paths:
    root: Path

    @property
    def out(self) -> Path:
        """Everything a run leaves for a reader: reports and diagnostics."""
        return self.root / "build" / "integration"

    @property
    def tools(self) -> Path:
        """The run's own programs, and the record of a changed keyboard
        layout, which must outlive the next run's start."""
        return self.root / "build" / "integration-tools"

    @property
    def ui(self) -> Path:
        return self.root / "integration" / "ui"

    @property
    def apps(self) -> Path:
        return self.root / "integration" / "apps"

    @property
    def app(self) -> Path:
        # The runner names the product Brimlane; a debug build lands here.
        return self.ui / "build" / "macos" / "Build" / "Products" / "Debug" / "Brimlane.app"

    @property
    def executable(self) -> Path:
        return self.app / "Contents" / "MacOS" / "Brimlane"

    @property
    def report(self) -> Path:
        """What the integration UI writes, one JSON object a line."""
        return self.out / "report.jsonl"

    @property
    def layout_state(self) -> Path:
        return self.tools / "keyboard-layout.state"

    def tool(self, name: str) -> Path:
        return self.tools / name


class Cleanup(ExitStack):
    """The run's cleanup: what it started or changed, put back in reverse
    order. A step that fails is written down and the others still run, so
    that one stuck process cannot leave the user's keyboard layout changed."""

    def __init__(self, log: Path) -> None:
        super().__init__()
        self._log = log

    def callback(self, callback: Callable[..., Any], /, *args: Any, **kwds: Any) -> Callable[..., Any]:
        def safely() -> None:
            try:
                callback(*args, **kwds)
            except Exception:
                with self._log.open("a", encoding="utf-8") as log:
                    log.write(f"== cleanup\n{traceback.format_exc()}\n")

        super().callback(safely)
        return callback


@dataclass
class Context:
    paths: Paths
    options: Options
    timing: Timing
    cleanup: Cleanup
    started: float = field(default_factory=time.time)
    # What later cases need from earlier ones: the host's pid, the key
    # witness, the keys each layout uses …
    state: Dict[str, object] = field(default_factory=lambda: {})
    notes: List[str] = field(default_factory=lambda: [])

    @property
    def flutter_env(self) -> Dict[str, str]:
        """The environment for every flutter and Mac build command: the
        flutter named by --flutter first on the PATH, so that the scripts
        that ask `flutter` for its SDK get the same one."""
        env = dict(os.environ)
        flutter = Path(self.options.flutter)
        if flutter.parent != Path("."):
            env["PATH"] = f"{flutter.parent.resolve()}{os.pathsep}{env.get('PATH', '')}"
        return env

    def log(self, name: str) -> Path:
        return self.paths.out / name

    def elapsed_minutes(self) -> float:
        return (time.time() - self.started) / 60.0
