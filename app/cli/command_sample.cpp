// `nocturnia sample`: the shader's colour at given texture points, printed
// with all the digits a double needs.
#include "cli/commands.h"

#include "cli/program_session.h"
#include "io/input_stream.h"
#include "io/interruption.h"
#include "render/document_frame.h"
#include "render/progress_display.h"
#include "render/work_estimate.h"
#include "text/number_text.h"
#include "text/parameter_edits.h"
#include "text/texture_point_text.h"
#include "text/user_error.h"

#include "runtime/memory_budget.h"
#include "runtime/render_session.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace nocturnia::cli {

namespace {

std::vector<TexturePointValue> CollectPoints(const SampleOptions& options)
{
    std::vector<TexturePointValue> points;
    for (const std::string& text : options.at) {
        const std::optional<TexturePointValue> point = ParseTexturePointArgument(text);
        if (!point) {
            throw UserError(ErrorKind::kUsage, "--at expects U,V or U,V,W, got \"" + text + "\"");
        }
        points.push_back(*point);
    }
    if (options.points) {
        std::vector<TexturePointValue> read;
        const nocturnia::runtime::AllocationScope scope("the texture points");
        if (*options.points == "-") {
            read = ReadTexturePoints(std::cin, "standard input");
        } else {
            CheckedInputStream file(*options.points, kMaxPointsFileBytes);
            read = ReadTexturePoints(file, *options.points);
        }
        points.insert(points.end(), read.begin(), read.end());
    }
    return points;
}

// Sampling expected to take longer than this shows its progress.
constexpr double kProgressFromSeconds = 2.0;

// Points per chunk: 256 when they are quick, fewer when the whole is slow, so
// that each chunk takes about a fifth of a second (but at least one point).
std::size_t ChunkSize(double estimatedSeconds, std::size_t points)
{
    constexpr std::size_t kQuickChunk = 256;
    constexpr double kChunkSeconds = 0.2;
    if (!(estimatedSeconds > 0.0) || points == 0) {
        return kQuickChunk;
    }
    const double perPoint = estimatedSeconds / static_cast<double>(points);
    const double fitting = kChunkSeconds / perPoint;
    return fitting >= static_cast<double>(kQuickChunk) ? kQuickChunk
                                                       : std::max<std::size_t>(1, static_cast<std::size_t>(fitting));
}

// Samples the points in chunks, through the batch entry or one Output per
// point, and prints each colour as "r g b". The output of millions of points
// is never held whole, and an interruption is seen between chunks; slow
// points (a huge Density) come in small chunks, so that the progress moves.
// The last of the text is returned, for the caller to print once the render
// is released.
std::string SampleInChunks(const nocturnia::runtime::RenderSession& render,
                           const std::vector<TexturePointValue>& points, double estimatedSeconds, bool batch,
                           bool quiet)
{
    const std::size_t chunk = ChunkSize(estimatedSeconds, points.size());
    const bool showProgress = !quiet && IsTerminal(stderr) && estimatedSeconds > kProgressFromSeconds;
    ProgressDisplay display(stderr);
    std::vector<double> coordinates;
    std::vector<double> colors;
    std::string text;
    for (std::size_t first = 0; first < points.size(); first += chunk) {
        ThrowIfInterrupted();
        if (showProgress) {
            display.Update(static_cast<int>(first / chunk), static_cast<int>((points.size() + chunk - 1) / chunk));
        }
        const std::size_t count = std::min(chunk, points.size() - first);
        coordinates.clear();
        for (std::size_t i = first; i < first + count; ++i) {
            coordinates.insert(coordinates.end(), {points[i][0], points[i][1], points[i][2]});
        }
        colors.assign(coordinates.size(), 0.0);
        render.SampleBatch(coordinates.data(), static_cast<int>(count), colors.data(), batch);
        for (std::size_t i = 0; i < count; ++i) {
            text += SeventeenDigits(colors[3 * i]) + ' ' + SeventeenDigits(colors[3 * i + 1]) + ' ' +
                    SeventeenDigits(colors[3 * i + 2]) + '\n';
        }
        if (text.size() >= (1u << 16)) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            text.clear();
        }
    }
    if (showProgress) {
        display.Update(1, 1);
        display.Finish();
    }
    return text;
}

}  // namespace

int RunSample(const GlobalOptions& global, const SampleOptions& options)
{
    if (options.at.empty() && !options.points) {
        throw UserError(ErrorKind::kUsage, "no texture points: give --at U,V[,W] or --points FILE");
    }
    // Points are read before anything is loaded: a bad line costs nothing.
    const std::vector<TexturePointValue> points = CollectPoints(options);

    const std::unique_ptr<nocturnia::runtime::Host> host = StartHost(global);
    nocturnia::runtime::Document document = OpenDocument(options.document);
    MoveToFrame(document.Shader(), ChosenFrame(options.frame, document));
    CheckLayersFit(document.Shader(), nocturnia::runtime::LayerUse::Render);
    nocturnia::runtime::Result<std::unique_ptr<nocturnia::runtime::RenderSession>> session =
        nocturnia::runtime::RenderSession::Start(document.Shader());
    if (!session) {
        throw UserError(ErrorKind::kWork, "cannot render: " + session.error());
    }
    const nocturnia::runtime::RenderSession& render = *session.value();
    // From here a signal stops sampling between chunks of points.
    const CooperativeInterruption cooperative;
    const double estimatedSeconds = AnnounceLongSampling(
        document.Shader(), static_cast<double>(points.size()), 1, "sampling", global.quiet,
        [&](int i) {
            const TexturePointValue& point = points[static_cast<std::size_t>(i)];
            (void)render.Output(point[0], point[1], point[2]);
        },
        static_cast<int>(std::min<std::size_t>(points.size(), 16)));
    const std::string rest =
        SampleInChunks(render, points, estimatedSeconds, options.sampler == SamplerKind::Batch, global.quiet);
    session.value().reset();
    std::fwrite(rest.data(), 1, rest.size(), stdout);
    return 0;
}

}  // namespace nocturnia::cli
