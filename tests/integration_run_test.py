#!/usr/bin/env python3
"""integration/run's own logic, run where no Mac is: the commands it calls on
a Mac (flutter, cmake, codesign, ctest, open, osascript, pbcopy, sqlite3 …)
are stand-ins on PATH, and the host is a script that writes the report the
integration UI would write and acts on the desktop the way the host would.
The checks are the driver's table, its exit code, and what it leaves behind.

Usage: integration_run_test.py INTEGRATION_RUN
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

DRIVER = os.path.abspath(sys.argv[1])
DOCUMENT = "hello from the integration test"
PASTED = "HELLO FROM THE INTEGRATION TEST"
USER_CLIPBOARD = "the user's own clipboard"

# The stand-ins. $STATE is a folder that plays the desktop: the clipboard,
# the TextEdit document, and the marks the keystrokes leave.
STUBS = {
    "uname": "echo Darwin",
    "brew": "exit 0",
    "sw_vers": "echo 15.5",
    "flutter": """
        case "$1" in
        create) mkdir -p macos ;;
        build)
          frameworks=build/macos/Build/Products/Debug/brimlane_integration_ui.app/Contents/Frameworks
          for plugin in ${STUB_PLUGINS-device_info_plus flutter_secure_storage_darwin package_info_plus path_provider_foundation url_launcher_macos}; do
            mkdir -p "$frameworks/$plugin.framework"
          done ;;
        esac""",
    "cmake": """
        if [ "$1" = --build ]; then
          mkdir -p "$2/macos/Brimlane.app/Contents/MacOS"
          cp "$STATE/host" "$2/macos/Brimlane.app/Contents/MacOS/Brimlane"
        fi""",
    "codesign": """[ "$1" != --display ] || echo '# designated => cdhash H"0123abcd"' >&2""",
    "ctest": "echo '100% tests passed, 0 tests failed out of 9'",
    "csreq": """cat >/dev/null; printf 'fade' >"$3\"""",
    "sudo": """[ "$1" != -n ] || shift; "$@\"""",
    "sqlite3": """
        printf '%s\\n' "$*" >>"$STATE/sql"
        case "$*" in *"SELECT auth_value"*) echo 2 ;; esac""",
    "pbcopy": """cat >"$STATE/clipboard\"""",
    "pbpaste": """cat "$STATE/clipboard\"""",
    "open": """
        if [ "$1" = -a ]; then cp "$3" "$STATE/document"; exit 0; fi
        variables=(); stdout=/dev/null; stderr=/dev/null
        while [ $# -gt 1 ]; do
          case "$1" in
          --env) variables+=("$2"); shift 2 ;;
          --stdout) stdout=$2; shift 2 ;;
          --stderr) stderr=$2; shift 2 ;;
          *) shift ;;
          esac
        done
        env "${variables[@]}" "$1/Contents/MacOS/Brimlane" >"$stdout" 2>"$stderr" </dev/null &""",
    "osascript": """
        case "$2" in
        *"count of (windows"*) echo 1 ;;
        *'keystroke "a"'*) [ -z "${STUB_CANNOT_TYPE:-}" ] || exit 1 ;;
        *"key code 17"*) touch "$STATE/hot-key" ;;
        *"value of text area"*) cat "$STATE/document" ;;
        esac""",
}

# The host: its process is known by the executable's path, as on a Mac, while
# a second process writes what the UI would and plays the host's part.
HOST = """#!/usr/bin/env bash
if [ -z "${HOST_PROCESS:-}" ]; then
  HOST_PROCESS=$$ bash "$0" &
  exec -a "$0" sleep 60
fi
report=$BRIMLANE_INTEGRATION_REPORT
selection=com.brimlane.app/selection
system=com.brimlane.app/system
answer() { echo "{\\"event\\":\\"answer\\",\\"channel\\":\\"$1\\",\\"method\\":\\"$2\\",$3}" >>"$report"; }
trusted=${STUB_TRUSTED:-true}
answer $selection checkPermission "\\"kind\\":\\"value\\",\\"value\\":$trusted"
answer $selection startWindowDrag '"kind":"value","value":null'
answer $selection integrationUnknownMethod '"kind":"notImplemented"'
answer $selection getSelection '"kind":"value","value":null'
answer $system getLaunchAtLogin '"kind":"value","value":false'
answer $system setLaunchAtLogin "${STUB_SET_LAUNCH_ANSWER:-\\"kind\\":\\"error\\",\\"code\\":\\"INVALID_ARGUMENT\\",\\"message\\":\\"Boolean argument required\\",\\"details\\":null}"
answer $system integrationUnknownMethod '"kind":"notImplemented"'
echo '{"event":"ready"}' >>"$report"
while kill -0 "$HOST_PROCESS" 2>/dev/null; do
  if [ -e "$STATE/hot-key" ] && $trusted; then
    rm "$STATE/hot-key"
    text=$(cat "$STATE/document")
    clipboard=$(cat "$STATE/clipboard")
    echo "{\\"event\\":\\"received\\",\\"channel\\":\\"$selection\\",\\"method\\":\\"updateSelection\\",\\"arguments\\":\\"$text\\"}" >>"$report"
    answer $selection pasteText '"kind":"value","value":true'
    printf '%s' "$text" | tr a-z A-Z >"$STATE/pasteboard-text"
    cp "$STATE/pasteboard-text" "$STATE/clipboard"
    sleep 0.3
    [ -n "${STUB_NO_PASTE:-}" ] || cp "$STATE/pasteboard-text" "$STATE/document"
    sleep 0.5
    printf '%s' "$clipboard" >"$STATE/clipboard"
  fi
  sleep 0.1
done
"""

ROW = re.compile(r"^(.+?)  +(pass|FAIL|skipped: not trusted)(?:  +(.*))?$")


class IntegrationRun(unittest.TestCase):
    def run_driver(self, *arguments, **environment):
        """Runs the driver in a scratch copy of the repository; returns
        (exit code, {check: (result, detail)}, output, state folder)."""
        root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, root, True)
        os.makedirs(os.path.join(root, "integration", "ui"))
        shutil.copy(DRIVER, os.path.join(root, "integration", "run"))
        open(os.path.join(root, "integration", "ui", "pubspec.yaml"), "w").close()
        stubs, state, home = (os.path.join(root, name) for name in ("stubs", "state", "home"))
        for folder in (stubs, state, home):
            os.mkdir(folder)
        for name, body in STUBS.items():
            write_executable(os.path.join(stubs, name), "#!/usr/bin/env bash\n" + textwrap.dedent(body))
        write_executable(os.path.join(state, "host"), HOST)
        with open(os.path.join(state, "clipboard"), "w") as clipboard:
            clipboard.write(USER_CLIPBOARD)
        env = dict(os.environ, PATH=stubs + os.pathsep + os.environ["PATH"], STATE=state, HOME=home)
        env.update(environment)
        run = subprocess.run(["bash", os.path.join(root, "integration", "run"), *arguments],
                             env=env, capture_output=True, text=True, timeout=120)
        output = run.stdout + run.stderr
        table = output[output.rindex("\ncheck "):] if "\ncheck " in output else ""
        checks = {}
        for line in table.splitlines()[1:]:
            match = ROW.match(line)
            if match:
                checks[match.group(1)] = (match.group(2), match.group(3) or "")
        return run.returncode, checks, output, state

    def assertResults(self, checks, expected, output):
        for name, result in expected.items():
            self.assertIn(name, checks, output)
            self.assertEqual(checks[name][0], result, f"{name}: {checks[name]}\n{output}")

    def test_a_host_that_does_everything_passes_every_check(self):
        code, checks, output, state = self.run_driver("--grant-trust")
        self.assertEqual(code, 0, output)
        self.assertEqual({result for result, _ in checks.values()}, {"pass"}, output)
        self.assertRegex(output, r"integration: 23 passed, 0 failed, 0 skipped\n")
        self.assertEqual(read(state, "document"), PASTED)
        # The user's clipboard is back once the run is over.
        self.assertEqual(read(state, "clipboard"), USER_CLIPBOARD)
        # The trust, for the bundle and for its executable, with the compiled
        # designated requirement.
        statements = read(state, "sql")
        for service in ("kTCCServiceAccessibility", "kTCCServicePostEvent"):
            self.assertRegex(statements, rf"'{service}', 'com\.brimlane\.app', 0, 2, 4, 1, X'66616465'")
            self.assertRegex(statements, rf"'{service}', '/\S+/Brimlane\.app/Contents/MacOS/Brimlane', 1, 2, 4, 1, X'66616465'")

    def test_without_trust_the_capture_and_paste_are_skipped_never_passed(self):
        code, checks, output, state = self.run_driver(STUB_TRUSTED="false")
        self.assertEqual(code, 0, output)
        skipped = "skipped: not trusted"
        self.assertResults(checks, {
            "Brimlane trusted for Accessibility": skipped,
            "capture: updateSelection with the document's text": skipped,
            "paste: pasteText answered true": skipped,
            "paste: document upper-cased": skipped,
            "paste: clipboard given back": skipped,
            "answer: selection checkPermission": "pass",
            "answer: system setLaunchAtLogin": "pass",
        }, output)
        self.assertIn("Privacy & Security › Accessibility", output)
        self.assertRegex(output, r"integration: 17 passed, 0 failed, 5 skipped\n")
        self.assertEqual(read(state, "document"), DOCUMENT)

    def test_with_the_trust_written_an_untrusted_host_fails(self):
        code, checks, output, _ = self.run_driver("--grant-trust", STUB_TRUSTED="false",
                                                  STUB_CANNOT_TYPE="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "Brimlane trusted for Accessibility": "FAIL",
            "capture: updateSelection with the document's text": "FAIL",
            "paste: clipboard given back": "FAIL",
        }, output)

    def test_a_terminal_that_cannot_type_skips_the_capture_on_your_own_mac(self):
        code, checks, output, _ = self.run_driver(STUB_CANNOT_TYPE="1")
        self.assertEqual(code, 0, output)
        self.assertEqual(checks["paste: document upper-cased"][0], "skipped: not trusted", output)
        self.assertIn("the terminal is not trusted", checks["paste: document upper-cased"][1])

    def test_a_wrong_channel_answer_fails_its_row_and_the_run(self):
        code, checks, output, _ = self.run_driver(STUB_SET_LAUNCH_ANSWER='"kind":"value","value":null')
        self.assertEqual(code, 1, output)
        self.assertEqual(checks["answer: system setLaunchAtLogin"][0], "FAIL", output)
        self.assertIn('"value":null', checks["answer: system setLaunchAtLogin"][1])
        self.assertRegex(output, r"integration: 21 passed, 1 failed, 0 skipped\n")

    def test_a_paste_that_never_lands_does_not_count_the_clipboard_as_given_back(self):
        code, checks, output, _ = self.run_driver(STUB_NO_PASTE="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "paste: pasteText answered true": "pass",
            "paste: document upper-cased": "FAIL",
            "paste: clipboard given back": "FAIL",
        }, output)

    def test_a_plugin_framework_missing_from_the_ui_build_fails(self):
        code, checks, output, _ = self.run_driver(STUB_PLUGINS="device_info_plus package_info_plus")
        self.assertEqual(code, 1, output)
        self.assertEqual(checks["plug-in frameworks in the UI build"][0], "FAIL", output)
        self.assertIn("flutter_secure_storage_darwin", checks["plug-in frameworks in the UI build"][1])


def write_executable(path, text):
    with open(path, "w") as file:
        file.write(text)
    os.chmod(path, 0o755)


def read(folder, name):
    with open(os.path.join(folder, name)) as file:
        return file.read()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
