// Single stars: one large star per layer at a chosen place of the texture,
// composited over everything the sample gathered before, in layer order and
// after every star field: a star's core (which may carry sunspots) replaces
// the colour so far, its glow and flares add to it.
//
// Include this only inside a kernel target's namespace, after
// star_shape_lanes.h.

struct SingleStarLanes {
    D color[3];  // the star's contribution
    M covered;   // inside the core: the contribution replaces what lies behind
};

// The colour one single star gives the centred sample points (px, py, pz),
// in the star-local frame: centred on the star, in units of its size. Each
// channel is min(C, I x C) x brightness, taking I x C on a tie or a NaN: the
// colour scaled by the shape's intensity I, saturating at the colour itself.
inline SingleStarLanes SingleStarColor(const SingleStarView& star, D px, D py, D pz, M valid)
{
    const D inverseSize = Set(star.inverseSize);
    const D dx = Mul(Sub(px, Set(star.centreX)), inverseSize);
    const D dy = Mul(Sub(Negate(py), Set(star.positionY)), inverseSize);
    const D dz = Mul(pz, inverseSize);
    const StarShapeLanes shape = StarShape(star.shape, dx, dy, dz, Set(star.flareWeight), valid);

    SingleStarLanes out;
    for (int c = 0; c < 3; ++c) {
        const D C = Set(star.color[c]);
        const D lit = Mul(shape.intensity, C);
        out.color[c] = Mul(Select(Less(C, lit), C, lit), Set(star.brightness));
    }
    out.covered = shape.covered;
    return out;
}

// Every single star of the view composited over the colour A, in layer order.
inline void SingleStarPass(const SamplingView& view, D px, D py, D pz, M valid, D A[3])
{
    for (int s = 0; s < view.singleCount; ++s) {
        const SingleStarLanes star = SingleStarColor(view.singles[s], px, py, pz, valid);
        for (int c = 0; c < 3; ++c) A[c] = Select(star.covered, star.color[c], Add(A[c], star.color[c]));
    }
}

// The single-star pass of the samples (px[i], py[i], pz[i]), i < count, over
// their colours A.
inline void AddSingleStars(const SamplingView& view, const double* px, const double* py, const double* pz, int count,
                           double* const A[3])
{
    for (int start = 0; start < count; start += kLanes) {
        const int n = Fewer(kLanes, count - start);
        D a[3];
        for (int c = 0; c < 3; ++c) a[c] = LoadFirst(A[c] + start, n);
        SingleStarPass(view, LoadFirst(px + start, n), LoadFirst(py + start, n), LoadFirst(pz + start, n),
                       FirstLanes(n), a);
        for (int c = 0; c < 3; ++c) StoreFirst(A[c] + start, a[c], n);
    }
}
