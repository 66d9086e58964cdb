#!/usr/bin/env python3
"""Every example that a script in examples/ makes is made again by it, with
the built program first on PATH as `nocturnia`, and must come out byte for
byte as committed: the gallery is built with `edit` commands alone, and a
change of the program that changes what they write shows here."""

import argparse
import glob
import os
import subprocess
import sys
import tempfile


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True, help="the built `nocturnia`")
    parser.add_argument("--examples", required=True, help="the examples folder")
    options = parser.parse_args()
    environment = dict(os.environ)
    environment["PATH"] = os.path.dirname(os.path.abspath(options.program)) + os.pathsep + environment["PATH"]
    environment.pop("NOCTURNIA_PLUGINS", None)
    scripts = sorted(glob.glob(os.path.join(os.path.abspath(options.examples), "*.sh")))
    passed = failed = 0
    for script in scripts:
        name = os.path.splitext(os.path.basename(script))[0]
        committed = os.path.join(options.examples, name + ".json")
        with tempfile.TemporaryDirectory() as folder:
            made = os.path.join(folder, name + ".json")
            run = subprocess.run(["sh", script, made], cwd=folder, env=environment, capture_output=True, text=True,
                                 stdin=subprocess.DEVNULL, timeout=300)
            problem = None
            if run.returncode != 0:
                problem = f"exited {run.returncode}: {run.stderr.strip()[-400:]}"
            elif not os.path.exists(committed):
                problem = f"makes {name}.json, which examples/ does not hold"
            else:
                with open(made, "rb") as a, open(committed, "rb") as b:
                    if a.read() != b.read():
                        problem = f"makes a document that differs from examples/{name}.json"
        if problem:
            failed += 1
            print(f"FAIL {name}: {problem}")
        else:
            passed += 1
            print(f"ok   {name}")
    if not scripts:
        print("no example scripts found")
        return 1
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
