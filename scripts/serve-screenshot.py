#!/usr/bin/env python3
"""Takes the README's picture of `nocturnia serve` (docs/serve.png): the
example animation rising-star opened in headless Chromium (its keys on the
time line, a mask chosen), once the refined preview is in.

    python3 scripts/serve-screenshot.py --program build/default/bin/nocturnia [--out docs/serve.png]

Needs what scripts/install-test-extras.sh installs for the browser tests."""

import argparse
import os
import shutil
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "serve"))

from serve_browser_test import By, finished_preview, start_browser, wait_for  # noqa: E402
from serve_harness import Server  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--document", default=os.path.join(ROOT, "examples", "rising-star.json"))
    parser.add_argument("--out", default=os.path.join(ROOT, "docs", "serve.png"))
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        document = os.path.join(folder, os.path.basename(options.document))
        shutil.copy(options.document, document)
        server = Server(os.path.abspath(options.program), os.path.basename(document), threads=2, cwd=folder)
        browser = start_browser(1440, 980)
        try:
            browser.get(server.page_url())
            wait_for(browser, lambda b: b.find_elements(By.CSS_SELECTOR, "#attributes .row[data-id]"), "the attributes")
            finished_preview(browser)
            os.makedirs(os.path.dirname(os.path.abspath(options.out)), exist_ok=True)
            browser.save_screenshot(options.out)
        finally:
            browser.quit()
            server.stop()
    print("wrote", options.out)


if __name__ == "__main__":
    main()
