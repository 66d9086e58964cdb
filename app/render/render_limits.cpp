#include "render/render_limits.h"

#include "image/image_limits.h"
#include "text/number_text.h"
#include "text/user_error.h"

#include <string>

namespace nocturnia::cli {

namespace {

int CheckedValue(const std::optional<int>& option, int fallback, int maximum, const char* name)
{
    return CheckedInRange(option.value_or(fallback), 1, maximum, name, option ? ErrorKind::kUsage : ErrorKind::kInput);
}

}  // namespace

RenderSize CheckedRenderSize(const std::optional<int>& width, const std::optional<int>& height,
                             const std::optional<int>& samples, const nocturnia::runtime::RenderSettings& settings)
{
    RenderSize size;
    size.width = CheckedValue(width, settings.Width(), kMaxImageSide, "the width");
    size.height = CheckedValue(height, settings.Height(), kMaxImageSide, "the height");
    size.samples = CheckedValue(samples, settings.Samples(), kMaxSamples, "the samples per pixel side");
    if (static_cast<long long>(size.width) * size.height > kMaxImagePixels) {
        throw UserError(width || height ? ErrorKind::kUsage : ErrorKind::kInput,
                        "the image is too large: " + std::to_string(size.width) + " x " + std::to_string(size.height) +
                            " pixels are more than the " + std::to_string(kMaxImagePixels) + " a picture may hold");
    }
    return size;
}

}  // namespace nocturnia::cli
