"""Building what the run drives: the integration UI as Brimlane's runner, the
host's libraries, the application, the Mac tests, the run's own tools, and
the applications of the compatibility table that are built in the job."""

from __future__ import annotations

import plistlib
import re
import shutil
import tempfile
from pathlib import Path
from typing import List, Tuple

from . import processes
from .context import Context
from .report import Outcome, failed, passed, skipped
from .programs import FlutterTextField

# The run's own programs: output name, source, frameworks.
TOOLS: Tuple[Tuple[str, str, Tuple[str, ...]], ...] = (
    ("keyboard-layout", "keyboard_layout.mm", ("Carbon", "Foundation")),
    ("key-witness", "key_witness.mm", ("ApplicationServices", "Foundation")),
    ("pasteboard", "pasteboard.mm", ("AppKit",)),
)
MACH_O_MAGIC = {b"\xfe\xed\xfa\xce", b"\xfe\xed\xfa\xcf", b"\xce\xfa\xed\xfe", b"\xcf\xfa\xed\xfe", b"\xca\xfe\xba\xbe", b"\xbe\xba\xfe\xca"}


def _flutter(ctx: Context, *arguments: str, cwd: Path, log: str, timeout: float) -> processes.Result:
    return processes.run([ctx.options.flutter, *arguments], cwd=cwd, env=ctx.flutter_env, timeout=timeout, output=ctx.log(log))


def _tail(ctx: Context, log: str) -> str:
    return processes.last_line(ctx.log(log).read_text(encoding="utf-8", errors="replace")) if ctx.log(log).exists() else ""


def make_macos_runner(ctx: Context, project: Path, name: str, log: str) -> Tuple[bool, str]:
    """The project's macos folder made by the installed Flutter's own
    template, in a scratch folder beside a copy of the pubspec, and kept, as
    a developer's would be."""
    if (project / "macos").is_dir():
        return True, f"{project.name}/macos, kept from an earlier run"
    with tempfile.TemporaryDirectory() as scratch:
        shutil.copy(project / "pubspec.yaml", scratch)
        made = _flutter(ctx, "create", "--no-pub", "--platforms=macos", "--project-name", name,
                        "--org", "com.brimlane", ".", cwd=Path(scratch), log=log, timeout=ctx.timing.flutter_create)
        if not made.ok or not (Path(scratch) / "macos").is_dir():
            return False, f"flutter create: {made.describe()}; see {log}"
        shutil.copytree(Path(scratch) / "macos", project / "macos")
    return True, f"{project.name}/macos"


def runner(ctx: Context) -> Outcome:
    made, what = make_macos_runner(ctx, ctx.paths.ui, "brimlane_integration_ui", "flutter-build.log")
    if not made:
        return failed(what)
    # No team: the application is signed ad hoc, as a hosted runner can only do.
    adopted = processes.run([ctx.paths.root / "tools" / "adopt-runner", ctx.paths.ui], timeout=ctx.timing.quick_command,
                            output=ctx.log("adopt-runner.log"))
    if not adopted.ok:
        return failed(f"tools/adopt-runner: {_tail(ctx, 'adopt-runner.log')}; see adopt-runner.log")
    return passed(f"{what}; runner files laid over it by tools/adopt-runner")


def ui_lock(ctx: Context) -> Outcome:
    """The plug-ins' versions are those of the committed pubspec.lock, or the
    run says that they floated."""
    lock = ctx.paths.ui / "pubspec.lock"
    if lock.exists():
        got = _flutter(ctx, "pub", "get", "--enforce-lockfile", cwd=ctx.paths.ui, log="pub-get.log", timeout=ctx.timing.install)
        return passed("pub get --enforce-lockfile") if got.ok else failed(
            f"pubspec.lock does not hold what pub resolves: {_tail(ctx, 'pub-get.log')}; see pub-get.log")
    got = _flutter(ctx, "pub", "get", cwd=ctx.paths.ui, log="pub-get.log", timeout=ctx.timing.install)
    if not got.ok:
        return failed(f"pub get: {_tail(ctx, 'pub-get.log')}")
    shutil.copy(lock, ctx.log("pubspec.lock"))
    return skipped("integration/ui/pubspec.lock is not committed, so the plug-in versions float; "
                   "the lock pub wrote is in build/integration/pubspec.lock, to be committed")


def libraries(ctx: Context) -> Outcome:
    # CMake and Ninja build the libraries; GoogleTest must be there when
    # CMake configures, or the Mac tests are left out of the build.
    if shutil.which("brew"):
        for formula in ("cmake", "ninja", "googletest"):
            if formula != "googletest" and shutil.which(formula):
                continue
            if not processes.run(["brew", "list", "--versions", formula], timeout=ctx.timing.quick_command).ok:
                processes.run(["brew", "install", formula], timeout=ctx.timing.install, output=ctx.log("brew.log"),
                              env=dict(ctx.flutter_env, HOMEBREW_NO_AUTO_UPDATE="1"))
    built = processes.run([ctx.paths.root / "tools" / "build-mac-libraries", "--config", "Debug"], env=ctx.flutter_env,
                          timeout=ctx.timing.build, output=ctx.log("mac-libraries.log"))
    if built.ok:
        return passed("build/mac-runner/lib/Debug, universal")
    return failed(f"tools/build-mac-libraries: {built.describe() if built.timed_out else _tail(ctx, 'mac-libraries.log')}")


def application(ctx: Context) -> Outcome:
    _flutter(ctx, "--version", cwd=ctx.paths.ui, log="flutter-build.log", timeout=ctx.timing.quick_command)
    built = _flutter(ctx, "build", "macos", "--debug", cwd=ctx.paths.ui, log="flutter-build.log", timeout=ctx.timing.build)
    if built.ok and ctx.paths.executable.exists():
        return passed(str(ctx.paths.app.relative_to(ctx.paths.ui)))
    return failed(f"flutter build macos --debug: {built.describe() if built.timed_out else _tail(ctx, 'flutter-build.log')}")


def plugin_route(ctx: Context) -> Outcome:
    """Which way the plug-ins came into the build, from what each way leaves
    in the runner folder: Swift Package Manager a package that depends on
    each of them, CocoaPods a lock file that lists each one's pod. Flutter
    takes a plug-in without a Swift package through CocoaPods even with Swift
    Package Manager on, so an expected way passes only when no plug-in came
    the other way."""
    macos = ctx.paths.ui / "macos"
    package = macos / "Flutter" / "ephemeral" / "Packages" / "FlutterGeneratedPluginSwiftPackage" / "Package.swift"
    spm = sorted({n for n in re.findall(r'\.package\(name: "([^"]+)"', _read(package)) if n != "FlutterFramework"})
    pods = sorted(set(re.findall(r"ephemeral/\.symlinks/plugins/([^/\s`]+)", _read(macos / "Podfile.lock"))))
    routes = f"Swift Package Manager: {' '.join(spm) or 'none'}; CocoaPods: {' '.join(pods) or 'none'}"
    wanted = ctx.options.plugins_through
    ok = {"spm": bool(spm) and not pods, "cocoapods": bool(pods) and not spm}.get(wanted, bool(spm or pods))
    return passed(routes) if ok else failed((f"expected {wanted} only; " if wanted else "") + routes)


def _read(path: Path) -> str:
    return path.read_text(encoding="utf-8", errors="replace") if path.exists() else ""


def signature(ctx: Context) -> Outcome:
    checked = processes.run(["codesign", "--verify", "--deep", "--strict", "--verbose=2", ctx.paths.app],
                            timeout=ctx.timing.quick_command, output=ctx.log("codesign.log"))
    return passed("codesign --verify --deep --strict") if checked.ok else failed(_tail(ctx, "codesign.log") or checked.describe())


def delegate_once(ctx: Context) -> Outcome:
    """The host's AppDelegate must be defined in exactly one image of the
    application: were the host's libraries linked into both the executable
    and a debug dylib beside it, its classes and singletons would exist twice."""
    images: List[str] = []
    checked = 0
    for path in sorted(p for p in ctx.paths.app.rglob("*") if p.is_file() and not p.is_symlink()):
        with path.open("rb") as file:
            if file.read(4) not in MACH_O_MAGIC:
                continue
        checked += 1
        listed = processes.run(["nm", "-m", path], timeout=ctx.timing.quick_command)
        if any("_OBJC_CLASS_$_AppDelegate" in line and "(undefined)" not in line for line in listed.stdout.splitlines()):
            images.append(str(path.relative_to(ctx.paths.app)))
    if len(images) == 1:
        return passed(f"defined in {images[0]} alone, of {checked} Mach-O files")
    return failed(f"AppDelegate is defined in {len(images)} images: {', '.join(images) or 'none'}")


def mac_tests(ctx: Context) -> Outcome:
    build = ctx.paths.root / "build" / "mac-runner"
    built = processes.run(["cmake", "--build", build, "--config", "Debug", "--target", "brimlane_mac_tests"],
                          timeout=ctx.timing.build, output=ctx.log("mac-tests-build.log"))
    if not built.ok:
        return failed("brimlane_mac_tests did not build; see mac-tests-build.log")
    ran = processes.run(["ctest", "--test-dir", build, "-C", "Debug", "-L", "mac", "--output-on-failure",
                         "--no-tests=error", "--timeout", "300"], timeout=ctx.timing.tests, output=ctx.log("ctest.log"))
    summary = next((l for l in reversed(_read(ctx.log("ctest.log")).splitlines()) if "tests passed" in l), "")
    return passed(summary) if ran.ok else failed(summary or ran.describe())


def tools(ctx: Context) -> Outcome:
    """The run's own programs, built with the machine's compiler for its own
    architecture (integration/tools/ says what each does)."""
    ctx.paths.tools.mkdir(parents=True, exist_ok=True)
    for output, source, frameworks in TOOLS:
        failure = _compile(ctx, ctx.paths.tool(output), source, frameworks)
        if failure:
            return failed(failure)
    bundle = ctx.paths.tool("TextTarget.app")
    shutil.rmtree(bundle, ignore_errors=True)
    (bundle / "Contents" / "MacOS").mkdir(parents=True)
    failure = _compile(ctx, bundle / "Contents" / "MacOS" / "TextTarget", "text_target.mm", ("AppKit",))
    if failure:
        return failed(failure)
    # A bundle, so that Launch Services opens it as an application like any
    # other; no sudden termination, so that it logs its own end.
    with (bundle / "Contents" / "Info.plist").open("wb") as plist:
        plistlib.dump({
            "CFBundleExecutable": "TextTarget", "CFBundleIdentifier": "com.brimlane.integration.text-target",
            "CFBundleName": "TextTarget", "CFBundlePackageType": "APPL", "LSMinimumSystemVersion": "11.0",
            "NSPrincipalClass": "NSApplication",
        }, plist)
    signed = processes.run(["codesign", "--force", "--sign", "-", bundle], timeout=ctx.timing.quick_command,
                           output=ctx.log("integration-tools.log"))
    if not signed.ok:
        return failed(f"TextTarget.app not signed: {signed.describe()}")
    return passed("keyboard-layout, key-witness, pasteboard, TextTarget.app")


def _compile(ctx: Context, output: Path, source: str, frameworks: Tuple[str, ...]) -> str:
    command: List[str] = ["clang++", "-std=c++20", "-fobjc-arc", "-O1", "-Wall", "-mmacosx-version-min=11.0",
                          "-o", str(output), str(ctx.paths.root / "integration" / "tools" / source)]
    for framework in frameworks:
        command += ["-framework", framework]
    compiled = processes.run(command, timeout=ctx.timing.build, output=ctx.log("integration-tools.log"))
    return "" if compiled.ok else f"{source}: {_tail(ctx, 'integration-tools.log') or compiled.describe()}; see integration-tools.log"


def electron(ctx: Context) -> Outcome:
    if not shutil.which("npm"):
        return skipped("no npm here, so the Electron app cannot be built")
    folder = ctx.paths.apps / "electron"
    installed = processes.run(["npm", "ci", "--no-audit", "--no-fund"], cwd=folder, timeout=ctx.timing.install,
                              output=ctx.log("electron-build.log"))
    if installed.ok and (folder / "node_modules" / ".bin" / "electron").exists():
        return passed("npm ci in integration/apps/electron")
    return failed(f"npm ci: {_tail(ctx, 'electron-build.log') or installed.describe()}")


def text_field_app(ctx: Context) -> Outcome:
    project = ctx.paths.apps / "text_field_app"
    made, what = make_macos_runner(ctx, project, "brimlane_text_field_app", "text-field-app-build.log")
    if not made:
        return failed(what)
    # The template's App Sandbox would keep the app from reading the text
    # file and writing its report; this app is the run's own.
    for name in ("DebugProfile.entitlements", "Release.entitlements"):
        path = project / "macos" / "Runner" / name
        if path.exists():
            with path.open("rb") as file:
                entitlements = plistlib.load(file)
            entitlements["com.apple.security.app-sandbox"] = False
            with path.open("wb") as file:
                plistlib.dump(entitlements, file)
    built = _flutter(ctx, "build", "macos", "--debug", cwd=project, log="text-field-app-build.log", timeout=ctx.timing.build)
    if built.ok and FlutterTextField.bundle(ctx).exists():
        return passed(f"{what}; {FlutterTextField.bundle(ctx).name}")
    return failed(f"flutter build macos --debug: {built.describe() if built.timed_out else _tail(ctx, 'text-field-app-build.log')}")
