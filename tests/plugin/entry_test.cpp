// The entry points other than the commands themselves, as the host calls them.
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

// Start-up under a frame whose menu bar receives the popup, and each failure that stops it.
TEST(Init, BuildsTheMenuLoadsSettingsAndRegistersTheClassesOrStopsWithAMessage) {
  for (const char* name : {"CropClass", "ColorCtrl", "StatColorCtrl"})
    UnregisterClassA(name, Plugin().module);
  const struct {
    std::function<void()> fail;
    unsigned message;  // 0: started
    size_t idsReserved, groupsLoaded;
    int registrations;
    size_t menuItems;
  } cases[] = {
      // The three classes once; then, left from that start, each refused and registered again.
      {[] {}, 0, 9, 4, 3, 10},
      {[] {}, 0, 9, 4, 6, 10},
      {[] { KX_FailCall(KX_FAIL_MENU, 1); }, IDS_INIT_NO_MENU, 0, 0, 0, 0},
      // The fourth reservation (row 4): three commands and the separator stay in the menu.
      {[] { KX_FailCall(KX_FAIL_MENU_ID, 4); }, IDS_INIT_NO_MENU_ID, 4, 0, 0, 4},
      // CropClass refused twice: no later class is attempted.
      {[] { FailCall("RegisterClassA", 1), FailCall("RegisterClassA", 2); }, IDS_INIT_CANNOT_LOAD,
       9, 4, 2, 10},
  };
  const Strings menu = {
      "Invert Image 7000", "Flip Image 7001", "Mirror Image 7002", "- 0",
      "Crop... 7003",      "Scale... 7004",   "Rotate... 7005",    "Frame/Caption... 7006",
      "Tile... 7007",      "Mask... 7008"};
  for (const auto& c : cases) {
    ClearCalls();
    c.fail();
    HMENU bar = CreateMenu();
    HWND frame = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar,
                                 nullptr, nullptr);
    KX_SetFrame(frame, nullptr);
    EXPECT_EQ(InitPlugin(7000), !c.message) << c.message;
    KX_SetFrame(nullptr, nullptr);
    HMENU popup = GetSubMenu(bar, 0);
    Strings items;  // "text id", "- 0" for the separator
    for (int i = 0; popup && i < GetMenuItemCount(popup); ++i) {
      char text[64] = "-";
      GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      items.push_back(Cat(text[0] ? text : "-", " ", GetMenuItemID(popup, i)));
    }
    DestroyWindow(frame);
    EXPECT_EQ(items, Strings(menu.begin(), menu.begin() + long(c.menuItems))) << c.message;
    ExpectOneMessage(c.message);
    EXPECT_EQ(HostLog("ZQ_ReserveMenu "), Strings{"ZQ_ReserveMenu 1"}) << c.message;
    EXPECT_EQ(HostLog("ZQ_ReserveMenuId").size(), c.idsReserved) << c.message;
    EXPECT_EQ(HostLog("ProfileOpen"), Strings(c.groupsLoaded, "ProfileOpen Image"));
    EXPECT_EQ(HostLog("ProfileClose").size(), c.groupsLoaded) << c.message;
    EXPECT_EQ(Recorded().calls["RegisterClassA"], c.registrations) << c.message;
  }
}

// Only an eligible "GenericWClass" window becomes the one commands act on (Flip runs only on it);
// the menu greys all nine commands together while none with an image is active.
TEST_F(PluginTest, ActivationAcceptsOnlyEligibleGenericWindowsAndTheMenuFollows) {
  // The window's class, a host flag set on it (0 for none), and whether it is accepted.
  const std::tuple<const char*, int, bool> cases[] = {
      {"GenericWClass", 0, true},    {"GenericWClass", 4, true},     {"GenericWClass", 64, false},
      {"GenericWClass", 512, false}, {"GenericWClass", 1024, false}, {"genericwclass", 0, false},
      {"GenericWClassX", 0, false},  {"Generic", 0, false}};
  for (auto [className, flag, accepted] : cases) {
    // Another module's class, since this program's "GenericWClass" also answers to "genericwclass".
    const bool ours = std::string(className) == kImageWindowClass;
    TestWindow window(className, ours ? nullptr : GetModuleHandleA("TALMOR.DLL"));
    KX_AttachImage(window, ToGlobal(testimg::Make(8, 4, 4, 1)));
    if (flag) KX_SetFlag(window, flag, TRUE);
    EXPECT_EQ(Plugin().imageActivate(window, 1, 0), 1);
    EXPECT_EQ(RunCommand(window, 1), accepted ? 2 : 0) << className << " flag " << flag;
  }
  TestWindow other;
  HMENU menu = CreatePopupMenu();
  for (int row = 0; row < 10; ++row)
    if (row != 3) AppendMenuA(menu, MF_STRING, MenuId(row), "x");
  auto greyed = [&] {  // how many of the nine commands are greyed
    EXPECT_EQ(Plugin().menuInit(0, menu, 0), 1);
    int count = 0;
    for (int row = 0; row < 10; ++row)
      count += row != 3 && (GetMenuState(menu, MenuId(row), MF_BYCOMMAND) & MF_GRAYED);
    return count;
  };
  EXPECT_EQ(greyed(), 9) << "no active window";
  Plugin().imageActivate(other, 1, 0);
  EXPECT_EQ(greyed(), 9) << "active window without image";
  KX_AttachImage(other, ToGlobal(testimg::Make(4, 3, 3, 1)));
  EXPECT_EQ(greyed(), 0) << "active window with image";
  KX_SetFlag(other, kFlagIneligible512, TRUE);
  EXPECT_EQ(greyed(), 9) << "flag 512 set after activation";
  DestroyMenu(menu);
}

// Table commands run on the active window, whatever window the call names; every other id (another
// plug-in's between ours; any but the scale settings after a deactivation, whichever window it
// names, told by the low 16 bits alone) is left alone.
TEST_F(PluginTest, DispatchRunsOnlyAvailableTableCommandsAndIsNeverLeftBusy) {
  ASSERT_TRUE(InitPlugin(5000, 2));
  TestWindow window, other;
  Hold(window, 24);
  EXPECT_EQ(RunCommand(other, 1), 2);
  EXPECT_EQ(HostLog("ZQ_SetHDib").size(), 1u);
  const UINT ids[] = {MenuId(0) - 1, MenuId(9) + 1,     0, 5001, MenuId(0), MenuId(1),
                      MenuId(9),     HostScaleCommandId};  // from MenuId(0): inactive
  for (UINT id : ids) {
    if (id == MenuId(0)) Plugin().imageActivate(other, 0x10000, 0);
    ClearCalls();
    DWORD value = 77;
    EXPECT_EQ(Plugin().menuHandler(window, id, &value), 0) << id;
    EXPECT_EQ(value, 77u) << id;
    EXPECT_EQ(HostLog(), Strings{}) << id;
    ExpectOneMessage(0);
  }
  // The scale settings need no image window; their dialog failing to open counts as Cancel.
  FailCall("DialogBoxParamA", 1);
  EXPECT_EQ(Plugin().menuHandler(nullptr, ScaleSettingsCommandId, nullptr), 2);
  EXPECT_EQ(HostLog("ProfileWrite"), Strings{}) << "saved as if OK";
  Hold(window, 24);
  EXPECT_EQ(RunCommand(window, 2), 2) << "not left busy";
}

// Only the low 16 bits are the version, whose messages are plain boxes, not task-modal. Help shows
// each row's own text on the status line; a nonzero selector or another id is not the plug-in's.
TEST_F(PluginTest, VersionHelpIconAndExitAnswerTheHost) {
  const std::pair<UINT, std::string> versions[] = {{0x0101, ""},
                                                   {0x7F0101, ""},
                                                   {0x0201, "Image: Incorrect version number (1)"},
                                                   {0x0102, "Image: Incorrect version number (2)"}};
  for (const auto& [version, message] : versions) {
    ClearCalls();
    EXPECT_EQ(Plugin().version(version, 0, 0), message.empty()) << std::hex << version;
    ExpectOneMessage(message, 0);
  }
  const char* const texts[] = {"Invert the image in the active window",
                               "Flip (vertical) the image in the active window upside down",
                               "Mirror (horizontal flip) the image in the active window",
                               "",
                               "Crop image in active window to new dimensions",
                               "Enlarge / Shrink / Adjust aspect of the image in the active window",
                               "Rotate the image in the active window",
                               "Add margins and/or borders in the image in active window",
                               "Create tiled version of image in active window",
                               "Mask image in active window"};
  for (int row = 0; row < 10; ++row) {
    if (row == 3) continue;
    KX_ClearLog();
    DWORD out = 0;
    EXPECT_EQ(Plugin().helpHandler(0, MenuId(row), 0, &out), 2);
    EXPECT_EQ(out, 1u);
    EXPECT_EQ(HostLog(), Strings{std::string("ZQ_StatusText ") + texts[row]}) << "row " << row;
  }
  DWORD out = 5;
  EXPECT_EQ(Plugin().helpHandler(0, MenuId(0), 1, &out), 0) << "nonzero selector";
  EXPECT_EQ(Plugin().helpHandler(0, MenuId(0) + 0x10000, 0x10000, &out), 2) << "16-bit arguments";
  for (UINT id : {MenuId(9) + 1, UINT{ScaleSettingsCommandId}, 0u})
    EXPECT_EQ(Plugin().helpHandler(0, id, 0, &out), 0) << id;
  ICONINFO info;  // resource 600
  ASSERT_TRUE(GetIconInfo(Plugin().icon(), &info));
  DeleteObject(info.hbmColor), DeleteObject(info.hbmMask);
  EXPECT_EQ(Plugin().queryExit(), 1);
}

// While a command runs, the host's progress meter dispatches queued messages: a menu-handler call
// from one of them only moves the queue on, and a quit message stays for the host.
std::vector<int> ProbeResults;
LRESULT CALLBACK ProbeProc(HWND probe, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APP) return DefWindowProcA(probe, message, wParam, lParam);
  DWORD value = 55;
  ProbeResults.push_back(Plugin().menuHandler(reinterpret_cast<HWND>(lParam), MenuId(1), &value));
  EXPECT_EQ(value, 55u);
  return 0;
}

TEST_F(PluginTest, ReentryNeverStartsASecondCommandAndKeepsTheQuitMessage) {
  TestWindow probe, window;
  SetWindowLongPtrA(probe, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProbeProc));
  Hold(window, 24, 3, 40, 9);
  for (int i = 0; i < 2; ++i) PostMessageA(probe, WM_APP, 0, reinterpret_cast<LPARAM>(window.hwnd));
  PostQuitMessage(42);
  EXPECT_EQ(RunCommand(window, 0), 2);  // Invert, with its progress meter
  EXPECT_EQ(ProbeResults, (std::vector<int>{0, 0}));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(std::pair(msg.message, msg.wParam), std::pair(UINT{WM_QUIT}, WPARAM{42}));
}

}  // namespace
