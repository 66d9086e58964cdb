// The Slurm job scripts of `farm slurm`, run without Slurm: each array task's
// script is run by bash with $SLURM_ARRAY_TASK_ID set and a program that only
// prints its arguments, so what every task would render (frames, tiles,
// threads, output names) is read back from what it ran. The real cluster run
// is tests/farm/.
#include "farm/slurm_script.h"
#include "render/render_memory.h"

#include "common/test_files.h"
#include "program_runner.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace nocturnia_test {
namespace {

using nocturnia::cli::SlurmJobPlan;
using nocturnia::cli::SlurmScripts;

// Runs `script` with bash as array task `task` (none: no task ID) and the
// arguments, with the folder first on PATH; its standard output, and its
// exit status appended as "exit N".
std::string RunScript(const test_files::TempFolder& folder, const std::string& script, std::optional<int> task,
                      const std::string& arguments = "")
{
    const std::filesystem::path path = folder / "job.sh";
    test_files::WriteFile(path, script);
    std::string command = "cd '" + folder.Path().string() + "' && ";
    command += task ? "SLURM_ARRAY_TASK_ID=" + std::to_string(*task) : "unset SLURM_ARRAY_TASK_ID;";
    command += " PATH=\"$PWD:$PATH\" bash job.sh " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    std::size_t count = 0;
    while (pipe && (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, count);
    }
    const int status = pipe ? pclose(pipe) : -1;
    return out + "exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

// The lines of `out` that the stand-in program printed.
std::vector<std::string> ProgramRuns(const std::string& out)
{
    std::vector<std::string> runs;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        const std::string line = out.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.rfind("RUN ", 0) == 0) {
            runs.push_back(line.substr(4));
        }
        start = end == std::string::npos ? out.size() : end + 1;
    }
    return runs;
}

TEST(SlurmScripts, ArrayTasksRenderTheirShareOfTheWork)
{
    test_files::TempFolder folder;
    // The stand-in for `nocturnia`: one line of its arguments.
    const std::filesystem::path program = folder / "nocturnia";
    test_files::WriteFile(program, "#!/bin/sh\necho \"RUN $*\"\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    SlurmJobPlan base;
    base.program = program.string();
    base.pluginFolder = "/opt/noc";
    base.document = "/jobs/sky-1/sky.json";
    base.jobFolder = "/jobs/sky-1";
    base.outputPattern = "/out/100%/sky.####.exr";
    base.jobName = "sky";
    base.frames = {1};
    base.renderMemoryMiB = 80;
    base.assembleMemoryMiB = 90;

    struct Case {
        const char* what;
        int first, last, step, tiles, cpus, chunk, maxArray;  // the frames first, first + step, ... last
        int task;                                             // the task run
        long long tasks, itemsPerTask;
        std::vector<std::string> runs;  // what that task ran, after "--plugins /opt/noc "
    };
    const std::string doc = "render /jobs/sky-1/sky.json ";
    const Case cases[] = {
        {"frames only, one a task",
         1,
         100,
         1,
         0,
         4,
         1,
         1001,
         41,
         100,
         1,
         {doc + "--frames 42 --threads 4 --skip-existing -o /out/100%/sky.####.exr"}},
        {"frames in chunks, the last one short",
         1,
         10,
         1,
         0,
         2,
         4,
         1001,
         2,
         3,
         4,
         {doc + "--frames 9,10 --threads 2 --skip-existing -o /out/100%/sky.####.exr"}},
        {"frames x tiles: task 6 is frame 2's tile 2",
         1,
         3,
         1,
         4,
         1,
         1,
         1001,
         6,
         12,
         1,
         {doc + "--frame 2 --tile 2/4 --threads 1 --skip-existing -o /jobs/sky-1/tiles/frame0000002.tile0002.exr"}},
        {"frames x tiles past the array limit: 3 tasks of 4",
         1,
         3,
         1,
         4,
         3,
         1,
         3,
         2,
         3,
         4,
         {doc + "--frame 3 --tile 0/4 --threads 3 --skip-existing -o /jobs/sky-1/tiles/frame0000003.tile0000.exr",
          doc + "--frame 3 --tile 1/4 --threads 3 --skip-existing -o /jobs/sky-1/tiles/frame0000003.tile0001.exr",
          doc + "--frame 3 --tile 2/4 --threads 3 --skip-existing -o /jobs/sky-1/tiles/frame0000003.tile0002.exr",
          doc + "--frame 3 --tile 3/4 --threads 3 --skip-existing -o /jobs/sky-1/tiles/frame0000003.tile0003.exr"}},
        {"exactly the array limit: one frame a task",
         0,
         1000,
         1,
         0,
         1,
         1,
         1001,
         1000,
         1001,
         1,
         {doc + "--frames 1000 --threads 1 --skip-existing -o /out/100%/sky.####.exr"}},
        {"one past it: two a task",
         0,
         1001,
         1,
         0,
         1,
         1,
         1001,
         500,
         501,
         2,
         {doc + "--frames 1000,1001 --threads 1 --skip-existing -o /out/100%/sky.####.exr"}},
        {"a stepped list: items count positions in it, task 3 is frame 5's tile 1",
         1,
         9,
         4,
         2,
         1,
         1,
         1001,
         3,
         6,
         1,
         {doc + "--frame 5 --tile 1/2 --threads 1 --skip-existing -o /jobs/sky-1/tiles/frame0000005.tile0001.exr"}},
        {"a stepped list in chunks: frames by position, the last chunk short",
         0,
         50,
         10,
         0,
         1,
         4,
         1001,
         1,
         2,
         4,
         {doc + "--frames 40,50 --threads 1 --skip-existing -o /out/100%/sky.####.exr"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SlurmJobPlan plan = base;
        plan.frames.clear();
        for (int frame = c.first; frame <= c.last; frame += c.step) plan.frames.push_back(frame);
        plan.tiles = c.tiles;
        plan.cpusPerTask = c.cpus;
        plan.itemsPerTask = c.chunk;
        plan.maxArraySize = c.maxArray;
        const SlurmScripts scripts = nocturnia::cli::WriteSlurmScripts(plan);
        EXPECT_EQ(scripts.tasks, c.tasks);
        EXPECT_EQ(scripts.itemsPerTask, c.itemsPerTask);
        EXPECT_LE(scripts.tasks, c.maxArray);
        const std::string directives = "#SBATCH --array=0-" + std::to_string(c.tasks - 1) +
                                       "\n#SBATCH --cpus-per-task=" + std::to_string(c.cpus) +
                                       "\n#SBATCH --mem=80M\n#SBATCH --output=/jobs/sky-1/logs/render-%A_%a.log\n";
        EXPECT_NE(scripts.render.find(directives), std::string::npos) << scripts.render;

        std::vector<std::string> expected;
        for (const std::string& run : c.runs) {
            expected.push_back("--plugins /opt/noc " + run);
        }
        const std::string out = RunScript(folder, scripts.render, c.task);
        EXPECT_EQ(ProgramRuns(out), expected) << out;
        EXPECT_NE(out.find("exit 0"), std::string::npos) << out;
        // The last task's share ends at the last frame; none past it.
        const std::string last = RunScript(folder, scripts.render, static_cast<int>(c.tasks - 1));
        EXPECT_NE(last.find(c.tiles ? "frame " + std::to_string(c.last) + ", tile " + std::to_string(c.tiles - 1)
                                    : std::to_string(c.last) + " --threads"),
                  std::string::npos)
            << last;
        EXPECT_EQ(scripts.assemble.has_value(), c.tiles > 0);
        EXPECT_EQ(scripts.submit.find("afterok") != std::string::npos, c.tiles > 0) << scripts.submit;
    }
    // Outside an array job the script stops before rendering anything.
    EXPECT_EQ(ProgramRuns(RunScript(folder, nocturnia::cli::WriteSlurmScripts(base).render, std::nullopt)).size(), 0u);

    // Each frame's assembly (its position the argument) puts the frame's
    // tiles, as the render named them, into the frame's file; '%' that is no
    // placeholder stays as it is.
    SlurmJobPlan tiled = base;
    tiled.frames = {9, 10};
    tiled.tiles = 2;
    const SlurmScripts scripts = nocturnia::cli::WriteSlurmScripts(tiled);
    ASSERT_TRUE(scripts.assemble);
    for (const char* directive :
         {"#SBATCH --mem=90M\n", "#SBATCH --kill-on-invalid-dep=yes\n", "#SBATCH --requeue\n"}) {
        EXPECT_NE(scripts.assemble->find(directive), std::string::npos) << directive;
    }
    EXPECT_NE(scripts.render.find("#SBATCH --requeue\n#SBATCH --open-mode=append\n"), std::string::npos);
    const std::string t = "/jobs/sky-1/tiles/";
    EXPECT_EQ(ProgramRuns(RunScript(folder, *scripts.assemble, std::nullopt, "1")),
              (std::vector<std::string>{"--plugins /opt/noc assemble " + t + "frame0000010.tile0000.exr " + t +
                                        "frame0000010.tile0001.exr -o /out/100%/sky.0010.exr"}));
    EXPECT_NE(RunScript(folder, *scripts.assemble, std::nullopt, "2").find("exit 2"), std::string::npos);
    // The colour config's copy goes before every command; the display and
    // view to the assembly, which writes the frames.
    tiled.frames = {9};
    tiled.programArguments = {"--ocio", "/jobs/sky-1/config.ocio"};
    tiled.assembleArguments = {"--display", "Display P3"};
    const SlurmScripts colored = nocturnia::cli::WriteSlurmScripts(tiled);
    const std::vector<std::string> renders = ProgramRuns(RunScript(folder, colored.render, 0));
    ASSERT_FALSE(renders.empty());
    EXPECT_EQ(renders[0].rfind("--plugins /opt/noc --ocio /jobs/sky-1/config.ocio render ", 0), 0u) << renders[0];
    EXPECT_EQ(ProgramRuns(RunScript(folder, *colored.assemble, std::nullopt, "0")),
              (std::vector<std::string>{"--plugins /opt/noc --ocio /jobs/sky-1/config.ocio assemble " + t +
                                        "frame0000009.tile0000.exr " + t +
                                        "frame0000009.tile0001.exr --display Display P3 -o /out/100%/sky.0009.exr"}));
}

TEST(SlurmScripts, EachFrameIsAssembledAfterItsOwnTasksOnceAndItsTilesRemoved)
{
    test_files::TempFolder folder;
    const std::filesystem::path job = folder / "job";
    std::filesystem::create_directories(job / "tiles");
    // Stand-ins: sbatch logs its arguments and answers job 77; nocturnia
    // prints its arguments.
    test_files::WriteFile(folder / "sbatch", "#!/bin/sh\necho \"$*\" >> sbatch.log\necho 77\n");
    test_files::WriteFile(folder / "nocturnia", "#!/bin/sh\necho \"RUN $*\"\n");
    for (const char* name : {"sbatch", "nocturnia"}) {
        std::filesystem::permissions(folder / name, std::filesystem::perms::owner_all);
    }
    SlurmJobPlan plan;
    plan.program = (folder / "nocturnia").string();
    plan.pluginFolder = "/opt/noc";
    plan.document = (job / "sky.json").string();
    plan.jobFolder = job.string();
    plan.outputPattern = (folder / "sky.####.exr").string();
    plan.jobName = "sky";
    // 3 frames x 2 tiles, 3 items a task: task 0 holds frame 9 and frame
    // 10's tile 0, task 1 the rest; each frame waits for its tasks alone.
    plan.frames = {9, 10, 11};
    plan.tiles = 2;
    plan.itemsPerTask = 3;
    const SlurmScripts scripts = nocturnia::cli::WriteSlurmScripts(plan);
    const std::string out = RunScript(folder, scripts.submit, std::nullopt);
    EXPECT_NE(out.find("render job: 77\nassemble job for frame 9: 77\n"), std::string::npos) << out;
    const std::string assemble = " " + (job / "assemble.sbatch").string();
    EXPECT_EQ(test_files::ReadFile(folder / "sbatch.log"),
              "--parsable " + (job / "render.sbatch").string() + "\n--parsable --dependency=afterok:77_0" + assemble +
                  " 0\n--parsable --dependency=afterok:77_0:77_1" + assemble +
                  " 1\n--parsable --dependency=afterok:77_1" + assemble + " 2\n");
    // --submit submits the same dependencies.
    ASSERT_EQ(scripts.assemblies.size(), 3u);
    EXPECT_EQ(nocturnia::cli::AssemblyDependency("77", scripts.assemblies[1]), "afterok:77_0:77_1");

    // A good assembly removes the frame's tiles; --keep-tiles keeps them;
    // run again once the frame is there and some tile gone, it does nothing.
    const auto tile = [&](int index) {
        return job / "tiles" / ("frame0000010.tile000" + std::to_string(index) + ".exr");
    };
    const auto writeTiles = [&] {
        for (int index : {0, 1}) test_files::WriteFile(tile(index), "tile");
    };
    writeTiles();
    EXPECT_EQ(ProgramRuns(RunScript(folder, *scripts.assemble, std::nullopt, "1")).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(tile(0)) || std::filesystem::exists(tile(1)));
    SlurmJobPlan keeping = plan;
    keeping.keepTiles = true;
    writeTiles();
    EXPECT_EQ(
        ProgramRuns(RunScript(folder, *nocturnia::cli::WriteSlurmScripts(keeping).assemble, std::nullopt, "1")).size(),
        1u);
    EXPECT_TRUE(std::filesystem::exists(tile(0)) && std::filesystem::exists(tile(1)));
    std::filesystem::remove(tile(0));
    test_files::WriteFile(folder / "sky.0010.exr", "assembled");
    const std::string again = RunScript(folder, *scripts.assemble, std::nullopt, "1");
    EXPECT_TRUE(ProgramRuns(again).empty()) << again;
    EXPECT_NE(again.find("frame 10: assembled before"), std::string::npos) << again;
    EXPECT_NE(again.find("exit 0"), std::string::npos) << again;
    EXPECT_FALSE(std::filesystem::exists(tile(1)));
}

TEST(SlurmScripts, MemoryRequestCoversARealRender)
{
    // The --mem a job asks for must hold the render's peak: a scheduler that
    // enforces it kills a process past it. Measured on the real program (the
    // example declares 3 extra layers).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer build holds far more memory than the released program the estimate is for";
#endif
    test_files::TempFolder folder;
    const int width = 480, height = 270;
    const ProgramRun run = RunNocturnia(folder.Path(), {"render", SourceFile("examples/night-sky.json").string(), "-o",
                                                        "sky.exr", "--width", std::to_string(width), "--height",
                                                        std::to_string(height), "--samples", "1", "--quiet"});
    ASSERT_EQ(run.status, 0) << run.err;
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    const std::uint64_t peak = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    EXPECT_GT(peak, 0u);
    EXPECT_LE(peak, nocturnia::cli::RenderProcessBytes(width, height, 3)) << "peak " << peak << " bytes";
    EXPECT_LE(peak, nocturnia::cli::AssemblyProcessBytes(width, height)) << "peak " << peak << " bytes";
}

}  // namespace
}  // namespace nocturnia_test
