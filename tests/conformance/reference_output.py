#!/usr/bin/env python3
"""An independent model of the shader's per-sample colour, for checking the
plug-in against.

Written in plain Python from the documented behaviour only: the background
gradient lookup, the star-field passes with their cell hash, the star shape
with its flares, single stars, the shader-wide colour adjustments. Python
floats are IEEE doubles and the math module calls the C library, so when every
operation is done in the documented order the results agree bit for bit with
a correct C++ build.

Not modelled: sunspots (their pattern is the host's noise). Documents used
with this model keep every "Sunspots Extent" at 0, where the sunspot factor
is exactly 1.

Where the documented arithmetic leaves a value open, the model takes the
plug-in's documented choices, so that documents with extreme values (huge
points and seeds, overflowing adjustments) can be checked too: floor leaves
infinities and NaN as they are; a hue that is not a finite number converts
back through the last row of the sector table with f = 0; a channel that
ends as NaN is black; a single star of size 0 draws nothing. A star's exact
centre, where the core value 0.05 / r is not finite, raises AtStarCentre
unless a centre intensity is given (the plug-in's is 1e12).

Usage as a program: reference_output.py DOC < points, one "u v [w]" per line;
prints "r g b" per point with 17 significant digits, like `nocturnia sample`.
"""

import json
import math
import sys

TWO_PI = 6.283185307179586
QUARTER_TURN_ANGLE = 0.7853981633974483     # pi / 4, the second cross of "Two Crosses"
FIELD_FLARE_SPAN = 0.09999999999999998      # the double difference 0.9 - 0.8
SINGLE_FLARE_SPAN = 0.3999999999999999      # the double difference 1.2 - 0.8

BLACK = (0.0, 0.0, 0.0)


class AtStarCentre(ArithmeticError):
    """The point is a star's exact centre, where the core value is unbounded
    and the colour is the implementation's choice."""


def c_floor(a):
    """floor() as the C library has it: infinities and NaN stay as they are."""
    return float(math.floor(a)) if math.isfinite(a) else a


def frac(a):
    return a - c_floor(a)


def black_if_nan(a):
    return 0.0 if math.isnan(a) else a


def c_pow(base, exponent):
    """pow() with the C library's results where Python raises instead."""
    odd_integer = float(exponent).is_integer() and math.fmod(exponent, 2.0) != 0.0
    try:
        return math.pow(base, exponent)
    except ValueError:
        if base == 0.0:             # pole: +-0 to a negative power
            return math.copysign(math.inf, base) if odd_integer else math.inf
        return math.nan             # negative base, non-integer exponent
    except OverflowError:
        return -math.inf if base < 0.0 and odd_integer else math.inf


# ---------------------------------------------------------------- gradients

class Gradient:
    """A host gradient: knots sorted by position, equal positions kept in the
    order they were inserted (the order of the document's knot list)."""

    def __init__(self, data):
        knots = []
        for order, knot in enumerate((data or {}).get("knots", [])):
            colour = knot.get("color", [0.0, 0.0, 0.0])
            brightness = float(knot.get("brightness", 1.0))
            knots.append((float(knot.get("position", 0.0)), order,
                          tuple(float(c) * brightness for c in colour),
                          float(knot.get("bias", 0.5)), int(knot.get("interpolation", 0))))
        knots.sort(key=lambda k: (k[0], k[1]))
        self.knots = knots

    def colour(self, x):
        knots = self.knots
        if not knots:
            return BLACK
        x = min(max(x, 0.0), 1.0)
        if x <= knots[0][0]:
            return knots[0][2]
        if x >= knots[-1][0]:
            return knots[-1][2]
        # The segment that starts at the last knot at or below x: at the exact
        # position of an inner knot, the segment starting there applies.
        j = 0
        while j + 1 < len(knots) and knots[j + 1][0] <= x:
            j += 1
        p0, _, a, bias, interpolation = knots[j]
        p1, _, b, _, _ = knots[j + 1]
        t = (x - p0) / (p1 - p0)
        if 0.0 < bias < 1.0 and bias != 0.5:
            t = c_pow(t, math.log(bias) / math.log(0.5))
        if interpolation == 2:
            t = t * t * (3.0 - 2.0 * t)
        elif interpolation == 5:
            t = 0.0
        return tuple(a[c] + (b[c] - a[c]) * t for c in range(3))


# ---------------------------------------------------------------- colour conversions

def rgb_to_hsv(colour):
    r, g, b = colour
    mx = max(r, g, b)
    mn = min(r, g, b)
    if not mx > 0.0:
        return (0.0, 0.0, 0.0)
    s = 1.0 - mn / mx
    if s < 0.001:
        return (0.0, 0.0, mn)
    d = mx - mn
    k = 0.0 if d == 0.0 else 1.0 / d
    if r == mx:
        h6 = (g - b) * k
    elif g == mx:
        h6 = (b - r) * k + 2.0
    else:
        h6 = (r - g) * k + 4.0
    h = h6 / 6.0
    if h < 0.0:
        h = h + 1.0
    return (h, s, mx)


def hsv_to_rgb(hsv):
    h, s, v = hsv
    if s < 0.001:
        return (v, v, v)
    if h == 1.0:
        h = 0.0
    x = 6.0 * h
    whole = c_floor(x)
    i = int(whole) if 0.0 <= whole < 6.0 else 6     # outside [0, 6) or NaN: the last row
    f = x - whole
    if not math.isfinite(f):
        f = 0.0
    p = (1.0 - s) * v
    q = (1.0 - f * s) * v
    t = (1.0 - (1.0 - f) * s) * v
    return {
        1: (q, v, p),
        2: (p, v, t),
        3: (p, q, v),
        4: (t, p, v),
        5: (v, p, q),
    }.get(i, (v, t, p))


def shift_hue(colour, turns):
    if not turns > 0.0:
        return colour
    h, s, v = rgb_to_hsv(colour)
    h = h + turns
    if h > 1.0:
        h = h - 1.0
    return hsv_to_rgb((h, s, v))


# ---------------------------------------------------------------- the document

def _param(params, pid, kind, default):
    entry = params.get(str(pid))
    if isinstance(entry, dict) and kind in entry and entry[kind] is not None:
        return entry[kind]
    return default


class Mask:
    """A child shader of the document: a constant colour, or a gradient along
    the texture point's u or v."""

    def __init__(self, child):
        self.kind = child.get("type")
        self.colour_value = tuple(float(c) for c in child.get("color", [0.0, 0.0, 0.0]))
        self.axis = child.get("axis", "u")
        self.gradient = Gradient(child.get("gradient"))

    def sample(self, point):
        if self.kind == "color":
            return self.colour_value
        if self.kind == "gradient":
            return self.gradient.colour(point[0] if self.axis == "u" else point[1])
        return BLACK


class Layer:
    def __init__(self, params, ids, children):
        def real(k):
            return float(_param(params, ids[k], "real", 0.0))

        def integer(k):
            return int(_param(params, ids[k], "int", 0))

        def boolean(k):
            return bool(_param(params, ids[k], "bool", False))

        self.enabled = boolean(3)
        self.mode = integer(4)
        self.density = real(5)
        self.seed = real(6)
        self.scale = 0.01 if real(7) < 0.01 else real(7)
        self.no_size_variation = boolean(8)
        link = _param(params, ids[9], "link", None)
        self.mask = Mask(children[link]) if isinstance(link, int) and 0 <= link < len(children) else None
        self.rotate = real(10)
        self.star_size = real(11)
        self.position_x = real(12)
        self.position_y = real(13)
        self.sunspot_extent = real(14)
        self.colour_mode = integer(17)
        self.colour_gradient = Gradient(_param(params, ids[18], "gradient", None))
        self.colour = tuple(float(c) for c in _param(params, ids[19], "vector", [0.0, 0.0, 0.0]))
        self.brightness = real(20)
        self.show_flares = integer(21)
        self.flare_type = integer(22)
        self.flare_rotation = real(23)
        self.glow = real(24)
        self.flare_width_complement = 1.0 - real(25)
        self.flare_length_complement = 1.0 - real(26)
        self.hue_shift = real(27) / TWO_PI


def _layer_ids(index):
    """Parameter ID per layer parameter offset (3 to 27) for layer index
    (0 the base layer, i + 1 extra layer i)."""
    if index == 0:
        ids = {k: 4998 + k for k in range(3, 27)}
        ids[27] = 20205
        return ids
    group = 30051 + 50 * (index - 1)
    return {k: group + k for k in range(3, 28)}


class Shader:
    def __init__(self, document, centre_intensity=None):
        self.centre_intensity = centre_intensity
        shader = document.get("material", {}).get("shader", {})
        params = shader.get("params", {})
        children = shader.get("children", [])
        self.layers = [Layer(params, _layer_ids(0), children)]
        count = int(_param(params, 20303, "int", 0))
        for i in range(max(count, 0)):
            self.layers.append(Layer(params, _layer_ids(i + 1), children))

        aspect_mode = int(_param(params, 20103, "int", 0))
        if aspect_mode == 1:
            render = document.get("render", {})
            if "aspect" in render:
                self.aspect = float(render["aspect"])
            else:
                self.aspect = float(render["width"]) / float(render["height"])
        else:
            self.aspect = float(_param(params, 20104, "real", 0.0))
        self.background = Gradient(_param(params, 20101, "gradient", None))
        self.brightness_offset = float(_param(params, 20201, "real", 0.0))
        self.contrast = float(_param(params, 20202, "real", 0.0))
        x = float(_param(params, 20203, "real", 0.0))
        self.saturation_factor = (x + 1.0) * (x + 1.0) * (x + 1.0)
        self.gamma = float(_param(params, 20204, "real", 0.0))

    # ------------------------------------------------------------ star shape

    def star_shape(self, layer, d, weight):
        dx, dy, dz = d
        r = math.sqrt(dx * dx + dy * dy + dz * dz)
        q = 0.05 / r if r != 0.0 else math.inf
        if math.isinf(q) and self.centre_intensity is None:
            raise AtStarCentre()
        if q < 2.0:
            covered = False
            intensity = (q * layer.glow) * (q * layer.glow)
        else:
            covered = True
            intensity = self.centre_intensity if math.isinf(q) else q
        if layer.flare_width_complement < 1.0 and layer.flare_length_complement < 1.0 \
                and layer.show_flares != 2:
            def add(term):
                if layer.show_flares == 1:
                    return term
                if layer.show_flares == 0:
                    return term * weight
                return None

            def streak(x, y):
                band = max(1.0 - abs(x * y * layer.flare_width_complement * 10000.0), 0.0)
                return max((r * layer.flare_length_complement * 20.0) * (-band) + band, 0.0)

            c = math.cos(layer.flare_rotation)
            s = math.sin(layer.flare_rotation)
            x1 = c * dx + s * dy
            y1 = -s * dx + c * dy
            if not (layer.flare_type == 2 and abs(x1) >= 0.01):
                term = add(streak(x1, y1))
                if term is not None:
                    intensity = intensity + term
            if layer.flare_type == 0:
                c2 = math.cos(QUARTER_TURN_ANGLE)
                s2 = math.sin(QUARTER_TURN_ANGLE)
                x2 = c2 * x1 + s2 * y1
                y2 = -s2 * x1 + c2 * y1
                term = add(streak(x2, y2))
                if term is not None:
                    intensity = intensity + term
        # Sunspots are not modelled: with "Sunspots Extent" 0 their factor is 1.
        return intensity, covered

    # ------------------------------------------------------------ star field

    @staticmethod
    def cell_hash(x, y, s):
        a = frac(x * 123.34)
        b = frac(y * 456.21)
        big_a = (s + a) * a
        big_b = (s + b) * b
        s1 = big_a + big_b
        s2 = (s1 + s) * s1 + big_b
        return frac(s2 * s1)

    def star_field_pass(self, layer, point, last_pass):
        x, y = point[0], point[1]
        x0 = c_floor(x)
        y0 = c_floor(y)
        ox = x - x0 - 0.5
        oy = y - y0 - 0.5
        sr = sg = sb = 0.0
        for dy in (-1.0, 0.0, 1.0):
            for dx in (-1.0, 0.0, 1.0):
                h = self.cell_hash(x0 + dx, y0 + dy, layer.seed)
                threshold = 1.0 - frac(layer.density) if last_pass else 0.0
                if not h > threshold:
                    continue
                size_factor = layer.scale if layer.no_size_variation else frac(h * 345.32)
                size = layer.scale * size_factor * 0.25
                if size <= 0.8:
                    weight = 0.0
                elif size >= 0.9:
                    weight = 1.0
                else:
                    t = (size - 0.8) / FIELD_FLARE_SPAN
                    weight = (3.0 - 2.0 * t) * (t * t)
                d = (ox - dx - (h - 0.5), oy - dy - (frac(h * 10.0) - 0.5), 0.0)
                intensity, _ = self.star_shape(layer, d, weight)
                if layer.colour_mode == 1:
                    q = size_factor * layer.scale * 0.5
                    if q <= 0.25:
                        position = 0.0
                    elif q >= 0.95:
                        position = 1.0
                    else:
                        t = (q - 0.25) / 0.7
                        position = (3.0 - 2.0 * t) * (t * t)
                else:
                    position = h
                k = shift_hue(layer.colour_gradient.colour(position), layer.hue_shift)
                g = intensity * size_factor
                sr = sr + k[0] * g
                sg = sg + k[1] * g
                sb = sb + k[2] * g
        return tuple(min(max(v, 0.0), 1.0) * layer.brightness for v in (sr, sg, sb))

    # ------------------------------------------------------------ single stars

    def single_star_colour(self, layer, point):
        px, py, pz = point
        g = layer.star_size
        inverse = 1.0 / g if g != 0.0 else math.inf
        d = ((px - layer.position_x * self.aspect) * inverse, (-py - layer.position_y) * inverse,
             pz * inverse)
        if g <= 0.8:
            weight = 0.0
        elif g >= 1.2:
            weight = 1.0
        else:
            t = (g - 0.8) / SINGLE_FLARE_SPAN
            weight = (t * t) * (3.0 - 2.0 * t)
        intensity, covered = self.star_shape(layer, d, weight)
        colour = shift_hue(layer.colour, layer.hue_shift)
        out = []
        for c in colour:
            lit = intensity * c
            out.append((c if c < lit else lit) * layer.brightness)
        return tuple(out), covered

    # ------------------------------------------------------------ the sample

    def output(self, u, v, w=0.0):
        accumulated = self.background.colour((v - 0.5) + 0.5)
        point = ((u - 0.5) * self.aspect, (v - 0.5) * -1.0, w)
        for layer in self.layers:
            if not (layer.enabled and layer.mode == 0):
                continue
            total = BLACK
            passes = int(layer.density - frac(layer.density))
            if passes + 1 > 0:
                t = 0.0
                for k in range(passes + 1):
                    f = 0.5 if layer.no_size_variation else frac(t * 12.85)
                    base = (1.0 / layer.scale) * 20.0
                    zoom = (0.5 - base) * f + base
                    offset = t * 453.2
                    pass_point = (zoom * point[0] + offset, zoom * point[1] + offset,
                                  zoom * point[2] + offset)
                    light = self.star_field_pass(layer, pass_point, k == passes)
                    total = tuple(total[c] + light[c] for c in range(3))
                    t = t + 1.0 / (passes + 1)
            if layer.mask is not None:
                c = math.cos(layer.rotate)
                s = math.sin(layer.rotate)
                turned = (c * u + s * v, -s * u + c * v, 0.0 * u + 0.0 * v + 0.0 * w)
                m = layer.mask.sample(turned)
                total = tuple(total[i] * m[i] for i in range(3))
            accumulated = tuple(accumulated[i] + total[i] for i in range(3))

        for layer in self.layers:
            if not (layer.enabled and layer.mode == 1 and layer.star_size != 0.0):
                continue
            out, covered = self.single_star_colour(layer, point)
            if covered:
                accumulated = out
            else:
                accumulated = tuple(accumulated[i] + out[i] for i in range(3))

        adjusted = tuple((a - 0.5) * (1.0 + self.contrast) + 0.5 + self.brightness_offset
                         for a in accumulated)
        h, s, value = rgb_to_hsv(adjusted)
        s = s * self.saturation_factor
        if s < 0.0:
            s = 0.0
        if s > 1.0:
            s = 1.0
        adjusted = hsv_to_rgb((h, s, value))
        return tuple(black_if_nan(c_pow(a, self.gamma)) for a in adjusted)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: reference_output.py DOC < points\n")
        return 2
    with open(argv[1]) as f:
        shader = Shader(json.load(f))
    for line in sys.stdin:
        fields = line.split()
        if not fields:
            continue
        u, v = float(fields[0]), float(fields[1])
        w = float(fields[2]) if len(fields) > 2 else 0.0
        try:
            print(" ".join("%.17g" % c for c in shader.output(u, v, w)))
        except AtStarCentre:
            print("centre centre centre")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
