// The base fixture of the plug-in tests: a freshly initialised plug-in (menu ids 5000, 5001, ...),
// cleared records, and checks that every scripted dialog ran and that nothing the plug-in
// allocated was left behind.
#pragma once

#include <gtest/gtest.h>

#include "tests/plugin/harness.h"

class PluginTest : public testing::Test {
 protected:
  void SetUp() override {
    harness::ClearCalls();
    ASSERT_TRUE(harness::InitPlugin());
    harness::ClearCalls();
  }
  void TearDown() override {
    EXPECT_TRUE(harness::AllScriptsRan()) << "a scripted dialog never opened";
    EXPECT_TRUE(harness::LiveAllocations().empty()) << "the plug-in leaked a block";
    harness::Plugin().imageActivate(nullptr, 0, 0);
  }
  // A window holding a copy of the test image `bits` x `width` x `height`, made active.
  void Activate(HWND window) { harness::Plugin().imageActivate(window, 1, 0); }
};
