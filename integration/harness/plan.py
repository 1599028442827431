"""Every case of a run, in the order they run, planned before the first one
starts so that the table is whole however the run ends."""

from __future__ import annotations

from functools import partial
from typing import List

from . import build, cells, diagnostics, hot_reload, host, layouts, privacy, target_cases, witness
from .applications import chosen
from .cases import Case
from .context import Options

# The layouts of the compatibility table, and the one more under which the
# run checks only the keys the host uses: "Dvorak - QWERTY Command" types
# Dvorak but switches to QWERTY while Command is held, so there the Command
# keys are where they are in US while the letters are not.
TABLE_LAYOUTS = (layouts.US, layouts.DVORAK)
KEYS_ONLY_LAYOUTS = (layouts.DVORAK_QWERTY_COMMAND,)

DESKTOP = ("trusted", "tools")


def plan(options: Options) -> List[Case]:
    cases: List[Case] = [
        Case("runner", "the integration UI made Brimlane's runner", build.runner),
        Case("ui-lock", "the UI's plug-ins at the versions of its pubspec.lock", build.ui_lock, ("runner",)),
        Case("libraries", "the host's libraries built (Debug, universal)", build.libraries),
        Case("app", "flutter build macos --debug", build.application, ("runner", "libraries")),
        Case("plugin-route", "the way the plug-ins came into the build", build.plugin_route, ("app",)),
        Case("signature", "codesign --verify --deep --strict", build.signature, ("app",)),
        Case("app-delegate-once", "AppDelegate defined in one image only", build.delegate_once, ("app",)),
        Case("mac-tests", "ctest -L mac", build.mac_tests, ("libraries",)),
        Case("tools", "the run's own tools built", build.tools),
        Case("build:electron", "the Electron app built with npm", build.electron),
        Case("build:text-field-app", "the Flutter TextField app built", build.text_field_app),
    ]
    if options.grant_trust:
        cases.append(Case("trust", "the Accessibility trust written and read back", privacy.grant, ("app",)))
    cases += [
        Case("host", "the host started", host.start, ("app",)),
        Case("ui-ready", "the UI made every start-up call", host.ui_ready, ("host",)),
        Case("registrant", "plug-ins registered by the generated registrant", host.registrant, ("ui-ready",)),
    ]
    cases += [Case(f"plugin:{p}", f"plug-in {p} answered", partial(host.plugin, package=p), ("ui-ready",)) for p in host.PLUGINS]
    cases.append(Case("trusted", "Brimlane trusted for Accessibility", host.trusted, ("ui-ready",)))
    for channel, method, _, _ in host.EXPECTED_ANSWERS:
        name = channel.rsplit("/", 1)[-1]
        cases.append(Case(f"answer:{name}/{method}", f"{name} {method} answered as it must",
                          partial(host.answer_case, channel=channel, method=method), ("ui-ready",)))
    cases.append(Case("witness", "the key witness sees the control keystroke", witness.start, ("tools",)))

    applications = chosen(options.applications)
    needs_of = {"electron": ("build:electron",), "flutter": ("build:text-field-app",)}
    for layout in TABLE_LAYOUTS + KEYS_ONLY_LAYOUTS:
        select = f"layout:{layout.slug}"
        cases.append(Case(select, f"{layout.name} selected", partial(layouts.select, layout=layout), DESKTOP,
                          layout=layout.name))
        cases.append(Case(f"keys:{layout.slug}", f"the host's Command keys under {layout.name}",
                          partial(target_cases.keys_case, layout=layout), DESKTOP + (select,), layout=layout.name))
        if layout in KEYS_ONLY_LAYOUTS:
            continue
        for application in applications:
            cases.append(Case(
                application.cell_id(layout.slug), f"capture and paste in {application.name} under {layout.name}",
                partial(cells.run_cell, application=application, layout=layout),
                DESKTOP + (select,) + needs_of.get(application.slug, ()),
                application=application.name, layout=layout.name, text_system=application.text_system,
            ))
    cases += [
        Case("layout:put-back", "the user's input source put back", layouts.put_back, ("tools",)),
        Case("quit-target", "a target that quits before the paste's Command-V", target_cases.quit_case, DESKTOP),
        Case("host-running", "the host still running at the end", host.still_running, ("host",)),
    ]
    # Ended before the hot reload, which starts the application again.
    cases.append(Case("host-ended", "the host ended", host.end_case, ("host",)))
    if options.hot_reload_by > 0:
        cases += [
            Case("hot-reload:started", "flutter run --machine started the app", hot_reload.started, ("app",)),
            Case("hot-reload:reload", "app.restart answered code 0", hot_reload.reload, ("hot-reload:started",)),
            Case("hot-reload:new-code", "the new text, from the same process", hot_reload.new_code, ("hot-reload:reload",)),
            Case("hot-reload:stop", "app.stop ended the app", hot_reload.stop, ("hot-reload:started",)),
        ]
    cases.append(Case("crash-reports", "no crash report of the host", diagnostics.crash_reports))
    return cases
