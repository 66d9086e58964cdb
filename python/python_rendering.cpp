#include "python_rendering.h"

#include "python_errors.h"
#include "python_host.h"
#include "python_values.h"

#include "image/image_file.h"
#include "io/interruption.h"
#include "io/usable_cpus.h"
#include "render/document_frame.h"
#include "render/frame_render.h"
#include "render/render_limits.h"
#include "render/render_window.h"
#include "render/sequence_plan.h"
#include "text/number_text.h"
#include "text/parameter_edits.h"
#include "text/user_error.h"

#include "runtime/memory_budget.h"
#include "runtime/render_session.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <vector>

namespace py = pybind11;
using nocturnia::cli::ErrorKind;
using nocturnia::cli::UserError;

namespace nocturnia::python {

namespace {

// What a stop flag holds: Python has an exception to raise (Ctrl-C, or one
// the progress callback raised), or the callback returned False.
constexpr int kStopForPython = SIGINT;
constexpr int kStopForCallback = -1;

constexpr std::chrono::milliseconds kSignalLook{100};

// Python runs its signal handlers (KeyboardInterrupt) only when asked, on the
// main thread: true when one raised. Call with the GIL released.
bool PythonSignalRaised()
{
    py::gil_scoped_acquire acquire;
    return PyErr_CheckSignals() != 0;
}

bool UsesBatch(const std::string& sampler)
{
    if (sampler != "batch" && sampler != "output") {
        throw UserError(ErrorKind::kUsage, "sampler must be \"batch\" or \"output\", got \"" + sampler + "\"");
    }
    return sampler == "batch";
}

// The points as the caller gave them: its own array when it is a C-ordered
// float64 one already (no copy), else a converted copy; `width` 2 (u, v) or
// 3 (u, v, w).
struct PointRows {
    py::array_t<double, py::array::c_style | py::array::forcecast> array;
    const double* data = nullptr;
    std::size_t count = 0;
    std::size_t width = 3;
};

PointRows ReadPoints(py::handle points)
{
    PointRows rows;
    rows.array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(points);
    if (!rows.array || rows.array.ndim() != 2 || (rows.array.shape(1) != 2 && rows.array.shape(1) != 3)) {
        PyErr_Clear();
        throw UserError(ErrorKind::kUsage, "points must be an (N, 2) or (N, 3) array of numbers");
    }
    rows.count = static_cast<std::size_t>(rows.array.shape(0));
    rows.width = static_cast<std::size_t>(rows.array.shape(1));
    rows.data = rows.array.data();
    return rows;
}

// Samples every point in chunks; false when Python's signal handler raised.
// (u, v) points are widened to (u, v, 0) a chunk at a time, in a buffer that
// stays in cache, rather than all at once into a copy as large as the input.
bool SampleWatched(const nocturnia::runtime::RenderSession& render, const PointRows& rows, double* colors, bool batch)
{
    constexpr std::size_t kChunk = 4096;
    std::vector<double> widened(rows.width == 2 ? 3 * kChunk : 0);
    auto nextLook = std::chrono::steady_clock::now() + kSignalLook;
    for (std::size_t first = 0; first < rows.count; first += kChunk) {
        if (const auto now = std::chrono::steady_clock::now(); now >= nextLook) {
            if (PythonSignalRaised()) {
                return false;
            }
            nextLook = now + kSignalLook;
        }
        const std::size_t count = std::min(kChunk, rows.count - first);
        const double* points = rows.data + rows.width * first;
        if (rows.width == 2) {
            for (std::size_t i = 0; i < count; ++i) {
                widened[3 * i] = points[2 * i];
                widened[3 * i + 1] = points[2 * i + 1];
                widened[3 * i + 2] = 0.0;
            }
            points = widened.data();
        }
        render.SampleBatch(points, static_cast<int>(count), colors + 3 * first, batch);
    }
    return true;
}

}  // namespace

py::array_t<double> Sample(PythonDocument& self, py::handle points, const std::optional<int>& frame,
                           const std::string& sampler)
{
    const bool batch = UsesBatch(sampler);
    const PointRows rows = ReadPoints(points);
    py::array_t<double> colors({static_cast<py::ssize_t>(rows.count), static_cast<py::ssize_t>(3)});
    double* out = colors.mutable_data();
    bool finished = true;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        nocturnia::runtime::Document copy = self.Copy();
        nocturnia::cli::MoveToFrame(copy.Shader(), nocturnia::cli::ChosenFrame(frame, copy));
        nocturnia::cli::CheckLayersFit(copy.Shader(), nocturnia::runtime::LayerUse::Render);
        nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session =
            nocturnia::runtime::RenderSession::Start(copy.Shader());
        if (!session) {
            throw UserError(ErrorKind::kWork, "cannot render: " + session.error());
        }
        finished = SampleWatched(*session.value(), rows, out, batch);
    }
    FlushConsoleLines();
    if (!finished) {
        throw py::error_already_set();
    }
    return colors;
}

namespace {

// Called by the render loop on the calling thread (GIL released): Ctrl-C and
// the progress callback.
void LookAtPython(const py::object& progress, int done, int total, std::atomic<int>& stop)
{
    if (stop.load() != 0) {
        return;  // stopping already; Python's exception waits for Render
    }
    py::gil_scoped_acquire acquire;
    if (PyErr_CheckSignals() != 0) {
        stop.store(kStopForPython);
        return;
    }
    if (progress.is_none()) {
        return;
    }
    try {
        const py::object answer = progress(done, total);
        if (answer.ptr() == Py_False) {
            stop.store(kStopForCallback);
        }
    } catch (py::error_already_set& error) {
        error.restore();  // raised by Render once the render is released
        stop.store(kStopForPython);
    }
}

// After work that ran without the GIL, with the GIL again: the plug-in's
// console lines it left, then how it was stopped, if it was (a progress
// callback's False, or Python's own error, KeyboardInterrupt among them).
void ThrowIfStopped(const std::atomic<int>& stop)
{
    FlushConsoleLines();
    if (stop.load() == kStopForCallback) {
        throw CancelledByCallback();
    }
    if (stop.load() != 0) {
        throw py::error_already_set();
    }
}

// The image's pixels handed to NumPy without a copy.
py::array ImageArray(nocturnia::cli::ImageBuffer&& image, const std::string& dtype)
{
    auto* pixels = new std::vector<float>(std::move(image.rgb));
    const py::capsule owner(pixels, [](void* held) { delete static_cast<std::vector<float>*>(held); });
    py::array_t<float> array(
        {static_cast<py::ssize_t>(image.height), static_cast<py::ssize_t>(image.width), static_cast<py::ssize_t>(3)},
        pixels->data(), owner);
    if (dtype == "float64") {
        return array.attr("astype")("float64");
    }
    return array;
}

nocturnia::cli::FrameRequest PlanRender(nocturnia::runtime::Document& copy, const RenderArguments& arguments)
{
    nocturnia::runtime::RenderSettings settings = copy.Render();
    nocturnia::cli::FrameRequest request;
    request.size = nocturnia::cli::CheckedRenderSize(arguments.width, arguments.height, arguments.samples, settings);
    request.region =
        nocturnia::cli::ChosenRenderWindow(arguments.tile, arguments.region, request.size.width, request.size.height)
            .region;
    request.threads =
        nocturnia::cli::CheckedInRange(arguments.threads.value_or(nocturnia::cli::UsableCpuCount()), 1,
                                       nocturnia::cli::kMaxThreads, "the thread count", ErrorKind::kUsage);
    if (arguments.width || arguments.height) {
        settings.width = request.size.width;
        settings.height = request.size.height;
        copy.SetRender(settings);
    }
    request.frame = nocturnia::cli::ChosenFrame(arguments.frame, copy);
    request.batch = UsesBatch(arguments.sampler);
    request.quiet = true;
    return request;
}

}  // namespace

py::array Render(PythonDocument& self, const RenderArguments& arguments)
{
    if (arguments.dtype != "float32" && arguments.dtype != "float64") {
        throw UserError(ErrorKind::kUsage, "dtype must be \"float32\" or \"float64\", got \"" + arguments.dtype + "\"");
    }
    std::atomic<int> stop{0};
    nocturnia::cli::ImageBuffer image;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        nocturnia::runtime::Document copy = self.Copy();
        nocturnia::cli::FrameRequest request = PlanRender(copy, arguments);
        request.stop = &stop;
        request.onProgress = [&](int done, int total) { LookAtPython(arguments.progress, done, total, stop); };
        try {
            const nocturnia::runtime::AllocationScope scope("the image of frame " + std::to_string(request.frame));
            image = nocturnia::cli::RenderFrame(copy.Shader(), request).image;
        } catch (const nocturnia::cli::Interrupted&) {
            // Told below, with the GIL.
        }
    }
    ThrowIfStopped(stop);
    return ImageArray(std::move(image), arguments.dtype);
}

namespace {

std::optional<std::string> JoinedNumbers(py::handle value, std::size_t count, const char* separator, const char* what)
{
    if (value.is_none()) {
        return std::nullopt;
    }
    if (PyUnicode_Check(value.ptr())) {
        return value.cast<std::string>();
    }
    const py::list items(py::reinterpret_borrow<py::object>(value));
    if (items.size() != count) {
        throw UserError(ErrorKind::kUsage, std::string(what) + " must be a string or " + std::to_string(count) +
                                               " integers, got " + py::repr(value).cast<std::string>());
    }
    std::string text;
    for (py::handle item : items) {
        text += (text.empty() ? "" : separator) + std::to_string(item.cast<long long>());
    }
    return text;
}

}  // namespace

namespace {

nocturnia::cli::SequenceRequest SequenceRequestOf(const FileRenderArguments& arguments)
{
    nocturnia::cli::SequenceRequest request;
    request.output = arguments.path;
    request.width = arguments.width;
    request.height = arguments.height;
    request.samples = arguments.samples;
    request.threads = arguments.threads;
    request.tile = arguments.tile;
    request.region = arguments.region;
    request.image.half = arguments.half;
    request.image.compression = arguments.compression;
    request.image.depth = arguments.depth;
    request.frames = arguments.frames;
    request.frame = arguments.frame;
    request.skipExisting = arguments.skipExisting;
    request.report = arguments.report;
    request.batch = UsesBatch(arguments.sampler);
    return request;
}

// ocio=, else $OCIO, else the program's own config. This process's program
// is the interpreter, so the program's folder the package knows stands in for it.
nocturnia::cli::ColorConfigChoice ChosenColorConfig(const FileRenderArguments& arguments)
{
    nocturnia::cli::ColorConfigChoice choice = arguments.colorConfig;
    choice.programFolder = PackageProgramFolder();
    return choice;
}

// The files' colour, as `render` chooses it before it renders; its warning
// (a guessed working space) as a Python warning.
nocturnia::cli::OutputColor ChosenOutputColor(const FileRenderArguments& arguments)
{
    nocturnia::cli::CheckImageOutputFormat(arguments.path);
    nocturnia::cli::OutputColor color = nocturnia::cli::ChooseOutputColor(
        ChosenColorConfig(arguments), arguments.color, *nocturnia::cli::ImageFormatFor(arguments.path));
    if (color.warning && PyErr_WarnEx(PyExc_UserWarning, color.warning->c_str(), 1) != 0) {
        throw py::error_already_set();  // warnings turned into errors
    }
    return color;
}

}  // namespace

py::object RenderToFile(PythonDocument& self, const FileRenderArguments& arguments)
{
    const nocturnia::cli::SequenceRequest request = SequenceRequestOf(arguments);
    nocturnia::cli::OutputColor color = ChosenOutputColor(arguments);
    std::atomic<int> stop{0};
    nocturnia::cli::RenderReport report;
    {
        py::gil_scoped_release release;
        std::lock_guard lock(PluginLock());
        nocturnia::runtime::Document copy = self.Copy();
        nocturnia::cli::SequenceJob job = nocturnia::cli::PlanSequence(copy, request);
        job.color = std::move(color);
        job.documentPath = self.path;
        job.documentName = self.path ? std::filesystem::path(*self.path).filename().string() : "untitled";
        job.arguments = {"nocturnia (Python)", "render_to_file", arguments.path};
        job.quiet = true;
        job.stop = &stop;
        job.reportOut = &report;
        job.onProgress = [&](int framesDone, int frames, int rowsDone, int rowsTotal) {
            LookAtPython(arguments.progress, framesDone * rowsTotal + rowsDone, frames * rowsTotal, stop);
        };
        try {
            nocturnia::cli::RenderSequence(copy, job);
        } catch (const nocturnia::cli::Interrupted&) {
            // Told below, with the GIL.
        }
    }
    ThrowIfStopped(stop);
    return JsonToPython(report.ToJson());
}

std::optional<std::string> FrameListText(py::handle frames)
{
    if (frames.is_none()) {
        return std::nullopt;
    }
    if (PyUnicode_Check(frames.ptr())) {
        return frames.cast<std::string>();
    }
    std::string text;
    for (py::handle frame : py::reinterpret_borrow<py::iterable>(frames)) {
        text += (text.empty() ? "" : ",") + std::to_string(frame.cast<long long>());
    }
    return text;
}

std::optional<std::string> RegionText(py::handle region) { return JoinedNumbers(region, 4, ",", "region"); }

std::optional<std::string> TileText(py::handle tile) { return JoinedNumbers(tile, 2, "/", "tile"); }

}  // namespace nocturnia::python
