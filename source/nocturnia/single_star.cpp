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

bool DrawsSingleStar(const LayerRecord& record)
{
    return record.enabled && record.mode == LayerMode::kSingleStar && record.drawsSingleStar;
}

SingleStarView SingleStarViewOf(const LayerRecord& record, double aspect)
{
    SingleStarView view{};
    view.centreX = record.positionX * aspect;
    view.positionY = record.positionY;
    view.inverseSize = record.inverseStarSize;
    view.flareWeight = record.singleStarFlareWeight;
    view.brightness = record.brightness;
    view.color[0] = record.singleStarColor.x;
    view.color[1] = record.singleStarColor.y;
    view.color[2] = record.singleStarColor.z;
    view.shape = ShapeViewOf(record);
    return view;
}

}  // namespace nocturnia
