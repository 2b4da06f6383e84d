"""Headless Chromium for the page's tests and benchmarks: a local web server on
127.0.0.1 and a browser driven through the DevTools protocol over a pipe
(no WebSocket, no package beyond Python's own library)."""

import base64
import contextlib
import fcntl
import http.server
import json
import os
import queue
import shutil
import subprocess
import tempfile
import threading
import time
import urllib.parse

CONTENT_TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".wasm": "application/wasm",
    ".png": "image/png",
}


class Site:
    """Serves folders under URL prefixes ({"/": site, "/data/": folder}) on a
    free port of 127.0.0.1, in a thread, until closed."""

    def __init__(self, roots):
        roots = sorted(((prefix, os.path.abspath(folder)) for prefix, folder in roots.items()),
                       key=lambda item: -len(item[0]))

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
                for prefix, folder in roots:
                    if path.startswith(prefix):
                        name = os.path.normpath(os.path.join(folder, path[len(prefix):]))
                        if name.startswith(folder + os.sep) and os.path.isfile(name):
                            return self.send_file(name)
                self.send_error(404)

            def send_file(self, name):
                with open(name, "rb") as f:
                    body = f.read()
                self.send_response(200)
                kind = CONTENT_TYPES.get(os.path.splitext(name)[1], "application/octet-stream")
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class BrowserError(Exception):
    pass


def find_chromium():
    return shutil.which("chromium") or shutil.which("chromium-browser")


def _fd_above(fd, low):
    moved = fcntl.fcntl(fd, fcntl.F_DUPFD, low)
    os.close(fd)
    return moved


class Browser:
    """A headless Chromium with one page, from a fresh empty profile."""

    def __init__(self, width=1000, height=640, timeout=60):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="x91-chromium-")
        # Chromium reads commands from its fd 3 and answers on fd 4.
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()
        to_browser_read = _fd_above(to_browser_read, 10)
        from_browser_write = _fd_above(from_browser_write, 10)

        def child_fds():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        args = [
            find_chromium(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--remote-debugging-pipe", "--autoplay-policy=no-user-gesture-required",
            "--user-data-dir=" + self.profile, "--window-size=%d,%d" % (width, height),
            "about:blank",
        ]
        self.process = subprocess.Popen(args, pass_fds=(3, 4), preexec_fn=child_fds,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.next_id = 0
        self.replies = {}
        self.events = queue.Queue()
        self.arrived = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})[
            "sessionId"]
        for domain in ("Page", "Runtime"):
            self.call(domain + ".enable", session=self.session)

    def _read(self):
        pending = b""
        with os.fdopen(self.from_browser, "rb", buffering=0) as pipe:
            while True:
                data = pipe.read(1 << 16)
                if not data:
                    break
                pending += data
                *messages, pending = pending.split(b"\0")
                for raw in messages:
                    message = json.loads(raw)
                    with self.arrived:
                        if "id" in message:
                            self.replies[message["id"]] = message
                        else:
                            self.events.put(message)
                        self.arrived.notify_all()

    def call(self, method, params=None, session=None):
        self.next_id += 1
        command = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = session
        os.write(self.to_browser, json.dumps(command).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        with self.arrived:
            while self.next_id not in self.replies:
                left = deadline - time.monotonic()
                if left <= 0 or self.process.poll() is not None:
                    raise BrowserError("no answer to " + method)
                self.arrived.wait(left)
            reply = self.replies.pop(self.next_id)
        if "error" in reply:
            raise BrowserError("%s: %s" % (method, reply["error"].get("message")))
        return reply["result"]

    def page(self, method, params=None):
        return self.call(method, params, self.session)

    def open(self, url):
        """Loads url and waits for its load event."""
        while not self.events.empty():
            self.events.get_nowait()
        self.page("Page.navigate", {"url": url})
        deadline = time.monotonic() + self.timeout
        while time.monotonic() < deadline:
            with contextlib.suppress(queue.Empty):
                if self.events.get(timeout=0.5).get("method") == "Page.loadEventFired":
                    return
        raise BrowserError("the page did not load: " + url)

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page, promises awaited."""
        result = self.page("Runtime.evaluate", {
            "expression": expression, "awaitPromise": True, "returnByValue": True,
            "timeout": self.timeout * 1000})
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise BrowserError(details.get("exception", {}).get("description") or details["text"])
        return result["result"].get("value")

    def wait_for(self, expression, timeout=None):
        """Waits until a JavaScript expression is true in the page."""
        deadline = time.monotonic() + (timeout or self.timeout)
        while not self.evaluate(expression):
            if time.monotonic() > deadline:
                raise BrowserError("still false: " + expression)
            time.sleep(0.05)

    def set_files(self, selector, paths):
        """Chooses files in a file input, as a person picking them would."""
        document = self.page("DOM.getDocument")["root"]["nodeId"]
        node = self.page("DOM.querySelector", {"nodeId": document, "selector": selector})["nodeId"]
        self.page("DOM.setFileInputFiles", {"nodeId": node, "files": list(paths)})

    def screenshot(self):
        """The page as PNG bytes."""
        return base64.b64decode(self.page("Page.captureScreenshot", {"format": "png"})["data"])

    def close(self):
        with contextlib.suppress(BrowserError, OSError):
            self.call("Browser.close")
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_browser)
        shutil.rmtree(self.profile, ignore_errors=True)
