"""The Mac's commands as the fake desktop plays them, for standin.c: each
takes the arguments and working folder of a command and answers its exit
status, its output, and whether it stays running (a process the harness
ends itself). The few commands that must run in a process of their own
(flutter, sudo, csreq) are in commands.py."""

from __future__ import annotations

import json
import os
import shutil
import subprocess
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Callable, Dict, List

import operations
from desktop import Desktop, now, stub

REGISTRANT = "Brimlane: plug-ins registered by the generated plug-in registrant"
PLUGINS = ("device_info_plus", "flutter_secure_storage", "package_info_plus", "path_provider", "url_launcher")


@dataclass
class Reply:
    status: int = 0
    stdout: str = ""
    stderr: str = ""
    stay: bool = False


Command = Callable[[Desktop, List[str], Path, int], Reply]


def note(desktop: Desktop, name: str, line: str) -> None:
    with (desktop.state / name).open("a", encoding="utf-8") as file:
        file.write(line + "\n")


def osascript(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    script = args[args.index("-e") + 1]
    name = script.split("// brimlane:", 1)[1].split()[0]
    rest = args[args.index("-e") + 2:]
    note(desktop, "scripts", f"{name} {json.dumps(rest, ensure_ascii=False)}")
    if name in stub("HANG_OSASCRIPT").split(","):
        return Reply(stay=True)
    try:
        value = operations.osa(desktop, {"script": name, "args": rest})["value"]
    except Exception as error:
        return Reply(1, stderr=f"execution error: {error} (-1728)\n")
    return Reply(stdout=json.dumps({"ok": True, "value": value}, ensure_ascii=False) + "\n")


def open_(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    if "--stdout" in args:
        env = {key: value for key, value in (args[i + 1].split("=", 1) for i, a in enumerate(args) if a == "--env")}
        start_host(desktop, Path(args[-1]) / "Contents" / "MacOS" / "Brimlane", env,
                   args[args.index("--stdout") + 1], args[args.index("--stderr") + 1])
        return Reply()
    reply = operations.open_(desktop, {"argv": args})
    return Reply(int(reply["status"]), stderr=reply.get("stderr", "") + ("\n" if reply.get("stderr") else ""))


def start_host(desktop: Desktop, executable: Path, env: Dict[str, str], stdout: str, stderr: str) -> int:
    """The host's process is known by its executable's path, as on a Mac: a
    sleep under that name. What the host and the integration UI write at
    start (main.dart) is written here."""
    out, err = open(stdout, "ab"), open(stderr, "ab")
    process = subprocess.Popen(["bash", "-c", 'exec -a "$0" sleep 100000', str(executable)],
                               stdout=out, stderr=err, start_new_session=True)
    err.write(((stub("PLUGIN_LINE") or REGISTRANT) + "\n").encode())
    out.close()
    err.close()
    ui = executable.parents[8]
    text = (ui / "lib" / "reload_text.dart").read_text().split("=> '", 1)[1].split("';", 1)[0]
    trusted = stub("TRUSTED") != "false"
    lines: List[Dict[str, Any]] = [{"event": "started", "pid": process.pid, "text": text}]
    answers = [
        ("selection", "checkPermission", {"kind": "value", "value": trusted}),
        ("selection", "startWindowDrag", {"kind": "value", "value": None}),
        ("selection", "integrationUnknownMethod", {"kind": "notImplemented"}),
        ("selection", "getSelection", {"kind": "value", "value": None}),
        ("system", "getLaunchAtLogin", {"kind": "value", "value": False}),
        ("system", "setLaunchAtLogin", json.loads(stub("SET_LAUNCH_ANSWER") or
            '{"kind":"error","code":"INVALID_ARGUMENT","message":"Boolean argument required","details":null}')),
        ("system", "integrationUnknownMethod", {"kind": "notImplemented"}),
    ]
    for channel, method, answer in answers:
        name = f"com.brimlane.app/{channel}"
        lines.append({"event": "call", "channel": name, "method": method, "arguments": None})
        lines.append({"event": "answer", "channel": name, "method": method, **answer})
    for package in PLUGINS:
        if package in stub("MISSING_PLUGINS").split(","):
            lines.append({"event": "plugin", "package": package, "kind": "missing",
                          "description": "MissingPluginException(No implementation found)"})
        elif package == "flutter_secure_storage":
            # Without a team the secure storage has no keychain group: it
            # answers with an error of its own, which still shows it registered.
            lines.append({"event": "plugin", "package": package, "kind": "error", "code": "-34018",
                          "message": "A required entitlement isn't present."})
        else:
            lines.append({"event": "plugin", "package": package, "kind": "answered"})
    lines.append({"event": "ready"})
    report = Path(env["BRIMLANE_INTEGRATION_REPORT"])

    def start() -> None:
        time.sleep(0.05)
        with report.open("a", encoding="utf-8") as file:
            for line in lines:
                file.write(json.dumps(dict(line, time=now())) + "\n")
        operations.host(desktop, {"pid": process.pid, "report": str(report)})

    threading.Thread(target=start, daemon=True).start()
    return process.pid


def keyboard_layout(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    reply = operations.layout(desktop, {"argv": args})
    return Reply(int(reply["status"]), json.dumps(reply["stdout"]) + "\n")


def key_witness(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    reply = operations.witness(desktop, {"log": args[0], "pid": pid})
    return Reply(3) if reply["status"] == 3 else Reply(stay=True)


def pasteboard(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    if args[0] == "read":
        return Reply(stdout=json.dumps(operations.clipboard(desktop, {"action": "read"})) + "\n")
    items = json.loads((cwd / args[1]).read_text())["items"]
    if args[0] == "write":
        reply = operations.clipboard(desktop, {"action": "write", "items": items})
        return Reply(stdout=json.dumps({"ok": True, "changeCount": reply["changeCount"]}) + "\n")
    reply = operations.clipboard(desktop, {"action": "wait", "items": items, "seconds": args[2]})
    return Reply(0 if reply["equal"] else 1, json.dumps(reply) + "\n")


def program(kind: str) -> Command:
    def run(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
        if kind == "swing" and args[:1] == ["-version"]:
            if stub("NO_JAVA"):
                return Reply(1, stderr="Unable to locate a Java Runtime.\n")
            return Reply(stderr='openjdk version "21.0.11" (stand-in)\n')
        operations.launch(desktop, {"kind": kind, "pid": pid, "args": args})
        return Reply(stay=True)

    return run


def cmake(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    note(desktop, "cmake", " ".join(args))
    if args[0] == "-S":
        Path(args[3]).mkdir(parents=True, exist_ok=True)
        return Reply()
    build, config, target = Path(args[1]), "Debug", ""
    if "--config" in args:
        config = args[args.index("--config") + 1]
    if "--target" in args:
        target = args[args.index("--target") + 1]
    if target == "brimlane_runner_libraries":
        (build / "lib" / config).mkdir(parents=True, exist_ok=True)
        for library in ("libbrimlane_app.a", "libbrimlane_mac.a"):
            (build / "lib" / config / library).write_bytes(b"")
    if target == "brimlane_mac_tests" and stub("NO_GTEST"):
        return Reply(1, stderr="ninja: error: unknown target 'brimlane_mac_tests'\n")
    return Reply()


def _standin_named(folder: Path, name: str) -> Path:
    """The stand-in under another name: it answers to the name it is run by."""
    link = folder / name
    link.unlink(missing_ok=True)
    link.symlink_to(os.environ["STANDIN"])
    return link


def clang(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    output = Path(args[args.index("-o") + 1])
    source = Path(next(a for a in args if a.endswith(".mm"))).name
    if stub("TOOLS_FAIL"):
        return Reply(1, stderr=f"{source}: error: stand-in refuses\n")
    if source == "text_target.mm":
        output.write_bytes(b"\xcf\xfa\xed\xfe")  # opened through open, never run
    else:
        shutil.copy(_standin_named(desktop.state, Path(output).name), output)
    return Reply()


def npm(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    if args[:1] == ["ci"]:
        (cwd / "node_modules" / ".bin").mkdir(parents=True, exist_ok=True)
        shutil.copy(_standin_named(desktop.state, "electron"), cwd / "node_modules" / ".bin" / "electron")
    return Reply()


def nm(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    defined = Path(args[-1]).name in ("Brimlane", "Brimlane.debug.dylib")
    text = "0000000100004000 (__DATA,__objc_data) external _OBJC_CLASS_$_AppDelegate\n" if defined else ""
    return Reply(stdout=text + "                 (undefined) external _OBJC_CLASS_$_NSObject (from libobjc)\n")


def screencapture(desktop: Desktop, args: List[str], cwd: Path, pid: int) -> Reply:
    (cwd / args[-1]).write_bytes(b"\x89PNG stand-in")
    return Reply()


def printing(text: str) -> Command:
    return lambda desktop, args, cwd, pid: Reply(stdout=text + "\n" if text else "")


COMMANDS: Dict[str, Command] = {
    "osascript": osascript,
    "open": open_,
    "keyboard-layout": keyboard_layout,
    "key-witness": key_witness,
    "pasteboard": pasteboard,
    "java": program("swing"),
    "electron": program("electron"),
    "cmake": cmake,
    "clang++": clang,
    "npm": npm,
    "nm": nm,
    "screencapture": screencapture,
    "ctest": printing("100% tests passed, 0 tests failed out of 9"),
    "lipo": lambda d, a, c, p: Reply(stdout=f"Architectures in the fat file: {a[1]} are: x86_64 arm64\n" if a[0] == "-info" else ""),
    "codesign": lambda d, a, c, p: Reply(stdout='# designated => cdhash H"0123abcd"\n' if a[0] == "--display" else ""),
    "killall": lambda d, a, c, p: (note(d, "killall", " ".join(a)), Reply())[1],
    "brew": printing(""),
    "ninja": printing(""),
    "uname": printing("Darwin"),
    "log": printing(""),
    "csrutil": printing("System Integrity Protection status: disabled."),
    "sw_vers": printing("ProductName:\t\tmacOS\nProductVersion:\t\t15.7.7\nBuildVersion:\t\t24G720"),
    "xcodebuild": printing("Xcode 16.4\nBuild version 16F6"),
}


def run(desktop: Desktop, request: Dict[str, Any], pid: int) -> Reply:
    command = COMMANDS[request["name"]]
    try:
        return command(desktop, request["argv"], Path(request["cwd"]), pid)
    except Exception as error:  # a fault of the fake: loud, with the command
        return Reply(125, stderr=f"stand-in {request['name']} {request['argv']}: {type(error).__name__}: {error}\n")
