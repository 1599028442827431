#!/usr/bin/env python3
"""The application's signature as macos/signing.cmake decides it: the
entitlements file it writes and the codesign flags, for each way of signing. Runs anywhere CMake
and Python run; nothing is signed.

Usage: signing_test.py CMAKE SIGNING_MODULE
"""
import os
import plistlib
import subprocess
import sys
import tempfile
import unittest

from entitlements import BASE_ENTITLEMENTS as BASE

CMAKE, MODULE = sys.argv[1], sys.argv[2]

TEAM = "ABCDE12345"
GROUP = TEAM + ".com.brimlane.app"
IDENTITY = "Developer ID Application: Brimlane Test (ABCDE12345)"

KEYCHAIN_LEFT_OUT = "keychain-access-groups is left out"


def configure(identity, team="", profile=""):
    """Runs the module as a script; returns (exit code, entitlements, flags, stderr)."""
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run(
            [CMAKE, f"-DIDENTITY={identity}", f"-DTEAM_ID={team}", f"-DPROFILE={profile}",
             f"-DOUTPUT_DIR={out}", "-P", MODULE],
            capture_output=True, text=True)
        if run.returncode != 0:
            return run.returncode, None, None, run.stderr
        with open(os.path.join(out, "Brimlane.entitlements"), "rb") as f:
            entitlements = plistlib.load(f)
        with open(os.path.join(out, "codesign-flags.txt")) as f:
            flags = f.read().split("\n")[:-1]
        return 0, entitlements, flags, run.stderr


class Signing(unittest.TestCase):
    def setUp(self):
        profile = tempfile.NamedTemporaryFile(suffix=".provisionprofile", delete=False)
        profile.close()
        self.profile = profile.name
        self.addCleanup(os.unlink, self.profile)

    def test_entitlements_and_flags_for_each_way_of_signing(self):
        cases = [
            # name, identity, team, with profile, entitlements beyond BASE, timestamp flag, warns
            ("identity with profile", IDENTITY, TEAM, True, {
                "com.apple.application-identifier": GROUP,
                "com.apple.developer.team-identifier": TEAM,
                "com.apple.security.application-groups": [GROUP],
                "keychain-access-groups": [GROUP],
            }, "--timestamp", False),
            ("identity without profile", IDENTITY, TEAM, False, {
                "com.apple.security.application-groups": [GROUP],
            }, "--timestamp", True),
            ("ad hoc", "-", "", False, {}, "--timestamp=none", True),
            ("ad hoc with a team", "-", TEAM, False, {
                "com.apple.security.application-groups": [GROUP],
            }, "--timestamp=none", True),
        ]
        for name, identity, team, with_profile, extra, timestamp, warns in cases:
            with self.subTest(name):
                code, entitlements, flags, stderr = configure(
                    identity, team, self.profile if with_profile else "")
                self.assertEqual(code, 0, stderr)
                self.assertEqual(entitlements, {**BASE, **extra})
                self.assertEqual(flags[:5], ["--force", "--sign", identity, "--options", "runtime"])
                timestamps = [f for f in flags if f.startswith("--timestamp")]
                self.assertEqual(timestamps, [timestamp])
                self.assertEqual(stderr.count(KEYCHAIN_LEFT_OUT), 1 if warns else 0, stderr)
                if warns:
                    self.assertIn("loses its keychain group", " ".join(stderr.split()))
                    # It says how to keep it, in the release tool's terms.
                    self.assertIn("Give tools/release a provisioning profile that allows it "
                                  "(--profile)", " ".join(stderr.split()))

    def test_warning_names_the_keychain_group_lost(self):
        _, _, _, stderr = configure(IDENTITY, TEAM)
        self.assertIn(GROUP, " ".join(stderr.split()))

    def test_refused_configurations(self):
        cases = [
            ("ad hoc with a profile", "-", TEAM, True,
             "A provisioning profile (tools/release --profile) needs a real signing identity"),
            ("identity without a team", IDENTITY, "", False,
             "A team (tools/release --team, unless the identity's name ends in it) is needed"),
            ("team that is no team identifier", IDENTITY, "abc;def", False, "is not a team"),
        ]
        for name, identity, team, with_profile, message in cases:
            with self.subTest(name):
                code, _, _, stderr = configure(
                    identity, team, self.profile if with_profile else "")
                self.assertNotEqual(code, 0)
                self.assertIn(message, " ".join(stderr.split()))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
