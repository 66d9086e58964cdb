#include "runtime/memory_budget.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#ifdef _WIN32
#include "runtime/windows_api.h"
#endif

namespace nocturnia::runtime {

namespace {

// Measured with `describe` and `sample` on documents of 10,000 to 200,000
// layers (peak resident memory per layer, rounded up), so that the estimate
// errs on the high side.
constexpr std::uint64_t kDescriptionBytesPerLayer = 128 * 1024;
constexpr std::uint64_t kRenderBytesPerLayer = 4 * 1024;

std::string SizeText(std::uint64_t bytes)
{
    char text[32];
    const double b = static_cast<double>(bytes);
    if (b >= 1024.0 * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f GB", b / (1024.0 * 1024 * 1024));
    } else {
        std::snprintf(text, sizeof text, "%.0f MB", std::ceil(b / (1024.0 * 1024)));
    }
    return text;
}

std::optional<std::uint64_t> AvailableMemory()
{
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        return static_cast<std::uint64_t>(status.ullAvailPhys);
    }
    return std::nullopt;
#else
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    std::string unit;
    while (meminfo >> key >> kilobytes >> unit) {
        if (key == "MemAvailable:") {
            return kilobytes * 1024;
        }
    }
    return std::nullopt;
#endif
}

}  // namespace

std::uint64_t EstimatedLayerBytes(std::int64_t extraLayers, LayerUse use)
{
    const std::uint64_t layers = extraLayers < 0 ? 0 : static_cast<std::uint64_t>(extraLayers);
    return layers * (use == LayerUse::Description ? kDescriptionBytesPerLayer : kRenderBytesPerLayer);
}

std::optional<std::uint64_t> g_limit;

void SetMemoryLimit(std::optional<std::uint64_t> bytes) { g_limit = bytes; }

std::optional<std::uint64_t> MemoryBound()
{
    if (g_limit) {
        return g_limit;
    }
    return AvailableMemory();
}

Status CheckLayerMemory(const Node& shader, LayerUse use)
{
    const std::int64_t layers = shader.Data().GetInt(NOC_NOCTURNIA_EXTRA_LAYER_COUNT, 0);
    // Where a document holds the count.
    const std::string entry = "material.shader.params." + std::to_string(NOC_NOCTURNIA_EXTRA_LAYER_COUNT) + ": ";
    if (layers > NOC_NOCTURNIA_MAX_EXTRA_LAYERS) {
        return Status::Error(entry + std::to_string(layers) + " extra layers are more than the " +
                             std::to_string(NOC_NOCTURNIA_MAX_EXTRA_LAYERS) + " whose parameter IDs fit 32 bits");
    }
    const std::uint64_t needed = EstimatedLayerBytes(layers, use);
    const std::optional<std::uint64_t> bound = MemoryBound();
    if (bound && needed > *bound) {
        return Status::Error(entry + std::to_string(layers) + " extra layers need about " + SizeText(needed) +
                             " of memory" + (use == LayerUse::Description ? " to describe" : " to render") +
                             ", more than the " + SizeText(*bound) +
                             (g_limit ? " that --max-memory allows" : " available"));
    }
    return Status::Ok();
}

}  // namespace nocturnia::runtime
