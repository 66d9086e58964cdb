"""Texture points at which two builds of the shader are compared.

A few hundred points: a jittered grid over the whole texture (background,
star fields, masks), the texture's borders, and for every Single Star layer of
the document a dense patch inside its core (sunspots) and rays through its
glow and flares.
"""

GRID = 16          # 16 x 16 jittered grid
CORE_STEPS = 7     # up to 7 x 7 points inside each single star's core
RAY_RADII = (1.2, 1.6, 2.5, 4.0, 6.0)   # in core radii
CORE_RADIUS = 0.025                      # in star-local units (the core value 0.05/r reaches 2)


class Lcg:
    """A fixed sequence of numbers in [0, 1): the points must be the same on every run."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % 2**64
        return (self.state >> 11) / 2.0**53


def _param(params, pid, kind, default):
    entry = params.get(str(pid))
    if isinstance(entry, dict) and kind in entry:
        return entry[kind]
    return default


def single_stars(document):
    """(centre u, centre v, core radius in u, core radius in v) of each enabled
    Single Star layer, read the way the shader reads the parameters."""
    shader = document.get("material", {}).get("shader", {})
    params = shader.get("params", {})
    render = document.get("render", {})
    if _param(params, 20103, "int", 0) == 1:
        width, height = render.get("width", 1280), render.get("height", 720)
        aspect = render.get("aspect", width / height)
    else:
        aspect = _param(params, 20104, "real", 1.0)
    # (use, mode, size, x, y) IDs of the base layer, then of each extra layer
    layers = [(5001, 5002, 5009, 5010, 5011)]
    for i in range(max(0, _param(params, 20303, "int", 0))):
        g = 30051 + 50 * i
        layers.append((g + 3, g + 4, g + 11, g + 12, g + 13))
    stars = []
    for use, mode, size, x, y in layers:
        if not _param(params, use, "bool", True) or _param(params, mode, "int", 0) != 1:
            continue
        star_size = _param(params, size, "real", 0.5)
        if star_size <= 0 or aspect == 0:
            continue
        radius_v = CORE_RADIUS * star_size
        stars.append((0.5 + _param(params, x, "real", 0.0), 0.5 + _param(params, y, "real", 0.0),
                      radius_v / abs(aspect), radius_v))
    return stars


def core_points(star):
    """Points strictly inside the core of one star, where sunspots show."""
    cu, cv, ru, rv = star
    points = []
    for i in range(CORE_STEPS):
        for j in range(CORE_STEPS):
            a = (i + 0.5) / CORE_STEPS * 2.0 - 1.0
            b = (j + 0.5) / CORE_STEPS * 2.0 - 1.0
            if a * a + b * b < 0.95:
                points.append((cu + a * ru, cv + b * rv, 0.0))
    return points


def texture_points(document):
    random = Lcg(20240611)
    points = []
    for i in range(GRID):
        for j in range(GRID):
            w = 0.0 if (i + j) % 7 else 0.004 * random.next()
            points.append(((i + random.next()) / GRID, (j + random.next()) / GRID, w))
    for u, v in ((0.0, 0.0), (1.0, 1.0), (0.0, 1.0), (1.0, 0.0), (0.5, 0.0), (0.5, 1.0), (0.0, 0.5), (1.0, 0.5)):
        points.append((u, v, 0.0))
    for star in single_stars(document):
        points.extend(core_points(star))
        cu, cv, ru, rv = star
        for k, scale in enumerate(RAY_RADII):
            # along the axes (flares of a cross) and a diagonal (second cross)
            points.append((cu + scale * ru, cv, 0.0))
            points.append((cu, cv - scale * rv, 0.0))
            points.append((cu - 0.7071 * scale * ru, cv + 0.7071 * scale * rv, 0.0))
    return points


def points_text(points):
    return "".join("%.17g %.17g %.17g\n" % p for p in points)
