"""The commands and processes of a run.

Every command runs with a timeout, in a session of its own, so that a hung
one can be ended together with whatever it started. Ending a process always
escalates: SIGTERM, a grace period, then SIGKILL. Each command and how it
ended goes into the run's command log, which is one of its diagnostics.
"""

from __future__ import annotations

import os
import signal
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Mapping, Optional, Sequence, TextIO, Union

# How often a wait looks again at what it waits for.
POLL_INTERVAL = 0.05

_command_log: Optional[TextIO] = None


def set_command_log(path: Optional[Path]) -> None:
    """Appends every command from now on, and how it ended, to `path`."""
    global _command_log
    if _command_log is not None:
        _command_log.close()
    _command_log = path.open("a", encoding="utf-8") if path is not None else None


def _log(line: str) -> None:
    if _command_log is not None:
        _command_log.write(f"{time.strftime('%H:%M:%S')} {line}\n")
        _command_log.flush()


@dataclass(frozen=True)
class Result:
    """How a command ended. `returncode` is None when it timed out or did not
    start; `error` then says why."""

    command: tuple[str, ...]
    returncode: Optional[int]
    stdout: str
    stderr: str
    timed_out: bool = False
    error: str = ""
    seconds: float = 0.0

    @property
    def ok(self) -> bool:
        return self.returncode == 0

    def describe(self) -> str:
        """One line for a table's reason."""
        name = Path(self.command[0]).name if self.command else "?"
        if self.timed_out:
            return f"{name} timed out after {self.seconds:.0f} s and was ended"
        if self.returncode is None:
            return f"{name} did not start: {self.error}"
        if self.returncode == 0:
            return f"{name} succeeded"
        last = last_line(self.stderr) or last_line(self.stdout)
        return f"{name} exited {self.returncode}" + (f": {last}" if last else "")


def last_line(text: str) -> str:
    lines = [line.strip() for line in text.splitlines() if line.strip()]
    return lines[-1][:300] if lines else ""


def run(
    command: Sequence[Union[str, Path]],
    *,
    timeout: float,
    cwd: Optional[Path] = None,
    env: Optional[Mapping[str, str]] = None,
    input: Optional[str] = None,
    output: Optional[Path] = None,
) -> Result:
    """Runs `command` to its end or for at most `timeout` seconds. With
    `output`, standard output and error are appended to that file instead of
    being kept in the result."""
    argv = tuple(str(part) for part in command)
    started = time.monotonic()
    sink = output.open("a", encoding="utf-8") if output is not None else None
    try:
        try:
            process = subprocess.Popen(
                argv,
                cwd=cwd,
                env=dict(env) if env is not None else None,
                stdin=subprocess.PIPE if input is not None else subprocess.DEVNULL,
                stdout=sink if sink is not None else subprocess.PIPE,
                stderr=sink if sink is not None else subprocess.PIPE,
                text=True,
                encoding="utf-8",
                errors="replace",
                start_new_session=True,
            )
        except OSError as error:
            _log(f"{' '.join(argv)}: did not start: {error}")
            return Result(argv, None, "", "", error=str(error))
        try:
            stdout, stderr = process.communicate(input, timeout=timeout)
        except subprocess.TimeoutExpired:
            end_group(process)
            stdout, stderr = process.communicate()
            seconds = time.monotonic() - started
            _log(f"{' '.join(argv)}: timed out after {seconds:.1f} s")
            return Result(argv, None, stdout or "", stderr or "", timed_out=True, seconds=seconds)
        except BaseException:
            # Interrupted (the run's signal handler raises): nothing the run
            # started may outlive it.
            end_group(process)
            raise
    finally:
        if sink is not None:
            sink.close()
    seconds = time.monotonic() - started
    _log(f"{' '.join(argv)}: exited {process.returncode} after {seconds:.1f} s")
    return Result(argv, process.returncode, stdout or "", stderr or "", seconds=seconds)


def end_group(process: subprocess.Popen[str], grace: float = 2.0) -> None:
    """Ends a process started by `run` or `start` and everything in its
    session: SIGTERM, then SIGKILL after `grace` seconds."""
    if process.poll() is not None:
        return
    _signal_group(process.pid, signal.SIGTERM)
    try:
        process.wait(timeout=grace)
        return
    except subprocess.TimeoutExpired:
        pass
    _signal_group(process.pid, signal.SIGKILL)
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        _log(f"pid {process.pid}: still there after SIGKILL")


def _signal_group(pid: int, number: int) -> None:
    try:
        os.killpg(pid, number)
    except (ProcessLookupError, PermissionError):
        try:
            os.kill(pid, number)
        except (ProcessLookupError, PermissionError):
            pass


def alive(pid: int) -> bool:
    """Whether the process is there. A zombie has ended: on a Mac launchd
    reaps whatever Launch Services started, but where a parent never reaps
    (the harness's own tests) it would look alive for ever."""
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as stat:
            return stat.read().rpartition(") ")[2][:1] != "Z"
    except OSError:
        return True


def end_pid(pid: int, grace: float = 3.0) -> str:
    """Ends a process the run did not start itself (Launch Services did):
    SIGTERM, then SIGKILL after `grace` seconds. Says what it took."""
    if not alive(pid):
        return "already gone"
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return "already gone"
    if wait_until(lambda: not alive(pid), grace):
        return "ended by SIGTERM"
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        return "ended by SIGTERM"
    if wait_until(lambda: not alive(pid), grace):
        return "ended by SIGKILL"
    return "still there after SIGKILL"


class Background:
    """A process that runs while the run goes on, its output in a file."""

    def __init__(
        self,
        command: Sequence[Union[str, Path]],
        *,
        output: Path,
        cwd: Optional[Path] = None,
        env: Optional[Mapping[str, str]] = None,
        stdin: Optional[int] = None,
    ) -> None:
        self.command = tuple(str(part) for part in command)
        self.output = output
        self._output = output.open("a", encoding="utf-8")
        _log(f"{' '.join(self.command)}: started in the background")
        self.process: subprocess.Popen[str] = subprocess.Popen(
            self.command,
            cwd=cwd,
            env=dict(env) if env is not None else None,
            stdin=stdin if stdin is not None else subprocess.DEVNULL,
            stdout=self._output,
            stderr=self._output,
            text=True,
            start_new_session=True,
        )

    @property
    def pid(self) -> int:
        return self.process.pid

    def running(self) -> bool:
        return self.process.poll() is None

    def stop(self, grace: float = 2.0) -> None:
        end_group(self.process, grace)
        self._output.close()
        _log(f"{' '.join(self.command)}: ended ({self.process.returncode})")


def pause(seconds: float) -> None:
    """A wait with nothing to look at: what follows needs the machine to have
    caught up (a notification delivered, an activation taken)."""
    time.sleep(max(seconds, 0.0))


def wait_until(predicate: Callable[[], bool], timeout: float, interval: float = POLL_INTERVAL) -> bool:
    """Asks `predicate` until it holds or `timeout` seconds have passed;
    says whether it held."""
    deadline = time.monotonic() + timeout
    while True:
        if predicate():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)
