#!/usr/bin/env python3
"""Every path and command that README.md, docs/ARCHITECTURE.md,
docs/MACOS.md and docs/COMPATIBILITY.md name exists, read from the documents as they are at test time:
each file and folder of this repository in a code span or a code block, and
each option given to one of the repository's tools, which that tool's --help
must offer. A renamed file, tool or option fails here with the document, the
line and the path.

What is checked, and what is not:
- a word whose first component is a top-level file or folder of the
  repository (app/, tools/, docs/MACOS.md, .github/ …) is a path in it and
  must exist; `*` and `{a,b}` are expanded, and a trailing / asks for a
  folder. What git ignores (build output, generated runner folders) is made
  by a run and is not checked;
- Runner/… names a file of a Flutter project's runner folder: it must be
  among the runner files (macos/runner/Runner), the hand-written runner
  (tests/fixtures/flutter_macos_runner/Runner), or be written by
  tools/adopt-runner. A macos/… path that is not this repository's names
  the same folder in a Flutter project;
- the first word of a command that is an executable of the repository is a
  tool, and every --option after it must be in its --help; `cmake --preset`,
  `cmake --build --preset` and `ctest --preset` must name a preset of
  CMakePresets.json;
- anything else (Flutter's files, paths on a Mac, placeholders such as
  path/to/my_ui) is not this repository's and is left alone.

Usage: docs_test.py REPOSITORY
"""
import functools
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

from help_sandbox import help_environment

ROOT = os.path.realpath(sys.argv[1])
DOCUMENTS = ["README.md", os.path.join("docs", "ARCHITECTURE.md"), os.path.join("docs", "MACOS.md"),
             os.path.join("docs", "COMPATIBILITY.md")]
FLUTTER_RUNNER = os.path.join(ROOT, "tests", "fixtures", "flutter_macos_runner")
# What a Flutter project's macos/ folder holds besides the hand-written
# runner's files: made by CocoaPods and by tools/adopt-runner.
FLUTTER_RUNNER_MADE = {"Runner.xcworkspace", "Pods", "Podfile.lock", ".brimlane-backup"}


def ignored(path):
    """Whether git ignores PATH (relative to the repository), as a file or as
    a folder: output of a build or a run, which a fresh clone does not have."""
    path = path.rstrip("/")
    run = subprocess.run(["git", "-C", ROOT, "check-ignore", "--no-index", path, path + "/"],
                         capture_output=True, timeout=30)
    return run.returncode == 0


@functools.lru_cache(maxsize=None)
def top_level():
    return {name for name in os.listdir(ROOT) if name != ".git" and not ignored(name)}


def code(document):
    """(line, text) for every inline code span and every line of a fenced
    code block of DOCUMENT; a span broken over lines is joined by a space."""
    with open(os.path.join(ROOT, document), encoding="utf-8") as file:
        lines = file.read().split("\n")
    found = []
    fenced = False
    prose = []
    for number, line in enumerate(lines, 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            prose.append("")
            continue
        if fenced:
            # A shell comment after a command is not part of it.
            found.append((number, re.sub(r"\s+#\s.*$", "", line)))
            prose.append("")
        else:
            prose.append(line)
    text = "\n".join(prose)
    for match in re.finditer(r"(`+)(.+?)\1", text, re.S):
        found.append((text.count("\n", 0, match.start()) + 1, " ".join(match.group(2).split())))
    return sorted(found)


def expansions(word):
    """WORD with each {a,b} expanded."""
    match = re.search(r"\{([^{}]*)\}", word)
    if not match:
        return [word]
    return [expanded for choice in match.group(1).split(",")
            for expanded in expansions(word[:match.start()] + choice + word[match.end():])]


def exists(path):
    folder = path.endswith("/")
    full = os.path.join(ROOT, path.rstrip("/"))
    matches = glob.glob(full) if "*" in path else ([full] if os.path.lexists(full) else [])
    return any(os.path.isdir(match) or not folder for match in matches)


def problem_with_path(word):
    """What is wrong with WORD as a path of this repository or of a Flutter
    runner, or None (also for a word that is neither)."""
    word = word.strip("()[],;:'\"").rstrip(".")
    if "/" not in word or "…" in word or "..." in word or "<" in word or "=" in word:
        return None
    first = word.split("/", 1)[0]
    for path in expansions(word):
        if first == "Runner":
            if not (exists("macos/runner/" + path)
                    or exists(os.path.relpath(os.path.join(FLUTTER_RUNNER, path), ROOT))
                    or path.rstrip("/") in read("tools/adopt-runner")):
                return f"{path} is neither a runner file nor written by tools/adopt-runner"
        elif first in top_level():
            if exists(path) or ignored(path.replace("*", "x")):
                continue
            parts = path.split("/")
            if first == "macos" and len(parts) > 1 and (
                    parts[1] in FLUTTER_RUNNER_MADE or os.path.lexists(os.path.join(FLUTTER_RUNNER, parts[1]))):
                continue  # a Flutter project's macos/ folder
            return f"{path} does not exist"
    return None


@functools.lru_cache(maxsize=None)
def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        return file.read()


@functools.lru_cache(maxsize=None)
def options_of(tool):
    """The options TOOL's --help names, asked where it can install and build
    nothing; None when it does not answer."""
    scratch = tempfile.mkdtemp()
    try:
        run = subprocess.run([os.path.join(ROOT, tool), "--help"], capture_output=True, text=True,
                             timeout=60, cwd=scratch, env=help_environment(scratch))
    finally:
        shutil.rmtree(scratch, True)
    if run.returncode != 0:
        return None
    return set(re.findall(r"--[A-Za-z][A-Za-z0-9-]*", run.stdout)) | {"--help"}


@functools.lru_cache(maxsize=None)
def presets():
    with open(os.path.join(ROOT, "CMakePresets.json"), encoding="utf-8") as file:
        data = json.load(file)
    return {preset["name"] for kind in ("configurePresets", "buildPresets", "testPresets")
            for preset in data.get(kind, [])}


def problems_with_command(words):
    """What is wrong with the command WORDS (environment assignments first)."""
    while words and re.match(r"^[A-Z_][A-Z0-9_]*=", words[0]):
        words = words[1:]
    if not words:
        return []
    tool = words[0]
    problems = []
    if tool in ("cmake", "ctest"):
        for index, word in enumerate(words[:-1]):
            if word == "--preset" and words[index + 1] not in presets():
                problems.append(f"{words[index + 1]} is not a preset of CMakePresets.json")
        return problems
    path = os.path.join(ROOT, tool)
    if "/" not in tool or tool.split("/", 1)[0] not in top_level() or not os.path.isfile(path) \
            or not os.access(path, os.X_OK):
        return []
    options = [word.split("=", 1)[0] for word in words[1:] if re.match(r"^--[A-Za-z]", word)]
    if not options:
        return []
    offered = options_of(tool)
    if offered is None:
        return [f"{tool} --help does not answer"]
    return [f"{tool} --help offers no {option}" for option in options if option not in offered]


class Documents(unittest.TestCase):
    def test_every_path_and_command_named_exists(self):
        problems = []
        for document in DOCUMENTS:
            for line, text in code(document):
                found = [problem_with_path(word) for word in text.split()]
                found += problems_with_command(text.split())
                problems += [f"{document}:{line}: `{text}`: {problem}" for problem in found if problem]
        self.assertEqual(problems, [], "\n" + "\n".join(problems))

    def test_the_checks_catch_what_they_are_for(self):
        # Each kind of mistake, as a document could make it.
        self.assertIsNone(problem_with_path("app/textio/paste_back.cc"))
        self.assertIsNotNone(problem_with_path("app/textio/paste_bak.cc"))
        self.assertIsNotNone(problem_with_path("sim/SimDesktop"))
        self.assertIsNone(problem_with_path("app/app_delegate.{h,cc}"))
        self.assertIsNotNone(problem_with_path("app/app_delegate.{h,cpp}"))
        self.assertIsNone(problem_with_path("tests/*_test.py"))
        self.assertIsNotNone(problem_with_path("tests/*_test.rb"))
        self.assertIsNotNone(problem_with_path("README.md/"))
        self.assertIsNone(problem_with_path("Runner/Configs/Brimlane.xcconfig"))
        self.assertIsNone(problem_with_path("Runner/Configs/Brimlane.local.xcconfig"))
        self.assertIsNotNone(problem_with_path("Runner/Configs/Other.xcconfig"))
        self.assertIsNone(problem_with_path("path/to/my_ui/build"))
        self.assertEqual(problems_with_command(["tools/release", "PROJECT", "--no-notarize"]), [])
        self.assertEqual(problems_with_command(["tools/release", "--notarise"]),
                         ["tools/release --help offers no --notarise"])
        self.assertEqual(problems_with_command(["ctest", "--preset", "release"]),
                         ["release is not a preset of CMakePresets.json"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
