// Morvane.exe end to end on Windows: the ACT! stand-in in one process, the rule editor in another,
// the test as the user on the editor's real windows. Morvane is installed in a folder whose name
// has blanks and an accented letter, with the recorder playing MorvaneAuto.exe beside it, and
// reads its rules from such a folder too.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "hostwin/standin_client.h"
#include "platform/win32/win32_profile_files.h"
#include "tests/win32/support/fake_notification_area.h"
#include "tests/win32/support/message_box_answerer.h"
#include "tests/win32/support/other_windows.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/program_settings.h"
#include "tests/win32/support/recorded_start.h"
#include "tests/win32/support/scratch.h"
#include "tests/win32/support/wait.h"

#include <commctrl.h>

namespace morvane::wintest {
namespace {

using hostwin::StandInProcess;
using namespace std::chrono_literals;

constexpr const char* kTitle = "Morvane";
// The picture of the rule list's image list: each row is at least that high.
constexpr int kRowHeight = 32;

// The editor's window and its controls, found by the form's caption and each control's class
// and text, as a user's tools would find them.
struct EditorWindows {
  HWND form = nullptr;
  HWND list = nullptr;
  HWND field = nullptr;    // the drop-down list above the rule list
  HWND chooser = nullptr;  // the one that opens over it
  HWND save = nullptr;
  HWND updateLayout = nullptr;
  HWND stealthMode = nullptr;
  HWND close = nullptr;
  HWND stealthCheck = nullptr;

  static std::optional<EditorWindows> of(DWORD processId) {
    EditorWindows e;
    for (HWND w : visibleWindowsOf(processId))
      if (windowText(w) == kTitle) e.form = w;
    if (e.form == nullptr) return std::nullopt;
    std::vector<HWND> combos;
    for (HWND c = GetWindow(e.form, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      const std::string cls = windowClass(c);
      const std::string text = windowText(c);
      if (cls == "SysListView32") e.list = c;
      if (cls == "ComboBox") combos.push_back(c);
      if (cls != "Button") continue;
      if (text == "&Save") e.save = c;
      if (text == "Update Layout") e.updateLayout = c;
      if (text == "Stealth &Mode") e.stealthMode = c;
      if (text == "&Close") e.close = c;
      if (text.starts_with("At startup:")) e.stealthCheck = c;
    }
    if (e.list == nullptr || combos.size() != 2) return std::nullopt;
    RECT list{};
    GetWindowRect(e.list, &list);
    for (HWND c : combos) {
      RECT r{};
      GetWindowRect(c, &r);
      (r.top >= list.top ? e.chooser : e.field) = c;
    }
    if (!e.field || !e.chooser || !e.save || !e.updateLayout || !e.stealthMode || !e.close ||
        !e.stealthCheck)
      return std::nullopt;
    return e;
  }
};

// A click on a label of another process: the static control tells its dialog.
void clickLabel(HWND label) {
  PostMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

// In the integration dialog two labels name each view: the upper one is the toolbar's.
HWND toolbarLabel(HWND dialog, const std::string& view) {
  HWND found = nullptr;
  LONG top = LONG_MAX;
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r{};
    GetWindowRect(c, &r);
    if (windowClass(c) == "Static" && windowText(c) == view && r.top < top) {
      top = r.top;
      found = c;
    }
  }
  return found;
}

// The position of an entry in a drop-down list of another process.
std::optional<int> entryIndex(HWND combo, const std::string& entry) {
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) >= static_cast<LRESULT>(std::size(text)))
      continue;
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    char ansi[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
    if (entry == ansi) return static_cast<int>(i);
  }
  return std::nullopt;
}

// Chooses an entry of a drop-down list as the control reports a choice: the selection moves and
// the control tells its parent. False when the list has no such entry.
bool choose(HWND combo, const std::string& entry) {
  const auto index = entryIndex(combo, entry);
  if (!index) return false;
  SendMessageW(combo, CB_SETCURSEL, *index, 0);
  const auto id = static_cast<WORD>(GetDlgCtrlID(combo));
  PostMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  return true;
}

// Chooses an entry with the mouse: a click drops the list down, a click on the entry closes it.
// False when there is no such entry or the list does not drop down.
bool chooseWithTheMouse(HWND combo, const std::string& entry, DWORD processId) {
  const auto index = entryIndex(combo, entry);
  if (!index) return false;
  RECT box{};
  GetClientRect(combo, &box);
  const LPARAM middle = MAKELPARAM(box.right / 2, box.bottom / 2);
  PostMessageA(combo, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageA(combo, WM_LBUTTONUP, 0, middle);
  HWND dropped = nullptr;
  if (!waitUntil([&] {
        for (HWND w : visibleWindowsOf(processId))
          if (windowClass(w) == "ComboLBox") dropped = w;
        return dropped != nullptr;
      }))
    return false;
  const auto height = static_cast<int>(SendMessageW(dropped, LB_GETITEMHEIGHT, 0, 0));
  const auto top = static_cast<int>(SendMessageW(dropped, LB_GETTOPINDEX, 0, 0));
  const LPARAM at = MAKELPARAM(4, (*index - top) * height + height / 2);
  PostMessageA(dropped, WM_MOUSEMOVE, 0, at);
  PostMessageA(dropped, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(dropped, WM_LBUTTONUP, 0, at);
  return true;
}

// Pixels of a length in twips on this screen, which the program shares.
int pixelsX(int twips) {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return (twips * dpi + 720) / 1440;
}

// The vertical middle of a row of the rule list, in the list's client area. A row is at least as
// high as the picture (the list may add a pixel), which keeps the first rows' middles inside them.
int rowMiddle(HWND list, int row) {
  RECT header{};
  GetWindowRect(FindWindowExA(list, nullptr, "SysHeader32", nullptr), &header);
  return header.bottom - header.top + row * kRowHeight + kRowHeight / 2;
}

// A left click on the rule list at a point of its client area, with the mouse's own messages.
void clickList(HWND list, int x, int y) {
  const LPARAM at = MAKELPARAM(x, y);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
}

// Drags a divider of the list's header, at x pixels from the header's left, by dx pixels, with
// the mouse's own messages.
void dragDivider(HWND list, int x, int dx) {
  const HWND header = FindWindowExA(list, nullptr, "SysHeader32", nullptr);
  RECT area{};
  GetClientRect(header, &area);
  const int y = area.bottom / 2;
  PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx, y));
  PostMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y));
}

// A message box to answer from a timer of this thread, while it waits inside a call that the box
// holds up: the first box the process shows gets the button.
struct TimedAnswer {
  DWORD processId = 0;
  int button = 0;
  std::optional<FoundMessageBox> box;
};
TimedAnswer tAnswer;

void CALLBACK answerFromTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (tAnswer.box) return;
  tAnswer.box = findMessageBox(BoxOwner::process(tAnswer.processId));
  if (tAnswer.box) pressButton(*tAnswer.box, tAnswer.button);
}

class MorvaneEndToEnd : public testing::Test {
 protected:
  static std::string standIn(const char* option) {
    return quotedPath(besideMe("ActStandIn.exe")) + " " + option;
  }
  // ACT!'s stand-in and the icon control's library, registered as their installers would.
  static void SetUpTestSuite() {
    ASSERT_EQ(runToEnd(standIn("/regserver")), 0u);
    ASSERT_EQ(runToEnd("regsvr32 /s " + quotedPath(besideMe("Nubrix.dll"))), 0u);
  }
  static void TearDownTestSuite() {
    runToEnd("regsvr32 /s /u " + quotedPath(besideMe("Nubrix.dll")));
    runToEnd(standIn("/unregserver"));
  }

  // A stand-in that COM started for a client while no ACT! ran would hold ACT!'s classes and
  // keep the next test's stand-in from serving them.
  void TearDown() override {
    if (const size_t strays = endProcessesNamed("ActStandIn.exe"))
      std::fprintf(stderr, "ended %zu ActStandIn.exe left running by the test\n", strays);
  }

  void SetUp() override {
    program = install.folder("Morvane Programme \xE9");  // "é" in the ANSI code page
    ASSERT_TRUE(CopyFileA(besideMe("Morvane.exe").c_str(), morvaneExe().c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(besideMe("record_args.exe").c_str(), autoExe().c_str(), FALSE));
    rulesFile = install.folder(
                    "R\xE8gles partag\xE9"
                    "es") +
                "\\Mes r\xE8gles.ini";
    settings.set(settings::kIniLocation, rulesFile);
    settings.set(settings::kStealthMode, "0");
    rule("Sales-Contact", "_Reference_Field_", "5");
    rule("Sales-Contact", "If no layout assigned", "Standard");
    rule("Sales-Contact", "Customer", "Client");
    rule("Sales-Contact", "Prospect", "Prospect Layout");
    rule("Sales-Contact", "Vendor", "Vendor Layout");
  }

  std::string morvaneExe() const { return program + "\\Morvane.exe"; }
  std::string autoExe() const { return program + "\\MorvaneAuto.exe"; }

  void rule(const char* section, const char* key, const char* value) {
    ASSERT_TRUE(profiles.writePrivateProfileStringA(section, key, value, rulesFile.c_str()));
  }
  std::string ruleOf(const char* key) {
    char value[256] = {};
    GetPrivateProfileStringA("Sales-Contact", key, "<none>", value, sizeof value,
                             rulesFile.c_str());
    return value;
  }
  std::vector<RecordedStart> autoStarts() const {
    return readRecordedStarts(defaultRecordFile(autoExe()));
  }

  // Starts Morvane from its folder with the arguments, as Explorer or MorvaneAuto would.
  std::unique_ptr<RunningProcess> startMorvane(const std::string& arguments) {
    std::string commandLine = quotedPath(morvaneExe());
    if (!arguments.empty()) commandLine += " " + arguments;
    return std::make_unique<RunningProcess>(commandLine, program);
  }
  // Waits for the editor of a Morvane that was started with "0", and for it to be the only
  // window the program shows (the splash gone).
  std::optional<EditorWindows> waitForEditor(const RunningProcess& morvane) {
    return waitForEditor(morvane.processId());
  }
  std::optional<EditorWindows> waitForEditor(DWORD processId) {
    std::optional<EditorWindows> editor;
    const bool alone = waitUntil(
        [&] {
          editor = EditorWindows::of(processId);
          return editor && visibleWindowsOf(processId).size() == 1;
        },
        20s);
    return alone ? editor : std::nullopt;
  }

  ScratchFolder install{"morvane-editor-e2e"};
  std::string program;
  std::string rulesFile;
  ProgramSettings settings;
  win32::Win32ProfileFiles profiles;
};

TEST_F(MorvaneEndToEnd, OpensOnTheRecordKindsRulesAndClosingKeepsTheSettings) {
  StandInProcess act;
  settings.set("WidthCol1", "3000");
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value()) << "no editor alone on the screen";
  EXPECT_EQ(windowText(editor->field), "ID/Status");
  EXPECT_FALSE(IsWindowVisible(editor->chooser));
  EXPECT_FALSE(IsWindowEnabled(editor->save));

  // The user widens the first column by 30 pixels.
  dragDivider(editor->list, pixelsX(3000), 30);

  // Help, About: the version of the program file, wherever it was copied.
  // Alt+H opens the menu, A chooses its item once the menu shows, as the keyboard would.
  PostMessageA(editor->form, WM_SYSCOMMAND, SC_KEYMENU, 'h');
  ASSERT_TRUE(waitUntil([&] {
    for (HWND w : visibleWindowsOf(morvane->processId()))
      if (windowClass(w) == "#32768") return true;
    return false;
  }));
  PostMessageA(editor->form, WM_CHAR, 'a', 0);
  const auto about = answerMessageBox(BoxOwner::process(morvane->processId()), IDOK);
  ASSERT_TRUE(about.has_value());
  EXPECT_EQ(about->caption, "About Morvane");
  EXPECT_EQ(about->text, "Morvane\rVersion 1.1.0");

  clickButton(editor->stealthCheck);
  ASSERT_TRUE(waitUntil(
      [&] { return SendMessageA(editor->stealthCheck, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  PostMessageA(editor->form, WM_CLOSE, 0, 0);
  EXPECT_EQ(morvane->waitForExit(), 0u);
  EXPECT_EQ(settings.get(settings::kStealthMode), "1");
  // The width the list was given at the start and the user's drag, in whole pixels.
  EXPECT_EQ(settings.get("WidthCol1"), std::to_string(3000 + 30 * 1440 / pixelsX(1440)));
  EXPECT_EQ(settings.get("WidthCol2"), "2500");
  EXPECT_TRUE(autoStarts().empty());
}

TEST_F(MorvaneEndToEnd, TheChooserOverTheListSetsARowsLayoutAndUpdateLayoutAppliesTheRules) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());

  // Supplier, the fifth row, has no layout yet; a click in its layout cell opens the chooser
  // over that row, with no entry shown.
  const int layoutCell = pixelsX(2500) + pixelsX(2500) / 2;
  clickList(editor->list, layoutCell, rowMiddle(editor->list, 4));
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(editor->chooser) != FALSE; }));
  RECT list{};
  RECT chooser{};
  GetClientRect(editor->list, &list);
  MapWindowPoints(editor->list, nullptr, reinterpret_cast<POINT*>(&list), 2);
  GetWindowRect(editor->chooser, &chooser);
  const int rowMiddleOnScreen = list.top + rowMiddle(editor->list, 4);
  EXPECT_LE(chooser.top, rowMiddleOnScreen);
  EXPECT_GE(chooser.bottom, rowMiddleOnScreen);
  EXPECT_GT(chooser.left, list.left + pixelsX(2500)) << "right of the value column";
  EXPECT_EQ(windowText(editor->chooser), "");
  EXPECT_FALSE(IsWindowEnabled(editor->save)) << "showing a row's layout is no change";

  // Tab from the list, which the click focused, reaches the chooser and leaves it open.
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  const DWORD uiThread = GetWindowThreadProcessId(editor->form, nullptr);
  const auto focused = [&] {
    return GetGUIThreadInfo(uiThread, &thread) ? thread.hwndFocus : nullptr;
  };
  ASSERT_TRUE(waitUntil([&] { return focused() == editor->list; }));
  PostMessageA(editor->list, WM_KEYDOWN, VK_TAB, 1);
  PostMessageA(editor->list, WM_KEYUP, VK_TAB, 1 | (3u << 30));
  EXPECT_TRUE(waitUntil([&] { return focused() == editor->chooser; }));
  EXPECT_TRUE(IsWindowVisible(editor->chooser));

  ASSERT_TRUE(choose(editor->chooser, "Vendor Layout"));
  ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(editor->save) != FALSE; }));
  EXPECT_TRUE(IsWindowVisible(editor->chooser)) << "the chooser stays after a choice";
  // A divider the user drags puts it away: the header's notices reach the list's hook.
  dragDivider(editor->list, 2 * pixelsX(2500), 20);
  EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(editor->chooser) == FALSE; }));
  clickButton(editor->save);
  EXPECT_TRUE(waitUntil([&] { return ruleOf("Supplier") == "Vendor Layout"; }))
      << ruleOf("Supplier");
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(editor->save) == FALSE; }));
  EXPECT_EQ(ruleOf("Customer"), "Client");

  // Update Layout applies the layout the rules give the value of ACT!'s record.
  ASSERT_EQ(act.command("next").result, hostwin::protocol::Result::Done);  // Bob, a Prospect
  clickButton(editor->updateLayout);
  EXPECT_TRUE(waitUntil([&] { return act.currentLayout() == "Prospect Layout"; }))
      << act.currentLayout();
  ASSERT_EQ(act.command("field 5 Supplier").result, hostwin::protocol::Result::Done);
  clickButton(editor->updateLayout);
  EXPECT_TRUE(waitUntil([&] { return act.currentLayout() == "Vendor Layout"; }))
      << act.currentLayout();

  // Scrolling the rows puts the chooser away, as a dragged divider does.
  clickList(editor->list, layoutCell, rowMiddle(editor->list, 2));
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(editor->chooser) != FALSE; }));
  PostMessageA(editor->list, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(editor->chooser) == FALSE; }));

  // Another reference field fills the list with its values: Referred By has three.
  EXPECT_EQ(SendMessageA(editor->list, LVM_GETITEMCOUNT, 0, 0), 5);
  ASSERT_TRUE(choose(editor->field, "Referred By"));
  EXPECT_TRUE(waitUntil([&] { return SendMessageA(editor->list, LVM_GETITEMCOUNT, 0, 0) == 4; }))
      << "the rows of the default and of Web, Trade Show and Partner";
  EXPECT_FALSE(IsWindowEnabled(editor->save)) << "another field is no change";
  EXPECT_TRUE(morvane->running());
}

// The wheel and the arrow keys move the list under the chooser, and it goes. With the list
// scrolled sideways the chooser opens on a click where the layout column shows, over that column.
TEST_F(MorvaneEndToEnd, TheChooserGoesWhenTheListMovesAndFollowsItScrolledSideways) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  RECT list{};
  GetWindowRect(editor->list, &list);
  // Prospect, the third row, a little right of where its layout cell shows.
  const auto openOnProspect = [&](int shownColumn) {
    clickList(editor->list, shownColumn + 10, rowMiddle(editor->list, 2));
    return waitUntil([&] { return IsWindowVisible(editor->chooser) != FALSE; });
  };
  const auto gone = [&] { return waitUntil([&] { return !IsWindowVisible(editor->chooser); }); };

  // The rows and the columns fit: the list itself has nothing to scroll.
  ASSERT_TRUE(openOnProspect(pixelsX(2500)));
  PostMessageA(editor->list, WM_KEYDOWN, VK_DOWN, 1);
  PostMessageA(editor->list, WM_KEYUP, VK_DOWN, 1 | (3u << 30));
  ASSERT_TRUE(gone()) << "Down";  // (a chooser still shown would make the next check race)
  ASSERT_TRUE(openOnProspect(pixelsX(2500)));
  PostMessageA(editor->list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
               MAKELPARAM(list.left + 10, list.top + 40));
  ASSERT_TRUE(gone()) << "the wheel";

  // A first column of 4500 twips pushes the layout column past the list's right edge.
  dragDivider(editor->list, pixelsX(2500), pixelsX(2000));

  // The list moves its header with its columns (GetScrollPos does not reach another process).
  const auto headerLeft = [&] {
    POINT origin{0, 0};
    ClientToScreen(editor->list, &origin);
    RECT header{};
    GetWindowRect(FindWindowExA(editor->list, nullptr, "SysHeader32", nullptr), &header);
    return header.left - origin.x;
  };
  // Scrolled sideways by the scroll bar's arrow, a pixel a click.
  const int scrolled = pixelsX(1500);
  for (int i = 0; i < scrolled; ++i) PostMessageA(editor->list, WM_HSCROLL, SB_LINERIGHT, 0);
  ASSERT_TRUE(waitUntil([&] { return headerLeft() == -scrolled; })) << headerLeft();
  const int shownColumn = pixelsX(4500) - scrolled;
  ASSERT_TRUE(openOnProspect(shownColumn));
  EXPECT_EQ(windowText(editor->chooser), "Prospect Layout");
  RECT chooser{};
  GetWindowRect(editor->chooser, &chooser);
  EXPECT_GE(chooser.left, list.left + shownColumn - pixelsX(1500)) << "over the shown column";
  EXPECT_LT(chooser.left, list.left + pixelsX(4500)) << "not where it would be unscrolled";
  EXPECT_LE(chooser.right, list.right);
  EXPECT_TRUE(morvane->running());
  EXPECT_TRUE(findMessageBox(BoxOwner::process(morvane->processId())) == std::nullopt);
}

TEST_F(MorvaneEndToEnd, ClosingWithUnsavedChangesAsksWhetherToSave) {
  StandInProcess act;
  for (const int answer : {IDNO, IDYES}) {
    auto morvane = startMorvane("0");
    const auto editor = waitForEditor(*morvane);
    ASSERT_TRUE(editor.has_value());
    // Customer, the second row: Client becomes Group Layout.
    clickList(editor->list, pixelsX(2500) + pixelsX(2500) / 2, rowMiddle(editor->list, 1));
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(editor->chooser) != FALSE; }));
    // It opens on the row's layout, which the program selected: no change yet.
    EXPECT_EQ(windowText(editor->chooser), "Client");
    EXPECT_FALSE(IsWindowEnabled(editor->save));
    ASSERT_TRUE(chooseWithTheMouse(editor->chooser, "Group Layout", morvane->processId()));
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(editor->save) != FALSE; }));

    // The window's close box, then the Close button.
    if (answer == IDNO)
      PostMessageA(editor->form, WM_CLOSE, 0, 0);
    else
      clickButton(editor->close);
    const auto box = answerMessageBox(BoxOwner::process(morvane->processId()), answer);
    ASSERT_TRUE(box.has_value()) << answer;
    EXPECT_EQ(box->caption, kTitle);
    EXPECT_EQ(box->text, "Do you want to save your changes?");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(morvane->waitForExit(), 0u);
    EXPECT_EQ(ruleOf("Customer"), answer == IDYES ? "Group Layout" : "Client") << answer;
  }
}

TEST_F(MorvaneEndToEnd, StealthModeHandsOverToMorvaneAutoFromTheProgramFolder) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  clickButton(editor->stealthMode);
  EXPECT_EQ(morvane->waitForExit(), 0u);
  // The record's layout first: Alice Martin is a Customer.
  EXPECT_EQ(act.currentLayout(), "Client");
  std::vector<RecordedStart> starts;
  ASSERT_TRUE(waitUntil([&] { return !(starts = autoStarts()).empty(); }));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].arguments, "");
  EXPECT_EQ(starts[0].workingDirectory, program);
  EXPECT_EQ(starts[0].programFolder, program);

  // With Stealth Mode set and no argument, Morvane hands over at once, without a window, and
  // leaves MorvaneAuto the view ACT! shows.
  settings.set(settings::kStealthMode, "1");
  ASSERT_EQ(act.command("view group").result, hostwin::protocol::Result::Done);
  auto quiet = startMorvane("");
  bool showedAWindow = false;
  EXPECT_TRUE(waitUntil([&] {
    showedAWindow = showedAWindow || !visibleWindowsOf(quiet->processId()).empty();
    return !quiet->running();
  }));
  EXPECT_FALSE(showedAWindow);
  EXPECT_EQ(quiet->waitForExit(), 0u);
  ASSERT_TRUE(waitUntil([&] { return (starts = autoStarts()).size() == 2; }));
  EXPECT_EQ(starts[1].arguments, "");
  EXPECT_EQ(starts[1].workingDirectory, program);
  EXPECT_EQ(settings.get(settings::kViewType), "3");
}

// The whole way back: Stealth Mode starts the real MorvaneAuto, whose icon's click starts Morvane
// with "0", and the editor opens again.
TEST_F(MorvaneEndToEnd, TheIconOfStealthModeBringsTheEditorBack) {
  FakeNotificationArea tray;
  ASSERT_TRUE(tray.ready());
  ASSERT_TRUE(CopyFileA(besideMe("MorvaneAuto.exe").c_str(), autoExe().c_str(), FALSE));
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  clickButton(editor->stealthMode);
  EXPECT_EQ(morvane->waitForExit(), 0u);
  ASSERT_TRUE(waitUntil([&] { return !tray.icons().empty(); }, 20s));
  EXPECT_EQ(tray.icons().front().tip, "Morvane in Stealth Mode. Click to open.");

  ASSERT_TRUE(tray.click(tray.icons().front().window, tray.icons().front().id));
  EXPECT_TRUE(waitUntil([&] { return tray.icons().empty(); })) << "MorvaneAuto ended";
  std::vector<uint32_t> editors;
  ASSERT_TRUE(waitUntil([&] { return !(editors = processesNamed("Morvane.exe")).empty(); }));
  ASSERT_EQ(editors.size(), 1u);
  const auto again = waitForEditor(editors.front());
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(windowText(again->field), "ID/Status");
  EXPECT_EQ(endProcessesNamed("Morvane.exe"), 1u);
}

// The integration dialog on real windows: a click on a view's label ticks its box and places the
// command in ACT! at once; Close asks to restart ACT!, and No leaves ACT! and the editor running.
TEST_F(MorvaneEndToEnd, TheIntegrationDialogPlacesTheCommandInAct) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  const DWORD process = morvane->processId();
  const HWND dialog = openMenuEntry(process, editor->form, 'o', 'i', "Integrate with ACT!");
  ASSERT_TRUE(dialog != nullptr);

  const HWND contacts = toolbarLabel(dialog, "Contacts");
  const HWND close = childWindow(dialog, "Button", "&Close");
  ASSERT_TRUE(contacts != nullptr && close != nullptr);
  clickLabel(contacts);
  EXPECT_TRUE(waitUntil(
      [&] { return act.state().auxCommands == std::vector<std::string>{"Mo&rvane|1|"}; }));

  clickButton(close);
  const auto box = answerMessageBox(BoxOwner::process(process), IDNO);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, "Mo&rvane");
  EXPECT_EQ(box->text,
            "You need to re-start ACT! for the changes to take effect!\r\nDo you want to "
            "re-start it now?");
  EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_TRUE(act.state().running);
  EXPECT_TRUE(morvane->running());
  EXPECT_EQ(act.state().auxCommands, std::vector<std::string>{"Mo&rvane|1|"});
}

// The settings dialog on real windows: the real numbers-only box refuses a letter, the macro goes
// into ACT!'s preference, and OK stores the delay and the rules file.
TEST_F(MorvaneEndToEnd, TheSettingsDialogStoresTheDelayAndInstallsTheMacro) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  const DWORD process = morvane->processId();
  const HWND dialog = openMenuEntry(process, editor->form, 'o', 's', "Settings");
  ASSERT_TRUE(dialog != nullptr);
  HWND delay = nullptr, macro = nullptr, ok = nullptr, path = nullptr;
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    const std::string cls = windowClass(c);
    const std::string text = windowText(c);
    if (cls == "Edit") (text == "1000" ? delay : path) = c;
    if (cls == "Button" && text == "Install macro") macro = c;
    if (cls == "Button" && text == "&OK") ok = c;
  }
  ASSERT_TRUE(delay != nullptr && path != nullptr && macro != nullptr && ok != nullptr);
  EXPECT_EQ(windowText(path), rulesFile);
  EXPECT_NE(GetWindowLongA(delay, GWL_STYLE) & ES_NUMBER, 0);

  SendMessageA(delay, EM_SETSEL, 0, -1);
  for (const char c : std::string("7x5")) PostMessageA(delay, WM_CHAR, c, 1);
  EXPECT_TRUE(waitUntil([&] { return windowText(delay) == "75"; })) << windowText(delay);

  clickButton(macro);
  EXPECT_TRUE(waitUntil([&] { return act.state().startupMacro == program + "\\Morvane.mpr"; }));
  EXPECT_TRUE(waitUntil([&] { return windowText(macro) == "Macro Installed"; }));
  EXPECT_FALSE(IsWindowEnabled(macro));

  clickButton(ok);
  EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(settings.get(settings::kDelay), "75");
  EXPECT_EQ(settings.get(settings::kIniLocation), rulesFile);
  EXPECT_TRUE(morvane->running());
}

// ACT!'s longest layout names, 254 characters, read back whole from the rules file through
// kernel32's profile functions: Update Layout applies such a layout, and says nothing.
TEST_F(MorvaneEndToEnd, ALayoutNameOfActsLongestLengthIsReadBackWhole) {
  StandInProcess act;
  const std::string name = "Key accounts " + std::string(254 - 13, 'x');
  ASSERT_EQ(act.command("layouts Standard|Client|Prospect Layout|Vendor Layout|" + name).result,
            hostwin::protocol::Result::Done);
  rule("Sales-Contact", "Customer", name.c_str());
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  clickButton(editor->updateLayout);  // Alice Martin is a Customer
  EXPECT_TRUE(waitUntil([&] { return act.currentLayout() == name; })) << act.currentLayout();
  EXPECT_FALSE(findMessageBox(BoxOwner::process(morvane->processId())).has_value());
  EXPECT_TRUE(morvane->running());
}

// The settings and integration dialogs open on the editor, wherever the user moved it: centred
// on it and owned by it.
TEST_F(MorvaneEndToEnd, TheDialogsOpenCentredOnTheEditor) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  const DWORD process = morvane->processId();
  // Away from the middle of the screen, where it opened, but with room around it.
  RECT e{};
  GetWindowRect(editor->form, &e);
  const LONG left = e.left + 120;
  const LONG top = e.top + 40;
  SetWindowPos(editor->form, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(waitUntil([&] {
    GetWindowRect(editor->form, &e);
    return e.left == left && e.top == top;
  }));
  struct Dialog {
    char entry;
    const char* caption;
    const char* cancel;
  };
  for (const Dialog& d :
       {Dialog{'s', "Settings", "Cancel"}, Dialog{'i', "Integrate with ACT!", "&Cancel"}}) {
    const HWND dialog = openMenuEntry(process, editor->form, 'o', d.entry, d.caption);
    ASSERT_TRUE(dialog != nullptr) << d.caption;
    RECT r{};
    GetWindowRect(dialog, &r);
    EXPECT_NEAR((r.left + r.right) / 2, (e.left + e.right) / 2, 1) << d.caption;
    EXPECT_NEAR((r.top + r.bottom) / 2, (e.top + e.bottom) / 2, 1) << d.caption;
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), editor->form) << d.caption;
    clickButton(childWindow(dialog, "Button", d.cancel));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); })) << d.caption;
  }
}

// Opening ACT!'s database file starts ACT! with it, through the file association its installer
// made; the test makes one for the stand-in, in the throwaway prefix. (Wine reads associations
// from the machine's classes only.)
class DatabaseAssociation {
 public:
  explicit DatabaseAssociation(const std::string& command) {
    set(".dbf", kProgId);
    set(std::string(kProgId) + "\\shell\\open\\command", command);
  }
  ~DatabaseAssociation() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".dbf");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
  }
  DatabaseAssociation(const DatabaseAssociation&) = delete;
  DatabaseAssociation& operator=(const DatabaseAssociation&) = delete;

 private:
  static constexpr const char* kProgId = "MorvaneTests.ActDatabase";
  // The key's default value.
  static void set(const std::string& key, const std::string& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                        nullptr) != ERROR_SUCCESS)
      return;
    RegSetValueExA(k, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
  }
};

// ACT!'s sample database as a file on disk, for the shell to open and for the stand-in to keep
// its preferences beside (Sales.dbf.prefs); both go with the object.
struct DatabaseFile {
  const std::string path = "C:\\ACT\\Database\\Sales.dbf";
  bool made = false;
  DatabaseFile() {
    CreateDirectoryA("C:\\ACT", nullptr);
    CreateDirectoryA("C:\\ACT\\Database", nullptr);
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    made = file != INVALID_HANDLE_VALUE;
    if (made) CloseHandle(file);
  }
  ~DatabaseFile() {
    DeleteFileA((path + ".prefs").c_str());
    DeleteFileA(path.c_str());
  }
  DatabaseFile(const DatabaseFile&) = delete;
  DatabaseFile& operator=(const DatabaseFile&) = delete;
};

// The macro the settings dialog installs runs when ACT! starts again, and opens Morvane.
TEST_F(MorvaneEndToEnd, TheInstalledMacroStartsMorvaneWhenActStartsAgain) {
  const DatabaseFile file;
  ASSERT_TRUE(file.made);
  ASSERT_TRUE(
      CopyFileA(besideMe("Morvane.mpr").c_str(), (program + "\\Morvane.mpr").c_str(), FALSE));
  {
    StandInProcess act;
    auto morvane = startMorvane("0");
    const auto editor = waitForEditor(*morvane);
    ASSERT_TRUE(editor.has_value());
    const HWND dialog = openMenuEntry(morvane->processId(), editor->form, 'o', 's', "Settings");
    ASSERT_TRUE(dialog != nullptr);
    clickButton(childWindow(dialog, "Button", "Install macro"));
    ASSERT_TRUE(waitUntil([&] { return act.state().startupMacro == program + "\\Morvane.mpr"; }));
    clickButton(childWindow(dialog, "Button", "&OK"));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
    PostMessageA(editor->form, WM_CLOSE, 0, 0);
    ASSERT_EQ(morvane->waitForExit(), 0u);
    EXPECT_TRUE(act.stop());
  }
  StandInProcess again;
  std::vector<uint32_t> started;
  ASSERT_TRUE(waitUntil([&] { return !(started = processesNamed("Morvane.exe")).empty(); }));
  ASSERT_EQ(started.size(), 1u);
  EXPECT_TRUE(waitForEditor(started.front()).has_value()) << "Morvane opened its editor";
  EXPECT_EQ(endProcessesNamed("Morvane.exe"), 1u);
}

// Yes to the integration dialog's restart question: the editor closes ACT!, opens its database
// again through the shell, which starts ACT! with it, hides and ends by itself.
TEST_F(MorvaneEndToEnd, YesRestartsActOnItsDatabaseAndTheEditorEnds) {
  const DatabaseFile file;
  const std::string& database = file.path;
  ASSERT_TRUE(file.made);
  const DatabaseAssociation association(quotedPath(besideMe("ActStandIn.exe")) + " \"%1\"");

  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  const DWORD process = morvane->processId();
  const HWND dialog = openMenuEntry(process, editor->form, 'o', 'i', "Integrate with ACT!");
  ASSERT_TRUE(dialog != nullptr);
  clickLabel(toolbarLabel(dialog, "Groups"));
  ASSERT_TRUE(waitUntil(
      [&] { return act.state().auxCommands == std::vector<std::string>{"Mo&rvane|3|"}; }));
  clickButton(childWindow(dialog, "Button", "&Close"));
  ASSERT_TRUE(answerMessageBox(BoxOwner::process(process), IDYES).has_value());

  EXPECT_TRUE(act.waitForExit(hostwin::kStandInTimeoutMs)) << "Command 150 closed ACT!";
  std::vector<uint32_t> started;
  ASSERT_TRUE(waitUntil([&] { return !(started = processesNamed("ActStandIn.exe")).empty(); }));
  ASSERT_EQ(started.size(), 1u);
  const auto again = StandInProcess::attach(started.front());
  EXPECT_EQ(again->state().database, database);
  EXPECT_EQ(morvane->waitForExit(), 0u) << "the editor ended at its second tick";
}

// Yes to the restart with Morvane's start-up macro installed: ACT! starts again and its macro
// starts Morvane while the old editor is still ending. The user finds one editor, and no box.
TEST_F(MorvaneEndToEnd, ARestartThatRunsTheStartupMacroLeavesOneEditor) {
  const DatabaseFile file;
  ASSERT_TRUE(file.made);
  const DatabaseAssociation association(quotedPath(besideMe("ActStandIn.exe")) + " \"%1\"");
  ASSERT_TRUE(
      CopyFileA(besideMe("Morvane.mpr").c_str(), (program + "\\Morvane.mpr").c_str(), FALSE));

  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  const DWORD process = morvane->processId();
  const HWND settingsDialog = openMenuEntry(process, editor->form, 'o', 's', "Settings");
  ASSERT_TRUE(settingsDialog != nullptr);
  clickButton(childWindow(settingsDialog, "Button", "Install macro"));
  ASSERT_TRUE(waitUntil([&] { return act.state().startupMacro == program + "\\Morvane.mpr"; }));
  clickButton(childWindow(settingsDialog, "Button", "&OK"));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(settingsDialog); }));

  const HWND dialog = openMenuEntry(process, editor->form, 'o', 'i', "Integrate with ACT!");
  ASSERT_TRUE(dialog != nullptr);
  clickLabel(toolbarLabel(dialog, "Contacts"));
  ASSERT_TRUE(waitUntil(
      [&] { return act.state().auxCommands == std::vector<std::string>{"Mo&rvane|1|"}; }));
  clickButton(childWindow(dialog, "Button", "&Close"));
  ASSERT_TRUE(answerMessageBox(BoxOwner::process(process), IDYES).has_value());
  EXPECT_TRUE(act.waitForExit(hostwin::kStandInTimeoutMs)) << "Command 150 closed ACT!";
  EXPECT_EQ(morvane->waitForExit(), 0u) << "the old editor ended at its second tick";

  std::vector<uint32_t> started;
  ASSERT_TRUE(
      waitUntil([&] { return (started = processesNamed("Morvane.exe")).size() == 1; }, 20s));
  EXPECT_TRUE(waitForEditor(started.front()).has_value()) << "the macro's Morvane opened";
  EXPECT_FALSE(findMessageBox(BoxOwner::process(started.front())).has_value());
  EXPECT_EQ(endProcessesNamed("Morvane.exe"), 1u);
  const std::vector<uint32_t> acts = processesNamed("ActStandIn.exe");
  ASSERT_EQ(acts.size(), 1u);
  const auto again = StandInProcess::attach(acts.front());  // stopped as it goes
  EXPECT_TRUE(again != nullptr);
}

// ACT!'s closing reaches the editor as an event from the other process; the editor closes as
// its window would, in the middle of that call, and the program ends.
TEST_F(MorvaneEndToEnd, ActClosingEndsTheEditor) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  ASSERT_TRUE(waitForEditor(*morvane).has_value());
  ASSERT_EQ(settings.get("WidthCol1"), "<none>");

  EXPECT_TRUE(act.stop());
  EXPECT_EQ(morvane->waitForExit(), 0u);
  EXPECT_EQ(settings.get("WidthCol1"), "2500") << "the window was unloaded";
}

// The save question comes while ACT! is still in its closing call, and Yes saves before the end.
TEST_F(MorvaneEndToEnd, ActClosingUnderUnsavedChangesAsksAndSaves) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());
  clickList(editor->list, pixelsX(2500) + pixelsX(2500) / 2, rowMiddle(editor->list, 1));
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(editor->chooser) != FALSE; }));
  ASSERT_TRUE(chooseWithTheMouse(editor->chooser, "Group Layout", morvane->processId()));
  ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(editor->save) != FALSE; }));

  // Answered from a timer of this thread, which the wait for ACT!'s end keeps serving.
  tAnswer = {morvane->processId(), IDYES, std::nullopt};
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &answerFromTimer);
  EXPECT_TRUE(act.stop());
  KillTimer(nullptr, timer);
  ASSERT_TRUE(tAnswer.box.has_value());
  EXPECT_EQ(tAnswer.box->text, "Do you want to save your changes?");
  EXPECT_EQ(morvane->waitForExit(), 0u);
  EXPECT_EQ(ruleOf("Customer"), "Group Layout");
}

// ACT! stops answering when Update Layout is pressed: the editor's call gives up at the call limit
// with its error box while ACT! still hangs, and the editor answers its messages all along.
TEST_F(MorvaneEndToEnd, UpdateLayoutWhileActHangsEndsAtTheCallLimitWithTheErrorBox) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());

  ASSERT_EQ(act.command("hang 30000").result, hostwin::protocol::Result::Done);
  clickButton(editor->updateLayout);
  const BoxOwner owner = BoxOwner::process(morvane->processId());
  const BoxWhileAnswering waited = waitForMessageBoxAnswering(owner, win32::fromHwnd(editor->form), 25s);
  const std::optional<FoundMessageBox>& box = waited.box;
  ASSERT_TRUE(box.has_value());
  DWORD_PTR ignored = 0;
  EXPECT_EQ(SendMessageTimeoutA(act.frame(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored), 0)
      << "the box should come while ACT! still hangs";
  EXPECT_EQ(waited.unanswered, 0) << "of " << waited.sends;
  EXPECT_EQ(box->caption, "Morvane error");
  EXPECT_EQ(box->text.rfind("Error -2147417825: 'Automation error\r\nThis operation returned "
                            "because the timeout period expired.'\r"
                            "in frmMain: Sub cmdUpdateLayout_Click - Line # 2\r",
                            0),
            0u)
      << box->text;
  ASSERT_TRUE(pressButton(*box, IDOK));
  act.wake();  // instead of sleeping out the rest of the hang
  EXPECT_TRUE(morvane->running());
  clickButton(editor->close);
  EXPECT_EQ(morvane->waitForExit(), 0u);
}

// ACT! dies without closing under an open editor: no event tells, but its windows go with it. The
// editor says so once and stays, and the rules can still be chosen and saved.
TEST_F(MorvaneEndToEnd, AnActThatDiesIsToldOnceAndTheRulesStillSave) {
  StandInProcess act;
  auto morvane = startMorvane("0");
  const auto editor = waitForEditor(*morvane);
  ASSERT_TRUE(editor.has_value());

  act.command("die");
  ASSERT_TRUE(act.waitForExit(hostwin::kStandInTimeoutMs));
  const BoxOwner owner = BoxOwner::process(morvane->processId());
  const auto box = answerMessageBox(owner, IDOK, 20s);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, "Morvane error");
  EXPECT_EQ(box->text.rfind(
                "Error 462: 'The remote server machine does not exist or is unavailable'\r", 0),
            0u)
      << box->text;

  clickList(editor->list, pixelsX(2500) + pixelsX(2500) / 2, rowMiddle(editor->list, 1));
  ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(editor->chooser) != FALSE; }));
  ASSERT_TRUE(chooseWithTheMouse(editor->chooser, "Group Layout", morvane->processId()));
  ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(editor->save) != FALSE; }));
  clickButton(editor->save);
  EXPECT_TRUE(waitUntil([&] { return ruleOf("Customer") == "Group Layout"; }));
  EXPECT_TRUE(morvane->running());
  EXPECT_FALSE(findMessageBox(owner).has_value()) << "one box for ACT!'s end";
  clickButton(editor->close);
  EXPECT_EQ(morvane->waitForExit(), 0u);
}

TEST_F(MorvaneEndToEnd, ASecondCopyAndAnActWithoutADatabaseAreToldAndEnd) {
  StandInProcess act;
  {
    auto first = startMorvane("0");
    ASSERT_TRUE(waitForEditor(*first).has_value());
    auto second = startMorvane("0");
    const auto box = answerMessageBox(BoxOwner::process(second->processId()), IDOK, 20s);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, kTitle);
    EXPECT_EQ(box->text, "Another instance of this program is already running!");
    EXPECT_TRUE(second->waitForExit().has_value());
    EXPECT_TRUE(first->running());
  }

  // ACT! refuses the link, then ACT! without a database.
  struct Case {
    std::vector<const char*> actCommands;
    const char* text;
  };
  const Case cases[] = {
      {{"unlinked on"},
       "Unable to communicate with ACT!\rPlease run actreg.exe located in the ACT folder and try "
       "again"},
      {{"unlinked off", "database close"}, "Please open an ACT database prior to running Morvane"},
  };
  for (const Case& c : cases) {
    for (const char* command : c.actCommands)
      ASSERT_EQ(act.command(command).result, hostwin::protocol::Result::Done) << command;
    auto morvane = startMorvane("0");
    const auto box = answerMessageBox(BoxOwner::process(morvane->processId()), IDOK, 20s);
    ASSERT_TRUE(box.has_value()) << c.text;
    EXPECT_EQ(box->caption, kTitle);
    EXPECT_EQ(box->text, c.text);
    EXPECT_TRUE(morvane->waitForExit().has_value()) << c.text;
  }
}

}  // namespace
}  // namespace morvane::wintest
