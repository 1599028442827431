"""Stand-ins for the Mac's commands, for the tests of integration/run.

Each is this file run as `commands.py NAME ARG...` from a wrapper of that
name on the PATH. Those that touch the desktop (osascript, open, the run's
own tools, the host, the programs the run starts) ask the fake desktop
(desktop.py) through its socket in $STATE; the build tools act on files as
the real ones would, just enough for the harness to see the effect.
"""

from __future__ import annotations

import json
import os
import re
import shutil
import socket
import subprocess
import sys
import time
from pathlib import Path
from typing import Any, Callable, Dict, List

STATE = Path(os.environ.get("STATE", "."))
FIXTURE = Path(__file__).resolve().parents[1] / "fixtures" / "flutter_macos_runner"
REGISTRANT = "Brimlane: plug-ins registered by the generated plug-in registrant"
PLUGINS = ("device_info_plus", "flutter_secure_storage", "package_info_plus", "path_provider", "url_launcher")
MACH_O = b"\xcf\xfa\xed\xfe"


def stub(name: str) -> str:
    return os.environ.get(f"STUB_{name}", "")


def ask(request: Dict[str, Any]) -> Dict[str, Any]:
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.connect(str(STATE / "desktop.sock"))
        connection.sendall((json.dumps(request) + "\n").encode())
        data = b""
        while not data.endswith(b"\n"):
            chunk = connection.recv(65536)
            if not chunk:
                break
            data += chunk
    reply = json.loads(data)
    if "error" in reply:
        print(reply["error"], file=sys.stderr)
        sys.exit(1)
    return reply


def forever() -> int:
    while True:
        time.sleep(1000)


def note(name: str, line: str) -> None:
    with (STATE / name).open("a", encoding="utf-8") as file:
        file.write(line + "\n")


# --- The desktop -------------------------------------------------------------------


def osascript(args: List[str]) -> int:
    script = args[args.index("-e") + 1]
    name = re.search(r"// brimlane:(\S+)", script).group(1)  # type: ignore[union-attr]
    rest = args[args.index("-e") + 2:]
    note("scripts", f"{name} {json.dumps(rest, ensure_ascii=False)}")
    if name in stub("HANG_OSASCRIPT").split(","):
        return forever()
    reply = ask({"op": "osa", "script": name, "args": rest})
    print(json.dumps({"ok": True, "value": reply["value"]}, ensure_ascii=False))
    return 0


def open_(args: List[str]) -> int:
    if "--stdout" in args:
        env = dict(os.environ)
        for i, argument in enumerate(args):
            if argument == "--env":
                key, value = args[i + 1].split("=", 1)
                env[key] = value
        start_host(Path(args[-1]) / "Contents" / "MacOS" / "Brimlane", env,
                   args[args.index("--stdout") + 1], args[args.index("--stderr") + 1])
        return 0
    reply = ask({"op": "open", "argv": args})
    if reply.get("stderr"):
        print(reply["stderr"], file=sys.stderr)
    return int(reply["status"])


def start_host(executable: Path, env: Dict[str, str], stdout: str, stderr: str) -> subprocess.Popen[bytes]:
    """The host's process is known by its executable's path, as on a Mac:
    a sleep under that name; a second process plays the host's part."""
    out, err = open(stdout, "ab"), open(stderr, "ab")
    process = subprocess.Popen(["bash", "-c", 'exec -a "$0" sleep 100000', str(executable)],
                               stdout=out, stderr=err, start_new_session=True)
    ui = executable.parents[8]
    subprocess.Popen([sys.executable, __file__, "host-logic", str(process.pid), str(ui)], env=env,
                     stdout=out, stderr=err, start_new_session=True)
    return process


def host_logic(args: List[str]) -> int:
    """What the host and the integration UI write at start (main.dart)."""
    pid, ui = int(args[0]), Path(args[1])
    report = Path(os.environ["BRIMLANE_INTEGRATION_REPORT"])
    print(stub("PLUGIN_LINE") or REGISTRANT, file=sys.stderr, flush=True)
    text = re.search(r"=> '(.*)';", (ui / "lib" / "reload_text.dart").read_text()).group(1)  # type: ignore[union-attr]
    lines: List[Dict[str, Any]] = [{"event": "started", "pid": pid, "text": text}]
    trusted = stub("TRUSTED") != "false"
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
            lines.append({"event": "plugin", "package": package, "kind": "error", "code": "-34018", "message": "A required entitlement isn't present."})
        else:
            lines.append({"event": "plugin", "package": package, "kind": "answered"})
    lines.append({"event": "ready"})
    with report.open("a", encoding="utf-8") as file:
        for line in lines:
            file.write(json.dumps(dict(line, time=time.time())) + "\n")
    ask({"op": "host", "pid": pid, "report": str(report)})
    return 0


# --- The run's own tools and programs --------------------------------------------------


def keyboard_layout(args: List[str]) -> int:
    reply = ask({"op": "layout", "argv": args})
    print(json.dumps(reply["stdout"]))
    return int(reply["status"])


def key_witness(args: List[str]) -> int:
    reply = ask({"op": "witness", "log": args[0], "pid": os.getpid()})
    return 3 if reply["status"] == 3 else forever()


def pasteboard(args: List[str]) -> int:
    if args[0] == "read":
        print(json.dumps(ask({"op": "clipboard", "action": "read"})))
        return 0
    items = json.loads(Path(args[1]).read_text())["items"]
    if args[0] == "write":
        reply = ask({"op": "clipboard", "action": "write", "items": items})
        print(json.dumps({"ok": True, "changeCount": reply["changeCount"]}))
        return 0
    reply = ask({"op": "clipboard", "action": "wait", "items": items, "seconds": args[2]})
    print(json.dumps(reply))
    return 0 if reply["equal"] else 1


def program(kind: str) -> Callable[[List[str]], int]:
    def run(args: List[str]) -> int:
        if kind == "swing" and args[:1] == ["-version"]:
            if stub("NO_JAVA"):
                print("Unable to locate a Java Runtime.", file=sys.stderr)
                return 1
            print('openjdk version "21.0.11" (stand-in)', file=sys.stderr)
            return 0
        ask({"op": "launch", "kind": kind, "pid": os.getpid(), "args": args})
        return forever()

    return run


# --- Building ---------------------------------------------------------------------------


def flutter(args: List[str]) -> int:
    if args[:1] == ["--version"]:
        if "--machine" in args:
            print("A new version of Flutter is available! (stand-in)")
            print(json.dumps({"frameworkVersion": "3.44.9", "channel": "stable", "flutterRoot": os.environ["STUB_FLUTTER_ROOT"]}, indent=2))
        else:
            print("Flutter 3.44.9 (stand-in)")
        return 0
    if args[:1] == ["create"]:
        Path("macos").mkdir()
        if not stub("NOT_A_RUNNER"):
            shutil.copytree(FIXTURE, "macos", dirs_exist_ok=True)
        return 0
    if args[:2] == ["pub", "get"]:
        Path("pubspec.lock").write_text("# Generated by the stand-in\npackages: {}\n")
        return 0
    if args[:2] == ["build", "macos"]:
        return build(Path.cwd())
    if args[:1] == ["run"]:
        from daemon_standin import run_machine

        return run_machine(start_host)
    return 0


def build(project: Path) -> int:
    products = project / "build" / "macos" / "Build" / "Products" / "Debug"
    if project.name == "text_field_app":
        executable = products / "brimlane_text_field_app.app" / "Contents" / "MacOS" / "brimlane_text_field_app"
        executable.parent.mkdir(parents=True, exist_ok=True)
        executable.write_bytes(MACH_O)
        return 0
    # Xcode links the libraries of the checkout the runner names.
    local = (project / "macos" / "Runner" / "Configs" / "Brimlane.local.xcconfig").read_text()
    root = Path(re.search(r"BRIMLANE_ROOT = (.*)", local).group(1).strip())  # type: ignore[union-attr]
    for library in ("libbrimlane_app.a", "libbrimlane_mac.a"):
        if not (root / "build" / "mac-runner" / "lib" / "Debug" / library).exists():
            print(f"no {library} to link", file=sys.stderr)
            return 1
    macos = products / "Brimlane.app" / "Contents" / "MacOS"
    macos.mkdir(parents=True, exist_ok=True)
    (macos / "Brimlane").write_bytes(MACH_O + b"stand-in")
    if stub("DELEGATE_TWICE"):
        (macos / "Brimlane.debug.dylib").write_bytes(MACH_O + b"stand-in")
    plugins = ("device_info_plus", "flutter_secure_storage_darwin", "package_info_plus", "url_launcher_macos")
    if (stub("ROUTE") or "spm") == "spm":
        package = project / "macos" / "Flutter" / "ephemeral" / "Packages" / "FlutterGeneratedPluginSwiftPackage"
        package.mkdir(parents=True, exist_ok=True)
        lines = [f'        .package(name: "{p}", path: "../.packages/{p}-1.0.0"),' for p in plugins]
        (package / "Package.swift").write_text("let package = Package(\n    dependencies: [\n" + "\n".join(lines)
                                               + '\n        .package(name: "FlutterFramework", path: "../.packages/FlutterFramework")\n    ],\n)\n')
    else:
        lines = [f"  - {p} (from `Flutter/ephemeral/.symlinks/plugins/{p}/macos`)" for p in plugins]
        (project / "macos" / "Podfile.lock").write_text("DEPENDENCIES:\n" + "\n".join(lines) + "\n")
    return 0


def cmake(args: List[str]) -> int:
    note("cmake", " ".join(args))
    if args[0] == "-S":
        Path(args[3]).mkdir(parents=True, exist_ok=True)
        return 0
    build_dir, config, target = Path(args[1]), "Debug", ""
    if "--config" in args:
        config = args[args.index("--config") + 1]
    if "--target" in args:
        target = args[args.index("--target") + 1]
    if target == "brimlane_runner_libraries":
        (build_dir / "lib" / config).mkdir(parents=True, exist_ok=True)
        for library in ("libbrimlane_app.a", "libbrimlane_mac.a"):
            (build_dir / "lib" / config / library).write_bytes(b"")
    if target == "brimlane_mac_tests" and stub("NO_GTEST"):
        print("ninja: error: unknown target 'brimlane_mac_tests'", file=sys.stderr)
        return 1
    return 0


def clang(args: List[str]) -> int:
    output = Path(args[args.index("-o") + 1])
    source = next(a for a in args if a.endswith(".mm"))
    if stub("TOOLS_FAIL"):
        print(f"{source}: error: stand-in refuses", file=sys.stderr)
        return 1
    tool = {"keyboard_layout.mm": "keyboard-layout", "key_witness.mm": "key-witness", "pasteboard.mm": "pasteboard",
            "text_target.mm": "TextTarget"}[Path(source).name]
    output.write_text(f'#!/bin/sh\nexec "{sys.executable}" "{__file__}" tool:{tool} "$@"\n')
    output.chmod(0o755)
    return 0


def npm(args: List[str]) -> int:
    if args[:1] == ["ci"]:
        electron = Path("node_modules") / ".bin" / "electron"
        electron.parent.mkdir(parents=True, exist_ok=True)
        electron.write_text(f'#!/bin/sh\nexec "{sys.executable}" "{__file__}" electron "$@"\n')
        electron.chmod(0o755)
    return 0


def nm(args: List[str]) -> int:
    if Path(args[-1]).name in ("Brimlane", "Brimlane.debug.dylib"):
        print("0000000100004000 (__DATA,__objc_data) external _OBJC_CLASS_$_AppDelegate")
    print("                 (undefined) external _OBJC_CLASS_$_NSObject (from libobjc)")
    return 0


def printing(text: str, status: int = 0) -> Callable[[List[str]], int]:
    def run(args: List[str]) -> int:
        if text:
            print(text)
        return status

    return run


def csreq(args: List[str]) -> int:
    sys.stdin.read()
    Path(args[args.index("-b") + 1]).write_bytes(bytes.fromhex("fade0c00000000140000000100000008"))
    return 0


def sudo(args: List[str]) -> int:
    command = args[1:] if args[:1] == ["-n"] else args
    note("sudo", " ".join(command))
    os.execvp(command[0], command)


def screencapture(args: List[str]) -> int:
    Path(args[-1]).write_bytes(b"\x89PNG stand-in")
    return 0


COMMANDS: Dict[str, Callable[[List[str]], int]] = {
    "shutdown": lambda a: ask({"op": "shutdown"}) and 0,
    "osascript": osascript,
    "open": open_,
    "host-logic": host_logic,
    "tool:keyboard-layout": keyboard_layout,
    "tool:key-witness": key_witness,
    "tool:pasteboard": pasteboard,
    "java": program("swing"),
    "electron": program("electron"),
    "flutter": flutter,
    "cmake": cmake,
    "ctest": printing("100% tests passed, 0 tests failed out of 9"),
    "lipo": lambda a: print(f"Architectures in the fat file: {a[1]} are: x86_64 arm64") or 0 if a[0] == "-info" else 0,
    "codesign": lambda a: print('# designated => cdhash H"0123abcd"') or 0 if a[0] == "--display" else 0,
    "csreq": csreq,
    "sudo": sudo,
    "killall": lambda a: note("killall", " ".join(a)) or 0,
    "nm": nm,
    "clang++": clang,
    "npm": npm,
    "brew": printing(""),
    "ninja": printing(""),
    "uname": printing("Darwin"),
    "screencapture": screencapture,
    "log": printing(""),
    "csrutil": printing("System Integrity Protection status: disabled."),
    "sw_vers": printing("ProductName:\t\tmacOS\nProductVersion:\t\t15.7.7\nBuildVersion:\t\t24G720"),
    "xcodebuild": printing("Xcode 16.4\nBuild version 16F6"),
}

if __name__ == "__main__":
    sys.path.insert(0, str(Path(__file__).parent))
    sys.exit(COMMANDS[sys.argv[1]](sys.argv[2:]))
