// The 32-bit plug-in shares its host's address space (2 GB, 4 GB at most when the host is
// large-address-aware) with the host, the libraries and the image. Each command that can grow an
// image is driven to a result within the engines' limits (under 4 GB of rows) that no 32-bit
// process can allocate: the real allocation fails, not a planned one. Built into the 32-bit tests
// only: a 64-bit process would make these images.
#include <gtest/gtest.h>

#include "resources/ids.h"
#include "resources/text_ids.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
using Script = std::function<void(HWND)>;

// Selects entry `quality` of combo box `qualityId` when one is named, types each text into its
// field, then OK.
Script Fill(std::vector<std::pair<int, const char*>> fields, int qualityId = 0, int quality = 0) {
  return [=](HWND d) {
    if (qualityId) Select(d, qualityId, quality);
    for (auto [id, text] : fields) Type(d, id, text);
    Click(d, IDOK);
  };
}
// Pixels, both sides typed, aspect free, at `quality`.
Script ScaleTo(int quality) {
  return [=](HWND d) {
    Click(d, IDC_SCALE_RESET);
    if (Checked(d, IDC_SCALE_KEEP_ASPECT)) Click(d, IDC_SCALE_KEEP_ASPECT);
    Select(d, IDC_SCALE_UNITS, 0);
    Fill({{IDC_SCALE_WIDTH, "36000"}, {IDC_SCALE_HEIGHT, "36000"}}, IDC_SCALE_QUALITY, quality)(d);
  };
}

TEST_F(PluginTest, ResultsBeyondTheAddressSpaceReportNotEnoughMemory) {
  const struct {
    int row, dialog;
    unsigned bits;
    uint32_t width, height;
    Script script;
    TextId message;
  } cases[] = {
      // 36000 x 36000 x 3 bytes = 3.9 GB, by the engine and by the host's resize
      {5, IDD_SCALE, 24, 8, 8, ScaleTo(1), IDS_SCALE_HIGH_NO_MEMORY},
      {5, IDD_SCALE, 24, 8, 8, ScaleTo(0), IDS_SCALE_LOW_NO_MEMORY},
      // 85000 x 2 turned by 45 degrees: 60106 x 60106 bytes = 3.6 GB
      {6, IDD_ROTATE, 8, 85000, 2, Fill({{IDC_ROTATE_AMOUNT, "45"}}, IDC_ROTATE_QUALITY, 0),
       IDS_ROTATE_NO_MEMORY},
      // 65000 x 60000 bytes = 3.9 GB
      {7, IDD_FRAME, 8, 100, 100, Fill({{IDC_FRAME_WIDTH, "65000"}, {IDC_FRAME_HEIGHT, "60000"}}),
       IDS_FRAME_NO_MEMORY},
      // 32700 x 32700 x 3 bytes = 3.2 GB
      {8, IDD_TILE_IMAGE, 24, 100, 100, Fill({{IDC_TILE_WIDTH, "327"}, {IDC_TILE_HEIGHT, "327"}}),
       IDS_TILE_NO_MEMORY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << ", message " << c.message);
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
