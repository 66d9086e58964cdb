"""`nocturnia serve` in a real browser (Debian's headless Chromium through
Selenium): the page is driven as a user would, and what it shows is checked
against what `describe` and `edit` say about the same document. Exits 77
(skipped) when Selenium is not installed."""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from png_pixels import read_png
from serve_harness import Server, entry_named

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Debian's python3-selenium lives in the system Python's folder, which
# another Python 3 on the PATH (pyenv, a venv) does not search.
try:
    import selenium  # noqa: F401
except ImportError:
    sys.path.append("/usr/lib/python3/dist-packages")
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    print("SKIPPED: python3-selenium is not installed; run: bash scripts/install-test-extras.sh")
    sys.exit(77)


def start_browser(width=1400, height=900):
    options = webdriver.ChromeOptions()
    for flag in ("--headless=new", "--no-sandbox", "--disable-background-networking", "--disable-gpu",
                 "--disable-dev-shm-usage", f"--window-size={width},{height}"):
        options.add_argument(flag)
    if os.path.exists("/usr/bin/chromium"):
        options.binary_location = "/usr/bin/chromium"
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def describe(program, document, edits, frame=None):
    """The description `describe --json` gives after `edit` applied `edits` to a copy of the document."""
    with tempfile.TemporaryDirectory() as folder:
        copy = os.path.join(folder, "copy.json")
        shutil.copy(document, copy)
        if edits:
            subprocess.run([program, "--quiet", "edit", copy] + edits, check=True)
        at = ["--frame", str(frame)] if frame is not None else []
        listing = subprocess.run([program, "--quiet", "describe", copy, "--json"] + at, check=True,
                                 capture_output=True, text=True).stdout
    return json.loads(listing)


def shown_rows(browser):
    """Entry ID -> (visible, enabled) as the page shows it."""
    rows = browser.execute_script("""
        const out = {};
        for (const row of document.querySelectorAll('#attributes .row[data-id]')) {
          out[row.dataset.id] = [row.offsetParent !== null,
                                 !row.classList.contains('disabled')];
        }
        return out;""")
    return {int(k): tuple(v) for k, v in rows.items()}


def group_ids(entries, group_id):
    """IDs of the entries inside a group, at any depth."""
    inside, found = {group_id}, []
    for entry in entries:
        if entry["parent"] in inside:
            found.append(entry["id"])
            if entry["type"] == 1:
                inside.add(entry["id"])
    return found


def wait_for(browser, condition, what, timeout=30):
    try:
        return WebDriverWait(browser, timeout, poll_frequency=0.1).until(lambda b: condition(b))
    except Exception:
        raise AssertionError("timed out waiting for " + what)


def preview_checksum(browser):
    return browser.execute_script("""
        const image = document.getElementById('preview');
        if (!image.complete || !image.naturalWidth) return null;
        const canvas = document.createElement('canvas');
        canvas.width = image.naturalWidth; canvas.height = image.naturalHeight;
        const context = canvas.getContext('2d');
        context.drawImage(image, 0, 0);
        const data = context.getImageData(0, 0, canvas.width, canvas.height).data;
        let sum = 0;
        for (let i = 0; i < data.length; ++i) sum = (sum * 31 + data[i]) % 1000000007;
        return [image.dataset.frame, canvas.width, sum];""")


def finished_preview(browser):
    """Waits for the last pass of the preview and returns its checksum."""
    def refined(b):
        found = re.search(r"pass (\d+) of (\d+)", b.find_element(By.ID, "preview-info").text)
        return found and found.group(1) == found.group(2)
    wait_for(browser, refined, "the refined preview", 120)
    return wait_for(browser, lambda b: preview_checksum(b), "the preview image")


def run(program, folder, browser, failures, keep):
    document = os.path.join(folder, "sky.json")
    subprocess.run([program, "--quiet", "new", "-o", document], check=True)
    original = os.path.join(folder, "original.json")
    shutil.copy(document, original)
    server = Server(program, document)
    try:
        browser.get(server.page_url())
        wait_for(browser, lambda b: b.find_elements(By.CSS_SELECTOR, "#attributes .row[data-id]"), "the attributes")

        # Add Layer: "Star Layer 1" appears with the defaults `edit --press` gives it.
        add = next(b for b in browser.find_elements(By.CSS_SELECTOR, ".button-row button") if b.text == "Add Layer")
        add.click()
        wait_for(browser, lambda b: any(s.text == "Star Layer 1" for s in b.find_elements(By.TAG_NAME, "summary")),
                 "Star Layer 1")
        edits = ["--press", "Add Layer"]
        expected = describe(program, original, edits)
        layer = next(e for e in expected if e["type"] == 1 and e["name"] == "Star Layer 1")
        state = server.state()
        page_values = {e["id"]: e.get("value") for e in state["entries"]}
        for entry_id in group_ids(expected, layer["id"]):
            want = next(e for e in expected if e["id"] == entry_id).get("value")
            if page_values.get(entry_id) != want:
                failures.append(f"Star Layer 1 entry {entry_id}: the page holds {page_values.get(entry_id)}, "
                                f"`edit` gives {want}")
        rows = shown_rows(browser)
        missing = [i for i in group_ids(expected, layer["id"]) if i not in rows]
        if missing:
            failures.append(f"Star Layer 1 entries without a row on the page: {missing}")

        # The knot editor: the second knot of Star Color, selected on the strip, gets blend "None" and bias
        # 25%; the document then holds what `edit --set` of that gradient stores, the first knot untouched.
        star_colour = next(e for e in expected if e["type"] == 1000481 and e["name"] == "Star Color"
                           and e["id"] in group_ids(expected, layer["id"]))
        wanted = json.loads(json.dumps(star_colour["value"]["gradient"]))
        wanted["knots"][1].update(interpolation=5, bias=0.25)
        row = f'.row[data-id="{star_colour["id"]}"]'
        browser.find_elements(By.CSS_SELECTOR, row + " .knot")[1].click()
        wait_for(browser, lambda b: b.find_elements(By.CSS_SELECTOR, row + " .knot")[1].get_attribute("class")
                 == "knot selected", "the second knot to be selected")
        Select(browser.find_element(By.CSS_SELECTOR, row + " .knot-edit select")).select_by_visible_text("None")
        bias = browser.find_elements(By.CSS_SELECTOR, row + " .knot-edit input[type=number]")[2]
        bias.send_keys(Keys.CONTROL, "a", Keys.NULL, "25", Keys.TAB)
        held = lambda: next(e for e in server.state()["entries"] if e["id"] == star_colour["id"])["value"]
        try:
            wait_for(browser, lambda b: held() == {"gradient": wanted}, "the knot's blend and bias", 10)
        except AssertionError:
            failures.append(f"after the knot edits the page holds {held()}, expected {wanted}")
        edits += ["--set", "Star Layer 1/Star Color=" + json.dumps(wanted)]
        expected = describe(program, original, edits)

        # Mode "Single Star": exactly the entries `describe` hides disappear.
        mode = next(e for e in expected if e["name"] == "Mode" and e["id"] in group_ids(expected, layer["id"]))
        before = shown_rows(browser)
        Select(browser.find_element(By.CSS_SELECTOR, f'.row[data-id="{mode["id"]}"] select')).select_by_visible_text(
            "Single Star")
        edits += ["--set", "Star Layer 1/Mode=Single Star"]
        expected = describe(program, original, edits)
        should_hide = {e["id"] for e in expected if e["hidden"] and e["type"] != 1 and before.get(e["id"], (0,))[0]}
        wait_for(browser, lambda b: not shown_rows(b)[next(iter(should_hide))][0], "entries to disappear")
        after = shown_rows(browser)
        gone = {i for i, (visible, _) in after.items() if before.get(i, (False,))[0] and not visible}
        if not should_hide or gone != should_hide:
            failures.append(f"Single Star hid {sorted(gone)}, `describe` hides {sorted(should_hide)}")
        # And every entry `describe` hides is out of sight, not only those that just changed.
        shown_hidden = sorted(e["id"] for e in expected if e["hidden"] and after.get(e["id"], (False,))[0])
        if shown_hidden:
            failures.append(f"entries hidden by the description are shown: {shown_hidden}")

        # Show Flares "Always" then "Never": the four flare-shape controls are greyed out.
        flares = entry_named(server.state(), "Show Flares")
        select = lambda: Select(browser.find_element(By.CSS_SELECTOR, f'.row[data-id="{flares["id"]}"] select'))
        select().select_by_visible_text("Always")
        wait_for(browser, lambda b: server.state()["version"] and select().first_selected_option.text == "Always",
                 "Always")
        time.sleep(0.5)
        before = shown_rows(browser)
        select().select_by_visible_text("Never")
        edits += ["--set", "Show Flares=Always", "--set", "Show Flares=Never"]
        expected = describe(program, original, edits)
        should_grey = {e["id"] for e in expected if not e["editable"] and before.get(e["id"], (0, 0))[1]}
        wait_for(browser, lambda b: all(not shown_rows(b)[i][1] for i in should_grey), "greyed-out flare controls")
        after = shown_rows(browser)
        greyed = {i for i, (_, enabled) in after.items() if before.get(i, (0, False))[1] and not enabled}
        names = sorted(e["name"] for e in expected if e["id"] in greyed)
        if greyed != should_grey or len(greyed) != 4:
            failures.append(f"Never greyed out {names}; `describe` greys out {sorted(should_grey)}")
        disabled_inputs = browser.execute_script(
            "return [...document.querySelectorAll('.row.disabled input, .row.disabled select')]"
            ".every(i => i.disabled)")
        if not disabled_inputs:
            failures.append("a greyed-out row still has an enabled control")

        # Moving Gamma changes the preview.
        first = finished_preview(browser)
        gamma = entry_named(server.state(), "Gamma")
        slider = browser.find_element(By.CSS_SELECTOR, f'.row[data-id="{gamma["id"]}"] input[type=range]')
        slider.click()
        for _ in range(5):
            slider.send_keys(Keys.ARROW_RIGHT)
        wait_for(browser, lambda b: entry_named(server.state(), "Gamma")["value"] != gamma["value"], "Gamma to move")
        time.sleep(1.0)  # the last key's change
        gamma_now = entry_named(server.state(), "Gamma")["value"]["real"]
        wait_for(browser, lambda b: preview_checksum(b) and preview_checksum(b)[0] != first[0], "a new frame")
        second = finished_preview(browser)
        if second[2] == first[2]:
            failures.append("the preview did not change when Gamma moved")

        # About shows the about text in a dialog, and changes nothing.
        about = next(b for b in browser.find_elements(By.CSS_SELECTOR, ".button-row button") if b.text == "About")
        version = server.state()["version"]
        about.click()
        wait_for(browser, lambda b: b.find_element(By.ID, "dialog").get_attribute("open") is not None, "the About box")
        text = browser.find_element(By.ID, "dialog-text").text
        if "Nocturnia" not in text:
            failures.append(f"the About box says {text!r}")
        browser.find_element(By.CSS_SELECTOR, "#dialog-buttons button").click()
        if server.state()["version"] != version:
            failures.append("pressing About changed the document")

        # Save writes what `edit` writes.
        browser.find_element(By.ID, "save").click()
        wait_for(browser, lambda b: b.find_element(By.ID, "unsaved").get_attribute("hidden") is not None, "the save")
        edits += ["--set", f"Gamma={gamma_now!r}"]
        expected_file = os.path.join(folder, "expected.json")
        shutil.copy(original, expected_file)
        subprocess.run([program, "--quiet", "edit", expected_file] + edits, check=True)
        if open(expected_file).read() != open(document).read():
            failures.append("the saved document differs from what `edit " + " ".join(edits) + "` writes")

        if keep:
            os.makedirs(keep, exist_ok=True)
            browser.save_screenshot(os.path.join(keep, "serve-test.png"))

        # Without the token the server answers nothing but a refusal.
        browser.get(server.url + "/")
        body = browser.find_element(By.TAG_NAME, "body").text
        if "no token" not in body:
            failures.append(f"a request without the token was answered with {body[:200]!r}")
    finally:
        server.stop()


def shown_png(browser, server):
    """The bytes of the image the preview shows: the server's latest, once it is the one the page shows."""
    number, png = server.preview()
    shown = browser.find_element(By.ID, "preview").get_attribute("data-frame")
    if str(number) != shown:
        raise AssertionError(f"the page shows preview image {shown}, the server's latest is {number}")
    return png


def run_animation(program, folder, browser, failures, keep):
    """A mask added and chosen, the time line scrubbed: the preview is `render --frame`'s image, the fields
    the values `describe --frame` gives, and a change to a keyed parameter keys it at that frame."""
    document = os.path.join(folder, "crossing.json")
    shutil.copy(os.path.join(ROOT, "examples", "crossing-star.json"), document)
    server = Server(program, document)
    try:
        browser.get(server.page_url())
        wait_for(browser, lambda b: b.find_elements(By.CSS_SELECTOR, "#attributes .row[data-id]"), "the attributes")
        browser.find_element(By.ID, "add-gradient-mask").click()
        wait_for(browser, lambda b: b.find_elements(By.CSS_SELECTOR, ".mask[data-mask='Mask 1']"), "the new mask")
        Select(browser.find_element(By.CSS_SELECTOR, ".mask select")).select_by_value("u")
        wait_for(browser, lambda b: server.state()["masks"][0]["axis"] == "u", "the mask's axis")
        mask_link = '.row[data-id="5007"] select'
        wait_for(browser, lambda b: "Mask 1 (gradient)" in b.find_element(By.CSS_SELECTOR, mask_link).text,
                 "the mask among the Mask's choices")
        Select(browser.find_element(By.CSS_SELECTOR, mask_link)).select_by_visible_text("Mask 1 (gradient)")
        wait_for(browser, lambda b: entry_named(server.state(), "Mask")["value"] == {"link": 0}, "the Mask link")

        frame = 30
        number = browser.find_element(By.ID, "frame-number")
        number.send_keys(Keys.CONTROL, "a", Keys.NULL, str(frame), Keys.ENTER)
        wait_for(browser, lambda b: server.state()["frame"] == frame, "the frame")
        wait_for(browser, lambda b: b.find_element(By.ID, "frame-slider").get_attribute("value") == str(frame),
                 "the slider at the frame")
        browser.find_element(By.ID, "save").click()
        wait_for(browser, lambda b: not server.state()["unsaved"], "the save")
        expected = {e["id"]: e.get("value") for e in describe(program, document, [], frame)}
        keyed = [t["id"] for t in server.state()["tracks"]]
        state = server.state()
        for entry in state["entries"]:
            if entry["id"] in keyed and entry.get("value") != expected[entry["id"]]:
                failures.append(f"at frame {frame} the page shows {entry['name']} = {entry.get('value')}, "
                                f"`describe --frame` {expected[entry['id']]}")
        marked = browser.execute_script("return [...document.querySelectorAll('.row.animated')].map(r => +r.dataset.id)")
        if sorted(marked) != sorted(keyed):
            failures.append(f"rows marked as keyed: {sorted(marked)}, tracks on {sorted(keyed)}")

        def finished_at_frame(b):
            shown = b.find_element(By.ID, "preview")
            return shown.get_attribute("data-shown-frame") == str(frame) and shown.get_attribute("data-done") == "true"
        wait_for(browser, finished_at_frame, f"the finished preview of frame {frame}", 120)
        preview = read_png(shown_png(browser, server))
        rendered = os.path.join(folder, "frame.png")
        subprocess.run([program, "--quiet", "render", document, "--frame", str(frame), "--width", "640",
                        "--height", str(preview[1]), "--samples", "4", "-o", rendered], check=True)
        with open(rendered, "rb") as image:
            if read_png(image.read()) != preview:
                failures.append(f"the preview of frame {frame} differs from `render --frame {frame}` at 640 px")
        if keep:
            os.makedirs(keep, exist_ok=True)
            browser.save_screenshot(os.path.join(keep, "serve-animation.png"))

        # Auto-key: a keyed parameter typed at this frame gets a key here, which Undo takes back.
        star_x = next(t for t in state["tracks"] if t["name"] == "Star X Position")
        field = browser.find_element(By.CSS_SELECTOR, f'.row[data-id="{star_x["id"]}"] input[type=number]')
        field.send_keys(Keys.CONTROL, "a", Keys.NULL, "10", Keys.TAB)
        key_frames = lambda: [k["frame"] for t in server.state()["tracks"] if t["id"] == star_x["id"] for k in t["keys"]]
        wait_for(browser, lambda b: frame in key_frames(), "the key set at the frame")
        if entry_named(server.state(), "Star X Position", "Star Layer 2")["value"] != {"real": 0.1}:
            failures.append("the auto-key did not set 10 % at the frame")
        browser.find_element(By.ID, "undo").click()
        wait_for(browser, lambda b: frame not in key_frames(), "Undo to take the key back")

        # Play steps on once the preview of each frame is in.
        browser.find_element(By.ID, "play").click()
        wait_for(browser, lambda b: server.state()["frame"] > frame, "playing to step on", 120)
        browser.find_element(By.ID, "play").click()
    finally:
        server.stop()


def srgb_code(linear):
    """The 8-bit code of a linear value through the sRGB curve, undithered."""
    linear = min(max(linear, 0.0), 1.0)
    encoded = 12.92 * linear if linear <= 0.0031308 else 1.055 * linear ** (1 / 2.4) - 0.055
    return round(encoded * 255)


def p3_code(linear):
    """The 8-bit Display P3 code of a linear Rec.709 colour, undithered: to XYZ, to P3 primaries (the
    matrices of the program's colour config), the sRGB curve."""
    to_xyz = [[0.412390799266, 0.357584339384, 0.180480788402], [0.212639005872, 0.715168678768, 0.0721923153607],
              [0.0193308187156, 0.119194779795, 0.95053215225]]
    to_p3 = [[2.49349691194, -0.931383617919, -0.402710784451], [-0.829488969562, 1.76266406032, 0.0236246858419],
             [0.0358458302438, -0.076172389268, 0.956884524008]]
    xyz = [sum(m * c for m, c in zip(row, linear)) for row in to_xyz]
    return [srgb_code(sum(m * c for m, c in zip(row, xyz))) for row in to_p3]


def swatch_codes(css):
    """The codes of the colour the page paints: rgb(...) as is, color(display-p3 ...) scaled to 255."""
    words = css[css.index("(") + 1:css.rindex(")")].replace(",", " ").split()
    if css.startswith("color(display-p3"):
        return [round(float(n) * 255) for n in words[1:4]]
    return [int(n) for n in words[:3]]


def run_flat_background(program, folder, browser, failures, keep):
    """A flat one-knot Background with no stars: its swatch shows the colour the preview shows, the
    preview's undithered code, and every preview pixel lies within one code of it; on the default sRGB
    display, then on Display P3 chosen on the page, where the preview is `render --display`'s image."""
    document = os.path.join(folder, "flat.json")
    colour = [0.015625, 0.03125, 0.09375]
    subprocess.run([program, "--quiet", "new", "-o", document], check=True)
    subprocess.run([program, "--quiet", "edit", document, "--set", "Use Layer=false", "--set",
                    "Background=" + json.dumps({"knots": [{"color": colour, "position": 0}]})], check=True)
    server = Server(program, document)
    strip = '.row[data-id="20101"] .strip'
    try:
        browser.get(server.page_url())
        wait_for(browser, lambda b: b.find_elements(By.CSS_SELECTOR, strip), "the strip")
        displays = [("sRGB", [srgb_code(c) for c in colour])]
        if server.state()["color"]["offered"]:
            displays.append(("Display P3", p3_code(colour)))
        elif subprocess.run([program, "--quiet", "colorspaces"], capture_output=True).returncode == 0:
            failures.append("the page offers no choice of display in a build with colour management")
        for display, expected in displays:
            if display != "sRGB":
                version = server.state()["version"]
                Select(browser.find_element(By.ID, "display-select")).select_by_visible_text(display)
                wait_for(browser, lambda b: server.state()["color"]["display"] == display, "the display chosen")
                wait_for(browser, lambda b: b.find_element(By.ID, "preview-info").get_attribute("data-version")
                         not in (None, str(version)), "the preview of the new display")
            finished_preview(browser)
            shown = browser.execute_script(f"return getComputedStyle(document.querySelector('{strip}')).backgroundColor")
            swatch = swatch_codes(shown)
            if swatch != expected:
                failures.append(f"on {display} the Background swatch shows {shown} = {swatch}, the preview's "
                                f"undithered code is {expected}")
            png = shown_png(browser, server)
            width, height, rows = read_png(png)
            worst = max(abs(row[3 * x + c] - expected[c]) for row in rows for x in range(width) for c in range(3))
            if worst > 1:
                failures.append(f"on {display} a preview pixel lies {worst} codes from the Background's {expected}")
            if display != "sRGB":
                rendered = os.path.join(folder, "flat.png")
                subprocess.run([program, "--quiet", "render", document, "--width", "640", "--height", str(height),
                                "--samples", "4", "--display", display, "-o", rendered], check=True)
                with open(rendered, "rb") as image:
                    if read_png(image.read()) != (width, height, rows):
                        failures.append(f"the {display} preview differs from `render --display` at 640 px")
                if keep:
                    browser.save_screenshot(os.path.join(keep, "serve-display-p3.png"))
    finally:
        server.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--keep", help="folder to keep the page's screenshot in")
    options = parser.parse_args()
    failures = []
    browser = start_browser()
    try:
        with tempfile.TemporaryDirectory() as folder:
            for test in (run, run_animation, run_flat_background):
                try:
                    test(options.program, folder, browser, failures, options.keep)
                except AssertionError as error:
                    failures.append(str(error))
    finally:
        browser.quit()
    for failure in failures:
        print("FAIL:", failure)
    print("serve in the browser:", "all good" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
