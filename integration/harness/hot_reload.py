"""A hot reload under `flutter run -d macos --machine`.

The flutter tool builds the application again (little is left to build after
the run's own build), launches its executable itself, and speaks the daemon
protocol. Once the app has started, reloadText() in the UI is changed to
return other text, "app.restart" with "fullRestart": false asks for a hot
reload, and the UI's report must show the new text from the process that
wrote its first line. "app.stop" then ends the app. The Dart file is put back
whatever happens, and after a run killed outright, at the next run's start.
"""

from __future__ import annotations

from pathlib import Path
from typing import Optional

from . import processes
from .context import Context
from .daemon import DaemonClient
from .jsonlines import as_object
from .report import Outcome, failed, passed, skipped
from .ui_report import UiReport

BEFORE = "before hot reload"
AFTER = "after hot reload"


def _source(ctx: Context) -> Path:
    return ctx.paths.ui / "lib" / "reload_text.dart"


def _backup(ctx: Context) -> Path:
    return ctx.paths.tools / "reload_text.dart.orig"


def put_back_source(ctx: Context) -> bool:
    """Puts the Dart file back from the copy made before it was changed."""
    backup = _backup(ctx)
    if not backup.exists():
        return False
    backup.replace(_source(ctx))
    return True


def recover_from_killed_run(ctx: Context) -> None:
    if _backup(ctx).exists() and f"'{AFTER}'" in _source(ctx).read_text(encoding="utf-8"):
        put_back_source(ctx)
        ctx.notes.append("an earlier run's change to integration/ui/lib/reload_text.dart was put back")


def _report(ctx: Context) -> UiReport:
    return UiReport(ctx.log("hot-reload-report.jsonl"))


def _daemon(ctx: Context) -> Optional[DaemonClient]:
    client = ctx.state.get("daemon")
    return client if isinstance(client, DaemonClient) else None


def started(ctx: Context) -> Outcome:
    if ctx.elapsed_minutes() >= ctx.options.hot_reload_by:
        return skipped(f"no time: the run had taken {ctx.elapsed_minutes():.0f} min; --hot-reload-by {ctx.options.hot_reload_by:g}")
    if f"'{BEFORE}'" not in _source(ctx).read_text(encoding="utf-8"):
        return failed(f"integration/ui/lib/reload_text.dart does not return '{BEFORE}'")
    report = ctx.log("hot-reload-report.jsonl")
    report.write_text("", encoding="utf-8")
    env = dict(ctx.flutter_env, BRIMLANE_INTEGRATION_REPORT=str(report))
    client = DaemonClient(
        [ctx.options.flutter, "run", "-d", "macos", "--machine"],
        cwd=ctx.paths.ui,
        env=env,
        protocol_log=ctx.log("flutter-run-machine.jsonl"),
        stderr_log=ctx.log("flutter-run-stderr.txt"),
    )
    ctx.state["daemon"] = client
    ctx.cleanup.callback(lambda: _end(ctx, client))
    event = client.wait_event("app.started", ctx.timing.daemon_start)
    app_id = (event or {}).get("params", {}).get("appId")
    if not isinstance(app_id, str):
        gone = "" if client.running() else "; flutter run has ended"
        return failed(f"no app.started within {ctx.timing.daemon_start:g} s{gone}; see flutter-run-machine.jsonl")
    ctx.state["app-id"] = app_id
    processes.wait_until(lambda: _report(ctx).event("started") is not None, ctx.timing.ui_ready)
    line = _report(ctx).event("started")
    pid = line.get("pid") if line else None
    if not isinstance(pid, int):
        return failed(f"app.started, but no line from the UI within {ctx.timing.ui_ready:g} s")
    ctx.state["reload-pid"] = pid
    return passed(f"appId {app_id}, pid {pid}")


def _end(ctx: Context, client: DaemonClient) -> None:
    pid = ctx.state.get("reload-pid")
    client.close(ctx.timing.process_grace)
    if isinstance(pid, int):
        processes.end_pid(pid, ctx.timing.process_grace)
    put_back_source(ctx)


def reload(ctx: Context) -> Outcome:
    client = _daemon(ctx)
    assert client is not None
    source = _source(ctx)
    original = source.read_text(encoding="utf-8")
    _backup(ctx).write_text(original, encoding="utf-8")
    # Written in full under another name and moved over the original, so that
    # the compiler never reads half of it.
    changed = source.with_name(source.name + ".new")
    changed.write_text(original.replace(f"'{BEFORE}'", f"'{AFTER}'"), encoding="utf-8")
    changed.replace(source)
    identifier = client.send("app.restart", {"appId": ctx.state["app-id"], "fullRestart": False})
    response = client.wait_response(identifier, ctx.timing.daemon_answer)
    if response is None:
        gone = "" if client.running() else "; flutter run has ended"
        return failed(f"no answer to app.restart within {ctx.timing.daemon_answer:g} s{gone}")
    result = as_object(response.get("result"))
    if result.get("code") == 0:
        return passed(str(result.get("message") or "code 0"))
    return failed(f"app.restart answered {response.get('result') or response.get('error')!r}")


def new_code(ctx: Context) -> Outcome:
    """reassemble() writes its line once the reloaded code runs; it must come
    from the process that started, which must be the only start."""
    pid = ctx.state.get("reload-pid")
    report = _report(ctx)
    found = processes.wait_until(
        lambda: report.first(lambda l: l.get("event") == "reassembled" and l.get("text") == AFTER) is not None,
        ctx.timing.reassembled,
    )
    put_back_source(ctx)
    line = report.first(lambda l: l.get("event") == "reassembled" and l.get("text") == AFTER)
    starts = len(report.all(lambda l: l.get("event") == "started"))
    if not found or line is None:
        return failed(f"no \"{AFTER}\" in hot-reload-report.jsonl within {ctx.timing.reassembled:g} s")
    if line.get("pid") != pid or starts != 1 or not isinstance(pid, int) or not processes.alive(pid):
        return failed(f"\"{AFTER}\" from pid {line.get('pid')} after {starts} start(s) of pid {pid}")
    return passed(f"\"{AFTER}\" from pid {pid}")


def stop(ctx: Context) -> Outcome:
    client = _daemon(ctx)
    assert client is not None
    pid = ctx.state.get("reload-pid")
    identifier = client.send("app.stop", {"appId": ctx.state["app-id"]})
    response = client.wait_response(identifier, ctx.timing.daemon_answer)
    gone = isinstance(pid, int) and processes.wait_until(lambda: not processes.alive(pid), ctx.timing.host_start)
    if response is not None and response.get("result") is True and gone:
        return passed(f"pid {pid}")
    running = "" if gone else f"; pid {pid} still running"
    return failed(f"app.stop answered {response!r}{running}")
