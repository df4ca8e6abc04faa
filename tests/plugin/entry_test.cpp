// Entry points: version check, start-up, activation, menu state, dispatch with its busy guard,
// status-line help, icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/korvex.h"
#include "plugin/host_api.h"
#include "resources/text_ids.h"
#include "tests/plugin/harness.h"
#include "tests/plugin/plugin_test.h"
#include "tests/support/images.h"

namespace {

using harness::HostLog;
using harness::HostLogStarting;
using harness::MessageBoxes;
using harness::MessageTexts;
using harness::Plugin;
using harness::TestWindow;
using Strings = std::vector<std::string>;

// The rows that carry a command in this build, and those whose commands come later.
constexpr int kRowsWithCommands[] = {0, 1, 2};
constexpr int kRowsWithoutCommands[] = {4, 5, 6, 7, 8, 9};

// Puts a small 24-bit image into the window and makes it the active one.
void HoldImage(HWND window) {
  KX_AttachImage(window, harness::ToGlobal(testimg::Make(24, 5, 3, 7)));
  Plugin().imageActivate(window, 1, 0);
}

TEST(Version, AcceptsOnly0101AndNamesTheWrongByte) {
  struct Case {
    UINT version;
    BOOL accepted;
    const char* message;
  } cases[] = {
      {0x0101, 1, nullptr},
      {0x7F0101, 1, nullptr},  // only the low 16 bits are the version
      {0x0201, 0, "Image: Incorrect version number (1)"},
      {0x0001, 0, "Image: Incorrect version number (1)"},
      {0x0102, 0, "Image: Incorrect version number (2)"},
      {0x0100, 0, "Image: Incorrect version number (2)"},
  };
  for (const Case& c : cases) {
    harness::ClearCalls();
    EXPECT_EQ(Plugin().version(c.version, 0, 0), c.accepted) << std::hex << c.version;
    if (!c.message) {
      EXPECT_TRUE(MessageBoxes().empty()) << std::hex << c.version;
      continue;
    }
    ASSERT_EQ(MessageBoxes().size(), 1u) << std::hex << c.version;
    const harness::MessageBoxCall& box = MessageBoxes()[0];
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.shownText, c.message);
    EXPECT_EQ(box.style, 0u) << "the version messages are not task-modal";
    EXPECT_TRUE(box.captionNull);
    EXPECT_EQ(box.ownerArgument, nullptr);
  }
}

TEST(Init, BuildsTheMenuLoadsSettingsAndRegistersTheClasses) {
  UnregisterClassA("ColorCtrl", Plugin().module);
  UnregisterClassA("StatColorCtrl", Plugin().module);
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin(6000, 1));
  const Strings log = HostLog();
  ASSERT_GE(log.size(), 10u);
  EXPECT_EQ(log[0], "ZQ_ReserveMenu 1");
  for (int i = 0; i < 9; ++i) EXPECT_EQ(log[1 + i], "ZQ_ReserveMenuId " + std::to_string(6000 + i));
  EXPECT_EQ(HostLogStarting("ProfileOpen"), Strings(4, "ProfileOpen Image")) << "scale, frame, mask, tile";
  EXPECT_EQ(HostLogStarting("ProfileClose").size(), 4u);
  EXPECT_TRUE(MessageBoxes().empty());
  EXPECT_EQ(harness::RegisterClassCount(), 2) << "ColorCtrl and StatColorCtrl, once each";

  WNDCLASSA wc;
  ASSERT_TRUE(GetClassInfoA(Plugin().module, "ColorCtrl", &wc));
  EXPECT_EQ(wc.style, UINT{CS_HREDRAW | CS_VREDRAW});
  EXPECT_EQ(wc.cbWndExtra, 0);
  EXPECT_EQ(reinterpret_cast<void*>(wc.lpfnWndProc), reinterpret_cast<void*>(GetProcAddress(Plugin().module, "COL_ColorCtrlProc")));
  ASSERT_TRUE(GetClassInfoA(Plugin().module, "StatColorCtrl", &wc));
  EXPECT_EQ(wc.cbWndExtra, 4);
  EXPECT_EQ(wc.hbrBackground, GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(reinterpret_cast<void*>(wc.lpfnWndProc), reinterpret_cast<void*>(GetProcAddress(Plugin().module, "STA_StatColorCtrlProc")));
}

TEST(Init, AppendsTheNineCommandsAndASeparatorToThePopup) {
  harness::ClearCalls();
  HMENU bar = CreateMenu();
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar, nullptr, nullptr);
  KX_SetFrame(frame, nullptr);
  ASSERT_TRUE(harness::InitPlugin(7000, 1));
  KX_SetFrame(nullptr, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 1);
  HMENU popup = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(popup), 10);
  const char* texts[] = {"Invert Image", "Flip Image", "Mirror Image", "", "Crop...", "Scale...",
                         "Rotate...", "Frame/Caption...", "Tile...", "Mask..."};
  for (int row = 0; row < 10; ++row) {
    char text[64] = {};
    GetMenuStringA(popup, static_cast<UINT>(row), text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, texts[row]) << "row " << row;
    EXPECT_EQ(GetMenuItemID(popup, row), row == 3 ? 0u : harness::MenuId(row)) << "row " << row;
    EXPECT_EQ((GetMenuState(popup, static_cast<UINT>(row), MF_BYPOSITION) & MF_SEPARATOR) != 0, row == 3);
  }
  DestroyWindow(frame);
}

TEST(Init, ReportsAMissingPopupMenu) {
  harness::ClearCalls();
  KX_FailCall(KX_FAIL_MENU, 1);
  EXPECT_FALSE(harness::InitPlugin());
  EXPECT_EQ(MessageTexts(), Strings{"Image: Cannot add popup menu"});
  EXPECT_EQ(MessageBoxes()[0].style, UINT{MB_TASKMODAL});
  EXPECT_TRUE(MessageBoxes()[0].captionNull);
  EXPECT_EQ(HostLog(), Strings{"ZQ_ReserveMenu 1"});
}

TEST(Init, ReportsAReservedIdOfZeroAndStops) {
  // The fourth reservation (row 4, "Crop...") fails: three commands and the separator are in the
  // menu, nothing further is reserved, loaded or registered.
  harness::ClearCalls();
  HMENU bar = CreateMenu();
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar, nullptr, nullptr);
  KX_SetFrame(frame, nullptr);
  KX_FailCall(KX_FAIL_MENU_ID, 4);
  EXPECT_FALSE(harness::InitPlugin());
  KX_SetFrame(nullptr, nullptr);
  EXPECT_EQ(MessageTexts(), Strings{"Image: Cannot get menu id from library"});
  EXPECT_EQ(HostLogStarting("ZQ_ReserveMenuId").size(), 4u);
  EXPECT_TRUE(HostLogStarting("ProfileOpen").empty());
  EXPECT_EQ(harness::RegisterClassCount(), 0);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 0)), 4);
  DestroyWindow(frame);
}

TEST(Init, RegistersAClassThatIsAlreadyThereAgain) {
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());  // both classes are left from the first start
  EXPECT_EQ(harness::RegisterClassCount(), 4) << "each: refused, unregistered, registered again";
  EXPECT_TRUE(MessageBoxes().empty());
  WNDCLASSA wc;
  EXPECT_TRUE(GetClassInfoA(Plugin().module, "StatColorCtrl", &wc));
}

TEST(Init, GivesUpWhenAClassCannotBeRegisteredTwice) {
  harness::ClearCalls();
  harness::FailRegisterClass({1, 2});
  EXPECT_FALSE(harness::InitPlugin());
  EXPECT_EQ(MessageTexts(), Strings{"Image DLL: Cannot initialize, cannot load"});
  EXPECT_EQ(harness::RegisterClassCount(), 2) << "StatColorCtrl is not attempted after ColorCtrl failed";
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());
}

class Activation : public PluginTest {};

TEST_F(Activation, AcceptsOnlyEligibleGenericWindows) {
  struct Case {
    const char* className;
    int flag;  // a host flag set on the window, 0 for none
    bool accepted;
  } cases[] = {
      {"GenericWClass", 0, true},   {"GenericWClass", 4, true},    {"GenericWClass", 64, false},
      {"GenericWClass", 512, false}, {"GenericWClass", 1024, false}, {"genericwclass", 0, false},
      {"GenericWClassX", 0, false},  {"Generic", 0, false},
  };
  for (const Case& c : cases) {
    // Another module's class, since this program's "GenericWClass" also answers to "genericwclass".
    TestWindow window(c.className, std::string(c.className) == "GenericWClass" ? nullptr : GetModuleHandleA("TALMOR.DLL"));
    KX_AttachImage(window, harness::ToGlobal(testimg::Make(8, 4, 4, 1)));
    if (c.flag) KX_SetFlag(window, c.flag, TRUE);
    EXPECT_EQ(Plugin().imageActivate(window, 1, 0), 1);
    // Flip runs only on the active window.
    EXPECT_EQ(harness::RunCommand(window, 1), c.accepted ? 2 : 0) << c.className << " flag " << c.flag;
  }
}

TEST_F(Activation, DeactivatingAnyWindowClearsTheActiveOne) {
  TestWindow active, other;
  HoldImage(active);
  EXPECT_EQ(Plugin().imageActivate(other, 0, 0), 1);
  EXPECT_EQ(harness::RunCommand(active, 1), 0);
  HoldImage(active);
  Plugin().imageActivate(active, 0x10000, 0);  // only the low 16 bits say "activating"
  EXPECT_EQ(harness::RunCommand(active, 1), 0);
}

class MenuState : public PluginTest {
 protected:
  // Whether each command row is greyed in `menu`.
  static std::vector<bool> Greyed(HMENU menu) {
    std::vector<bool> greyed;
    for (int row = 0; row < 10; ++row)
      if (row != 3) greyed.push_back((GetMenuState(menu, harness::MenuId(row), MF_BYCOMMAND) & MF_GRAYED) != 0);
    return greyed;
  }
  HMENU MenuWithOurIds() {
    HMENU menu = CreatePopupMenu();
    for (int row = 0; row < 10; ++row)
      if (row != 3) AppendMenuA(menu, MF_STRING, harness::MenuId(row), "x");
    return menu;
  }
};

TEST_F(MenuState, GreysEveryCommandTogether) {
  HMENU menu = MenuWithOurIds();
  TestWindow window;
  const std::vector<bool> all(9, true), none(9, false);

  EXPECT_EQ(Plugin().menuInit(0, menu, 0), 1);
  EXPECT_EQ(Greyed(menu), all) << "no active window";

  Plugin().imageActivate(window, 1, 0);
  Plugin().menuInit(0, menu, 0);
  EXPECT_EQ(Greyed(menu), all) << "active window without image";

  KX_AttachImage(window, harness::ToGlobal(testimg::Make(4, 3, 3, 1)));
  Plugin().menuInit(0, menu, 0);
  EXPECT_EQ(Greyed(menu), none) << "active window with image";

  KX_SetFlag(window, 512, TRUE);  // set after activation: MenuInit looks again
  Plugin().menuInit(0, menu, 0);
  EXPECT_EQ(Greyed(menu), all) << "flag 512 set on the active window";
  DestroyMenu(menu);
}

class Dispatch : public PluginTest {};

TEST_F(Dispatch, RunsTableCommandsAndWritesTheValue) {
  TestWindow window;
  HoldImage(window);
  for (int row : kRowsWithCommands) {
    DWORD value = 77;
    EXPECT_EQ(harness::RunCommand(window, row, &value), 2) << "row " << row;
    EXPECT_EQ(value, 1u) << "row " << row;
  }
  // The command acts on the active window, not on the window argument.
  TestWindow other;
  harness::ClearHostLog();
  DWORD value = 0;
  EXPECT_EQ(Plugin().menuHandler(other, harness::MenuId(1), &value), 2);
  EXPECT_EQ(HostLogStarting("ZQ_SetHDib").size(), 1u);
  EXPECT_NE(ZQ_GetHDib(window), nullptr);
  EXPECT_EQ(ZQ_GetHDib(other), nullptr);
}

TEST_F(Dispatch, LeavesIdsThatAreNotOursOrNotYetAvailable) {
  TestWindow window;
  HoldImage(window);
  std::vector<UINT> ids = {harness::MenuId(0) - 1, harness::MenuId(9) + 1, 0, 4121, 4122};
  for (int row : kRowsWithoutCommands) ids.push_back(harness::MenuId(row));
  for (UINT id : ids) {
    harness::ClearHostLog();
    DWORD value = 77;
    EXPECT_EQ(Plugin().menuHandler(window, id, &value), 0) << id;
    EXPECT_EQ(value, 77u) << id;
    EXPECT_EQ(HostLog(), Strings{}) << id;
  }
  EXPECT_EQ(harness::RunCommand(window, 0), 2) << "not left busy";
}

TEST_F(Dispatch, LeavesAnIdBetweenOursAlone) {
  // Ids 5000, 5002, ...: another plug-in took the ones between.
  ASSERT_TRUE(harness::InitPlugin(5000, 2));
  TestWindow window;
  HoldImage(window);
  DWORD value = 77;
  EXPECT_EQ(Plugin().menuHandler(window, 5001, &value), 0);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(harness::RunCommand(window, 2), 2) << "not left busy";
  EXPECT_EQ(harness::MenuId(2), 5004u);
}

TEST_F(Dispatch, RefusesEverythingButScaleSettingsWithoutAnActiveWindow) {
  TestWindow window;
  KX_AttachImage(window, harness::ToGlobal(testimg::Make(24, 2, 2, 1)));
  for (UINT id : {harness::MenuId(0), harness::MenuId(1), harness::MenuId(9), 4122u}) {
    DWORD value = 77;
    EXPECT_EQ(Plugin().menuHandler(window, id, &value), 0) << id;
    EXPECT_EQ(value, 77u);
  }
  EXPECT_EQ(HostLog(), Strings{}) << "nothing is called";
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST(HelpHandler, ShowsTheRowsHelpOnTheStatusLine) {
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());
  const char* help[] = {"Invert the image in the active window",
                        "Flip (vertical) the image in the active window upside down",
                        "Mirror (horizontal flip) the image in the active window",
                        nullptr,
                        "Crop image in active window to new dimensions",
                        "Enlarge / Shrink / Adjust aspect of the image in the active window",
                        "Rotate the image in the active window",
                        "Add margins and/or borders in the image in active window",
                        "Create tiled version of image in active window",
                        "Mask image in active window"};
  for (int row = 0; row < 10; ++row) {
    if (!help[row]) continue;
    harness::ClearHostLog();
    DWORD out = 0;
    EXPECT_EQ(Plugin().helpHandler(0, harness::MenuId(row), 0, &out), 2);
    EXPECT_EQ(out, 1u);
    EXPECT_EQ(HostLog(), Strings{std::string("ZQ_StatusText ") + help[row]});
  }
  harness::ClearHostLog();
  DWORD out = 5;
  EXPECT_EQ(Plugin().helpHandler(0, harness::MenuId(0), 1, &out), 0) << "nonzero selector";
  EXPECT_EQ(Plugin().helpHandler(0, harness::MenuId(0) + 0x10000, 0x10000, &out), 2) << "16-bit arguments";
  EXPECT_EQ(Plugin().helpHandler(0, harness::MenuId(9) + 1, 0, &out), 0);
  EXPECT_EQ(Plugin().helpHandler(0, 4121, 0, &out), 0);
  EXPECT_EQ(Plugin().helpHandler(0, 0, 0, &out), 0);
}

TEST(Icon, IsResource600AndExitSteps) {
  HICON icon = Plugin().icon();
  ASSERT_NE(icon, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap;
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 32);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(Plugin().queryExit(), 1);
  Plugin().wep(0);
}

// While a command runs, the host's progress meter dispatches queued messages; a menu-handler call
// made from one of them only moves the queue on, and a quit message stays for the host.
class Reentry : public PluginTest {
 protected:
  static inline std::vector<int> results;
  static LRESULT CALLBACK ProbeProc(HWND probe, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcA(probe, message, wParam, lParam);
    DWORD value = 55;
    results.push_back(Plugin().menuHandler(reinterpret_cast<HWND>(lParam), harness::MenuId(1), &value));
    EXPECT_EQ(value, 55u);
    return 0;
  }
};

TEST_F(Reentry, NeverStartsASecondCommandAndKeepsTheQuitMessage) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ReentryProbe";
  RegisterClassA(&wc);
  HWND probe = CreateWindowExA(0, "ReentryProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  TestWindow window;
  HGLOBAL image = harness::ToGlobal(testimg::Make(24, 3, 40, 9));
  const std::vector<uint8_t> before = harness::GlobalBytes(image);
  KX_AttachImage(window, image);
  Plugin().imageActivate(window, 1, 0);

  results.clear();
  PostMessageA(probe, WM_APP, 0, reinterpret_cast<LPARAM>(static_cast<HWND>(window)));
  PostMessageA(probe, WM_APP, 0, reinterpret_cast<LPARAM>(static_cast<HWND>(window)));
  PostQuitMessage(42);
  DWORD value = 0;
  EXPECT_EQ(harness::RunCommand(window, 0, &value), 2);  // Invert, with its progress meter
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(results, (std::vector<int>{0, 0}));

  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT{WM_QUIT});
  EXPECT_EQ(msg.wParam, 42u);
  // Inverted once (24 bits: every byte of the rows), never flipped.
  const std::vector<uint8_t> after = harness::GlobalBytes(ZQ_GetHDib(window));
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 40; i < after.size(); ++i) ASSERT_EQ(after[i], static_cast<uint8_t>(~before[i])) << i;
  EXPECT_EQ(HostLogStarting("ZQ_SetHDib").size(), 1u);
  DestroyWindow(probe);
}

}  // namespace
