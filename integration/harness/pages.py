"""The run's web server on 127.0.0.1: it serves integration/apps/text_page.html
with the test text of each case filled in, and takes the page's reports of
its own text, which is how the run reads a browser's or Electron's text
without a clipboard."""

from __future__ import annotations

import json
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from typing import Any, Callable, Dict, List, Optional

from .jsonlines import JsonObject, parse_object

MARKER = "/*BRIMLANE_CONFIG*/null"


class PageServer:
    def __init__(self, page: Path, log: Path) -> None:
        self._template = page.read_text(encoding="utf-8")
        if self._template.count(MARKER) != 1:
            raise ValueError(f"{page.name} must hold {MARKER} exactly once")
        self._log = log
        self._texts: Dict[str, str] = {}
        self._reports: Dict[str, List[Dict[str, Any]]] = {}
        self._changed = threading.Condition()
        server = self

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self) -> None:
                server.get(self)

            def do_POST(self) -> None:
                server.post(self)

            def log_message(self, format: str, *args: Any) -> None:
                server.note(f"{self.address_string()} {format % args}")

        self._http = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self._thread = threading.Thread(target=self._http.serve_forever, daemon=True)
        self._thread.start()

    @property
    def port(self) -> int:
        return int(self._http.server_address[1])

    def close(self) -> None:
        self._http.shutdown()
        self._http.server_close()

    def note(self, line: str) -> None:
        with self._log.open("a", encoding="utf-8") as log:
            log.write(line + "\n")

    # --- Cases ---------------------------------------------------------------

    def add_case(self, case: str, text: str) -> None:
        with self._changed:
            self._texts[case] = text
            self._reports[case] = []

    def url(self, case: str, field: str) -> str:
        query = urllib.parse.urlencode({"field": field})
        return f"http://127.0.0.1:{self.port}/page/{urllib.parse.quote(case)}?{query}"

    def reports(self, case: str) -> List[Dict[str, Any]]:
        with self._changed:
            return list(self._reports.get(case, []))

    def wait_for(self, case: str, predicate: Callable[[JsonObject], bool], timeout: float) -> Optional[JsonObject]:
        """The first report of `case` for which `predicate` holds, waiting up
        to `timeout` seconds for it."""

        def found() -> Optional[Dict[str, Any]]:
            return next((r for r in self._reports.get(case, []) if predicate(r)), None)

        with self._changed:
            self._changed.wait_for(lambda: found() is not None, timeout)
            return found()

    # --- HTTP ----------------------------------------------------------------

    def config(self, case: str, field: str) -> Optional[Dict[str, str]]:
        if case not in self._texts or field not in ("textarea", "contenteditable"):
            return None
        return {"case": case, "field": field, "text": self._texts[case], "report": "/report"}

    def get(self, request: BaseHTTPRequestHandler) -> None:
        url = urllib.parse.urlsplit(request.path)
        field = urllib.parse.parse_qs(url.query).get("field", [""])[0]
        kind, _, case = url.path.lstrip("/").partition("/")
        config = self.config(urllib.parse.unquote(case), field)
        if config is None or kind not in ("page", "config"):
            self._answer(request, 404, "text/plain", b"no such case\n")
            return
        if kind == "config":
            self._answer(request, 200, "application/json", json.dumps(config).encode())
            return
        # The configuration sits in a script element, which "</" would end.
        literal = json.dumps(config).replace("</", "<\\/")
        self._answer(request, 200, "text/html; charset=utf-8", self._template.replace(MARKER, literal).encode())

    def post(self, request: BaseHTTPRequestHandler) -> None:
        length = int(request.headers.get("Content-Length") or 0)
        body = request.rfile.read(min(length, 10_000_000))
        report = parse_object(body.decode("utf-8", errors="replace"))
        case = report.get("case") if report is not None else None
        if report is None or not isinstance(case, str) or case not in self._texts:
            self._answer(request, 400, "text/plain", b"not a report of a known case\n")
            return
        with self._changed:
            self._reports[case].append(report)
            self._changed.notify_all()
        self.note(json.dumps(report, ensure_ascii=False))
        self._answer(request, 204, "text/plain", b"")

    @staticmethod
    def _answer(request: BaseHTTPRequestHandler, status: int, kind: str, body: bytes) -> None:
        request.send_response(status)
        request.send_header("Content-Type", kind)
        request.send_header("Content-Length", str(len(body)))
        # The pages post from their own origin; nothing else needs to reach them.
        request.send_header("Cache-Control", "no-store")
        request.end_headers()
        if body:
            request.wfile.write(body)
