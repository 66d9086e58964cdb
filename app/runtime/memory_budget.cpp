#include "runtime/memory_budget.h"

#include "runtime/available_memory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

namespace nocturnia::runtime {

namespace {

// Measured with `describe` and `sample` on documents of 10,000 to 200,000
// layers (peak resident memory per layer, rounded up), so that the estimate
// errs on the high side.
constexpr std::uint64_t kDescriptionBytesPerLayer = 128 * 1024;
constexpr std::uint64_t kRenderBytesPerLayer = 4 * 1024;

std::optional<std::uint64_t> g_limit;

// The scope an out-of-memory error last left, innermost first.
thread_local std::string t_failedAllocation;

// Why `bytes` cannot be had, or nothing when they can: the user's bound is
// named when it is the tighter one.
std::optional<std::string> MemoryRefusal(std::uint64_t bytes)
{
    if (bytes == 0) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> system = AvailableMemory();
    if (g_limit && bytes > *g_limit && !(system && *system < *g_limit)) {
        return "more than the " + MemorySizeText(*g_limit) + " that --max-memory allows";
    }
    if (system && bytes > *system) {
        return "more than the " + MemorySizeText(*system) + " available";
    }
    return std::nullopt;
}

// Where a document holds the count.
std::string LayerCountEntry()
{
    return "material.shader.params." + std::to_string(NOC_NOCTURNIA_EXTRA_LAYER_COUNT) + ": ";
}

}  // namespace

std::uint64_t EstimatedLayerBytes(std::int64_t extraLayers, LayerUse use)
{
    const std::uint64_t layers = extraLayers < 0 ? 0 : static_cast<std::uint64_t>(extraLayers);
    return layers * (use == LayerUse::Description ? kDescriptionBytesPerLayer : kRenderBytesPerLayer);
}

std::string MemorySizeText(std::uint64_t bytes)
{
    char text[32];
    const double b = static_cast<double>(bytes);
    if (b >= 1024.0 * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f GB", b / (1024.0 * 1024 * 1024));
    } else if (b < 1024.0 * 1024) {
        std::snprintf(text, sizeof text, "%.0f KB", std::ceil(b / 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.0f MB", std::ceil(b / (1024.0 * 1024)));
    }
    return text;
}

void SetMemoryLimit(std::optional<std::uint64_t> bytes) { g_limit = bytes; }

std::optional<std::uint64_t> MemoryBound()
{
    const std::optional<std::uint64_t> system = AvailableMemory();
    if (g_limit && system) {
        return std::min(*g_limit, *system);
    }
    return g_limit ? g_limit : system;
}

Status CheckLayerCount(const Node& shader)
{
    const std::int64_t layers = shader.Data().GetInt(NOC_NOCTURNIA_EXTRA_LAYER_COUNT, 0);
    if (layers > NOC_NOCTURNIA_MAX_EXTRA_LAYERS) {
        return Status::Error(LayerCountEntry() + std::to_string(layers) + " extra layers are more than the " +
                             std::to_string(NOC_NOCTURNIA_MAX_EXTRA_LAYERS) + " whose parameter IDs fit 32 bits");
    }
    return Status::Ok();
}

Status CheckLayerMemory(const Node& shader, LayerUse use)
{
    if (Status counted = CheckLayerCount(shader); !counted) {
        return counted;
    }
    const std::int64_t layers = shader.Data().GetInt(NOC_NOCTURNIA_EXTRA_LAYER_COUNT, 0);
    const std::uint64_t needed = EstimatedLayerBytes(layers, use);
    if (const std::optional<std::string> refusal = MemoryRefusal(needed)) {
        return Status::Error(LayerCountEntry() + std::to_string(layers) + " extra layers need about " +
                             MemorySizeText(needed) + " of memory" +
                             (use == LayerUse::Description ? " to describe" : " to render") + ", " + *refusal);
    }
    return Status::Ok();
}

Status CheckMemoryFor(std::uint64_t bytes, const std::string& what)
{
    if (const std::optional<std::string> refusal = MemoryRefusal(bytes)) {
        return Status::Error(what + " needs about " + MemorySizeText(bytes) + " of memory, " + *refusal);
    }
    return Status::Ok();
}

AllocationScope::AllocationScope(std::string what)
    : what_(std::move(what)), exceptionsAtEntry_(std::uncaught_exceptions())
{
    t_failedAllocation.clear();
}

AllocationScope::~AllocationScope()
{
    if (std::uncaught_exceptions() > exceptionsAtEntry_ && t_failedAllocation.empty()) {
        t_failedAllocation = what_;
    }
}

std::string FailedAllocation() { return t_failedAllocation; }

}  // namespace nocturnia::runtime
