"""The applications of the compatibility table, each standing for a text
system people select text in.

The table is data: each entry says how the application is started with the
test text in it, how the text is selected, and how the run reads its text
back, which is never through the clipboard (the clipboard is what the host
works with). Adding an application is one entry in APPLICATIONS; the ways of
starting and reading live in targets.py.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Tuple

from .programs import FlutterTextField, ReportFile, SwingProgram, TerminalWindow
from .targets import AccessibilityText, Electron, OpenPage, PageReport, Reader, Starter, TextEditDocument


@dataclass(frozen=True)
class Application:
    name: str
    slug: str
    text_system: str
    start: Starter
    read: Reader
    # Command-A (by key code) once the application is in front; the entries
    # whose text is selected when they start do it all the same, since a
    # selection can be lost when the window comes forward.
    select_all: bool = True

    def cell_id(self, layout_slug: str) -> str:
        return f"cell:{self.slug}:{layout_slug}"


# Chrome and Firefox start with a profile of the run's own, so that neither a
# first-run page nor the user's session comes in the way.
_CHROME_ARGS = ("--no-first-run", "--no-default-browser-check", "--disable-features=Translate")
_FIREFOX_PREFS = {
    "browser.aboutwelcome.enabled": False,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "browser.tabs.warnOnClose": False,
}

APPLICATIONS: Tuple[Application, ...] = (
    Application("TextEdit", "textedit", "AppKit", TextEditDocument(), AccessibilityText()),
    Application(
        "Safari (textarea)", "safari-textarea", "WebKit",
        OpenPage("Safari", "textarea"), PageReport(),
    ),
    Application(
        "Safari (contenteditable)", "safari-contenteditable", "WebKit",
        OpenPage("Safari", "contenteditable"), PageReport(),
    ),
    Application(
        "Google Chrome", "chrome", "Blink",
        OpenPage("Google Chrome", "textarea", chrome_args=_CHROME_ARGS),
        PageReport(),
    ),
    Application(
        "Firefox", "firefox", "Gecko",
        OpenPage("Firefox", "textarea", firefox_prefs=_FIREFOX_PREFS),
        PageReport(),
    ),
    Application("Electron", "electron", "Electron", Electron("textarea"), PageReport()),
    Application("Java Swing", "swing", "Java Swing", SwingProgram(), ReportFile()),
    Application("Terminal", "terminal", "Terminal", TerminalWindow(), ReportFile()),
    Application("Flutter", "flutter", "Flutter", FlutterTextField(), ReportFile()),
)


def chosen(names: Tuple[str, ...]) -> Tuple[Application, ...]:
    """The applications named with --app (by name or by slug), or all."""
    if not names:
        return APPLICATIONS
    wanted = {name.lower() for name in names}
    return tuple(a for a in APPLICATIONS if a.slug in wanted or a.name.lower() in wanted)
