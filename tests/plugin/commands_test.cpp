// Invert, Flip and Mirror end to end through ZQ_ImgLib_MenuHandler: every depth, the host calls
// and progress steps, the wait cursor, and every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

enum Row { kInvert = 0, kFlip = 1, kMirror = 2 };

// The expected result of a command on `before`, written pixel by pixel (and colour entry by
// colour entry) from the command's rule, independently of the engines.
Bytes Expected(Row row, Bytes before) {
  Bytes after = before;
  DibView in, out;
  EXPECT_TRUE(DescribeDib(before.data(), before.size(), in));
  EXPECT_TRUE(DescribeDib(after.data(), after.size(), out));
  for (uint32_t y = 0; y < in.height; ++y)
    for (uint32_t x = 0; x < in.width; ++x) {
      if (row == kFlip) testimg::SetPixel(out, x, y, testimg::GetPixel(in, x, in.height - 1 - y));
      if (row == kMirror) testimg::SetPixel(out, x, y, testimg::GetPixel(in, in.width - 1 - x, y));
      if (row == kInvert && in.bits == 32)
        testimg::SetPixel(out, x, y, testimg::GetPixel(in, x, y) ^ 0x00FFFFFFu);
    }
  if (row == kFlip)  // whole rows move, padding included
    for (uint32_t k = 0; k < in.height; ++k)
      std::copy_n(in.Row(in.height - 1 - k), in.stride, out.Row(k));
  if (row == kInvert && (in.bits == 4 || in.bits == 8)) {
    for (uint32_t i = 0; i < in.colorCount; ++i) {
      out.colors[i].rgbBlue = static_cast<uint8_t>(255 - in.colors[i].rgbBlue);
      out.colors[i].rgbGreen = static_cast<uint8_t>(255 - in.colors[i].rgbGreen);
      out.colors[i].rgbRed = static_cast<uint8_t>(255 - in.colors[i].rgbRed);
    }
  } else if (row == kInvert &&
             in.bits != 32) {  // 1 and 24 bits: every byte of every row, padding included
    for (size_t i = 0; i < in.stride * in.height; ++i)
      out.rows[i] = static_cast<uint8_t>(~in.rows[i]);
  }
  return after;
}

struct CommandCase {
  Row row;
  const char* noImage;
  const char* noMemory;
};
const CommandCase kCommands[] = {
    {kInvert, "Image: No image in window, cannot invert", "Not enough memory to perform operation"},
    {kFlip, "Image: No image in window, cannot flip",
     "Flip: Not enough memory to perform operation"},
    {kMirror, "Image: No image in window, cannot mirror",
     "Mirror: Not enough memory to perform operation"},
};

class Commands : public PluginTest, public testing::WithParamInterface<unsigned> {
 protected:
  // The window still holds `image`, unchanged, unlocked.
  static void ExpectUnchanged(HWND window, HGLOBAL image, const Bytes& before) {
    EXPECT_EQ(ZQ_GetHDib(window), image);
    EXPECT_EQ(GlobalBytes(image), before);
    EXPECT_EQ(LockCount(image), 0);
  }
};

// Each allocation of the plug-in fails in turn (Flip and Mirror: the scratch row; Invert makes
// none): a message, the copy freed, the cursor restored, the window keeps its image. Then the run
// without a failure changes the image by the rule.
TEST_P(Commands, ChangeTheImageByTheirRuleOrKeepItWhenMemoryRunsOut) {
  const unsigned bits = GetParam();
  for (const CommandCase& command : kCommands) {
    int failures = 0;
    for (int n = 1;; ++n) {
      TestWindow window;
      HGLOBAL image = Hold(window, bits, 13, 40, 3 + command.row);
      const Bytes before = GlobalBytes(image);
      ClearCalls();
      Recorded().failAlloc = n;
      DWORD value = 0;
      ASSERT_EQ(RunCommand(window, command.row, &value), 2);
      const Strings log = HostLog();
      ASSERT_EQ(Recorded().cursors.size(), 2u) << "the wait cursor, then the cursor it replaced";
      EXPECT_EQ(Recorded().cursors[0], LoadCursorA(nullptr, IDC_WAIT));
      if (Recorded().allocs >= n) {
        ++failures;
        ExpectOneMessage(command.noMemory);
        ExpectUnchanged(window, image, before);
        EXPECT_EQ(Recorded().frees, std::vector<HGLOBAL>{KX_LastCopy()})
            << "only the copy is left to free";
        EXPECT_EQ(std::count(log.begin(), log.end(), "ZQ_SetHDib"), 0);
        ASSERT_LT(n, 10);
        continue;
      }
      EXPECT_EQ(value, 1u);
      HGLOBAL result = ZQ_GetHDib(window);
      EXPECT_EQ(result, KX_LastCopy()) << "the copy is handed to the window";
      EXPECT_EQ(LockCount(result), 0);
      EXPECT_EQ(GlobalBytes(result), Expected(command.row, before))
          << "row " << command.row << ", " << bits;
      EXPECT_TRUE(Recorded().boxes.empty());
      // The host calls, in order; Invert shows its meter for the row-wise depths only.
      Strings expected = {"ZQ_GetHDib", "ZQ_CopyHDib"};
      if (command.row == kInvert) expected.push_back("ZQ_GetOwnerWnd");
      if (command.row == kInvert && bits != 4 && bits != 8)
        expected.insert(expected.end(),
                        {"ZQ_ProgressOpen Inverting image", "ZQ_ProgressRange 0 40",
                         "ZQ_ProgressStep 0", "ZQ_ProgressStep 16", "ZQ_ProgressStep 32",
                         "ZQ_ProgressStep 39", "ZQ_ProgressStep 40", "ZQ_ProgressClose"});
      expected.push_back("ZQ_SetHDib");
      EXPECT_EQ(log, expected) << "row " << command.row << ", " << bits;
      EXPECT_FALSE(KX_ProgressVisible());
      break;
    }
    EXPECT_EQ(failures, command.row == kInvert ? 0 : 1) << "row " << command.row;
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, Commands, testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

// A window without an image, and a copy the host cannot make: a message, the image kept, the
// cursor never changed.
TEST_F(Commands, ReportNoImageAndNoCopy) {
  for (const CommandCase& command : kCommands) {
    TestWindow empty, window;
    Plugin().imageActivate(empty, 1, 0);
    ClearCalls();
    EXPECT_EQ(RunCommand(empty, command.row), 2);
    ExpectOneMessage(command.noImage);
    EXPECT_EQ(HostLog(), Strings{"ZQ_GetHDib"});

    HGLOBAL image = Hold(window, 8, 13, 40, 5);
    const Bytes before = GlobalBytes(image);
    ClearCalls();
    KX_FailCall(KX_FAIL_COPY, 1);
    EXPECT_EQ(RunCommand(window, command.row), 2);
    ExpectOneMessage(command.noMemory);
    EXPECT_EQ(HostLog(), (Strings{"ZQ_GetHDib", "ZQ_CopyHDib"}));
    EXPECT_TRUE(Recorded().cursors.empty());
    ExpectUnchanged(window, image, before);
  }
}

}  // namespace
