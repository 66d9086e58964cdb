"""`nocturnia serve`'s API against bad input: each request in the table is
refused with its status and a message saying why, the document stays as it
was, and the server keeps answering; Save As over a file it cannot read
says it exists and leaves it be. Then the good path the page takes: a
change, its undo, a save that writes what `edit --set` writes, a second server
on a taken port, and Ctrl-C with unsaved changes. The colours the page paints:
gradient strips blended as the shader blends, picked display codes stored as
linear values that show as those codes on every display. Last, a document whose name
is not UTF-8: the server starts, names it so that os.fsencode gives the bytes
back, and saves it in place."""

import argparse
import filecmp
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from serve_harness import Server, entry_named


def unreadable_files(folder):
    """Paths Save As cannot read, but must not replace unasked: (what, path)."""
    too_big = os.path.join(folder, "too-big.json")
    with open(too_big, "wb") as out:
        out.truncate(300 << 20)  # sparse, and past the largest document the program reads
    fifo = os.path.join(folder, "fifo.json")
    os.mkfifo(fifo)
    files = [("a file too large to read", too_big), ("a FIFO", fifo)]
    if os.geteuid() != 0:  # root reads any file
        locked = os.path.join(folder, "locked.json")
        shutil.copy(os.path.join(folder, "original.json"), locked)
        os.chmod(locked, 0)
        files.append(("a file without permission to read", locked))
    return files


def bad_requests(server, state, folder):
    gamma = entry_named(state, "Gamma")
    limited = next(e for e in state["entries"] if e["kind"] == "real" and "max" in e and e["editable"]
                   and not e["hidden"] and e["unit"] == "real")
    greyed = next(e for e in state["entries"] if e["kind"] != "group" and not e["editable"])
    greyed_call = ("/api/press", {"id": greyed["id"]}) if greyed["kind"] == "button" else \
        ("/api/set", {"id": greyed["id"], "value": "1"})
    host = f"{server.host}:{server.port}"
    return [
        # (what, method, path, body or raw bytes, extra arguments, status, words in the message)
        ("no token", "GET", "/api/state", None, {"token": None}, 403, "no token"),
        ("wrong token", "GET", "/api/state", None, {"token": "0" * 32}, 403, "wrong token"),
        ("token of another length", "POST", "/api/undo", {}, {"token": "abc"}, 403, "wrong token"),
        ("page without token", "GET", "/", None, {"token": None}, 403, "no token"),
        ("rebinding Host", "GET", "/api/state", None, {"headers": {"Host": f"evil.example:{server.port}"}}, 403,
         "Host"),
        ("Host of another port", "GET", "/api/state", None, {"headers": {"Host": "127.0.0.1:1"}}, 403, "port"),
        ("cross-site Origin", "POST", "/api/set", {"id": gamma["id"], "value": "2"},
         {"headers": {"Origin": "http://evil.example"}}, 403, "not accepted"),
        ("malformed JSON", "POST", "/api/set", b'{"id": 5, "value": ', {}, 400, "not valid JSON"),
        ("JSON that is no object", "POST", "/api/set", b"[1, 2]", {}, 400, "JSON object"),
        ("missing id", "POST", "/api/set", {"value": "1"}, {}, 400, "\"id\""),
        ("id of the wrong type", "POST", "/api/set", {"id": "Gamma", "value": "1"}, {}, 400, "\"id\""),
        ("missing value", "POST", "/api/set", {"id": gamma["id"]}, {}, 400, "\"value\""),
        ("unknown ID", "POST", "/api/set", {"id": 987654, "value": "1"}, {}, 404, "987654"),
        ("value of the wrong type", "POST", "/api/set", {"id": gamma["id"], "value": "bright"}, {}, 400, "Gamma"),
        ("value that is no text", "POST", "/api/set", {"id": gamma["id"], "value": 2.2}, {}, 400, "text"),
        ("value above the maximum", "POST", "/api/set", {"id": limited["id"], "value": str(limited["max"] * 2 + 1)},
         {}, 400, limited["name"]),
        ("press of no button", "POST", "/api/press", {"id": gamma["id"]}, {}, 400, "not a button"),
        ("greyed-out entry", "POST", greyed_call[0], greyed_call[1], {}, 409, "greyed out"),
        ("nothing to undo", "POST", "/api/undo", {}, {}, 409, "nothing to undo"),
        ("save under a name taken", "POST", "/api/save", {"path": os.path.abspath(__file__)}, {}, 409,
         "already exists"),
    ] + [
        (f"save over {what}", "POST", "/api/save", {"path": path}, {}, 409, "already exists")
        for what, path in unreadable_files(folder)
    ] + [
        ("body over 1 MB", "POST", "/api/set", b'{"id": 1, "value": "' + b"1" * (1024 * 1024 + 10) + b'"}', {}, 413,
         "1 MB"),
        ("unknown call", "GET", "/api/nothing", None, {}, 404, "no such"),
        ("a file outside the page", "GET", "/../../etc/passwd", None, {}, 404, ""),
        ("a source file", "GET", "/page.html", None, {}, 404, ""),
        ("bad wait version", "GET", "/api/wait?version=x", None, {}, 400, "whole number"),
        ("frame that is no number", "POST", "/api/frame", {"frame": "ten"}, {}, 400, "\"frame\""),
        ("key on a gradient", "POST", "/api/key",
         {"id": next(e["id"] for e in state["entries"] if e["kind"] == "gradient"), "value": None}, {}, 400,
         "cannot be keyed"),
        ("unkey without a track", "POST", "/api/unkey", {"id": gamma["id"]}, {}, 400, "has no track"),
        ("unknown render setting", "POST", "/api/render", {"key": "widht", "value": "2"}, {}, 400,
         "did you mean \"width\""),
        ("frame rate of zero", "POST", "/api/render", {"key": "fps", "value": "0"}, {}, 400, "positive number"),
        ("mask that is not there", "POST", "/api/mask", {"action": "remove", "index": 7}, {}, 404, "no mask 7"),
        ("unknown mask action", "POST", "/api/mask", {"action": "paint"}, {}, 400, "\"action\""),
        ("mask of an unknown kind", "POST", "/api/mask", {"action": "add", "kind": "noise"}, {}, 400,
         "unknown mask kind"),
        ("picked colour that is no #rrggbb", "POST", "/api/linear", {"display": "#12g456"}, {}, 400, "#rrggbb"),
        ("display without a view", "POST", "/api/display", {"display": "sRGB"}, {}, 400, "\"view\""),
    ] + ([
        ("unknown display", "POST", "/api/display", {"display": "Nowhere", "view": "x"}, {}, 400,
         "no display Nowhere"),
        ("view the display has not", "POST", "/api/display",
         {"display": state["color"]["display"], "view": "Nowhere"}, {}, 400, "no view Nowhere"),
    ] if state["color"]["offered"] else []), host


def run_table(server, folder):
    state = server.state()
    cases, _ = bad_requests(server, state, folder)
    files = {body["path"]: os.lstat(body["path"]) for _, _, call, body, *_ in cases if call == "/api/save"}
    failures = []
    for what, method, path, body, extra, status, words in cases:
        raw = body if isinstance(body, bytes) else None
        got_status, reply = server.request(method, path, body=None if raw is not None else body, raw=raw,
                                           token=extra.get("token", True) if "token" in extra else True,
                                           headers=extra.get("headers"))
        message = reply.get("error", "") if isinstance(reply, dict) else ""
        if got_status != status or not message or words not in message:
            failures.append(f"{what}: got {got_status} {reply!r:.200}, expected {status} with \"{words}\"")
        after = server.state()
        if after["version"] != state["version"] or after["entries"] != state["entries"]:
            failures.append(f"{what}: the document changed")
    for path, before in files.items():
        now = os.lstat(path)
        if (now.st_ino, now.st_mode, now.st_size, now.st_mtime_ns) != \
                (before.st_ino, before.st_mode, before.st_size, before.st_mtime_ns):
            failures.append(f"{path} was replaced by a Save As that was refused")
    return failures


def good_path(server, program, document, folder):
    failures = []
    state = server.state()
    gamma = entry_named(state, "Gamma")
    status, reply = server.request("POST", "/api/set", {"id": gamma["id"], "value": "1.7"})
    if status != 200 or entry_named(reply["state"], "Gamma")["value"] != {"real": 1.7}:
        failures.append(f"setting Gamma: {status} {reply!r:.200}")
    # Another tab waiting for news hears of the undo at once.
    heard = {}
    version = reply["state"]["version"]
    frame = server.request("GET", f"/api/wait?version={version}&frame=0")[1]["frame"]["number"]
    waiter = threading.Thread(target=lambda: heard.update(
        server.request("GET", f"/api/wait?version={version}&frame={frame + 1000}")[1]))
    started = time.time()
    waiter.start()
    status, reply = server.request("POST", "/api/undo", {})
    if status != 200 or entry_named(reply["state"], "Gamma")["value"] != gamma["value"]:
        failures.append(f"undoing: {status} {reply!r:.200}")
    waiter.join()
    if heard.get("version") != reply["state"]["version"] or time.time() - started > 10:
        failures.append(f"a waiting tab heard {heard!r} after {time.time() - started:.1f} s")
    server.request("POST", "/api/set", {"id": gamma["id"], "value": "1.7"})
    status, reply = server.request("POST", "/api/save", {})
    if status != 200 or reply["state"]["unsaved"]:
        failures.append(f"saving: {status} {reply!r:.200}")
    expected = os.path.join(folder, "expected.json")
    shutil.copy(os.path.join(folder, "original.json"), expected)
    subprocess.run([program, "--quiet", "edit", expected, "--set", "Gamma=1.7"], check=True)
    if not filecmp.cmp(expected, document, shallow=False):
        failures.append("the saved document differs from what `edit --set Gamma=1.7` writes")
    # Another program changes the file: Save says so instead of overwriting.
    with open(document, "a") as out:
        out.write("\n")
    server.request("POST", "/api/set", {"id": gamma["id"], "value": "1.9"})
    status, reply = server.request("POST", "/api/save", {})
    if status != 409 or not reply.get("conflict") or "changed on disk" not in reply.get("error", ""):
        failures.append(f"saving over a changed file: {status} {reply!r:.200}")
    # The port is taken now: a second server says so.
    second = subprocess.run([program, "serve", document, "--port", str(server.port)], capture_output=True, text=True,
                            timeout=60)
    if second.returncode == 0 or "already in use" not in second.stderr:
        failures.append(f"a second server on the same port: {second.returncode} {second.stderr!r}")
    status = server.interrupt()
    said = "".join(server.stderr_lines)
    if status != 130 or "unsaved changes" not in said:
        failures.append(f"Ctrl-C with unsaved changes: exit {status}, said {said!r}")
    return failures


def srgb_code(linear):
    linear = min(max(linear, 0.0), 1.0)
    return round(255 * (12.92 * linear if linear <= 0.0031308 else 1.055 * linear ** (1 / 2.4) - 0.055))


def shown_gradient(state):
    return next(e for e in state["entries"] if e["name"] == "Background" and e["kind"] == "gradient")


def display_colours(server):
    """Strips are the gradient as the shader blends it, in linear values, then encoded; on every display
    and view of the config, a colour picked as display codes is stored as linear values shown with those
    codes again."""
    failures = []
    background = next(e for e in server.state()["entries"] if e["name"] == "Background" and e["kind"] == "gradient")
    knots = lambda kind: {"knots": [{"color": [0, 0, 0], "position": 0, "interpolation": kind},
                                    {"color": [1, 1, 1], "position": 1}]}
    blends = {3: lambda t: t, 2: lambda t: t * t * (3 - 2 * t), 5: lambda t: 0.0 if t < 1 else 1.0}
    for kind, blend in blends.items():
        status, reply = server.request("POST", "/api/set", {"id": background["id"], "value": json.dumps(knots(kind))})
        strip = shown_gradient(reply["state"])["display"]["strip"] if status == 200 else []
        expected = [[srgb_code(blend(i / (len(strip) - 1)))] * 3 for i in range(len(strip))]
        if len(strip) < 64 or strip != expected:
            failures.append(f"the strip of a black-to-white gradient of interpolation {kind}: {strip!r:.300}")
    menu = server.state()["color"]
    pairs = [(d["name"], v) for d in menu["displays"] for v in d["views"]] or [(None, None)]
    for display, view in pairs:
        if display is not None:
            status, reply = server.request("POST", "/api/display", {"display": display, "view": view})
            if status != 200 or (reply["state"]["color"]["display"], reply["state"]["color"]["view"]) != (display, view):
                failures.append(f"choosing {display} / {view}: {status} {reply!r:.200}")
                continue
        for codes in ([0, 0, 0], [1, 2, 3], [32, 64, 128], [200, 10, 90], [250, 250, 250]):
            status, picked = server.request("POST", "/api/linear", {"display": "#%02x%02x%02x" % tuple(codes)})
            if status != 200:
                failures.append(f"picking {codes} on {display} / {view}: {status} {picked!r:.200}")
                continue
            gradient = {"knots": [{"color": picked["linear"], "position": 0}]}
            status, reply = server.request("POST", "/api/set", {"id": background["id"], "value": json.dumps(gradient)})
            shown = shown_gradient(reply["state"])["display"]["knots"][0] if status == 200 else None
            if shown != codes:
                failures.append(f"{codes} picked on {display} / {view} is stored as {picked['linear']}, "
                                f"shown as {shown}")
    if menu["offered"]:
        server.request("POST", "/api/display", {"display": menu["display"], "view": menu["view"]})
    server.request("POST", "/api/set", {"id": background["id"], "value": json.dumps(background["value"]["gradient"])})
    return failures


def name_of_bytes(program, source, folder):
    path = os.path.join(os.fsencode(folder), b"sky-\xff\xfe.json")
    shutil.copy(source, path)
    try:
        server = Server(program, path)
    except RuntimeError as error:
        return [f"serving a document whose name is not UTF-8: {error}"]
    failures = []
    try:
        state = server.state()
        if state["file"] != os.fsdecode(path):
            failures.append(f"the state names the file {state['file']!r}, not {os.fsdecode(path)!r}")
        gamma = entry_named(state, "Gamma")
        server.request("POST", "/api/set", {"id": gamma["id"], "value": "1.3"})
        status, reply = server.request("POST", "/api/save", {})
        with open(path, encoding="utf-8") as saved:
            params = json.load(saved)["material"]["shader"]["params"]
        if status != 200 or params.get(str(gamma["id"])) != {"real": 1.3}:
            failures.append(f"saving it: {status} {reply!r:.200}")
    finally:
        server.stop()
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--document", required=True)
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        document = os.path.join(folder, "sky.json")
        shutil.copy(options.document, document)
        shutil.copy(options.document, os.path.join(folder, "original.json"))
        server = Server(options.program, document)
        try:
            failures = run_table(server, folder)
            failures += display_colours(server)
            failures += good_path(server, options.program, document, folder)
        finally:
            server.stop()
        failures += name_of_bytes(options.program, options.document, folder)
    for failure in failures:
        print("FAIL:", failure)
    print("serve API:", "all good" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
