#!/usr/bin/env python3
"""tools/adopt-runner on copies of a Flutter project's macos/ folder
(tests/fixtures/flutter_macos_runner), and the runner files it lays over it:
what a Mac's Xcode would read from them is parsed and evaluated here, where
no Xcode is.

Usage: adopt_runner_test.py REPOSITORY CMAKE
"""
import os
import plistlib
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from entitlements import BASE_ENTITLEMENTS

ROOT = os.path.realpath(sys.argv[1])
CMAKE = sys.argv[2]
ADOPT = os.path.join(ROOT, "tools", "adopt-runner")
FIXTURE = os.path.join(ROOT, "tests", "fixtures", "flutter_macos_runner")
RUNNER_FILES = os.path.join(ROOT, "macos", "runner")
TEAM = "ABCDE12345"
GROUP = TEAM + ".com.brimlane.app"

# What the runner files replace or add, and what Flutter owns and must stay.
REPLACED = [
    "Runner/AppDelegate.swift",
    "Runner/MainFlutterWindow.swift",
    "Runner/Base.lproj/MainMenu.xib",
    "Runner/Info.plist",
    "Runner/DebugProfile.entitlements",
    "Runner/Release.entitlements",
    "Runner/Configs/AppInfo.xcconfig",
    ".gitignore",
]
ADDED = ["Runner/Configs/Brimlane.xcconfig", "Runner/Configs/Brimlane.local.xcconfig"]
FLUTTERS = [
    "Runner.xcodeproj/project.pbxproj",
    "Runner.xcodeproj/xcshareddata/xcschemes/Runner.xcscheme",
    "Flutter/Flutter-Debug.xcconfig",
    "Flutter/Flutter-Release.xcconfig",
    "Flutter/GeneratedPluginRegistrant.swift",
    "Podfile",
    "Runner/Configs/Debug.xcconfig",
    "Runner/Configs/Release.xcconfig",
    "Runner/Configs/Warnings.xcconfig",
]


def read(path):
    with open(path, "rb") as file:
        return file.read()


def evaluate_xcconfig(path, settings=None):
    """The settings an xcconfig file makes, includes followed, as Xcode reads
    them: later assignments win, and `#include?` may name a missing file."""
    settings = {} if settings is None else settings
    with open(path, encoding="utf-8") as file:
        for line in file:
            line = line.split("//", 1)[0].strip()
            include = re.match(r'#include(\??)\s+"([^"]+)"', line)
            if include:
                included = os.path.join(os.path.dirname(path), include.group(2))
                if os.path.exists(included) or not include.group(1):
                    evaluate_xcconfig(included, settings)
                continue
            assignment = re.match(r"([A-Za-z_][A-Za-z0-9_]*)\s*=\s*(.*)", line)
            if assignment:
                settings[assignment.group(1)] = assignment.group(2).strip()
    return settings


def expand(value, settings, inherited=""):
    """$(NAME) expanded until none is left, innermost first, as Xcode does for
    a name built from another setting; an unset name is empty. Of Xcode's
    operators, $(NAME:identifier) is modelled: every character that cannot
    be in a C identifier becomes _."""
    def substitute(match):
        name, operator = match.group(1), match.group(2)
        text = inherited if name == "inherited" else settings.get(name, "")
        if operator == "identifier":
            text = re.sub(r"[^A-Za-z0-9_]", "_", text)
            if text[:1].isdigit():
                text = "_" + text
        elif operator:
            raise AssertionError("operator not modelled: " + operator)
        return text

    for _ in range(10):
        expanded = re.sub(r"\$\(([A-Za-z0-9_]+)(?::([a-z0-9]+))?\)", substitute, value)
        if expanded == value:
            return expanded
        value = expanded
    raise AssertionError("setting does not settle: " + value)


class AdoptRunner(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.scratch, True)
        self.project = os.path.join(self.scratch, "my_ui")
        self.macos = os.path.join(self.project, "macos")
        shutil.copytree(FIXTURE, self.macos)

    def adopt(self, *arguments, path=None):
        run = subprocess.run([ADOPT, path or self.macos, *arguments], capture_output=True,
                             text=True)
        return run.returncode, run.stdout, run.stderr

    def snapshot(self):
        files = {}
        for folder, _, names in os.walk(self.macos):
            for name in names:
                path = os.path.join(folder, name)
                files[os.path.relpath(path, self.macos)] = read(path)
        return files

    def backups(self):
        folder = os.path.join(self.macos, ".brimlane-backup")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def entitlements(self, name):
        with open(os.path.join(self.macos, "Runner", name + ".entitlements"), "rb") as file:
            return plistlib.load(file)

    # --- Applying --------------------------------------------------------------

    def test_lays_the_runner_files_over_and_leaves_flutters_own_alone(self):
        before = self.snapshot()
        code, out, err = self.adopt()
        self.assertEqual(code, 0, err)
        after = self.snapshot()
        for file in FLUTTERS:
            self.assertEqual(after[file], before[file], file)
        for file in REPLACED[:-1] + ADDED[:1]:
            runner_file = os.path.join(RUNNER_FILES, file)
            if "entitlements" not in file:
                self.assertEqual(after[file], read(runner_file), file)
        self.assertIn("8 replaced, 2 added, 0 unchanged", out)

    def test_keeps_a_copy_of_every_file_it_replaces(self):
        before = self.snapshot()
        code, out, _ = self.adopt()
        self.assertEqual(code, 0)
        [backup] = self.backups()
        folder = os.path.join(self.macos, ".brimlane-backup", backup)
        for file in REPLACED:
            self.assertEqual(read(os.path.join(folder, file)), before[file], file)
        self.assertFalse(os.path.exists(os.path.join(folder, ADDED[0])))
        self.assertIn(".brimlane-backup/" + backup, out)

    def test_takes_the_flutter_project_as_well_as_its_macos_folder(self):
        code, out, err = self.adopt(path=self.project)
        self.assertEqual(code, 0, err)
        self.assertIn(os.path.realpath(self.macos) + " is Brimlane's runner", out)

    def test_tells_git_to_leave_out_this_macs_settings_and_the_copies(self):
        self.adopt()
        ignored = read(os.path.join(self.macos, ".gitignore")).decode().splitlines()
        self.assertEqual(ignored[:7], read(os.path.join(FIXTURE, ".gitignore")).decode().splitlines())
        self.assertIn("Runner/Configs/Brimlane.local.xcconfig", ignored)
        self.assertIn(".brimlane-backup/", ignored)

    def test_the_first_adoption_says_to_clean_the_build_folder_once(self):
        # A build folder made under the project's old PRODUCT_NAME breaks the
        # next build until it is cleaned (flutter/flutter#105317).
        code, out, _ = self.adopt()
        self.assertEqual(code, 0)
        self.assertIn("run 'flutter clean' once", " ".join(out.split()))
        self.assertIn("flutter/flutter#105317", out)
        code, out, _ = self.adopt("--team", TEAM)
        self.assertEqual(code, 0)
        self.assertNotIn("flutter clean", out)

    def test_again_changes_nothing_and_copies_nothing(self):
        self.assertEqual(self.adopt("--team", TEAM)[0], 0)
        first = self.snapshot()
        code, out, _ = self.adopt("--team", TEAM)
        self.assertEqual(code, 0)
        self.assertEqual(self.snapshot(), first)
        self.assertEqual(len(self.backups()), 1)
        self.assertIn("0 replaced, 0 added, 10 unchanged", out)

    def test_a_clone_without_the_local_file_stops_at_build_time_saying_what_to_run(self):
        # git leaves Brimlane.local.xcconfig out: a clone of a UI whose
        # runner was adopted on another Mac has none, and would otherwise
        # fail to link a library under /build/mac-runner/lib.
        self.assertEqual(self.adopt()[0], 0)
        configs = os.path.join(self.macos, "Runner", "Configs")
        adopted = evaluate_xcconfig(os.path.join(configs, "AppInfo.xcconfig"))
        conditions = expand(adopted["SWIFT_ACTIVE_COMPILATION_CONDITIONS"],
                            {**adopted, "CONFIGURATION": "Debug"}, inherited="DEBUG").split()
        self.assertEqual(conditions, ["DEBUG"])
        os.remove(os.path.join(configs, "Brimlane.local.xcconfig"))
        cloned = evaluate_xcconfig(os.path.join(configs, "AppInfo.xcconfig"))
        conditions = expand(cloned["SWIFT_ACTIVE_COMPILATION_CONDITIONS"],
                            {**cloned, "CONFIGURATION": "Debug"}, inherited="DEBUG").split()
        self.assertEqual(conditions, ["DEBUG", "BRIMLANE_NO_CHECKOUT"])
        swift = read(os.path.join(self.macos, "Runner", "AppDelegate.swift")).decode()
        error = re.search(r'#if BRIMLANE_NO_CHECKOUT\s+#error\("([^"]+)"\)\s+#endif', swift)
        self.assertIsNotNone(error, "AppDelegate.swift stops under BRIMLANE_NO_CHECKOUT")
        for needed in ("Brimlane.local.xcconfig", "tools/adopt-runner", "tools/build-mac-libraries"):
            self.assertIn(needed, error.group(1))

    def test_the_help_names_every_file_it_lays_over(self):
        run = subprocess.run([ADOPT, "--help"], capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 0)
        words = " ".join(run.stdout.split())
        runner_files = [os.path.relpath(os.path.join(folder, name), RUNNER_FILES)
                        for folder, _, names in os.walk(RUNNER_FILES) for name in names]
        for file in runner_files + ADDED + [".gitignore"]:
            with self.subTest(file):
                self.assertIn(os.path.basename(file), words)

    # --- The team --------------------------------------------------------------

    def test_with_a_team_the_entitlements_claim_both_groups(self):
        code, out, _ = self.adopt("--team", TEAM)
        self.assertEqual(code, 0)
        for name in ("DebugProfile", "Release"):
            self.assertEqual(self.entitlements(name), {
                **BASE_ENTITLEMENTS,
                "keychain-access-groups": [GROUP],
                "com.apple.security.application-groups": [GROUP],
            }, name)
        local = evaluate_xcconfig(
            os.path.join(self.macos, "Runner", "Configs", "Brimlane.local.xcconfig"))
        self.assertEqual(local["DEVELOPMENT_TEAM"], TEAM)
        self.assertEqual(local["CODE_SIGN_IDENTITY"], "Apple Development")
        self.assertIn("Signed by team " + TEAM, out)
        self.assertNotIn("No team", out)

    def test_without_a_team_neither_group_is_claimed_and_it_says_what_that_costs(self):
        code, out, _ = self.adopt()
        self.assertEqual(code, 0)
        for name in ("DebugProfile", "Release"):
            self.assertEqual(self.entitlements(name), BASE_ENTITLEMENTS, name)
        local = evaluate_xcconfig(
            os.path.join(self.macos, "Runner", "Configs", "Brimlane.local.xcconfig"))
        self.assertNotIn("DEVELOPMENT_TEAM", local)
        self.assertEqual(local["CODE_SIGN_IDENTITY"], "-")
        self.assertIn("No team", out)
        self.assertIn("secure-storage plug-in", out)
        self.assertIn("application group's shared container", out)

    def test_a_new_team_replaces_the_old_and_keeps_a_copy(self):
        self.adopt()
        ad_hoc = self.entitlements("Release")
        code, out, _ = self.adopt("--team", TEAM)
        self.assertEqual(code, 0)
        self.assertIn("replaced  Runner/Release.entitlements", out)
        self.assertEqual(len(self.backups()), 2)
        latest = os.path.join(self.macos, ".brimlane-backup", self.backups()[-1])
        with open(os.path.join(latest, "Runner", "Release.entitlements"), "rb") as file:
            self.assertEqual(plistlib.load(file), ad_hoc)

    # --- Refusals --------------------------------------------------------------

    def assertRefused(self, arguments, message, path=None):
        before = self.snapshot()
        code, out, err = self.adopt(*arguments, path=path)
        self.assertEqual(code, 2, out)
        self.assertIn(message, err)
        self.assertEqual(out, "")
        self.assertEqual(self.snapshot(), before)
        return err

    def test_refuses_what_is_not_a_flutter_macos_runner(self):
        cases = {
            "not a folder": (lambda: os.path.join(self.scratch, "nothing"), "is not a folder"),
            "empty folder": (lambda: self.mkdir("empty"),
                             "there is no Runner.xcodeproj/project.pbxproj"),
            "iOS runner": (lambda: self.ios_runner(),
                           "does not build with Flutter's macos_assemble.sh"),
            "no AppInfo.xcconfig": (lambda: self.without("Runner/Configs/AppInfo.xcconfig"),
                                    "there is no Runner/Configs/AppInfo.xcconfig"),
            "no registrant compiled": (lambda: self.edited_project(
                "GeneratedPluginRegistrant.swift in Sources", "Other.swift in Sources"),
                "has no GeneratedPluginRegistrant.swift in Sources"),
        }
        for name, (make, message) in cases.items():
            with self.subTest(name):
                err = self.assertRefused([], message, path=make())
                if name != "not a folder":
                    self.assertIn("flutter create --platforms=macos .", err)

    def test_refuses_a_malformed_team_and_unknown_options(self):
        for arguments, message in [
            (["--team", "abcde12345"], "is not a team identifier"),
            (["--team", "ABCDE1234"], "is not a team identifier"),
            (["--team", "ABCDE12345.com"], "is not a team identifier"),
            (["--team"], "--team needs a team identifier"),
            (["--sign"], "unknown option --sign"),
        ]:
            with self.subTest(arguments):
                self.assertRefused(arguments, message)

    def mkdir(self, name):
        path = os.path.join(self.scratch, name)
        os.makedirs(path)
        return path

    def ios_runner(self):
        path = os.path.join(self.scratch, "ios")
        shutil.copytree(FIXTURE, path)
        project = os.path.join(path, "Runner.xcodeproj", "project.pbxproj")
        text = read(project).decode().replace("macos_assemble.sh embed", "xcode_backend.sh build")
        with open(project, "w", encoding="utf-8") as file:
            file.write(text)
        return path

    def without(self, file):
        path = os.path.join(self.scratch, "without")
        shutil.copytree(FIXTURE, path)
        os.remove(os.path.join(path, file))
        return path

    def edited_project(self, old, new):
        path = os.path.join(self.scratch, "edited")
        shutil.copytree(FIXTURE, path)
        project = os.path.join(path, "Runner.xcodeproj", "project.pbxproj")
        text = read(project).decode().replace(old, new)
        with open(project, "w", encoding="utf-8") as file:
            file.write(text)
        return path


class RunnerFiles(unittest.TestCase):
    """The runner files themselves, as Xcode and AppKit would read them."""

    def path(self, *parts):
        return os.path.join(RUNNER_FILES, "Runner", *parts)

    def test_plists_parse_and_say_what_the_application_is(self):
        with open(self.path("Info.plist"), "rb") as file:
            info = plistlib.load(file)
        self.assertIs(info["LSUIElement"], True)  # a menu-bar utility, no Dock icon
        self.assertEqual(info["NSMainNibFile"], "MainMenu")
        self.assertEqual(info["NSPrincipalClass"], "NSApplication")
        # flutter run finds the executable through these, and flutter build
        # stamps the version into them.
        self.assertEqual(info["CFBundleExecutable"], "$(EXECUTABLE_NAME)")
        self.assertEqual(info["CFBundleIdentifier"], "$(PRODUCT_BUNDLE_IDENTIFIER)")
        self.assertEqual(info["CFBundleShortVersionString"], "$(FLUTTER_BUILD_NAME)")
        self.assertEqual(info["CFBundleVersion"], "$(FLUTTER_BUILD_NUMBER)")
        self.assertEqual(info["LSMinimumSystemVersion"], "$(MACOSX_DEPLOYMENT_TARGET)")
        for name in ("DebugProfile", "Release"):
            with open(self.path(name + ".entitlements"), "rb") as file:
                self.assertEqual(plistlib.load(file), BASE_ENTITLEMENTS, name)

    def test_the_interface_file_creates_the_hosts_delegate_and_window(self):
        document = ElementTree.parse(self.path("Base.lproj", "MainMenu.xib")).getroot()
        objects = {element.get("customClass"): element for element in document.iter()
                   if element.get("customClass")}
        # The host's Objective-C++ classes, known to the runtime by their bare
        # names: no Swift module may be named.
        for name in ("AppDelegate", "MainFlutterWindow"):
            self.assertIn(name, objects)
            self.assertIsNone(objects[name].get("customModule"), name)
        delegate_id = objects["AppDelegate"].get("id")
        outlets = [outlet for outlet in document.iter("outlet")
                   if outlet.get("property") == "delegate"]
        self.assertEqual([outlet.get("destination") for outlet in outlets], [delegate_id])

    def test_the_registrant_class_is_the_one_the_host_looks_for(self):
        swift = read(self.path("AppDelegate.swift")).decode()
        host = read(os.path.join(ROOT, "macos", "mac_flutter_embedding.mm")).decode()
        swift_name = re.search(r'@objc\((\w+)\)\s*final class', swift).group(1)
        self.assertIn('NSClassFromString(@"%s")' % swift_name, host)
        self.assertIn("@objc(registerWithRegistry:)", swift)
        self.assertIn("+ (void)registerWithRegistry:", host)
        self.assertIn("RegisterGeneratedPlugins(registry: registry)", swift)
        self.assertEqual(swift.count("@main"), 1)

    def test_one_setting_names_the_oldest_macos_for_the_runner_and_the_libraries(self):
        # BRIMLANE_MACOS_MINIMUM_VERSION in Brimlane.xcconfig is the one
        # place: the runner's deployment target (and so LSMinimumSystemVersion)
        # and the libraries' CMake build both take it from there.
        settings = self.runner_settings("BRIMLANE_ROOT = /checkout\n")
        version = settings["BRIMLANE_MACOS_MINIMUM_VERSION"]
        self.assertEqual(expand(settings["MACOSX_DEPLOYMENT_TARGET"], settings), version)
        module = os.path.join(ROOT, "macos", "minimum_version.cmake")
        run = subprocess.run([CMAKE, "-P", module], capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr.strip(), "BRIMLANE_MACOS_MINIMUM_VERSION " + version)
        cmake = read(os.path.join(ROOT, "macos", "CMakeLists.txt")).decode()
        self.assertIn("include(${CMAKE_CURRENT_LIST_DIR}/minimum_version.cmake)", cmake)
        self.assertNotRegex(cmake, r"set\(BRIMLANE_MACOS_MINIMUM_VERSION")

    def test_a_debug_build_keeps_the_host_in_the_executable(self):
        # Xcode 16 would otherwise move a debug build's code into
        # Brimlane.debug.dylib behind a stub executable, and whether the
        # -force_load archives reach the stub's link too is documented
        # nowhere: the host's classes could then exist twice.
        settings = evaluate_xcconfig(self.path("Configs", "Brimlane.xcconfig"))
        self.assertEqual(settings.get("ENABLE_DEBUG_DYLIB"), "NO")

    def test_the_entry_point_names_the_secure_restorable_state_answer(self):
        # flutter_tools' SecureRestorableStateMigration warns on every build
        # and run that AppDelegate.swift "has been modified and cannot be
        # automatically migrated" unless the file names this method.
        swift = read(self.path("AppDelegate.swift")).decode()
        self.assertIn("applicationSupportsSecureRestorableState", swift)
        delegate = read(os.path.join(ROOT, "macos", "app_delegate.mm")).decode()
        self.assertIn("- (BOOL)applicationSupportsSecureRestorableState:", delegate)

    def runner_settings(self, local=None):
        """The target-level settings of AppInfo.xcconfig, with the local file
        holding LOCAL, or without one."""
        scratch = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, scratch, True)
        configs = os.path.join(scratch, "Configs")
        shutil.copytree(os.path.join(RUNNER_FILES, "Runner", "Configs"), configs)
        if local is not None:
            with open(os.path.join(configs, "Brimlane.local.xcconfig"), "w") as file:
                file.write(local)
        return evaluate_xcconfig(os.path.join(configs, "AppInfo.xcconfig"))

    def test_a_configuration_of_another_name_links_the_release_set_and_is_warned_about(self):
        # A flavour's configurations are named Debug-staging and so on; no
        # BRIMLANE_LIBRARY_CONFIGURATION_ setting names them.
        settings = self.runner_settings("BRIMLANE_ROOT = /checkout\n")
        swift = read(self.path("AppDelegate.swift")).decode()
        for configuration, project_settings, library_set, warned in [
                ("Debug", {}, "Debug", False),
                ("Profile", {}, "Release", False),
                ("Release", {}, "Release", False),
                ("Debug-staging", {}, "Release", True),
                ("Release-staging", {}, "Release", True),
                # What the warning says to add, at project level.
                ("Debug-staging", {"BRIMLANE_LIBRARY_CONFIGURATION_Debug_staging": "Debug"},
                 "Debug", False)]:
            with self.subTest(configuration=configuration, project=project_settings):
                everything = {**project_settings, **settings, "CONFIGURATION": configuration}
                flags = expand(settings["OTHER_LDFLAGS"], everything)
                self.assertIn('"/checkout/build/mac-runner/lib/%s/libbrimlane_mac.a"' % library_set,
                              flags)
                conditions = expand(settings["SWIFT_ACTIVE_COMPILATION_CONDITIONS"], everything,
                                    inherited="DEBUG").split()
                self.assertEqual(conditions[0], "DEBUG")
                self.assertEqual("BRIMLANE_UNNAMED_CONFIGURATION" in conditions, warned)
        warning = re.search(r'#if BRIMLANE_UNNAMED_CONFIGURATION\s+#warning\("([^"]+)"\)\s+#endif',
                            swift)
        self.assertIsNotNone(warning, "AppDelegate.swift warns under BRIMLANE_UNNAMED_CONFIGURATION")
        self.assertIn("BRIMLANE_LIBRARY_CONFIGURATION_", warning.group(1))
        self.assertIn("Release", warning.group(1))

    def test_the_xcconfig_links_the_libraries_that_build_mac_libraries_makes(self):
        scratch = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, scratch, True)
        configs = os.path.join(scratch, "Configs")
        shutil.copytree(os.path.join(RUNNER_FILES, "Runner", "Configs"), configs)
        with open(os.path.join(configs, "Brimlane.local.xcconfig"), "w") as file:
            file.write("BRIMLANE_ROOT = /checkout\n")
        settings = evaluate_xcconfig(os.path.join(configs, "AppInfo.xcconfig"))
        self.assertEqual(settings["PRODUCT_NAME"], "Brimlane")
        self.assertEqual(settings["PRODUCT_BUNDLE_IDENTIFIER"], "com.brimlane.app")
        self.assertEqual(expand(settings["MACOSX_DEPLOYMENT_TARGET"], settings), "11.0")
        self.assertEqual(settings["ENABLE_HARDENED_RUNTIME"], "YES")

        cmake = read(os.path.join(ROOT, "macos", "CMakeLists.txt")).decode()
        builder = read(os.path.join(ROOT, "tools", "build-mac-libraries")).decode()
        for configuration, library_set in [("Debug", "Debug"), ("Profile", "Release"),
                                           ("Release", "Release")]:
            with self.subTest(configuration):
                flags = expand(settings["OTHER_LDFLAGS"],
                               {**settings, "CONFIGURATION": configuration},
                               inherited="-ObjC -framework url_launcher_macos")
                words = re.findall(r'"[^"]*"|\S+', flags)
                self.assertEqual(words[:3], ["-ObjC", "-framework", "url_launcher_macos"])
                loaded = [words[i + 1].strip('"') for i, word in enumerate(words)
                          if word == "-force_load"]
                self.assertEqual(loaded, [
                    "/checkout/build/mac-runner/lib/%s/libbrimlane_mac.a" % library_set,
                    "/checkout/build/mac-runner/lib/%s/libbrimlane_app.a" % library_set,
                ])
                self.assertIn("-lc++", words)
                frameworks = [words[i + 1] for i, word in enumerate(words) if word == "-framework"]
                for framework in ("FlutterMacOS", "ApplicationServices", "Carbon",
                                  "CoreGraphics", "ServiceManagement"):
                    self.assertIn(framework, frameworks)
        # Where CMake puts the archives, under the names linked above.
        self.assertIn('ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/lib/$<CONFIG>"', cmake)
        self.assertIn("add_library(brimlane_mac STATIC", cmake)
        self.assertIn('build="$root/build/mac-runner"', builder)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
