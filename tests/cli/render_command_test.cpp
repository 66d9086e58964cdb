// `nocturnia render`: images of the right size and format whose pixels are
// the averages of the shader's samples at the host's texture points.
#include "program_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "image/png_dither.h"
#include "image_reading.h"

namespace nocturnia_test {
namespace {

std::vector<double> ParseNumbers(const std::string& text)
{
    std::vector<double> numbers;
    std::istringstream stream(text);
    std::string field;
    while (stream >> field) {
        numbers.push_back(std::stod(field));
    }
    return numbers;
}

class RenderCommand : public ::testing::Test {
protected:
    ProgramRun Run(const std::vector<std::string>& arguments) { return RunNocturnia(folder_.Path(), arguments); }

    std::string Example() const { return SourceFile("examples/night-sky.json").string(); }

    TempFolder folder_;
};

TEST_F(RenderCommand, WritesPngAndExrOfTheRequestedSize)
{
    const ProgramRun png =
        Run({"render", Example(), "-o", "sky.png", "--width", "40", "--height", "24", "--samples", "1"});
    ASSERT_EQ(png.status, 0) << png.err;
    const Image pngImage = ReadImage(folder_ / "sky.png");
    EXPECT_EQ(pngImage.width, 40);
    EXPECT_EQ(pngImage.height, 24);
    EXPECT_EQ(pngImage.channels, 3);
    EXPECT_FALSE(pngImage.isFloat);
    // Not a terminal: progress as log lines ending at 100 %, the plug-in's
    // release line and a summary line instead of a progress bar.
    std::vector<std::string> others;
    std::string lastProgress;
    for (const std::string& line : png.ErrLines()) {
        (line.rfind("frame 1/1  ", 0) == 0 ? lastProgress : others.emplace_back()) = line;
    }
    EXPECT_EQ(lastProgress, "frame 1/1  100%  eta 00:00:00") << png.err;
    ASSERT_EQ(others.size(), 2u) << png.err;
    EXPECT_NE(png.err.find("40 x 24"), std::string::npos) << png.err;
    EXPECT_EQ(png.err.find('\r'), std::string::npos);

    const ProgramRun exr =
        Run({"render", Example(), "-o", "sky.EXR", "--width", "40", "--height", "24", "--samples", "1", "--quiet"});
    ASSERT_EQ(exr.status, 0) << exr.err;
    EXPECT_EQ(exr.err, "");
    const Image exrImage = ReadImage(folder_ / "sky.EXR");
    EXPECT_EQ(exrImage.width, 40);
    EXPECT_EQ(exrImage.height, 24);
    EXPECT_TRUE(exrImage.isFloat);
    EXPECT_EQ(exrImage.channels, 3);

    // The PNG holds the EXR's values, clamped, sRGB-encoded and dithered by
    // pixel position. (The encoding is OpenColorIO's; on these few pixels it
    // meets the standard's formula code for code. ColorManagement checks the
    // encoding itself.)
    for (size_t i = 0; i < exrImage.pixels.size(); ++i) {
        const int pixel = static_cast<int>(i / 3);
        ASSERT_EQ(pngImage.bytes[i],
                  nocturnia::cli::DitheredSrgbByte(exrImage.pixels[i], pixel % 40, pixel / 40, static_cast<int>(i % 3)))
            << "value " << i;
    }
}

TEST_F(RenderCommand, PixelsAverageSamplesAtTheHostTexturePoints)
{
    // 2 x 2 samples: each pixel is the mean of the four points inside it, in
    // the order the render sums them; y = 0 is the top row. The example takes
    // its aspect from the render size, so the document gets the size rendered.
    const int width = 24, height = 16;
    std::string document = ReadFile(Example());
    const size_t render = document.find("\"render\"");
    ASSERT_NE(render, std::string::npos);
    document.replace(render, document.find('}', render) - render + 1,
                     R"("render": {"width": 24, "height": 16, "samples": 2})");
    WriteFile(folder_ / "sky.json", document);
    const ProgramRun rendered = Run({"render", "sky.json", "-o", "sky.exr", "--quiet"});
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    const Image image = ReadImage(folder_ / "sky.exr");

    const std::vector<std::pair<int, int>> pixels = {{0, 0}, {width - 1, height - 1}, {7, 3}, {15, 12}, {0, 15}};
    std::vector<std::string> arguments = {"sample", "sky.json", "--quiet"};
    for (const auto& [x, y] : pixels) {
        for (int sy = 0; sy < 2; ++sy) {
            for (int sx = 0; sx < 2; ++sx) {
                const double u = (x + (sx + 0.5) / 2) / width;
                const double v = (y + (sy + 0.5) / 2) / height;
                char point[96];
                std::snprintf(point, sizeof point, "%.17g,%.17g", u, v);
                arguments.push_back("--at");
                arguments.push_back(point);
            }
        }
    }
    const ProgramRun sampled = Run(arguments);
    ASSERT_EQ(sampled.status, 0) << sampled.err;
    const std::vector<double> values = ParseNumbers(sampled.out);
    ASSERT_EQ(values.size(), pixels.size() * 4 * 3);
    for (size_t p = 0; p < pixels.size(); ++p) {
        for (int c = 0; c < 3; ++c) {
            double sum = 0.0;
            for (int s = 0; s < 4; ++s) {
                sum += values[(p * 4 + s) * 3 + c];
            }
            EXPECT_EQ(image.At(pixels[p].first, pixels[p].second)[c], static_cast<float>(sum / 4.0))
                << "pixel " << pixels[p].first << "," << pixels[p].second << " channel " << c;
        }
    }
    // The example's background brightens toward the bottom: the rows are not flipped.
    EXPECT_NE(image.At(0, 0)[2], image.At(0, height - 1)[2]);
}

TEST_F(RenderCommand, ExrIsUnclampedAndPngClamped)
{
    ASSERT_EQ(Run({"new", "-o", "plain.json"}).status, 0);
    const std::vector<std::string> common = {"plain.json", "--width", "8",       "--height", "4",
                                             "--samples",  "1",       "--quiet", "--set",    "Brightness=2.5"};
    std::vector<std::string> exr = {"render", "-o", "bright.exr"};
    exr.insert(exr.end(), common.begin(), common.end());
    ASSERT_EQ(Run(exr).status, 0);
    std::vector<std::string> png = {"render", "-o", "bright.png"};
    png.insert(png.end(), common.begin(), common.end());
    ASSERT_EQ(Run(png).status, 0);
    const Image linear = ReadImage(folder_ / "bright.exr");
    const Image display = ReadImage(folder_ / "bright.png");
    for (float value : linear.pixels) {
        EXPECT_GE(value, 2.0f);
    }
    for (unsigned char value : display.bytes) {
        EXPECT_EQ(value, 255);
    }
}

TEST_F(RenderCommand, SettingsComeFromTheDocumentAndTheOutputNameFromIt)
{
    ASSERT_EQ(Run({"new", "-o", "small.json"}).status, 0);
    std::string document = ReadFile(folder_ / "small.json");
    const size_t render = document.find("\"render\"");
    ASSERT_NE(render, std::string::npos);
    const size_t close = document.find('}', render);
    document.replace(render, close - render + 1, R"("render": {"width": 12, "height": 6, "samples": 1})");
    WriteFile(folder_ / "small.json", document);

    const ProgramRun run = Run({"render", "small.json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image image = ReadImage(folder_ / "small.png");
    EXPECT_EQ(image.width, 12);
    EXPECT_EQ(image.height, 6);
    EXPECT_NE(run.err.find("1 x 1 samples"), std::string::npos) << run.err;
}

TEST_F(RenderCommand, AnOverriddenSizeIsTheRenderSettingsSize)
{
    // The example takes its aspect from the render settings: rendering it at
    // another size must give what a document of that size gives, i.e. the
    // aspect follows the size unless the document fixes it.
    std::string document = ReadFile(Example());
    const size_t render = document.find("\"render\"");
    ASSERT_NE(render, std::string::npos);
    const size_t end = document.find('}', render) - render + 1;
    WriteFile(folder_ / "wide.json",
              std::string(document).replace(render, end, R"("render": {"width": 30, "height": 10})"));
    WriteFile(folder_ / "fixed.json",
              std::string(document).replace(render, end, R"("render": {"width": 30, "height": 10, "aspect": 1.0})"));

    const std::vector<std::string> size = {"--width", "30", "--height", "10", "--samples", "1", "--quiet"};
    auto renderTo = [&](const std::string& source, const std::string& image, bool override) {
        std::vector<std::string> arguments = {"render", source, "-o", image};
        arguments.insert(arguments.end(), size.begin() + (override ? 0 : 4), size.end());
        const ProgramRun run = Run(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        return ReadImage(folder_ / image);
    };
    const Image overridden = renderTo(Example(), "overridden.exr", true);
    const Image wide = renderTo("wide.json", "wide.exr", false);
    const Image fixed = renderTo("fixed.json", "fixed.exr", false);
    ASSERT_EQ(overridden.pixels.size(), wide.pixels.size());
    EXPECT_EQ(overridden.pixels, wide.pixels);
    EXPECT_NE(fixed.pixels, wide.pixels) << "an aspect the document fixes is kept";
}

TEST_F(RenderCommand, BuiltInExampleNeedsNoDocument)
{
    const ProgramRun run = Run({"render", "--width", "16", "--height", "9", "--samples", "1", "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image image = ReadImage(folder_ / "night-sky.png");
    EXPECT_EQ(image.width, 16);
    EXPECT_EQ(image.height, 9);

    // The built-in example is examples/night-sky.json.
    const ProgramRun builtIn = Run({"describe", "--json"});
    const ProgramRun file = Run({"describe", "--json", Example()});
    ASSERT_EQ(builtIn.status, 0) << builtIn.err;
    EXPECT_EQ(builtIn.out, file.out);
}

TEST_F(RenderCommand, MatchesTheReferenceImage)
{
    // A small render of a fixed document, checked in as a PNG, code for
    // code: the render and its sRGB encoding are exact, so any change shows.
    // After an intended change of the picture, look at a new render and
    // replace the file: nocturnia render tests/data/reference-sky.json
    // -o tests/data/reference-sky.png
    const ProgramRun run =
        Run({"render", SourceFile("tests/data/reference-sky.json").string(), "-o", "ref.png", "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image rendered = ReadImage(folder_ / "ref.png");
    const Image reference = ReadImage(SourceFile("tests/data/reference-sky.png"));
    ASSERT_EQ(rendered.width, reference.width);
    ASSERT_EQ(rendered.height, reference.height);
    ASSERT_EQ(rendered.bytes.size(), reference.bytes.size());
    int worst = 0;
    double total = 0.0;
    for (size_t i = 0; i < rendered.bytes.size(); ++i) {
        const int difference = std::abs(int(rendered.bytes[i]) - int(reference.bytes[i]));
        worst = std::max(worst, difference);
        total += difference;
    }
    EXPECT_EQ(worst, 0);
    EXPECT_EQ(total, 0.0);
}

TEST_F(RenderCommand, RenderThreadsGiveBitIdenticalImages)
{
    const std::vector<std::string> common = {Example(), "--width", "48", "--height", "27", "--samples", "2", "--quiet"};
    std::vector<std::string> one = {"render", "-o", "one.exr", "--threads", "1"};
    one.insert(one.end(), common.begin(), common.end());
    std::vector<std::string> four = {"render", "-o", "four.exr", "--threads", "4"};
    four.insert(four.end(), common.begin(), common.end());
    const ProgramRun first = Run(one);
    ASSERT_EQ(first.status, 0) << first.err;
    const ProgramRun second = Run(four);
    ASSERT_EQ(second.status, 0) << second.err;
    const Image a = ReadImage(folder_ / "one.exr");
    const Image b = ReadImage(folder_ / "four.exr");
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    EXPECT_EQ(std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(float)), 0);
}

// Both samplers, in the widest kernel and in SSE2, against the plain
// per-sample code (one Output per sample, NOCTURNIA_SIMD=scalar): the same pixels for every example and the heavy benchmark scene, at a size
// whose rows do not fill the batches evenly.
TEST_F(RenderCommand, BothSamplersRenderTheSamePixels)
{
    const std::vector<std::string> documents = {"examples/night-sky.json", "examples/milky-band.json",
                                                "examples/coloured-field.json", "examples/sun-with-sunspots.json",
                                                "bench/scenes/heavy.json"};
    for (const std::string& document : documents) {
        const std::vector<std::string> common = {SourceFile(document).string(),
                                                 "--width",
                                                 "67",
                                                 "--height",
                                                 "23",
                                                 "--samples",
                                                 "3",
                                                 "--threads",
                                                 "2",
                                                 "--quiet"};
        auto render = [&](const std::string& image, const std::string& sampler, const std::string& variant) {
            std::vector<std::string> arguments = {"render", "-o", image, "--sampler", sampler};
            arguments.insert(arguments.end(), common.begin(), common.end());
            std::vector<std::string> environment;
            if (!variant.empty()) environment.push_back("NOCTURNIA_SIMD=" + variant);
            const ProgramRun run = RunNocturnia(folder_.Path(), arguments, "", environment);
            EXPECT_EQ(run.status, 0) << run.err;
            return ReadImage(folder_ / image);
        };
        const Image expected = render("scalar.exr", "output", "scalar");
        for (const std::string sampler : {"batch", "output"}) {
            for (const std::string variant : {"", "sse2"}) {
                const Image got = render("other.exr", sampler, variant);
                ASSERT_EQ(expected.pixels.size(), got.pixels.size()) << document;
                EXPECT_EQ(
                    std::memcmp(expected.pixels.data(), got.pixels.data(), expected.pixels.size() * sizeof(float)), 0)
                    << document << ", " << sampler << " with " << (variant.empty() ? "the widest variant" : variant);
            }
        }
    }
}

TEST_F(RenderCommand, ReplacesAnExistingImageWhole)
{
    WriteFile(folder_ / "sky.png", "old");
    const ProgramRun run =
        Run({"render", Example(), "-o", "sky.png", "--width", "8", "--height", "8", "--samples", "1", "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadImage(folder_ / "sky.png").width, 8);
    for (const auto& file : std::filesystem::directory_iterator(folder_.Path())) {
        const std::string name = file.path().filename().string();
        EXPECT_TRUE(name == "sky.png" || name.rfind(".run", 0) == 0) << name;
    }
}

}  // namespace
}  // namespace nocturnia_test

#else

TEST(RenderCommand, ReportsThatImagesCannotBeWritten)
{
    nocturnia_test::TempFolder folder;
    const nocturnia_test::ProgramRun run = nocturnia_test::RunNocturnia(folder.Path(), {"render", "-o", "a.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not available in this build"), std::string::npos) << run.err;
}

#endif
