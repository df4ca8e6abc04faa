// Invert, Flip and Mirror end to end, and every command's refusals before it starts.
#include "dib/transforms.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
using Commands = PluginTest;

// Each allocation of the plug-in fails in turn (a message, the copy freed: the leak check), then
// the copy, changed as the engine changes it, goes to the window, under the wait cursor.
TEST_F(Commands, ChangeTheImageAsTheEngineDoesOrKeepItWhenMemoryRunsOut) {
  const struct {
    int row;
    TextId noMemory;
    bool (*engine)(HostBlock);
    int allocations;  // the plug-in's own: Flip's and Mirror's scratch row
  } commands[] = {{0, IDS_INVERT_NO_MEMORY, [](HostBlock b) { return InvertDib(b, nullptr); }, 0},
                  {1, IDS_FLIP_NO_MEMORY, FlipDib, 1},
                  {2, IDS_MIRROR_NO_MEMORY, MirrorDib, 1}};
  for (const auto& command : commands)
    for (int n = 1; n <= command.allocations + 1; ++n) {
      const bool fails = n <= command.allocations;
      CommandRun run = {.row = command.row, .bits = 24, .width = 13, .height = 40};
      run.plan = [n](HWND, HGLOBAL) { FailCall("GlobalAlloc", n); };
      run.log = {"ZQ_GetHDib", "ZQ_CopyHDib"};
      run.check = [fails, invert = command.row == 0](HWND window) {
        const std::vector<HCURSOR>& cursors = Recorded().cursors;
        EXPECT_TRUE(cursors.size() == 2 && cursors[0] == LoadCursorA(nullptr, IDC_WAIT));
        EXPECT_TRUE(fails || ZQ_GetHDib(window) == KX_LastCopy()) << "the copy, not the image";
        EXPECT_EQ(HostLog("ZQ_ProgressOpen"),
                  invert ? Strings{"ZQ_ProgressOpen Inverting image"} : Strings{});
      };
      if (fails) {
        run.message = command.noMemory;
      } else {
        run.engine = [&](HostBlock dib) { return command.engine(dib) ? dib : nullptr; };
        if (command.row == 0) run.log.push_back("ZQ_GetOwnerWnd"), run.meter = run.kWindowMeter;
        run.log.push_back("ZQ_SetHDib");
      }
      ExpectRun(run, Cat("row ", command.row, ", allocation ", n));
    }
}

// No image (Mask says nothing of it), no copy, or an image the engines refuse (16 bits per pixel,
// or too wide to frame): each command stops before its dialog, one message, nothing more asked.
TEST_F(Commands, RefuseWhatTheyCannotChange) {
  const auto noCopy = [](HWND, HGLOBAL) { KX_FailCall(KX_FAIL_COPY, 1); };
  const auto sixteen = [](HWND, HGLOBAL image) {
    static_cast<BitmapInfoHeader*>(GlobalLock(image))->biBitCount = 16;
    GlobalUnlock(image);
  };
  const Strings image = {"ZQ_GetHDib"}, withPalette = {"ZQ_GetHDib", "ZQ_GetHPalette"};
  const struct {
    int row;
    TextId noImage, refused;
    Strings log;  // with no image, and with an image the engines refuse
  } rows[] = {{0, IDS_INVERT_NO_IMAGE, IDS_INVERT_NO_MEMORY, image},
              {1, IDS_FLIP_NO_IMAGE, IDS_FLIP_NO_MEMORY, image},
              {2, IDS_MIRROR_NO_IMAGE, IDS_MIRROR_NO_MEMORY, image},
              {4, IDS_CROP_NO_IMAGE, IDS_UNSUPPORTED_IMAGE, withPalette},
              {5, IDS_SCALE_NO_IMAGE, IDS_UNSUPPORTED_IMAGE, image},
              {6, IDS_ROTATE_NO_IMAGE, IDS_UNSUPPORTED_IMAGE, withPalette},
              {7, IDS_FRAME_NO_IMAGE, IDS_UNSUPPORTED_IMAGE, withPalette},
              {8, IDS_TILE_NO_IMAGE, IDS_UNSUPPORTED_IMAGE, image},
              {9, {}, IDS_UNSUPPORTED_IMAGE, image}};
  for (const auto& r : rows) {
    const bool copies = r.row < 3;  // Invert, Flip and Mirror work on the host's copy
    ExpectRun({.row = r.row, .bits = 0, .message = r.noImage, .log = r.log}, Cat("row ", r.row));
    ExpectRun({.row = r.row,
               .bits = 24,
               .plan = copies ? noCopy : sixteen,
               .message = r.refused,
               .log = copies ? Strings{"ZQ_GetHDib", "ZQ_CopyHDib"} : r.log},
              Cat("row ", r.row, " refused"));
    EXPECT_TRUE(Recorded().cursors.empty()) << r.row;
  }
  // Sides no result can have: Frame's past 65535, Tile's past 32766.
  for (auto [row, width, message, log] : {std::tuple{7, 65536u, IDS_IMAGE_TOO_LARGE, withPalette},
                                          {8, 32767u, IDS_TILE_TOO_LARGE, image}})
    ExpectRun({.row = row, .width = width, .message = message, .log = log}, Cat("row ", row));
}

}  // namespace
