"""The trust case: the host's Accessibility trust written into the privacy
database (trust.py, run as root), the privacy daemon made to see it, and the
rows read back into the diagnostics.

tccd keeps what it has read; a row written behind its back counts once a
fresh tccd reads the database, so the run ends the daemons (`killall tccd`)
and launchd starts them again on the next question. Hosted-runner projects
do the same after seeding the database: LadybirdBrowser/ladybird#9156 and
appium/appium-mac2-driver#413 grant Accessibility this way on GitHub's macOS
images, where System Integrity Protection is off.
"""

from __future__ import annotations

import json
import sys
from pathlib import Path
from typing import Optional, Tuple

from . import processes, trust
from .jsonlines import JsonObject, as_list, as_object, last_object
from .context import BUNDLE_ID, Context
from .report import Outcome, failed, passed


def designated_requirement(ctx: Context) -> Tuple[str, str]:
    """The application's designated requirement compiled with csreq, as hex;
    for an ad hoc signature it is the code directory hash, so the grant holds
    for exactly this build. Returns it, or "" and why not."""
    shown = processes.run(["codesign", "--display", "--requirements", "-", ctx.paths.app], timeout=ctx.timing.quick_command)
    requirement = ""
    for line in (shown.stdout + shown.stderr).splitlines():
        line = line.lstrip("# ").strip()
        if line.startswith("designated =>"):
            requirement = line[len("designated =>"):].strip()
    if not requirement:
        return "", f"no designated requirement: {shown.describe()}"
    compiled = ctx.log("designated-requirement.bin")
    made = processes.run(["csreq", "-r-", "-b", compiled], timeout=ctx.timing.quick_command, input=requirement + "\n")
    if not made.ok or not compiled.exists():
        return "", f"csreq could not compile {requirement!r}: {made.describe()}"
    return compiled.read_bytes().hex(), ""


def _as_root(ctx: Context, *arguments: str) -> Tuple[Optional[JsonObject], str]:
    result = processes.run(
        ["sudo", "-n", sys.executable, Path(trust.__file__).resolve(), *arguments],
        timeout=ctx.timing.quick_command,
    )
    answer = last_object(result.stdout)
    if answer is None or answer.get("ok") is not True:
        said = answer.get("reason") if answer is not None else None
        return None, str(said or result.describe())
    return answer, ""


def grant(ctx: Context) -> Outcome:
    if not processes.run(["sudo", "-n", "true"], timeout=ctx.timing.quick_command).ok:
        return failed("--grant-trust needs sudo without a password")
    csreq, why = designated_requirement(ctx)
    if not csreq:
        return failed(why)
    db = trust.database()
    witness = str(ctx.paths.tool("key-witness"))
    rows = trust.rows_for(BUNDLE_ID, str(ctx.paths.executable), csreq, witness)
    rows_file = trust.write_rows(rows)
    try:
        _, why = _as_root(ctx, "grant", db, str(rows_file))
    finally:
        rows_file.unlink(missing_ok=True)
    if why:
        return failed(f"the rows were not written: {why}")
    restarted = processes.run(["sudo", "-n", "killall", "tccd"], timeout=ctx.timing.quick_command)
    # launchd starts tccd again when the next process asks it something.
    processes.pause(2 * ctx.timing.activation_settle)
    answer, why = _as_root(ctx, "read", db, BUNDLE_ID, str(ctx.paths.executable), witness)
    if answer is None:
        return failed(f"the rows could not be read back: {why}")
    found = [as_object(row) for row in as_list(answer.get("rows"))]
    ctx.log("tcc-rows.json").write_text(json.dumps(answer, indent=2), encoding="utf-8")
    wanted = {(r["service"], r["client"], r["client_type"]) for r in rows}
    allowed = {(r["service"], r["client"], r["client_type"]) for r in found if r.get("auth_value") == trust.ALLOWED}
    missing = sorted(wanted - allowed)
    if missing:
        return failed(f"read back without {len(missing)} of the rows, e.g. {missing[0]}; see tcc-rows.json")
    daemon = "tccd restarted" if restarted.ok else f"killall tccd: {restarted.describe()}"
    return passed(f"{len(rows)} rows written and read back ({daemon}); see tcc-rows.json")
