// Invert, Flip and Mirror end to end through ZQ_ImgLib_MenuHandler: the window's result against the
// engine on the same bytes (the engines' rules are proven natively), the host calls and progress
// steps, the wait cursor, and every failure path.

#include "dib/transforms.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

struct CommandCase {
  int row;
  TextId noImage, noMemory;
  bool (*engine)(HostBlock);
  int allocations;  // the plug-in's own: Flip's and Mirror's scratch row
};
const CommandCase kCommands[] = {
    {0, IDS_INVERT_NO_IMAGE, IDS_INVERT_NO_MEMORY,
     [](HostBlock dib) { return InvertDib(dib, nullptr); }, 0},
    {1, IDS_FLIP_NO_IMAGE, IDS_FLIP_NO_MEMORY, FlipDib, 1},
    {2, IDS_MIRROR_NO_IMAGE, IDS_MIRROR_NO_MEMORY, MirrorDib, 1},
};

using Commands = PluginTest;

// On a 24-bit image (each depth is the engines', proven natively), each allocation of the plug-in
// fails in turn: a message, the copy freed, the cursor restored, the window keeps its image. Then
// the run without a failure shows the engine's result.
TEST_F(Commands, ChangeTheImageAsTheEngineDoesOrKeepItWhenMemoryRunsOut) {
  for (const CommandCase& command : kCommands)
    for (int n = 1; n <= command.allocations + 1; ++n) {
      SCOPED_TRACE(testimg::Cat("row ", command.row, ", allocation ", n));
      TestWindow window;
      HGLOBAL image = Hold(window, 24, 13, 40, 3 + static_cast<uint32_t>(command.row));
      const Bytes before = GlobalBytes(image);
      ClearCalls();
      FailCall("GlobalAlloc", n);
      DWORD value = 0;
      ASSERT_EQ(RunCommand(window, command.row, &value), 2);
      const Strings log = HostLog();
      ASSERT_EQ(Recorded().cursors.size(), 2u) << "the wait cursor, then the cursor it replaced";
      EXPECT_EQ(Recorded().cursors[0], LoadCursorA(nullptr, IDC_WAIT));
      EXPECT_EQ(Recorded().calls["GlobalAlloc"],
                n <= command.allocations ? n : command.allocations);
      if (n <= command.allocations) {
        ExpectOneMessage(command.noMemory);
        ExpectKept(window, image, before);
        EXPECT_EQ(Recorded().frees, std::vector<HGLOBAL>{KX_LastCopy()}) << "only the copy freed";
        continue;
      }
      EXPECT_EQ(value, 1u);
      HGLOBAL result = ZQ_GetHDib(window);
      EXPECT_EQ(result, KX_LastCopy()) << "the copy is handed to the window";
      EXPECT_EQ(LockCount(result), 0);
      EXPECT_EQ(GlobalBytes(result), EngineResult(before, [&](HostBlock dib) {
                  return command.engine(dib) ? dib : nullptr;
                }));
      EXPECT_TRUE(Recorded().boxes.empty());
      // The host calls, in order; Invert shows its meter (its steps are the engine's, tested
      // natively), owned by the window's owner.
      const Strings meter = HostLog("ZQ_Progress");
      Strings expected = {"ZQ_GetHDib", "ZQ_CopyHDib"};
      if (command.row == 0) expected.push_back("ZQ_GetOwnerWnd");
      expected.insert(expected.end(), meter.begin(), meter.end());
      expected.push_back("ZQ_SetHDib");
      EXPECT_EQ(meter.empty(), command.row != 0);
      EXPECT_TRUE(meter.empty() || (meter[0] == "ZQ_ProgressOpen Inverting image" &&
                                    KX_ProgressOwner() == window.hwnd));
      EXPECT_EQ(log, expected);
      EXPECT_FALSE(KX_ProgressVisible());
    }
}

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
    ExpectKept(window, image, before);
  }
}

// An image the engines refuse (16 bits per pixel) is refused by each dialog command before its
// dialog opens (a dialog without a script fails the test): the engines' text once, and no host call
// after the image test.
TEST_F(Commands, DialogCommandsRefuseAnImageTheEnginesCannotTakeBeforeAsking) {
  const Strings image = {"ZQ_GetHDib"}, withPalette = {"ZQ_GetHDib", "ZQ_GetHPalette"};
  const std::pair<int, Strings> cases[] = {{4, withPalette}, {5, image}, {6, withPalette},
                                           {7, withPalette}, {8, image}, {9, image}};
  for (const auto& [row, log] : cases) {
    TestWindow window;
    HGLOBAL sixteen = Hold(window, 24);
    static_cast<BitmapInfoHeader*>(GlobalLock(sixteen))->biBitCount = 16;
    GlobalUnlock(sixteen);
    const Bytes before = GlobalBytes(sixteen);
    ClearCalls();
    EXPECT_EQ(RunCommand(window, row), 2) << row;
    ExpectOneMessage(IDS_UNSUPPORTED_IMAGE);
    EXPECT_EQ(HostLog(), log) << row;
    EXPECT_TRUE(Recorded().cursors.empty()) << row;
    ExpectKept(window, sixteen, before, std::to_string(row));
  }
}

}  // namespace
