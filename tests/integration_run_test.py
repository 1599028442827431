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
import concurrent.futures
import io
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
USER_LAYOUT = "com.apple.keylayout.US"
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
    "open": r"""
        # TextEdit opens a document in front: its key is the file's name.
        if [ "$1" = -a ]; then
          key=$(basename "$3" .txt)
          cp "$3" "$STATE/documents/$key"
          echo "$key" >"$STATE/front-document"
          echo TextEdit >"$STATE/frontmost"
          exit 0
        fi
        # open -n APP --args ...: the quitting target, the executable the
        # run built into the bundle. Launch Services is its parent on a Mac
        # and reaps it when it quits; here a subshell waits for it, so that
        # its pid is gone too.
        if [ "$1" = -n ]; then
          executable="$2/Contents/MacOS/QuittingTarget"
          shift 3
          ( "$executable" "$@" </dev/null >/dev/null 2>&1 & wait ) &
          exit 0
        fi
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
    # argv: -e SCRIPT [ARGUMENT]; a document's key is the argument.
    "osascript": r"""
        printf '%s\n' "$2" >>"$STATE/scripts"
        case "$2" in
        *"key code"*) [ -z "${STUB_CANNOT_TYPE:-}" ] || exit 1 ;;&
        *"AXRaise"*) echo "$3" >"$STATE/front-document"; echo TextEdit >"$STATE/frontmost" ;;
        *"count of (windows"*) if [ -e "$STATE/documents/$3" ]; then echo 1; else echo 0; fi ;;
        *"key code 17"*) touch "$STATE/hot-key" ;;
        *"value of text area"*) cat "$STATE/documents/$3" ;;
        *"AXCloseButton"*) echo "$3" >>"$STATE/closed" ;;
        *"whose frontmost is true"*) cat "$STATE/frontmost" ;;
        esac""",
    # The run's tools: each is built from its source into a stand-in that
    # plays it.
    "clang++": r"""
        output="" source=""
        while [ $# -gt 0 ]; do
          case "$1" in
          -o) output=$2; shift 2 ;;
          *.mm) source=$1; shift ;;
          *) shift ;;
          esac
        done
        [ -z "${STUB_TOOLS_FAIL:-}" ] || { echo "$source: error: stand-in refuses" >&2; exit 1; }
        cp "$STATE/tools/$(basename "$source" .mm)" "$output"
        chmod +x "$output"
        """,
}

# The run's tools as the stand-in world plays them. The keyboard layout is
# the file $STATE/layout; the times are the clock's nanoseconds.
TOOLS = {
    "keyboard_layout": r"""
        case "$1" in
        select)
          echo "select $2" >>"$STATE/layout-history"
          [ -f "$3" ] || echo "original $(cat "$STATE/layout")" >"$3"
          if [ -n "${STUB_LAYOUT_REFUSED:-}" ]; then
            echo "$2 was selected, but reads back as input source com.apple.keylayout.US, keyboard layout com.apple.keylayout.US after 2 s"
            exit 3
          fi
          echo "enabled $2" >>"$3"
          echo "$2" >"$STATE/layout"
          echo "selected $2 (stand-in)" ;;
        restore)
          [ -f "$2" ] || { echo "nothing to put back"; exit 0; }
          original=$(sed -n 's/^original //p' "$2")
          echo "restore $original" >>"$STATE/layout-history"
          if [ -n "${STUB_LAYOUT_STUCK:-}" ]; then
            echo "$original not put back: TISSelectInputSource($original) answered -50"
            exit 1
          fi
          echo "$original" >"$STATE/layout"
          rm "$2"
          echo "put back $original" ;;
        esac""",
    "key_witness": r"""
        if [ -n "${STUB_NO_TAP:-}" ]; then
          echo "no-tap $(date +%s%N) this process may not watch key presses" >>"$1"
          exit 3
        fi
        echo "$1" >"$STATE/witness-log"
        echo "listening $(date +%s%N) listener" >>"$1"
        exec sleep 600""",
    # Logs as the real target does; the host plays the capture and the
    # re-activation through files in $STATE. It quits at once once brought
    # forward again, or after STUB_TARGET_DELAY seconds.
    "quitting_target": r"""
        log=$1
        printf '%s\n' "$@" >"$STATE/target-arguments"
        now() { date +%s%N; }
        echo "started $(now) $$" >>"$log"
        printf '%s' "$2" >"$STATE/target-text"
        echo $$ >"$STATE/target-pid"
        echo QuittingTarget >"$STATE/frontmost"
        echo "active $(now)" >>"$log"
        copied=false
        while true; do
          if [ -e "$STATE/target-copy" ]; then
            echo "key $(now) 8 0x100108" >>"$log"
            echo "copied $(now)" >>"$log"
            echo "resigned $(now)" >>"$log"
            copied=true
            rm "$STATE/target-copy"
          fi
          if [ -e "$STATE/target-paste" ]; then
            echo "key $(now) 9 0x100108" >>"$log"
            echo "text $(now) $(cat "$STATE/target-paste")" >>"$log"
            rm "$STATE/target-paste"
          fi
          # The host counts its 0.3 s from when the target has taken the
          # activation: at once for a late target, and otherwise once it is
          # on its way out, so that a loaded machine cannot make a shell's
          # quit late.
          if $copied && [ -e "$STATE/target-activated" ]; then
            echo "active-again $(now)" >>"$log"
            if [ -n "${STUB_TARGET_DELAY:-}" ]; then
              rm "$STATE/target-activated"
              sleep "$STUB_TARGET_DELAY"
            fi
            echo "quitting $(now)" >>"$log"
            echo "${STUB_FRONT_AFTER_QUIT:-TextEdit}" >"$STATE/frontmost"
            # A Command-V that came while it quit lands before it has gone.
            if [ -e "$STATE/target-paste" ]; then
              echo "key $(now) 9 0x100108" >>"$log"
              rm "$STATE/target-paste"
            fi
            rm -f "$STATE/target-activated"
            exit 0
          fi
          sleep 0.02
        done""",
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
# A Command-V at the HID tap: the key witness sees it, and whichever
# application is in front takes it.
paste_into_front() {
  if [ -f "$STATE/witness-log" ]; then
    echo "keyDown $(date +%s%N) 9 0x100000 $HOST_PROCESS" >>"$(cat "$STATE/witness-log")"
  fi
  case "$(cat "$STATE/frontmost")" in
  TextEdit) printf '%s' "$1" >"$STATE/documents/$(cat "$STATE/front-document")" ;;
  QuittingTarget) printf '%s' "$1" >"$STATE/target-paste" ;;
  esac
}
while kill -0 "$HOST_PROCESS" 2>/dev/null; do
  if [ -e "$STATE/hot-key" ] && $trusted; then
    rm "$STATE/hot-key"
    clipboard=$(cat "$STATE/clipboard")
    target=""
    if [ "$(cat "$STATE/frontmost")" = QuittingTarget ]; then
      # The Command-C goes to the target's process, which copies.
      target=$(cat "$STATE/target-pid")
      touch "$STATE/target-copy"
      while [ -e "$STATE/target-copy" ]; do sleep 0.02; done
      text=$(cat "$STATE/target-text")
    else
      text=$(cat "$STATE/documents/$(cat "$STATE/front-document")")
      # A host that types key codes 8 and 9 under every layout gives Dvorak
      # Command-J; one that reads the layout without Command held gives
      # "Dvorak - QWERTY Command" Command-I. Neither copies anything.
      case "${STUB_HOST_KEYS:-}:$(cat "$STATE/layout")" in
      us-keys:com.apple.keylayout.Dvorak | base-level:com.apple.keylayout.DVORAK-QWERTYCMD) text="" ;;
      esac
    fi
    if [ -n "$text" ]; then
      echo "{\"event\":\"received\",\"channel\":\"$selection\",\"method\":\"updateSelection\",\"arguments\":\"$text\"}" >>"$report"
      answer $selection pasteText '"kind":"value","value":true'
      upper=$(printf '%s' "$text" | tr a-z A-Z)
      printf '%s' "$upper" >"$STATE/clipboard"
      # The paste re-activates the application it captured from, and types
      # 0.3 s later.
      if [ -n "$target" ]; then
        touch "$STATE/target-activated"
        while [ -e "$STATE/target-activated" ]; do sleep 0.02; done
      fi
      sleep 0.3
      if [ -n "$target" ] && ! kill -0 "$target" 2>/dev/null && [ -z "${STUB_TYPES_AFTER_QUIT:-}" ]; then
        # The target has quit: nothing is typed, and the clipboard is back
        # at once.
        :
      else
        [ -n "${STUB_NO_PASTE:-}" ] || paste_into_front "$upper"
        sleep 0.5
      fi
      printf '%s' "$clipboard" >"$STATE/clipboard"
    fi
  fi
  sleep 0.1
done
"""

ROW = re.compile(r"^(.+?)  +(pass|FAIL|skipped: [a-z ]+?)(?:  +(.*))?$")
CAPTURE = ("capture: updateSelection with the document's text", "paste: pasteText answered true",
           "paste: document upper-cased", "paste: clipboard given back")
DVORAK, QWERTY_COMMAND = (tuple(f"{layout}: {name}" for name in CAPTURE + ("the user's layout put back",))
                          for layout in ("Dvorak", "Dvorak - QWERTY Command"))
QUIT = ("quitting target: quit between pasteText and the Command-V",
        "quitting target: nothing typed anywhere",
        "quitting target: clipboard given back")
BYSTANDER = "bystander document, to stay as it is"
TARGET_TEXT = "text of an application about to quit"
HOT_RELOAD = ("hot reload: flutter run --machine started the app",
              "hot reload: app.restart answered code 0",
              "hot reload: new text from the same process",
              "hot reload: app.stop ended the app")


class IntegrationRun(unittest.TestCase):
    def run_driver(self, *arguments, prepare=None, **environment):
        """Runs the driver in a scratch copy of the repository, after
        prepare(root, state) if given; returns (exit code, {check: (result,
        detail)}, output, state folder, root)."""
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
        os.makedirs(os.path.join(state, "tools"))
        os.makedirs(os.path.join(state, "documents"))
        for name, body in TOOLS.items():
            write_executable(os.path.join(state, "tools", name), "#!/usr/bin/env bash\n" + textwrap.dedent(body))
        for name, text in (("clipboard", USER_CLIPBOARD), ("layout", USER_LAYOUT), ("frontmost", "Finder")):
            with open(os.path.join(state, name), "w") as file:
                file.write(text + ("\n" if name != "clipboard" else ""))
        if prepare:
            prepare(root, state)
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

    def assertLayoutPutBack(self, state, root):
        """The user's layout is current, and no record of a change is left."""
        self.assertEqual(read(state, "layout"), USER_LAYOUT + "\n")
        self.assertFalse(os.path.exists(os.path.join(root, "build", "integration-tools", "keyboard-layout.state")))

    def assertDartFileUnchanged(self, root):
        with open(os.path.join(SOURCE, "integration", "ui", "lib", "reload_text.dart")) as original:
            self.assertEqual(read(os.path.join(root, "integration", "ui", "lib"), "reload_text.dart"),
                             original.read())

    def test_a_host_that_does_everything_passes_every_check(self):
        code, checks, output, state, root = self.run_driver("--grant-trust", "--plugins-through", "spm")
        self.assertEqual(code, 0, output)
        self.assertEqual({result for result, _ in checks.values()}, {"pass"}, output)
        self.assertRegex(output, r"integration: 49 passed, 0 failed, 0 skipped\n")
        self.assertEqual(document(state, "capture"), PASTED)
        self.assertEqual(document(state, "dvorak"), "HELLO UNDER DVORAK")
        self.assertEqual(document(state, "qwertycmd"), "HELLO UNDER DVORAK WITH QWERTY COMMAND KEYS")
        self.assertEqual(document(state, "bystander"), BYSTANDER)
        # The user's clipboard is back once the run is over, and so is the
        # user's layout, after each case.
        self.assertEqual(read(state, "clipboard"), USER_CLIPBOARD)
        self.assertEqual(read(state, "layout-history").splitlines(), [
            "select com.apple.keylayout.Dvorak", f"restore {USER_LAYOUT}",
            "select com.apple.keylayout.DVORAK-QWERTYCMD", f"restore {USER_LAYOUT}"])
        self.assertLayoutPutBack(state, root)
        self.assertIn("selected com.apple.keylayout.Dvorak",
                      checks["Dvorak: capture: updateSelection with the document's text"][1])
        # The target quit after the paste brought it forward, and the
        # witness saw no key after that; every document the run opened is
        # closed.
        self.assertRegex(checks[QUIT[0]][1], r"^quit \d+ ms after the paste brought it forward$")
        self.assertEqual(read(state, "target-arguments").splitlines()[1:],
                         ["text of an application about to quit", "0.1"])
        self.assertIn("no key pressed in the session", checks[QUIT[1]][1])
        self.assertEqual(sorted(read(state, "closed").split()),
                         sorted(os.listdir(os.path.join(state, "documents"))))
        # Select All and the hot key go by key code, whatever the layout.
        self.assertNotIn("keystroke", read(state, "scripts"))
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
            **{name: skipped for name in CAPTURE + DVORAK + QWERTY_COMMAND + QUIT},
            "integration tools built": "pass",
            "answer: selection checkPermission": "pass",
            "answer: system setLaunchAtLogin": "pass",
            "plug-ins registered by the generated registrant": "pass",
            **{name: "pass" for name in HOT_RELOAD},
        }, output)
        self.assertIn("Privacy & Security › Accessibility", output)
        self.assertRegex(output, r"integration: 30 passed, 0 failed, 18 skipped\n")
        self.assertEqual(document(state, "capture"), DOCUMENT)
        # Without the trust the layout is never touched.
        self.assertFalse(os.path.exists(os.path.join(state, "layout-history")), output)

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
        code, checks, output, state, _ = self.run_driver(STUB_CANNOT_TYPE="1")
        self.assertEqual(code, 0, output)
        for name in ("paste: document upper-cased", DVORAK[2], QWERTY_COMMAND[2], QUIT[1]):
            self.assertEqual(checks[name][0], "skipped: not trusted", output)
            self.assertIn("the terminal is not trusted", checks[name][1])
        # The layout was selected and put back all the same.
        self.assertEqual(checks[DVORAK[4]][0], "pass", output)
        self.assertEqual(read(state, "layout"), USER_LAYOUT + "\n")

    def test_a_wrong_channel_answer_fails_its_row_and_the_run(self):
        code, checks, output, _, _ = self.run_driver(STUB_SET_LAUNCH_ANSWER='"kind":"value","value":null')
        self.assertEqual(code, 1, output)
        self.assertEqual(checks["answer: system setLaunchAtLogin"][0], "FAIL", output)
        self.assertIn('"value":null', checks["answer: system setLaunchAtLogin"][1])
        self.assertRegex(output, r"integration: 47 passed, 1 failed, 0 skipped\n")

    def test_a_paste_that_never_lands_does_not_count_the_clipboard_as_given_back(self):
        code, checks, output, _, _ = self.run_driver(STUB_NO_PASTE="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "paste: pasteText answered true": "pass",
            "paste: document upper-cased": "FAIL",
            "paste: clipboard given back": "FAIL",
        }, output)

    def test_keys_that_ignore_the_layout_fail_under_dvorak_and_a_paste_after_the_quit_fails(self):
        code, checks, output, state, root = self.run_driver(STUB_HOST_KEYS="us-keys", STUB_TYPES_AFTER_QUIT="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            **{name: "FAIL" for name in DVORAK[:4]},
            DVORAK[4]: "pass",
            **{name: "pass" for name in QWERTY_COMMAND},
            QUIT[0]: "pass",
            QUIT[1]: "FAIL",
            QUIT[2]: "pass",
        }, output)
        # Command-J copied nothing, so nothing reached the UI.
        self.assertEqual(checks[DVORAK[0]][1], "got nothing within 20 s")
        self.assertEqual(document(state, "dvorak"), "hello under dvorak")
        # The Command-V after the quit: the witness saw it, and TextEdit, in
        # front by then, took it.
        self.assertRegex(checks[QUIT[1]][1], r"^key presses after the target came forward again "
                                             r"\(event, ns, key code, flags, source pid\): keyDown \d+ 9 ")
        self.assertEqual(document(state, "bystander"), TARGET_TEXT.upper())
        self.assertLayoutPutBack(state, root)

    def test_keys_read_without_command_fail_under_dvorak_qwerty_command_and_a_late_quit_fails(self):
        code, checks, output, state, root = self.run_driver(STUB_HOST_KEYS="base-level", STUB_TARGET_DELAY="2")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            **{name: "pass" for name in DVORAK},
            **{name: "FAIL" for name in QWERTY_COMMAND[:4]},
            QWERTY_COMMAND[4]: "pass",
            QUIT[0]: "FAIL",
            QUIT[1]: "FAIL",
            QUIT[2]: "pass",
        }, output)
        # A target that was still there when the Command-V came does not
        # count for the host.
        self.assertRegex(checks[QUIT[0]][1], r"^the target was still there for the paste: key \d+ 9 ")
        self.assertRegex(checks[QUIT[1]][1], r"^the target took key \d+ 9 ")
        self.assertLayoutPutBack(state, root)

    def test_a_layout_the_system_refuses_is_skipped_with_its_reason_never_passed(self):
        code, checks, output, state, root = self.run_driver(STUB_LAYOUT_REFUSED="1", STUB_NO_TAP="1",
                                                            STUB_FRONT_AFTER_QUIT="Finder")
        self.assertEqual(code, 0, output)
        self.assertResults(checks, {
            **{name: "skipped: layout not changed" for name in DVORAK + QWERTY_COMMAND},
            QUIT[0]: "pass",
            QUIT[1]: "skipped: not observable",
            QUIT[2]: "pass",
        }, output)
        self.assertIn("com.apple.keylayout.Dvorak was selected, but reads back as input source "
                      "com.apple.keylayout.US", checks[DVORAK[0]][1])
        # What the refused select may have left is undone all the same.
        self.assertEqual(checks[DVORAK[4]][1], f"put back {USER_LAYOUT}")
        self.assertEqual(document(state, "dvorak"), "hello under dvorak")
        # Without a witness, and with another application in front after the
        # quit, nothing would show a paste.
        self.assertIn("no key witness (no-tap ", checks[QUIT[1]][1])
        self.assertIn("Finder came forward, where a paste would not show", checks[QUIT[1]][1])
        self.assertRegex(output, r"integration: 37 passed, 0 failed, 11 skipped\n")
        self.assertLayoutPutBack(state, root)

    def test_a_layout_not_put_back_fails_and_is_left_on_record_for_the_next_run(self):
        code, checks, output, state, root = self.run_driver(STUB_LAYOUT_STUCK="1", STUB_NO_TAP="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            DVORAK[0]: "pass",
            DVORAK[4]: "FAIL",
            QWERTY_COMMAND[0]: "pass",
            QWERTY_COMMAND[4]: "FAIL",
            QUIT[1]: "pass",
        }, output)
        self.assertIn("not put back", checks[DVORAK[4]][1])
        # Without a witness, TextEdit in front after the quit with its
        # document as it was shows it.
        self.assertIn("TextEdit came forward and its document is unchanged; no key witness: no-tap ",
                      checks[QUIT[1]][1])
        # The exit trap tried once more, and the record still names the
        # user's own layout, not the first case's.
        self.assertEqual(read(state, "layout-history").count(f"restore {USER_LAYOUT}"), 3)
        self.assertTrue(read(os.path.join(root, "build", "integration-tools"), "keyboard-layout.state")
                        .startswith(f"original {USER_LAYOUT}\n"))

    def test_the_next_run_puts_the_layout_back_first_and_tools_that_do_not_build_fail_their_cases(self):
        def killed_run_left_dvorak(root, state):
            tools = os.path.join(root, "build", "integration-tools")
            os.makedirs(tools)
            shutil.copy(os.path.join(state, "tools", "keyboard_layout"), os.path.join(tools, "keyboard-layout"))
            with open(os.path.join(tools, "keyboard-layout.state"), "w") as record:
                record.write(f"original {USER_LAYOUT}\nenabled com.apple.keylayout.Dvorak\n")
            with open(os.path.join(state, "layout"), "w") as layout:
                layout.write("com.apple.keylayout.Dvorak\n")

        code, checks, output, state, root = self.run_driver(prepare=killed_run_left_dvorak, STUB_TOOLS_FAIL="1")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "integration tools built": "FAIL",
            **{name: "pass" for name in CAPTURE},
            **{name: "FAIL" for name in DVORAK + QWERTY_COMMAND + QUIT},
        }, output)
        self.assertIn("stand-in refuses", output)
        self.assertEqual(checks[QUIT[0]][1], "the run's tools did not build; see integration-tools.log")
        self.assertEqual(read(state, "layout-history").splitlines(), [f"restore {USER_LAYOUT}"])
        self.assertLayoutPutBack(state, root)

    def test_a_plugin_that_does_not_answer_fails_its_row(self):
        code, checks, output, _, _ = self.run_driver(STUB_MISSING_PLUGINS="url_launcher")
        self.assertEqual(code, 1, output)
        self.assertResults(checks, {
            "plug-in answered: url_launcher": "FAIL",
            **{f"plug-in answered: {name}": "pass" for name in PLUGINS if name != "url_launcher"},
        }, output)
        self.assertIn("MissingPluginException", checks["plug-in answered: url_launcher"][1])
        self.assertRegex(output, r"integration: 47 passed, 1 failed, 0 skipped\n")

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
        self.assertRegex(output, r"integration: 44 passed, 0 failed, 4 skipped\n")

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


def document(state, case):
    """The text of the TextEdit document the run opened for a case."""
    (name,) = [name for name in os.listdir(os.path.join(state, "documents")) if name.endswith(f"-{case}")]
    return read(os.path.join(state, "documents"), name)


def read(folder, name):
    with open(os.path.join(folder, name)) as file:
        return file.read()


def run_side_by_side(tests, workers):
    """Runs each test on a thread of its own, a few at a time, and prints
    their reports in order; returns whether all passed. Each test runs the
    driver in a scratch folder of its own, and the driver spends most of its
    time waiting, so a few runs share the machine without slowing each
    other."""
    def run(test):
        report = io.StringIO()
        result = unittest.TextTestRunner(stream=report, verbosity=2).run(test)
        return result, report.getvalue()

    with concurrent.futures.ThreadPoolExecutor(workers) as pool:
        outcomes = list(pool.map(run, tests))
    for _, report in outcomes:
        sys.stdout.write(report)
    failed = sum(len(result.failures) + len(result.errors) for result, _ in outcomes)
    print(f"{len(outcomes) - failed} passed, {failed} failed")
    return failed == 0


if __name__ == "__main__":
    sys.exit(0 if run_side_by_side(list(unittest.defaultTestLoader.loadTestsFromTestCase(IntegrationRun)), 3) else 1)
