// Animation end to end: frame lists and output names as farm tools write
// them, keys set with `edit`, and numbered sequences whose every frame is the
// one-frame render of that frame.
#include "program_runner.h"

#include "text/frame_naming.h"
#include "text/frame_range.h"
#include "text/user_error.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES
#include "image_reading.h"
#endif

namespace nocturnia_test {
namespace {

using Json = nlohmann::ordered_json;

TEST(FrameRangesAndNames, ReadAsFarmToolsWriteThem)
{
    struct ListCase {
        std::string text;
        std::vector<int> frames;  // empty: refused
    };
    const std::vector<ListCase> lists = {
        {"7", {7}},
        {"1-4", {1, 2, 3, 4}},
        {"1-10x4", {1, 5, 9}},
        {"1,5,10-12", {1, 5, 10, 11, 12}},
        {"10-12,11,3", {10, 11, 12, 3}},  // the order given; a frame named twice once
        {"-2-1", {-2, -1, 0, 1}},
        {"5-1", {}},
        {"1-5x0", {}},
        {"1,,2", {}},
        {"1,", {}},
        {"one", {}},
        {"1-", {}},
        {"3x2", {}},
        {"1-3000000000", {}},
        {"0-2000000", {}},  // more frames than any sequence needs
    };
    for (const ListCase& c : lists) {
        if (c.frames.empty()) {
            EXPECT_THROW(nocturnia::cli::ParseFrameList(c.text), nocturnia::cli::UserError) << c.text;
        } else {
            EXPECT_EQ(nocturnia::cli::ParseFrameList(c.text), c.frames) << c.text;
        }
    }

    struct NameCase {
        std::string output;
        bool several;
        int frame;
        std::string name;  // empty: refused
    };
    const std::vector<NameCase> names = {
        {"sky.####.exr", true, 12, "sky.0012.exr"},
        {"sky.#.exr", true, 12, "sky.12.exr"},
        {"out/sky_%04d.png", true, 7, "out/sky_0007.png"},
        {"sky.%d.png", false, 7, "sky.7.png"},
        {"sky.exr", true, 3, "sky.0003.exr"},
        {"sky.exr", false, 3, "sky.exr"},
        {"shot#1/sky.exr", true, 3, "shot#1/sky.0003.exr"},  // a folder's '#' is no pattern
        {"sky.###.%02d.exr", true, 1, ""},
        {"sky.-##.exr", true, -3, "sky.--3.exr"},
    };
    for (const NameCase& c : names) {
        if (c.name.empty()) {
            EXPECT_THROW(nocturnia::cli::FrameNaming(c.output, c.several), nocturnia::cli::UserError) << c.output;
        } else {
            EXPECT_EQ(nocturnia::cli::FrameNaming(c.output, c.several).NameOf(c.frame), c.name) << c.output;
        }
    }
}

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

class FrameSequence : public ::testing::Test {
protected:
    ProgramRun Run(const std::vector<std::string>& arguments) { return RunNocturnia(folder_.Path(), arguments); }
    Json Load(const std::string& name) { return Json::parse(ReadFile(folder_ / name)); }
    std::vector<float> Pixels(const std::string& name) { return ReadImage(folder_ / name).pixels; }
    bool Exists(const std::string& name) { return std::filesystem::exists(folder_ / name); }

    TempFolder folder_;
};

TEST_F(FrameSequence, KeysAnimateEveryCommandAndEachFrameIsItsOwnRender)
{
    const std::string x = "Star Layer 1/Star X Position";
    ASSERT_EQ(Run({"new", "-o", "anim.json"}).status, 0);
    const ProgramRun keyed = Run({"edit", "anim.json", "--press", "Add Layer", "--set", "Star Layer 1/Mode=Single Star",
                                  "--key", x + "@1=-0.3:smooth", "--key", x + "@3=0.3", "--key", "Hue Shift@1=0",
                                  "--key", "Hue Shift@3=2", "--key", "Hue Shift@9=5"});
    ASSERT_EQ(keyed.status, 0) << keyed.err;
    const ProgramRun unkeyed = Run({"edit", "anim.json", "--unkey", "Hue Shift@9"});
    ASSERT_EQ(unkeyed.status, 0) << unkeyed.err;
    EXPECT_NE(Run({"edit", "anim.json", "--unkey", "Hue Shift@9"}).err.find("no key at frame 9"), std::string::npos);
    EXPECT_NE(Run({"edit", "anim.json", "--key", "Background@1={\"knots\": []}"}).err.find("not animated"),
              std::string::npos);
    const ProgramRun set = Run({"edit", "anim.json", "--set", "Hue Shift=0.5"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_NE(set.err.find("the track decides it at render time"), std::string::npos) << set.err;

    // describe --frame: the smooth key's ease at frame 2, halfway.
    const ProgramRun described = Run({"describe", "anim.json", "--json", "--frame", "2"});
    ASSERT_EQ(described.status, 0) << described.err;
    const double s = 0.5;
    const double eased = -0.3 + (0.3 - -0.3) * (s * s) * (3.0 - 2.0 * s);
    int seen = 0;
    for (const Json& entry : Json::parse(described.out)) {
        if (entry["name"] == "Hue Shift" && entry["id"] == 20205) {
            EXPECT_EQ(entry["value"]["real"].get<double>(), 1.0);
            ++seen;
        } else if (entry["name"] == "Star X Position" && entry["id"] == 30063) {
            EXPECT_EQ(entry["value"]["real"].get<double>(), eased);
            ++seen;
        }
    }
    EXPECT_EQ(seen, 2) << described.out;

    // Three frames, numbered as asked, each the one-frame render of its frame.
    const std::vector<std::string> size = {"--width", "48", "--height", "32", "--samples", "1"};
    auto render = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"render", "anim.json"});
        arguments.insert(arguments.end(), size.begin(), size.end());
        return Run(arguments);
    };
    const ProgramRun sequence = render({"--frames", "1-3", "-o", "sky.####.exr", "--report", "report.json"});
    ASSERT_EQ(sequence.status, 0) << sequence.err;
    EXPECT_NE(sequence.err.find("frame 3/3  100%  eta 00:00:00"), std::string::npos) << sequence.err;
    const ProgramRun single = render({"--frame", "2", "-o", "two.exr"});
    ASSERT_EQ(single.status, 0) << single.err;
    EXPECT_EQ(Pixels("sky.0002.exr"), Pixels("two.exr"));
    EXPECT_NE(Pixels("sky.0001.exr"), Pixels("two.exr"));
    EXPECT_NE(Pixels("sky.0003.exr"), Pixels("two.exr"));
    // sample --frame: at the pixel where frames 1 and 2 differ most, each
    // frame's sample is that frame's pixel (one sample per pixel).
    const Image first = ReadImage(folder_ / "sky.0001.exr");
    const Image second = ReadImage(folder_ / "sky.0002.exr");
    std::size_t most = 0;
    for (std::size_t i = 0; i < first.pixels.size(); ++i) {
        if (std::abs(first.pixels[i] - second.pixels[i]) > std::abs(first.pixels[most] - second.pixels[most])) {
            most = i;
        }
    }
    const int pixel = static_cast<int>(most / 3);
    auto exact = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", v);
        return std::string(text);
    };
    const std::string at = exact((pixel % 48 + 0.5) / 48) + "," + exact((pixel / 48 + 0.5) / 32);
    for (const Image* image : {&first, &second}) {
        const std::string frame = image == &first ? "1" : "2";
        const ProgramRun sampled = Run({"sample", "anim.json", "--frame", frame, "--at", at});
        ASSERT_EQ(sampled.status, 0) << sampled.err;
        EXPECT_EQ(static_cast<float>(std::stod(sampled.out.substr(0, sampled.out.find(' ')))),
                  image->pixels[most - most % 3])
            << "frame " << frame << " at " << at;
    }

    const Json report = Load("report.json");
    EXPECT_EQ(report["status"], "complete");
    EXPECT_EQ(report["files_written"], Json::parse(R"(["sky.0001.exr", "sky.0002.exr", "sky.0003.exr"])"));
    EXPECT_EQ(report["frames"][1]["samples"], 48 * 32);
    EXPECT_GT(report["samples_per_second"].get<double>(), 0.0);

    // --skip-existing leaves alone only a file that is this render's image:
    // frame 3 is; frame 1 (cut short), frame 2 (missing) and frame 3 once it
    // holds frame 2, or once the samples change, are rendered again, one
    // console line each saying why.
    const std::string whole = ReadFile(folder_ / "sky.0001.exr");
    const std::vector<float> firstPixels = Pixels("sky.0001.exr");
    WriteFile(folder_ / "sky.0001.exr", whole.substr(0, whole.size() / 2));
    std::filesystem::remove(folder_ / "sky.0002.exr");
    const std::vector<std::string> skip = {"--frames",        "1-3",      "-o",         "sky.####.exr",
                                           "--skip-existing", "--report", "report.json"};
    const ProgramRun skipping = render(skip);
    ASSERT_EQ(skipping.status, 0) << skipping.err;
    EXPECT_EQ(Pixels("sky.0001.exr"), firstPixels);
    EXPECT_EQ(Pixels("sky.0002.exr"), Pixels("two.exr"));
    EXPECT_EQ(Load("report.json")["files_written"], Json::parse(R"(["sky.0001.exr", "sky.0002.exr"])"));
    EXPECT_NE(skipping.err.find("frame 3: sky.0003.exr is already this render's image, skipped"), std::string::npos)
        << skipping.err;
    std::filesystem::copy_file(folder_ / "two.exr", folder_ / "sky.0003.exr",
                               std::filesystem::copy_options::overwrite_existing);
    const ProgramRun otherFrame = render(skip);
    EXPECT_NE(otherFrame.err.find("frame 3: sky.0003.exr is not this render's image (it is frame 2)"),
              std::string::npos)
        << otherFrame.err;
    std::vector<std::string> moreSamples = {"render", "anim.json", "--width", "48", "--height", "32", "--samples", "2"};
    moreSamples.insert(moreSamples.end(), skip.begin(), skip.end());
    const ProgramRun resampled = Run(moreSamples);
    ASSERT_EQ(resampled.status, 0) << resampled.err;
    EXPECT_NE(resampled.err.find("(its parameters or samples differ"), std::string::npos) << resampled.err;
    EXPECT_EQ(Load("report.json")["frames_skipped"], 0);
    // A PNG alike: its bit depth and metadata are read back from its chunks.
    ASSERT_EQ(render({"--frame", "2", "-o", "two.png"}).status, 0);
    EXPECT_NE(render({"--frame", "2", "-o", "two.png", "--skip-existing"}).err.find("skipped"), std::string::npos);
    EXPECT_NE(render({"--frame", "2", "-o", "two.png", "--skip-existing", "--depth", "16"})
                  .err.find("two.png is not this render's image (it is 8-bit, not 16-bit)"),
              std::string::npos);

    // A frame that fails stops the job, names the frame and keeps the frames
    // before it: here the extra layer count is animated to more layers than
    // parameter IDs can number, at frame 2.
    Json document = Load("anim.json");
    document["material"]["shader"]["tracks"].push_back(
        Json::parse(R"({"id": 20303, "name": "Layers", "keys": [[1, {"int": 1}], [2, {"int": 50000000}]]})"));
    WriteFile(folder_ / "anim.json", document.dump(2));
    const ProgramRun failed = render({"--frames", "1-3", "-o", "fail.%02d.png", "--report", "failed.json"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("error: frame 2: "), std::string::npos) << failed.err;
    EXPECT_TRUE(Exists("fail.01.png"));
    EXPECT_FALSE(Exists("fail.02.png"));
    EXPECT_FALSE(Exists("fail.03.png"));
    EXPECT_EQ(Load("failed.json")["status"], "failed");
    EXPECT_EQ(Load("failed.json")["frames"][1]["status"], "failed");
}
#endif

}  // namespace
}  // namespace nocturnia_test
