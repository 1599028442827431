#!/usr/bin/env python3
"""integration/run's own logic, run where no Mac is: the commands it calls on
a Mac (flutter, cmake, lipo, codesign, ctest, open, osascript, pbcopy,
sqlite3 …) are stand-ins on PATH, and the host is a script that writes the
report the integration UI would write and acts on the desktop the way the
host would. tools/adopt-runner runs for real, on a copy of the hand-written
runner fixture that the stand-in for `flutter create` lays down, and so does
tools/build-mac-libraries, over stand-ins for CMake and lipo. The stand-in
for `flutter run --machine` speaks the daemon protocol and plays the hot
reload from the Dart file the driver changed. The checks are the driver's
table, its exit code, and what it leaves behind.

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
SOURCE = os.path.dirname(os.path.dirname(DRIVER))
RUNNER_FIXTURE = os.path.join(SOURCE, "tests", "fixtures", "flutter_macos_runner")
DOCUMENT = "hello from the integration test"
PASTED = "HELLO FROM THE INTEGRATION TEST"
USER_CLIPBOARD = "the user's own clipboard"
REGISTRANT = "Brimlane: plug-ins registered by the generated plug-in registrant"
BY_CLASS_NAME = ("Brimlane: no generated plug-in registrant in this application; "
                 "plug-ins looked up by class name")
PLUGINS = ("device_info_plus", "flutter_secure_storage", "package_info_plus", "path_provider",
           "url_launcher")

# The stand-ins. $STATE is a folder that plays the desktop: the clipboard,
# the TextEdit document, and the marks the keystrokes leave.
STUBS = {
    "uname": "echo Darwin",
    "brew": "exit 0",
    "ninja": "exit 0",
    "sw_vers": "echo 15.5",
    "flutter": r"""
        case "$1" in
        --version)
          if [ "${2:-}" = --machine ]; then
            printf '{\n  "flutterRoot": "%s"\n}\n' "$STUB_FLUTTER_ROOT"
          else
            echo "Flutter 3.44.9 (stand-in)"
          fi ;;
        create)
          mkdir -p macos
          if [ -n "${STUB_NOT_A_RUNNER:-}" ]; then exit 0; fi
          cp -R "$RUNNER_FIXTURE/." macos/ ;;
        build)
          # Xcode links the libraries of the checkout the runner names.
          root=$(sed -n 's/^BRIMLANE_ROOT = //p' macos/Runner/Configs/Brimlane.local.xcconfig 2>/dev/null)
          for library in libbrimlane_app.a libbrimlane_mac.a; do
            [ -f "$root/build/mac-runner/lib/Debug/$library" ] || { echo "no $library to link" >&2; exit 1; }
          done
          app=build/macos/Build/Products/Debug/Brimlane.app
          mkdir -p "$app/Contents/MacOS"
          cp "$STATE/host" "$app/Contents/MacOS/Brimlane"
          plugins="device_info_plus flutter_secure_storage_darwin package_info_plus url_launcher_macos"
          case "${STUB_ROUTE:-spm}" in
          spm)
            package=macos/Flutter/ephemeral/Packages/FlutterGeneratedPluginSwiftPackage
            mkdir -p "$package"
            {
              echo 'let package = Package('
              echo '    name: "FlutterGeneratedPluginSwiftPackage",'
              echo '    dependencies: ['
              for plugin in $plugins; do
                echo "        .package(name: \"$plugin\", path: \"../.packages/$plugin-1.0.0\"),"
              done
              echo '        .package(name: "FlutterFramework", path: "../.packages/FlutterFramework")'
              echo '    ],'
              echo ')'
            } >"$package/Package.swift" ;;
          cocoapods)
            {
              echo 'PODS:'
              for plugin in $plugins; do echo "  - $plugin (0.0.1):"; echo '    - FlutterMacOS'; done
              echo '  - FlutterMacOS (1.0.0)'
              echo
              echo 'DEPENDENCIES:'
              for plugin in $plugins; do
                echo "  - $plugin (from \`Flutter/ephemeral/.symlinks/plugins/$plugin/macos\`)"
              done
              echo '  - FlutterMacOS (from `Flutter/ephemeral`)'
            } >macos/Podfile.lock ;;
          esac ;;
        run)
          # flutter run -d macos --machine: the daemon protocol on standard
          # input and output, the application launched by its executable.
          printf '[{"event":"daemon.connected","params":{"version":"0.6.1","pid":%s}}]\n' "$$"
          echo "Launching lib/main.dart on macOS in debug mode..."
          [ -z "${STUB_NO_APP_START:-}" ] || { sleep 1; exit 1; }
          printf '[{"event":"app.start","params":{"appId":"stand-in-app","deviceId":"macos","directory":"%s","supportsRestart":true,"launchMode":"run","mode":"debug"}}]\n' "$PWD"
          "$PWD/build/macos/Build/Products/Debug/Brimlane.app/Contents/MacOS/Brimlane" </dev/null &
          app=$!
          printf '[{"event":"app.started","params":{"appId":"stand-in-app"}}]\n'
          while IFS= read -r line; do
            id=$(printf '%s' "$line" | sed -n 's/.*"id":\([0-9]*\).*/\1/p')
            case "$line" in
            *'"method":"app.restart"'*'"fullRestart":false'*)
              if [ -n "${STUB_RELOAD_FAILS:-}" ]; then
                printf '[{"id":%s,"result":{"code":1,"message":"Reload rejected by the stand-in"}}]\n' "$id"
                continue
              fi
              # What reassemble() writes once the reloaded code runs.
              text=$(sed -n "s/.*=> '\(.*\)';.*/\1/p" lib/reload_text.dart)
              printf '{"event":"reassembled","pid":%s,"text":"%s"}\n' "$app" "$text" >>"$BRIMLANE_INTEGRATION_REPORT"
              printf '[{"id":%s,"result":{"code":0,"message":"Reloaded 1 of 612 libraries in 201ms."}}]\n' "$id" ;;
            *'"method":"app.stop"'*)
              kill "$app"
              wait "$app" 2>/dev/null
              printf '[{"id":%s,"result":true}]\n' "$id"
              printf '[{"event":"app.stop","params":{"appId":"stand-in-app"}}]\n'
              exit 0 ;;
            *) printf '[{"id":%s,"error":"command not understood","trace":""}]\n' "$id" ;;
            esac
          done
          kill "$app" 2>/dev/null
          wait ;;
        esac""",
    "cmake": r"""
        printf '%s\n' "$*" >>"$STATE/cmake"
        if [ "$1" = -S ]; then mkdir -p "$4"; exit 0; fi
        build=$2 config=Debug target=""
        shift 2
        while [ $# -gt 0 ]; do
          case "$1" in
          --config) config=$2; shift 2 ;;
          --target) target=$2; shift 2 ;;
          *) shift ;;
          esac
        done
        case "$target" in
        brimlane_runner_libraries)
          mkdir -p "$build/lib/$config"
          : >"$build/lib/$config/libbrimlane_app.a"
          : >"$build/lib/$config/libbrimlane_mac.a" ;;
        brimlane_mac_tests)
          [ -z "${STUB_NO_GTEST:-}" ] || { echo "ninja: error: unknown target 'brimlane_mac_tests'" >&2; exit 1; } ;;
        esac""",
    "lipo": """[ "$1" != -info ] || echo "Architectures in the fat file: $2 are: x86_64 arm64\"""",
    "codesign": """[ "$1" != --display ] || echo '# designated => cdhash H"0123abcd"' >&2""",
    "ctest": """printf '%s\\n' "$*" >>"$STATE/ctest"; echo '100% tests passed, 0 tests failed out of 9'""",
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
# a second process writes what the UI would and plays the host's part. The UI
# reads the text it reports from the project's lib/reload_text.dart.
HOST = r"""#!/usr/bin/env bash
if [ -z "${HOST_PROCESS:-}" ]; then
  HOST_PROCESS=$$ bash "$0" &
  exec -a "$0" sleep 60
fi
ui=${0%/build/macos/Build/Products/Debug/Brimlane.app/Contents/MacOS/Brimlane}
report=$BRIMLANE_INTEGRATION_REPORT
selection=com.brimlane.app/selection
system=com.brimlane.app/system
echo "${STUB_PLUGIN_LINE:-Brimlane: plug-ins registered by the generated plug-in registrant}" >&2
text=$(sed -n "s/.*=> '\(.*\)';.*/\1/p" "$ui/lib/reload_text.dart")
echo "{\"event\":\"started\",\"pid\":$HOST_PROCESS,\"text\":\"$text\"}" >>"$report"
answer() { echo "{\"event\":\"answer\",\"channel\":\"$1\",\"method\":\"$2\",$3}" >>"$report"; }
trusted=${STUB_TRUSTED:-true}
answer $selection checkPermission "\"kind\":\"value\",\"value\":$trusted"
answer $selection startWindowDrag '"kind":"value","value":null'
answer $selection integrationUnknownMethod '"kind":"notImplemented"'
answer $selection getSelection '"kind":"value","value":null'
answer $system getLaunchAtLogin '"kind":"value","value":false'
answer $system setLaunchAtLogin "${STUB_SET_LAUNCH_ANSWER:-\"kind\":\"error\",\"code\":\"INVALID_ARGUMENT\",\"message\":\"Boolean argument required\",\"details\":null}"
answer $system integrationUnknownMethod '"kind":"notImplemented"'
for package in device_info_plus flutter_secure_storage package_info_plus path_provider url_launcher; do
  case " ${STUB_MISSING_PLUGINS:-} :$package" in
  *" $package "*)
    echo "{\"event\":\"plugin\",\"package\":\"$package\",\"kind\":\"missing\",\"description\":\"MissingPluginException(No implementation found)\"}" ;;
  # Without a team the secure storage has no keychain group: its plug-in
  # answers with an error, which still shows it registered.
  *:flutter_secure_storage)
    echo "{\"event\":\"plugin\",\"package\":\"$package\",\"kind\":\"error\",\"code\":\"-34018\",\"message\":\"A required entitlement isn't present.\"}" ;;
  *) echo "{\"event\":\"plugin\",\"package\":\"$package\",\"kind\":\"answered\"}" ;;
  esac
done >>"$report"
echo '{"event":"ready"}' >>"$report"
while kill -0 "$HOST_PROCESS" 2>/dev/null; do
  if [ -e "$STATE/hot-key" ] && $trusted; then
    rm "$STATE/hot-key"
    text=$(cat "$STATE/document")
    clipboard=$(cat "$STATE/clipboard")
    echo "{\"event\":\"received\",\"channel\":\"$selection\",\"method\":\"updateSelection\",\"arguments\":\"$text\"}" >>"$report"
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

ROW = re.compile(r"^(.+?)  +(pass|FAIL|skipped: [a-z ]+?)(?:  +(.*))?$")
CAPTURE = ("capture: updateSelection with the document's text", "paste: pasteText answered true",
           "paste: document upper-cased", "paste: clipboard given back")
HOT_RELOAD = ("hot reload: flutter run --machine started the app",
              "hot reload: app.restart answered code 0",
              "hot reload: new text from the same process",
              "hot reload: app.stop ended the app")


class IntegrationRun(unittest.TestCase):
    def run_driver(self, *arguments, **environment):
        """Runs the driver in a scratch copy of the repository; returns
        (exit code, {check: (result, detail)}, output, state folder, root)."""
        root = os.path.realpath(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, root, True)
        os.makedirs(os.path.join(root, "integration"))
        shutil.copy(DRIVER, os.path.join(root, "integration", "run"))
        shutil.copytree(os.path.join(SOURCE, "integration", "ui"), os.path.join(root, "integration", "ui"),
                        ignore=shutil.ignore_patterns("macos", "build", ".dart_tool"))
        shutil.copytree(os.path.join(SOURCE, "macos", "runner"), os.path.join(root, "macos", "runner"))
        os.makedirs(os.path.join(root, "tools"))
        for tool in ("adopt-runner", "build-mac-libraries"):
            shutil.copy(os.path.join(SOURCE, "tools", tool), os.path.join(root, "tools", tool))
        stubs, state, home, sdk = (os.path.join(root, name) for name in ("stubs", "state", "home", "sdk"))
        for folder in (stubs, state, home):
            os.mkdir(folder)
        os.makedirs(os.path.join(sdk, "bin", "cache", "artifacts", "engine", "darwin-x64",
                                 "FlutterMacOS.xcframework"))
        for name, body in STUBS.items():
            write_executable(os.path.join(stubs, name), "#!/usr/bin/env bash\n" + textwrap.dedent(body))
        write_executable(os.path.join(state, "host"), HOST)
        with open(os.path.join(state, "clipboard"), "w") as clipboard:
            clipboard.write(USER_CLIPBOARD)
        env = dict(os.environ, PATH=stubs + os.pathsep + os.environ["PATH"], STATE=state, HOME=home,
                   RUNNER_FIXTURE=RUNNER_FIXTURE, STUB_FLUTTER_ROOT=sdk)
        env.pop("FLUTTER", None)
        env.pop("FLUTTER_ROOT", None)
        env.update(environment)
        run = subprocess.run(["bash", os.path.join(root, "integration", "run"), *arguments],
                             env=env, capture_output=True, text=True, timeout=180)
        output = run.stdout + run.stderr
        table = output[output.rindex("\ncheck "):] if "\ncheck " in output else ""
        checks = {}
        for line in table.splitlines()[1:]:
            match = ROW.match(line)
            if match:
                checks[match.group(1)] = (match.group(2), match.group(3) or "")
        return run.returncode, checks, output, state, root

    def assertResults(self, checks, expected, output):
        for name, result in expected.items():
            self.assertIn(name, checks, output)
            self.assertEqual(checks[name][0], result, f"{name}: {checks[name]}\n{output}")

    def assertDartFileUnchanged(self, root):
        with open(os.path.join(SOURCE, "integration", "ui", "lib", "reload_text.dart")) as original:
            self.assertEqual(read(os.path.join(root, "integration", "ui", "lib"), "reload_text.dart"),
                             original.read())

    def test_a_host_that_does_everything_passes_every_check(self):
        code, checks, output, state, root = self.run_driver("--grant-trust", "--plugins-through", "spm")
        self.assertEqual(code, 0, output)
        self.assertEqual({result for result, _ in checks.values()}, {"pass"}, output)
        self.assertRegex(output, r"integration: 35 passed, 0 failed, 0 skipped\n")
        self.assertEqual(read(state, "document"), PASTED)
        # The user's clipboard is back once the run is over.
        self.assertEqual(read(state, "clipboard"), USER_CLIPBOARD)
        # The trust, for the bundle and for its executable in the Flutter
        # build, with the compiled designated requirement.
        statements = read(state, "sql")
        for service in ("kTCCServiceAccessibility", "kTCCServicePostEvent"):
            self.assertRegex(statements, rf"'{service}', 'com\.brimlane\.app', 0, 2, 4, 1, X'66616465'")
            self.assertRegex(statements, rf"'{service}', '/\S+/integration/ui/build/macos/Build/Products/"
                                         rf"Debug/Brimlane\.app/Contents/MacOS/Brimlane', 1, 2, 4, 1, X'66616465'")
        # tools/adopt-runner made the runner Brimlane's, for this checkout.
        local_config = read(os.path.join(root, "integration", "ui", "macos", "Runner", "Configs"),
                            "Brimlane.local.xcconfig")
        self.assertIn(f"BRIMLANE_ROOT = {root}\n", local_config)
        self.assertIn("CODE_SIGN_IDENTITY = -\n", local_config)
        # The libraries for the debug build only, then the Mac tests from the
        # same build folder.
        cmake = read(state, "cmake")
        self.assertIn(f"--build {root}/build/mac-runner --config Debug --target brimlane_runner_libraries", cmake)
        self.assertNotIn("--config Release", cmake)
        self.assertIn(f"--build {root}/build/mac-runner --config Debug --target brimlane_mac_tests", cmake)
        self.assertIn(f"--test-dir {root}/build/mac-runner -C Debug -L mac", read(state, "ctest"))
        self.assertIn("Swift Package Manager: device_info_plus flutter_secure_storage_darwin "
                      "package_info_plus url_launcher_macos; CocoaPods: none", checks["plug-in route"][1])
        self.assertIn("-34018", checks["plug-in answered: flutter_secure_storage"][1])
        # The hot reload: the new text from the process that started, and the
        # Dart file as it was.
        self.assertIn('"after hot reload" from pid', checks["hot reload: new text from the same process"][1])
        self.assertIn("Reloaded 1 of 612 libraries", checks["hot reload: app.restart answered code 0"][1])
        self.assertDartFileUnchanged(root)

    def test_without_trust_the_capture_and_paste_are_skipped_never_passed(self):
        code, checks, output, state, _ = self.run_driver(STUB_TRUSTED="false")
        self.assertEqual(code, 0, output)
        skipped = "skipped: not trusted"
        self.assertResults(checks, {
            "Brimlane trusted for Accessibility": skipped,
            **{name: skipped for name in CAPTURE},
            "answer: selection checkPermission": "pass",
            "answer: system setLaunchAtLogin": "pass",
            "plug-ins registered by the generated registrant": "pass",
            **{name: "pass" for name in HOT_RELOAD},
        }, output)
        self.assertIn("Privacy & Security › Accessibility", output)
        self.assertRegex(output, r"integration: 29 passed, 0 failed, 5 skipped\n")
        self.assertEqual(read(state, "document"), DOCUMENT)

    def test_with_the_trust_written_an_untrusted_host_fails(self):
        code, checks, output, _, _ = self.run_driver("--grant-trust", STUB_TRUSTED="false",
                                                     STUB_CANNOT_TYPE="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "Brimlane trusted for Accessibility": "FAIL",
            "capture: updateSelection with the document's text": "FAIL",
            "paste: clipboard given back": "FAIL",
        }, output)

    def test_a_terminal_that_cannot_type_skips_the_capture_on_your_own_mac(self):
        code, checks, output, _, _ = self.run_driver(STUB_CANNOT_TYPE="1")
        self.assertEqual(code, 0, output)
        self.assertEqual(checks["paste: document upper-cased"][0], "skipped: not trusted", output)
        self.assertIn("the terminal is not trusted", checks["paste: document upper-cased"][1])

    def test_a_wrong_channel_answer_fails_its_row_and_the_run(self):
        code, checks, output, _, _ = self.run_driver(STUB_SET_LAUNCH_ANSWER='"kind":"value","value":null')
        self.assertEqual(code, 1, output)
        self.assertEqual(checks["answer: system setLaunchAtLogin"][0], "FAIL", output)
        self.assertIn('"value":null', checks["answer: system setLaunchAtLogin"][1])
        self.assertRegex(output, r"integration: 33 passed, 1 failed, 0 skipped\n")

    def test_a_paste_that_never_lands_does_not_count_the_clipboard_as_given_back(self):
        code, checks, output, _, _ = self.run_driver(STUB_NO_PASTE="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "paste: pasteText answered true": "pass",
            "paste: document upper-cased": "FAIL",
            "paste: clipboard given back": "FAIL",
        }, output)

    def test_a_plugin_that_does_not_answer_fails_its_row(self):
        code, checks, output, _, _ = self.run_driver(STUB_MISSING_PLUGINS="url_launcher")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "plug-in answered: url_launcher": "FAIL",
            **{f"plug-in answered: {name}": "pass" for name in PLUGINS if name != "url_launcher"},
        }, output)
        self.assertIn("MissingPluginException", checks["plug-in answered: url_launcher"][1])
        self.assertRegex(output, r"integration: 33 passed, 1 failed, 0 skipped\n")

    def test_a_host_that_looked_the_plugins_up_by_class_name_fails(self):
        code, checks, output, _, _ = self.run_driver(STUB_PLUGIN_LINE=BY_CLASS_NAME)
        self.assertEqual(code, 1, output)
        self.assertEqual(checks["plug-ins registered by the generated registrant"],
                         ("FAIL", BY_CLASS_NAME), output)

    def test_a_rejected_hot_reload_fails_and_puts_the_dart_file_back(self):
        code, checks, output, _, root = self.run_driver(STUB_RELOAD_FAILS="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "hot reload: flutter run --machine started the app": "pass",
            "hot reload: app.restart answered code 0": "FAIL",
            "hot reload: new text from the same process": "FAIL",
            "hot reload: app.stop ended the app": "pass",
        }, output)
        self.assertIn("Reload rejected", checks["hot reload: app.restart answered code 0"][1])
        self.assertDartFileUnchanged(root)

    def test_an_app_that_never_starts_under_flutter_run_fails_every_hot_reload_row(self):
        code, checks, output, _, root = self.run_driver(STUB_NO_APP_START="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {name: "FAIL" for name in HOT_RELOAD}, output)
        self.assertIn("flutter run has ended", checks["hot reload: app.stop ended the app"][1])
        self.assertDartFileUnchanged(root)

    def test_without_time_left_the_hot_reload_is_skipped_never_passed(self):
        code, checks, output, _, _ = self.run_driver("--hot-reload-by", "0")
        self.assertEqual(code, 0, output)
        self.assertResults(checks, {name: "skipped: no time" for name in HOT_RELOAD}, output)
        self.assertRegex(output, r"integration: 30 passed, 0 failed, 4 skipped\n")

    def test_plugins_through_cocoapods(self):
        code, checks, output, _, _ = self.run_driver("--plugins-through", "cocoapods", STUB_ROUTE="cocoapods")
        self.assertEqual(code, 0, output)
        self.assertEqual(checks["plug-in route"],
                         ("pass", "Swift Package Manager: none; CocoaPods: device_info_plus "
                                  "flutter_secure_storage_darwin package_info_plus url_launcher_macos"), output)

    def test_plugins_from_the_other_route_than_expected_fail(self):
        code, checks, output, _, _ = self.run_driver("--plugins-through", "cocoapods")
        self.assertEqual(code, 1, output)
        self.assertEqual(checks["plug-in route"][0], "FAIL", output)
        self.assertIn("expected cocoapods only", checks["plug-in route"][1])

    def test_a_folder_flutter_create_left_without_a_runner_is_refused(self):
        code, checks, output, _, _ = self.run_driver(STUB_NOT_A_RUNNER="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "macOS runner made by flutter create": "pass",
            "runner files applied by tools/adopt-runner": "FAIL",
        }, output)
        self.assertNotIn("flutter build macos --debug", checks)
        self.assertIn("is not the macOS runner of a Flutter project", output)

    def test_mac_tests_that_did_not_build_fail(self):
        code, checks, output, _, _ = self.run_driver(STUB_NO_GTEST="1")
        self.assertEqual(code, 1, output)
        self.assertEqual(checks["ctest -L mac"], ("FAIL", "brimlane_mac_tests did not build; see mac-tests-build.log"),
                         output)


def write_executable(path, text):
    with open(path, "w") as file:
        file.write(text)
    os.chmod(path, 0o755)


def read(folder, name):
    with open(os.path.join(folder, name)) as file:
        return file.read()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
