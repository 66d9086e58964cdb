// Colour management as a user meets it: EXRs tagged with their space and
// holding OpenColorIO's conversion of the shader's values (checked through
// the library itself, not against stored numbers), the shader's own space
// written unconverted, a studio's config in $OCIO honoured, and `assemble`
// keeping the tags and refusing tiles of different spaces.
#include "program_runner.h"

#include <gtest/gtest.h>

#if defined(NOCTURNIA_HAVE_IMAGE_LIBRARIES) && defined(NOCTURNIA_TEST_HAVE_OCIO)
#include "colour/color_config.h"
#include "image/png_dither.h"
#include "image_reading.h"

#include <OpenColorIO/OpenColorIO.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

namespace nocturnia_test {
namespace {

namespace OCIO = OCIO_NAMESPACE;

class ColorManagement : public ::testing::Test {
protected:
    ProgramRun Run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {})
    {
        return RunNocturnia(folder_.Path(), arguments, "", environment);
    }
    ProgramRun Render(const std::string& output, std::vector<std::string> extra = {},
                      const std::vector<std::string>& environment = {})
    {
        std::vector<std::string> arguments = {"render",   "sky.json", "-o",        output, "--width", "40",
                                              "--height", "24",       "--samples", "2",    "--quiet"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Run(arguments, environment);
    }
    void SetUp() override
    {
        // An animated document at 29.97 frames a second.
        std::string document = ReadFile(SourceFile("examples/milky-band.json"));
        WriteFile(folder_ / "sky.json", document);
        ASSERT_EQ(Run({"edit", "sky.json", "--render", "fps=29.97"}).status, 0);
    }
    std::filesystem::path Path(const std::string& name) const { return folder_ / name; }

    TempFolder folder_;
};

// OpenColorIO's own conversion of `pixels` between two spaces of the
// program's config.
std::vector<float> Converted(std::vector<float> pixels, const char* from, const char* to)
{
    const std::string config = (ProgramFolder() / "nocturnia.ocio").string();
    OCIO::ConstCPUProcessorRcPtr processor =
        OCIO::Config::CreateFromFile(config.c_str())
            ->getProcessor(from, to)
            ->getOptimizedCPUProcessor(OCIO::BIT_DEPTH_F32, OCIO::BIT_DEPTH_F32, OCIO::OPTIMIZATION_LOSSLESS);
    OCIO::PackedImageDesc image(pixels.data(), static_cast<long>(pixels.size() / 3), 1, 3);
    processor->apply(image);
    return pixels;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST_F(ColorManagement, ExrsHoldTheirSpacesValuesAndTags)
{
    ASSERT_EQ(Render("default.exr").status, 0);
    ASSERT_EQ(Render("linear.exr", {"--colorspace", "lin_rec709_scene"}).status, 0);
    ASSERT_EQ(Render("acescg.exr", {"--colorspace", "ACEScg"}).status, 0);
    ASSERT_EQ(Render("rec2020.exr", {"--colorspace", "Linear Rec.2020"}).status, 0);
    const Image plain = ReadImage(Path("default.exr"));
    // The shader's own space, named or not, is written unconverted.
    EXPECT_TRUE(SameBits(plain.pixels, ReadImage(Path("linear.exr")).pixels));
    EXPECT_TRUE(SameBits(ReadImage(Path("acescg.exr")).pixels, Converted(plain.pixels, "Linear Rec.709", "ACEScg")));
    EXPECT_TRUE(
        SameBits(ReadImage(Path("rec2020.exr")).pixels, Converted(plain.pixels, "Linear Rec.709", "Linear Rec.2020")));

    struct Expected {
        const char* file;
        const char* space;
        const char* interop;
        float redX, whiteX;
    };
    for (const Expected& e : {Expected{"default.exr", "Linear Rec.709", "lin_rec709_scene", 0.64f, 0.3127f},
                              Expected{"acescg.exr", "ACEScg", "lin_ap1_scene", 0.713f, 0.32168f},
                              Expected{"rec2020.exr", "Linear Rec.2020", "lin_rec2020_scene", 0.708f, 0.3127f}}) {
        SCOPED_TRACE(e.file);
        const Image image = ReadImage(Path(e.file));
        EXPECT_EQ(image.texts.at("nocturnia/colorSpace"), e.space);
        EXPECT_EQ(image.texts.at("colorInteropID"), e.interop);
        ASSERT_EQ(image.chromaticities.size(), 8u);
        EXPECT_EQ(image.chromaticities[0], e.redX);
        EXPECT_EQ(image.chromaticities[6], e.whiteX);
        EXPECT_EQ(image.framesPerSecond, std::make_pair(30000, 1001u));
    }
}

TEST_F(ColorManagement, NamesAreCheckedAgainstTheConfigAndTheFormat)
{
    const ProgramRun unknown = Render("x.exr", {"--colorspace", "ACEScc"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("no colour space ACEScc"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("ACEScg, ACES2065-1"), std::string::npos) << unknown.err;
    EXPECT_EQ(Render("x.png", {"--colorspace", "ACEScg"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(Path("x.exr")));
    const ProgramRun missing = Run({"--ocio", "nowhere.ocio", "colorspaces"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("nowhere.ocio"), std::string::npos);
    const ProgramRun listing = Run({"colorspaces"});
    ASSERT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find("Linear Rec.709  (also lin_rec709_scene)  [the shader's space]"), std::string::npos)
        << listing.out;
    EXPECT_NE(listing.out.find("sRGB [default]: Un-tone-mapped [default], ACES 1.0 - SDR Video"), std::string::npos);
}

// A studio's config: its own names for the spaces, found by the interop
// identifiers among their aliases, or by a working space named outright.
const char* kStudioConfig = R"(ocio_profile_version: 2.1
roles:
  scene_linear: studio linear
  default: studio linear
file_rules:
  - !<Rule> {name: Default, colorspace: default}
displays:
  monitor:
    - !<View> {name: plain, colorspace: studio linear}
colorspaces:
  - !<ColorSpace>
    name: studio linear
    aliases: [%s]
  - !<ColorSpace>
    name: wide gamut
    aliases: [lin_rec2020_scene]
    to_reference: !<MatrixTransform> {matrix: [1.66049100211, -0.587641138789, -0.0728498633199, 0, -0.124550474522, 1.13289989713, -0.00834942260437, 0, -0.0181507633549, -0.100578898008, 1.11872966136, 0, 0, 0, 0, 1]}
)";

TEST_F(ColorManagement, AStudioConfigInTheEnvironmentIsHonoured)
{
    char text[2048];
    std::snprintf(text, sizeof text, kStudioConfig, "lin_rec709_scene");
    WriteFile(Path("studio.ocio"), text);
    std::snprintf(text, sizeof text, kStudioConfig, "shader_linear");
    WriteFile(Path("unmarked.ocio"), text);
    const std::string studio = "OCIO=" + Path("studio.ocio").string();
    const std::string unmarked = "OCIO=" + Path("unmarked.ocio").string();

    ASSERT_EQ(Render("wide.exr", {"--colorspace", "wide gamut"}, {studio}).status, 0);
    ASSERT_EQ(Render("ours.exr", {"--colorspace", "Linear Rec.2020"}).status, 0);
    const Image wide = ReadImage(Path("wide.exr"));
    EXPECT_EQ(wide.texts.at("nocturnia/colorSpace"), "wide gamut");
    EXPECT_EQ(wide.texts.at("colorInteropID"), "lin_rec2020_scene");
    EXPECT_EQ(wide.chromaticities, ReadImage(Path("ours.exr")).chromaticities);

    const ProgramRun unknown = Render("x.exr", {"--colorspace", "ACEScg"}, {studio});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("(it has studio linear, wide gamut)"), std::string::npos) << unknown.err;

    // Without the identifier, the scene_linear role is taken, with a warning,
    // unless --working-space names the space.
    const ProgramRun guessed =
        Run({"render", "sky.json", "-o", "guess.exr", "--width", "8", "--height", "8"}, {unmarked});
    ASSERT_EQ(guessed.status, 0) << guessed.err;
    EXPECT_NE(guessed.err.find("warning: the colour config"), std::string::npos) << guessed.err;
    EXPECT_EQ(ReadImage(Path("guess.exr")).texts["nocturnia/colorSpace"], "studio linear");
    const ProgramRun named = Run(
        {"--working-space", "shader_linear", "render", "sky.json", "-o", "named.exr", "--width", "8", "--height", "8"},
        {unmarked});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.err.find("warning"), std::string::npos) << named.err;
    EXPECT_EQ(Run({"--working-space", "nothing", "colorspaces"}, {unmarked}).status, 2);
}

TEST_F(ColorManagement, AssembleKeepsTheTagsAndRefusesMixedSpaces)
{
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(
            Render("cg" + std::to_string(i) + ".exr", {"--colorspace", "ACEScg", "--tile", std::to_string(i) + "/2"})
                .status,
            0);
    }
    ASSERT_EQ(Render("lin1.exr", {"--tile", "1/2"}).status, 0);
    ASSERT_EQ(Run({"assemble", "cg0.exr", "cg1.exr", "-o", "cg.exr", "--quiet"}).status, 0);
    ASSERT_EQ(Render("whole.exr", {"--colorspace", "ACEScg"}).status, 0);
    const Image assembled = ReadImage(Path("cg.exr"));
    const Image whole = ReadImage(Path("whole.exr"));
    EXPECT_TRUE(SameBits(assembled.pixels, whole.pixels));
    for (const char* key : {"nocturnia/colorSpace", "colorInteropID"}) {
        EXPECT_EQ(assembled.texts.at(key), whole.texts.at(key)) << key;
    }
    EXPECT_EQ(assembled.chromaticities, whole.chromaticities);
    EXPECT_EQ(assembled.framesPerSecond, whole.framesPerSecond);

    const ProgramRun mixed = Run({"assemble", "cg0.exr", "lin1.exr", "-o", "mixed.exr"});
    EXPECT_EQ(mixed.status, 3);
    EXPECT_NE(mixed.err.find("colour space"), std::string::npos) << mixed.err;
    EXPECT_FALSE(std::filesystem::exists(Path("mixed.exr")));
}

// OpenColorIO's encoding of linear Rec.709 `pixels` for a display's view.
std::vector<float> ForDisplay(std::vector<float> pixels, const char* display, const char* view)
{
    const std::string config = (ProgramFolder() / "nocturnia.ocio").string();
    OCIO::DisplayViewTransformRcPtr transform = OCIO::DisplayViewTransform::Create();
    transform->setSrc("Linear Rec.709");
    transform->setDisplay(display);
    transform->setView(view);
    OCIO::ConstCPUProcessorRcPtr processor =
        OCIO::Config::CreateFromFile(config.c_str())
            ->getProcessor(transform)
            ->getOptimizedCPUProcessor(OCIO::BIT_DEPTH_F32, OCIO::BIT_DEPTH_F32, OCIO::OPTIMIZATION_LOSSLESS);
    OCIO::PackedImageDesc image(pixels.data(), static_cast<long>(pixels.size() / 3), 1, 3);
    processor->apply(image);
    return pixels;
}

TEST(ColorTransform, RowsWithRunsOfOneColourGetTheWholeRowsConversion)
{
    // Runs of every length up to 20, at the row's start and end, single
    // pixels between them, and zeros of both signs (equal values, other bits).
    std::vector<float> row;
    std::uint32_t state = 12345;
    for (int length = 1; length <= 20; ++length) {
        state = state * 1664525u + 1013904223u;
        const float value = static_cast<float>(state >> 8) / 16777216.0f;
        for (int i = 0; i < length; ++i) {
            row.insert(row.end(), {value, value * 0.5f, 1.5f * value});
        }
        row.insert(row.end(), {length % 2 == 0 ? -0.0f : 0.0f, 0.0f, 0.0f});
    }
    row.insert(row.end(), 3 * 9, 0.25f);
    nocturnia::cli::ColorConfigChoice choice;
    choice.file = (ProgramFolder() / "nocturnia.ocio").string();
    const nocturnia::cli::ColorConfig config = nocturnia::cli::ColorConfig::Load(choice);
    for (const char* view : {"Un-tone-mapped", "ACES 1.0 - SDR Video"}) {
        std::vector<float> converted = row;
        config.ToDisplay("Linear Rec.709", "sRGB", view).Apply(converted.data(), converted.size() / 3);
        EXPECT_TRUE(SameBits(converted, ForDisplay(row, "sRGB", view))) << view;
    }
    std::vector<float> converted = row;
    config.ToSpace("ACEScg").Apply(converted.data(), converted.size() / 3);
    EXPECT_TRUE(SameBits(converted, Converted(row, "Linear Rec.709", "ACEScg")));
}

TEST_F(ColorManagement, PngsAreEncodedForTheirDisplayAndSaySo)
{
    // A plain PNG is the config's default display and view, through the
    // same OpenColorIO path as when they are named: the same codes and chunks.
    ASSERT_EQ(Render("plain.png").status, 0);
    ASSERT_EQ(Render("named.png", {"--display", "sRGB", "--view", "Un-tone-mapped"}).status, 0);
    const Image plain = ReadImage(Path("plain.png"));
    const Image named = ReadImage(Path("named.png"));
    EXPECT_EQ(plain.bytes, named.bytes);
    EXPECT_EQ(plain.colorChunks, named.colorChunks);

    struct Expected {
        const char* display;
        const char* view;
        std::set<std::string> chunks;
    };
    ASSERT_EQ(Render("linear.exr").status, 0);
    const Image linear = ReadImage(Path("linear.exr"));
    for (const Expected& e :
         {Expected{"sRGB", "Un-tone-mapped", {"sRGB", "gAMA", "cHRM"}},
          Expected{"Rec.1886", "Un-tone-mapped", {"gAMA", "cHRM"}}, Expected{"Display P3", "Un-tone-mapped", {"iCCP"}},
          Expected{"sRGB", "ACES 1.0 - SDR Video", {"sRGB", "gAMA", "cHRM"}}}) {
        SCOPED_TRACE(std::string(e.display) + " / " + e.view);
        ASSERT_EQ(Render("d.png", {"--display", e.display, "--view", e.view}).status, 0);
        const Image png = ReadImage(Path("d.png"));
        EXPECT_EQ(png.colorChunks, e.chunks);
        if (std::string(e.display) == "Rec.1886") {
            EXPECT_NEAR(png.pngGamma, 1 / 2.4, 1e-5);
        }
        // OpenColorIO's floats, then the program's own dither and rounding.
        const std::vector<float> encoded = ForDisplay(linear.pixels, e.display, e.view);
        ASSERT_EQ(png.bytes.size(), encoded.size());
        std::size_t differing = 0;
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            const int pixel = static_cast<int>(i / 3);
            differing += png.bytes[i] !=
                         nocturnia::cli::DitheredByte(encoded[i], pixel % 40, pixel / 40, static_cast<int>(i % 3));
        }
        EXPECT_EQ(differing, 0u);
    }
    // 16 bits: OpenColorIO's floats rounded, without dither.
    ASSERT_EQ(Render("deep.png", {"--depth", "16"}).status, 0);
    const Image deep = ReadImage(Path("deep.png"));
    const std::vector<float> encoded = ForDisplay(linear.pixels, "sRGB", "Un-tone-mapped");
    ASSERT_EQ(deep.words.size(), encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        ASSERT_EQ(deep.words[i], nocturnia::cli::EncodedWord(encoded[i])) << i;
    }
    const ProgramRun unknown = Render("d.png", {"--display", "Rec.1886", "--view", "Filmic"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("(it has Un-tone-mapped, ACES 1.0 - SDR Video)"), std::string::npos) << unknown.err;
    EXPECT_EQ(Render("d.exr", {"--display", "sRGB"}).status, 2);
}

TEST_F(ColorManagement, AssembledPngsAreEncodedFromTheTilesSpace)
{
    for (int i = 0; i < 2; ++i) {
        const std::string tile = std::to_string(i) + "/2";
        ASSERT_EQ(Render("cg" + std::to_string(i) + ".exr", {"--colorspace", "ACEScg", "--tile", tile}).status, 0);
    }
    ASSERT_EQ(Run({"assemble", "cg0.exr", "cg1.exr", "-o", "p3.png", "--display", "Display P3", "--quiet"}).status, 0);
    ASSERT_EQ(Render("p3-whole.png", {"--display", "Display P3"}).status, 0);
    const Image assembled = ReadImage(Path("p3.png"));
    const Image whole = ReadImage(Path("p3-whole.png"));
    EXPECT_EQ(assembled.colorChunks, std::set<std::string>{"iCCP"});
    ASSERT_EQ(assembled.bytes.size(), whole.bytes.size());
    // Through ACEScg and back: the same picture, up to float rounding that
    // may move a dithered code by one.
    int worst = 0;
    for (std::size_t i = 0; i < whole.bytes.size(); ++i) {
        worst = std::max(worst, std::abs(int(assembled.bytes[i]) - int(whole.bytes[i])));
    }
    EXPECT_LE(worst, 1);
}

}  // namespace
}  // namespace nocturnia_test

#endif
