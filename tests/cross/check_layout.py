#!/usr/bin/env python3
"""Checks one laid-out plug-in folder: the library and a res/ that holds exactly
the project's resource files, byte for byte, and nothing else.

    check_layout.py FOLDER LIBRARY_NAME SOURCE_RES
"""
import filecmp
import os
import sys


def files_below(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    folder, library, source_res = sys.argv[1:]
    failures = []
    entries = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    print(f"{folder}: {entries}")
    if entries != sorted([library, "res"]):
        failures.append(f"the folder holds {entries}, not just {library} and res/")
    expected = files_below(source_res)
    laid_out = files_below(os.path.join(folder, "res"))
    if not expected:
        failures.append(f"no resource files in {source_res}")
    if laid_out != expected:
        failures.append(f"res/ differs: missing {sorted(expected - laid_out)}, extra {sorted(laid_out - expected)}")
    for name in sorted(expected & laid_out):
        if not filecmp.cmp(os.path.join(source_res, name), os.path.join(folder, "res", name), shallow=False):
            failures.append(f"res/{name} differs from the source")
    print(f"{len(laid_out)} resource files")
    for failure in failures:
        print("FAIL: " + failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
