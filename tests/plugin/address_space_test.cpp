// The 32-bit plug-in shares its host's address space (2 GB, 4 GB at most when the host is
// large-address-aware) with the host, the libraries and the image. Each command that can grow an
// image is driven to a result within the engines' limits (under 4 GB of rows) that no 32-bit
// process can allocate: the real allocation fails, not a planned one. Built into the 32-bit tests
// only: a 64-bit process would make these images.
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

TEST_F(PluginTest, ResultsBeyondTheAddressSpaceReportNotEnoughMemory) {
  const Strings palette = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd"};
  // clang-format off
  const CommandRun runs[] = {
      // 36000 x 36000 x 3 bytes = 3.9 GB, by the engine and by the host's resize
      {.row = 5, .bits = 24, .width = 8, .height = 8, .script = ScaleTo(1, 36000, 36000),
       .message = IDS_SCALE_HIGH_NO_MEMORY, .log = {"ZQ_GetHDib", "ZQ_GetFlag 4", "ZQ_GetOwnerWnd"}},
      {.row = 5, .bits = 24, .width = 8, .height = 8, .script = ScaleTo(0, 36000, 36000),
       .message = IDS_SCALE_LOW_NO_MEMORY,
       .log = {"ZQ_GetHDib", "ZQ_GetFlag 4", "ZQ_GetOwnerWnd", "DibResize 36000 36000"}},
      // 85000 x 2 turned by 45 degrees: 60106 x 60106 bytes = 3.6 GB
      {.row = 6, .width = 85000, .height = 2,
       .script = [](HWND d) {
         Select(d, IDC_ROTATE_QUALITY, 0), Type(d, IDC_ROTATE_AMOUNT, "45"), Click(d, IDOK);
       },
       .message = IDS_ROTATE_NO_MEMORY, .log = palette},
      // 65000 x 60000 bytes = 3.9 GB
      {.row = 7, .width = 100, .height = 100,
       .script = [](HWND d) {
         Type(d, IDC_FRAME_WIDTH, "65000"), Type(d, IDC_FRAME_HEIGHT, "60000"), Click(d, IDOK);
       },
       .message = IDS_FRAME_NO_MEMORY, .log = palette},
      // 32700 x 32700 x 3 bytes = 3.2 GB
      {.row = 8, .bits = 24, .width = 100, .height = 100,
       .script = [](HWND d) {
         Type(d, IDC_TILE_WIDTH, "327"), Type(d, IDC_TILE_HEIGHT, "327"), Click(d, IDOK);
       },
       .message = IDS_TILE_NO_MEMORY, .log = {"ZQ_GetHDib", "ZQ_GetOwnerWnd"}}};
  // clang-format on
  for (const CommandRun& run : runs) ExpectRun(run, Cat("row ", run.row, ", ", run.message));
}

}  // namespace
