#!/usr/bin/env python3
"""Runs every kernel variant of `nocturnia sample`, batched and per sample,
against the independent model in reference_output.py on random documents,
bit for bit.

The documents are those of compare_sample.py; every other one has its layers'
glow set to 0 and their flares to "Never", so that the kernels' shortcut for
cells beyond a star's core is taken, and every third one has extreme seeds
(beyond the size up to which the kernels narrow the cells they hash) and
extreme adjustments (colours that overflow to infinities and NaN before and
after the HSV round trip, negative and tiny gammas; every sixth one turns
greys into +infinity). Points include the extremes a texture
point read from text can hold (negative, beyond 1, beyond 2^52, near the
largest double, -0); huge points overflow the pass points to infinities and
NaN, which the kernels meet that way. The model takes the plug-in's
documented choices where the arithmetic leaves a value open (the value at a
star's exact centre among them), so every point is compared. A variant that
this CPU cannot run is reported by the program and listed as skipped.
Exit status 0 when every variant that ran agrees on every channel.
"""

import argparse
import math
import os
import random
import struct
import sys
import tempfile
import json

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare_sample  # noqa: E402
import reference_output as reference  # noqa: E402

CENTRE_INTENSITY = 1e12     # the plug-in's core value where 0.05 / r is not finite
VARIANTS = ["scalar", "sse2", "sse41", "avx2", "avx512"]
EXTREMES = [0.0, -0.0, 1.0, -1e-300, 1e-300, 0.5, -3.75, 7.25, 2.0 ** 52, -(2.0 ** 53) - 2.0, 1e308, -1e308]


def without_glow_and_flares(document):
    params = document["material"]["shader"]["params"]
    glow = ["5022"] + [str(30051 + 50 * i + 24) for i in range(params["20303"]["int"])]
    flares = ["5019"] + [str(30051 + 50 * i + 21) for i in range(params["20303"]["int"])]
    for key in glow:
        params[key] = {"real": 0.0}
    for key in flares:
        params[key] = {"int": 2}
    return document


def with_extremes(rng, document):
    params = document["material"]["shader"]["params"]
    seeds = ["5004"] + [str(30051 + 50 * i + 6) for i in range(params["20303"]["int"])]
    for key in seeds:
        if rng.random() < 0.6:
            params[key] = {"real": rng.choice([1e100, -1e101, 3.5e150, 1e300, -1.7e308, 2.0 ** 52 + 0.5])}
    extremes = {"20202": [1e200, -1e300, 50.0, -1.0],     # contrast
                "20203": [-3.0, 1e10, 4.0],               # saturation
                "20204": [-2.0, 1e-3, 0.5, 7.0],          # gamma
                "20201": [-1e308, 1e308, 0.7]}            # brightness offset
    for key, values in extremes.items():
        if rng.random() < 0.5:
            params[key] = {"real": rng.choice(values)}
    return document


def bits(row):
    return tuple(struct.pack("<d", value) if not math.isnan(value) else b"nan" for value in row)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--documents", type=int, default=30)
    parser.add_argument("--points", type=int, default=300)
    parser.add_argument("--seed", type=int, default=20261208)
    args = parser.parse_args()

    ran, skipped, failures = set(), {}, 0
    with tempfile.TemporaryDirectory(prefix="nocturnia-variants-") as work:
        for number in range(args.documents):
            rng = random.Random("%d/%d" % (args.seed, number))
            document = compare_sample.random_document(rng)
            if number % 2 == 1:
                document = without_glow_and_flares(document)
            shader = reference.Shader(document)
            points = compare_sample.texture_points(rng, shader, args.points)
            points += [(rng.choice(EXTREMES), rng.choice(EXTREMES + [rng.random()]), rng.choice([0.0, -0.0, 0.3]))
                       for _ in range(40)]
            # After the points, which the model places near the stars it draws.
            if number % 3 == 2:
                document = with_extremes(rng, document)
            if number % 6 == 5:
                # Greys that overflow to +infinity before the HSV round trip
                # (a black background becomes 0.85e308 + 1e308), which is then
                # no grey; a gamma of 0 would make every colour 1.
                black = {"settings": {"1002": {"int": 0}}, "knots": [
                    {"color": [0, 0, 0], "brightness": 1.0, "position": 0.0, "bias": 0.5, "interpolation": 2,
                     "index": 0}]}
                document["material"]["shader"]["params"].update({
                    "20101": {"gradient": black}, "20202": {"real": -1.7e308}, "20201": {"real": 1e308},
                    "20204": {"real": 2.0}})
            path = os.path.join(work, "document-%03d.json" % number)
            with open(path, "w") as f:
                json.dump(document, f)
            model = reference.Shader(document, centre_intensity=CENTRE_INTENSITY)
            expected = [model.output(*point) for point in points]
            for variant in VARIANTS:
                if variant in skipped:
                    continue
                environment = dict(os.environ, NOCTURNIA_SIMD=variant)
                # Without --quiet the program says when it cannot run a variant.
                probe = compare_sample.subprocess.run(
                    [args.program, "sample", path, "--at", "0.5,0.5"], capture_output=True, text=True,
                    env=environment, timeout=60)
                if "cannot run it" in probe.stderr:
                    skipped[variant] = probe.stderr.strip().splitlines()[0]
                    continue
                ran.add(variant)
                for sampler in ("batch", "output"):
                    actual = compare_sample.run_program(args.program, path, points, sampler, environment)
                    for point, e, a in zip(points, expected, actual):
                        if bits(e) != bits(a):
                            failures += 1
                            if failures <= 20:
                                print("%s %s, document %d, point %r: model %r, got %r"
                                      % (variant, sampler, number, point, e, a))

    print("variants run: %s" % ", ".join(v for v in VARIANTS if v in ran))
    for variant, why in skipped.items():
        print("variant skipped: %s (%s)" % (variant, why))
    print("%d channels disagree" % failures)
    return 1 if failures or not ran else 0


if __name__ == "__main__":
    sys.exit(main())
