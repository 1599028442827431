"""The verdicts of a run, and the three ways they are written: a JSON file,
a Markdown table for the job's summary, and a table on standard output.

Every case the run plans has a row from the start, so that a run ended by a
signal or by its time budget still writes the whole table: a case not
reached says why.
"""

from __future__ import annotations

import fnmatch
import json
from dataclasses import asdict, dataclass, field
from pathlib import Path
from typing import Dict, Iterable, List, Optional

PASS = "pass"
FAIL = "fail"
SKIP = "skip"
NOT_RUN = "not run"

# The timings a compatibility cell records, in the order the tables show
# them, with their column titles.
TIMING_TITLES = {
    "hot_key_to_ui_ms": "hot key → UI",
    "paste_to_target_ms": "pasteText → text in target",
    "paste_to_clipboard_ms": "pasteText → clipboard back",
}
# What a compatibility cell checks, with its column titles.
CHECK_TITLES = {
    "capture_exact": "capture exact",
    "paste_exact": "paste exact",
    "clipboard_restored": "clipboard restored",
    "bystander_untouched": "bystander untouched",
}


@dataclass
class Outcome:
    verdict: str
    reason: str
    timings: Dict[str, float] = field(default_factory=lambda: {})
    checks: Dict[str, Optional[bool]] = field(default_factory=lambda: {})


def passed(reason: str = "", **timings: float) -> Outcome:
    return Outcome(PASS, reason, dict(timings))


def failed(reason: str) -> Outcome:
    return Outcome(FAIL, reason)


def skipped(reason: str) -> Outcome:
    return Outcome(SKIP, reason)


@dataclass
class Row:
    id: str
    case: str
    application: str = ""
    layout: str = ""
    text_system: str = ""
    verdict: str = NOT_RUN
    reason: str = "not run: the run ended before it"
    timings: Dict[str, float] = field(default_factory=lambda: {})
    checks: Dict[str, Optional[bool]] = field(default_factory=lambda: {})
    seconds: Optional[float] = None


class Report:
    def __init__(self, rows: Iterable[Row]) -> None:
        self.rows: List[Row] = list(rows)
        self._by_id = {row.id: row for row in self.rows}

    def row(self, case_id: str) -> Row:
        return self._by_id[case_id]

    def record(self, case_id: str, outcome: Outcome, seconds: Optional[float] = None) -> Row:
        row = self._by_id[case_id]
        row.verdict = outcome.verdict
        row.reason = outcome.reason
        row.timings = dict(outcome.timings)
        row.checks = dict(outcome.checks)
        row.seconds = seconds
        return row

    def mark_not_run(self, reason: str) -> None:
        for row in self.rows:
            if row.verdict == NOT_RUN:
                row.reason = f"not run: {reason}"

    def counts(self) -> Dict[str, int]:
        counts = {PASS: 0, FAIL: 0, SKIP: 0, NOT_RUN: 0}
        for row in self.rows:
            counts[row.verdict] += 1
        return counts

    def blocking_skips(self, allowed: Iterable[str]) -> List[Row]:
        """The skips that --strict counts as failures: all but those whose id
        matches one of the allowed patterns."""
        patterns = list(allowed)
        return [
            row
            for row in self.rows
            if row.verdict == SKIP and not any(fnmatch.fnmatchcase(row.id, p) for p in patterns)
        ]

    def succeeded(self, strict: bool, allowed: Iterable[str]) -> bool:
        counts = self.counts()
        if counts[FAIL] or counts[NOT_RUN]:
            return False
        return not (strict and self.blocking_skips(allowed))

    def summary_line(self) -> str:
        counts = self.counts()
        return (
            f"integration: {counts[PASS]} passed, {counts[FAIL]} failed, "
            f"{counts[SKIP]} skipped, {counts[NOT_RUN]} not run"
        )

    # --- Writing -------------------------------------------------------------

    def write_json(self, path: Path, extra: Optional[Dict[str, object]] = None) -> None:
        document: Dict[str, object] = {
            "summary": self.counts(),
            "cases": [asdict(row) for row in self.rows],
        }
        document.update(extra or {})
        temporary = path.with_suffix(".tmp")
        temporary.write_text(json.dumps(document, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")
        temporary.replace(path)

    def text_table(self) -> str:
        width = max([len(row.id) for row in self.rows] + [4])
        lines = [f"{'verdict':8}  {'case':{width}}  reason"]
        for row in self.rows:
            timings = format_timings(row.timings)
            reason = row.reason + (f" [{timings}]" if timings else "")
            lines.append(f"{row.verdict:8}  {row.id:{width}}  {reason}")
        lines.append("")
        lines.append(self.summary_line())
        return "\n".join(lines)

    def markdown(self, title: str = "Brimlane end-to-end run") -> str:
        lines = [f"### {title}", "", self.summary_line(), ""]
        cells = self.cells()
        if cells:
            lines += ["#### Application compatibility", "", compatibility_table(cells), ""]
        lines += ["#### Every case", "", "| Verdict | Case | Application | Layout | Reason | Timings |"]
        lines.append("|---|---|---|---|---|---|")
        for row in self.rows:
            lines.append(
                "| "
                + " | ".join(
                    cell_text(text)
                    for text in (
                        row.verdict,
                        f"`{row.id}`",
                        row.application,
                        row.layout,
                        row.reason,
                        format_timings(row.timings),
                    )
                )
                + " |"
            )
        return "\n".join(lines) + "\n"

    def cells(self) -> List[Row]:
        """The rows of the application-compatibility table."""
        return [row for row in self.rows if row.id.startswith("cell:")]


def compatibility_table(cells: List[Row]) -> str:
    header = ["Application", "Text system", "Layout"] + list(CHECK_TITLES.values())
    header += list(TIMING_TITLES.values()) + ["Verdict"]
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for row in cells:
        values = [row.application, row.text_system, row.layout]
        values += [check_mark(row.checks.get(name)) for name in CHECK_TITLES]
        values += [
            f"{row.timings[name]:.0f} ms" if name in row.timings else "–" for name in TIMING_TITLES
        ]
        values.append(row.verdict if row.verdict == PASS else f"{row.verdict}: {row.reason}")
        lines.append("| " + " | ".join(cell_text(value) for value in values) + " |")
    return "\n".join(lines)


def check_mark(value: Optional[bool]) -> str:
    if value is None:
        return "–"
    return "yes" if value else "**no**"


def format_timings(timings: Dict[str, float]) -> str:
    return ", ".join(
        f"{TIMING_TITLES.get(name, name.replace('_ms', ''))} {value:.0f} ms"
        for name, value in timings.items()
    )


def cell_text(text: str) -> str:
    """Text that keeps a Markdown table cell whole."""
    return text.replace("\\", "\\\\").replace("|", "\\|").replace("\n", " ")
