// The Windows behaviours of the simulated desktop that the logic depends on.
#include "platform/sim/sim_desktop.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/error_trap.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/timers.h"
#include "platform/win_constants.h"

namespace morvane::sim {
namespace {

using namespace morvane::win;

LParam text(const char* s) {
  return reinterpret_cast<LParam>(s);
}
constexpr WParam kAllItems = static_cast<WParam>(-1);

class DesktopTest : public ::testing::Test {
 protected:
  Hwnd top(const char* cls = "Frame", uint32_t style = WS_VISIBLE) {
    return d.createWindowA(cls, "", style, 10, 20, 400, 300, 0, nullptr);
  }
  Hwnd child(Hwnd parent, const char* cls = "Static", uint32_t style = WS_CHILD | WS_VISIBLE,
             int32_t x = 5, int32_t y = 6) {
    return d.createWindowA(cls, "", style, x, y, 50, 40, parent, nullptr);
  }
  Hwnd listBox(std::vector<const char*> items, uint32_t extra = 0) {
    const Hwnd lb = child(top(), "ListBox", WS_CHILD | WS_VISIBLE | extra);
    for (const char* s : items) d.sendMessageA(lb, LB_ADDSTRING, 0, text(s));
    return lb;
  }
  SimDesktop d;
};

TEST_F(DesktopTest, EnumWindows_NewestFirstFromSnapshot) {
  const Hwnd a = top(), b = top(), c = top();
  std::vector<Hwnd> seen;
  Hwnd created = 0;
  EXPECT_TRUE(d.enumWindows(
      [&](Hwnd h, LParam) {
        seen.push_back(h);
        if (h == c) {
          d.destroyWindow(b);  // destroyed before its turn: skipped
          created = top();     // created during the walk: not visited
        }
        return -1;
      },
      0));
  EXPECT_EQ(seen, (std::vector<Hwnd>{c, a}));
  EXPECT_NE(created, 0u);
  EXPECT_FALSE(d.enumWindows([](Hwnd, LParam) { return 0; }, 0));
}

TEST_F(DesktopTest, EnumChildWindows_AllDescendantsDepthFirstInCreationOrder) {
  const Hwnd f = top();
  const Hwnd a = child(f), b = child(f);
  const Hwnd a1 = child(a), a2 = child(a), b1 = child(b);
  d.createWindowA("Popup", "", WS_POPUP, 0, 0, 1, 1, f, nullptr);  // owned, not a child
  std::vector<Hwnd> seen;
  EXPECT_TRUE(d.enumChildWindows(
      f,
      [&](Hwnd h, LParam) {
        seen.push_back(h);
        return -1;
      },
      0));
  EXPECT_EQ(seen, (std::vector<Hwnd>{a, a1, a2, b, b1}));
  // Stopping ends the walk at once, descent included; no children at all also gives false.
  seen.clear();
  EXPECT_FALSE(d.enumChildWindows(
      f,
      [&](Hwnd h, LParam) {
        seen.push_back(h);
        return 0;
      },
      0));
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_FALSE(d.enumChildWindows(
      b1, [](Hwnd, LParam) { return -1; }, 0));
}

TEST_F(DesktopTest, GetClassName_TruncatesToBufferAndFailsOnBadHandle) {
  const Hwnd h = top("ACT3.0FrameClass");
  std::array<char, 256> buf{};
  EXPECT_EQ(d.getClassNameA(h, buf.data(), 256), 16);
  EXPECT_STREQ(buf.data(), "ACT3.0FrameClass");
  EXPECT_EQ(d.getClassNameA(h, buf.data(), 4), 3);
  EXPECT_STREQ(buf.data(), "ACT");
  EXPECT_EQ(d.getClassNameA(0, buf.data(), 256), 0);
  EXPECT_EQ(d.getClassNameA(0xDEAD, buf.data(), 256), 0);
}

TEST_F(DesktopTest, ParentRectAndVisibilityFollowTheTree) {
  const Hwnd f = top();
  const Hwnd bar = child(f, "Bar", WS_CHILD | WS_VISIBLE, 0, 100);
  const Hwnd btn = child(bar, "Button", WS_CHILD | WS_VISIBLE, 7, 3);
  const Hwnd popup = d.createWindowA("Popup", "", WS_POPUP, 0, 0, 1, 1, btn, nullptr);
  EXPECT_EQ(d.getParent(btn), bar);
  EXPECT_EQ(d.getParent(f), 0u);
  EXPECT_EQ(d.getParent(popup), f);  // owner normalised to the top-level window
  Rect r;
  ASSERT_TRUE(d.getWindowRect(btn, r));
  EXPECT_EQ(r, (Rect{10 + 0 + 7, 20 + 100 + 3, 10 + 7 + 50, 20 + 103 + 40}));
  // Given a frame and a caption bar, the frame's children move into its client area.
  d.setNonClient(f, Rect{3, 22, 3, 3});
  ASSERT_TRUE(d.getWindowRect(btn, r));
  EXPECT_EQ(r, (Rect{10 + 3 + 7, 20 + 22 + 103, 10 + 3 + 7 + 50, 20 + 22 + 103 + 40}));
  EXPECT_EQ(d.clientRect(f), (Rect{0, 0, 400 - 6, 300 - 25}));
  Rect untouched{1, 2, 3, 4};
  EXPECT_FALSE(d.getWindowRect(0xDEAD, untouched));
  EXPECT_EQ(untouched, (Rect{1, 2, 3, 4}));

  EXPECT_TRUE(d.isWindowVisible(btn));
  d.showWindow(bar, SW_HIDE);
  EXPECT_FALSE(d.isWindowVisible(btn));                        // an ancestor is hidden
  EXPECT_TRUE(d.getWindowLongA(btn, GWL_STYLE) & WS_VISIBLE);  // its own bit is kept
  EXPECT_FALSE(d.isWindowVisible(0));
}

TEST_F(DesktopTest, SetRedraw_DefaultProcTogglesVisibleButListBoxKeepsIt) {
  const Hwnd f = top();
  d.sendMessageA(f, WM_SETREDRAW, 0, 0);
  EXPECT_FALSE(d.isWindowVisible(f));
  EXPECT_TRUE(d.isPaintSuppressed(f));
  d.sendMessageA(f, WM_SETREDRAW, 1, 0);
  EXPECT_TRUE(d.isWindowVisible(f));
  EXPECT_FALSE(d.isPaintSuppressed(f));

  const Hwnd lb = listBox({});
  d.sendMessageA(lb, WM_SETREDRAW, 0, 0);
  EXPECT_TRUE(d.isWindowVisible(lb));
  EXPECT_TRUE(d.isPaintSuppressed(lb));
}

TEST_F(DesktopTest, ListBox_FindStringExactIsWholeCaseInsensitiveWithWrapAround) {
  const Hwnd lb = listBox({"Standard", "Client", "abci", "client"});
  struct Case {
    int32_t start;
    const char* s;
    LResult expected;
  };
  for (const Case& c : std::vector<Case>{{-1, "CLIENT", 1},
                                         {1, "client", 3},     // from start+1
                                         {3, "Client", 1},     // wraps round
                                         {2, "abci", 2},       // start itself is examined last
                                         {99, "standard", 0},  // start past the end wraps to 0
                                         {-1, "abc", LB_ERR},  // a prefix is no match
                                         {-1, "Client ", LB_ERR},
                                         {-1, "", LB_ERR}}) {
    EXPECT_EQ(d.sendMessageA(lb, LB_FINDSTRINGEXACT, static_cast<WParam>(c.start), text(c.s)),
              c.expected)
        << c.s << " from " << c.start;
  }
  EXPECT_EQ(d.sendMessageA(lb, LB_FINDSTRING, static_cast<WParam>(-1), text("ab")), 2);
}

TEST_F(DesktopTest, ListBox_SelectionCountTextAndSorting) {
  const Hwnd lb = listBox({"b", "a"});
  EXPECT_EQ(d.sendMessageA(lb, LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(d.sendMessageA(lb, LB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(d.sendMessageA(lb, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(d.sendMessageA(lb, LB_SETCURSEL, 2, 0), LB_ERR);
  EXPECT_EQ(d.sendMessageA(lb, LB_GETCURSEL, 0, 0), 1);  // unchanged by a bad index
  EXPECT_EQ(d.sendMessageA(lb, LB_SETCURSEL, static_cast<WParam>(-1), 0), LB_ERR);
  EXPECT_EQ(d.sendMessageA(lb, LB_GETCURSEL, 0, 0), LB_ERR);  // but -1 did clear it
  std::array<char, 16> buf{};
  EXPECT_EQ(d.sendMessageA(lb, LB_GETTEXT, 0, reinterpret_cast<LParam>(buf.data())), 1);
  EXPECT_STREQ(buf.data(), "b");
  EXPECT_EQ(d.sendMessageA(lb, LB_GETTEXT, 5, reinterpret_cast<LParam>(buf.data())), LB_ERR);

  const Hwnd sorted = listBox({}, LBS_SORT);
  EXPECT_EQ(d.sendMessageA(sorted, LB_ADDSTRING, 0, text("item 2")), 0);
  EXPECT_EQ(d.sendMessageA(sorted, LB_ADDSTRING, 0, text("item 0")), 0);
  EXPECT_EQ(d.sendMessageA(sorted, LB_ADDSTRING, 0, text("Item 1")), 1);
  EXPECT_EQ(d.listItems(sorted), (std::vector<std::string>{"item 0", "Item 1", "item 2"}));
}

TEST_F(DesktopTest, ButtonClick_NotifiesParentUnlessDisabledOrEmpty) {
  const Hwnd f = top();
  std::vector<std::pair<WParam, LParam>> commands;
  const Hwnd bar = d.createWindowA("Bar", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, f,
                                   [&](Hwnd, uint32_t msg, WParam w, LParam l) -> LResult {
                                     if (msg == WM_COMMAND) commands.emplace_back(w, l);
                                     return 0;
                                   });
  const Hwnd ok = child(bar, "Button");
  d.setWindowLongA(ok, GWL_ID, 42);
  const Hwnd disabled = child(bar, "Button", WS_CHILD | WS_VISIBLE | WS_DISABLED);
  const Hwnd empty = d.createWindowA("Button", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, bar, nullptr);
  d.sendMessageA(ok, BM_CLICK, 0, 0);
  d.sendMessageA(disabled, BM_CLICK, 0, 0);
  d.sendMessageA(empty, BM_CLICK, 0, 0);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].first, (BN_CLICKED << 16) | 42u);
  EXPECT_EQ(commands[0].second, static_cast<LParam>(ok));
}

TEST_F(DesktopTest, PostMessage_QueuesUntilPumpAndRefusesBadTargets) {
  int received = 0;
  const Hwnd h = d.createWindowA("W", "", WS_VISIBLE, 0, 0, 1, 1, 0,
                                 [&](Hwnd, uint32_t msg, WParam, LParam) -> LResult {
                                   if (msg == WM_KEYDOWN) ++received;
                                   return 0;
                                 });
  EXPECT_TRUE(d.postMessageA(h, WM_KEYDOWN, VK_RETURN, 1));
  EXPECT_EQ(received, 0);
  EXPECT_EQ(d.pump(), 1);
  EXPECT_EQ(received, 1);
  EXPECT_FALSE(d.postMessageA(0xDEAD, WM_KEYDOWN, 0, 0));
  EXPECT_TRUE(d.postMessageA(0, WM_KEYDOWN, 0, 0));             // the thread's own queue
  EXPECT_FALSE(d.postMessageA(h, LB_ADDSTRING, 0, text("x")));  // pointers are send-only
  EXPECT_EQ(d.sendMessageA(0xDEAD, LB_GETCOUNT, 0, 0), 0);

  d.postMessageA(h, WM_KEYDOWN, 0, 0);
  d.destroyWindow(h);
  EXPECT_EQ(d.pump(), 0);  // a message to a window that went is dropped
  ASSERT_GE(d.trace().size(), 2u);
  EXPECT_EQ(d.trace()[0].kind, TraceEntry::Kind::Post);
  EXPECT_TRUE(d.trace()[0].flag);
  EXPECT_FALSE(d.trace()[1].flag);
}

// What a send to a program that stops answering costs the sender, and what reaches the program
// once it answers again (the user32 side of it is in tests/contract and tests/win32).
TEST_F(DesktopTest, HungProgram_SendsWaitTheLimitOnceThenFailAtOnceAndPostsArriveLater) {
  std::vector<uint32_t> received;
  const Hwnd f = d.createWindowA("Frame", "", WS_VISIBLE, 0, 0, 100, 100, 0,
                                 [&](Hwnd h, uint32_t msg, WParam w, LParam l) {
                                   if (msg != WM_PAINT) received.push_back(msg);
                                   return d.callClassProc(h, msg, w, l);
                                 });
  const Hwnd lb = child(f, "ListBox");
  d.sendMessageA(lb, LB_ADDSTRING, 0, text("Client"));
  const Hwnd other = top();
  received.clear();

  d.hang(lb, 15000);  // its whole program: the frame and everything under it
  EXPECT_TRUE(d.isBusy(f));
  EXPECT_FALSE(d.isBusy(other));
  EXPECT_EQ(d.sendMessageTimeoutA(f, WM_USER, 0, 0), std::nullopt);
  EXPECT_EQ(d.now(), 10000u);  // the sender waited the whole limit
  EXPECT_FALSE(d.trace().back().flag);
  // Hung for five seconds and more: the next sends fail at once and never get there.
  EXPECT_EQ(d.sendMessageTimeoutA(lb, LB_FINDSTRINGEXACT, kAllItems, text("Client")), std::nullopt);
  EXPECT_EQ(d.sendMessageTimeoutA(f, WM_USER + 1, 0, 0), std::nullopt);
  EXPECT_EQ(d.now(), 10000u);
  EXPECT_EQ(d.sendMessageTimeoutA(other, WM_SETTEXT, 0, text("x")), 1);  // others answer
  EXPECT_TRUE(d.postMessageA(f, WM_KEYDOWN, VK_RETURN, 1));
  d.sendMessageA(f, WM_SETREDRAW, 1, 0);  // redraw switched back on is never lost
  EXPECT_EQ(d.pump(), 0);
  EXPECT_TRUE(received.empty());

  d.advance(5000);
  EXPECT_FALSE(d.isBusy(f));
  EXPECT_EQ(received, (std::vector<uint32_t>{WM_KEYDOWN, WM_SETREDRAW}));
  EXPECT_EQ(d.sendMessageTimeoutA(lb, LB_FINDSTRINGEXACT, kAllItems, text("client")), 0);

  // A hang shorter than the limit: the send waits for the answer.
  d.hang(f, 3000);
  EXPECT_EQ(d.sendMessageTimeoutA(lb, LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(d.now(), 18000u);
  EXPECT_FALSE(d.isBusy(f));
}

TEST_F(DesktopTest, HungProgram_AHangThatBeginsInTheHandlerHoldsBackItsAnswer) {
  const Hwnd lb = listBox({"Standard", "Client"});
  d.hangWhenSent(lb, LB_FINDSTRINGEXACT, 4000);
  EXPECT_EQ(d.sendMessageTimeoutA(lb, LB_GETCOUNT, 0, 0), 2);  // another message: no hang
  EXPECT_EQ(d.sendMessageTimeoutA(lb, LB_FINDSTRINGEXACT, kAllItems, text("Client")), 1);
  EXPECT_EQ(d.now(), 4000u);

  d.hangWhenSent(lb, LB_FINDSTRINGEXACT, 15000);
  EXPECT_EQ(d.sendMessageTimeoutA(lb, LB_FINDSTRINGEXACT, kAllItems, text("Client")), std::nullopt);
  EXPECT_EQ(d.now(), 14000u);
  EXPECT_TRUE(d.isBusy(lb));
  // Moving its window waits for it as a send does; it has not answered for ten seconds.
  EXPECT_FALSE(d.moveWindow(lb, 5000, 0, 0, 0, false));
  EXPECT_EQ(d.now(), 14000u);
  EXPECT_TRUE(d.waitForAnswer(lb, 5000));
  EXPECT_EQ(d.now(), 19000u);
  EXPECT_TRUE(d.moveWindow(lb, 5000, 0, 0, 0, false));
}

TEST_F(DesktopTest, LockWindowUpdate_OneLockOnTheWholeDesktop) {
  const Hwnd a = top(), b = top();
  const Hwnd c = child(a);
  EXPECT_TRUE(d.lockWindowUpdate(a));
  EXPECT_FALSE(d.lockWindowUpdate(b));
  EXPECT_FALSE(d.lockWindowUpdate(a));
  EXPECT_TRUE(d.isPaintSuppressed(c));
  EXPECT_FALSE(d.isPaintSuppressed(b));
  EXPECT_TRUE(d.lockWindowUpdate(0));
  EXPECT_FALSE(d.isPaintSuppressed(c));
  EXPECT_TRUE(d.lockWindowUpdate(b));
  d.destroyWindow(b);
  EXPECT_EQ(d.lockedWindow(), 0u);
}

TEST_F(DesktopTest, InvalidateRgn_PaintsAtTheNextPumpOnceUnlocked) {
  int paints = 0;
  const Hwnd f = d.createWindowA("W", "", WS_VISIBLE, 0, 0, 1, 1, 0,
                                 [&](Hwnd h, uint32_t msg, WParam w, LParam l) -> LResult {
                                   if (msg == WM_PAINT) ++paints;
                                   return d.callClassProc(h, msg, w, l);
                                 });
  d.lockWindowUpdate(f);
  EXPECT_TRUE(d.invalidateRgn(f, 0, true));
  d.pump();
  EXPECT_EQ(paints, 0);
  d.lockWindowUpdate(0);
  d.pump();
  EXPECT_EQ(paints, 1);
  d.pump();
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(d.invalidateRgn(0, 0, true));
}

TEST_F(DesktopTest, Subclassing_ThroughGwlWndProcAndCallWindowProc) {
  const Hwnd lb = listBox({"a", "b"});
  std::vector<uint32_t> seen;
  WndProcValue old = 0;
  const WndProcValue mine = d.makeWndProcValue([&](Hwnd h, uint32_t m, WParam w, LParam l) {
    seen.push_back(m);
    return d.callWindowProcA(old, h, m, w, l);
  });
  old = d.setWindowLongA(lb, GWL_WNDPROC, mine);
  EXPECT_NE(old, 0);
  EXPECT_EQ(d.getWindowLongA(lb, GWL_WNDPROC), mine);
  EXPECT_EQ(d.sendMessageA(lb, LB_GETCOUNT, 0, 0), 2);  // the old procedure still answers
  EXPECT_EQ(seen, std::vector<uint32_t>{LB_GETCOUNT});
  // The list box empties itself through LB_RESETCONTENT when its last item goes.
  d.sendMessageA(lb, LB_DELETESTRING, 0, 0);
  d.sendMessageA(lb, LB_DELETESTRING, 0, 0);
  EXPECT_EQ(seen, (std::vector<uint32_t>{LB_GETCOUNT, LB_DELETESTRING, LB_DELETESTRING,
                                         LB_RESETCONTENT}));
  EXPECT_EQ(d.setWindowLongA(lb, GWL_WNDPROC, old), mine);
  EXPECT_EQ(d.setWindowLongA(lb, GWL_WNDPROC, 12345), 0);  // not a procedure
}

TEST_F(DesktopTest, Timers_TickOnTheVirtualClock) {
  std::vector<uint64_t> ticks;
  TimerId id = 0;
  id = d.setTimer(300, [&] {
    ticks.push_back(d.now());
    if (ticks.size() == 3) d.killTimer(id);
  });
  d.advance(299);
  EXPECT_TRUE(ticks.empty());
  d.advance(2000);
  EXPECT_EQ(ticks, (std::vector<uint64_t>{300, 600, 900}));
  EXPECT_EQ(d.activeTimers(), 0u);
  EXPECT_EQ(d.now(), 2299u);
}

TEST_F(DesktopTest, TimerControl_IntervalZeroStopsAndNewIntervalRestartsCountdown) {
  Timer t(d);
  int fired = 0;
  t.onTimer = [&] { ++fired; };
  EXPECT_FALSE(t.running());
  t.setInterval(1000);
  d.advance(800);
  t.setInterval(1000);  // restarts: next tick 1000 ms from now
  d.advance(800);
  EXPECT_EQ(fired, 0);
  d.advance(200);
  EXPECT_EQ(fired, 1);
  t.setInterval(0);
  d.advance(5000);
  EXPECT_EQ(fired, 1);
  EXPECT_THROW(t.setInterval(-1), RuntimeError);
  t.setEnabled(false);
  t.setInterval(100);
  d.advance(500);
  EXPECT_EQ(fired, 1);
}

TEST_F(DesktopTest, TimerControl_TicksDueWhileItsEventRunsAreDropped) {
  Timer t(d);
  int fired = 0;
  t.setInterval(100);
  // The first tick shows a box whose loop lets 350 ms pass: three more ticks fall due meanwhile.
  t.onTimer = [&] {
    if (++fired == 1) d.advance(350);
  };
  d.advance(100);
  EXPECT_EQ(fired, 1);
  d.advance(100);
  EXPECT_EQ(fired, 2);
}

TEST(ErrorTrap, ShowsTheStandardBoxAndStops) {
  SimMessageBoxes boxes;
  ErrorTrap trap(boxes, "MorvaneAuto");
  int reached = 0;
  EXPECT_FALSE(trap.run("in frmAuto: Sub Update_Layout", [&](int& line) {
    line = 7;
    throw RuntimeError(err::kTypeMismatch);
    reached = 1;
  }));
  EXPECT_EQ(reached, 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, "MorvaneAuto error");
  EXPECT_EQ(boxes.shown()[0].text,
            "Error 13: 'Type mismatch'\rin frmAuto: Sub Update_Layout - Line # 7\r\r"
            "Please contact support@morvane.example.com with this error message.");
  EXPECT_EQ(boxes.shown()[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::None);
  EXPECT_TRUE(trap.run("x", [](int&) {}));
  EXPECT_FALSE(ignoreErrors([] { throw RuntimeError(err::kOverflow); }));
  EXPECT_EQ(boxes.shown().size(), 1u);
}

}  // namespace
}  // namespace morvane::sim
