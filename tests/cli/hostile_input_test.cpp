// Input as an attacker would give it: file names that try to run commands
// from generated job scripts, numbers near 2^63, tiles that claim gigabytes
// or never end, outputs over inputs, names that are not UTF-8, renders
// larger than the memory there is. Each run must refuse with one line and
// the exit status of its kind, run nothing it was not asked to, and touch no
// file it was not given as an output.
#include "image/image_file.h"

#include "image_reading.h"
#include "program_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#ifdef NOCTURNIA_HAVE_IMAGE_LIBRARIES

namespace nocturnia_test {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // a sanitizer maps terabytes: no address-space limit holds
#else
constexpr bool kSanitized = false;
#endif

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Run({"new", "-o", "sky.json"}).status, 0); }

    ProgramRun Run(const std::vector<std::string>& arguments, const ProcessLimits& limits = {})
    {
        return RunNocturnia(folder_.Path(), arguments, "", {}, limits);
    }

    // One error line of the given status that holds `needle`.
    static void ExpectRefused(const ProgramRun& run, int status, const std::string& needle)
    {
        EXPECT_EQ(run.status, status) << run.err;
        ASSERT_EQ(run.ErrLines().size(), 1u) << run.err;
        EXPECT_NE(run.err.find("nocturnia: error: "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(needle), std::string::npos) << "expected \"" << needle << "\" in " << run.err;
    }

    bool Exists(const std::string& name) const { return fs::exists(folder_ / name); }

    TempFolder folder_;
};

// Whether anything under `folder` is called `name`.
bool HoldsEntryNamed(const fs::path& folder, const std::string& name)
{
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().filename() == name) {
            return true;
        }
    }
    return false;
}

// The calls a stand-in program recorded: each argument ended by a zero
// byte, each call by the word "--call-ends".
std::vector<std::vector<std::string>> RecordedCalls(const fs::path& log)
{
    std::vector<std::vector<std::string>> calls(1);
    const std::string bytes = ReadFile(log);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find('\0', at);
        const std::string argument = bytes.substr(at, end - at);
        at = end + 1;
        if (argument == "--call-ends") {
            calls.emplace_back();
        } else {
            calls.back().push_back(argument);
        }
    }
    calls.pop_back();
    return calls;
}

std::string ValueAfter(const std::vector<std::string>& call, const std::string& option)
{
    for (std::size_t i = 0; i + 1 < call.size(); ++i) {
        if (call[i] == option) {
            return call[i + 1];
        }
    }
    return "";
}

void MakeExecutable(const fs::path& path, const std::string& text)
{
    WriteFile(path, text);
    fs::permissions(path, fs::perms::owner_all);
}

TEST_F(HostileInput, JobScriptsRunNothingAFileNameHolds)
{
    // Stand-ins: a program that records what it is asked, an sbatch that
    // runs every task of the script's array (with the script's arguments),
    // an srun that runs its command.
    const fs::path bin = folder_ / "bin";
    fs::create_directory(bin);
    const fs::path log = folder_ / "calls.bin";
    MakeExecutable(folder_ / "fake-nocturnia",
                   "#!/bin/sh\nfor a in \"$@\" --call-ends; do printf '%s\\0' \"$a\"; done >> '" + log.string() +
                       "'\n");
    MakeExecutable(bin / "sbatch", "#!/bin/bash\nwhile [[ $1 == --* ]]; do shift; done\nscript=$1; shift\n"
                                   "last=$(sed -n 's/^#SBATCH --array=0-\\([0-9]*\\)$/\\1/p' \"$script\")\n"
                                   "for ((t = 0; t <= ${last:-0}; t++)); do\n"
                                   "    SLURM_ARRAY_TASK_ID=$t bash \"$script\" \"$@\" >/dev/null || exit 1\n"
                                   "done\necho 7\n");
    MakeExecutable(bin / "srun", "#!/bin/sh\nexec \"$@\"\n");

    const std::string pattern = "out/$(touch pwned)`touch pwned`;'\"\\t%\xff\n/sky.####.exr";
    const std::vector<std::string> names = {
        "x\ntouch pwned\n#.json", "it's.json",   "say \"hi\".json",        "$(touch pwned).json", "`touch pwned`.json",
        "a;touch pwned;b.json",   "100%d%.json", "back\\slash\\n\\t.json", "bytes-\xff\xfe.json"};
    const std::string sky = ReadFile(folder_ / "sky.json");
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE("document " + std::to_string(i));
        fs::remove(folder_ / "pwned");
        WriteFile(folder_ / names[i], sky);
        const std::string job = "job" + std::to_string(i);
        std::vector<std::string> farm = {"farm",      "slurm",     names[i],
                                         "--frames",  "1-2",       "-o",
                                         pattern,     "--program", (folder_ / "fake-nocturnia").string(),
                                         "--job-dir", job};
        if (i + 1 < names.size()) {
            farm.insert(farm.end(), {"--tiles", "2", "--width", "8", "--height", "8"});
        }
        ASSERT_EQ(Run(farm).status, 0) << Run(farm).err;
        fs::remove(log);
        const std::string submit = "cd '" + folder_.Path().string() + "' && PATH='" + bin.string() + "':\"$PATH\" sh " +
                                   job + "/submit.sh >/dev/null 2>&1";
        EXPECT_EQ(std::system(submit.c_str()), 0);
        EXPECT_FALSE(HoldsEntryNamed(folder_.Path(), "pwned"));

        // Each script ran the program with the document's copy and the
        // pattern exactly as given: every byte of them one argument.
        const std::vector<std::vector<std::string>> calls = RecordedCalls(log);
        const fs::path copy = folder_ / job / names[i];
        const std::string frames = (folder_ / pattern).parent_path().string() + "/sky.";
        ASSERT_EQ(calls.size(), i + 1 < names.size() ? 6u : 2u);
        for (const std::vector<std::string>& call : calls) {
            if (call.at(2) == "render") {
                EXPECT_EQ(call.at(3), copy.string());
            } else {
                const std::string output = ValueAfter(call, "-o");
                EXPECT_TRUE(output == frames + "0001.exr" || output == frames + "0002.exr") << output;
            }
        }
        for (const std::vector<std::string>& call : i + 1 == names.size() ? calls : decltype(calls){}) {
            EXPECT_EQ(ValueAfter(call, "-o"), (folder_ / pattern).string());
        }
    }
}

TEST_F(HostileInput, FarmRefusesWhatEveryTaskWouldRefuse)
{
    const struct {
        std::vector<std::string> options;
        std::string message;
    } refused[] = {
        {{"--width", "32768", "--height", "32768"}, "the image is too large"},
        {{"-o", "sky." + std::string(33, '#') + ".exr"}, "wider than 32 digits"},
        {{"-o", "sky.%099d.exr"}, "wider than 32 digits"},
        {{"--tiles", "4093"}, "cannot be split into"},
    };
    for (const auto& job : refused) {
        SCOPED_TRACE(job.message);
        std::vector<std::string> farm = {"farm", "slurm", "sky.json", "--frames", "1-2", "--job-dir", "job"};
        ASSERT_FALSE(Exists("job"));
        if (job.options.front() != "-o") {
            farm.insert(farm.end(), {"-o", "sky.####.exr"});
        }
        farm.insert(farm.end(), job.options.begin(), job.options.end());
        ExpectRefused(Run(farm), 2, job.message);
        EXPECT_FALSE(Exists("job"));
        fs::remove_all(folder_ / "job");
    }
    // Any list render takes, within the frames' range.
    for (const auto& [frames, message] :
         {std::pair<std::string, std::string>{"1-20000000x9999999", "frames run from 0 to 9999999"},
          {"1-3x", "cannot read the frames \"1-3x\""}}) {
        SCOPED_TRACE(frames);
        ExpectRefused(Run({"farm", "slurm", "sky.json", "--frames", frames, "-o", "sky.####.exr", "--job-dir", "job"}),
                      2, message);
        EXPECT_FALSE(Exists("job"));
    }
    // A frame folder whose name looks like a pattern is the same folder for
    // every frame, and is made with the job.
    ASSERT_EQ(
        Run({"farm", "slurm", "sky.json", "--frames", "1-2", "-o", "out%x#/sky.####.exr", "--job-dir", "job"}).status,
        0);
    EXPECT_TRUE(fs::is_directory(folder_ / "out%x#"));
}

TEST_F(HostileInput, NumbersNear2To63DoNotWrap)
{
    const std::vector<std::string> render = {"render", "sky.json",  "--width", "8",      "--height",
                                             "8",      "--samples", "1",       "--quiet"};
    const auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), render.begin(), render.end());
        return more;
    };
    ExpectRefused(Run(with({"-o", "r.exr", "--region", "9223372036854775807,0,2,2"})), 2, "does not lie inside");
    ExpectRefused(Run(with({"-o", "r.exr", "--region", "1,1,9223372036854775807,9223372036854775807"})), 2,
                  "does not lie inside");
    EXPECT_FALSE(Exists("r.exr"));
    // A step past the range renders its first frame only.
    ASSERT_EQ(Run(with({"-o", "f.####.png", "--frames", "1-3x9223372036854775807"})).status, 0);
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
        if (entry.path().filename().string().rfind("f.", 0) == 0) written.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(written, std::vector<std::string>{"f.0001.png"});
}

TEST_F(HostileInput, OutputsAreCheckedBeforeTheFirstSampleAndNeverReplaceAnInput)
{
    const std::string sky = ReadFile(folder_ / "sky.json");
    const std::vector<std::string> small = {"--width", "8", "--height", "8", "--samples", "1"};
    const auto render = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"render", "sky.json"});
        more.insert(more.end(), small.begin(), small.end());
        return Run(more);
    };
    fs::create_hard_link(folder_ / "sky.json", folder_ / "linked.json");
    WriteFile(folder_ / "sky.png", sky);  // a document named like an image
    ExpectRefused(render({"-o", "a.png", "--report", "sky.json"}), 2,
                  "the report sky.json is the same file as the "
                  "document sky.json");
    ExpectRefused(render({"-o", "a.png", "--report", "linked.json"}), 2, "the document sky.json");
    ExpectRefused(render({"-o", "x.png", "--report", "x.png"}), 2, "the same file as the report x.png");
    ExpectRefused(Run({"render", "sky.png", "-o", "sky.png", "--width", "8", "--height", "8"}), 2,
                  "the image sky.png is the same file as the document sky.png");
    ExpectRefused(Run({"assemble", "t.exr", "-o", "./t.exr"}), 2, "the same file as the tile t.exr");
    // A report that cannot be written fails before anything is rendered.
    const ProgramRun late = render({"-o", "a.png", "--report", "sky.json/report.json"});
    ExpectRefused(late, 4, "sky.json is not a folder");
    EXPECT_FALSE(Exists("a.png"));
    EXPECT_EQ(ReadFile(folder_ / "sky.json"), sky);
    EXPECT_EQ(ReadFile(folder_ / "sky.png"), sky);

    // Missing folders of every output are made, for renders and assemblies.
    ASSERT_EQ(
        render({"-o", "new/deep/sky.####.exr", "--frames", "1-2", "--report", "reports/r.json", "--quiet"}).status, 0);
    EXPECT_TRUE(Exists("new/deep/sky.0001.exr") && Exists("new/deep/sky.0002.exr") && Exists("reports/r.json"));
    ASSERT_EQ(Run({"assemble", "new/deep/sky.0001.exr", "-o", "made/here/full.png", "--quiet"}).status, 0);
    EXPECT_TRUE(Exists("made/here/full.png"));
}

// An EXR header of a 1 x 1 float RGB picture, whose last attribute is
// `extra` of `type`, claiming `claimed` bytes, with `value`.
std::string ExrHeaderWith(const std::string& extra, const std::string& type, std::int32_t claimed,
                          const std::string& value)
{
    const auto int32 = [](std::int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    const auto attribute = [&](const std::string& name, const std::string& typeName, const std::string& data) {
        return name + '\0' + typeName + '\0' + int32(static_cast<std::int32_t>(data.size())) + data;
    };
    std::string channels;
    for (const char* name : {"B", "G", "R"}) {
        channels += std::string(name) + '\0' + int32(2) + std::string(4, '\0') + int32(1) + int32(1);
    }
    channels += '\0';
    const std::string one = int32(0) + int32(0) + int32(0) + int32(0);
    const float unit = 1.0f;
    const std::string unitBytes(reinterpret_cast<const char*>(&unit), 4);
    return std::string("\x76\x2f\x31\x01\x02\0\0\0", 8) + attribute("channels", "chlist", channels) +
           attribute("compression", "compression", std::string(1, '\0')) + attribute("dataWindow", "box2i", one) +
           attribute("displayWindow", "box2i", one) + attribute("lineOrder", "lineOrder", std::string(1, '\0')) +
           attribute("pixelAspectRatio", "float", unitBytes) +
           attribute("screenWindowCenter", "v2f", std::string(8, '\0')) +
           attribute("screenWindowWidth", "float", unitBytes) + extra + '\0' + type + '\0' + int32(claimed) + value;
}

// A tile of constant colour: `window` of a width x height picture.
void WriteTile(const fs::path& path, int width, int height, const nocturnia::cli::PixelRegion& window)
{
    nocturnia::cli::ImageBuffer image;
    image.width = window.width;
    image.height = window.height;
    image.rgb.assign(static_cast<std::size_t>(window.PixelCount()) * 3, 0.25f);
    nocturnia::cli::ImageWriteSettings settings;
    settings.displayWidth = width;
    settings.displayHeight = height;
    settings.window = window;
    nocturnia::cli::WriteImage(path, image, settings);
}

TEST_F(HostileInput, AssembleReadsEveryHeaderFirstAndWithinBounds)
{
    // Claims refused before anything is allocated, a FIFO without waiting.
    WriteFile(folder_ / "claims.exr", ExrHeaderWith("comment", "string", 2147483647, "x"));
    ::mkfifo((folder_ / "fifo.exr").c_str(), 0644);
    const ProcessLimits bounded{kSanitized ? std::nullopt : std::optional<long long>(1 << 20), 30};
    ExpectRefused(Run({"assemble", "claims.exr", "-o", "out.exr"}, bounded), 3, "claims 2147483647 bytes");
    // Found by fuzzing: a channel list that runs past its attribute's size,
    // which the library would read on into the rest of the header.
    WriteFile(folder_ / "overrun.exr",
              ExrHeaderWith("notes", "chlist", 6, std::string("X\0\2\0\0\0\0\0\0\0\1\0\0\0\1\0\0\0", 18)));
    ExpectRefused(Run({"assemble", "overrun.exr", "-o", "out.exr"}, bounded), 3, "notes (chlist) is malformed");
    ExpectRefused(Run({"assemble", "fifo.exr", "-o", "out.exr"}, bounded), 3, "is a pipe (FIFO)");

    // Three names for one large tile: refused as overlapping before any of
    // them is read, in far less memory than one tile's pixels.
    WriteTile(folder_ / "big.exr", 2048, 2048, nocturnia::cli::WholeImage(2048, 2048));
    const ProcessLimits small{kSanitized ? std::nullopt : std::optional<long long>(120 << 10), 60};
    ExpectRefused(Run({"assemble", "big.exr", "./big.exr", "big.exr", "-o", "out.exr"}, small), 3, "overlap");

    // --max-memory bounds the picture.
    WriteTile(folder_ / "top.exr", 512, 256, {0, 0, 512, 128});
    WriteTile(folder_ / "bottom.exr", 512, 256, {0, 128, 512, 128});
    ExpectRefused(Run({"--max-memory", "1M", "assemble", "top.exr", "bottom.exr", "-o", "out.exr"}), 1,
                  "the assembled 512 x 256 picture needs about");
    EXPECT_FALSE(Exists("out.exr"));

    // The longest command line the system passes still makes a tile that
    // assemble reads: its metadata is cut to what a header may hold.
    std::string script = "exec '" + std::string(NOCTURNIA_PROGRAM) +
                         "' render sky.json -o long.exr --tile 0/1 "
                         "--width 8 --height 8 --samples 1 --quiet";
    for (int i = 0; i < 12; ++i) {
        script += " --set 'Gamma=" + std::string(120000, ' ') + "1.2'";
    }
    WriteFile(folder_ / "long.sh", script + "\n");
    ASSERT_EQ(std::system(("cd '" + folder_.Path().string() + "' && sh long.sh").c_str()), 0);
    const std::string line = ReadImage(folder_ / "long.exr").texts.at("nocturnia/commandLine");
    EXPECT_LE(line.size(), 64u * 1024);
    EXPECT_EQ(line.substr(line.size() - 4), " ...");
    EXPECT_EQ(Run({"assemble", "long.exr", "-o", "out.exr", "--quiet"}).status, 0);
}

TEST_F(HostileInput, PathsThatAreNotUtf8SurviveAsEscapes)
{
    // U+DC80 + byte: ED B3 BF stands for the byte FF, in JSON "\udcff".
    WriteFile(folder_ / "sky-\xff.json", ReadFile(folder_ / "sky.json"));
    const ProgramRun run = Run({"render", "sky-\xff.json", "-o", "img-\xfe.exr", "--width", "8", "--height", "8",
                                "--samples", "1", "--report", "rep-\xfd.json", "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string report = ReadFile(folder_ / "rep-\xfd.json");
    EXPECT_NE(report.find("\"document\": \"sky-\\udcff.json\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"img-\\udcfe.exr\""), std::string::npos) << report;
    EXPECT_EQ(ReadImage(folder_ / "img-\xfe.exr").texts.at("nocturnia/document"), "sky-\xed\xb3\xbf.json");
    ExpectRefused(Run({"describe", "gone-\xfc.json"}), 3, "gone-\xed\xb3\xbc.json");
}

TEST_F(HostileInput, RendersLargerThanTheMemoryAreRefusedWithTheEstimate)
{
    if (kSanitized) {
        GTEST_SKIP() << "a sanitizer build cannot run in a bounded address space";
    }
    const ProgramRun run =
        Run({"render", "sky.json", "-o", "big.exr", "--width", "8192", "--height", "8192", "--samples", "1"},
            {700 << 10, 120});
    ExpectRefused(run, 1, "the render of 8192 x 8192 pixels needs about");
    EXPECT_FALSE(Exists("big.exr"));
}

}  // namespace
}  // namespace nocturnia_test

#endif
