#!/usr/bin/env python3
"""Samples per second of `render --threads 1` of two builds of the program,
side by side in one run, on the benchmark scenes.

A shared machine is noisy: the runs of the two programs alternate (which
goes first alternates too), each is timed by the processor time of its process (user + system, which other load
disturbs less than the wall clock), and the figures are medians with the
ratio of the medians. A tiny render of the same scene is timed the same way
and taken off, so that start-up and image writing do not count as sampling.

    bench/compare_renders.py --base OLD/nocturnia --new build/default/bin/nocturnia

--samplers and --simd run every combination of the samplers (both programs
get `--sampler`) and the NOCTURNIA_SIMD values (both programs get the
variable; "default" leaves it unset) with every scene, all in the one run:

    bench/compare_renders.py --base OLD/nocturnia --new NEW/nocturnia --repeats 7 \
        --samplers batch,output --simd default,scalar,sse2,sse41,avx2,avx512

Options given by --new-args are passed to the new program only; an old
program that predates --sampler is compared with the default --samplers.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def cpu_seconds(command, environment):
    """The processor time of one run of `command` (which must succeed)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=environment)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def render_command(program, document, size, samples, output, extra):
    documents = [document] if document else []
    return [program, "-q", "render"] + documents + ["--width", str(size[0]), "--height", str(size[1]), "--samples",
            str(samples), "--threads", "1", "-o", output] + extra


def compare_scene(args, scenes, name, sampler, simd, environment, output):
    """Times both programs on one scene with one sampler and NOCTURNIA_SIMD
    value, alternating, and prints the medians and their ratio."""
    document, size, samples = scenes[name]
    size = (max(1, round(size[0] * args.size_factor)), max(1, round(size[1] * args.size_factor)))
    count = size[0] * size[1] * samples * samples
    both = ["--sampler", sampler] if sampler else []
    times = {"base": [], "new": []}
    runs = (("base", args.base, both), ("new", args.new, both + args.new_args.split()))
    for repeat in range(args.repeats):
        # Each repeat runs both programs; which goes first alternates, so
        # that a drift of the machine's speed favours neither.
        for which, program, extra in runs if repeat % 2 == 0 else runs[::-1]:
            full = render_command(program, document, size, samples, output, extra)
            tiny = render_command(program, document, (4, 4), 1, output, extra)
            times[which].append(max(cpu_seconds(full, environment) - cpu_seconds(tiny, environment), 1e-9))
    base = statistics.median(times["base"])
    new = statistics.median(times["new"])
    label = "%s %s %s" % (name, sampler or "-", simd)
    print("%-28s %9d samples: base %8.3f M samples/s, new %8.3f M samples/s, ratio %6.2f"
          % (label, count, count / base / 1e6, count / new / 1e6, base / new))
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base", required=True, help="the program to compare against")
    parser.add_argument("--new", required=True, help="the program measured")
    parser.add_argument("--new-args", default="", help="extra render options for the new program")
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--scenes", default="default,heavy,example")
    parser.add_argument("--samplers", default="", help="e.g. batch,output (empty: the programs' default)")
    parser.add_argument("--simd", default="default", help="NOCTURNIA_SIMD values, e.g. default,scalar,avx512")
    parser.add_argument("--size-factor", type=float, default=1.0,
                        help="scales each scene's width and height (longer runs are steadier)")
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
        for simd in args.simd.split(","):
            environment = dict(os.environ)
            environment.pop("NOCTURNIA_SIMD", None)
            if simd != "default":
                environment["NOCTURNIA_SIMD"] = simd
            for sampler in args.samplers.split(",") if args.samplers else [""]:
                for name in args.scenes.split(","):
                    compare_scene(args, scenes, name, sampler, simd, environment, output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
