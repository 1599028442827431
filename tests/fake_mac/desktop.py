"""A desktop for the tests of integration/run, where no Mac is.

One process of this file serves a Unix socket; the stand-ins for the Mac's
commands (commands.py) ask it what they would ask the system. It keeps the
applications in front-to-back order, their documents and selections, the
clipboard item by item, the keyboard layout, the key witness's log and the
host, and plays the host the way the real one behaves: the hot key copies
from the application in front with a Command-C posted to its process, the
integration UI's lines go into its report, and the paste re-activates that
application, posts Command-V into the input stream 0.3 s later (scaled) and
gives the clipboard back 0.5 s after that.

Each application is a real process (a `sleep`, or the stand-in that asked
for it), so that the harness can find it, watch it and end it; when its
process ends, the application is gone. What the test wants to go wrong is
said in STUB_* variables, read here and in commands.py.
"""

from __future__ import annotations

import json
import os
import pty
import re
import socket as socket_module
import socketserver
import subprocess
import sys
import threading
import time
import urllib.request
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Callable, Dict, List, Optional

# The harness's own test of a process's end, which takes a zombie for gone.
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "integration"))
from harness.processes import alive  # noqa: E402

SCALE = float(os.environ.get("FAKE_SCALE", "0.2"))
COMMAND, SHIFT = 0x100000, 0x20000
PLAIN = "public.utf8-plain-text"
# With Command held, the key each layout types "a", "c" and "v" with.
COMMAND_KEYS = {
    "com.apple.keylayout.US": {0: "a", 8: "c", 9: "v"},
    "com.apple.keylayout.ABC": {0: "a", 8: "c", 9: "v"},
    "com.apple.keylayout.Dvorak": {0: "a", 34: "c", 47: "v"},
    "com.apple.keylayout.DVORAK-QWERTYCMD": {0: "a", 8: "c", 9: "v"},
}
# Without Command: where a host that ignores the Command level would look.
PLAIN_KEYS = dict(COMMAND_KEYS, **{"com.apple.keylayout.DVORAK-QWERTYCMD": {0: "a", 34: "c", 47: "v"}})


def stub(name: str) -> str:
    return os.environ.get(f"STUB_{name}", "")


def now() -> float:
    return time.time()


def append_json(path: Path, entry: Dict[str, Any]) -> None:
    with path.open("a", encoding="utf-8") as file:
        file.write(json.dumps(entry, ensure_ascii=False) + "\n")


@dataclass
class Document:
    title: str
    text: str
    selected: bool = True
    report: Optional[Callable[[str, "Document"], None]] = None
    case: str = ""
    field: str = ""
    url: str = ""
    path: Optional[Path] = None
    terminal: Optional[int] = None  # the pty master of a Terminal window


@dataclass
class App:
    name: str
    kind: str
    pid: int
    documents: List[Document] = field(default_factory=lambda: [])
    log: Optional[Path] = None
    quit_when_reactivated: bool = False
    copied: bool = False
    again: bool = False
    process: Optional[subprocess.Popen[bytes]] = None

    def front(self) -> Optional[Document]:
        return self.documents[0] if self.documents else None

    def note(self, event: str, **fields: Any) -> None:
        if self.log is not None:
            append_json(self.log, {"event": event, "time": now(), **fields})


def sleeper() -> subprocess.Popen[bytes]:
    return subprocess.Popen(["sleep", "100000"], start_new_session=True)


class Desktop:
    def __init__(self, state: Path) -> None:
        self.state = state
        self.lock = threading.RLock()
        self.changed = threading.Condition(self.lock)
        self.apps: List[App] = []  # front first
        self.clipboard: List[List[Dict[str, str]]] = [[{"type": PLAIN, "base64": "dXNlcg=="}]]
        self.change_count = 1
        self.layout = stub("START_LAYOUT") or "com.apple.keylayout.US"
        self.witness: Optional[Path] = None
        self.host: Optional[App] = None
        self.report: Optional[Path] = None
        threading.Thread(target=self._watch_processes, daemon=True).start()

    # --- Processes -----------------------------------------------------------

    def _watch_processes(self) -> None:
        while True:
            time.sleep(0.02)
            with self.lock:
                for app in list(self.apps):
                    if not alive(app.pid):
                        self._remove(app)

    def _remove(self, app: App) -> None:
        if app in self.apps:
            self.apps.remove(app)
        if app is self.host:
            self.host = None
        self.changed.notify_all()

    def add(self, app: App, front: bool = True) -> App:
        with self.lock:
            if front:
                self.activate(app, adding=True)
            else:
                self.apps.append(app)
            return app

    def by_pid(self, pid: int) -> Optional[App]:
        return next((a for a in self.apps if a.pid == pid), None)

    def by_name(self, name: str) -> Optional[App]:
        return next((a for a in self.apps if a.name == name), None)

    def frontmost(self) -> Optional[App]:
        return self.apps[0] if self.apps else None

    # --- Activation ----------------------------------------------------------

    def activate(self, app: App, adding: bool = False) -> None:
        with self.lock:
            previous = self.frontmost()
            if previous is app and not adding:
                return
            if previous is not None and previous.kind == "target":
                previous.note("resigned")
            if app in self.apps:
                self.apps.remove(app)
            self.apps.insert(0, app)
            if app.kind == "target":
                if app.copied and not app.again:
                    app.again = True
                    app.note("active-again")
                    if app.quit_when_reactivated:
                        self._quit(app)
                else:
                    app.note("active")

    def _quit(self, app: App) -> None:
        app.note("quitting")
        linger = float(stub("SLOW_EXIT") or 0) * SCALE

        def end() -> None:
            time.sleep(linger)
            with self.lock:
                app.note("exited")
                if app.process is not None:
                    app.process.kill()
                    app.process.wait()
                self._remove(app)

        if linger:
            threading.Thread(target=end, daemon=True).start()
        else:
            end()

    # --- Keys ------------------------------------------------------------------

    def press(self, code: int, flags: int, source: int = 0) -> None:
        """A keystroke in the input stream: the witness sees it, then the hot
        key goes to the host and anything else to the application in front."""
        with self.lock:
            self._witness(code, flags, source)
            if code == 17 and flags & COMMAND and flags & SHIFT and self.host is not None:
                threading.Thread(target=self._summon, daemon=True).start()
                return
            front = self.frontmost()
            if front is not None:
                self.deliver(front, code, flags)

    def _witness(self, code: int, flags: int, source: int) -> None:
        if self.witness is not None and not stub("BLIND_WITNESS"):
            append_json(self.witness, {"event": "keyDown", "time": now(), "keyCode": code, "flags": flags,
                                       "sourcePid": source, "autorepeat": False})

    def deliver(self, app: App, code: int, flags: int) -> None:
        """What an application does with a keystroke that reached it."""
        app.note("key", keyCode=code, flags=flags, characters="", charactersIgnoringModifiers="")
        if not flags & COMMAND:
            return
        if app.kind in stub("KEYCODE_APPS").split(","):
            # Some applications match a shortcut by key code, whatever the layout.
            action = {0: "a", 8: "c", 9: "v"}.get(code)
        else:
            action = COMMAND_KEYS.get(self.layout, {}).get(code)
        document = app.front()
        if document is None or action is None:
            return
        if action == "a":
            document.selected = True
        elif action == "c" and document.selected:
            self.write_clipboard([[{"type": PLAIN, "base64": b64(document.text)}]])
            app.copied, app.again = True, False
            app.note("copied", text=document.text)
        elif action == "v":
            pasted = self.plain_text()
            if pasted is None:
                return
            if document.terminal is not None:
                os.write(document.terminal, pasted.replace("\n", "\r").encode())
                return
            document.text = pasted if document.selected else document.text + pasted
            document.selected = False
            app.note("text", text=document.text)
            if document.report is not None:
                document.report("input", document)

    # --- Clipboard -------------------------------------------------------------

    def write_clipboard(self, items: List[List[Dict[str, str]]]) -> None:
        with self.lock:
            self.clipboard = json.loads(json.dumps(items))
            self.change_count += 1
            self.changed.notify_all()

    def plain_text(self) -> Optional[str]:
        for item in self.clipboard[:1]:
            for kind in item:
                if kind["type"] == PLAIN:
                    return unb64(kind["base64"])
        return None

    # --- The host ----------------------------------------------------------------

    def ui(self, entry: Dict[str, Any]) -> None:
        if self.report is not None:
            append_json(self.report, dict(entry, time=now()))

    def _host_key(self, character: str) -> int:
        if stub("HOST_KEYS") == "us":
            return {"c": 8, "v": 9}[character]
        table = (PLAIN_KEYS if stub("HOST_KEYS") == "base" else COMMAND_KEYS)[self.layout]
        return next(code for code, typed in table.items() if typed == character)

    def _summon(self) -> None:
        with self.lock:
            host, target = self.host, self.frontmost()
            if host is None or target is None or target is host or stub("TRUSTED") == "false":
                return
            saved = self.clipboard
            self.write_clipboard([])
            # Posted to the target's process: no session tap sees it.
            self.deliver(target, self._host_key("c"), COMMAND)
            text = self.plain_text()
            self.write_clipboard(saved if not stub("RESTORE_PARTIAL") else [saved[0][:1]])
            if text is None:
                return
            self.activate(host)
            self.ui({"event": "received", "channel": "com.brimlane.app/selection", "method": "updateSelection", "arguments": text})
            pasted = f"«{text}»"
            self.ui({"event": "call", "channel": "com.brimlane.app/selection", "method": "pasteText", "arguments": pasted})
            saved = self.clipboard
            self.write_clipboard([[{"type": PLAIN, "base64": b64(pasted)}]])
            self.ui({"event": "answer", "channel": "com.brimlane.app/selection", "method": "pasteText", "kind": "value", "value": True})
            other = next((a for a in self.apps if a.name == "TextTarget" and a is not target), None)
            self.activate(other if stub("PASTE_TO_BYSTANDER") and other else target)
        time.sleep(0.3 * SCALE)
        with self.lock:
            if target in self.apps or stub("TYPES_AFTER_QUIT"):
                if not stub("NO_PASTE") and self.host is not None:
                    self.press(self._host_key("v"), COMMAND, self.host.pid)
                    paste_landed = True
                else:
                    paste_landed = False
            else:
                paste_landed = False
        if paste_landed:
            time.sleep(0.5 * SCALE)
        with self.lock:
            self.write_clipboard(saved if not stub("RESTORE_PARTIAL") else [saved[0][:1]])


def b64(text: str) -> str:
    import base64

    return base64.b64encode(text.encode()).decode()


def unb64(data: str) -> str:
    import base64

    return base64.b64decode(data).decode(errors="replace")


ESCAPES = re.compile(r"\x1b\[[0-9;?]*[A-Za-z]")


def run_terminal(desktop: Desktop, app: App, script: Path) -> None:
    """Runs a .command file on a pseudo-terminal, as Terminal would: what it
    prints before its reader starts is the window's text."""
    master, slave = pty.openpty()
    subprocess.Popen(["bash", str(script)], stdin=slave, stdout=slave, stderr=slave, start_new_session=True)
    os.close(slave)
    document = Document(script.stem, "", terminal=master)
    with desktop.lock:
        app.documents.insert(0, document)
    screen = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:
            return
        if not chunk:
            return
        screen += chunk
        with desktop.lock:
            document.text = ESCAPES.sub("", screen.decode(errors="replace")).replace("\r\n", "\n")


def post_page_report(document: Document, event: str) -> None:
    body = {"case": document.case, "field": document.field, "event": event, "value": document.text, "time": now()}
    request = urllib.request.Request(document.url, data=json.dumps(body).encode(), method="POST",
                                     headers={"Content-Type": "application/json"})
    try:
        urllib.request.urlopen(request, timeout=5).read()
    except OSError:
        pass


class Handler(socketserver.StreamRequestHandler):
    """A command of standin.c ("name"), or a request of a Python stand-in or
    of the test itself ("op")."""

    desktop: Desktop

    def handle(self) -> None:
        import struct

        import operations
        import standins

        request = json.loads(self.rfile.readline())
        if "name" in request:
            credentials = self.request.getsockopt(socket_module.SOL_SOCKET, socket_module.SO_PEERCRED, struct.calcsize("3i"))
            pid = struct.unpack("3i", credentials)[0]
            reply = standins.run(self.desktop, request, pid)
            out, err = reply.stdout.encode(), reply.stderr.encode()
            self.wfile.write(f"{reply.status} {int(reply.stay)} {len(out)} {len(err)}\n".encode() + out + err)
            return
        try:
            answer = operations.answer(self.desktop, request)
        except Exception as error:  # reported to the stand-in, which fails loudly
            answer = {"error": f"{type(error).__name__}: {error}"}
        self.wfile.write((json.dumps(answer) + "\n").encode())


def serve(state: Path) -> None:
    sys.path.insert(0, str(Path(__file__).parent))
    Handler.desktop = Desktop(state)
    socket = state / "desktop.sock"
    socket.unlink(missing_ok=True)

    class Server(socketserver.ThreadingMixIn, socketserver.UnixStreamServer):
        daemon_threads = True

    with Server(str(socket), Handler) as server:
        (state / "desktop.ready").write_text(str(os.getpid()))
        server.serve_forever()


if __name__ == "__main__":
    serve(Path(sys.argv[1]))
