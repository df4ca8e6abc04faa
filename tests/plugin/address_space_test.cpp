// The 32-bit plug-in runs in its host's process, whose address space (2 GB, 4 GB at most when the
// host is large-address-aware) also holds the host, the libraries and the image. Each command
// that can grow an image is driven to a result within the engines' limits (under 4 GB of rows)
// that no 32-bit process can allocate: the real allocation fails, not a planned one. Built into
// the 32-bit tests only: a 64-bit process would make these images.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "resources/ids.h"
#include "resources/text_ids.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;
using Script = std::function<void(HWND)>;

Script ScaleTo(int quality, const char* width, const char* height) {
  return [=](HWND d) {
    Click(d, IDC_SCALE_RESET);
    if (Checked(d, IDC_SCALE_KEEP_ASPECT)) Click(d, IDC_SCALE_KEEP_ASPECT);
    Select(d, IDC_SCALE_UNITS, 0);
    Select(d, IDC_SCALE_QUALITY, quality);
    SetText(d, IDC_SCALE_WIDTH, width);
    SetText(d, IDC_SCALE_HEIGHT, height);
    Click(d, IDOK);
  };
}
// Types `first` and `second` into the fields of the same ids in each dialog, then OK.
Script TypeTwo(int firstId, const char* first, int secondId, const char* second) {
  return [=](HWND d) {
    Type(d, firstId, first);
    Type(d, secondId, second);
    Click(d, IDOK);
  };
}

TEST_F(PluginTest, ResultsBeyondTheAddressSpaceReportNotEnoughMemory) {
  const struct {
    const char* what;
    int row, dialog;
    unsigned bits;
    uint32_t width, height;
    Script script;
    TextId message;
  } cases[] = {
      // 36000 x 36000 x 3 bytes = 3.9 GB
      {"scale, high quality", 5, IDD_SCALE, 24, 8, 8, ScaleTo(1, "36000", "36000"),
       IDS_SCALE_HIGH_NO_MEMORY},
      {"scale, low quality (the host's resize)", 5, IDD_SCALE, 24, 8, 8,
       ScaleTo(0, "36000", "36000"), IDS_SCALE_LOW_NO_MEMORY},
      // 60106 x 60106 bytes = 3.6 GB
      {"rotate by 45 of an 85000 x 2 image", 6, IDD_ROTATE, 8, 85000, 2,
       [](HWND d) {
         Select(d, IDC_ROTATE_QUALITY, 0);
         Type(d, IDC_ROTATE_AMOUNT, "45");
         Click(d, IDOK);
       },
       IDS_ROTATE_NO_MEMORY},
      // 65000 x 60000 bytes = 3.9 GB
      {"frame", 7, IDD_FRAME, 8, 100, 100,
       TypeTwo(IDC_FRAME_WIDTH, "65000", IDC_FRAME_HEIGHT, "60000"), IDS_FRAME_NO_MEMORY},
      // 32700 x 32700 x 3 bytes = 3.2 GB
      {"tile", 8, IDD_TILE_IMAGE, 24, 100, 100,
       TypeTwo(IDC_TILE_WIDTH, "327", IDC_TILE_HEIGHT, "327"), IDS_TILE_NO_MEMORY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestWindow window;
    HGLOBAL image = Hold(window, c.bits, c.width, c.height);
    const std::vector<uint8_t> before = GlobalBytes(image);
    OnDialog(c.dialog, c.script);
    ClearCalls();
    EXPECT_EQ(RunCommand(window, c.row), 2);
    ExpectOneMessage(c.message);
    ExpectKept(window, image, before);
  }
}

}  // namespace
