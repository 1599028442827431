"""The Accessibility trust, written into the system's privacy database on a
runner whose System Integrity Protection is off (hosted macOS runners: see
docs/MACOS.md), made visible to the privacy daemon, and read back.

The rows go in with SQL parameters through Python's sqlite3, in a process of
this same file run as root with `sudo -n`: nothing about a row is pasted into
a statement. Columns are named, so the statement fits the table of macOS 11
to 13 and the one of 14 and later, whose four added columns have defaults.

    trust.py grant DB ROWS_JSON     (as root) writes the rows
    trust.py read DB CLIENT...      (as root) prints the rows of those clients
"""

from __future__ import annotations

import json
import os
import sqlite3
import sys
import tempfile
from pathlib import Path
from typing import Any, Dict, List, Sequence

SYSTEM_DATABASE = "/Library/Application Support/com.apple.TCC/TCC.db"
# The harness's own tests point it at a database of their own.
DATABASE_VARIABLE = "BRIMLANE_TCC_DB"

ALLOWED = 2
# What System Settings writes for a switch the user turned on.
AUTH_REASON_USER_SET = 4

GRANT = (
    "INSERT OR REPLACE INTO access (service, client, client_type, auth_value, auth_reason, "
    "auth_version, csreq, flags, last_modified) "
    "VALUES (:service, :client, :client_type, :auth_value, :auth_reason, 1, :csreq, 0, "
    "CAST(strftime('%s', 'now') AS INTEGER))"
)
READ = (
    "SELECT service, client, client_type, auth_value, auth_reason, hex(csreq), last_modified "
    "FROM access WHERE client = ? ORDER BY service, client_type"
)


def database() -> str:
    return os.environ.get(DATABASE_VARIABLE) or SYSTEM_DATABASE


def rows_for(bundle_id: str, executable: str, csreq_hex: str, witness: str) -> List[Dict[str, Any]]:
    """The host by bundle identifier (client type 0) and, in case the system
    looks the process up by path, by executable (client type 1): allowed to
    use Accessibility and to post events, as the Accessibility switch does.
    The key witness by path: allowed to listen to events (Input Monitoring)
    and to use Accessibility, whichever tap it chooses."""
    rows: List[Dict[str, Any]] = []
    for service in ("kTCCServiceAccessibility", "kTCCServicePostEvent"):
        for client, client_type in ((bundle_id, 0), (executable, 1)):
            rows.append({"service": service, "client": client, "client_type": client_type, "csreq": csreq_hex})
    for service in ("kTCCServiceListenEvent", "kTCCServiceAccessibility"):
        rows.append({"service": service, "client": witness, "client_type": 1, "csreq": ""})
    return rows


def grant(db: str, rows: Sequence[Dict[str, Any]]) -> Dict[str, Any]:
    # tccd holds the database open; a busy database is waited for.
    with sqlite3.connect(db, timeout=10) as connection:
        for row in rows:
            connection.execute(
                GRANT,
                {
                    "service": row["service"],
                    "client": row["client"],
                    "client_type": row["client_type"],
                    "auth_value": ALLOWED,
                    "auth_reason": AUTH_REASON_USER_SET,
                    "csreq": bytes.fromhex(row["csreq"]) if row.get("csreq") else None,
                },
            )
    return {"ok": True, "written": len(rows)}


def read(db: str, clients: Sequence[str]) -> Dict[str, Any]:
    with sqlite3.connect(f"file:{db}?mode=ro", uri=True, timeout=10) as connection:
        found: List[Dict[str, Any]] = []
        for client in clients:
            for service, name, client_type, auth_value, auth_reason, csreq, modified in connection.execute(READ, (client,)):
                found.append({
                    "service": service, "client": name, "client_type": client_type, "auth_value": auth_value,
                    "auth_reason": auth_reason, "csreq": csreq, "last_modified": modified,
                })
        columns = [row[1] for row in connection.execute("PRAGMA table_info(access)")]
    return {"ok": True, "rows": found, "columns": columns}


def main(arguments: List[str]) -> int:
    try:
        if len(arguments) == 3 and arguments[0] == "grant":
            answer = grant(arguments[1], json.loads(Path(arguments[2]).read_text(encoding="utf-8")))
        elif len(arguments) >= 2 and arguments[0] == "read":
            answer = read(arguments[1], arguments[2:])
        else:
            print("usage: trust.py grant DB ROWS_JSON | read DB CLIENT...", file=sys.stderr)
            return 2
    except (sqlite3.Error, OSError, ValueError, KeyError) as error:
        print(json.dumps({"ok": False, "reason": f"{type(error).__name__}: {error}"}))
        return 1
    print(json.dumps(answer))
    return 0


def write_rows(rows: Sequence[Dict[str, Any]]) -> Path:
    """The rows in a file the root process can read."""
    handle, name = tempfile.mkstemp(prefix="brimlane-tcc-", suffix=".json")
    with os.fdopen(handle, "w", encoding="utf-8") as file:
        json.dump(list(rows), file)
    os.chmod(name, 0o644)
    return Path(name)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
