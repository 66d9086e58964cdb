// Renders split into tiles and put back together: tiles written as EXR with
// the whole picture's display window, `assemble` giving exactly the pixels
// of a render in one piece (EXR and PNG), and the parts that do not fit
// together refused.
#include "program_runner.h"

#include <gtest/gtest.h>

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "image/png_dither.h"
#include "image_reading.h"

#include <Imath/half.h>
#include <OpenEXR/ImfCompression.h>

#include <cmath>
#include <cstring>

namespace nocturnia_test {
namespace {

class TiledRender : public ::testing::Test {
protected:
    ProgramRun Run(const std::vector<std::string>& arguments) { return RunNocturnia(folder_.Path(), arguments); }

    // A render of the sky at an odd size, with `extra` arguments.
    ProgramRun Render(const std::string& output, std::vector<std::string> extra = {})
    {
        std::vector<std::string> arguments = {"render",   "sky.json", "-o",        output, "--width",   "45",
                                              "--height", "29",       "--samples", "2",    "--threads", "2"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Run(arguments);
    }

    void SetUp() override { WriteFile(folder_ / "sky.json", ReadFile(SourceFile("examples/milky-band.json"))); }

    static bool SameFloats(const Image& a, const Image& b)
    {
        return a.pixels.size() == b.pixels.size() &&
               std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(float)) == 0;
    }

    TempFolder folder_;
};

TEST_F(TiledRender, AssembledTilesArePixelForPixelTheWholeRender)
{
    ASSERT_EQ(Render("whole.exr", {"--quiet"}).status, 0);
    ASSERT_EQ(Render("whole.png", {"--quiet"}).status, 0);
    const Image whole = ReadImage(folder_ / "whole.exr");

    for (const int count : {4, 3}) {
        std::vector<std::string> assemble = {"assemble"};
        for (int index = count - 1; index >= 0; --index) {  // any order
            const std::string tile = "tile" + std::to_string(index) + ".exr";
            const ProgramRun run = Render(tile, {"--tile", std::to_string(index) + "/" + std::to_string(count)});
            ASSERT_EQ(run.status, 0) << run.err;
            assemble.push_back(tile);
            const Image part = ReadImage(folder_ / tile);
            EXPECT_EQ(part.displayWidth, 45);
            EXPECT_EQ(part.displayHeight, 29);
            EXPECT_LT(part.width * part.height, 45 * 29);
            // The tile's pixels are those of the whole render at its place.
            for (int y = 0; y < part.height; ++y) {
                ASSERT_EQ(
                    std::memcmp(part.At(0, y), whole.At(part.dataX, part.dataY + y), part.width * 3 * sizeof(float)), 0)
                    << tile << " row " << y;
            }
            if (count == 4 && index == 1) {
                EXPECT_NE(run.err.find("tile 1/4 of 2 rows x 2 columns: x 22-44, y 0-13 (23 x 14)"), std::string::npos)
                    << run.err;
            }
        }
        for (const std::string output : {"full.exr", "full.png"}) {
            std::vector<std::string> arguments = assemble;
            arguments.insert(arguments.end(), {"-o", output});
            const ProgramRun run = Run(arguments);
            ASSERT_EQ(run.status, 0) << run.err;
        }
        EXPECT_TRUE(SameFloats(ReadImage(folder_ / "full.exr"), whole)) << count << " tiles";
        EXPECT_EQ(ReadImage(folder_ / "full.png").bytes, ReadImage(folder_ / "whole.png").bytes) << count << " tiles";
    }

    // A region by hand is the same pixels as well.
    ASSERT_EQ(Render("region.exr", {"--region", "3,5,17,9", "--quiet"}).status, 0);
    const Image region = ReadImage(folder_ / "region.exr");
    ASSERT_EQ(region.width, 17);
    ASSERT_EQ(region.height, 9);
    for (int y = 0; y < 9; ++y) {
        EXPECT_EQ(std::memcmp(region.At(0, y), whole.At(3, 5 + y), 17 * 3 * sizeof(float)), 0) << "row " << y;
    }
}

TEST_F(TiledRender, PartsThatDoNotMakeOnePictureAreRefused)
{
    for (int index = 0; index < 4; ++index) {
        const std::string tile = std::to_string(index) + "/4";
        ASSERT_EQ(Render("t" + std::to_string(index) + ".exr", {"--tile", tile, "--quiet"}).status, 0);
    }
    ASSERT_EQ(Run({"render", "sky.json", "-o", "wider.exr", "--width", "46", "--height", "29", "--samples", "1",
                   "--tile", "3/4", "--quiet"})
                  .status,
              0);
    ASSERT_EQ(Render("half.exr", {"--tile", "3/4", "--half", "--quiet"}).status, 0);
    ASSERT_EQ(Render("edited.exr", {"--tile", "3/4", "--set", "Gamma=1.3", "--quiet"}).status, 0);
    ASSERT_EQ(Run({"render", "sky.json", "-o", "finer.exr", "--width", "45", "--height", "29", "--samples", "3",
                   "--tile", "3/4", "--quiet"})
                  .status,
              0);

    const struct {
        std::vector<std::string> arguments;
        std::string message;
        int status;  // 2 for options, 3 for tiles that do not make one picture
    } cases[] = {
        {{"render", "sky.json", "-o", "tile.png", "--tile", "0/4"}, "a PNG cannot hold part of a picture", 2},
        {{"render", "sky.json", "-o", "tile.exr", "--tile", "4/4"}, "counted from 0", 2},
        {{"render", "sky.json", "-o", "tile.exr", "--tile", "two/4"}, "--tile expects I/N", 2},
        {{"render", "sky.json", "-o", "r.exr", "--width", "45", "--region", "40,0,6,2"}, "does not lie inside", 2},
        {{"render", "sky.json", "-o", "r.exr", "--tile", "0/2", "--region", "0,0,1,1"}, "give one of them", 2},
        {{"render", "sky.json", "-o", "r.exr", "--depth", "16"}, "--depth applies to .png", 2},
        {{"render", "sky.json", "-o", "r.png", "--half"}, "--half applies to .exr", 2},
        {{"render", "sky.json", "-o", "r.exr", "--compression", "jpeg"}, "unknown --compression", 2},
        {{"assemble", "t0.exr", "t1.exr", "t3.exr", "-o", "full.exr"}, "missing tile 2/4", 3},
        {{"assemble", "t0.exr", "t1.exr", "t2.exr", "t3.exr", "t1.exr", "-o", "full.exr"}, "overlap", 3},
        {{"assemble", "t0.exr", "t1.exr", "t2.exr", "wider.exr", "-o", "full.exr"}, "display window", 3},
        {{"assemble", "t0.exr", "t1.exr", "t2.exr", "half.exr", "-o", "full.exr"}, "channels", 3},
        {{"assemble", "t0.exr", "t1.exr", "t2.exr", "edited.exr", "-o", "full.exr"}, "parameterHash", 3},
        {{"assemble", "t0.exr", "t1.exr", "t2.exr", "finer.exr", "-o", "full.exr"}, "parameterHash", 3},
        {{"assemble", "t0.exr", "nothing.exr", "-o", "full.exr"}, "cannot read nothing.exr", 3},
    };
    for (const auto& refused : cases) {
        const ProgramRun run = Run(refused.arguments);
        EXPECT_EQ(run.status, refused.status) << refused.message;
        EXPECT_NE(run.err.find(refused.message), std::string::npos)
            << "expected \"" << refused.message << "\" in " << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder_ / "full.exr"));
        EXPECT_FALSE(std::filesystem::exists(folder_ / "tile.png"));
    }
}

TEST_F(TiledRender, MetadataHalvesDepthAndDitherHoldWhatWasRendered)
{
    ASSERT_EQ(Render("float.exr", {"--quiet"}).status, 0);
    ASSERT_EQ(Render("tile.exr", {"--tile", "1/4", "--half", "--compression", "piz", "--quiet"}).status, 0);
    ASSERT_EQ(Render("other.exr", {"--tile", "2/4", "--quiet"}).status, 0);
    ASSERT_EQ(Render("deep.png", {"--depth", "16", "--quiet"}).status, 0);
    const Image exact = ReadImage(folder_ / "float.exr");
    const Image tile = ReadImage(folder_ / "tile.exr");
    const Image other = ReadImage(folder_ / "other.exr");

    // Lossless ZIP by default; PIZ when asked, and halves that are the
    // floats rounded to half.
    EXPECT_EQ(exact.compression, Imf::ZIP_COMPRESSION);
    EXPECT_EQ(tile.compression, Imf::PIZ_COMPRESSION);
    ASSERT_TRUE(tile.isHalf);
    for (int y = 0; y < tile.height; ++y) {
        for (int x = 0; x < tile.width * 3; ++x) {
            const float wanted = static_cast<float>(Imath::half(exact.At(tile.dataX, tile.dataY + y)[x]));
            ASSERT_EQ(tile.At(0, y)[x], wanted) << "value " << x << " of row " << y;
        }
    }

    EXPECT_EQ(tile.texts.at("Software").rfind("Nocturnia ", 0), 0u);
    EXPECT_EQ(tile.texts.at("nocturnia/document"), "sky.json");
    EXPECT_EQ(tile.texts.at("nocturnia/tile"), "1/4");
    EXPECT_EQ(tile.frame, 0);
    EXPECT_NE(tile.texts.at("nocturnia/commandLine").find("render sky.json -o tile.exr"), std::string::npos);
    EXPECT_EQ(tile.texts.at("nocturnia/parameterHash").size(), 16u);
    EXPECT_EQ(tile.texts.at("nocturnia/parameterHash"), other.texts.at("nocturnia/parameterHash"));
    EXPECT_EQ(exact.texts.count("nocturnia/tile"), 0u);

    // 16-bit PNG: every value encoded without dithering; 8-bit: dithered by
    // position, and the dither averages out to the true value.
    const Image deep = ReadImage(folder_ / "deep.png");
    ASSERT_EQ(deep.depth, 16);
    ASSERT_EQ(deep.words.size(), exact.pixels.size());
    EXPECT_EQ(deep.texts.at("nocturnia/document"), "sky.json");
    double error = 0.0;
    for (size_t i = 0; i < exact.pixels.size(); ++i) {
        const double linear = std::clamp(exact.pixels[i], 0.0f, 1.0f);
        const double srgb = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
        error = std::max(error, std::abs(deep.words[i] - srgb * 65535.0));
    }
    // Within half a code of the standard's formula, and of the distance
    // between the two sRGB curves in use: OpenColorIO derives the linear
    // segment from the exponent and offset (a break at 0.00304, slope
    // 12.923), the standard rounds them (0.0031308, 12.92); they differ by
    // at most 9.8e-6, near the break. ColorManagement checks the codes
    // against OpenColorIO's own conversion exactly.
    EXPECT_LE(error, 0.5 + 9.8e-6 * 65535.0);

    for (const double code : {100.3, 37.5, 0.2, 254.9}) {
        const double srgb = code / 255.0;
        const float linear = static_cast<float>(srgb <= 0.04045 ? srgb / 12.92 : std::pow((srgb + 0.055) / 1.055, 2.4));
        double sum = 0.0;
        int low = 256, high = -1;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const int byte = nocturnia::cli::DitheredSrgbByte(linear, x, y, 1);
                sum += byte;
                low = std::min(low, byte);
                high = std::max(high, byte);
            }
        }
        EXPECT_NEAR(sum / 4096.0, code, 0.03) << "code " << code;
        EXPECT_LE(high - low, 1) << "code " << code;
    }
    EXPECT_EQ(nocturnia::cli::DitheredSrgbByte(0.0f, 5, 7, 0), 0);  // black stays black
    EXPECT_EQ(nocturnia::cli::DitheredSrgbByte(1.0f, 5, 7, 0), 255);
}

}  // namespace
}  // namespace nocturnia_test

#endif
