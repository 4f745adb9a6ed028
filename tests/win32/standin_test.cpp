// The ACT! stand-in seen from a second process, as the switcher sees ACT!: its window tree found
// with raw window calls, its status-bar pop-ups worked with messages, and its state driven and read
// through the control channel.
#include <string>
#include <vector>

#include "hostwin/standin_client.h"
#include "tests/win32/support/wait.h"

#include <gtest/gtest.h>

namespace morvane::hostwin {
namespace {

using wintest::waitUntil;

using protocol::Result;

// The list box styles the switcher's window search accepts.
constexpr DWORD kHidden = 0x40800001;
constexpr DWORD kHiddenScrolling = 0x40A00001;
constexpr DWORD kShown = 0x50800001;
constexpr DWORD kShownScrolling = 0x50A00001;

std::string className(HWND hwnd) {
  char name[256] = {};
  return std::string(name, static_cast<size_t>(GetClassNameA(hwnd, name, sizeof name)));
}

std::string windowText(HWND hwnd) {
  char text[512] = {};
  return std::string(text, static_cast<size_t>(GetWindowTextA(hwnd, text, sizeof text)));
}

DWORD style(HWND hwnd) {
  return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
}

RECT rectOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

LRESULT send(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageA(hwnd, msg, wParam, lParam);
}

// Another process's list box text: W messages, as LB_GETTEXT through A comes back as UTF-16
// under Wine.
std::string listText(HWND list, int index) {
  std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
  text.resize(static_cast<size_t>(
      SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
  return win32::toAnsi(text);
}

BOOL CALLBACK collect(HWND hwnd, LPARAM lParam) {
  reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
  return TRUE;
}

// ACT!'s windows of one process, found as the switcher finds them.
struct ActTree {
  HWND frame = nullptr;
  HWND view = nullptr;
  HWND statusBar = nullptr;
  std::vector<HWND> descendants;  // in enumeration order
  std::vector<HWND> buttons;      // status-bar buttons, in enumeration order
  std::vector<HWND> lists;        // list boxes, in enumeration order
  std::vector<HWND> fillers;      // children of the view
  HWND layoutButton() const { return buttons.at(0); }
  HWND lookupButton() const { return buttons.at(1); }
  HWND layoutList() const { return lists.back(); }
  HWND lookupList() const { return lists.front(); }
};

ActTree discover(DWORD processId) {
  ActTree tree;
  std::vector<HWND> topLevel;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&topLevel));
  for (HWND hwnd : topLevel) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == processId && className(hwnd) == "ACT3.0FrameClass") tree.frame = hwnd;
  }
  if (tree.frame == nullptr) return tree;
  EnumChildWindows(tree.frame, collect, reinterpret_cast<LPARAM>(&tree.descendants));
  for (HWND hwnd : tree.descendants) {
    const std::string name = className(hwnd);
    if (name == "msctls_statusbar32") tree.statusBar = hwnd;
    if (name == "AfxMDIFrame") tree.view = hwnd;
    if (name == "Button") tree.buttons.push_back(hwnd);
    if (name == "ListBox") tree.lists.push_back(hwnd);
    if (tree.view != nullptr && GetParent(hwnd) == tree.view) tree.fillers.push_back(hwnd);
  }
  return tree;
}

TEST(StandInWindows, HaveTheShapesOfActsWindows) {
  StandInProcess act("/fillers 40");
  const ActTree tree = discover(act.processId());
  ASSERT_EQ(tree.frame, act.frame());
  EXPECT_EQ(windowText(tree.frame), "ACT! - Standard");
  EXPECT_TRUE(IsWindowVisible(tree.frame));
  // The view with its fillers, the status bar, two buttons and two lists.
  EXPECT_EQ(tree.descendants.size(), 40u + 6u);

  ASSERT_NE(tree.view, nullptr);
  EXPECT_EQ(GetParent(tree.view), tree.frame);
  ASSERT_EQ(tree.fillers.size(), 40u);
  EXPECT_EQ(className(tree.fillers[0]), "Static");
  EXPECT_EQ(className(tree.fillers[1]), "Edit");

  ASSERT_NE(tree.statusBar, nullptr);
  EXPECT_EQ(GetParent(tree.statusBar), tree.frame);
  EXPECT_TRUE(IsWindowVisible(tree.statusBar));

  ASSERT_EQ(tree.buttons.size(), 2u);
  for (HWND button : tree.buttons) {
    EXPECT_EQ(GetParent(button), tree.statusBar);
    EXPECT_TRUE(IsWindowVisible(button));
  }
  EXPECT_EQ(windowText(tree.layoutButton()), "Standard");
  EXPECT_EQ(windowText(tree.lookupButton()), "Lookup");
  EXPECT_LT(rectOf(tree.layoutButton()).left, rectOf(tree.lookupButton()).left);
  EXPECT_EQ(GetDlgCtrlID(tree.layoutButton()), 1001);
  EXPECT_EQ(GetDlgCtrlID(tree.lookupButton()), 1002);

  // Hidden pop-ups of the frame, waiting at the screen's left edge; the layout list comes last.
  ASSERT_EQ(tree.lists.size(), 2u);
  for (HWND list : tree.lists) {
    EXPECT_EQ(GetParent(list), tree.frame);
    EXPECT_EQ(style(list), kHidden);
    EXPECT_EQ(rectOf(list).left, 0);
  }
  EXPECT_EQ(send(tree.lookupList(), LB_GETCOUNT), 3);
  ASSERT_EQ(send(tree.layoutList(), LB_GETCOUNT), 5);
  EXPECT_EQ(listText(tree.layoutList(), 0), "Standard");
  EXPECT_EQ(listText(tree.layoutList(), 4), "Group Layout");
}

TEST(StandInWindows, StatusBarButtonsOpenTheirPopUpAboveThemAndCloseItAgain) {
  StandInProcess act;
  ASSERT_EQ(act.command("layout Client").result, Result::Done);
  const ActTree tree = discover(act.processId());
  ASSERT_EQ(tree.lists.size(), 2u);
  ASSERT_EQ(tree.buttons.size(), 2u);

  struct Case {
    HWND button;
    HWND list;
    HWND other;
    LRESULT count;
  };
  for (const Case& c : {Case{tree.layoutButton(), tree.layoutList(), tree.lookupList(), 5},
                        Case{tree.lookupButton(), tree.lookupList(), tree.layoutList(), 3}}) {
    send(c.button, BM_CLICK);
    EXPECT_TRUE(IsWindowVisible(c.list));
    EXPECT_EQ(style(c.list), kShown);
    EXPECT_FALSE(IsWindowVisible(c.other));
    const RECT list = rectOf(c.list);
    const RECT button = rectOf(c.button);
    EXPECT_GT(list.left, 0);
    EXPECT_EQ(list.left, button.left);
    EXPECT_LE(list.bottom, button.top);
    EXPECT_GT(list.bottom, list.top);
    EXPECT_EQ(send(c.list, LB_GETCOUNT), c.count);

    send(c.button, BM_CLICK);
    EXPECT_FALSE(IsWindowVisible(c.list));
    EXPECT_EQ(style(c.list), kHidden);
  }

  // Opening the layout list marks the layout ACT! shows.
  send(tree.layoutButton(), BM_CLICK);
  EXPECT_EQ(send(tree.layoutList(), LB_GETCURSEL), 1);
}

TEST(StandInWindows, EnterOutsideTheOpenLayoutListAppliesNothing) {
  StandInProcess act;
  const ActTree tree = discover(act.processId());
  ASSERT_EQ(tree.lists.size(), 2u);

  // The layout list while closed.
  send(tree.layoutList(), LB_SETCURSEL, 1);
  ASSERT_TRUE(PostMessageA(tree.layoutList(), WM_KEYDOWN, VK_RETURN, 1));
  // The lookup list while open: it closes, the layout stays.
  send(tree.lookupButton(), BM_CLICK);
  send(tree.lookupList(), LB_SETCURSEL, 2);
  ASSERT_TRUE(PostMessageA(tree.lookupList(), WM_KEYDOWN, VK_RETURN, 1));

  const StandInState state = act.state();  // runs after both keys
  EXPECT_FALSE(IsWindowVisible(tree.lookupList()));
  EXPECT_FALSE(IsWindowVisible(tree.layoutList()));
  EXPECT_EQ(state.layout, "Standard");
  EXPECT_TRUE(state.applied.empty());
  EXPECT_EQ(act.frameTitle(), "ACT! - Standard");
  for (const RaisedEvent& event : state.events) EXPECT_NE(event.position, 7);
}

TEST(StandInWindows, MoreLayoutsThanTheListShowsGiveItAScrollBar) {
  StandInProcess act;
  const ActTree tree = discover(act.processId());
  ASSERT_EQ(tree.lists.size(), 2u);
  const HWND list = tree.layoutList();

  ASSERT_EQ(act.command("layouts L1|L2|L3|L4|L5|L6|L7|L8|L9|L10").result, Result::Done);
  EXPECT_EQ(style(list), kHiddenScrolling);
  EXPECT_EQ(send(list, LB_GETCOUNT), 10);
  // "Standard" is gone, so ACT! shows the first layout.
  EXPECT_EQ(act.frameTitle(), "ACT! - L1");
  EXPECT_EQ(windowText(tree.layoutButton()), "L1");
  send(tree.layoutButton(), BM_CLICK);
  EXPECT_EQ(style(list), kShownScrolling);
  send(tree.layoutButton(), BM_CLICK);

  ASSERT_EQ(act.command("layouts Standard | L1").result, Result::Done);
  EXPECT_EQ(style(list), kHidden);
  EXPECT_EQ(act.state().layouts, (std::vector<std::string>{"Standard", "L1"}));
  EXPECT_EQ(act.command("layouts  ").result, Result::Unknown);
}

TEST(StandInChannel, CommandsMoveRecordsSwitchViewsSetFieldsAndRaiseActsEvents) {
  StandInProcess act;
  struct Step {
    const char* command;
    Result result;
    const char* record;
    RaisedEvent event;  // position 0: no event raised
  };
  const Step steps[] = {
      {"next", Result::Done, "Bob Durand", {3, "Bob Durand"}},
      {"last", Result::Done, "Eve Moreau", {6, "Eve Moreau"}},
      {"next", Result::Refused, "Eve Moreau", {}},
      {"previous", Result::Done, "David Li", {4, "David Li"}},
      {"first", Result::Done, "Alice Martin", {5, "Alice Martin"}},
      {"previous", Result::Refused, "Alice Martin", {}},
      {"goto 3", Result::Done, "Carla Nunes", {8, "Carla Nunes"}},
      {"goto 0", Result::Refused, "Carla Nunes", {}},
      {"GOTO bob durand", Result::Done, "Bob Durand", {8, "Bob Durand"}},
      {"goto 6", Result::Refused, "Bob Durand", {}},
      {"field 5 Vendor", Result::Done, "Bob Durand", {11, "ID/Status"}},
      {"field 99 x", Result::Refused, "Bob Durand", {}},
      {"view group", Result::Done, "Sales Team", {12, "3"}},
      {"next", Result::Done, "Board", {3, "Board"}},
      {"view 1", Result::Done, "Bob Durand", {12, "1"}},
      {"event 13", Result::Done, "Bob Durand", {13, ""}},
      {"event 9 Zoe Zed", Result::Done, "Bob Durand", {9, "Zoe Zed"}},
      {"database close", Result::Done, "", {2, ""}},
      {"next", Result::Refused, "", {}},
      {"database open", Result::Done, "Bob Durand", {1, "C:\\ACT\\Database\\Sales.dbf"}},
      {"event 15", Result::Unknown, "Bob Durand", {}},
      {"view sideways", Result::Unknown, "Bob Durand", {}},
      {"jump", Result::Unknown, "Bob Durand", {}},
  };
  size_t events = act.state().events.size();
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command);
    EXPECT_EQ(act.command(step.command).result, step.result);
    const StandInState state = act.state();
    EXPECT_EQ(state.record, step.record);
    if (step.event.position == 0) {
      EXPECT_EQ(state.events.size(), events);
    } else {
      ASSERT_EQ(state.events.size(), events + 1);
      EXPECT_EQ(state.events.back(), step.event);
    }
    events = state.events.size();
  }

  // The reopened database is the one that was changed.
  const StandInState state = act.state();
  EXPECT_EQ(state.database, "C:\\ACT\\Database\\Sales.dbf");
  EXPECT_EQ(state.view, 1);
  EXPECT_EQ(state.fields.at(5), "Vendor");
  EXPECT_EQ(state.fields.at(1), "Borel SA");
}

TEST(StandInChannel, FaultCommandsReachActsFaults) {
  StandInProcess act;
  EXPECT_EQ(act.command("unlinked on").result, Result::Done);
  EXPECT_EQ(act.command("fail Views.Create").result, Result::Done);
  EXPECT_EQ(act.command("fail GetField").result, Result::Done);
  StandInState state = act.state();
  EXPECT_TRUE(state.unlinked);
  EXPECT_EQ(state.failing, (std::vector<std::string>{"GetField", "Views.Create"}));

  EXPECT_EQ(act.command("fail clear").result, Result::Done);
  EXPECT_EQ(act.command("unlinked off").result, Result::Done);
  EXPECT_EQ(act.command("unlinked maybe").result, Result::Unknown);
  state = act.state();
  EXPECT_FALSE(state.unlinked);
  EXPECT_TRUE(state.failing.empty());
}

TEST(StandInChannel, HangStopsTheWindowThreadAnsweringForAWhile) {
  StandInProcess act;
  ASSERT_EQ(act.command("hang 2000").result, Result::Done);
  DWORD_PTR result = 0;
  SetLastError(0);
  EXPECT_EQ(SendMessageTimeoutA(act.frame(), WM_NULL, 0, 0, SMTO_NORMAL, 200, &result), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_TRUE(waitUntil(
      [&] { return SendMessageTimeoutA(act.frame(), WM_NULL, 0, 0, SMTO_NORMAL, 200, &result); },
      std::chrono::milliseconds(kStandInTimeoutMs)));
}

TEST(StandInChannel, CountersCountWhatOtherProcessesSendAndPost) {
  StandInProcess act;
  const ActTree tree = discover(act.processId());
  ASSERT_EQ(tree.lists.size(), 2u);
  act.resetCounters();

  for (int i = 0; i < 3; ++i) send(tree.layoutList(), LB_GETCOUNT);
  send(tree.lookupButton(), BM_CLICK);  // opens and closes the pop-up: the clicks count, not what
  send(tree.lookupButton(), BM_CLICK);  // the stand-in does about them
  ASSERT_TRUE(PostMessageA(tree.frame, WM_NULL, 0, 0));
  ASSERT_TRUE(PostMessageA(tree.layoutList(), WM_NULL, 0, 0));
  ASSERT_TRUE(waitUntil([&] { return act.counters().posted >= 2; },
                        std::chrono::milliseconds(kStandInTimeoutMs)));

  StandInCounters counters = act.counters();
  EXPECT_EQ(counters.sent, 5u);
  EXPECT_EQ(counters.posted, 2u);
  EXPECT_EQ(counters.automationCalls, 0u);

  act.resetCounters();
  counters = act.counters();
  EXPECT_EQ(counters.sent, 0u);
  EXPECT_EQ(counters.posted, 0u);
}

TEST(StandInProcess, CloseEndsActAndTheProcess) {
  StandInProcess act;
  const HWND frame = act.frame();
  EXPECT_EQ(act.command("close").result, Result::Done);
  ASSERT_TRUE(act.waitForExit(kStandInTimeoutMs));
  DWORD code = 1;
  GetExitCodeProcess(act.process(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(IsWindow(frame));

  // The user closing the frame ends it the same way.
  StandInProcess second;
  ASSERT_TRUE(PostMessageA(second.frame(), WM_CLOSE, 0, 0));
  ASSERT_TRUE(second.waitForExit(kStandInTimeoutMs));
  GetExitCodeProcess(second.process(), &code);
  EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace morvane::hostwin
