"""A client of the flutter tool's machine mode (`flutter run --machine`): one
JSON array of messages per line each way (flutter_tools' doc/daemon.md).

A reader thread parses every line the tool writes and files each message as
a response (it has an "id") or an event; the run waits for either with a
timeout. Every line both ways goes into the protocol log. Lines that are not
JSON arrays (the tool's own progress text) are logged and otherwise ignored.
"""

from __future__ import annotations

import json
import subprocess
import threading
import time
from pathlib import Path
from typing import IO, Any, Callable, Dict, List, Mapping, Optional, Sequence

from . import processes
from .jsonlines import as_list, as_object

Message = Dict[str, Any]


class DaemonClient:
    def __init__(
        self,
        command: Sequence[str],
        *,
        cwd: Path,
        env: Mapping[str, str],
        protocol_log: Path,
        stderr_log: Path,
    ) -> None:
        self._log: IO[str] = protocol_log.open("a", encoding="utf-8")
        self._stderr: IO[str] = stderr_log.open("a", encoding="utf-8")
        self._lock = threading.Condition()
        self._responses: Dict[int, Message] = {}
        self._events: List[Message] = []
        self._next_id = 1
        self.process: subprocess.Popen[str] = subprocess.Popen(
            list(command),
            cwd=cwd,
            env=dict(env),
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=self._stderr,
            text=True,
            encoding="utf-8",
            errors="replace",
            bufsize=1,
            start_new_session=True,
        )
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _note(self, direction: str, line: str) -> None:
        with self._lock:
            self._log.write(f"{time.strftime('%H:%M:%S')} {direction} {line.rstrip()}\n")
            self._log.flush()

    def _read(self) -> None:
        stream = self.process.stdout
        assert stream is not None
        for line in stream:
            self._note("<-", line)
            text = line.strip()
            if not (text.startswith("[") and text.endswith("]")):
                continue
            try:
                messages: object = json.loads(text)
            except json.JSONDecodeError:
                continue
            with self._lock:
                for message in (as_object(m) for m in as_list(messages)):
                    identifier = message.get("id")
                    if isinstance(identifier, int) and ("result" in message or "error" in message):
                        self._responses[identifier] = message
                    elif isinstance(message.get("event"), str):
                        self._events.append(message)
                self._lock.notify_all()
        with self._lock:
            self._lock.notify_all()

    def running(self) -> bool:
        return self.process.poll() is None

    def send(self, method: str, params: Dict[str, Any]) -> int:
        """Sends a command and returns its id; a tool that has gone simply
        never answers it."""
        with self._lock:
            identifier = self._next_id
            self._next_id += 1
        line = json.dumps([{"id": identifier, "method": method, "params": params}])
        self._note("->", line)
        try:
            assert self.process.stdin is not None
            self.process.stdin.write(line + "\n")
            self.process.stdin.flush()
        except (BrokenPipeError, OSError, ValueError):
            pass
        return identifier

    def wait_response(self, identifier: int, timeout: float) -> Optional[Message]:
        """The answer to command `identifier`, or None after `timeout`
        seconds or once the tool has ended without it."""
        with self._lock:
            self._lock.wait_for(lambda: identifier in self._responses or not self.running(), timeout)
            return self._responses.get(identifier)

    def wait_event(self, name: str, timeout: float, accept: Callable[[Message], bool] = lambda _: True) -> Optional[Message]:
        def found() -> Optional[Message]:
            return next((e for e in self._events if e.get("event") == name and accept(e)), None)

        with self._lock:
            self._lock.wait_for(lambda: found() is not None or not self.running(), timeout)
            return found()

    def close(self, grace: float) -> None:
        """Closing its standard input ends the tool's machine mode; it is
        given `grace` seconds for that before it is ended."""
        try:
            if self.process.stdin is not None:
                self.process.stdin.close()
        except OSError:
            pass
        try:
            self.process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            processes.end_group(self.process, grace)
        self._reader.join(timeout=grace)
        with self._lock:
            self._log.close()
        self._stderr.close()
