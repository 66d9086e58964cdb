// Ctrl-C and SIGTERM during long work: the program stops within its grace
// second with the usual status (130, 143) and leaves no image, partial or
// temporary, behind. The work is made long with a huge Density (stored in the document), which the
// program announces before it starts; the signal is sent once the
// announcement is on standard error, so it lands inside the work loop.
#include "program_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nocturnia_test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct InterruptedWork {
    const char* name;
    std::vector<std::string> arguments;
    int signal;
    int expectedStatus;
};

// Every case works on slow.json: a new document with a Density of 1e10.
class InterruptionTest : public testing::TestWithParam<InterruptedWork> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunNocturnia(folder_.Path(), {"new", "-o", "slow.json"}).status, 0);
        ASSERT_EQ(RunNocturnia(folder_.Path(), {"edit", "slow.json", "--set", "Density=1e10"}).status, 0);
    }
    TempFolder folder_;
};

// Starts the program in `folder` with standard error into `errPath`.
pid_t Start(const fs::path& folder, const std::vector<std::string>& arguments, const fs::path& errPath)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(120);
        }
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(err, 2);
        unsetenv("NOCTURNIA_PLUGINS");
        std::vector<char*> argv;
        std::string program = NOCTURNIA_PROGRAM;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& a : copies) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(121);
    }
    return pid;
}

// The exit status within `limit`, or -1 (and the process killed) after it.
int WaitBounded(pid_t pid, std::chrono::seconds limit)
{
    const Clock::time_point end = Clock::now() + limit;
    int raw = 0;
    while (Clock::now() < end) {
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &raw, 0);
    return -1;
}

TEST_P(InterruptionTest, StopsWithinAMomentAndLeavesNoFile)
{
    const InterruptedWork& work = GetParam();
    const fs::path errPath = folder_.Path() / "stderr.txt";
    const pid_t pid = Start(folder_.Path(), work.arguments, errPath);
    ASSERT_GT(pid, 0);
    // A failed assertion below must not leave the program running for hours.
    struct KillOnExit {
        pid_t pid;
        ~KillOnExit()
        {
            if (pid > 0 && kill(pid, SIGKILL) == 0) {
                waitpid(pid, nullptr, 0);
            }
        }
    } guard{pid};

    // Wait (bounded) for the announcement of the long work.
    const Clock::time_point give_up = Clock::now() + std::chrono::seconds(60);
    while (ReadFile(errPath).find("Ctrl-C stops it") == std::string::npos && Clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string announced = ReadFile(errPath);
    ASSERT_NE(announced.find("Ctrl-C stops it"), std::string::npos) << announced;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // into the work loop

    const Clock::time_point sent = Clock::now();
    ASSERT_EQ(kill(pid, work.signal), 0);
    // The grace is one second; three allow for a busy machine.
    const int status = WaitBounded(pid, std::chrono::seconds(3));  // reaps it
    guard.pid = 0;
    EXPECT_EQ(status, work.expectedStatus) << ReadFile(errPath);
    EXPECT_LT(Clock::now() - sent, std::chrono::seconds(3));

    for (const auto& item : fs::directory_iterator(folder_.Path())) {
        const std::string name = item.path().filename().string();
        EXPECT_TRUE(name == "stderr.txt" || name == "slow.json") << "left behind: " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    LongWork, InterruptionTest,
    testing::Values(
        InterruptedWork{"RenderTerminated",
                        {"render", "slow.json", "--width", "16", "--height", "16", "-o", "sky.exr"},
                        SIGTERM,
                        143},
        InterruptedWork{
            "RenderInterruptedPng", {"render", "slow.json", "--threads", "1", "-o", "sky.png"}, SIGINT, 130},
        InterruptedWork{
            "SampleInterrupted", {"sample", "slow.json", "--at", "0.5,0.5", "--at", "0.25,0.75"}, SIGINT, 130}),
    [](const testing::TestParamInfo<InterruptedWork>& info) { return info.param.name; });

}  // namespace
}  // namespace nocturnia_test
