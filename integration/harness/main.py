"""integration/run: the end-to-end run on a Mac (docs/MACOS.md, "The
end-to-end run", says what it proves and what it needs)."""

from __future__ import annotations

import argparse
import dataclasses
import os
import shutil
import sys
from pathlib import Path
from typing import List, Optional

from . import diagnostics, hot_reload, layouts, processes
from .applications import APPLICATIONS
from .cases import Case, Guard, Stop, run_cases
from .context import Cleanup, Context, Options, Paths, Timing
from .plan import plan
from .report import PASS, Report, Row, compatibility_table

# The harness's own tests run it where no Mac is, with stand-ins for the
# Mac's commands on the PATH.
ASSUME_MAC_VARIABLE = "BRIMLANE_E2E_ASSUME_MAC"

DESCRIPTION = """\
The end-to-end run on a Mac. Makes the integration UI (integration/ui) a
Flutter project whose macOS runner is Brimlane's, builds the host's libraries
and the application, runs the Mac tests, and drives the host on the desktop:
the plug-ins and every channel answer; the keys the host sends under the US,
Dvorak and "Dvorak - QWERTY Command" layouts, seen by a key witness and by a
target of its own; a capture and a paste-back in each application of the
compatibility table (TextEdit, Safari, Chrome, Firefox, Electron, Java Swing,
Terminal, Flutter) under US and Dvorak; a target that quits before the
paste's Command-V; and a hot reload under `flutter run --machine`.

Every case ends as pass, fail or skip, with a reason; a case the run did not
reach (a signal, the budget) is "not run". The table goes to standard
output, to build/integration/results.json, and, when GITHUB_STEP_SUMMARY is
set, to the job's summary; build/integration/ keeps the diagnostics. Exit
status: 0 when nothing failed (and, with --strict, nothing was skipped but
what --allow-skip names), 1 otherwise, 2 for a usage error, 129/130/143
after SIGHUP/SIGINT/SIGTERM.

Environment: FLUTTER, the flutter command (default: flutter)."""


def parse(arguments: List[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="integration/run", description=DESCRIPTION, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("--grant-trust", action="store_true",
                        help="write the Accessibility trust of the built application (and the key witness's) into "
                             "the system's privacy database with sudo, as a hosted runner allows; the capture and "
                             "the paste must then work. Without it, without trust they are skipped, never passed.")
    parser.add_argument("--plugins-through", choices=("spm", "cocoapods"), default="",
                        help="the way the plug-ins must have come into the build; without it the run only says which")
    parser.add_argument("--hot-reload-by", type=_minutes, default=30.0, metavar="MINUTES",
                        help="start the hot reload only while the run has taken fewer minutes than this "
                             "(default 30), and otherwise skip it; 0 leaves it out of the run")
    parser.add_argument("--budget", type=_minutes, default=40.0, metavar="MINUTES",
                        help="stop the cases after this many minutes (default 40), still writing the whole table; "
                             "keep it below the job's timeout-minutes")
    parser.add_argument("--strict", action="store_true", help="a skipped case fails the run (CI uses this)")
    parser.add_argument("--allow-skip", action="append", default=[], metavar="CASE",
                        help="with --strict, a case (or a shell pattern of cases, such as 'cell:firefox:*') that "
                             "may be skipped; repeatable")
    parser.add_argument("--app", action="append", default=[], metavar="NAME",
                        help="only this application of the compatibility table (its name or slug); repeatable. "
                             f"Slugs: {', '.join(a.slug for a in APPLICATIONS)}")
    parser.add_argument("--list", action="store_true", help="print the cases the run would go through, and exit")
    return parser.parse_args(arguments)


def _minutes(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"{text!r} is not a number of minutes")
    if value < 0:
        raise argparse.ArgumentTypeError("minutes cannot be negative")
    return value


def main(arguments: List[str]) -> int:
    parsed = parse(arguments)
    options = Options(
        grant_trust=parsed.grant_trust, plugins_through=parsed.plugins_through, hot_reload_by=parsed.hot_reload_by,
        budget_minutes=parsed.budget, strict=parsed.strict, allow_skip=tuple(parsed.allow_skip),
        applications=tuple(parsed.app), flutter=os.environ.get("FLUTTER") or "flutter",
    )
    cases = plan(options)
    if parsed.list:
        for case in cases:
            print(f"{case.id:40} {case.title}")
        return 0
    if sys.platform != "darwin" and not os.environ.get(ASSUME_MAC_VARIABLE):
        print("integration/run needs a Mac; docs/MACOS.md says what else it needs", file=sys.stderr)
        return 2
    # Without symbolic links: the process Launch Services starts is known by
    # the resolved path of its executable.
    paths = Paths(Path(__file__).resolve().parents[2])
    shutil.rmtree(paths.out, ignore_errors=True)
    paths.out.mkdir(parents=True)
    processes.set_command_log(paths.out / "commands.log")
    report = Report(case.row() for case in cases)
    with Guard(options.budget_minutes * 60) as guard:
        with Cleanup(paths.out / "harness-errors.log") as cleanup:
            ctx = Context(paths, options, Timing.from_environment(), cleanup)
            stop = _run(ctx, cases, report, guard)
            # From here a signal is noted and acted on no more: the table and
            # the cleanup must finish (a runner's SIGTERM follows its SIGINT).
            guard.quiet()
            if stop is not None:
                # Written before anything is put back: a job's time limit
                # gives a stopped step only seconds before it kills the
                # process tree.
                _write(ctx, report, summary=True)
        if stop is None:
            diagnostics.host_log(ctx)
        _write(ctx, report, summary=stop is None)
    print()
    print(report.text_table())
    for note in ctx.notes:
        print(f"note: {note}")
    processes.set_command_log(None)
    if stop is not None:
        print(f"integration: stopped: {stop.reason}")
        return stop.exit_status
    if options.strict and report.blocking_skips(options.allow_skip) and not report.counts()["fail"]:
        skips = ", ".join(row.id for row in report.blocking_skips(options.allow_skip))
        print(f"integration: --strict, and these were skipped: {skips}")
    return 0 if report.succeeded(options.strict, options.allow_skip) else 1


def _run(ctx: Context, cases: List[Case], report: Report, guard: Guard) -> Optional[Stop]:
    try:
        # What a killed run left changed is put back before anything else.
        layouts.recover_from_killed_run(ctx)
        hot_reload.recover_from_killed_run(ctx)
        diagnostics.describe_machine(ctx)
        return run_cases(ctx, cases, report, guard, lambda row: _on_row(ctx, row))
    except Stop as stop:
        report.mark_not_run(stop.reason)
        return stop


def _on_row(ctx: Context, row: Row) -> None:
    timings = ", ".join(f"{k} {v:.0f}" for k, v in row.timings.items())
    print(f"{row.verdict:8}  {row.id}  {row.reason}{f' [{timings}]' if timings else ''}", flush=True)
    if row.verdict != PASS:
        diagnostics.screenshot(ctx, row)


def _write(ctx: Context, report: Report, summary: bool) -> None:
    report.write_json(ctx.log("results.json"), {"notes": ctx.notes, "options": dataclasses.asdict(ctx.options)})
    cells = report.cells()
    if cells:
        ctx.log("compatibility.md").write_text(compatibility_table(cells) + "\n", encoding="utf-8")
    markdown = report.markdown()
    ctx.log("summary.md").write_text(markdown, encoding="utf-8")
    step_summary = os.environ.get("GITHUB_STEP_SUMMARY")
    if summary and step_summary:
        with open(step_summary, "a", encoding="utf-8") as file:
            file.write(markdown)
