// The profile every star shares, field stars and single stars alike: a
// bright core, a glow falling off with the square of the distance, optional
// flares along one or two crosses, and the sunspots inside a single star's
// core. The caller multiplies the intensity by the star's colour.
//
// Include this only inside a kernel target's namespace, after simd_lanes.h.

// The core value 0.05 / r grows without bound towards the centre. Where it
// is no longer finite (the exact centre, or a distance so small that the
// division overflows) the shape takes this value instead: far above the
// point (2) where every colour saturates, yet small enough that colour x
// intensity x size factor stays finite and a black channel stays black.
constexpr double kCentreIntensity = 1e12;

// Cosine and sine of pi/4 as the C library computes them (they differ in the
// last bit), turning the first cross into the second.
constexpr double kCos45 = 0.7071067811865476;
constexpr double kSin45 = 0.7071067811865475;

struct StarShapeLanes {
    D intensity;  // multiplies the star's colour
    M covered;    // the point lies inside the core (r <= 0.025, or r not a number)
};

// One cross's streak: a band around the rotated axes (where x y is small)
// that fades linearly with the distance, `fade` being r x length complement
// x 20; neither goes below 0.
NOC_KERNEL_STEP D CrossStreak(const ShapeView& shape, D x, D y, D fade)
{
    const D product = Mul(Mul(Mul(x, y), Set(shape.flareWidthComplement)), Set(10000.0));
    const D band = MaxLikeStd(Sub(Set(1.0), Abs(product)), Set(0.0));
    return MaxLikeStd(Add(Mul(fade, Negate(band)), band), Set(0.0));
}

// What a cross adds to the intensity under the layer's Show Flares.
NOC_KERNEL_STEP D ShownFlare(const ShapeView& shape, D streak, D flareWeight)
{
    return shape.flares == KernelFlares::kSizeDependent ? Mul(streak, flareWeight) : streak;
}

// Whether both crosses add exactly +0 in every lane of `relevant`, so that
// they need not be computed. With bounded settings and r at most
// kBoundedFlareReach, every product of a cross is finite and its band l lies
// in [0, 1], never -0 (1 - |p| is +0 at |p| = 1). Where fade >= 1, fade x l
// >= l (rounding is monotonic), so fade x (-l) + l is +0 or below 0 (a
// difference of doubles is 0 only when they are equal) and the streak is +0;
// where the flare weight is +-0 ("Size Dependent"), the finite streak times
// it is +-0. A flare weight that is NaN or infinite (+0 x infinity is NaN)
// would make the term NaN, so it takes the whole way. The intensity is never
// -0 (a square, or a core value above 2), so adding +-0 leaves it as it is.
NOC_KERNEL_STEP bool CrossesVanish(const ShapeView& shape, D r, D fade, D flareWeight, M relevant)
{
    if (!shape.crossesCanVanish) return false;
    M vanish = GreaterEqual(fade, Set(1.0));
    if (shape.flares == KernelFlares::kSizeDependent) {
        vanish = And(Or(vanish, Equal(flareWeight, Set(0.0))), Less(Abs(flareWeight), Set(__builtin_inf())));
    }
    vanish = And(vanish, LessEqual(r, Set(kBoundedFlareReach)));
    return Bits(AndNot(relevant, vanish)) == 0;
}

// The flare crosses added to `intensity` at (dx, dy), the point turned by the
// flare rotation; the second cross turned by pi/4 further.
NOC_KERNEL_STEP D WithFlares(const ShapeView& shape, D intensity, D dx, D dy, D r, D flareWeight, M relevant)
{
    const D fade = Mul(Mul(r, Set(shape.flareLengthComplement)), Set(20.0));
    if (CrossesVanish(shape, r, fade, flareWeight, relevant)) return intensity;

    const D c = Set(shape.flareCos);
    const D s = Set(shape.flareSin);
    const D x1 = Add(Mul(c, dx), Mul(s, dy));
    const D y1 = Add(Mul(Set(-shape.flareSin), dx), Mul(c, dy));
    const D first = Add(intensity, ShownFlare(shape, CrossStreak(shape, x1, y1, fade), flareWeight));
    // "Single": the first cross only within 0.01 of the rotated y axis.
    intensity = shape.singleFlare ? Select(GreaterEqual(Abs(x1), Set(0.01)), intensity, first) : first;
    if (shape.secondCross) {
        const D x2 = Add(Mul(Set(kCos45), x1), Mul(Set(kSin45), y1));
        const D y2 = Add(Mul(Set(-kSin45), x1), Mul(Set(kCos45), y1));
        intensity = Add(intensity, ShownFlare(shape, CrossStreak(shape, x2, y2, fade), flareWeight));
    }
    return intensity;
}

// Inside the core (q > 2, strictly) of a star with sunspots the intensity
// takes the sunspot factor of the host's noise at ((d + offset) x frequency):
// 0 inside a spot (noise at or below extent - 0.01), the noise value itself on
// a spot's thin edge, 1 on clear surface (noise at or above the extent). The
// noise is asked only for the lanes of `relevant` inside the core.
inline D SunspotFactor(D noise, double extent)
{
    const D f = Select(LessEqual(noise, Set(extent - 0.01)), Set(0.0), noise);
    return Select(LessEqual(Set(extent), f), Set(1.0), f);
}

inline D WithSunspots(const ShapeView& shape, D intensity, D q, D dx, D dy, D dz, M relevant)
{
    const M spotted = And(Greater(q, Set(2.0)), relevant);
    const int lanes = Bits(spotted);
    if (lanes == 0) return intensity;
    const D frequency = Set(shape.sunspotFrequency);
    double point[3][kLanes];
    Store(point[0], Mul(Add(dx, Set(shape.sunspotOffset[0])), frequency));
    Store(point[1], Mul(Add(dy, Set(shape.sunspotOffset[1])), frequency));
    Store(point[2], Mul(Add(dz, Set(shape.sunspotOffset[2])), frequency));
    double noise[kLanes] = {};
    for (int i = 0; i < kLanes; ++i) {
        if (((lanes >> i) & 1) == 0) continue;
        const double at[3] = {point[0][i], point[1][i], point[2][i]};
        noise[i] = shape.noiseAt(shape.noise, at);
    }
    return Select(spotted, Mul(intensity, SunspotFactor(Load(noise), shape.sunspotExtent)), intensity);
}

// The shape of a star at d = (dx, dy, dz) from its centre, in star-local
// units. `flareWeight` (0 to 1) scales the flares shown "Size Dependent".
// `relevant` holds the lanes whose result is used: only they decide whether
// the crosses can be skipped, and only they ask for sunspot noise.
NOC_KERNEL_STEP StarShapeLanes StarShape(const ShapeView& shape, D dx, D dy, D dz, D flareWeight, M relevant)
{
    // The distance (squares summed in the order x, y, z) and the core value.
    const D r = Sqrt(Add(Add(Mul(dx, dx), Mul(dy, dy)), Mul(dz, dz)));
    const D q = Div(Set(0.05), r);

    // Outside the core (q < 2) the glow (q x glow)^2; inside it q itself.
    const D glow = Mul(q, Set(shape.glow));
    const D core = Select(Equal(Abs(q), Set(__builtin_inf())), Set(kCentreIntensity), q);
    const M outside = Less(q, Set(2.0));
    D intensity = Select(outside, Mul(glow, glow), core);

    if (shape.flares != KernelFlares::kNone) intensity = WithFlares(shape, intensity, dx, dy, r, flareWeight, relevant);
    if (shape.noise != nullptr) intensity = WithSunspots(shape, intensity, q, dx, dy, dz, relevant);
    return StarShapeLanes{intensity, Or(GreaterEqual(q, Set(2.0)), IsNaN(q))};
}
