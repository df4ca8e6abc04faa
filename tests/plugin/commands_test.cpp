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
#include "tests/plugin/plugin_test.h"
#include "tests/support/images.h"

namespace {

using harness::HostLog;
using harness::MessageBoxes;
using harness::TestWindow;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

enum Row { kInvert = 0, kFlip = 1, kMirror = 2 };
constexpr uint32_t kWidth = 13, kHeight = 40;

DibView Describe(Bytes& bytes) {
  DibView v;
  EXPECT_TRUE(DescribeDib(bytes.data(), bytes.size(), v));
  return v;
}

// The expected result of a command on `before`, written pixel by pixel (and colour entry by
// colour entry) from the command's rule, independently of the engines.
Bytes Expected(Row row, Bytes before) {
  Bytes after = before;
  DibView in = Describe(before), out = Describe(after);
  for (uint32_t y = 0; y < in.height; ++y)
    for (uint32_t x = 0; x < in.width; ++x) {
      if (row == kFlip) testimg::SetPixel(out, x, y, testimg::GetPixel(in, x, in.height - 1 - y));
      if (row == kMirror) testimg::SetPixel(out, x, y, testimg::GetPixel(in, in.width - 1 - x, y));
    }
  if (row == kFlip)  // whole rows move, padding included
    for (uint32_t k = 0; k < in.height; ++k) std::copy_n(in.Row(in.height - 1 - k), in.stride, out.Row(k));
  if (row == kInvert) {
    if (in.bits == 4 || in.bits == 8) {
      for (uint32_t i = 0; i < in.colorCount; ++i) {
        out.colors[i].rgbBlue = static_cast<uint8_t>(255 - in.colors[i].rgbBlue);
        out.colors[i].rgbGreen = static_cast<uint8_t>(255 - in.colors[i].rgbGreen);
        out.colors[i].rgbRed = static_cast<uint8_t>(255 - in.colors[i].rgbRed);
      }
    } else if (in.bits == 32) {
      for (uint32_t y = 0; y < in.height; ++y)
        for (uint32_t x = 0; x < in.width; ++x)
          testimg::SetPixel(out, x, y, testimg::GetPixel(in, x, y) ^ 0x00FFFFFFu);
    } else {  // 1 and 24 bits: every byte of every row, padding included
      for (size_t i = 0; i < in.stride * in.height; ++i) out.rows[i] = static_cast<uint8_t>(~in.rows[i]);
    }
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
    {kFlip, "Image: No image in window, cannot flip", "Flip: Not enough memory to perform operation"},
    {kMirror, "Image: No image in window, cannot mirror", "Mirror: Not enough memory to perform operation"},
};

class Commands : public PluginTest, public testing::WithParamInterface<unsigned> {
 protected:
  // A window holding a fresh test image of `bits` (the parameter when 0), active.
  HGLOBAL Hold(TestWindow& window, uint32_t seed, unsigned bits = 0) {
    HGLOBAL image = harness::ToGlobal(testimg::Make(bits ? bits : GetParam(), kWidth, kHeight, seed));
    KX_AttachImage(window, image);
    Activate(window);
    harness::ClearCalls();
    return image;
  }
  static void ExpectOneMessage(const char* text) {
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].shownText, text);
    EXPECT_EQ(MessageBoxes()[0].style, UINT{MB_TASKMODAL});
  }
  // The window still holds `image`, unchanged, unlocked.
  static void ExpectUnchanged(HWND window, HGLOBAL image, const Bytes& before) {
    EXPECT_EQ(ZQ_GetHDib(window), image);
    EXPECT_EQ(harness::GlobalBytes(image), before);
    EXPECT_EQ(harness::LockCount(image), 0);
  }
};

TEST_P(Commands, ChangeTheImageByTheirRule) {
  const unsigned bits = GetParam();
  for (const CommandCase& command : kCommands) {
    TestWindow window;
    const Bytes before = harness::GlobalBytes(Hold(window, 3 + command.row));
    DWORD value = 0;
    ASSERT_EQ(harness::RunCommand(window, command.row, &value), 2);
    const Strings log = HostLog();
    EXPECT_EQ(value, 1u);
    HGLOBAL result = ZQ_GetHDib(window);
    EXPECT_EQ(result, KX_LastCopy()) << "the copy is handed to the window";
    EXPECT_EQ(harness::LockCount(result), 0);
    EXPECT_EQ(harness::GlobalBytes(result), Expected(command.row, before)) << "row " << command.row << ", " << bits << " bits";
    EXPECT_TRUE(MessageBoxes().empty());

    // The host calls, in order; Invert shows its meter for the row-wise depths only.
    Strings expected = {"ZQ_GetHDib", "ZQ_CopyHDib"};
    if (command.row == kInvert) {
      expected.push_back("ZQ_GetOwnerWnd");
      if (bits != 4 && bits != 8)
        expected.insert(expected.end(), {"ZQ_ProgressOpen Inverting image", "ZQ_ProgressRange 0 40", "ZQ_ProgressStep 0",
                                         "ZQ_ProgressStep 16", "ZQ_ProgressStep 32", "ZQ_ProgressStep 39",
                                         "ZQ_ProgressStep 40", "ZQ_ProgressClose"});
    }
    expected.push_back("ZQ_SetHDib");
    EXPECT_EQ(log, expected) << "row " << command.row << ", " << bits << " bits";
    // The wait cursor around the work, then the cursor it replaced.
    ASSERT_EQ(harness::CursorsSet().size(), 2u);
    EXPECT_EQ(harness::CursorsSet()[0], LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_FALSE(KX_ProgressVisible());
  }
}

// A window without an image, and a copy the host cannot make: a message, the image kept, the
// cursor never changed.
TEST_F(Commands, ReportNoImageAndNoCopy) {
  for (const CommandCase& command : kCommands) {
    TestWindow empty, window;
    Activate(empty);
    harness::ClearCalls();
    EXPECT_EQ(harness::RunCommand(empty, command.row), 2);
    ExpectOneMessage(command.noImage);
    EXPECT_EQ(HostLog(), Strings{"ZQ_GetHDib"});

    HGLOBAL image = Hold(window, 5, 8);
    const Bytes before = harness::GlobalBytes(image);
    KX_FailCall(KX_FAIL_COPY, 1);
    EXPECT_EQ(harness::RunCommand(window, command.row), 2);
    ExpectOneMessage(command.noMemory);
    EXPECT_EQ(HostLog(), (Strings{"ZQ_GetHDib", "ZQ_CopyHDib"}));
    EXPECT_TRUE(harness::CursorsSet().empty());
    ExpectUnchanged(window, image, before);
  }
}

// Every allocation of the plug-in fails in turn (Flip and Mirror: the scratch row; Invert makes
// none). The copy is freed, the cursor restored, the window keeps its image.
TEST_P(Commands, KeepTheImageAtEveryAllocationFailure) {
  for (const CommandCase& command : kCommands) {
    int failures = 0;
    for (int n = 1;; ++n) {
      TestWindow window;
      HGLOBAL image = Hold(window, 6);
      const Bytes before = harness::GlobalBytes(image);
      const int start = harness::GlobalAllocCount();
      harness::FailGlobalAlloc(n);
      EXPECT_EQ(harness::RunCommand(window, command.row), 2);
      if (harness::GlobalAllocCount() - start < n) break;  // ran to the end without failing
      ++failures;
      ExpectOneMessage(command.noMemory);
      ExpectUnchanged(window, image, before);
      EXPECT_EQ(harness::Frees(), std::vector<HGLOBAL>{KX_LastCopy()}) << "only the copy is left to free";
      EXPECT_EQ(harness::CursorsSet().size(), 2u) << "the wait cursor is restored";
      EXPECT_TRUE(harness::HostLogStarting("ZQ_SetHDib").empty());
      ASSERT_LT(n, 10);
    }
    EXPECT_EQ(failures, command.row == kInvert ? 0 : 1) << "row " << command.row;
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, Commands, testing::ValuesIn(testimg::kDepths),
                         [](const testing::TestParamInfo<unsigned>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
