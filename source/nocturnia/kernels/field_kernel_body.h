// The star-field layer kernel, written once and compiled once per
// instruction set: the including file defines NOC_LANES_<SET> and
// NOC_KERNEL_NS, the namespace of that copy.
//
// Lane by lane it performs the per-sample code's operations in its order
// (StarFieldLayer, StarFieldPass and FieldStarLight with StarShape): the pass
// zoom and offset, the 3 x 3 cell hashes, the occupancy test, the star's
// offset, size factor, shape, flares, colour and hue shift. The colours of a
// pass's occupied cells are looked up in one call to the layer's gradient;
// the lights are summed in cell order. Two shortcuts give the same bits:
// - a last pass whose threshold is 1 or more holds no star (no hash exceeds
//   1, NaN exceeds nothing), so its value is min(max(0, 0), 1) x brightness
//   without hashing;
// - with cullOutsideCore, a cell whose star lies farther than 0.03 in x or y
//   has q = 0.05 / r < 2 and no glow or flare, so its light is
//   K x ((q x 0)^2 x F) = +-0 for finite K and F, and a sum that starts at +0
//   never becomes -0, so adding it changes nothing.
//
// A single sample (the host's per-sample Output) would fill one lane only, so
// it is evaluated the other way round: its reachable cells go in the lanes,
// in cell order, and their lights are added one by one in that order, the
// same additions as the lane-per-sample code makes.
#include "nocturnia/kernels/field_kernel.h"

#include <immintrin.h>

namespace NOC_KERNEL_NS {
namespace {

#include "nocturnia/kernels/simd_lanes.h"
// HSV conversions on the lanes above.
#include "nocturnia/kernels/hsv_lanes.h"

int Fewer(int a, int b) { return a < b ? a : b; }

// std::max(x, 0) of a cross's band and streak (StarShape's CrossStreak).
D CrossStreak(const FieldLayerView& layer, D x, D y, D r)
{
    const D product = Mul(Mul(Mul(x, y), Set(layer.flareWidthComplement)), Set(10000.0));
    const D band = MaxLikeStd(Sub(Set(1.0), Abs(product)), Set(0.0));
    const D fade = Mul(Mul(r, Set(layer.flareLengthComplement)), Set(20.0));
    return MaxLikeStd(Add(Mul(fade, Negate(band)), band), Set(0.0));
}

// What a cross adds to the intensity (StarShape's ShownFlare).
D ShownFlare(const FieldLayerView& layer, D streak, D flareWeight)
{
    switch (layer.flares) {
    case KernelFlares::kAlways: return streak;
    case KernelFlares::kSizeDependent: return Mul(streak, flareWeight);
    default: return Set(0.0);
    }
}

// FieldStarFlareWeight of the size measure sz.
D FlareWeight(D sz)
{
    const D t = Div(Sub(sz, Set(0.8)), Set(0.09999999999999998));
    const D step = Mul(Sub(Set(3.0), Mul(Set(2.0), t)), Mul(t, t));
    return Select(LessEqual(sz, Set(0.8)), Set(0.0), Select(GreaterEqual(sz, Set(0.9)), Set(1.0), step));
}

// SizeDependentColorPosition of the size factor F.
D SizeColorPosition(const FieldLayerView& layer, D F)
{
    const D q = Mul(Mul(F, Set(layer.scale)), Set(0.5));
    const D t = Div(Sub(q, Set(0.25)), Set(0.7));
    const D step = Mul(Sub(Set(3.0), Mul(Set(2.0), t)), Mul(t, t));
    return Select(LessEqual(q, Set(0.25)), Set(0.0), Select(GreaterEqual(q, Set(0.95)), Set(1.0), step));
}

// The size factor of the stars with hashes h.
D SizeFactor(const FieldLayerView& layer, D h)
{
    return layer.noSizeVariation ? Set(layer.scale) : Frac(Mul(h, Set(345.32)));
}

// StarShape's intensity of a field star at (dx, dy, 0) from the sample.
D StarIntensity(const FieldLayerView& layer, D dx, D dy, D flareWeight)
{
    const D r = Sqrt(Add(Add(Mul(dx, dx), Mul(dy, dy)), Mul(Set(0.0), Set(0.0))));
    const D q = Div(Set(0.05), r);
    const D glow = Mul(q, Set(layer.glow));
    const D core = Select(Equal(Abs(q), Set(__builtin_inf())), Set(kKernelCentreIntensity), q);
    D intensity = Select(Less(q, Set(2.0)), Mul(glow, glow), core);
    if (layer.flares == KernelFlares::kNone) return intensity;

    const D c = Set(layer.flareCos);
    const D s = Set(layer.flareSin);
    const D x1 = Add(Mul(c, dx), Mul(s, dy));
    const D y1 = Add(Mul(Set(-layer.flareSin), dx), Mul(c, dy));
    const D first = Add(intensity, ShownFlare(layer, CrossStreak(layer, x1, y1, r), flareWeight));
    intensity = layer.singleFlare ? Select(GreaterEqual(Abs(x1), Set(0.01)), intensity, first) : first;
    if (layer.secondCross) {
        const D x2 = Add(Mul(Set(kKernelCos45), x1), Mul(Set(kKernelSin45), y1));
        const D y2 = Add(Mul(Set(-kKernelSin45), x1), Mul(Set(kKernelCos45), y1));
        intensity = Add(intensity, ShownFlare(layer, CrossStreak(layer, x2, y2, r), flareWeight));
    }
    return intensity;
}

// The gradient position of the colour of the stars with hashes h.
D ColourPosition(const FieldLayerView& layer, D h)
{
    return layer.sizeDependentColor ? SizeColorPosition(layer, SizeFactor(layer, h)) : h;
}

// The star colours of a layer from its gradient's colours: every third
// double of `colour` from lane 0 on (interleaved RGB), hue shifted.
RgbLanes StarColours(const FieldLayerView& layer, const double* colour)
{
    const RgbLanes K{LoadEvery3(colour), LoadEvery3(colour + 1), LoadEvery3(colour + 2)};
    return layer.hueShift > 0.0 ? ShiftHueLanes(K, layer.hueShift) : K;
}

// The light of the stars with hashes h and colours K (StarColours at
// ColourPosition) at (offsetX, offsetY) from the sample, as FieldStarLight
// gives it: the colour K and the factor g = intensity x size factor that
// scales it.
struct StarLight {
    RgbLanes K;
    D g;
};

StarLight CellStarLight(const FieldLayerView& layer, D h, D offsetX, D offsetY, const RgbLanes& K)
{
    const D F = SizeFactor(layer, h);
    const D W =
        layer.flares == KernelFlares::kSizeDependent ? FlareWeight(Mul(Mul(Set(layer.scale), F), Set(0.25))) : Set(0.0);
    const D J = StarIntensity(layer, offsetX, offsetY, W);
    return StarLight{K, Mul(J, F)};
}

// Narrows the 3 x 3 cells to those whose star can lie within 0.03 of some
// lane's sample in x and y. A star sits at (h - 0.5, frac(10 h) - 0.5) from
// its cell's centre with h in [0, 1] (the hash is finite there: points below
// 1e300 in size and a seed the view vouches for), so a neighbouring column's
// star lies at least 0.6 - 0.5 = 0.1 away in x when the sample's offset ox
// lies above -0.4 (left column) or below 0.4 (right column); rows alike. Such
// a cell is culled in every lane anyway, so leaving it out changes nothing.
// Comparisons with NaN fail, so a lane with a NaN offset keeps every cell.
void ReachableCells(D x, D y, D ox, D oy, int valid, int& firstColumn, int& lastColumn, int& firstRow, int& lastRow)
{
    const auto all = [valid](M m) { return (Bits(m) & valid) == valid; };
    const D huge = Set(1e300);
    if (!all(And(Less(Abs(x), huge), Less(Abs(y), huge)))) return;
    const D inner = Set(0.4);
    const D innerBelow = Set(-0.4);
    if (all(Greater(ox, innerBelow))) firstColumn = 0;
    if (all(Less(ox, inner))) lastColumn = 0;
    if (all(Greater(oy, innerBelow))) firstRow = 0;
    if (all(Less(oy, inner))) lastRow = 0;
}

// A pass's light from the sum of its cells' lights, as StarFieldPass clamps
// and scales it.
void ClampedPass(const FieldLayerView& layer, const D sum[3], D pass[3])
{
    const D brightness = Set(layer.brightness);
    for (int c = 0; c < 3; ++c) pass[c] = Mul(MinLikeStd(MaxLikeStd(sum[c], Set(0.0)), Set(1.0)), brightness);
}

// The cell (X0, Y0) that holds the pass point (x, y), and the point's offset
// (ox, oy) from that cell's centre.
struct PointCell {
    D X0, Y0, ox, oy;
};

PointCell CellOfPoint(D x, D y)
{
    const D half = Set(0.5);
    const D X0 = Floor(x);
    const D Y0 = Floor(y);
    return PointCell{X0, Y0, Sub(Sub(x, X0), half), Sub(Sub(y, Y0), half)};
}

// One occupied cell of a pass, with at least one lane lit.
struct LitCell {
    D h, offsetX, offsetY;
    M lit;
};

// The star colours K[j] of cells[j] in every lane (a lane without a star has
// a hash and a colour too; only lit lanes are summed). A star's colour
// depends on its cell's hash alone, and neighbouring samples mostly share
// their cells: a cell whose hash has the same bits in every valid lane gets
// one lookup, and its hue shift shares a vector with other such cells' (the
// lanes' operations are independent, so each colour has the bits it would
// have in a lane of its own). Other cells get a lookup per lane.
void CellColours(const FieldLayerView& layer, const LitCell* cells, int cellCount, int valid, RgbLanes* K)
{
    // Positions: the shared cells' one each, then the other cells' lanes.
    double positions[9 + 9 * kLanes];
    int shared[9];
    int sharedCount = 0;
    for (int j = 0; j < cellCount; ++j) {
        if (SameInLanes(cells[j].h, valid)) {
            positions[sharedCount] = First(ColourPosition(layer, cells[j].h));
            shared[j] = sharedCount++;
        } else {
            shared[j] = -1;
        }
    }
    int packed = sharedCount;
    for (int j = 0; j < cellCount; ++j) {
        if (shared[j] >= 0) continue;
        Store(positions + packed, ColourPosition(layer, cells[j].h));
        packed += kLanes;
    }
    // The shared colours are read kLanes at a time: the last group's spare
    // lanes read past them (other colours, or these zeros), never used.
    double colours[3 * (9 + 9 * kLanes + kLanes)];
    layer.colorsAt(layer.gradient, positions, packed, colours);
    for (int i = 3 * packed; i < 3 * (packed + kLanes); ++i) colours[i] = 0.0;

    double sharedColours[3][9 + kLanes];
    for (int start = 0; start < sharedCount; start += kLanes) {
        const RgbLanes k = StarColours(layer, colours + 3 * start);
        Store(sharedColours[0] + start, k.r);
        Store(sharedColours[1] + start, k.g);
        Store(sharedColours[2] + start, k.b);
    }
    int next = sharedCount;
    for (int j = 0; j < cellCount; ++j) {
        if (shared[j] >= 0) {
            const int i = shared[j];
            K[j] = RgbLanes{Set(sharedColours[0][i]), Set(sharedColours[1][i]), Set(sharedColours[2][i])};
        } else {
            K[j] = StarColours(layer, colours + 3 * next);
            next += kLanes;
        }
    }
}

// The light of the occupied cells of one pass at the pass points (x, y), per
// channel, clamped and scaled as StarFieldPass does. `valid` has a bit for
// each lane that holds a sample.
void FieldPass(const FieldLayerView& layer, D x, D y, double threshold, int valid, D pass[3])
{
    const D half = Set(0.5);
    const D seed = Set(layer.seed);
    const auto [X0, Y0, ox, oy] = CellOfPoint(x, y);

    // CellHash's terms of one column (A) and one row (B) are shared by the
    // three cells that have them.
    D columnTerm[3];
    D rowTerm[3];
    for (int i = 0; i < 3; ++i) {
        const D a = Frac(Mul(Add(X0, Set(i - 1.0)), Set(123.34)));
        columnTerm[i] = Mul(Add(seed, a), a);
        const D b = Frac(Mul(Add(Y0, Set(i - 1.0)), Set(456.21)));
        rowTerm[i] = Mul(Add(seed, b), b);
    }

    // The columns and rows of cells that can reach some lane's sample.
    int firstColumn = -1, lastColumn = 1, firstRow = -1, lastRow = 1;
    if (layer.cullOutsideCore && layer.boundedHashes) {
        ReachableCells(x, y, ox, oy, valid, firstColumn, lastColumn, firstRow, lastRow);
    }

    // The cells with a star in some lane, in cell order.
    LitCell cells[9];
    int cellCount = 0;
    const D limit = Set(threshold);
    const D reach = Set(0.03);
    for (int dy = firstRow; dy <= lastRow; ++dy) {
        const D B = rowTerm[dy + 1];
        for (int dx = firstColumn; dx <= lastColumn; ++dx) {
            const D s1 = Add(columnTerm[dx + 1], B);
            const D s2 = Add(Mul(Add(s1, seed), s1), B);
            const D h = Frac(Mul(s2, s1));
            M occupied = Greater(h, limit);
            if ((Bits(occupied) & valid) == 0) continue;

            const D offsetX = Sub(Sub(ox, Set(static_cast<double>(dx))), Sub(h, half));
            const D offsetY = Sub(Sub(oy, Set(static_cast<double>(dy))), Sub(Frac(Mul(h, Set(10.0))), half));
            if (layer.cullOutsideCore) {
                occupied = AndNot(occupied, Or(Greater(Abs(offsetX), reach), Greater(Abs(offsetY), reach)));
                if ((Bits(occupied) & valid) == 0) continue;
            }
            cells[cellCount++] = LitCell{h, offsetX, offsetY, occupied};
        }
    }

    D sum[3] = {Set(0.0), Set(0.0), Set(0.0)};
    if (cellCount > 0) {
        RgbLanes K[9];
        CellColours(layer, cells, cellCount, valid, K);
        for (int j = 0; j < cellCount; ++j) {
            const LitCell& cell = cells[j];
            const StarLight light = CellStarLight(layer, cell.h, cell.offsetX, cell.offsetY, K[j]);
            sum[0] = Select(cell.lit, Add(sum[0], Mul(light.K.r, light.g)), sum[0]);
            sum[1] = Select(cell.lit, Add(sum[1], Mul(light.K.g, light.g)), sum[1]);
            sum[2] = Select(cell.lit, Add(sum[2], Mul(light.K.b, light.g)), sum[2]);
        }
    }
    ClampedPass(layer, sum, pass);
}

// The column and row offsets (dx, dy) of the cells in one reachable range, in
// cell order (rows outer), padded with the centre cell to whole lane groups.
struct CellList {
    int count = 0;
    double dx[16] = {};
    double dy[16] = {};
};

// Range `index`: bit 0 set when the first column is 0 (else -1), bit 1 when
// the last column is 1 (else 0); bits 2 and 3 the same for the rows.
constexpr CellList MakeCellList(int index)
{
    CellList list;
    const int firstColumn = (index & 1) - 1, lastColumn = (index >> 1) & 1;
    const int firstRow = ((index >> 2) & 1) - 1, lastRow = (index >> 3) & 1;
    for (int dy = firstRow; dy <= lastRow; ++dy) {
        for (int dx = firstColumn; dx <= lastColumn; ++dx) {
            list.dx[list.count] = dx;
            list.dy[list.count] = dy;
            ++list.count;
        }
    }
    return list;
}

constexpr CellList kCellLists[16] = {MakeCellList(0),  MakeCellList(1),  MakeCellList(2),  MakeCellList(3),
                                     MakeCellList(4),  MakeCellList(5),  MakeCellList(6),  MakeCellList(7),
                                     MakeCellList(8),  MakeCellList(9),  MakeCellList(10), MakeCellList(11),
                                     MakeCellList(12), MakeCellList(13), MakeCellList(14), MakeCellList(15)};

// FieldPass of one sample, whose pass point (x, y) fills every lane: lane j
// of a group holds a cell, with the operations FieldPass applies to it. The
// colours of all lit groups' cells are looked up in one call, and the lights
// of the lit cells are added in cell order, one at a time.
void FieldPassOfOneSample(const FieldLayerView& layer, D x, D y, double threshold, D pass[3])
{
    const D half = Set(0.5);
    const D seed = Set(layer.seed);
    const auto [X0, Y0, ox, oy] = CellOfPoint(x, y);

    int firstColumn = -1, lastColumn = 1, firstRow = -1, lastRow = 1;
    if (layer.cullOutsideCore && layer.boundedHashes) {
        ReachableCells(x, y, ox, oy, 1, firstColumn, lastColumn, firstRow, lastRow);
    }
    const CellList& cells = kCellLists[(firstColumn + 1) | (lastColumn << 1) | ((firstRow + 1) << 2) | (lastRow << 3)];

    // The groups with a lit cell; their cells' colour positions packed in
    // cell order (a group's store overlaps the previous group's unused lanes).
    constexpr int kGroups = (9 + kLanes - 1) / kLanes;
    struct LitGroup {
        D h, offsetX, offsetY;
        int lit, lanes, first;  // lit lanes, cells in the group, first packed position
    };
    LitGroup groups[kGroups];
    int groupCount = 0;
    double positions[9 + kLanes];
    int packed = 0;
    const D limit = Set(threshold);
    const D reach = Set(0.03);
    for (int start = 0; start < cells.count; start += kLanes) {
        const int lanes = Fewer(kLanes, cells.count - start);
        const int valid = (1 << lanes) - 1;
        const D dx = Load(cells.dx + start);
        const D dy = Load(cells.dy + start);
        // CellHash with the column term A and the row term B of each lane's cell.
        const D a = Frac(Mul(Add(X0, dx), Set(123.34)));
        const D A = Mul(Add(seed, a), a);
        const D b = Frac(Mul(Add(Y0, dy), Set(456.21)));
        const D B = Mul(Add(seed, b), b);
        const D s1 = Add(A, B);
        const D s2 = Add(Mul(Add(s1, seed), s1), B);
        const D h = Frac(Mul(s2, s1));
        M occupied = Greater(h, limit);
        if ((Bits(occupied) & valid) == 0) continue;

        const D offsetX = Sub(Sub(ox, dx), Sub(h, half));
        const D offsetY = Sub(Sub(oy, dy), Sub(Frac(Mul(h, Set(10.0))), half));
        if (layer.cullOutsideCore) {
            occupied = AndNot(occupied, Or(Greater(Abs(offsetX), reach), Greater(Abs(offsetY), reach)));
        }
        const int lit = Bits(occupied) & valid;
        if (lit == 0) continue;
        Store(positions + packed, ColourPosition(layer, h));
        groups[groupCount++] = LitGroup{h, offsetX, offsetY, lit, lanes, packed};
        packed += lanes;
    }

    double sum[3] = {0.0, 0.0, 0.0};
    if (groupCount > 0) {
        double colours[3 * (9 + kLanes)];
        layer.colorsAt(layer.gradient, positions, packed, colours);
        // The last group's unused lanes read these; they are never summed.
        for (int i = 3 * packed; i < 3 * (packed + kLanes); ++i) colours[i] = 0.0;

        for (int k = 0; k < groupCount; ++k) {
            const LitGroup& group = groups[k];
            const StarLight light = CellStarLight(layer, group.h, group.offsetX, group.offsetY,
                                                  StarColours(layer, colours + 3 * group.first));
            double lights[3][kLanes];
            Store(lights[0], Mul(light.K.r, light.g));
            Store(lights[1], Mul(light.K.g, light.g));
            Store(lights[2], Mul(light.K.b, light.g));
            for (int j = 0; j < group.lanes; ++j) {
                if (((group.lit >> j) & 1) == 0) continue;
                for (int c = 0; c < 3; ++c) sum[c] = sum[c] + lights[c][j];
            }
        }
    }
    const D sums[3] = {Set(sum[0]), Set(sum[1]), Set(sum[2])};
    ClampedPass(layer, sums, pass);
}

// The passes of a layer at the points (Px, Py), summed in pass order; passAt
// evaluates one non-empty pass as FieldPass does.
template <class PassAt> void LayerPasses(const FieldLayerView& layer, D Px, D Py, D total[3], PassAt passAt)
{
    total[0] = total[1] = total[2] = Set(0.0);
    double t = 0.0;
    const int last = layer.passCount - 1;
    for (int k = 0; k < layer.passCount; ++k) {
        const double threshold = k == last ? layer.lastPassThreshold : 0.0;
        D pass[3];
        if (k == last && !(threshold < 1.0)) {
            const double empty = 0.0 * layer.brightness;  // min(max(0, 0), 1) x brightness
            pass[0] = pass[1] = pass[2] = Set(empty);
        } else {
            double f[kLanes];
            Store(f, Frac(Set(t * 12.85)));
            const double fraction = layer.noSizeVariation ? 0.5 : f[0];
            const double B = layer.passZoomBase;
            const double Z = (0.5 - B) * fraction + B;
            const double o = t * 453.2;
            passAt(Add(Mul(Set(Z), Px), Set(o)), Add(Mul(Set(Z), Py), Set(o)), threshold, pass);
        }
        for (int c = 0; c < 3; ++c) total[c] = Add(total[c], pass[c]);
        t = t + layer.passStep;
    }
}

}  // namespace

void FieldLayer(const FieldLayerView& layer, const double* px, const double* py, int count, const double* const* onto,
                double* const sums[3])
{
    // The first n sums of group `start`, onto the colours so far.
    const auto store = [onto, sums](const D total[3], int start, int n) {
        for (int c = 0; c < 3; ++c) {
            StoreFirst(sums[c] + start, onto ? Add(LoadFirst(onto[c] + start, n), total[c]) : total[c], n);
        }
    };
    D total[3];
    if (kLanes > 1 && count == 1) {
        LayerPasses(layer, Set(px[0]), Set(py[0]), total, [&layer](D x, D y, double threshold, D pass[3]) {
            FieldPassOfOneSample(layer, x, y, threshold, pass);
        });
        store(total, 0, 1);
        return;
    }
    for (int start = 0; start < count; start += kLanes) {
        const int n = Fewer(kLanes, count - start);
        const int valid = (1 << n) - 1;
        LayerPasses(
            layer, LoadFirst(px + start, n), LoadFirst(py + start, n), total,
            [&layer, valid](D x, D y, double threshold, D pass[3]) { FieldPass(layer, x, y, threshold, valid, pass); });
        store(total, start, n);
    }
}

}  // namespace NOC_KERNEL_NS
