// The render loop: every pixel is the plain average of N x N samples taken at
// the texture points below, rows handed out to worker threads by an atomic
// counter. The sampler is called concurrently; the loop itself takes no lock
// and allocates nothing while sampling. A region of the image (a tile) is
// rendered at the whole image's texture points, so its pixels are exactly
// those of a whole render at the same place.
#pragma once

#include "image/image_buffer.h"
#include "image/pixel_region.h"

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

// One coordinate of a texture point: sample `sub` of `n` across pixel
// `pixel` of `extent`. The order of the operations is part of the host's
// contract: a render and `sample` at the same point must agree to the last bit.
inline double TextureCoordinate(int pixel, int sub, int n, int extent) { return (pixel + (sub + 0.5) / n) / extent; }

// The texture point of sample (sx, sy) of pixel (x, y).
inline void TexturePoint(const RenderSize& size, int x, int y, int sx, int sy, double point[3])
{
    point[0] = TextureCoordinate(x, sx, size.samples, size.width);
    point[1] = TextureCoordinate(y, sy, size.samples, size.height);
    point[2] = 0.0;
}

// One sample's colour added to a pixel's sum, channel by channel.
inline void AddSample(double sum[3], const double color[3])
{
    sum[0] += color[0];
    sum[1] += color[1];
    sum[2] += color[2];
}

// A pixel is the plain average of its samples.
inline void StorePixelAverage(const double sum[3], double count, float* pixel)
{
    pixel[0] = static_cast<float>(sum[0] / count);
    pixel[1] = static_cast<float>(sum[1] / count);
    pixel[2] = static_cast<float>(sum[2] / count);
}

// Renders `columns` pixels of row y from column `first` on into `row`. The
// samples of a pixel are summed in a fixed order, so the result does not
// depend on which thread renders the row.
template <class Sampler>
void RenderRowSpan(const RenderSize& size, const Sampler& sample, int y, int first, int columns, float* row)
{
    const double count = static_cast<double>(size.samples) * size.samples;
    for (int x = first; x < first + columns; ++x) {
        double sum[3] = {0.0, 0.0, 0.0};
        for (int sy = 0; sy < size.samples; ++sy) {
            for (int sx = 0; sx < size.samples; ++sx) {
                double point[3];
                double color[3] = {0.0, 0.0, 0.0};
                TexturePoint(size, x, y, sx, sy, point);
                sample(point, color);
                AddSample(sum, color);
            }
        }
        StorePixelAverage(sum, count, row + 3 * (x - first));
    }
}

// Renders the whole of row y.
template <class Sampler> void RenderRow(const RenderSize& size, const Sampler& sample, int y, float* row)
{
    RenderRowSpan(size, sample, y, 0, size.width, row);
}

// A sampler that takes many points at once:
// sample.SampleBatch(const double* points, int count, double* colors).
template <class Sampler>
concept BatchSampler = requires(const Sampler& s, const double* points, double* colors)
{
    s.SampleBatch(points, 1, colors);
};

// Per-thread buffers of a batched row: the points and colours of a run of
// whole pixels, allocated once per thread before sampling.
struct BatchBuffers {
    int pixels = 0;  // pixels gathered per batch
    std::vector<double> points;
    std::vector<double> colors;

    explicit BatchBuffers(const RenderSize& size) : BatchBuffers(size, size.width) {}
    // For rows of `rowPixels` pixels.
    BatchBuffers(const RenderSize& size, int rowPixels)
    {
        const int perPixel = size.samples * size.samples;
        pixels = std::clamp(kBatchSamples / std::max(perPixel, 1), 1, std::max(rowPixels, 1));
        points.assign(static_cast<std::size_t>(pixels) * static_cast<std::size_t>(perPixel) * 3, 0.0);
        colors.assign(points.size(), 0.0);
        rowY.assign(static_cast<std::size_t>(std::max(size.samples, 0)), 0.0);
        columnX.assign(rowY.size(), 0.0);
    }
    // TexturePoint's y of each sample row of the current row, and its x of
    // each sample column of the current pixel.
    std::vector<double> rowY;
    std::vector<double> columnX;
    static constexpr int kBatchSamples = 1024;
};

// RenderRowSpan with the samples of a run of pixels taken in one batch: the
// same points, and the same sums in the same order, so the same pixels.
template <class Sampler>
void RenderRowSpanBatched(const RenderSize& size, const Sampler& sample, int y, int first, int columns, float* row,
                          BatchBuffers& buffers)
{
    const int perPixel = size.samples * size.samples;
    const double count = static_cast<double>(size.samples) * size.samples;
    // Each coordinate computed once where it repeats: a point's y depends on
    // the row and sy only, its x on the pixel and sx only.
    for (int sy = 0; sy < size.samples; ++sy) buffers.rowY[sy] = TextureCoordinate(y, sy, size.samples, size.height);
    for (int x0 = first; x0 < first + columns; x0 += buffers.pixels) {
        const int pixels = std::min(buffers.pixels, first + columns - x0);
        double* point = buffers.points.data();
        for (int x = x0; x < x0 + pixels; ++x) {
            for (int sx = 0; sx < size.samples; ++sx) {
                buffers.columnX[sx] = TextureCoordinate(x, sx, size.samples, size.width);
            }
            for (int sy = 0; sy < size.samples; ++sy) {
                for (int sx = 0; sx < size.samples; ++sx) {
                    point[0] = buffers.columnX[sx];
                    point[1] = buffers.rowY[sy];
                    point[2] = 0.0;
                    point += 3;
                }
            }
        }
        sample.SampleBatch(buffers.points.data(), pixels * perPixel, buffers.colors.data());
        const double* color = buffers.colors.data();
        for (int x = x0; x < x0 + pixels; ++x) {
            double sum[3] = {0.0, 0.0, 0.0};
            for (int s = 0; s < perPixel; ++s, color += 3) AddSample(sum, color);
            StorePixelAverage(sum, count, row + 3 * (x - first));
        }
    }
}

// The whole of row y, batched.
template <class Sampler>
void RenderRowBatched(const RenderSize& size, const Sampler& sample, int y, float* row, BatchBuffers& buffers)
{
    RenderRowSpanBatched(size, sample, y, 0, size.width, row, buffers);
}

// How far a render has come; read by the caller's progress display while the
// workers write it.
struct RenderProgress {
    std::atomic<int> rowsDone{0};
    int rowsTotal = 0;
    // When given and non-zero (a signal arrived), workers take no further row.
    const std::atomic<int>* stop = nullptr;
    // When given, called by the worker that rendered a row, on the row's
    // pixels, before the row counts as done: the output's colour
    // conversion runs on the render threads, on rows still in cache.
    std::function<void(float* row, int pixels)> finishRow;
};

// The rows of one render as its workers take them: the next row, and how
// many workers still run (each says so when it ends).
struct RowDispatch {
    std::atomic<int> nextRow{0};
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    int workersRunning = 0;

    void WorkerStarts()
    {
        std::lock_guard<std::mutex> lock(doneMutex);
        ++workersRunning;
    }
    void WorkerEnds()
    {
        std::lock_guard<std::mutex> lock(doneMutex);
        --workersRunning;
        doneSignal.notify_all();
    }
};

// One worker's rows: taken from `dispatch` until none is left or a stop is
// asked for, each rendered by renderOne(y, row) into the region's buffer.
template <class RenderOne>
void RenderDispatchedRows(const PixelRegion& region, ImageBuffer& image, RowDispatch& dispatch,
                          RenderProgress& progress, RenderOne&& renderOne)
{
    for (;;) {
        if (progress.stop != nullptr && progress.stop->load(std::memory_order_relaxed) != 0) {
            break;  // checked between rows only: sampling itself never looks
        }
        const int y = dispatch.nextRow.fetch_add(1, std::memory_order_relaxed);
        if (y >= region.height) {
            break;
        }
        float* row = image.rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(region.width) * 3;
        renderOne(region.y + y, row);
        if (progress.finishRow) {
            progress.finishRow(row, region.width);
        }
        progress.rowsDone.fetch_add(1, std::memory_order_relaxed);
    }
}

// One worker: its buffers (batched samplers), then its rows.
template <class Sampler>
void RenderWorker(const RenderSize& size, const PixelRegion& region, const Sampler& sample, ImageBuffer& image,
                  RowDispatch& dispatch, RenderProgress& progress)
{
    if constexpr (BatchSampler<Sampler>) {
        BatchBuffers buffers(size, region.width);
        RenderDispatchedRows(region, image, dispatch, progress, [&](int y, float* row) {
            RenderRowSpanBatched(size, sample, y, region.x, region.width, row, buffers);
        });
    } else {
        RenderDispatchedRows(region, image, dispatch, progress,
                             [&](int y, float* row) { RenderRowSpan(size, sample, y, region.x, region.width, row); });
    }
    dispatch.WorkerEnds();
}

// Up to `wanted` threads running `work`; when the system refuses a thread,
// those already started render on, and with none at all `work` runs on the
// calling thread before this returns.
inline std::vector<std::thread> StartWorkers(int wanted, RowDispatch& dispatch, const std::function<void()>& work)
{
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(wanted));
    for (int i = 0; i < wanted; ++i) {
        dispatch.WorkerStarts();
        try {
            workers.emplace_back(work);
        } catch (...) {
            dispatch.WorkerEnds();
            break;
        }
    }
    if (workers.empty()) {
        dispatch.WorkerStarts();
        work();
    }
    return workers;
}

// Waits until every worker has ended, calling `onTick` about every `tick`
// meanwhile and once more at the end.
inline void WaitForWorkers(RowDispatch& dispatch, std::vector<std::thread>& workers,
                           const std::function<void()>& onTick, std::chrono::milliseconds tick)
{
    {
        std::unique_lock<std::mutex> lock(dispatch.doneMutex);
        while (dispatch.workersRunning > 0) {
            dispatch.doneSignal.wait_for(lock, tick, [&] { return dispatch.workersRunning == 0; });
            if (onTick && dispatch.workersRunning > 0) {
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
}

// Renders `region` of the image of `size` (a region inside it) on `threads`
// threads (at least one); the buffer holds the region's pixels only. `sample`
// is called as sample(const double point[3], double colour[3]) from all of
// them at once. `onTick` is called on the calling thread about every `tick`
// while the workers run, and once more at the end, for progress displays.
template <class Sampler>
ImageBuffer RenderImageRegion(const RenderSize& size, const PixelRegion& region, const Sampler& sample, int threads,
                              RenderProgress& progress, const std::function<void()>& onTick = {},
                              std::chrono::milliseconds tick = std::chrono::milliseconds(100))
{
    ImageBuffer image;
    image.width = region.width;
    image.height = region.height;
    image.rgb.assign(static_cast<std::size_t>(region.width) * static_cast<std::size_t>(region.height) * 3, 0.0f);
    progress.rowsDone.store(0);
    progress.rowsTotal = region.height;
    if (region.width <= 0 || region.height <= 0 || size.samples <= 0) {
        return image;
    }
    RowDispatch dispatch;
    std::vector<std::thread> workers = StartWorkers(std::clamp(threads, 1, region.height), dispatch, [&] {
        RenderWorker(size, region, sample, image, dispatch, progress);
    });
    WaitForWorkers(dispatch, workers, onTick, tick);
    return image;
}

// Renders the whole image; see RenderImageRegion.
template <class Sampler>
ImageBuffer RenderImage(const RenderSize& size, const Sampler& sample, int threads, RenderProgress& progress,
                        const std::function<void()>& onTick = {},
                        std::chrono::milliseconds tick = std::chrono::milliseconds(100))
{
    return RenderImageRegion(size, WholeImage(size.width, size.height), sample, threads, progress, onTick, tick);
}

}  // namespace nocturnia::cli
