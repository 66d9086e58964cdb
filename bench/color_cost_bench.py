#!/usr/bin/env python3
"""What colour management costs a render: a 1920 x 1080 render of the
default node at 4 x 4 samples per pixel, on one thread and on every CPU,
by two builds of the program side by side in one run.

Each case pairs a render by the base program with one by the new program,
alternating which goes first, and prints the medians and the ratio of the
medians (new / base: 1.05 is 5 % slower). The cases:

    png          a plain PNG by each program (the new one may encode it
                 through OpenColorIO)
    exr-acescg   a plain EXR by the base, `--colorspace ACEScg` by the new
                 (the conversion of every row on the render threads)
    png-p3       a plain PNG by the base, `--display "Display P3"` by the new

One-thread renders are timed by their processor time (user + system, which
other load disturbs less); renders on every CPU by the wall clock, which is
what such a render costs its user.

    bench/color_cost_bench.py --base OLD/nocturnia --new build/default/bin/nocturnia
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

CASES = {
    # name: (extension, options of the new program)
    "png": (".png", []),
    "exr-acescg": (".exr", ["--colorspace", "ACEScg"]),
    "png-p3": (".png", ["--display", "Display P3"]),
}


def timed(command):
    """(processor seconds, wall seconds) of one run of `command`, which must succeed."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime), wall


def compare_case(args, document, work, name, threads):
    extension, new_options = CASES[name]
    output = os.path.join(work, "image" + extension)
    common = [document, "--width", str(args.width), "--height", str(args.height), "--samples", str(args.samples),
              "--threads", str(threads), "-o", output]
    runs = (("base", [args.base, "-q", "render"] + common), ("new", [args.new, "-q", "render"] + common + new_options))
    times = {"base": [], "new": []}
    for repeat in range(args.repeats):
        for which, command in runs if repeat % 2 == 0 else runs[::-1]:
            processor, wall = timed(command)
            times[which].append(processor if threads == 1 else wall)
    base = statistics.median(times["base"])
    new = statistics.median(times["new"])
    clock = "processor" if threads == 1 else "wall"
    print("%-11s threads %-2d base %7.3f s, new %7.3f s (%s), ratio %5.3f" % (name, threads, base, new, clock,
                                                                              new / base))
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base", required=True, help="the program to compare against")
    parser.add_argument("--new", required=True, help="the program measured")
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--cases", default=",".join(CASES))
    parser.add_argument("--threads", default="1,all", help="thread counts; all: every CPU this process may use")
    parser.add_argument("--width", type=int, default=1920)
    parser.add_argument("--height", type=int, default=1080)
    parser.add_argument("--samples", type=int, default=4, help="samples per pixel side")
    args = parser.parse_args()

    every_cpu = len(os.sched_getaffinity(0))
    counts = [every_cpu if t == "all" else int(t) for t in args.threads.split(",")]
    with tempfile.TemporaryDirectory(prefix="nocturnia-color-cost-") as work:
        document = os.path.join(work, "default.json")
        subprocess.run([args.new, "new", "-o", document], check=True)
        for threads in counts:
            for name in args.cases.split(","):
                compare_case(args, document, work, name, threads)
    return 0


if __name__ == "__main__":
    sys.exit(main())
