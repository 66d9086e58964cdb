// The star-field layer kernel, written once and compiled once per
// instruction set: the including file defines NOC_LANES_<SET> and
// NOC_KERNEL_NS, the namespace of that copy.
//
// Lane by lane it performs the per-sample code's operations in its order
// (StarFieldLayer and StarFieldPass): the pass zoom and offset, the 3 x 3 cell
// hashes, the occupancy test and the star's offset. The light of an occupied
// cell comes from the layer's starLight (the per-sample code itself), and is
// summed in cell order. Two shortcuts give the same bits:
// - a last pass whose threshold is 1 or more holds no star (no hash exceeds
//   1, NaN exceeds nothing), so its value is min(max(0, 0), 1) x brightness
//   without hashing;
// - with cullOutsideCore, a cell whose star lies farther than 0.03 in x or y
//   has q = 0.05 / r < 2 and no glow or flare, so its light is
//   K x ((q x 0)^2 x F) = +-0 for finite K and F, and a sum that starts at +0
//   never becomes -0, so adding it changes nothing.
#include "nocturnia/kernels/field_kernel.h"

#include <immintrin.h>

namespace NOC_KERNEL_NS {
namespace {

#include "nocturnia/kernels/simd_lanes.h"

int Fewer(int a, int b) { return a < b ? a : b; }

// The light of the occupied cells of one pass at the pass points (x, y), per
// channel, clamped and scaled as StarFieldPass does. `valid` has a bit for
// each lane that holds a sample.
void FieldPass(const FieldLayerView& layer, D x, D y, double threshold, int valid, D pass[3])
{
    const D half = Set(0.5);
    const D seed = Set(layer.seed);
    const D X0 = Floor(x);
    const D Y0 = Floor(y);
    const D ox = Sub(Sub(x, X0), half);
    const D oy = Sub(Sub(y, Y0), half);

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

    D sum[3] = {Set(0.0), Set(0.0), Set(0.0)};
    const D limit = Set(threshold);
    const D reach = Set(0.03);
    for (int dy = -1; dy <= 1; ++dy) {
        const D B = rowTerm[dy + 1];
        for (int dx = -1; dx <= 1; ++dx) {
            const D s1 = Add(columnTerm[dx + 1], B);
            const D s2 = Add(Mul(Add(s1, seed), s1), B);
            const D h = Frac(Mul(s2, s1));
            M occupied = Greater(h, limit);
            if ((Bits(occupied) & valid) == 0) continue;

            const D offsetX = Sub(Sub(ox, Set(static_cast<double>(dx))), Sub(h, half));
            const D offsetY = Sub(Sub(oy, Set(static_cast<double>(dy))), Sub(Frac(Mul(h, Set(10.0))), half));
            if (layer.cullOutsideCore) {
                occupied = AndNot(occupied, Or(Greater(Abs(offsetX), reach), Greater(Abs(offsetY), reach)));
            }
            const int lit = Bits(occupied) & valid;
            if (lit == 0) continue;

            double hs[kLanes], xs[kLanes], ys[kLanes];
            double light[3][kLanes] = {};
            Store(hs, h);
            Store(xs, offsetX);
            Store(ys, offsetY);
            for (int lane = 0; lane < kLanes; ++lane) {
                if ((lit >> lane & 1) == 0) continue;
                double out[3];
                layer.starLight(layer.record, xs[lane], ys[lane], hs[lane], out);
                light[0][lane] = out[0];
                light[1][lane] = out[1];
                light[2][lane] = out[2];
            }
            for (int c = 0; c < 3; ++c) sum[c] = Select(occupied, Add(sum[c], Load(light[c])), sum[c]);
        }
    }
    const D brightness = Set(layer.brightness);
    for (int c = 0; c < 3; ++c) pass[c] = Mul(MinLikeStd(MaxLikeStd(sum[c], Set(0.0)), Set(1.0)), brightness);
}

}  // namespace

void FieldLayer(const FieldLayerView& layer, const double* px, const double* py, int count, double* const sums[3])
{
    for (int start = 0; start < count; start += kLanes) {
        const int n = Fewer(kLanes, count - start);
        const int valid = (1 << n) - 1;
        double xs[kLanes] = {};
        double ys[kLanes] = {};
        for (int i = 0; i < n; ++i) {
            xs[i] = px[start + i];
            ys[i] = py[start + i];
        }
        const D Px = Load(xs);
        const D Py = Load(ys);

        D total[3] = {Set(0.0), Set(0.0), Set(0.0)};
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
                FieldPass(layer, Add(Mul(Set(Z), Px), Set(o)), Add(Mul(Set(Z), Py), Set(o)), threshold, valid, pass);
            }
            for (int c = 0; c < 3; ++c) total[c] = Add(total[c], pass[c]);
            t = t + layer.passStep;
        }

        double out[3][kLanes];
        for (int c = 0; c < 3; ++c) {
            Store(out[c], total[c]);
            for (int i = 0; i < n; ++i) sums[c][start + i] = out[c][i];
        }
    }
}

}  // namespace NOC_KERNEL_NS
