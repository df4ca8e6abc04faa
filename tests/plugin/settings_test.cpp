// Settings: the load and save of each group (plugin/settings.cpp, built into this test program)
// against the stand-in host's INI store. What the plug-in saves at exit is checked with each
// command that has settings.
#include "plugin/settings.h"

#include <algorithm>

#include "tests/plugin/harness.h"

namespace {

using Strings = std::vector<std::string>;

// Every setting, to compare, set and restore in one statement.
auto All() {
  ScaleSettingsGroup& s = ScaleSettings;
  return std::tie(s.KeepAspect, s.ScaleMeasure, s.ScaleUnits, s.ScaleQuality, s.CustomResX,
                  s.CustomResY, s.CustomWidth, s.CustomHeight, s.PercentWidth, s.PercentHeight,
                  FrameSettings.style, FrameSettings.colorChoice, FrameSettings.alignment,
                  MaskSettings.selected, MaskSettings.invert, MaskSettings.alphaMask,
                  MaskSettings.alphaColor, TileMirror);
}
auto Values() {
  return std::apply([](auto... value) { return std::make_tuple(value...); }, All());
}
// The values as the module starts (constant-initialised, so set before this is taken).
const auto kDefaults = Values();

class Settings : public testing::Test {
 protected:
  void SetUp() override {
    All() = kDefaults;
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, sizeof dir);
    store_ = std::string(dir) + "\\ST" + std::to_string(GetCurrentProcessId()) + ".INI";
    KX_SetProfilePath(store_.c_str());
    FileDelete(store_.c_str());
    KX_ClearLog();
  }
  void TearDown() override { FileDelete(store_.c_str()); }

  static void LoadAll() {
    for (auto load : {LoadScaleSettings, LoadFrameSettings, LoadMaskSettings, LoadTileSettings})
      load("Image");
  }

  std::string store_;
};

// Each value differs from its default and from the others of its group, so that no key can stand
// in for another (the flags hold any number). CustomResX is above the signed range and
// PercentWidth at the top of 16 bits: both must be written unsigned. Values damaged in the store
// (beyond the variable's width, not a number, empty) leave the variable as it is; the flags are
// read as the store's booleans.
TEST_F(Settings, RoundTripThroughTheStoreWithTheirWidths) {
  All() = std::make_tuple(0, 2, 3, 1, 0xFFFFFFF0u, 300u, -5, 70000, 65535, 250, 1, 2, 36, 5, 1, 0,
                          2, 1);
  auto expected = Values();
  for (auto save : {SaveScaleSettings, SaveFrameSettings, SaveMaskSettings, SaveTileSettings})
    save("Image");
  // The names and order of the keys are checked where the plug-in saves them (Scale settings,
  // Exit); here, the widths, and the custom size those never write.
  const Strings log = harness::HostLog("ProfileWrite");
  EXPECT_EQ(log.size(), 18u);
  for (const char* line :
       {"ProfileWriteDword CustomResX 4294967280", "ProfileWriteLong CustomWidth -5",
        "ProfileWriteLong CustomHeight 70000", "ProfileWriteWord PercentWidth 65535"})
    EXPECT_EQ(std::count(log.begin(), log.end(), line), 1) << line;
  const char* damaged[][2] = {
      {"PercentWidth", "70000"}, {"PercentHeight", "abc"}, {"CustomWidth", ""}};
  for (auto [key, value] : damaged) WritePrivateProfileStringA("Image", key, value, store_.c_str());
  std::get<6>(expected) = std::get<6>(kDefaults);  // CustomWidth
  std::get<8>(expected) = std::get<8>(kDefaults), std::get<9>(expected) = std::get<9>(kDefaults);
  All() = kDefaults;
  KX_ClearLog();
  LoadAll();
  EXPECT_EQ(Values(), expected);
  const Strings flags = {"ProfileReadBool KeepAspect", "ProfileReadBool Invert",
                         "ProfileReadBool AlphaMask", "ProfileReadBool AlphaColor",
                         "ProfileReadBool Mirror"};
  EXPECT_EQ(harness::HostLog("ProfileReadBool"), flags);
}

}  // namespace
