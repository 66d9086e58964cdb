#include "test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("nocturnia-host-test-" + std::to_string(stamp) + "-" + std::to_string(counter.fetch_add(1)));
    fs::create_directories(path_);
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void FakePluginTest::SetUp()
{
    fake::Reset();
    fake::WriteResources(folder_ / "res");
    fake::Behave().resFolder = folder_ / "res";
    host_ = std::make_unique<nhost::Host>();
    const nhost::Status s = host_->BindEntry(&fake::Entry, "fake");
    ASSERT_TRUE(s.ok()) << s.message();
}

void FakePluginTest::TearDown() { host_.reset(); }
