#!/usr/bin/env python3
"""Compares `nocturnia sample` with the independent model in reference_output.py.

Generates random documents (reproducible from --seed) that exercise star-field
and single-star layers, densities, scales, colour modes, hue shifts,
multi-knot gradients with every interpolation and bias, glow, every flare
type and "Show Flares" value, masks (colour and gradient children, rotated),
both aspect modes and the shader-wide colour adjustments; picks texture points
all over the texture, near single-star cores and near star-field stars; runs
the program on each document and checks every channel against the model.

A channel agrees when it is equal, both are NaN, or the two differ by at most
1e-9 absolutely or relatively; with --exact only when equal (or both NaN).
A point at a star's exact centre, where the colour is left open, is skipped.
Exit status 0 when every channel agrees, 1 otherwise; every disagreement is
printed with its document and point.
"""

import argparse
import json
import math
import os
import random
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True      # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import reference_output as reference  # noqa: E402

TOLERANCE = 1e-9
PI = 3.141592653589793


# ---------------------------------------------------------------- documents

def random_gradient(rng, max_knots=5):
    count = rng.choice([0, 1, 2, 2, 3, 4, max_knots])
    knots = []
    for index in range(count):
        position = rng.choice([rng.random(), rng.random(), round(rng.random(), 1), 0.0, 1.0])
        bias = rng.choice([0.5, 0.5, rng.uniform(0.05, 0.95), rng.uniform(0.05, 0.95), 0.0, 1.0])
        interpolation = rng.choice([2, 2, 5, 0, 1, 3, 4])
        knots.append({"color": [rng.random() for _ in range(3)],
                      "brightness": rng.choice([1.0, 1.0, rng.uniform(0.2, 2.0)]),
                      "position": position, "bias": bias,
                      "interpolation": interpolation, "index": index})
    if count > 2 and rng.random() < 0.3:
        # two knots at the same position: ties keep the insertion order
        knots[1]["position"] = knots[0]["position"]
    return {"settings": {"1002": {"int": 0}}, "knots": knots}


def default_star_gradient():
    return {"settings": {"1002": {"int": 0}},
            "knots": [{"color": [0.9, 0.69, 0.25], "brightness": 1.0, "position": 0.8,
                       "bias": 0.5, "interpolation": 2, "index": 0},
                      {"color": [0.25, 0.76, 1.0], "brightness": 1.0, "position": 1.0,
                       "bias": 0.5, "interpolation": 2, "index": 0}]}


def random_layer(rng, child_count):
    """Values for the layer parameter offsets 3 to 27."""
    mode = rng.choices([0, 1, 2], weights=[60, 35, 5])[0]
    return {
        3: {"bool": rng.random() < 0.85},
        4: {"int": mode},
        5: {"real": rng.choice([0.0, 0.25, 0.5, 1.0, 2.3, rng.uniform(0.0, 3.5), rng.uniform(0.0, 1.0),
                                rng.uniform(4.0, 7.0)])},
        6: {"real": rng.choice([25.87, 45.32, rng.uniform(0.0, 100.0), rng.uniform(0.0, 100.0)])},
        # above 3.2 some stars have a flare weight above 0
        7: {"real": rng.choice([0.5, 0.5, rng.uniform(0.05, 5.0), rng.uniform(3.3, 8.0), 0.0, 0.005])},
        8: {"bool": rng.random() < 0.25},
        9: {"link": rng.randrange(child_count) if child_count and rng.random() < 0.45 else None},
        10: {"real": rng.choice([0.0, rng.uniform(-PI, PI)])},
        11: {"real": rng.choice([0.5, 0.8, 1.0, 1.2, rng.uniform(0.1, 2.5), rng.uniform(0.8, 1.2)])},
        12: {"real": rng.uniform(-0.4, 0.4)},
        13: {"real": rng.uniform(-0.4, 0.4)},
        14: {"real": 0.0},
        15: {"real": rng.choice([1.0, rng.uniform(0.0, 5.0)])},
        16: {"int": rng.randrange(-100000, 100000)},
        17: {"int": rng.choices([0, 1, 2], weights=[45, 45, 10])[0]},
        18: {"gradient": rng.choice([default_star_gradient(), random_gradient(rng), random_gradient(rng)])},
        19: {"vector": rng.choice([[0.9, 0.69, 0.25], [rng.random() for _ in range(3)]])},
        20: {"real": rng.choice([1.0, rng.uniform(0.0, 3.0)])},
        21: {"int": rng.choices([0, 1, 2, 3], weights=[35, 35, 25, 5])[0]},
        22: {"int": rng.choices([0, 1, 2, 3], weights=[33, 31, 31, 5])[0]},
        23: {"real": rng.choice([0.0, rng.uniform(-PI, PI)])},
        24: {"real": rng.choice([0.0, rng.uniform(0.0, 2.0), rng.uniform(0.0, 0.5)])},
        25: {"real": rng.choice([0.75, rng.random(), rng.random(), 0.0, 1.0])},
        26: {"real": rng.choice([0.25, rng.random(), rng.random(), 0.0, 1.0])},
        27: {"real": rng.choice([0.0, 0.0, rng.uniform(0.0, 2 * PI), PI, 2 * PI])},
    }


def flare_weight_between(rng, layer):
    """Without size variation every star of a field has the same size: at
    "Scale" 1.79 to 1.89 its flare weight lies strictly between 0 and 1."""
    if layer[8]["bool"] and rng.random() < 0.5:
        layer[7] = {"real": rng.uniform(1.79, 1.89)}
        layer[21] = {"int": 0}
    return layer


def beyond_limits(rng, layer):
    """Now and then values the Attribute Manager would refuse but a document
    can hold: they must still follow the same arithmetic."""
    if rng.random() < 0.15:
        choices = {5: {"real": rng.uniform(-2.0, 0.0)},       # no pass at all
                   7: {"real": rng.uniform(-3.0, 0.0)},       # raised to 0.01
                   20: {"real": rng.uniform(-2.0, 0.0)},
                   19: {"vector": [rng.uniform(-0.3, 1.6) for _ in range(3)]},
                   27: {"real": rng.choice([rng.uniform(-3.0, 0.0), rng.uniform(2 * PI, 15.0)])},
                   24: {"real": rng.uniform(-1.0, 0.0)},
                   25: {"real": rng.uniform(-1.0, 2.0)},
                   26: {"real": rng.uniform(-1.0, 2.0)},
                   11: {"real": rng.uniform(-2.0, -0.1)}}
        for k in rng.sample(sorted(choices), 2):
            layer[k] = choices[k]
    return layer


def drop_some(rng, layer):
    """Leaves out a few parameters now and then: an absent parameter reads as
    0, false, an empty link or an empty gradient. "Star Size" stays, as 0
    would divide by zero."""
    if rng.random() < 0.2:
        for k in rng.sample([k for k in layer if k != 11], rng.randrange(1, 4)):
            del layer[k]
    return layer


def layer_values(rng, child_count):
    return drop_some(rng, beyond_limits(rng, flare_weight_between(rng, random_layer(rng, child_count))))


def random_document(rng):
    children = []
    for _ in range(rng.randrange(0, 4)):
        if rng.random() < 0.4:
            children.append({"type": "color", "color": [rng.uniform(0.0, 1.5) for _ in range(3)]})
        else:
            children.append({"type": "gradient", "axis": rng.choice(["u", "v"]),
                             "gradient": random_gradient(rng)})

    extra = rng.randrange(0, 4)
    params = {"20303": {"int": extra}}
    base = layer_values(rng, len(children))
    for k, value in base.items():
        params[str(20205 if k == 27 else 4998 + k)] = value
    for i in range(extra):
        group = 30051 + 50 * i
        params[str(group + 2)] = {"bool": True}
        for k, value in layer_values(rng, len(children)).items():
            params[str(group + k)] = value

    contrast = rng.choice([0.0, rng.uniform(-0.8, 1.0)])
    if rng.random() < 0.3:
        # whole-number gamma: a channel pushed below 0 still has a defined power
        gamma = rng.choice([1.0, 2.0, 3.0, 0.0])
        offset = rng.choice([0.0, rng.uniform(-0.3, 0.3)])
    else:
        gamma = rng.choice([1.0, rng.uniform(0.4, 2.5)])
        # keep every channel at or above 0 so that the non-integer power is defined
        offset = 0.5 * max(contrast, 0.0) + rng.choice([0.0, rng.uniform(0.0, 0.2)])
    params.update({
        "20101": {"gradient": rng.choice([random_gradient(rng), random_gradient(rng),
                                          {"settings": {"1002": {"int": 0}}, "knots": [
                                              {"color": [0, 0, 0], "brightness": 1.0, "position": 0.0,
                                               "bias": 0.5, "interpolation": 2, "index": 0}]}])},
        "20102": {"bool": rng.random() < 0.5},
        "20103": {"int": rng.choices([0, 1, 2], weights=[50, 40, 10])[0]},
        "20104": {"real": rng.choice([1.0, rng.uniform(0.5, 2.5)])},
        "20201": {"real": offset},
        "20202": {"real": contrast},
        "20203": {"real": rng.choice([0.0, rng.uniform(-1.0, 1.0)])},
        "20204": {"real": gamma},
    })
    for optional in ("20201", "20202", "20203"):
        if params[optional]["real"] == 0.0 and rng.random() < 0.5:
            del params[optional]          # absent: read as 0
    if rng.random() < 0.15:
        del params["20101"]               # no background gradient: black
    if rng.random() < 0.05:
        del params["20104"]               # no aspect: 0, every column alike

    render = {"width": rng.choice([1280, 640, 500]), "height": rng.choice([720, 480, 500])}
    if rng.random() < 0.5:
        render["aspect"] = rng.uniform(0.5, 2.5)
    return {"format": "nocturnia-document", "version": 1, "render": render,
            "material": {"type": 5703, "params": {"2004": {"int": 0}},
                         "shader": {"type": 1063226, "params": params, "children": children}}}


# ---------------------------------------------------------------- texture points

def ray_offset(rng, layer, reach):
    """An offset from a star's centre, in star-local units: on one of its
    flare rays (just off it, so that the band fades) half of the time,
    anywhere around it otherwise; never the centre itself."""
    distance = reach * rng.uniform(0.02, 1.0)
    if rng.random() < 0.5:
        angle = layer.flare_rotation + rng.randrange(8) * (PI / 4)
        across = rng.choice([0.0, rng.uniform(-1.0, 1.0)]) * 2e-4 / max(distance, 1e-3)
        return (distance * math.cos(angle) - across * math.sin(angle),
                distance * math.sin(angle) + across * math.cos(angle))
    angle = rng.uniform(0.0, 2 * PI)
    return distance * math.cos(angle), distance * math.sin(angle)


def near_single_star(rng, shader, layer):
    """A point inside a single star's core, in its glow or along its flares."""
    dx, dy = ray_offset(rng, layer, rng.choice([0.01, 0.03, 0.08, 0.2]))
    return (0.5 + layer.position_x + dx * layer.star_size / shader.aspect,
            0.5 + layer.position_y + dy * layer.star_size)


def near_field_star(rng, shader, layer):
    """A point close to a star of one pass of a star-field layer, or None."""
    passes = int(layer.density - reference.frac(layer.density))
    k = rng.randrange(passes + 1)
    t = 0.0
    for _ in range(k):
        t = t + 1.0 / (passes + 1)
    f = 0.5 if layer.no_size_variation else reference.frac(t * 12.85)
    base = (1.0 / layer.scale) * 20.0
    zoom = (0.5 - base) * f + base
    offset = t * 453.2
    threshold = 1.0 - reference.frac(layer.density) if k == passes else 0.0
    u, v = rng.random(), rng.random()
    x = zoom * ((u - 0.5) * shader.aspect) + offset
    y = zoom * ((v - 0.5) * -1.0) + offset
    x0, y0 = math.floor(x), math.floor(y)
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            cx, cy = float(x0 + dx), float(y0 + dy)
            h = reference.Shader.cell_hash(cx, cy, layer.seed)
            if h > threshold:
                ox, oy = ray_offset(rng, layer, rng.choice([0.01, 0.03, 0.08, 0.3]))
                sx = cx + h + ox
                sy = cy + reference.frac(h * 10.0) + oy
                return ((sx - offset) / zoom) / shader.aspect + 0.5, 0.5 - (sy - offset) / zoom
    return None


def texture_points(rng, shader, count):
    singles = [layer for layer in shader.layers if layer.enabled and layer.mode == 1]
    fields = [layer for layer in shader.layers
              if layer.enabled and layer.mode == 0 and layer.density > 0.0]
    points = [(0.0, 0.0, 0.0), (1.0, 1.0, 0.0), (0.5, 0.25, 0.0), (0.0, 1.0, 0.0)]
    while len(points) < count:
        kind = rng.random()
        point = None
        if kind < 0.2 and singles and shader.aspect != 0.0:
            point = near_single_star(rng, shader, rng.choice(singles))
        elif kind < 0.45 and fields and shader.aspect != 0.0:
            point = near_field_star(rng, shader, rng.choice(fields))
        if point is None:
            # mostly on the texture, sometimes beyond its borders
            point = (rng.uniform(-0.1, 1.1), rng.uniform(-0.1, 1.1)) if kind > 0.9 \
                else (rng.random(), rng.random())
        w = rng.choice([0.0, 0.0, 0.0, rng.uniform(-0.01, 0.01)])
        points.append((point[0], point[1], w))
    return points


# ---------------------------------------------------------------- comparison

def agrees(expected, actual, exact=False):
    if math.isnan(expected) or math.isnan(actual):
        return math.isnan(expected) and math.isnan(actual)
    if expected == actual:
        return True
    if exact:
        return False
    difference = abs(expected - actual)
    return difference <= TOLERANCE or difference <= TOLERANCE * max(abs(expected), abs(actual))


def run_program(program, document_path, points, sampler="batch", environment=None):
    text = "".join("%r %r %r\n" % p for p in points)
    result = subprocess.run([program, "--quiet", "sample", document_path, "--points", "-", "--sampler", sampler],
                            input=text, capture_output=True, text=True, timeout=300, env=environment)
    if result.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (program, result.returncode, result.stderr.strip()))
    rows = [tuple(float(x) for x in line.split()) for line in result.stdout.splitlines() if line.strip()]
    if len(rows) != len(points) or any(len(row) != 3 for row in rows):
        raise RuntimeError("%s printed %d lines for %d points" % (program, len(rows), len(points)))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the nocturnia program")
    parser.add_argument("--documents", type=int, default=20)
    parser.add_argument("--points", type=int, default=200, help="texture points per document")
    parser.add_argument("--seed", type=int, default=20250201)
    parser.add_argument("--sampler", choices=["output", "batch"], default="batch",
                        help="how the program asks the shader: one Output per point, or batched")
    parser.add_argument("--exact", action="store_true",
                        help="require every channel to be equal bit for bit (NaN matching NaN)")
    parser.add_argument("--keep", metavar="DIR", help="write every document that disagrees to DIR")
    parser.add_argument("--max-report", type=int, default=20, help="disagreements printed per document")
    args = parser.parse_args()

    compared = 0
    skipped = 0
    inexact = 0
    failed_documents = []
    total_mismatches = 0
    with tempfile.TemporaryDirectory(prefix="nocturnia-conformance-") as work:
        for number in range(args.documents):
            rng = random.Random("%d/%d" % (args.seed, number))
            document = random_document(rng)
            shader = reference.Shader(document)
            points = texture_points(rng, shader, args.points)
            path = os.path.join(work, "document-%03d.json" % number)
            with open(path, "w") as f:
                json.dump(document, f, indent=1)
            actual = run_program(args.program, path, points, args.sampler)
            mismatches = []
            for point, got in zip(points, actual):
                try:
                    expected = shader.output(*point)
                except reference.AtStarCentre:
                    skipped += 1        # the colour there is not fixed
                    continue
                compared += 1
                if not all(agrees(e, a, args.exact) for e, a in zip(expected, got)):
                    mismatches.append((point, expected, got))
                elif any(e != a and not (math.isnan(e) and math.isnan(a)) for e, a in zip(expected, got)):
                    inexact += 1
            if mismatches:
                total_mismatches += len(mismatches)
                failed_documents.append(number)
                where = "rerun with --keep DIR to save it"
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    where = os.path.join(args.keep, "document-%03d.json" % number)
                    with open(where, "w") as f:
                        json.dump(document, f, indent=1)
                print("document %d (seed %d, %s): %d of %d points disagree"
                      % (number, args.seed, where, len(mismatches), len(points)))
                for point, expected, got in mismatches[:args.max_report]:
                    print("  point %r %r %r" % point)
                    print("    expected %s" % " ".join("%.17g" % c for c in expected))
                    print("    program  %s" % " ".join("%.17g" % c for c in got))

    print("%d documents, %d texture points compared (%d at a star's exact centre skipped); "
          "%d agree within %g but not bit for bit; %d points disagree in %d documents"
          % (args.documents, compared, skipped, inexact, TOLERANCE, total_mismatches,
             len(failed_documents)))
    return 1 if failed_documents else 0


if __name__ == "__main__":
    sys.exit(main())
