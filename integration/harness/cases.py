"""Running the planned cases in order, to a time budget.

A case runs only when every case it needs has passed; otherwise it takes its
verdict from the first one that did not. A signal (SIGINT, SIGTERM, SIGHUP)
or the end of the budget stops the case under way and every later one; the
report still holds a row for each, saying why it did not run. An error in the
harness itself fails its case and never the whole run.
"""

from __future__ import annotations

import signal
import time
import traceback
from dataclasses import dataclass
from typing import Callable, Dict, Optional, Sequence, Tuple

from .context import Context
from .report import FAIL, NOT_RUN, PASS, SKIP, Outcome, Report, Row


class Stop(BaseException):
    """Raised in the middle of whatever the run is doing when it must stop.
    A BaseException, so that no case's own error handling swallows it."""

    def __init__(self, reason: str, exit_status: int) -> None:
        super().__init__(reason)
        self.reason = reason
        self.exit_status = exit_status


@dataclass(frozen=True)
class Case:
    id: str
    title: str
    run: Callable[[Context], Outcome]
    needs: Tuple[str, ...] = ()
    application: str = ""
    layout: str = ""
    text_system: str = ""

    def row(self) -> Row:
        return Row(self.id, self.title, self.application, self.layout, self.text_system)


def verdict_from_needs(case: Case, report: Report) -> Optional[Outcome]:
    for need in case.needs:
        row = report.row(need)
        if row.verdict == PASS:
            continue
        if row.verdict == SKIP:
            return Outcome(SKIP, f"needs {need}, which was skipped: {row.reason}")
        if row.verdict == NOT_RUN:
            return Outcome(NOT_RUN, f"not run: needs {need}, which did not run")
        return Outcome(FAIL, f"needs {need}, which failed: {row.reason}")
    return None


_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
_EXIT_STATUS: Dict[int, int] = {int(signal.SIGINT): 130, int(signal.SIGTERM): 143, int(signal.SIGHUP): 129}


class Guard:
    """Turns the stop signals, and the end of the budget, into a Stop raised
    in the main thread. Only the first stops the run: what follows (the
    runner's SIGTERM 7.5 s after its SIGINT, say) must not cut short the
    writing of the table and the cleanup."""

    def __init__(self, budget_seconds: float) -> None:
        self.budget_seconds = budget_seconds
        self.stopped: Optional[Stop] = None

    def __enter__(self) -> Guard:
        for number in _SIGNALS:
            signal.signal(number, self._on_signal)
        signal.signal(signal.SIGALRM, self._on_alarm)
        if self.budget_seconds > 0:
            signal.setitimer(signal.ITIMER_REAL, self.budget_seconds)
        return self

    def __exit__(self, *exc: object) -> None:
        # Everything is written and put back; from here until the process
        # has ended, a stop signal is ignored, so that a runner's SIGTERM
        # after the table cannot turn the exit status into a death by signal.
        # Ignored rather than noted: Python puts its own handlers back to the
        # default while it shuts down, and that takes a moment of its own.
        signal.setitimer(signal.ITIMER_REAL, 0)
        for number in _SIGNALS:
            signal.signal(number, signal.SIG_IGN)

    def quiet(self) -> None:
        """From here on a signal is noted and nothing is interrupted."""
        signal.setitimer(signal.ITIMER_REAL, 0)
        for number in _SIGNALS + (signal.SIGALRM,):
            signal.signal(number, self._note)

    def _stop(self, reason: str, status: int) -> None:
        if self.stopped is not None:
            return
        self.stopped = Stop(reason, status)
        self.quiet()
        raise self.stopped

    def _on_signal(self, number: int, frame: object) -> None:
        name = signal.Signals(number).name
        self._stop(f"the run was interrupted by {name}", _EXIT_STATUS.get(number, 1))

    def _on_alarm(self, number: int, frame: object) -> None:
        minutes = self.budget_seconds / 60
        self._stop(f"the budget of {minutes:g} min was used up", 1)

    def _note(self, number: int, frame: object) -> None:
        pass


def run_cases(
    ctx: Context,
    cases: Sequence[Case],
    report: Report,
    guard: Guard,
    on_row: Callable[[Row], None],
) -> Optional[Stop]:
    """Runs `cases` in order; returns the Stop that ended them early, if one
    did. `on_row` sees each row as soon as it has its verdict."""
    for case in cases:
        recorded = False
        try:
            outcome = verdict_from_needs(case, report)
            started = time.monotonic()
            if outcome is None:
                outcome = _run_one(ctx, case)
            row = report.record(case.id, outcome, round(time.monotonic() - started, 2))
            recorded = True
            on_row(row)
        except Stop as stop:
            if not recorded:
                report.record(case.id, Outcome(NOT_RUN, f"not run: {stop.reason} during this case"))
            report.mark_not_run(stop.reason)
            return stop
    return guard.stopped


def _run_one(ctx: Context, case: Case) -> Outcome:
    try:
        return case.run(ctx)
    except Stop:
        raise
    except Exception as error:  # a fault of the harness, not of the host
        details = traceback.format_exc()
        with ctx.log("harness-errors.log").open("a", encoding="utf-8") as log:
            log.write(f"== {case.id}\n{details}\n")
        return Outcome(FAIL, f"harness error: {type(error).__name__}: {error} (see harness-errors.log)")
