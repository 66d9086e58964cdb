#!/usr/bin/env python3
"""Checks that no source file includes across the plug-in/host boundary.

The plug-in (source/ and its binding host/) and the host program (app/) meet
only through the plain C header in abi/. Their include paths already say so;
this check also catches what an include path cannot: a relative path that
climbs out of a folder, or a quoted include that only resolves because of the
including file's own location. It also reads the build's compile commands and
fails when a target has the repository root on its include path, which would
let "app/..." or "host/..." resolve from anywhere.

Inside app/ the program's library is split into rooms, each a folder and a
library of its own, in an order of dependence: a room includes only the rooms
before it. The commands (cli), the web editor (serve) and any later front end
stand side by side at the end; of them only cli includes another (serve, for
its command), so serve never includes cli. The Python module (python/) is
such a front end outside app/: it includes the rooms, never cli or serve.

Usage: check_includes.py SOURCE_DIR [BUILD_DIR]
"""
import json
import os
import re
import shlex
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

# Which folders each side may include from, besides the including file's own.
SIDES = {
    "source": ["source", "host", "abi"],
    "host": ["source", "host", "abi"],
    "app": ["app", "abi"],
    "abi": ["abi"],
    "python": ["python", "app", "abi"],
}


# The rooms of app/ in their order of dependence; rooms of one rank stand side
# by side. A room includes those of a lower rank, and the pairs below.
ROOM_RANKS = {
    "runtime": 0,  # the host's document and plug-in runtime
    "text": 1,  # what users type and read: labels, values, numbers, frame lists, points, edits
    "io": 2,  # the process and its files: temporary files, usable CPUs, interruption
    "image": 3,  # image files: EXR and PNG, metadata, dither
    "colour": 4,  # colour management
    "render": 5,  # the render loop, frames, tiles, regions, estimates, progress, reports
    "farm": 6,  # render farms: the Slurm job writer and the job's folder
    "serve": 7,  # the browser editor
    "cli": 7,  # the commands
}
SIDE_BY_SIDE = {("cli", "serve")}


def room_allows(room, included):
    if included == room or (room, included) in SIDE_BY_SIDE:
        return True
    return ROOM_RANKS[included] < ROOM_RANKS[room]


def room_includes(folder, suffixes):
    """Each include of a room's header ("render/...") by the sources below
    folder, as (path, the name included, the room)."""
    for dirpath, _, files in os.walk(folder):
        for file in files:
            if not file.endswith(suffixes):
                continue
            path = os.path.join(dirpath, file)
            with open(path, encoding="utf-8") as f:
                names = INCLUDE.findall(f.read())
            for name in names:
                included = name.split("/")[0]
                if "/" in name and included in ROOM_RANKS:
                    yield path, name, included


def check_rooms(root):
    faults = []
    app = os.path.join(root, "app")
    for room in sorted(os.listdir(app)):
        if not os.path.isdir(os.path.join(app, room)):
            continue
        if room not in ROOM_RANKS:
            faults.append(f"app/{room}/: a folder that is not one of the rooms ({', '.join(ROOM_RANKS)})")
            continue
        for path, name, included in room_includes(os.path.join(app, room), (".h", ".cpp", ".h.in")):
            if not room_allows(room, included):
                faults.append(f"{os.path.relpath(path, root)}: includes \"{name}\", but {included} "
                              f"does not come before {room} in the rooms' order")
    return faults


# Front ends outside app/: the rooms they may include stand below this rank.
FRONT_ENDS = {"python": ROOM_RANKS["cli"]}


def check_front_ends(root):
    faults = []
    for front, rank in FRONT_ENDS.items():
        for path, name, included in room_includes(os.path.join(root, front), (".h", ".cpp")):
            if ROOM_RANKS[included] >= rank:
                faults.append(f"{os.path.relpath(path, root)}: includes \"{name}\"; {front}/ uses the "
                              f"rooms up to farm, never {included}")
    return faults


def resolves(root, folder, name):
    path = os.path.join(root, folder, name)
    # Generated headers are made from a template beside where they would be.
    return os.path.isfile(path) or os.path.isfile(path + ".in")


def check_sources(root):
    faults = []
    for side, allowed in SIDES.items():
        for dirpath, _, files in os.walk(os.path.join(root, side)):
            for file in files:
                if not file.endswith((".h", ".cpp", ".h.in")):
                    continue
                path = os.path.join(dirpath, file)
                here = os.path.relpath(dirpath, root)
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                for name in INCLUDE.findall(text):
                    rel = os.path.relpath(path, root)
                    if ".." in name.split("/"):
                        faults.append(f"{rel}: includes \"{name}\", which climbs out of its folder")
                    elif not any(resolves(root, folder, name) for folder in [here] + allowed):
                        faults.append(f"{rel}: includes \"{name}\", which is not in {', '.join(allowed)}/")
    return faults


def check_include_paths(root, build):
    commands = os.path.join(build, "compile_commands.json")
    if not os.path.isfile(commands):
        return []
    faults = []
    root = os.path.realpath(root)
    with open(commands, encoding="utf-8") as f:
        for entry in json.load(f):
            words = shlex.split(entry.get("command", ""))
            for i, word in enumerate(words):
                folder = None
                if word in ("-I", "-isystem") and i + 1 < len(words):
                    folder = words[i + 1]
                elif word.startswith("-I"):
                    folder = word[2:]
                elif word.startswith("-isystem") and len(word) > len("-isystem"):
                    folder = word[len("-isystem"):]
                if folder and os.path.realpath(os.path.join(entry["directory"], folder)) == root:
                    faults.append(f"{os.path.relpath(entry['file'], root)}: the repository root is on its include path")
                    break
    return faults


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    root = sys.argv[1]
    faults = check_sources(root) + check_rooms(root) + check_front_ends(root)
    if len(sys.argv) > 2:
        faults += check_include_paths(root, sys.argv[2])
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) cross the boundary" if faults else "every include stays on its side")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
