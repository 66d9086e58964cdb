#include "render/render_memory.h"

#include "runtime/memory_budget.h"

namespace nocturnia::cli {

namespace {

// The program with the plug-in loaded and its threads started: about 8 MB
// measured at peak for a small render, taken eight times over.
constexpr std::uint64_t kProcessBytes = 64ull * 1024 * 1024;

std::uint64_t ImageBytes(int width, int height)
{
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(width < 0 ? 0 : width) * static_cast<std::uint64_t>(height < 0 ? 0 : height);
    return pixels * 3 * sizeof(float);
}

// The copy a writer makes of the float pixels: an EXR's halves (PNG rows
// and float EXR scanlines are encoded from the buffer as they are).
std::uint64_t WriterCopyBytes(const PixelRegion& window, const ImageWriteSettings& settings)
{
    const auto pixels = static_cast<std::uint64_t>(window.PixelCount());
    return settings.pixelType == ExrPixelType::Half ? pixels * 3 * 2 : 0;
}

// Scanlines an EXR reader or writer holds at once, at most 256 rows of a
// picture's width in four float channels.
std::uint64_t ScanlineBytes(int width) { return static_cast<std::uint64_t>(width < 0 ? 0 : width) * 256 * 4 * 4; }

}  // namespace

std::uint64_t RenderProcessBytes(int width, int height, std::int64_t extraLayers)
{
    return kProcessBytes + nocturnia::runtime::EstimatedLayerBytes(extraLayers, nocturnia::runtime::LayerUse::Render) +
           2 * ImageBytes(width, height);
}

std::uint64_t AssemblyProcessBytes(int width, int height)
{
    // The assembled image, the tiles read into it and the writer's copy.
    return kProcessBytes + 3 * ImageBytes(width, height);
}

std::uint64_t RenderWorkingBytes(const PixelRegion& window, const ImageWriteSettings& settings,
                                 std::int64_t extraLayers)
{
    return ImageBytes(window.width, window.height) + WriterCopyBytes(window, settings) + ScanlineBytes(window.width) +
           nocturnia::runtime::EstimatedLayerBytes(extraLayers, nocturnia::runtime::LayerUse::Render);
}

std::uint64_t AssemblyBytes(int width, int height, const ImageWriteSettings& settings)
{
    return ImageBytes(width, height) + WriterCopyBytes(WholeImage(width, height), settings) + 2 * ScanlineBytes(width);
}

std::uint64_t MebibytesRoundedUp(std::uint64_t bytes) { return (bytes + (1u << 20) - 1) >> 20; }

}  // namespace nocturnia::cli
