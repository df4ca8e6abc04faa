// Entry points: version check, start-up and its failures, activation, menu state, dispatch with
// its busy guard, status-line help, icon.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/korvex.h"
#include "plugin/host_api.h"
#include "tests/plugin/harness.h"
#include "tests/plugin/plugin_test.h"
#include "tests/support/images.h"

namespace {

using harness::HostLog;
using harness::HostLogStarting;
using harness::MessageBoxes;
using harness::Plugin;
using harness::TestWindow;
using Strings = std::vector<std::string>;

// Puts a small 24-bit image into the window and makes it the active one.
void HoldImage(HWND window) {
  KX_AttachImage(window, harness::ToGlobal(testimg::Make(24, 5, 3, 7)));
  Plugin().imageActivate(window, 1, 0);
}

TEST(Version, AcceptsOnly0101AndNamesTheWrongByte) {
  const struct {
    UINT version;
    const char* message;  // null: accepted
  } cases[] = {
      {0x0101, nullptr}, {0x7F0101, nullptr},  // only the low 16 bits are the version
      {0x0201, "Image: Incorrect version number (1)"}, {0x0001, "Image: Incorrect version number (1)"},
      {0x0102, "Image: Incorrect version number (2)"}, {0x0100, "Image: Incorrect version number (2)"},
  };
  for (const auto& c : cases) {
    harness::ClearCalls();
    EXPECT_EQ(Plugin().version(c.version, 0, 0), c.message ? 0 : 1) << std::hex << c.version;
    ASSERT_EQ(MessageBoxes().size(), c.message ? 1u : 0u) << std::hex << c.version;
    if (!c.message) continue;
    const harness::MessageBoxCall& box = MessageBoxes()[0];
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.shownText, c.message);
    EXPECT_EQ(box.style, 0u) << "the version messages are not task-modal";
    EXPECT_TRUE(box.captionNull);
    EXPECT_EQ(box.ownerArgument, nullptr);
  }
}

// Starts the plug-in (ids from `firstId`) under a frame whose menu bar receives its popup; returns
// Init's result and the popup's items as "text id" ("- 0" for a separator).
BOOL InitInFrame(UINT firstId, Strings& items) {
  HMENU bar = CreateMenu();
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar, nullptr, nullptr);
  KX_SetFrame(frame, nullptr);
  const BOOL result = harness::InitPlugin(firstId, 1);
  KX_SetFrame(nullptr, nullptr);
  HMENU popup = GetSubMenu(bar, 0);
  items.clear();
  for (int i = 0; popup && i < GetMenuItemCount(popup); ++i) {
    char text[64] = "-";
    GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    items.push_back(std::string(text[0] ? text : "-") + " " + std::to_string(GetMenuItemID(popup, i)));
  }
  EXPECT_EQ(GetMenuItemCount(bar), popup ? 1 : 0);
  DestroyWindow(frame);
  return result;
}

TEST(Init, BuildsTheMenuLoadsSettingsAndRegistersTheClasses) {
  UnregisterClassA("ColorCtrl", Plugin().module);
  UnregisterClassA("StatColorCtrl", Plugin().module);
  harness::ClearCalls();
  Strings items;
  ASSERT_TRUE(InitInFrame(7000, items));
  const Strings log = HostLog();
  ASSERT_GE(log.size(), 10u);
  EXPECT_EQ(log[0], "ZQ_ReserveMenu 1");
  for (int i = 0; i < 9; ++i) EXPECT_EQ(log[1 + i], "ZQ_ReserveMenuId " + std::to_string(7000 + i));
  EXPECT_EQ(HostLogStarting("ProfileOpen"), Strings(4, "ProfileOpen Image")) << "scale, frame, mask, tile";
  EXPECT_EQ(HostLogStarting("ProfileClose").size(), 4u);
  EXPECT_TRUE(MessageBoxes().empty());
  EXPECT_EQ(harness::RegisterClassCount(), 2) << "ColorCtrl and StatColorCtrl, once each";
  const Strings expected = {"Invert Image 7000", "Flip Image 7001", "Mirror Image 7002", "- 0",
                            "Crop... 7003",      "Scale... 7004",   "Rotate... 7005",    "Frame/Caption... 7006",
                            "Tile... 7007",      "Mask... 7008"};
  EXPECT_EQ(items, expected);
  WNDCLASSA wc;
  ASSERT_TRUE(GetClassInfoA(Plugin().module, "ColorCtrl", &wc));
  EXPECT_EQ(wc.style, UINT{CS_HREDRAW | CS_VREDRAW});
  ASSERT_TRUE(GetClassInfoA(Plugin().module, "StatColorCtrl", &wc));
  EXPECT_EQ(wc.hbrBackground, GetStockObject(WHITE_BRUSH));

  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());  // both classes are left from the first start
  EXPECT_EQ(harness::RegisterClassCount(), 4) << "each: refused, unregistered, registered again";
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST(Init, StopsAtEachFailureWithItsMessage) {
  const struct {
    std::function<void()> fail;
    const char* message;
    size_t idsReserved, groupsLoaded;
    int registrations;
    size_t menuItems;
  } cases[] = {
      {[] { KX_FailCall(KX_FAIL_MENU, 1); }, "Image: Cannot add popup menu", 0, 0, 0, 0},
      // The fourth reservation (row 4): three commands and the separator stay in the menu.
      {[] { KX_FailCall(KX_FAIL_MENU_ID, 4); }, "Image: Cannot get menu id from library", 4, 0, 0, 4},
      // ColorCtrl refused twice: StatColorCtrl is not attempted.
      {[] { harness::FailRegisterClass({1, 2}); }, "Image DLL: Cannot initialize, cannot load", 9, 4, 2, 10},
  };
  for (const auto& c : cases) {
    harness::ClearCalls();
    c.fail();
    Strings items;
    EXPECT_FALSE(InitInFrame(5000, items)) << c.message;
    ASSERT_EQ(MessageBoxes().size(), 1u) << c.message;
    EXPECT_EQ(MessageBoxes()[0].shownText, c.message);
    EXPECT_EQ(MessageBoxes()[0].style, UINT{MB_TASKMODAL});
    EXPECT_TRUE(MessageBoxes()[0].captionNull);
    EXPECT_EQ(HostLogStarting("ZQ_ReserveMenuId").size(), c.idsReserved) << c.message;
    EXPECT_EQ(HostLogStarting("ProfileOpen").size(), c.groupsLoaded) << c.message;
    EXPECT_EQ(harness::RegisterClassCount(), c.registrations) << c.message;
    EXPECT_EQ(items.size(), c.menuItems) << c.message;
  }
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());
}

class Activation : public PluginTest {};

TEST_F(Activation, AcceptsOnlyEligibleGenericWindows) {
  const struct {
    const char* className;
    int flag;  // a host flag set on the window, 0 for none
    bool accepted;
  } cases[] = {
      {"GenericWClass", 0, true},    {"GenericWClass", 4, true},     {"GenericWClass", 64, false},
      {"GenericWClass", 512, false}, {"GenericWClass", 1024, false}, {"genericwclass", 0, false},
      {"GenericWClassX", 0, false},  {"Generic", 0, false},
  };
  for (const auto& c : cases) {
    // Another module's class, since this program's "GenericWClass" also answers to "genericwclass".
    TestWindow window(c.className, std::string(c.className) == "GenericWClass" ? nullptr : GetModuleHandleA("TALMOR.DLL"));
    KX_AttachImage(window, harness::ToGlobal(testimg::Make(8, 4, 4, 1)));
    if (c.flag) KX_SetFlag(window, c.flag, TRUE);
    EXPECT_EQ(Plugin().imageActivate(window, 1, 0), 1);
    // Flip runs only on the active window.
    EXPECT_EQ(harness::RunCommand(window, 1), c.accepted ? 2 : 0) << c.className << " flag " << c.flag;
  }
  // Deactivating any window clears the active one; only the low 16 bits say "activating".
  TestWindow active, other;
  for (auto deactivate : {+[](HWND, HWND o) { Plugin().imageActivate(o, 0, 0); },
                          +[](HWND a, HWND) { Plugin().imageActivate(a, 0x10000, 0); }}) {
    HoldImage(active);
    deactivate(active, other);
    EXPECT_EQ(harness::RunCommand(active, 1), 0);
  }
}

TEST_F(PluginTest, MenuInitGreysEveryCommandTogether) {
  HMENU menu = CreatePopupMenu();
  for (int row = 0; row < 10; ++row)
    if (row != 3) AppendMenuA(menu, MF_STRING, harness::MenuId(row), "x");
  auto greyed = [&] {
    EXPECT_EQ(Plugin().menuInit(0, menu, 0), 1);
    std::vector<bool> result;
    for (int row = 0; row < 10; ++row)
      if (row != 3) result.push_back((GetMenuState(menu, harness::MenuId(row), MF_BYCOMMAND) & MF_GRAYED) != 0);
    return result;
  };
  const std::vector<bool> all(9, true), none(9, false);
  TestWindow window;
  EXPECT_EQ(greyed(), all) << "no active window";
  Plugin().imageActivate(window, 1, 0);
  EXPECT_EQ(greyed(), all) << "active window without image";
  KX_AttachImage(window, harness::ToGlobal(testimg::Make(4, 3, 3, 1)));
  EXPECT_EQ(greyed(), none) << "active window with image";
  KX_SetFlag(window, 512, TRUE);  // set after activation: MenuInit looks again
  EXPECT_EQ(greyed(), all) << "flag 512 set on the active window";
  DestroyMenu(menu);
}

class Dispatch : public PluginTest {};

TEST_F(Dispatch, RunsTableCommandsOnTheActiveWindowAndWritesTheValue) {
  TestWindow window, other;
  HoldImage(window);
  for (int row : {0, 1, 2}) {
    DWORD value = 77;
    EXPECT_EQ(harness::RunCommand(window, row, &value), 2) << "row " << row;
    EXPECT_EQ(value, 1u) << "row " << row;
  }
  KX_ClearLog();
  EXPECT_EQ(harness::RunCommand(other, 1), 2);  // the window argument does not matter
  EXPECT_EQ(HostLogStarting("ZQ_SetHDib").size(), 1u);
  EXPECT_EQ(ZQ_GetHDib(other), nullptr);
}

TEST_F(Dispatch, LeavesEveryOtherIdUntouchedAndIsNotLeftBusy) {
  ASSERT_TRUE(harness::InitPlugin(5000, 2));  // another plug-in took the ids between ours
  TestWindow window;
  HoldImage(window);
  std::vector<UINT> ids = {harness::MenuId(0) - 1, harness::MenuId(9) + 1, 0, 4121, 4122, 5001};
  for (int row : {4, 5, 6, 7, 8, 9}) ids.push_back(harness::MenuId(row));  // commands not yet available
  const size_t whileActive = ids.size();
  ids.insert(ids.end(), {harness::MenuId(0), harness::MenuId(1), harness::MenuId(9), 4122u});
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i == whileActive) Plugin().imageActivate(window, 0, 0);
    harness::ClearCalls();
    DWORD value = 77;
    EXPECT_EQ(Plugin().menuHandler(window, ids[i], &value), 0) << ids[i];
    EXPECT_EQ(value, 77u) << ids[i];
    EXPECT_EQ(HostLog(), Strings{}) << ids[i];
    EXPECT_TRUE(MessageBoxes().empty());
  }
  HoldImage(window);
  EXPECT_EQ(harness::RunCommand(window, 2), 2) << "not left busy";
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
    KX_ClearLog();
    DWORD out = 0;
    EXPECT_EQ(Plugin().helpHandler(0, harness::MenuId(row), 0, &out), 2);
    EXPECT_EQ(out, 1u);
    EXPECT_EQ(HostLog(), Strings{std::string("ZQ_StatusText ") + help[row]});
  }
  DWORD out = 5;
  EXPECT_EQ(Plugin().helpHandler(0, harness::MenuId(0), 1, &out), 0) << "nonzero selector";
  EXPECT_EQ(Plugin().helpHandler(0, harness::MenuId(0) + 0x10000, 0x10000, &out), 2) << "16-bit arguments";
  for (UINT id : {harness::MenuId(9) + 1, 4121u, 0u}) EXPECT_EQ(Plugin().helpHandler(0, id, 0, &out), 0) << id;
}

TEST(Icon, IsResource600AndExitSteps) {
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(Plugin().icon(), &info));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(Plugin().queryExit(), 1);
  Plugin().wep(0);
}

// While a command runs, the host's progress meter dispatches queued messages; a menu-handler call
// made from one of them only moves the queue on, and a quit message stays for the host.
std::vector<int> ProbeResults;
LRESULT CALLBACK ProbeProc(HWND probe, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP) return DefWindowProcA(probe, message, wParam, lParam);
  DWORD value = 55;
  ProbeResults.push_back(Plugin().menuHandler(reinterpret_cast<HWND>(lParam), harness::MenuId(1), &value));
  EXPECT_EQ(value, 55u);
  return 0;
}

TEST_F(PluginTest, ReentryNeverStartsASecondCommandAndKeepsTheQuitMessage) {
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

  ProbeResults.clear();
  for (int i = 0; i < 2; ++i) PostMessageA(probe, WM_APP, 0, reinterpret_cast<LPARAM>(window.hwnd));
  PostQuitMessage(42);
  EXPECT_EQ(harness::RunCommand(window, 0), 2);  // Invert, with its progress meter
  EXPECT_EQ(ProbeResults, (std::vector<int>{0, 0}));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT{WM_QUIT});
  EXPECT_EQ(msg.wParam, 42u);
  // Inverted once (24 bits: every byte of the rows), never flipped.
  const std::vector<uint8_t> after = harness::GlobalBytes(ZQ_GetHDib(window));
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 40; i < after.size(); ++i) ASSERT_EQ(after[i], static_cast<uint8_t>(~before[i])) << i;
  DestroyWindow(probe);
}

}  // namespace
