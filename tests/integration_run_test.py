#!/usr/bin/env python3
"""integration/run, the end-to-end harness, run where no Mac is.

The Mac's commands are stand-ins on the PATH (tests/fake_mac/commands.py),
and what they would ask of the system they ask of a fake desktop
(tests/fake_mac/desktop.py): applications in front-to-back order with their
documents, the clipboard item by item, the keyboard layout, the key witness,
and a host that behaves as the real one does. tools/adopt-runner and
tools/build-mac-libraries run for real over the hand-written runner fixture,
the privacy-database rows are written by the harness's own sqlite3 code into
a database with the macOS 15 table, and the terminal reader runs for real on
a pseudo-terminal. The checks are the harness's results (its JSON report,
parsed back), its step summary, its exit status, and what it left behind.

Usage: integration_run_test.py INTEGRATION_RUN
"""

from __future__ import annotations

import concurrent.futures
import io
import json
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path
from typing import Any, Callable, Dict, Optional, Tuple

DRIVER = Path(sys.argv[1] if len(sys.argv) > 1 else "integration/run").resolve()
SOURCE = DRIVER.parents[1]
FAKE = Path(__file__).resolve().parent / "fake_mac"
USER_LAYOUT = "com.apple.keylayout.US"
TEST_TEXT = "Crème brûlée à la carte\n漢字かな交じり文\t👍🏽 thumbs up\nCafe\u0301 — the last line"

# The access table as macOS 14 and 15 create it (17 columns: pid,
# pid_version, boot_uuid and last_reminded came with 14), with the tables
# around it, from published captures of the system database's schema.
MACOS_15_TCC_SCHEMA = """
CREATE TABLE admin (key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);
CREATE TABLE policies (id INTEGER NOT NULL PRIMARY KEY, bundle_id TEXT NOT NULL, uuid TEXT NOT NULL,
  display TEXT NOT NULL, UNIQUE (bundle_id, uuid));
CREATE TABLE active_policy (client TEXT NOT NULL, client_type INTEGER NOT NULL, policy_id INTEGER NOT NULL,
  PRIMARY KEY (client, client_type),
  FOREIGN KEY (policy_id) REFERENCES policies(id) ON DELETE CASCADE ON UPDATE CASCADE);
CREATE TABLE access (service TEXT NOT NULL, client TEXT NOT NULL, client_type INTEGER NOT NULL,
  auth_value INTEGER NOT NULL, auth_reason INTEGER NOT NULL, auth_version INTEGER NOT NULL, csreq BLOB,
  policy_id INTEGER, indirect_object_identifier_type INTEGER,
  indirect_object_identifier TEXT NOT NULL DEFAULT 'UNUSED', indirect_object_code_identity BLOB,
  flags INTEGER, last_modified INTEGER NOT NULL DEFAULT (CAST(strftime('%s','now') AS INTEGER)),
  pid INTEGER, pid_version INTEGER, boot_uuid TEXT NOT NULL DEFAULT 'UNUSED',
  last_reminded INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (service, client, client_type, indirect_object_identifier),
  FOREIGN KEY (policy_id) REFERENCES policies(id) ON DELETE CASCADE ON UPDATE CASCADE);
CREATE TABLE access_overrides (service TEXT NOT NULL PRIMARY KEY);
CREATE TABLE expired (service TEXT NOT NULL, client TEXT NOT NULL, client_type INTEGER NOT NULL, csreq BLOB,
  last_modified INTEGER NOT NULL, expired_at INTEGER NOT NULL DEFAULT (CAST(strftime('%s','now') AS INTEGER)),
  PRIMARY KEY (service, client, client_type));
INSERT INTO admin VALUES ('version', 29);
"""

STAND_INS = ("osascript", "open", "java", "flutter", "cmake", "ctest", "lipo", "codesign", "csreq", "sudo",
             "killall", "nm", "clang++", "npm", "brew", "ninja", "uname", "screencapture", "log", "csrutil",
             "sw_vers", "xcodebuild")


class Run:
    """One run of the harness in a scratch copy of the repository."""

    def __init__(self, code: int, output: str, root: Path, state: Path) -> None:
        self.code, self.output, self.root, self.state = code, output, root, state
        results = root / "build" / "integration" / "results.json"
        self.results: Dict[str, Any] = json.loads(results.read_text()) if results.exists() else {"cases": []}
        self.rows: Dict[str, Dict[str, Any]] = {row["id"]: row for row in self.results["cases"]}
        summary = state / "summary.md"
        self.summary = summary.read_text() if summary.exists() else ""

    def verdict(self, case: str) -> str:
        return self.rows[case]["verdict"]

    def reason(self, case: str) -> str:
        return self.rows[case]["reason"]

    def file(self, name: str) -> str:
        return (self.state / name).read_text() if (self.state / name).exists() else ""


class Harness(unittest.TestCase):
    def run_harness(self, *arguments: str, prepare: Optional[Callable[[Path, Path], None]] = None,
                    apps: Tuple[str, ...] = ("textedit",), interrupt: Optional[Callable[[subprocess.Popen[str]], None]] = None,
                    **stubs: str) -> Run:
        root = Path(tempfile.mkdtemp()).resolve()
        self.addCleanup(shutil.rmtree, root, True)
        ignore = shutil.ignore_patterns("macos", "build", ".dart_tool", "node_modules", "__pycache__")
        for folder in ("integration", "macos/runner"):
            shutil.copytree(SOURCE / folder, root / folder, ignore=ignore if folder == "integration" else None)
        (root / "tools").mkdir()
        for tool in ("adopt-runner", "build-mac-libraries"):
            shutil.copy(SOURCE / "tools" / tool, root / "tools" / tool)
        stubs_dir, state, home, sdk = (root / name for name in ("stubs", "state", "home", "sdk"))
        for folder in (stubs_dir, state, home, sdk / "bin/cache/artifacts/engine/darwin-x64/FlutterMacOS.xcframework"):
            folder.mkdir(parents=True)
        for name in STAND_INS:
            wrapper = stubs_dir / name
            wrapper.write_text(f'#!/bin/sh\nexec "{sys.executable}" "{FAKE / "commands.py"}" {name} "$@"\n')
            wrapper.chmod(0o755)
        with sqlite3.connect(state / "TCC.db") as database:
            database.executescript(MACOS_15_TCC_SCHEMA)
        if prepare:
            prepare(root, state)
        env = dict(os.environ, PATH=f"{stubs_dir}{os.pathsep}{os.environ['PATH']}", STATE=str(state), HOME=str(home),
                   STUB_FLUTTER_ROOT=str(sdk), BRIMLANE_E2E_ASSUME_MAC="1", BRIMLANE_E2E_TIME_SCALE="0.1",
                   BRIMLANE_TCC_DB=str(state / "TCC.db"), GITHUB_STEP_SUMMARY=str(state / "summary.md"))
        for name in ("FLUTTER", "FLUTTER_ROOT"):
            env.pop(name, None)
        env.update({f"STUB_{name}": value for name, value in stubs.items()})
        desktop = subprocess.Popen([sys.executable, str(FAKE / "desktop.py"), str(state)], env=env, start_new_session=True)
        self.addCleanup(self._end_desktop, desktop, env)
        deadline = time.monotonic() + 10
        while not (state / "desktop.ready").exists() and time.monotonic() < deadline:
            time.sleep(0.02)
        command = [sys.executable, str(root / "integration" / "run"), *arguments]
        for app in apps:
            command += ["--app", app]
        harness = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                   start_new_session=True)
        if interrupt:
            interrupt(harness)
        try:
            output, _ = harness.communicate(timeout=240)
        except subprocess.TimeoutExpired:
            os.killpg(harness.pid, signal.SIGKILL)
            output, _ = harness.communicate()
            self.fail(f"the harness hung:\n{output}")
        return Run(harness.returncode, output, root, state)

    @staticmethod
    def _end_desktop(desktop: subprocess.Popen[bytes], env: Dict[str, str]) -> None:
        subprocess.run([sys.executable, str(FAKE / "commands.py"), "shutdown"], env=env, capture_output=True, timeout=10)
        os.killpg(desktop.pid, signal.SIGKILL)
        desktop.wait()

    def assertVerdicts(self, run: Run, expected: Dict[str, str]) -> None:
        for case, verdict in expected.items():
            self.assertIn(case, run.rows, run.output)
            self.assertEqual(run.verdict(case), verdict, f"{case}: {run.rows[case]['reason']}\n{run.output}")


class HappyPath(Harness):
    def test_a_host_that_does_everything_passes_every_case(self) -> None:
        run = self.run_harness("--grant-trust", "--plugins-through", "spm", "--strict", "--allow-skip", "ui-lock",
                               apps=())
        self.assertEqual(run.code, 0, run.output)
        self.assertEqual({case: row["verdict"] for case, row in run.rows.items() if row["verdict"] != "pass"},
                         {"ui-lock": "skip"}, run.output)


def run_side_by_side(tests: unittest.TestSuite, workers: int) -> bool:
    """Runs each test on a thread of its own, a few at a time, and prints
    their reports in order; the harness spends most of its time waiting, so
    a few runs share the machine without slowing each other."""

    def run(test: unittest.TestCase) -> Tuple[unittest.TestResult, str]:
        report = io.StringIO()
        result = unittest.TextTestRunner(stream=report, verbosity=2).run(test)
        return result, report.getvalue()

    with concurrent.futures.ThreadPoolExecutor(workers) as pool:
        outcomes = list(pool.map(run, list(tests)))  # type: ignore[arg-type]
    for _, report in outcomes:
        sys.stdout.write(report)
    failed = sum(len(result.failures) + len(result.errors) for result, _ in outcomes)
    print(f"{len(outcomes) - failed} passed, {failed} failed")
    return failed == 0


def all_tests() -> unittest.TestSuite:
    suite = unittest.TestSuite()
    loader = unittest.defaultTestLoader
    for case in (HappyPath,):
        for test in loader.loadTestsFromTestCase(case):
            suite.addTest(test)
    return suite


if __name__ == "__main__":
    only = os.environ.get("BRIMLANE_TEST_FILTER", "")
    tests = [t for t in all_tests() if only in t.id()]  # type: ignore[attr-defined]
    sys.exit(0 if run_side_by_side(unittest.TestSuite(tests), 3) else 1)
