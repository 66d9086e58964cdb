// The render loop: every pixel is the plain average of N x N samples taken at
// the texture points below, rows handed out to worker threads by an atomic
// counter. The sampler is called concurrently; the loop itself takes no lock
// and allocates nothing while sampling.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace nocturnia::cli {

struct RenderSize {
    int width = 0;
    int height = 0;
    int samples = 1;  // per pixel side: samples x samples per pixel
};

// Linear RGB, row-major, y = 0 the top row.
struct ImageBuffer {
    int width = 0;
    int height = 0;
    std::vector<float> rgb;

    const float* Pixel(int x, int y) const
    {
        return rgb.data() +
               (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    }
};

// The texture point of sample (sx, sy) of pixel (x, y). The order of the
// operations is part of the host's contract: a render and `sample` at the same
// point must agree to the last bit.
inline void TexturePoint(const RenderSize& size, int x, int y, int sx, int sy, double point[3])
{
    const double n = size.samples;
    point[0] = (x + (sx + 0.5) / n) / size.width;
    point[1] = (y + (sy + 0.5) / n) / size.height;
    point[2] = 0.0;
}

// One sample's colour added to a pixel's sum, channel by channel.
inline void AddSample(double sum[3], const double colour[3])
{
    sum[0] += colour[0];
    sum[1] += colour[1];
    sum[2] += colour[2];
}

// A pixel is the plain average of its samples.
inline void StorePixelAverage(const double sum[3], double count, float* pixel)
{
    pixel[0] = static_cast<float>(sum[0] / count);
    pixel[1] = static_cast<float>(sum[1] / count);
    pixel[2] = static_cast<float>(sum[2] / count);
}

// Renders one row. The samples of a pixel are summed in a fixed order, so the
// result does not depend on which thread renders the row.
template <class Sampler> void RenderRow(const RenderSize& size, const Sampler& sample, int y, float* row)
{
    const double count = static_cast<double>(size.samples) * size.samples;
    for (int x = 0; x < size.width; ++x) {
        double sum[3] = {0.0, 0.0, 0.0};
        for (int sy = 0; sy < size.samples; ++sy) {
            for (int sx = 0; sx < size.samples; ++sx) {
                double point[3];
                double colour[3] = {0.0, 0.0, 0.0};
                TexturePoint(size, x, y, sx, sy, point);
                sample(point, colour);
                AddSample(sum, colour);
            }
        }
        StorePixelAverage(sum, count, row + 3 * x);
    }
}

// A sampler that takes many points at once:
// sample.SampleBatch(const double* points, int count, double* colours).
template <class Sampler>
concept BatchSampler = requires(const Sampler& s, const double* points, double* colours)
{
    s.SampleBatch(points, 1, colours);
};

// Per-thread buffers of a batched row: the points and colours of a run of
// whole pixels, allocated once per thread before sampling.
struct BatchBuffers {
    int pixels = 0;  // pixels gathered per batch
    std::vector<double> points;
    std::vector<double> colours;

    explicit BatchBuffers(const RenderSize& size)
    {
        const int perPixel = size.samples * size.samples;
        pixels = std::clamp(kBatchSamples / std::max(perPixel, 1), 1, std::max(size.width, 1));
        points.assign(static_cast<std::size_t>(pixels) * static_cast<std::size_t>(perPixel) * 3, 0.0);
        colours.assign(points.size(), 0.0);
    }
    static constexpr int kBatchSamples = 1024;
};

// RenderRow with the samples of a run of pixels taken in one batch: the same
// points, and the same sums in the same order, so the same pixels.
template <class Sampler>
void RenderRowBatched(const RenderSize& size, const Sampler& sample, int y, float* row, BatchBuffers& buffers)
{
    const int perPixel = size.samples * size.samples;
    const double count = static_cast<double>(size.samples) * size.samples;
    for (int x0 = 0; x0 < size.width; x0 += buffers.pixels) {
        const int pixels = std::min(buffers.pixels, size.width - x0);
        double* point = buffers.points.data();
        for (int x = x0; x < x0 + pixels; ++x) {
            for (int sy = 0; sy < size.samples; ++sy) {
                for (int sx = 0; sx < size.samples; ++sx) {
                    TexturePoint(size, x, y, sx, sy, point);
                    point += 3;
                }
            }
        }
        sample.SampleBatch(buffers.points.data(), pixels * perPixel, buffers.colours.data());
        const double* colour = buffers.colours.data();
        for (int x = x0; x < x0 + pixels; ++x) {
            double sum[3] = {0.0, 0.0, 0.0};
            for (int s = 0; s < perPixel; ++s, colour += 3) AddSample(sum, colour);
            StorePixelAverage(sum, count, row + 3 * x);
        }
    }
}

// How far a render has come; read by the caller's progress display while the
// workers write it.
struct RenderProgress {
    std::atomic<int> rowsDone{0};
    int rowsTotal = 0;
    // When given and non-zero (a signal arrived), workers take no further row.
    const std::atomic<int>* stop = nullptr;
};

// Renders the whole image on `threads` threads (at least one). `sample` is
// called as sample(const double point[3], double colour[3]) from all of them at
// once. `onTick` is called on the calling thread about every `tick` while the
// workers run, and once more at the end, for progress displays.
template <class Sampler>
ImageBuffer RenderImage(const RenderSize& size, const Sampler& sample, int threads, RenderProgress& progress,
                        const std::function<void()>& onTick = {},
                        std::chrono::milliseconds tick = std::chrono::milliseconds(100))
{
    ImageBuffer image;
    image.width = size.width;
    image.height = size.height;
    image.rgb.assign(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3, 0.0f);
    progress.rowsDone.store(0);
    progress.rowsTotal = size.height;
    if (size.width <= 0 || size.height <= 0 || size.samples <= 0) {
        return image;
    }

    std::atomic<int> nextRow{0};
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    int workersRunning = 0;

    auto work = [&] {
        auto renderRows = [&](auto&& renderOne) {
            for (;;) {
                if (progress.stop != nullptr && progress.stop->load(std::memory_order_relaxed) != 0) {
                    break;  // checked between rows only: sampling itself never looks
                }
                const int y = nextRow.fetch_add(1, std::memory_order_relaxed);
                if (y >= size.height) {
                    break;
                }
                renderOne(y, image.rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width) * 3);
                progress.rowsDone.fetch_add(1, std::memory_order_relaxed);
            }
        };
        if constexpr (BatchSampler<Sampler>) {
            BatchBuffers buffers(size);
            renderRows([&](int y, float* row) { RenderRowBatched(size, sample, y, row, buffers); });
        } else {
            renderRows([&](int y, float* row) { RenderRow(size, sample, y, row); });
        }
        std::lock_guard<std::mutex> lock(doneMutex);
        --workersRunning;
        doneSignal.notify_all();
    };

    const int wanted = std::clamp(threads, 1, size.height);
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(wanted));
    for (int i = 0; i < wanted; ++i) {
        {
            std::lock_guard<std::mutex> lock(doneMutex);
            ++workersRunning;
        }
        try {
            workers.emplace_back(work);
        } catch (...) {
            // The system refused another thread: render with those we have.
            std::lock_guard<std::mutex> lock(doneMutex);
            --workersRunning;
            break;
        }
    }
    if (workers.empty()) {
        ++workersRunning;
        work();  // no thread at all: render on the calling thread
    }

    {
        std::unique_lock<std::mutex> lock(doneMutex);
        while (workersRunning > 0) {
            doneSignal.wait_for(lock, tick, [&] { return workersRunning == 0; });
            if (onTick && workersRunning > 0) {
                lock.unlock();
                onTick();
                lock.lock();
            }
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (onTick) {
        onTick();
    }
    return image;
}

}  // namespace nocturnia::cli
