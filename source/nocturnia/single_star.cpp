#include "nocturnia/single_star.h"

#include "nocturnia/star_shape.h"

namespace nocturnia {

double SingleStarFlareWeight(double g)
{
    if (g <= 0.8) return 0.0;
    if (g >= 1.2) return 1.0;
    const double l = (g - 0.8) / 0.3999999999999999;  // the double difference 1.2 - 0.8
    return (l * l) * (3.0 - 2.0 * l);
}

namespace {

// min(C, I * C) taking I * C on a tie or a NaN: the colour scaled by I,
// saturating at the colour itself.
double Saturated(double c, double ic) { return c < ic ? c : ic; }

}  // namespace

SingleStarSample SingleStarColor(const LayerRecord& record, const Vector& P, double aspect)
{
    SingleStarSample sample;
    if (!record.drawsSingleStar) return sample;

    // The star-local frame: centred on the star, in units of its size.
    const double gi = record.inverseStarSize;
    const Vector d((P.x - record.positionX * aspect) * gi, (-P.y - record.positionY) * gi, P.z * gi);
    const StarShapeResult shape = StarShape(record, d, record.singleStarFlareWeight);

    const Vector& C = record.singleStarColor;
    const double I = shape.intensity;
    sample.color = Vector(Saturated(C.x, I * C.x) * record.brightness, Saturated(C.y, I * C.y) * record.brightness,
                          Saturated(C.z, I * C.z) * record.brightness);
    sample.covered = shape.covered;
    return sample;
}

Vector SingleStarPass(const RenderState& state, const Vector& P, const Vector& A)
{
    Vector result = A;
    for (const LayerRecord& record : state.layers) {
        if (!record.enabled || record.mode != LayerMode::kSingleStar || !record.drawsSingleStar) continue;
        const SingleStarSample star = SingleStarColor(record, P, state.aspect);
        if (star.covered) {
            result = star.color;
        } else {
            result = result + star.color;
        }
    }
    return result;
}

}  // namespace nocturnia
