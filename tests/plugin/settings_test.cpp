// Settings: the load and save of each group (plugin/settings.cpp, built into this test program)
// against the stand-in host's INI store, and the plug-in's own start-up and exit.
#include "plugin/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "host/korvex.h"
#include "plugin/host_api.h"
#include "tests/plugin/harness.h"

namespace {

using Strings = std::vector<std::string>;

class Settings : public testing::Test {
 protected:
  void SetUp() override {
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof dir);
    store_ = std::string(dir) + "\\ST" + std::to_string(GetCurrentProcessId()) + ".INI";
    KX_SetProfilePath(store_.c_str());
    FileDelete(store_.c_str());
    ResetToDefaults();
    KX_ClearLog();
  }
  void TearDown() override { FileDelete(store_.c_str()); }

  static void ResetToDefaults() {
    KeepAspect = 1;
    ScaleMeasure = 0;
    ScaleUnits = 1;
    ScaleQuality = 0;
    CustomResX = CustomResY = 96;
    CustomWidth = CustomHeight = 10000;
    PercentWidth = PercentHeight = 100;
    FrameSettings = {};
    MaskSettings = {};
    TileMirror = 0;
  }
  static void LoadAll() {
    LoadScaleSettings("Image");
    LoadFrameSettings("Image");
    LoadMaskSettings("Image");
    LoadTileSettings("Image");
  }
  // Every setting, to compare in one assertion.
  static auto Snapshot() {
    return std::make_tuple(KeepAspect, ScaleMeasure, ScaleUnits, ScaleQuality, CustomResX, CustomResY, CustomWidth,
                           CustomHeight, PercentWidth, PercentHeight, FrameSettings.style, FrameSettings.colorChoice,
                           FrameSettings.alignment, MaskSettings.selected, MaskSettings.invert, MaskSettings.alphaMask,
                           MaskSettings.alphaColor, TileMirror);
  }
  std::string Stored(const char* key) {
    char value[64];
    GetPrivateProfileStringA("Image", key, "(absent)", value, sizeof value, store_.c_str());
    return value;
  }
  void Store(const char* key, const char* value) { WritePrivateProfileStringA("Image", key, value, store_.c_str()); }

  std::string store_;
};

TEST_F(Settings, AnEmptyStoreKeepsEveryDefaultAndEachKeyIsReadWithItsCall) {
  const auto defaults = Snapshot();
  LoadAll();
  EXPECT_EQ(Snapshot(), defaults);
  const Strings expected = {
      "ZQ_GetProfileFile", "ProfileOpen Image", "ProfileReadBool KeepAspect", "ProfileReadWord ScaleMeasure",
      "ProfileReadWord ScaleUnits", "ProfileReadWord ScaleQuality", "ProfileReadDword CustomResX",
      "ProfileReadDword CustomResY", "ProfileReadLong CustomWidth", "ProfileReadLong CustomHeight",
      "ProfileReadWord PercentWidth", "ProfileReadWord PercentHeight", "ProfileClose",
      "ZQ_GetProfileFile", "ProfileOpen Image", "ProfileReadWord Style", "ProfileReadWord ChooseColor",
      "ProfileReadWord Alignment", "ProfileClose",
      "ZQ_GetProfileFile", "ProfileOpen Image", "ProfileReadWord Selected", "ProfileReadBool Invert",
      "ProfileReadBool AlphaMask", "ProfileReadBool AlphaColor", "ProfileClose",
      "ZQ_GetProfileFile", "ProfileOpen Image", "ProfileReadBool Mirror", "ProfileClose"};
  EXPECT_EQ(harness::HostLog(), expected);
}

TEST_F(Settings, RoundTripThroughTheStoreWithTheirWidths) {
  KeepAspect = 0;
  ScaleMeasure = 2;
  ScaleUnits = 3;
  ScaleQuality = 1;
  CustomResX = 0xFFFFFFF0u;  // above the signed range: written as an unsigned value
  CustomResY = 300;
  CustomWidth = -5;
  CustomHeight = 70000;
  PercentWidth = 65535;  // 16-bit values stay unsigned, never negative
  PercentHeight = 250;
  FrameSettings = {1, 2, 36};
  MaskSettings = {5, 1, 0, 0};
  TileMirror = 1;
  const auto saved = Snapshot();
  SaveScaleSettings("Image");
  SaveFrameSettings("Image");
  SaveMaskSettings("Image");
  SaveTileSettings("Image");
  EXPECT_EQ(Stored("CustomResX"), "4294967280");
  EXPECT_EQ(Stored("PercentWidth"), "65535");
  EXPECT_EQ(Stored("CustomWidth"), "-5");
  EXPECT_EQ(harness::HostLogStarting("ProfileWriteWord"), (Strings{"ProfileWriteWord PercentWidth 65535", "ProfileWriteWord PercentHeight 250"}));
  EXPECT_EQ(harness::HostLogStarting("ProfileWriteDword"), (Strings{"ProfileWriteDword CustomResX 4294967280", "ProfileWriteDword CustomResY 300"}));
  EXPECT_EQ(harness::HostLogStarting("ProfileWriteLong").size(), 4u + 2u + 3u + 4u + 1u);
  ResetToDefaults();
  LoadAll();
  EXPECT_EQ(Snapshot(), saved);
}

TEST_F(Settings, PercentageUnitsLeaveTheStoredCustomSizeAlone) {
  Store("CustomWidth", "640");
  Store("CustomHeight", "480");
  ScaleUnits = 1;
  CustomWidth = 12345;
  CustomHeight = 678;
  SaveScaleSettings("Image");
  EXPECT_EQ(Stored("CustomWidth"), "640");
  EXPECT_EQ(Stored("CustomHeight"), "480");
  EXPECT_EQ(Stored("ScaleUnits"), "1");
  ScaleUnits = 0;
  SaveScaleSettings("Image");
  EXPECT_EQ(Stored("CustomWidth"), "12345");
  EXPECT_EQ(Stored("CustomHeight"), "678");
}

TEST_F(Settings, DamagedValuesLeaveTheVariableAlone) {
  Store("PercentWidth", "70000");  // does not fit 16 bits
  Store("PercentHeight", "abc");
  Store("CustomWidth", "");
  Store("ScaleMeasure", "1");
  LoadScaleSettings("Image");
  EXPECT_EQ(PercentWidth, 100);
  EXPECT_EQ(PercentHeight, 100);
  EXPECT_EQ(CustomWidth, 10000);
  EXPECT_EQ(ScaleMeasure, 1);
}

// The plug-in's own copy of the settings: loaded at start-up, frame, mask and tile saved at exit,
// the scale group never.
TEST_F(Settings, ThePlugInLoadsAtStartUpAndSavesAtExit) {
  Store("Selected", "5");
  Store("Alignment", "18");
  Store("KeepAspect", "0");
  ASSERT_TRUE(harness::InitPlugin());
  KX_ClearLog();
  harness::Plugin().exit();
  EXPECT_EQ(harness::HostLogStarting("ProfileOpen").size(), 3u);
  const Strings writes = harness::HostLogStarting("ProfileWrite");
  const Strings expected = {"ProfileWriteLong Style 0",        "ProfileWriteLong ChooseColor 0",
                            "ProfileWriteLong Alignment 18",   "ProfileWriteLong Selected 5",
                            "ProfileWriteLong Invert 0",       "ProfileWriteLong AlphaMask 1",
                            "ProfileWriteLong AlphaColor 1",   "ProfileWriteLong Mirror 0"};
  EXPECT_EQ(writes, expected);
  EXPECT_EQ(Stored("Selected"), "5");
  EXPECT_EQ(Stored("KeepAspect"), "0") << "the scale group is not written at exit";
  EXPECT_EQ(Stored("ScaleUnits"), "(absent)");
}

}  // namespace
