#!/usr/bin/env python3
"""Samples per second of the Python module's Document.sample against the
benchmark program's one-thread batched sampling (Sample/Batch/...), scene by
scene, in alternating rounds; prints each side's median and their ratio.

The module samples 1,048,576 points from a NumPy array: the benchmark's
256 x 256 grid of pixel centres, sixteen times over, on the calling thread.
Its rate is per second of that thread's CPU time, as the benchmark's is.

Usage: PYTHONPATH=build/default/python /usr/bin/python3 bench/python_sample_bench.py \\
           --bench build/default/bin/nocturnia_bench [--rounds 5]
"""

import argparse
import json
import os
import statistics
import subprocess
import time

import numpy
import nocturnia

HERE = os.path.dirname(os.path.abspath(__file__))
SCENES = {  # the benchmark's scene name: the document the module opens (None: a new one)
    "default_node": None,
    "heavy": os.path.join(HERE, "scenes", "heavy.json"),
    "built-in_example": os.path.join(HERE, "..", "examples", "night-sky.json"),
}


def grid_points(side=256, repeats=16):
    centres = (numpy.arange(side) + 0.5) / side
    u, v = numpy.meshgrid(centres, centres)
    grid = numpy.column_stack([u.ravel(), v.ravel()])
    return numpy.tile(grid, (repeats, 1))


def module_rate(document, points):
    doc = nocturnia.Document.new() if document is None else nocturnia.Document.open(document)
    doc.sample(points[:4096])  # warm
    started = time.thread_time()
    doc.sample(points)
    return len(points) / (time.thread_time() - started)


def bench_rates(program):
    done = subprocess.run([program, "--benchmark_filter=^Sample/Batch/", "--benchmark_format=json",
                           "--benchmark_min_time=1"], capture_output=True, text=True, check=True)
    rates = {}
    for result in json.loads(done.stdout)["benchmarks"]:
        rates[result["name"].rsplit("/", 1)[-1]] = result["samples/s"]
    return rates


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", required=True, help="the built nocturnia_bench")
    parser.add_argument("--rounds", type=int, default=5)
    arguments = parser.parse_args()
    points = grid_points()
    module = {scene: [] for scene in SCENES}
    program = {scene: [] for scene in SCENES}
    for _ in range(arguments.rounds):
        for scene, rate in bench_rates(arguments.bench).items():
            if scene in program:
                program[scene].append(rate)
        for scene, document in SCENES.items():
            module[scene].append(module_rate(document, points))
    worst = None
    for scene in SCENES:
        ours, theirs = statistics.median(module[scene]), statistics.median(program[scene])
        ratio = ours / theirs
        worst = ratio if worst is None else min(worst, ratio)
        print(f"{scene:18s} module {ours / 1e6:8.3f} M samples/s   benchmark {theirs / 1e6:8.3f} M samples/s   "
              f"ratio {ratio:.3f}")
    print(f"lowest ratio {worst:.3f} (target 0.9 or more)")
    return 0 if worst >= 0.9 else 1


if __name__ == "__main__":
    raise SystemExit(main())
