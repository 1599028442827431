"""What the stand-ins may ask the fake desktop: one request, one answer."""

from __future__ import annotations

import json
import os
import threading
import time
import urllib.parse
import urllib.request
from pathlib import Path
from typing import Any, Callable, Dict, List

from desktop import (
    COMMAND,
    COMMAND_KEYS,
    App,
    Desktop,
    Document,
    append_json,
    now,
    post_page_report,
    run_terminal,
    sleeper,
    stub,
)

MODIFIERS = {"command": COMMAND, "shift": 0x20000, "control": 0x40000, "option": 0x80000}
BROWSERS = ("Safari", "Google Chrome", "Firefox")


def answer(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    return OPERATIONS[request["op"]](desktop, request)


# --- System Events ------------------------------------------------------------


def osa(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    script, args = request["script"], request["args"]
    with desktop.lock:
        value = SCRIPTS[script](desktop, *args)
    return {"ok": True, "value": value}


def _key(desktop: Desktop, code: str, modifiers: str = "") -> None:
    if stub("CANNOT_TYPE"):
        raise PermissionError("osascript is not allowed to send keystrokes")
    flags = 0
    for name in filter(None, modifiers.split(",")):
        flags |= MODIFIERS[name]
    desktop.press(int(code), flags)


def _frontmost(desktop: Desktop) -> Dict[str, Any]:
    front = desktop.frontmost()
    if front is None:
        raise LookupError("no application in front")
    return {"name": front.name, "pid": front.pid, "bundle": None}


def _activate(desktop: Desktop, pid: str) -> None:
    app = desktop.by_pid(int(pid))
    if app is None:
        raise LookupError(f"no application process {pid}")
    desktop.activate(app)


def _document(desktop: Desktop, process: str, title: str) -> Document:
    app = desktop.by_name(process)
    found = [d for d in app.documents if title in d.title] if app else []
    if not found:
        raise LookupError(f"no window of {process} named like {title!r}")
    return found[0]


def _raise(desktop: Desktop, process: str, title: str) -> None:
    app = desktop.by_name(process)
    document = _document(desktop, process, title)
    assert app is not None
    app.documents.remove(document)
    app.documents.insert(0, document)
    desktop.activate(app)


def _set_text(desktop: Desktop, process: str, title: str, text: str) -> None:
    document = _document(desktop, process, title)
    document.text, document.selected = text, False


def _close(desktop: Desktop, process: str, title: str) -> None:
    app = desktop.by_name(process)
    document = _document(desktop, process, title)
    assert app is not None
    app.documents.remove(document)


SCRIPTS: Dict[str, Callable[..., Any]] = {
    "key": _key,
    "frontmost": _frontmost,
    "activate": _activate,
    "running": lambda d, name: sum(1 for a in d.apps if a.name == name),
    "window-count": lambda d, process, title: sum(
        1 for a in d.apps if a.name == process for doc in a.documents if title in doc.title),
    "raise": _raise,
    "text": lambda d, process, title: _document(d, process, title).text,
    "set-text": _set_text,
    "close": _close,
}


# --- Launch Services ------------------------------------------------------------


def open_(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    argv: List[str] = request["argv"]
    if argv[:1] == ["-Ra"]:
        missing = argv[1] in stub("MISSING_APPS").split(",")
        return {"status": 1 if missing else 0, "stderr": f"Unable to find application named '{argv[1]}'" if missing else ""}
    new = argv[0] in ("-n", "-na")
    if argv[0] in ("-a", "-na"):
        name, target = argv[1], argv[-1]
        if name == "TextEdit":
            return _open_document(desktop, Path(target))
        if name in BROWSERS:
            return _open_page(desktop, name, target, new)
        if name == "Terminal":
            return _open_terminal(desktop, Path(target))
        return {"status": 1, "stderr": f"no stand-in for {name}"}
    bundle = Path(argv[1])
    if bundle.name == "TextTarget.app":
        return _open_text_target(desktop, argv[argv.index("--args") + 1:])
    if bundle.name == "brimlane_text_field_app.app":
        env = dict(argv[i + 1].split("=", 1) for i, a in enumerate(argv) if a == "--env")
        return _open_reporting(desktop, "brimlane_text_field_app", Path(env["BRIMLANE_TEXT_FILE"]),
                               Path(env["BRIMLANE_TEXT_REPORT"]), None)
    return {"status": 1, "stderr": f"no stand-in for {bundle}"}


def _app(desktop: Desktop, name: str, kind: str, new: bool = False) -> App:
    existing = desktop.by_name(name)
    if existing is not None and not new:
        return existing
    process = sleeper()
    return desktop.add(App(name, kind, process.pid, process=process), front=False)


def _open_document(desktop: Desktop, path: Path) -> Dict[str, Any]:
    with desktop.lock:
        app = _app(desktop, "TextEdit", "textedit")
        app.documents.insert(0, Document(path.stem, path.read_text(encoding="utf-8"), selected=False))
        desktop.activate(app)
    return {"status": 0}


def _page_document(url: str) -> Document:
    parts = urllib.parse.urlsplit(url)
    case = urllib.parse.unquote(parts.path.split("/page/", 1)[1])
    field = urllib.parse.parse_qs(parts.query)["field"][0]
    base = f"{parts.scheme}://{parts.netloc}"
    config = json.loads(urllib.request.urlopen(f"{base}/config/{parts.path.split('/page/', 1)[1]}?{parts.query}", timeout=5).read())
    return Document(f"Brimlane {case}", config["text"], True, lambda event, doc: post_page_report(doc, event),
                    case, field, f"{base}/report")


def _open_page(desktop: Desktop, name: str, url: str, new: bool) -> Dict[str, Any]:
    document = _page_document(url)
    with desktop.lock:
        app = _app(desktop, name, "browser", new)
        app.documents.insert(0, document)
        desktop.activate(app)
    threading.Thread(target=post_page_report, args=(document, "loaded"), daemon=True).start()
    return {"status": 0}


def _open_terminal(desktop: Desktop, script: Path) -> Dict[str, Any]:
    with desktop.lock:
        app = _app(desktop, "Terminal", "terminal")
        desktop.activate(app)
    threading.Thread(target=run_terminal, args=(desktop, app, script), daemon=True).start()
    return {"status": 0}


def _open_text_target(desktop: Desktop, args: List[str]) -> Dict[str, Any]:
    options = {args[i]: args[i + 1] for i in range(0, len(args) - 1) if args[i] in ("--log", "--text-file", "--title")}
    process = sleeper()
    app = App("TextTarget", "target", process.pid, log=Path(options["--log"]),
              quit_when_reactivated="--quit-when-reactivated" in args, process=process)
    text = Path(options["--text-file"]).read_text(encoding="utf-8")
    app.documents.append(Document(options["--title"], text, True, lambda e, d: None))
    app.note("started", pid=app.pid)
    desktop.add(app)
    return {"status": 0}


def _open_reporting(desktop: Desktop, name: str, text: Path, report: Path, pid: Any) -> Dict[str, Any]:
    """An application of the run's own that reports "started" and then its
    whole text after each change."""
    process = None if pid else sleeper()
    app = App(name, "reporting", pid or process.pid, process=process)  # type: ignore[union-attr]
    app.documents.append(Document(name, text.read_text(encoding="utf-8"), True,
                                  lambda e, d: append_json(report, {"event": "text", "time": now(), "text": d.text})))
    desktop.add(app)
    append_json(report, {"event": "started", "time": now(), "pid": app.pid})
    return {"status": 0}


def launch(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    """A program the harness started itself: the Swing app or Electron."""
    args: List[str] = request["args"]
    if request["kind"] == "swing":
        return _open_reporting(desktop, "java", Path(args[1]), Path(args[2]), request["pid"])
    url = next(a.split("=", 1)[1] for a in args if a.startswith("--url="))
    document = _page_document(url)
    with desktop.lock:
        app = desktop.add(App("Electron", "browser", request["pid"]))
        app.documents.append(document)
    threading.Thread(target=post_page_report, args=(document, "loaded"), daemon=True).start()
    return {"status": 0}


# --- The run's own tools ----------------------------------------------------------


def clipboard(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    action = request["action"]
    with desktop.lock:
        if action == "write":
            desktop.write_clipboard([[{"type": t["type"], "base64": t["base64"]} for t in item["types"]]
                                     for item in request["items"]])
        if action in ("read", "write"):
            return {"ok": True, "changeCount": desktop.change_count, "items": _items(desktop)}
    wanted = [[(t["type"], t["base64"]) for t in item["types"]] for item in request["items"]]
    deadline = time.monotonic() + float(request["seconds"])
    seen: List[Dict[str, Any]] = []
    with desktop.changed:
        last = -1
        while True:
            if desktop.change_count != last:
                last = desktop.change_count
                seen.append({"time": now(), "changeCount": last, "types": [[t["type"] for t in i] for i in desktop.clipboard]})
                if [[(t["type"], t["base64"]) for t in i] for i in desktop.clipboard] == wanted:
                    return {"equal": True, "time": now(), "changeCount": last, "seen": seen}
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return {"equal": False, "time": now(), "changeCount": last, "items": _items(desktop), "seen": seen}
            desktop.changed.wait(remaining)


def _items(desktop: Desktop) -> List[Dict[str, Any]]:
    return [{"types": [dict(t) for t in item]} for item in desktop.clipboard]


def layout(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    argv: List[str] = request["argv"]
    state = Path(argv[-1]) if argv[0] != "current" else None
    history = desktop.state / "layout-history"

    def keys() -> Dict[str, Any]:
        table = COMMAND_KEYS[desktop.layout]
        return {"c": next(k for k, v in table.items() if v == "c"), "v": next(k for k, v in table.items() if v == "v"),
                "from": "layout"}

    with desktop.lock:
        if argv[0] == "select" and state is not None:
            with history.open("a") as file:
                file.write(f"select {argv[1]}\n")
            if not state.exists():
                state.write_text(f"original {desktop.layout}\n")
            if stub("LAYOUT_REFUSED"):
                return {"status": 3, "stdout": {"ok": False, "status": "refused", "reason": f"{argv[1]} was selected, but reads back as {desktop.layout}"}}
            with state.open("a") as file:
                file.write(f"enabled {argv[1]}\n")
            desktop.layout = argv[1]
            return {"status": 0, "stdout": {"ok": True, "selected": argv[1], "name": argv[1].rsplit(".", 1)[-1],
                                            "source": argv[1], "layout": argv[1], "keys": keys()}}
        if argv[0] == "restore" and state is not None:
            if not state.exists():
                return {"status": 0, "stdout": {"ok": True, "restored": None, "reason": "nothing to put back"}}
            original = state.read_text().splitlines()[0].split(" ", 1)[1]
            with history.open("a") as file:
                file.write(f"restore {original}\n")
            if stub("LAYOUT_STUCK"):
                return {"status": 1, "stdout": {"ok": False, "status": "failed", "reason": f"{original} not put back: TISSelectInputSource answered -50"}}
            desktop.layout = original
            state.unlink()
            return {"status": 0, "stdout": {"ok": True, "restored": original, "disabled": [], "source": original, "layout": original}}
        return {"status": 0, "stdout": {"ok": True, "source": desktop.layout, "layout": desktop.layout, "keys": keys()}}


def witness(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    log = Path(request["log"])
    if stub("NO_TAP"):
        append_json(log, {"event": "chose", "time": now(), "tap": "none", "listenAccess": False, "accessibility": False})
        append_json(log, {"event": "no-tap", "time": now(), "reason": "neither Input Monitoring nor Accessibility"})
        return {"status": 3}
    append_json(log, {"event": "chose", "time": now(), "tap": "listener", "listenAccess": True, "accessibility": True})
    with desktop.lock:
        desktop.witness = log
    append_json(log, {"event": "listening", "time": now(), "tap": "listener"})
    return {"status": 0}


def host(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    with desktop.lock:
        app = desktop.add(App("Brimlane", "host", request["pid"]), front=False)
        desktop.host = app
        desktop.report = Path(request["report"])
    return {"status": 0}


def state(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    """For the tests: what each application holds now."""
    with desktop.lock:
        return {"layout": desktop.layout, "apps": [
            {"name": a.name, "pid": a.pid, "documents": [{"title": d.title, "text": d.text} for d in a.documents]}
            for a in desktop.apps], "clipboard": desktop.clipboard}


def shutdown(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    """For the tests, at their end: every application's process ends."""
    import signal

    with desktop.lock:
        for app in desktop.apps:
            try:
                os.kill(app.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
    return {"status": 0}


def start_host(desktop: Desktop, request: Dict[str, Any]) -> Dict[str, Any]:
    """For the stand-in of `flutter run`, which launches the executable."""
    import standins

    pid = standins.start_host(desktop, Path(request["executable"]), request["env"], os.devnull, os.devnull)
    return {"pid": pid}


OPERATIONS: Dict[str, Callable[[Desktop, Dict[str, Any]], Dict[str, Any]]] = {
    "shutdown": shutdown,
    "start-host": start_host,
    "osa": osa,
    "open": open_,
    "launch": launch,
    "clipboard": clipboard,
    "layout": layout,
    "witness": witness,
    "host": host,
    "state": state,
}
