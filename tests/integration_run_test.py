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

# The stand-ins that run as processes of their own (commands.py); every other
# command the harness runs is standin.c, answered by the fake desktop.
PYTHON_STAND_INS = ("flutter", "csreq", "sudo")
C_STAND_INS = ("osascript", "open", "java", "cmake", "ctest", "lipo", "codesign", "killall", "nm", "clang++", "npm",
               "brew", "ninja", "uname", "screencapture", "log", "csrutil", "sw_vers", "xcodebuild")
_built: Dict[str, Path] = {}


def standin() -> Path:
    """standin.c, compiled once for all the tests of this process."""
    if "standin" not in _built:
        folder = Path(tempfile.mkdtemp(prefix="brimlane-standin-"))
        binary = folder / "standin"
        subprocess.run(["cc", "-O1", "-Wall", "-Werror", "-o", str(binary), str(FAKE / "standin.c")], check=True, timeout=120)
        _built["standin"] = binary
    return _built["standin"]


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
                    apps: Tuple[str, ...] = ("textedit",), signal_after: Optional[str] = None,
                    signals: Tuple[int, ...] = (signal.SIGTERM,), **stubs: str) -> Run:
        """Runs the harness with the given stand-in faults (STUB_* variables),
        after prepare(root, state). With signal_after, sends `signals`, a
        fifth of a second apart, once the case of that id has printed its
        verdict, and then the last of them until the harness has ended."""
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
        for name in PYTHON_STAND_INS:
            wrapper = stubs_dir / name
            wrapper.write_text(f'#!/bin/sh\nexec "{sys.executable}" -S "{FAKE / "commands.py"}" {name} "$@"\n')
            wrapper.chmod(0o755)
        for name in C_STAND_INS:
            (stubs_dir / name).symlink_to(standin())
        with sqlite3.connect(state / "TCC.db") as database:
            database.executescript(MACOS_15_TCC_SCHEMA)
        if prepare:
            prepare(root, state)
        env = dict(os.environ, PATH=f"{stubs_dir}{os.pathsep}{os.environ['PATH']}", STATE=str(state), HOME=str(home),
                   STUB_FLUTTER_ROOT=str(sdk), BRIMLANE_E2E_ASSUME_MAC="1", BRIMLANE_E2E_TIME_SCALE="0.1",
                   BRIMLANE_TCC_DB=str(state / "TCC.db"), GITHUB_STEP_SUMMARY=str(state / "summary.md"),
                   STANDIN=str(standin()))
        for name in ("FLUTTER", "FLUTTER_ROOT"):
            env.pop(name, None)
        env.update(stubs)
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
        before = ""
        if signal_after:
            assert harness.stdout is not None
            for line in harness.stdout:
                before += line
                if re.match(rf"^\w+\s+{re.escape(signal_after)}\s", line):
                    for number in signals:
                        harness.send_signal(number)
                        time.sleep(0.2)
                    # The last again and again until the harness has ended:
                    # none may land in a moment that kills it.
                    while harness.poll() is None:
                        harness.send_signal(signals[-1])
                        time.sleep(0.02)
                    break
        try:
            output, _ = harness.communicate(timeout=240)
        except subprocess.TimeoutExpired:
            os.killpg(harness.pid, signal.SIGKILL)
            output, _ = harness.communicate()
            self.fail(f"the harness hung:\n{before}{output}")
        return Run(harness.returncode, before + output, root, state)

    @staticmethod
    def _end_desktop(desktop: subprocess.Popen[bytes], env: Dict[str, str]) -> None:
        subprocess.run([sys.executable, str(FAKE / "commands.py"), "shutdown"], env=env, capture_output=True, timeout=10)
        os.killpg(desktop.pid, signal.SIGKILL)
        desktop.wait()

    def assertVerdicts(self, run: Run, expected: Dict[str, str]) -> None:
        for case, verdict in expected.items():
            self.assertIn(case, run.rows, run.output)
            self.assertEqual(run.verdict(case), verdict, f"{case}: {run.rows[case]['reason']}\n{run.output}")


FAST = ("--hot-reload-by", "0")  # a run that is not about the hot reload leaves it out


def desktop_state(run: Run) -> Dict[str, Any]:
    """What the fake desktop holds once the run is over (its process is still
    there until the test's cleanup)."""
    reply = subprocess.run([sys.executable, str(FAKE / "commands.py"), "state-dump"], capture_output=True, text=True,
                           env=dict(os.environ, STATE=str(run.state)), timeout=10)
    return json.loads(reply.stdout)


def dart_file_unchanged(run: Run) -> bool:
    return (run.root / "integration/ui/lib/reload_text.dart").read_text() == (SOURCE / "integration/ui/lib/reload_text.dart").read_text()


class HappyPath(Harness):
    def test_a_host_that_does_everything_passes_every_case(self) -> None:
        run = self.run_harness("--grant-trust", "--plugins-through", "spm", "--strict", "--allow-skip", "ui-lock", apps=())
        self.assertEqual(run.code, 0, run.output)
        self.assertEqual({case: row["verdict"] for case, row in run.rows.items() if row["verdict"] != "pass"},
                         {"ui-lock": "skip"}, run.output)
        # The compatibility table: every application under both layouts, each
        # cell with its four checks and three timings.
        cells = [row for row in run.results["cases"] if row["id"].startswith("cell:")]
        self.assertEqual(len(cells), 18)
        for cell in cells:
            self.assertEqual(set(cell["checks"].values()), {True}, cell)
            self.assertEqual(set(cell["timings"]), {"hot_key_to_ui_ms", "paste_to_target_ms", "paste_to_clipboard_ms"}, cell)
        self.assertEqual({c["layout"] for c in cells}, {"US", "Dvorak"})
        self.assertEqual({c["text_system"] for c in cells},
                         {"AppKit", "WebKit", "Blink", "Gecko", "Electron", "Java Swing", "Terminal", "Flutter"})
        # Everything the run changed is back: the user's layout (after each
        # layout was selected in turn), the clipboard, the Dart file.
        self.assertEqual(run.file("layout-history").splitlines(), [
            f"select {USER_LAYOUT}", "select com.apple.keylayout.Dvorak", "select com.apple.keylayout.DVORAK-QWERTYCMD",
            f"restore {USER_LAYOUT}"])
        desktop = desktop_state(run)
        self.assertEqual(desktop["layout"], USER_LAYOUT)
        self.assertEqual(desktop["clipboard"], [[{"type": "public.utf8-plain-text", "base64": "dXNlcg=="}]])
        self.assertFalse((run.root / "build/integration-tools/keyboard-layout.state").exists())
        self.assertTrue(dart_file_unchanged(run))
        # Nothing the run started is still running.
        self.assertEqual([a["name"] for a in desktop["apps"]], [], desktop)

    def test_the_step_summary_and_the_json_report_say_the_same(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_MISSING_PLUGINS="url_launcher")
        self.assertEqual(run.code, 1, run.output)
        self.assertEqual(run.summary.count("### Brimlane end-to-end run"), 1)
        rows = {}
        for line in run.summary.splitlines():
            cells = [c.strip() for c in re.split(r"(?<!\\)\|", line)[1:-1]]
            if len(cells) == 6 and cells[1].startswith("`"):
                rows[cells[1].strip("`")] = cells
        self.assertEqual(set(rows), set(run.rows))
        for case, cells in rows.items():
            self.assertEqual(cells[0], run.verdict(case))
        self.assertIn("MissingPluginException", rows["plugin:url_launcher"][4])
        self.assertIn("| TextEdit | AppKit | US | yes | yes | yes | yes |", run.summary)
        counts = run.results["summary"]
        self.assertEqual(counts["fail"], 1)
        self.assertIn(f"integration: {counts['pass']} passed, 1 failed, {counts['skip']} skipped, 0 not run", run.output)
        self.assertTrue((run.root / "build/integration/compatibility.md").read_text().startswith("| Application |"))


class Trust(Harness):
    def test_the_rows_are_written_by_sqlite_into_the_macos_15_table_and_read_back(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust")
        self.assertEqual(run.verdict("trust"), "pass", run.output)
        with sqlite3.connect(run.state / "TCC.db") as database:
            rows = database.execute("SELECT service, client, client_type, auth_value, auth_reason, csreq, "
                                    "indirect_object_identifier FROM access ORDER BY service, client").fetchall()
        executable = str(run.root / "integration/ui/build/macos/Build/Products/Debug/Brimlane.app/Contents/MacOS/Brimlane")
        witness = str(run.root / "build/integration-tools/key-witness")
        requirement = bytes.fromhex("fade0c00000000140000000100000008")
        self.assertEqual(sorted(rows), sorted([
            ("kTCCServiceAccessibility", "com.brimlane.app", 0, 2, 4, requirement, "UNUSED"),
            ("kTCCServiceAccessibility", executable, 1, 2, 4, requirement, "UNUSED"),
            ("kTCCServicePostEvent", "com.brimlane.app", 0, 2, 4, requirement, "UNUSED"),
            ("kTCCServicePostEvent", executable, 1, 2, 4, requirement, "UNUSED"),
            ("kTCCServiceAccessibility", witness, 1, 2, 4, None, "UNUSED"),
            ("kTCCServiceListenEvent", witness, 1, 2, 4, None, "UNUSED"),
        ]))
        # The daemon was made to read them again, and they were read back as root.
        self.assertIn("tccd", run.file("killall"))
        self.assertRegex(run.file("sudo"), r"python3?\S* \S+/trust\.py grant ")
        read_back = json.loads((run.root / "build/integration/tcc-rows.json").read_text())
        self.assertEqual(len(read_back["rows"]), 6)
        self.assertIn("last_reminded", read_back["columns"])
        machine = json.loads((run.root / "build/integration/machine.json").read_text())
        self.assertIn("disabled", machine["csrutil status"])
        self.assertEqual(machine["flutter --version --machine"]["frameworkVersion"], "3.44.9")


class Faults(Harness):
    def test_a_hung_osascript_ends_in_a_timed_out_failure_not_a_hung_run(self) -> None:
        started = time.monotonic()
        run = self.run_harness(*FAST, "--grant-trust", STUB_HANG_OSASCRIPT="key")
        self.assertLess(time.monotonic() - started, 200)
        self.assertEqual(run.code, 1, run.output)
        for case in ("cell:textedit:us", "cell:textedit:dvorak"):
            self.assertEqual(run.verdict(case), "fail", run.output)
            self.assertIn("timed out after", run.reason(case))
        self.assertEqual(run.verdict("witness"), "skip")
        self.assertIn("control keystroke could not be sent", run.reason("witness"))
        # Every hung osascript was ended with its run.
        left = subprocess.run(["pgrep", "-f", f"{FAKE / 'commands.py'} osascript"], capture_output=True, text=True)
        self.assertEqual(left.stdout, "")

    def test_a_witness_that_listens_but_never_sees_the_control_keystroke_is_no_witness(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_BLIND_WITNESS="1")
        self.assertEqual(run.code, 0, run.output)
        self.assertVerdicts(run, {"witness": "skip", "keys:us": "skip", "keys:dvorak": "skip", "quit-target": "skip",
                                  "cell:textedit:us": "pass"})
        self.assertIn("did not reach it", run.reason("witness"))
        strict = self.run_harness(*FAST, "--grant-trust", "--strict", "--allow-skip", "ui-lock", STUB_BLIND_WITNESS="1")
        self.assertEqual(strict.code, 1, strict.output)
        self.assertIn("--strict, and these were skipped: witness, keys:us", strict.output)

    def test_a_host_posting_us_key_codes_fails_the_layout_cases_even_where_the_target_copies(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_HOST_KEYS="us", STUB_KEYCODE_APPS="target")
        self.assertEqual(run.code, 1, run.output)
        self.assertVerdicts(run, {"keys:us": "pass", "keys:dvorak": "fail", "keys:dvorak-qwerty-command": "pass",
                                  "cell:textedit:us": "pass", "cell:textedit:dvorak": "fail"})
        # The target copied and took the paste all the same: only the key
        # codes tell.
        self.assertIn('Command-C carried key code 8, but "c" is key code 34 under Dvorak', run.reason("keys:dvorak"))
        self.assertIn('Command-V carried key code 9, but "v" is key code 47 under Dvorak', run.reason("keys:dvorak"))
        self.assertNotIn("text is", run.reason("keys:dvorak"))
        # TextEdit reads Command-J: nothing was copied.
        self.assertIn("nothing reached the UI", run.reason("cell:textedit:dvorak"))

    def test_a_host_reading_keys_without_command_fails_under_dvorak_qwerty_command(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_HOST_KEYS="base")
        self.assertVerdicts(run, {"keys:us": "pass", "keys:dvorak": "pass", "keys:dvorak-qwerty-command": "fail",
                                  "cell:textedit:dvorak": "pass"})
        self.assertIn("key code 34", run.reason("keys:dvorak-qwerty-command"))

    def test_sigterm_in_the_middle_still_writes_the_whole_table_and_puts_everything_back(self) -> None:
        run = self.run_harness("--grant-trust", signal_after="cell:textedit:us")
        self.assertEqual(run.code, 143, run.output)
        listed = subprocess.run([sys.executable, str(DRIVER), "--list", "--grant-trust", "--app", "textedit"],
                                capture_output=True, text=True, timeout=60).stdout
        self.assertEqual([row["id"] for row in run.results["cases"]], [line.split()[0] for line in listed.splitlines()])
        after = [row for row in run.results["cases"] if row["verdict"] == "not run"]
        self.assertEqual(after[0]["id"], "layout:dvorak", run.output)
        self.assertTrue(all(r["reason"].startswith("not run: the run was interrupted by SIGTERM") for r in after))
        self.assertEqual(run.results["cases"][-1]["id"], "crash-reports")
        self.assertIn("integration: stopped: the run was interrupted by SIGTERM", run.output)
        self.assertRegex(run.output, r"not run\s+hot-reload:stop\s+not run: the run was interrupted by SIGTERM")
        self.assertEqual(run.summary.count("### Brimlane end-to-end run"), 1)
        desktop = desktop_state(run)
        self.assertEqual(desktop["layout"], USER_LAYOUT)
        self.assertEqual(desktop["clipboard"], [[{"type": "public.utf8-plain-text", "base64": "dXNlcg=="}]])
        self.assertEqual(desktop["apps"], [])

    def test_a_runners_sigint_then_sigterm_still_puts_everything_back(self) -> None:
        # What GitHub's runner does to a cancelled step: SIGINT, then SIGTERM
        # while the first is being handled.
        run = self.run_harness(*FAST, "--grant-trust", signal_after="keys:us", signals=(signal.SIGINT, signal.SIGTERM))
        self.assertEqual(run.code, 130, run.output)
        self.assertIn("integration: stopped: the run was interrupted by SIGINT", run.output)
        self.assertTrue(run.reason("cell:textedit:us").startswith("not run: the run was interrupted by SIGINT"),
                        run.output)
        desktop = desktop_state(run)
        self.assertEqual(desktop["layout"], USER_LAYOUT)
        self.assertEqual(desktop["apps"], [])

    def test_an_exhausted_budget_marks_the_rest_not_run(self) -> None:
        run = self.run_harness(*FAST, "--budget", "0.04")
        self.assertEqual(run.code, 1, run.output)
        not_run = [row for row in run.results["cases"] if row["verdict"] == "not run"]
        self.assertTrue(not_run, run.output)
        self.assertTrue(all("the budget of 0.04 min was used up" in row["reason"] for row in not_run))
        self.assertEqual(run.results["cases"][-1]["id"], "crash-reports")

    def test_a_target_that_outlives_the_hosts_check_is_skipped_with_its_timings(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_SLOW_EXIT="3")
        self.assertEqual(run.verdict("quit-target"), "skip", run.output)
        self.assertRegex(run.reason("quit-target"), r"still running when the host typed.*came forward again \+\d+ ms, "
                                                    r"quit \+\d+ ms, ended \+\d+ ms; the witness saw a keystroke \+\d+ ms")

    def test_a_host_that_types_after_the_target_has_quit_fails_with_the_timings(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_TYPES_AFTER_QUIT="1")
        self.assertEqual(run.code, 1, run.output)
        self.assertEqual(run.verdict("quit-target"), "fail", run.output)
        self.assertRegex(run.reason("quit-target"), r"^the host typed after the target had ended: key code 9 .*ended \+\d+ ms")

    def test_a_clipboard_given_back_without_every_item_and_type_fails(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_RESTORE_PARTIAL="1")
        self.assertEqual(run.verdict("cell:textedit:us"), "fail", run.output)
        row = run.rows["cell:textedit:us"]
        self.assertEqual(row["checks"], {"capture_exact": True, "paste_exact": True, "clipboard_restored": False,
                                         "bystander_untouched": True})
        self.assertIn("the clipboard holds [['public.utf8-plain-text']] instead of", row["reason"])

    def test_a_paste_into_the_wrong_application_fails_the_bystander_check(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_PASTE_TO_BYSTANDER="1")
        row = run.rows["cell:textedit:us"]
        self.assertEqual(row["verdict"], "fail", run.output)
        self.assertFalse(row["checks"]["bystander_untouched"])
        self.assertFalse(row["checks"]["paste_exact"])
        self.assertIn("the bystander received", row["reason"])

    def test_a_paste_that_never_lands_fails_its_cell(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_NO_PASTE="1")
        row = run.rows["cell:textedit:us"]
        self.assertEqual(row["verdict"], "fail", run.output)
        self.assertEqual((row["checks"]["capture_exact"], row["checks"]["paste_exact"]), (True, False))
        self.assertIn(f"TextEdit reads {TEST_TEXT!r} after the paste", row["reason"])


class Trustless(Harness):
    def test_without_trust_the_desktop_cases_are_skipped_never_passed(self) -> None:
        run = self.run_harness(*FAST, STUB_TRUSTED="false")
        self.assertEqual(run.code, 0, run.output)
        self.assertVerdicts(run, {"trusted": "skip", "layout:us": "skip", "keys:us": "skip", "cell:textedit:us": "skip",
                                  "quit-target": "skip", "answer:selection/checkPermission": "pass", "registrant": "pass"})
        self.assertIn("not trusted", run.reason("trusted"))
        # Without the trust the layout is never touched.
        self.assertEqual(run.file("layout-history"), "")

    def test_with_the_trust_written_an_untrusted_host_fails(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_TRUSTED="false")
        self.assertEqual(run.code, 1, run.output)
        self.assertVerdicts(run, {"trusted": "fail", "cell:textedit:us": "fail"})

    def test_a_terminal_that_cannot_type_skips_on_your_own_mac(self) -> None:
        run = self.run_harness(*FAST, STUB_CANNOT_TYPE="1")
        self.assertVerdicts(run, {"cell:textedit:us": "skip", "witness": "skip"})
        self.assertIn("the terminal is not trusted for Accessibility", run.reason("cell:textedit:us"))


class Layouts(Harness):
    def test_a_layout_the_system_refuses_is_skipped_with_its_reason(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_LAYOUT_REFUSED="1")
        self.assertVerdicts(run, {"layout:dvorak": "skip", "keys:dvorak": "skip", "cell:textedit:dvorak": "skip",
                                  "layout:put-back": "pass"})
        self.assertIn("layout not changed: com.apple.keylayout.Dvorak was selected, but reads back as", run.reason("layout:dvorak"))
        self.assertEqual(desktop_state(run)["layout"], USER_LAYOUT)

    def test_a_layout_not_put_back_fails_and_stays_on_record_for_the_next_run(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", STUB_LAYOUT_STUCK="1")
        self.assertEqual(run.code, 1, run.output)
        self.assertVerdicts(run, {"layout:put-back": "fail", "cell:textedit:dvorak": "pass"})
        self.assertIn("not put back", run.reason("layout:put-back"))
        record = (run.root / "build/integration-tools/keyboard-layout.state").read_text()
        self.assertTrue(record.startswith(f"original {USER_LAYOUT}\n"), record)

    def test_the_next_run_puts_back_what_a_killed_run_left_and_tools_that_do_not_build_fail_their_cases(self) -> None:
        def killed_run_left_dvorak(root: Path, state: Path) -> None:
            tools = root / "build" / "integration-tools"
            tools.mkdir(parents=True)
            shutil.copy(standin(), tools / "keyboard-layout")
            (tools / "keyboard-layout.state").write_text(f"original {USER_LAYOUT}\nenabled com.apple.keylayout.Dvorak\n")

        run = self.run_harness(*FAST, "--grant-trust", prepare=killed_run_left_dvorak, STUB_TOOLS_FAIL="1",
                               STUB_START_LAYOUT="com.apple.keylayout.Dvorak")
        self.assertEqual(run.code, 1, run.output)
        self.assertVerdicts(run, {"tools": "fail", "cell:textedit:us": "fail", "quit-target": "fail", "host": "pass"})
        self.assertIn("stand-in refuses", run.reason("tools"))
        self.assertEqual(run.file("layout-history").splitlines(), [f"restore {USER_LAYOUT}"])
        self.assertEqual(desktop_state(run)["layout"], USER_LAYOUT)
        self.assertIn("note: an earlier run's keyboard layout: put back", run.output)


class Build(Harness):
    def test_answers_plugins_and_registration_each_fail_their_own_row(self) -> None:
        run = self.run_harness(*FAST, STUB_SET_LAUNCH_ANSWER='{"kind":"value","value":null}',
                               STUB_MISSING_PLUGINS="url_launcher",
                               STUB_PLUGIN_LINE="Brimlane: no generated plug-in registrant in this application; "
                                                "plug-ins looked up by class name")
        self.assertEqual(run.code, 1, run.output)
        self.assertVerdicts(run, {"answer:system/setLaunchAtLogin": "fail", "plugin:url_launcher": "fail",
                                  "plugin:device_info_plus": "pass", "plugin:flutter_secure_storage": "pass",
                                  "registrant": "fail", "answer:system/getLaunchAtLogin": "pass"})
        self.assertIn("got value null; expected the error", run.reason("answer:system/setLaunchAtLogin"))
        self.assertIn("looked up by class name", run.reason("registrant"))
        self.assertEqual(run.reason("plugin:flutter_secure_storage"), "answered with its own error -34018")

    def test_plugins_through_cocoapods_and_a_debug_dylib_that_defines_the_delegate_again(self) -> None:
        run = self.run_harness(*FAST, "--plugins-through", "cocoapods", STUB_ROUTE="cocoapods", STUB_DELEGATE_TWICE="1")
        self.assertVerdicts(run, {"plugin-route": "pass", "app-delegate-once": "fail"})
        self.assertEqual(run.reason("plugin-route"), "Swift Package Manager: none; CocoaPods: device_info_plus "
                                                     "flutter_secure_storage_darwin package_info_plus url_launcher_macos")
        self.assertIn("defined in 2 images: Contents/MacOS/Brimlane, Contents/MacOS/Brimlane.debug.dylib",
                      run.reason("app-delegate-once"))

    def test_plugins_from_the_other_route_than_expected_fail(self) -> None:
        run = self.run_harness(*FAST, "--plugins-through", "cocoapods")
        self.assertEqual(run.verdict("plugin-route"), "fail", run.output)
        self.assertIn("expected cocoapods only", run.reason("plugin-route"))

    def test_a_folder_without_a_runner_is_refused_and_what_needs_it_fails(self) -> None:
        run = self.run_harness(*FAST, STUB_NOT_A_RUNNER="1", STUB_NO_GTEST="1")
        self.assertEqual(run.code, 1, run.output)
        self.assertVerdicts(run, {"runner": "fail", "app": "fail", "host": "fail", "cell:textedit:us": "fail",
                                  "libraries": "pass", "mac-tests": "fail"})
        self.assertIn("is not the macOS runner of a Flutter project", run.reason("runner") + run.output)
        self.assertEqual(run.reason("mac-tests"), "brimlane_mac_tests did not build; see mac-tests-build.log")

    def test_a_missing_application_is_skipped_and_may_be_allowed_under_strict(self) -> None:
        run = self.run_harness(*FAST, "--grant-trust", "--strict", "--allow-skip", "ui-lock", "--allow-skip", "cell:firefox:*",
                               apps=("firefox",), STUB_MISSING_APPS="Firefox")
        self.assertEqual(run.code, 0, run.output)
        self.assertVerdicts(run, {"cell:firefox:us": "skip", "cell:firefox:dvorak": "skip"})
        self.assertIn("Firefox is not installed", run.reason("cell:firefox:us"))


class HotReload(Harness):
    def test_a_hot_reload_passes_and_puts_the_dart_file_back(self) -> None:
        run = self.run_harness()
        self.assertVerdicts(run, {"hot-reload:started": "pass", "hot-reload:reload": "pass",
                                  "hot-reload:new-code": "pass", "hot-reload:stop": "pass"})
        self.assertIn("Reloaded 1 of 612 libraries", run.reason("hot-reload:reload"))
        self.assertTrue(dart_file_unchanged(run))
        protocol = (run.root / "build/integration/flutter-run-machine.jsonl").read_text()
        self.assertIn('-> [{"id": 1, "method": "app.restart", "params": {"appId": "stand-in-app", "fullRestart": false}}]', protocol)

    def test_a_rejected_hot_reload_fails_and_puts_the_dart_file_back(self) -> None:
        run = self.run_harness(STUB_RELOAD_FAILS="1")
        self.assertVerdicts(run, {"hot-reload:started": "pass", "hot-reload:reload": "fail",
                                  "hot-reload:new-code": "fail", "hot-reload:stop": "pass"})
        self.assertIn("Reload rejected", run.reason("hot-reload:reload"))
        self.assertTrue(dart_file_unchanged(run))

    def test_an_app_that_never_starts_under_flutter_run_fails_every_hot_reload_row(self) -> None:
        run = self.run_harness(STUB_NO_APP_START="1")
        for case in ("hot-reload:started", "hot-reload:reload", "hot-reload:new-code", "hot-reload:stop"):
            self.assertEqual(run.verdict(case), "fail", run.output)
        self.assertIn("flutter run has ended", run.reason("hot-reload:stop"))
        self.assertTrue(dart_file_unchanged(run))

    def test_without_time_left_the_hot_reload_is_skipped_never_passed(self) -> None:
        run = self.run_harness("--hot-reload-by", "0.001")
        for case in ("hot-reload:started", "hot-reload:reload", "hot-reload:new-code", "hot-reload:stop"):
            self.assertEqual(run.verdict(case), "skip", run.output)
        self.assertIn("no time", run.reason("hot-reload:started"))


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
    for case in (HappyPath, Trust, Faults, Trustless, Layouts, Build, HotReload):
        for test in loader.loadTestsFromTestCase(case):
            suite.addTest(test)
    return suite


if __name__ == "__main__":
    only = os.environ.get("BRIMLANE_TEST_FILTER", "")
    tests = [t for t in all_tests() if only in t.id()]  # type: ignore[attr-defined]
    sys.exit(0 if run_side_by_side(unittest.TestSuite(tests), 3) else 1)
