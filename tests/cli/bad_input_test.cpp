// Bad input of every kind: one clear line on standard error, a non-zero exit
// status, and no document or image on disk changed.
#include "program_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace nocturnia_test {
namespace {

class BadInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Run({"new", "-o", "sky.json"}).status, 0);
        original_ = ReadFile(folder_ / "sky.json");
        WriteFile(folder_ / "sky.png", "an image the user keeps");
    }

    ProgramRun Run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {})
    {
        return RunNocturnia(folder_.Path(), arguments, "", environment);
    }

    // The run failed as a user error should, mentioning `needle`, and left the
    // files alone.
    void ExpectRefused(const ProgramRun& run, const std::string& needle, int status)
    {
        EXPECT_EQ(run.status, status) << run.err;
        const std::vector<std::string> lines = run.ErrLines();
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind("nocturnia: error: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(needle), std::string::npos) << lines[0];
        EXPECT_EQ(ReadFile(folder_ / "sky.json"), original_);
        EXPECT_EQ(ReadFile(folder_ / "sky.png"), "an image the user keeps");
        // No temporary file left behind.
        for (const auto& file : std::filesystem::directory_iterator(folder_.Path())) {
            EXPECT_EQ(file.path().filename().string().find(".tmp"), std::string::npos) << file.path();
        }
    }

    TempFolder folder_;
    std::string original_;
};

TEST_F(BadInput, UnknownLabelsAndWrongValues)
{
    ExpectRefused(Run({"edit", "sky.json", "--set", "Sparkle=1"}), "unknown parameter \"Sparkle\"", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Gamma=bright"}), "\"Gamma\": expected a number", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Use Layer=maybe"}), "expected true or false", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Mode=Triple Star"}), "\"Single Star\"", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Mode=5"}), "expected one of", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Star Color=1,0"}), "r,g,b", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Seed=150"}), "above the maximum 100", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Gamma"}), "LABEL=VALUE", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Star Layer 1/Density=1"}), "unknown parameter", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "99999=1"}), "no parameter with ID 99999", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Add Layer=1"}), "is a button", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Mask=1"}), "no mask \"1\"", 2);
    ExpectRefused(Run({"edit", "sky.json", "--set", "Background=[1]"}), "\"Background\"", 2);
    ExpectRefused(Run({"edit", "sky.json", "--press", "Gamma"}), "not a button", 2);
    ExpectRefused(Run({"edit", "sky.json", "--press", "Remove Layer"}), "greyed out", 2);
    // A good edit before a bad one is not saved either.
    ExpectRefused(Run({"edit", "sky.json", "--set", "Gamma=2", "--set", "Bogus=1"}), "\"Bogus\"", 2);
    // Render and sample refuse the same edits before writing anything.
    ExpectRefused(Run({"render", "sky.json", "-o", "sky.png", "--width", "4", "--height", "4", "--set", "Bogus=1"}),
                  "\"Bogus\"", 2);
}

TEST_F(BadInput, BrokenDocuments)
{
    WriteFile(folder_ / "broken.json", original_.substr(0, original_.size() / 2));
    const std::string broken = ReadFile(folder_ / "broken.json");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"describe", "broken.json"},
          std::vector<std::string>{"edit", "broken.json", "--set", "Gamma=2"},
          std::vector<std::string>{"sample", "broken.json", "--at", "0.5,0.5"},
          std::vector<std::string>{"render", "broken.json", "-o", "sky.png", "--width", "4", "--height", "4"}}) {
        ExpectRefused(Run(arguments), "broken.json", 3);
        EXPECT_EQ(ReadFile(folder_ / "broken.json"), broken);
    }
    WriteFile(folder_ / "broken.json", R"({"format": "something-else", "version": 1})");
    ExpectRefused(Run({"describe", "broken.json"}), "broken.json", 3);
    WriteFile(folder_ / "broken.json", R"({"format": "nocturnia-document", "version": 1, "material": {"type": 5703,
        "shader": {"type": 1063226, "params": {"5003": {"real": "much"}}}}})");
    ExpectRefused(Run({"edit", "broken.json", "--set", "Gamma=2"}), "broken.json", 3);
    ExpectRefused(Run({"describe", "missing.json"}), "missing.json", 3);
}

TEST_F(BadInput, PluginFolderProblems)
{
    ExpectRefused(Run({"--plugins", "no-such-folder", "describe", "sky.json"}), "no-such-folder", 3);
    ExpectRefused(Run({"describe", "sky.json"}, {"NOCTURNIA_PLUGINS=" + (folder_ / "nowhere").string()}), "nowhere", 3);

    // The library without its resource folder: the plug-in's own complaint
    // joins the one error line.
    std::filesystem::create_directory(folder_ / "bare");
    std::filesystem::copy_file(ProgramFolder() / "nocturnia.so", folder_ / "bare" / "nocturnia.so");
    ExpectRefused(Run({"--plugins", "bare", "edit", "sky.json", "--set", "Gamma=2"}), "bare", 3);
    ExpectRefused(Run({"--quiet", "--plugins", "bare", "describe", "sky.json"}), "bare", 3);
    std::filesystem::remove_all(folder_ / "bare");

    // A library that is not one.
    std::filesystem::create_directory(folder_ / "junk");
    WriteFile(folder_ / "junk" / "nocturnia.so", "not a library");
    ExpectRefused(Run({"--plugins", "junk", "describe", "sky.json"}), "junk", 3);
    std::filesystem::remove_all(folder_ / "junk");
}

TEST_F(BadInput, RenderAndSampleOptions)
{
    ExpectRefused(Run({"render", "sky.json", "-o", "sky.bmp"}), "unknown image format", 2);
    ExpectRefused(Run({"render", "sky.json", "-o", "sky.png", "--width", "0"}), "the width must lie between 1 and", 2);
    ExpectRefused(Run({"render", "sky.json", "-o", "sky.png", "--samples", "-2"}), "samples per pixel side", 2);
    ExpectRefused(Run({"render", "sky.json", "-o", "sky.png", "--threads", "0"}), "thread count", 2);
    ExpectRefused(Run({"render", "sky.json", "-o", "sky.json/sky.png"}), "sky.json is not a folder", 4);
    ExpectRefused(Run({"sample", "sky.json", "--at", "0.5"}), "--at", 2);
    ExpectRefused(Run({"sample", "sky.json"}), "no texture points", 2);
    WriteFile(folder_ / "points.txt", "0 0\n0.5 half\n");
    ExpectRefused(Run({"sample", "sky.json", "--points", "points.txt"}), "points.txt:2", 3);
    std::filesystem::remove(folder_ / "points.txt");
    ExpectRefused(Run({"sample", "sky.json", "--points", "points.txt"}), "points.txt", 3);
}

TEST_F(BadInput, CommandLineMistakes)
{
    ExpectRefused(Run({"edit", "sky.json", "--frobnicate"}), "--frobnicate", 2);
    ExpectRefused(Run({"edit"}), "DOC", 2);
    ExpectRefused(Run({"paint"}), "unknown command \"paint\"", 2);
    ExpectRefused(Run({"--plugins", "x", "paint", "sky.json"}), "unknown command \"paint\"", 2);
    ExpectRefused(Run({"render", "sky.json", "--width", "wide"}), "wide", 2);
}

// Every file in the folder with its content and mode: what a refused command
// must leave exactly as it was.
std::map<std::string, std::string> FolderState(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> state;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        struct stat info {};
        ::lstat(item.path().c_str(), &info);
        std::string content = std::to_string(info.st_mode) + ":";
        if (item.is_regular_file() && !item.is_symlink() && info.st_size < (1 << 20)) {
            content += ReadFile(item.path());
        }
        state[item.path().filename().string()] = content;
    }
    return state;
}

// Hostile and oversized input: one row each, with the exit status and the
// words the one error line starts with.
TEST_F(BadInput, HostileAndHugeInputs)
{
    const std::string sky = original_;
    const auto withLayerCount = [&sky](long long count) {
        nlohmann::ordered_json document = nlohmann::ordered_json::parse(sky);
        document["material"]["shader"]["params"]["20303"] = {{"int", count}};
        return document.dump();
    };
    struct Row {
        const char* what;
        std::function<void(const std::filesystem::path&)> prepare;
        std::vector<std::string> arguments;
        std::string input;  // standard input
        int status;
        std::string errorStart;  // after "nocturnia: error: "
    };
    const std::vector<Row> rows = {
        {"JSON nested 100,000 levels deep",
         [](const auto& f) { WriteFile(f / "deep.json", std::string(100000, '[') + std::string(100000, ']')); },
         {"describe", "deep.json"},
         "",
         3,
         "deep.json: not valid JSON (nested deeper than 256 levels)"},
        {"a device", {}, {"describe", "/dev/zero"}, "", 3, "/dev/zero: is a device, not a regular file"},
        {"a FIFO without a writer",
         [](const auto& f) { ::mkfifo((f / "fifo.json").c_str(), 0644); },
         {"describe", "fifo.json"},
         "",
         3,
         "fifo.json: is a pipe (FIFO), not a regular file"},
        {"a folder",
         [](const auto& f) { std::filesystem::create_directory(f / "folder.json"); },
         {"edit", "folder.json", "--set", "Gamma=2"},
         "",
         3,
         "folder.json: is a folder, not a file"},
        {"a document of more than 256 MB",
         [](const auto& f) {
             WriteFile(f / "huge.json", "{");
             std::filesystem::resize_file(f / "huge.json", (256ull << 20) + 1);  // sparse: costs no disk
         },
         {"describe", "huge.json"},
         "",
         3,
         "huge.json: is too big (257 MB; at most 256 MB are read)"},
        {"a points line of 5000 bytes",
         {},
         {"sample", "sky.json", "--points", "-"},
         "0 0\n" + std::string(5000, '1') + "\n",
         3,
         "standard input:2: line longer than 4096 bytes"},
        {"layer IDs past 32 bits",
         [&](const auto& f) { WriteFile(f / "layers.json", withLayerCount(2147483647)); },
         {"sample", "layers.json", "--at", "0.5,0.5"},
         "",
         3,
         "material.shader.params.20303: 2147483647 extra layers are more than the 42949071"},
        {"a million layers beyond --max-memory",
         [&](const auto& f) { WriteFile(f / "layers.json", withLayerCount(1000000)); },
         {"--max-memory", "100M", "describe", "layers.json"},
         "",
         1,
         "material.shader.params.20303: 1000000 extra layers need about"},
        {"a bad --max-memory", {}, {"--max-memory", "lots", "describe", "sky.json"}, "", 2, "--max-memory expects"},
        {"a read-only document",
         [](const auto& f) { std::filesystem::permissions(f / "sky.json", std::filesystem::perms::owner_read); },
         {"edit", "sky.json", "--set", "Gamma=2"},
         "",
         4,
         "cannot write sky.json: the file is read-only (use --force to replace it)"},
        {"a gradient typed 100,000 levels deep",
         {},
         {"edit", "sky.json", "--set", "Background=" + std::string(100000, '[')},
         "",
         2,
         "\"Background\": expected a gradient as JSON"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder folder;
        WriteFile(folder / "sky.json", sky);
        if (row.prepare) {
            row.prepare(folder.Path());
        }
        const auto before = FolderState(folder.Path());
        const ProgramRun run = RunNocturnia(folder.Path(), row.arguments, row.input);
        EXPECT_EQ(run.status, row.status) << run.err;
        const std::vector<std::string> lines = run.ErrLines();
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind("nocturnia: error: " + row.errorStart, 0), 0u) << lines[0];
        EXPECT_EQ(FolderState(folder.Path()), before);
    }
}

TEST_F(BadInput, HelpIsNotAnError)
{
    for (const char* command : {"render", "sample", "describe", "new", "edit"}) {
        const ProgramRun help = Run({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Usage"), std::string::npos) << command;
    }
    const ProgramRun render = Run({"render", "--help"});
    EXPECT_NE(render.out.find("--samples"), std::string::npos);
    EXPECT_NE(render.out.find(".exr"), std::string::npos);
}

}  // namespace
}  // namespace nocturnia_test
