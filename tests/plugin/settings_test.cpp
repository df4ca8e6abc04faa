// The settings' load and save (plugin/settings.cpp, built into this test program) against the
// stand-in host's store; their keys are checked where the plug-in saves them.
#include "plugin/settings.h"

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

// Each value differs from its default and the others of its group, so that no key stands in for
// another; values past 16 bits, unsigned or below 0 keep their bits. Flags are the store's
// booleans.
TEST(Settings, RoundTripThroughTheStoreWithTheirWidths) {
  All() = std::make_tuple(0, 2, 3, 1, 0xFFFFFFF0u, 300u, -5, 70000, 65535, 250, 1, 2, 36, 5, 1, 0,
                          2, 1);
  const auto expected = Values();
  for (auto save : {SaveScaleSettings, SaveFrameSettings, SaveMaskSettings, SaveTileSettings})
    save("Image");
  All() = kDefaults;
  KX_ClearLog();
  for (auto load : {LoadScaleSettings, LoadFrameSettings, LoadMaskSettings, LoadTileSettings})
    load("Image");
  FileDelete(harness::ProfileName().c_str());  // as the harness starts it, for the tests after
  EXPECT_EQ(Values(), expected);
  const Strings flags = {"ProfileReadBool KeepAspect", "ProfileReadBool Invert",
                         "ProfileReadBool AlphaMask", "ProfileReadBool AlphaColor",
                         "ProfileReadBool Mirror"};
  EXPECT_EQ(harness::HostLog("ProfileReadBool"), flags);
}

}  // namespace
