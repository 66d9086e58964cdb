"""Starting and stopping `nocturnia serve` for the tests: on a free loopback
port, with the address and token read from what the server prints, stopped
by its process ID (a sanitizer's report in what it said fails the test).
Also a small client that sends requests as the page does."""

import http.client
import json
import os
import re
import signal
import subprocess
import threading
import time


class Server:
    def __init__(self, program, document=None, extra=(), threads=1, cwd=None):
        arguments = [program, "serve", "--port", "0", "--threads", str(threads)]
        if document:
            arguments.insert(2, document)
        arguments += list(extra)
        # A path that is not UTF-8 is printed with each such byte as U+DC80 +
        # byte, which "surrogatepass" reads back as that code point.
        self.process = subprocess.Popen(arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                        encoding="utf-8", errors="surrogatepass", cwd=cwd)
        self.stderr_lines = []
        self.stderr_reader = threading.Thread(target=self._collect_stderr, daemon=True)
        self.stderr_reader.start()
        self.url = None
        deadline = time.time() + 60
        while time.time() < deadline:
            line = self.process.stdout.readline()
            if not line:
                break
            found = re.search(r"open (http://[^/]+)/\?token=([0-9a-f]+)", line)
            if found:
                self.url, self.token = found.group(1), found.group(2)
                break
        if self.url is None:
            self.process.kill()
            raise RuntimeError("the server printed no address; stderr: " + "".join(self.stderr_lines))
        self.host, port = self.url[len("http://"):].rsplit(":", 1)
        self.port = int(port)
        threading.Thread(target=self.process.stdout.read, daemon=True).start()

    def _collect_stderr(self):
        for line in self.process.stderr:
            self.stderr_lines.append(line)

    def page_url(self):
        return f"{self.url}/?token={self.token}"

    def request(self, method, path, body=None, token=True, headers=None, raw=None, timeout=60):
        """Returns (status, parsed JSON or bytes)."""
        connection = http.client.HTTPConnection(self.host, self.port, timeout=timeout)
        sent = {"Host": f"{self.host}:{self.port}"}
        if token is True:
            sent["X-Nocturnia-Token"] = self.token
        elif token:
            sent["X-Nocturnia-Token"] = token
        sent.update(headers or {})
        payload = raw if raw is not None else (json.dumps(body).encode() if body is not None else None)
        if payload is not None:
            sent["Content-Type"] = "application/json"
        connection.request(method, path, body=payload, headers=sent)
        response = connection.getresponse()
        data = response.read()
        connection.close()
        if response.getheader("Content-Type", "").startswith("application/json"):
            return response.status, json.loads(data)
        return response.status, data

    def preview(self):
        """(the frame number the server gives it, the PNG bytes) of the latest preview image."""
        connection = http.client.HTTPConnection(self.host, self.port, timeout=60)
        connection.request("GET", "/api/preview", headers={"Host": f"{self.host}:{self.port}",
                                                           "X-Nocturnia-Token": self.token})
        response = connection.getresponse()
        data = response.read()
        connection.close()
        assert response.status == 200, data
        return int(response.getheader("X-Frame")), data

    def state(self):
        status, state = self.request("GET", "/api/state")
        assert status == 200, state
        return state

    def interrupt(self, timeout=10):
        """Ctrl-C; returns the exit status."""
        self.process.send_signal(signal.SIGINT)
        return self.process.wait(timeout=timeout)

    def stop(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
                self.process.wait()
        self.stderr_reader.join(timeout=10)
        said = "".join(self.stderr_lines)
        if "Sanitizer" in said and ("ERROR:" in said or "WARNING:" in said):
            raise AssertionError("the server's sanitizer reported:\n" + said)


def entry_named(state, name, parent_name=None):
    groups = {e["id"]: e["name"] for e in state["entries"] if e["kind"] == "group"}
    for entry in state["entries"]:
        if entry["name"] == name and (parent_name is None or groups.get(entry["parent"]) == parent_name):
            return entry
    raise KeyError(name)
