// Shared helpers of the host tests: temporary folders and a Host with the
// fake plug-in started.
#pragma once

#include "fake_plugin.h"

#include "common/test_files.h"

#include "runtime/host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

using test_files::ReadFile;
using test_files::TempFolder;
using test_files::WriteFile;

// Every test of this fixture runs with the fake plug-in started.
class FakePluginTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TempFolder folder_;
    std::unique_ptr<nocturnia::runtime::Host> host_;
};
