#include "test_support.h"

void FakePluginTest::SetUp()
{
    fake::Reset();
    fake::WriteResources(folder_ / "res");
    fake::Behave().resFolder = folder_ / "res";
    host_ = std::make_unique<nocturnia::runtime::Host>();
    const nocturnia::runtime::Status s = host_->BindEntry(&fake::Entry, "fake");
    ASSERT_TRUE(s.ok()) << s.message();
}

void FakePluginTest::TearDown() { host_.reset(); }
