#!/usr/bin/env python3
"""Checks how each platform's plug-in was compiled, from the build's
compile_commands.json: only the macOS build draws the two sunspot offsets in
the macOS order, and no build contracts floating-point operations or uses
fast maths (the platforms must compute the same colours).

    check_build_options.py BUILD_ROOT
"""
import json
import os
import sys

MACOS_ORDER = "NOCTURNIA_SUNSPOT_ORDER_MACOS"
PLATFORMS = {"linux-x86_64": False, "windows-x64": False, "macos-x86_64": True}


def plugin_commands(build):
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    def in_plugin(path):  # source/ and the binding in host/
        return "/source/" in path or "/host/" in path
    return [e["command"] for e in entries if in_plugin(e["file"])]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    root = sys.argv[1]
    failures = []
    for platform, macos_order in PLATFORMS.items():
        commands = plugin_commands(os.path.join(root, platform))
        if not commands:
            failures.append(f"{platform}: no plug-in sources in compile_commands.json")
            continue
        with_macro = sum(MACOS_ORDER in c for c in commands)
        expected = len(commands) if macos_order else 0
        print(f"{platform}: {len(commands)} plug-in sources, {with_macro} with {MACOS_ORDER}")
        if with_macro != expected:
            failures.append(f"{platform}: {MACOS_ORDER} on {with_macro} of {len(commands)} sources, expected {expected}")
        loose = [c for c in commands if "-ffp-contract=off" not in c or "-ffast-math" in c or "-Ofast" in c]
        if loose:
            failures.append(f"{platform}: {len(loose)} sources without -ffp-contract=off or with fast maths")
    for failure in failures:
        print("FAIL: " + failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
