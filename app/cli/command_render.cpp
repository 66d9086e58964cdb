// `nocturnia render`: the document's shader over the whole texture, written
// as an image.
#include "cli/commands.h"

#include "cli/image_file.h"
#include "cli/interruption.h"
#include "cli/memory_budget.h"
#include "cli/number_text.h"
#include "cli/program_session.h"
#include "cli/progress_display.h"
#include "cli/render_window.h"
#include "cli/session_sampler.h"
#include "cli/usable_cpus.h"
#include "cli/user_error.h"
#include "cli/work_estimate.h"

#include "runtime/render_session.h"

#include <cstdio>
#include <filesystem>

namespace nocturnia::cli {

namespace {

// Large enough for any real render; small enough that the image buffer of
// floats always fits in memory.
constexpr int kMaxImageSide = 32768;
constexpr long long kMaxPixels = 8192LL * 8192;
constexpr int kMaxSamples = 64;

int CheckedOption(const std::optional<int>& option, int fallback, int minimum, int maximum, const char* name)
{
    const int value = option.value_or(fallback);
    if (value < minimum || value > maximum) {
        throw UserError(std::string(name) + " must lie between " + std::to_string(minimum) + " and " +
                        std::to_string(maximum) + ", got " + std::to_string(value));
    }
    return value;
}

std::filesystem::path OutputPath(const RenderOptions& options)
{
    if (options.output) {
        return *options.output;
    }
    const std::string stem =
        options.document ? std::filesystem::path(*options.document).stem().string() : kBuiltinExampleName;
    return stem + ".png";
}

// Fails before the render rather than after it, where the time would be lost.
void CheckOutputPath(const std::filesystem::path& path)
{
    if (!ImageWritingAvailable()) {
        throw UserError(std::string("image writing is not available in this build ") + kWithoutImageLibraries);
    }
    if (!ImageFormatFor(path)) {
        throw UserError("cannot write " + path.string() + ": unknown image format (use .exr or .png)");
    }
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        throw UserError("cannot write " + path.string() + ": no folder " + folder.string());
    }
    if (std::filesystem::is_directory(path, error)) {
        throw UserError("cannot write " + path.string() + ": it is a folder");
    }
}

}  // namespace

int RunRender(const GlobalOptions& global, const RenderOptions& options)
{
    const std::filesystem::path output = OutputPath(options);
    CheckOutputPath(output);

    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);
    nocturnia::runtime::Document document = OpenDocument(options.document);

    // The command line overrides the document's render settings; an aspect
    // the document does not fix follows the new size.
    nocturnia::runtime::RenderSettings settings = document.Render();
    RenderSize size;
    size.width = CheckedOption(options.width, settings.Width(), 1, kMaxImageSide, "the width");
    size.height = CheckedOption(options.height, settings.Height(), 1, kMaxImageSide, "the height");
    size.samples = CheckedOption(options.samples, settings.Samples(), 1, kMaxSamples, "the samples per pixel side");
    if (static_cast<long long>(size.width) * size.height > kMaxPixels) {
        throw UserError("the image is too large: " + std::to_string(size.width) + " x " + std::to_string(size.height));
    }
    const RenderWindow window = ChosenRenderWindow(options.tile, options.region, size.width, size.height);
    ImageWriteSettings writeSettings =
        CheckedWriteSettings(output, options.image, size.width, size.height, window.region);
    const int threads = CheckedOption(options.threads, UsableCpuCount(), 1, 1024, "the thread count");
    if (options.width || options.height) {
        settings.width = size.width;
        settings.height = size.height;
        document.SetRender(settings);
    }

    ApplyEdits(document.Shader(), options.edits);
    const int frame = 0;  // the frame rendered, once documents have them
    writeSettings.metadata =
        RenderMetadata(document, options.document, size.samples, frame, window.name, global.arguments);

    CheckLayerMemory(document.Shader(), LayerUse::Render);
    nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session =
        nocturnia::runtime::RenderSession::Start(document.Shader());
    if (!session) {
        throw UserError("cannot render: " + session.error());
    }
    const auto sampler = SessionSampler(*session.value(), options.sampler == SamplerKind::Batch);

    // From here a signal stops the render between rows; no image is written.
    const CooperativeInterruption cooperative;
    {
        // Probe samples spread down the middle column of the picture.
        const double total = static_cast<double>(window.region.PixelCount()) * size.samples * size.samples;
        AnnounceLongSampling(
            document.Shader(), total, threads, "the render", global.quiet,
            [&](int i) {
                double point[3];
                double colour[3];
                TexturePoint(size, size.width / 2, (size.height - 1) * (i % 16) / 15, 0, 0, point);
                sampler(point, colour);
            },
            16);
        ThrowIfInterrupted();
    }

    if (!global.quiet && !window.name.empty()) {
        std::fprintf(stderr, "%s\n", RenderWindowLine(window).c_str());
    }
    const bool showProgress = !global.quiet && IsTerminal(stderr);
    ProgressDisplay display(stderr);
    RenderProgress progress;
    progress.stop = &InterruptionSignal();
    const ImageBuffer image = RenderImageRegion(size, window.region, sampler, threads, progress, [&] {
        if (showProgress) {
            display.Update(progress.rowsDone.load(), progress.rowsTotal);
        }
    });
    display.Finish();
    const double seconds = display.ElapsedSeconds();
    session.value().reset();  // FreeRender before the image is written
    ThrowIfInterrupted();     // a stopped render writes nothing

    WriteImage(output, image, writeSettings);
    if (!global.quiet) {
        std::fprintf(stderr, "rendered %d x %d, %d x %d samples per pixel, %d thread%s, %.2f s -> %s\n", size.width,
                     size.height, size.samples, size.samples, threads, threads == 1 ? "" : "s", seconds,
                     output.string().c_str());
    }
    return 0;
}

}  // namespace nocturnia::cli
