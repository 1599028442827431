"""The environment in which the tests ask the repository's tools for --help:
the plain utilities a usage text needs, and, for every package manager,
compiler and build tool, a stand-in that records its call and fails. A tool
that installs or builds anything when asked for help is caught by the record,
and cannot do it."""
import os
import shutil

# What asking for help must never reach.
FORBIDDEN = ["apt", "apt-get", "dpkg", "dpkg-query", "sudo", "npm", "npx", "node", "brew",
             "pip", "pip3", "gem", "pod", "curl", "wget", "cmake", "ctest", "ninja", "make",
             "cc", "c++", "gcc", "g++", "clang", "clang++", "flutter", "xcrun", "xcodebuild",
             "codesign", "shellcheck", "git"]
# The utilities a tool may use to print its usage.
UTILITIES = ["bash", "sh", "env", "python3", "sed", "awk", "cat", "dirname", "basename", "grep",
             "head", "tail", "tr", "date", "id", "uname", "mktemp", "rm", "mkdir", "cp", "find",
             "sort", "wc", "cmp", "od", "printf", "echo", "test", "true", "false"]


def help_environment(scratch: str) -> dict:
    """Makes the stand-ins and the utilities' folder in SCRATCH and returns
    the environment to run a tool in; SCRATCH/calls records what was reached."""
    stubs = os.path.join(scratch, "stubs")
    system = os.path.join(scratch, "system")
    os.makedirs(stubs, exist_ok=True)
    os.makedirs(system, exist_ok=True)
    calls = os.path.join(scratch, "calls")
    for name in FORBIDDEN:
        path = os.path.join(stubs, name)
        with open(path, "w") as file:
            file.write('#!/bin/sh\necho "%s $*" >>"%s"\nexit 1\n' % (name, calls))
        os.chmod(path, 0o755)
    for name in UTILITIES:
        found = shutil.which(name)
        if found and not os.path.exists(os.path.join(system, name)):
            os.symlink(found, os.path.join(system, name))
    return {"PATH": stubs + os.pathsep + system, "HOME": scratch,
            "XDG_CACHE_HOME": os.path.join(scratch, "cache"), "LANG": "C.UTF-8"}


def calls_made(scratch: str) -> str:
    """What the stand-ins were asked since the last look, and forgets it."""
    path = os.path.join(scratch, "calls")
    if not os.path.exists(path):
        return ""
    with open(path) as file:
        calls = file.read()
    os.remove(path)
    return calls
