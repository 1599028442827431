"""The stand-in for `flutter run -d macos --machine`: the daemon protocol on
standard input and output, the application launched by its executable, and
a hot reload played from the Dart file the harness changed."""

from __future__ import annotations

import json
import os
import re
import signal
import sys
import time
from pathlib import Path
from typing import Any, Callable, Dict


def run_machine(start_host: Callable[[Path], int]) -> int:
    def send(message: Dict[str, Any]) -> None:
        print(json.dumps([message]), flush=True)

    send({"event": "daemon.connected", "params": {"version": "0.6.1", "pid": os.getpid()}})
    print("Launching lib/main.dart on macOS in debug mode...", flush=True)
    if os.environ.get("STUB_NO_APP_START"):
        time.sleep(0.2)
        return 1
    send({"event": "app.start", "params": {"appId": "stand-in-app", "deviceId": "macos", "directory": os.getcwd(),
                                             "supportsRestart": True, "launchMode": "run", "mode": "debug"}})
    executable = Path.cwd() / "build" / "macos" / "Build" / "Products" / "Debug" / "Brimlane.app" / "Contents" / "MacOS" / "Brimlane"
    app = start_host(executable)
    send({"event": "app.started", "params": {"appId": "stand-in-app"}})
    report = Path(os.environ["BRIMLANE_INTEGRATION_REPORT"])
    for line in sys.stdin:
        try:
            (command,) = json.loads(line)
        except ValueError:
            continue
        identifier, method = command.get("id"), command.get("method")
        if method == "app.restart" and command["params"].get("fullRestart") is False:
            if os.environ.get("STUB_RELOAD_FAILS"):
                send({"id": identifier, "result": {"code": 1, "message": "Reload rejected by the stand-in"}})
                continue
            # What reassemble() writes once the reloaded code runs.
            text = re.search(r"=> '(.*)';", Path("lib/reload_text.dart").read_text()).group(1)  # type: ignore[union-attr]
            with report.open("a") as file:
                file.write(json.dumps({"event": "reassembled", "pid": app, "text": text, "time": time.time()}) + "\n")
            send({"id": identifier, "result": {"code": 0, "message": "Reloaded 1 of 612 libraries in 201ms."}})
        elif method == "app.stop":
            os.killpg(app, signal.SIGTERM)
            send({"id": identifier, "result": True})
            send({"event": "app.stop", "params": {"appId": "stand-in-app"}})
            return 0
        else:
            send({"id": identifier, "error": "command not understood", "trace": ""})
    os.killpg(app, signal.SIGTERM)
    return 0
