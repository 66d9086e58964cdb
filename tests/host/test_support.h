// Shared helpers of the host tests: temporary folders and a Host with the
// fake plug-in started.
#pragma once

#include "fake_plugin.h"

#include "host/host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

// A fresh folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& text);
std::string ReadFile(const std::filesystem::path& path);

// Every test of this fixture runs with the fake plug-in started.
class FakePluginTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempFolder folder_;
    std::unique_ptr<nhost::Host> host_;
};
