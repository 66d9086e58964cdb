#!/usr/bin/env python3
"""Samples per second of `render --threads 1` of two builds of the program,
side by side in one run, on the benchmark scenes.

A shared machine is noisy: the runs of the two programs alternate, each is
timed by the processor time of its process (user + system, which other load
disturbs less than the wall clock), and the figures are medians with the
ratio of the medians. A tiny render of the same scene is timed the same way
and taken off, so that start-up and image writing do not count as sampling.

    bench/compare_renders.py --base OLD/nocturnia --new build/default/bin/nocturnia

Options given by --new-args are passed to the new program only (e.g.
"--sampler output" to time its per-sample path); the old program may predate
--sampler.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def cpu_seconds(command):
    """The processor time of one run of `command` (which must succeed)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def render_command(program, document, size, samples, output, extra):
    documents = [document] if document else []
    return [program, "-q", "render"] + documents + ["--width", str(size[0]), "--height", str(size[1]), "--samples",
            str(samples), "--threads", "1", "-o", output] + extra


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base", required=True, help="the program to compare against")
    parser.add_argument("--new", required=True, help="the program measured")
    parser.add_argument("--new-args", default="", help="extra render options for the new program")
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--scenes", default="default,heavy,example")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="nocturnia-compare-") as work:
        default_document = os.path.join(work, "default.json")
        subprocess.run([args.new, "new", "-o", default_document], check=True)
        scenes = {
            # name: document ("" for the built-in example), size, samples per side
            "default": (default_document, (640, 360), 4),
            "heavy": (os.path.join(HERE, "scenes", "heavy.json"), (320, 180), 2),
            "example": ("", (640, 360), 2),
        }
        output = os.path.join(work, "image.exr")
        for name in args.scenes.split(","):
            document, size, samples = scenes[name]
            count = size[0] * size[1] * samples * samples
            times = {"base": [], "new": []}
            for _ in range(args.repeats):
                for which, program, extra in (("base", args.base, []), ("new", args.new, args.new_args.split())):
                    full = render_command(program, document, size, samples, output, extra)
                    tiny = render_command(program, document, (4, 4), 1, output, extra)
                    times[which].append(max(cpu_seconds(full) - cpu_seconds(tiny), 1e-9))
            base = statistics.median(times["base"])
            new = statistics.median(times["new"])
            print("%-8s %9d samples: base %8.3f M samples/s, new %8.3f M samples/s, ratio %6.2f"
                  % (name, count, count / base / 1e6, count / new / 1e6, base / new))
            sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
