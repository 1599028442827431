#!/usr/bin/env python3
"""Every tool of the repository (each executable in tools/, and bench/run)
answers --help and -h with its usage and exit status 0, and installs, builds
and writes nothing when asked for it. The tools run from a copy of the
repository, in the environment of help_sandbox.py: the plain utilities a
usage text needs and, for every package manager, compiler and build tool, a
stand-in that records its call and fails.

Usage: tool_help_test.py REPOSITORY
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from help_sandbox import calls_made, help_environment

ROOT = os.path.realpath(sys.argv[1])


def tools():
    """The repository's tools, relative to its root: what a user runs."""
    names = [os.path.join("tools", name) for name in sorted(os.listdir(os.path.join(ROOT, "tools")))]
    names.append(os.path.join("bench", "run"))
    return [name for name in names
            if os.path.isfile(os.path.join(ROOT, name)) and os.access(os.path.join(ROOT, name), os.X_OK)]


def snapshot(folder):
    files = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            with open(path, "rb") as file:
                files[os.path.relpath(path, folder)] = file.read()
    return files


class ToolHelp(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, scratch, True)
        # The tools and what their usage may read, in a copy of their own.
        self.root = os.path.join(scratch, "brimlane")
        for name in tools():
            os.makedirs(os.path.dirname(os.path.join(self.root, name)), exist_ok=True)
            shutil.copy2(os.path.join(ROOT, name), os.path.join(self.root, name))
        shutil.copy2(os.path.join(ROOT, "CMakePresets.json"), self.root)
        self.scratch = scratch
        self.env = help_environment(scratch)

    def test_every_tool_prints_its_usage_and_does_nothing_else(self):
        self.assertGreaterEqual(len(tools()), 8, tools())
        for name in tools():
            for option in ("--help", "-h"):
                with self.subTest(tool=name, option=option):
                    before = snapshot(self.root)
                    run = subprocess.run([os.path.join(self.root, name), option], env=self.env,
                                         cwd=self.root, capture_output=True, text=True, timeout=60)
                    calls = calls_made(self.scratch)
                    self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
                    self.assertIn("Usage: " + name, run.stdout)
                    self.assertEqual(calls, "", "asked for help, it ran these")
                    self.assertEqual(snapshot(self.root), before, "asked for help, it wrote files")
                    self.assertFalse(os.path.exists(os.path.join(self.env["HOME"], "cache")))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
