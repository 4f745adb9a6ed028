// Window discovery and layout selection against the simulated ACT!.
#include "shared/act/modLayout.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "hostsim/act_windows.h"
#include "platform/counting_window_system.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/win_constants.h"

namespace morvane {
namespace {

using namespace morvane::win;
using hostsim::ActWindowOptions;
using hostsim::ActWindows;
using Kind = sim::TraceEntry::Kind;

sim::TraceEntry entry(Kind kind, Hwnd h, uint32_t msg = 0, WParam w = 0, LParam l = 0) {
  sim::TraceEntry e;
  e.kind = kind;
  e.target = h;
  e.msg = msg;
  e.wParam = w;
  e.lParam = l;
  return e;
}

// A send ACT! answered.
sim::TraceEntry send(Hwnd h, uint32_t msg, WParam w = 0) {
  sim::TraceEntry e = entry(Kind::Send, h, msg, w);
  e.flag = true;
  return e;
}

// The logic's view of the desktop, counted: which windows' classes it reads and how often. It can
// fail one window's class read, and act once the passes over the frame's windows have begun (the
// first IsWindowVisible comes from the status-bar pass, after the walk of the tree).
class ProbedWindows : public CountingWindowSystem {
 public:
  using CountingWindowSystem::CountingWindowSystem;
  int32_t getClassNameA(Hwnd h, char* buffer, int32_t maxCount) override {
    ++classReads[h];
    if (h == failClassReadOf) return 0;
    return CountingWindowSystem::getClassNameA(h, buffer, maxCount);
  }
  bool isWindowVisible(Hwnd h) override {
    if (onFirstVisibilityTest) std::exchange(onFirstVisibilityTest, nullptr)();
    return CountingWindowSystem::isWindowVisible(h);
  }
  std::map<Hwnd, int> classReads;
  Hwnd failClassReadOf = 0;
  std::function<void()> onFirstVisibilityTest;
};

class LayoutTest : public ::testing::Test {
 protected:
  ActWindows& startAct(ActWindowOptions options = {}) {
    act = std::make_unique<ActWindows>(desktop, layouts, std::move(options));
    act->open();
    desktop.clearTrace();
    return *act;
  }
  // The trace with string pointers blanked, so entries compare by value.
  std::vector<sim::TraceEntry> trace() const {
    auto t = desktop.trace();
    for (auto& e : t)
      if (!e.text.empty()) e.lParam = 0;
    return t;
  }
  size_t count(uint32_t msg, Hwnd target) const {
    size_t n = 0;
    for (const auto& e : desktop.trace())
      if (e.msg == msg && e.target == target && (e.kind == Kind::Send || e.kind == Kind::Post)) ++n;
    return n;
  }
  // What the window search sends: the status-bar buttons clicked twice each under the lock.
  std::vector<sim::TraceEntry> refreshSequence() const {
    const Hwnd main = act->frame();
    std::vector<sim::TraceEntry> s;
    s.push_back(entry(Kind::Lock, main));
    s.push_back(send(main, WM_SETREDRAW, 0));
    for (size_t i = 0; i < 2; ++i) {
      s.push_back(send(act->buttons()[i], BM_CLICK));
      s.push_back(send(act->buttons()[i], BM_CLICK));
    }
    s.push_back(send(main, WM_SETREDRAW, 1));
    s.push_back(entry(Kind::Lock, 0));
    sim::TraceEntry inv = entry(Kind::Invalidate, main);
    inv.flag = true;
    s.push_back(inv);
    return s;
  }

  sim::SimDesktop desktop;
  sim::SimMessageBoxes boxes;
  ErrorTrap trap{boxes, "Morvane"};
  hostsim::ActLayoutState layouts{{"Standard", "Client", "Prospect Layout"}, "Standard", {}};
  std::unique_ptr<ActWindows> act;
  modLayout mod{desktop, trap};
};

TEST_F(LayoutTest, SelectLayout_HiddenList_ClicksButtonThenMovesListAway) {
  startAct();
  const Hwnd main = act->frame(), list = act->layoutList(), button = act->layoutButton();
  EXPECT_EQ(mod.SelectLayout("client"), "");

  auto expected = refreshSequence();
  sim::TraceEntry find = send(list, LB_FINDSTRINGEXACT, static_cast<WParam>(-1));
  find.text = "client";
  expected.push_back(find);
  auto lockAgain = refreshSequence();
  expected.push_back(lockAgain[0]);
  expected.push_back(lockAgain[1]);
  expected.push_back(send(button, BM_CLICK));
  sim::TraceEntry move = entry(Kind::Move, list);
  move.rect = Rect{5000, 0, 5000, 0};
  expected.push_back(move);
  expected.insert(expected.end(), lockAgain.end() - 3, lockAgain.end());
  expected.push_back(send(list, LB_SETCURSEL, 1));
  sim::TraceEntry enter = entry(Kind::Post, list, WM_KEYDOWN, VK_RETURN, 1);
  enter.flag = true;
  expected.push_back(enter);
  expected.push_back(enter);
  EXPECT_EQ(trace(), expected);

  // The Enter keys are only posted: ACT! switches when its queue is pumped.
  EXPECT_EQ(act->currentLayout(), "Standard");
  desktop.pump();
  EXPECT_EQ(act->currentLayout(), "Client");
  EXPECT_EQ(layouts.applied, std::vector<std::string>{"Client"});
  EXPECT_FALSE(act->isPopupOpen(list));
  EXPECT_EQ(main, mod.ActWindowSet.MainHandle);
}

TEST_F(LayoutTest, SelectLayout_VisibleList_NoClickOnLayoutButtonAndNoMove) {
  startAct();
  const Hwnd list = act->layoutList(), button = act->layoutButton();
  // The user has the layout pop-up open.
  mod.FindWindows();
  desktop.sendMessageA(button, BM_CLICK, 0, 0);
  ASSERT_TRUE(desktop.isWindowVisible(list));
  desktop.clearTrace();

  EXPECT_EQ(mod.SelectLayout("Prospect Layout"), "");
  EXPECT_EQ(count(BM_CLICK, button), 2u);  // the search's two clicks only
  for (const auto& e : desktop.trace()) EXPECT_NE(e.kind, Kind::Move);
  EXPECT_EQ(count(WM_KEYDOWN, list), 2u);
  desktop.pump();
  EXPECT_EQ(act->currentLayout(), "Prospect Layout");
}

TEST_F(LayoutTest, SelectLayout_NothingIsPaintedUnderTheRedrawLock) {
  startAct();
  EXPECT_EQ(mod.SelectLayout("Client"), "");
  EXPECT_EQ(act->visiblePaints(), 0);
  EXPECT_GT(act->heldBackPaints(), 0);
  EXPECT_EQ(act->framePaints(), 0);
  desktop.pump();  // the invalidated frame repaints once, and the applied layout shows
  EXPECT_EQ(act->framePaints(), 1);
  EXPECT_EQ(act->visiblePaints(), 1);
}

TEST_F(LayoutTest, SelectLayout_Results) {
  struct Case {
    const char* name;
    const char* layout;
    ActWindowOptions options;
    bool actRunning;
    std::string expected;
  };
  ActWindowOptions zeroLeft;
  zeroLeft.layoutListAtLeftZero = true;
  ActWindowOptions sorted;
  sorted.extraLayoutListStyle = LBS_SORT;
  ActWindowOptions vanishing;
  vanishing.destroyListOnSelect = true;
  ActWindowOptions noStatusBar;
  noStatusBar.statusBar = false;
  const std::string longName(255, 'x');
  const std::vector<Case> cases{
      {"case differs", "PROSPECT layout", {}, true, ""},
      {"prefix only", "Prospect", {}, true, "Layout 'Prospect' does not seem to exist!"},
      {"trailing blank", "Client ", {}, true, "Layout 'Client ' does not seem to exist!"},
      {"255 characters",
       longName.c_str(),
       {},
       true,
       "Layout '" + longName + "' does not seem to exist!"},
      {"ACT! not running", "Client", {}, false, "ACT is not running!"},
      {"list at left 0", "Client", zeroLeft, true, "Layout 'Client' does not seem to exist!"},
      {"list style has an extra bit", "Client", sorted, true,
       "Layout 'Client' does not seem to exist!"},
      {"no status bar", "Client", noStatusBar, true, "Layout 'Client' does not seem to exist!"},
      {"list vanishes before Enter", "Client", vanishing, true, "Error Setting Layout 'Client' !"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    startAct(c.options);
    if (!c.actRunning) act->close();
    EXPECT_EQ(mod.SelectLayout(c.layout), c.expected);
    if (c.expected != "" && c.expected.rfind("Error", 0) != 0) {
      EXPECT_EQ(count(WM_KEYDOWN, act->layoutList()), 0u);
      EXPECT_EQ(count(LB_SETCURSEL, act->layoutList()), 0u);
    }
    desktop.pump();
  }
  EXPECT_TRUE(boxes.shown().empty());
}

// ACT! busy while it handles one of the selection's messages: past the call limit, the step has
// no answer, the selection did not happen, and nothing of it reaches ACT! when it wakes up. Within
// the limit the selection waits for ACT! and goes on.
TEST_F(LayoutTest, SelectLayout_AStepActDoesNotAnswerFailsTheSelectionForGood) {
  struct Case {
    const char* name;
    uint32_t msg;  // ACT! hangs while it handles the first of these
    uint64_t ms;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"the name search", LB_FINDSTRINGEXACT, 15000, "Error Setting Layout 'Client' !"},
      {"a status-bar click of the search", BM_CLICK, 15000, "Error Setting Layout 'Client' !"},
      {"the selection of the entry", LB_SETCURSEL, 15000, "Error Setting Layout 'Client' !"},
      {"the name search, briefly", LB_FINDSTRINGEXACT, 3000, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    layouts.current = "Standard";
    startAct();
    const Hwnd list = act->layoutList();
    desktop.hangWhenSent(act->frame(), c.msg, c.ms);
    EXPECT_EQ(mod.SelectLayout("Client"), c.expected);
    if (!c.expected.empty()) {
      EXPECT_EQ(count(WM_KEYDOWN, list), 0u);
      if (c.msg != LB_SETCURSEL) {
        EXPECT_EQ(count(LB_SETCURSEL, list), 0u);
      }
    }
    desktop.advance(c.ms);  // ACT! wakes up and handles what waited for it
    EXPECT_FALSE(desktop.isBusy(act->frame()));
    EXPECT_EQ(act->currentLayout(), c.expected.empty() ? "Client" : "Standard");
    EXPECT_FALSE(desktop.isPaintSuppressed(act->frame()));
    EXPECT_EQ(desktop.lockedWindow(), 0u);
  }
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LayoutTest, EnumLayouts_StopsAtTheFirstReadActDoesNotAnswer) {
  struct Case {
    const char* name;
    uint32_t msg;
    WParam item;  // ACT! hangs while it handles msg for this item
    uint64_t ms;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases{
      {"the count", LB_GETCOUNT, 0, 15000, {}},
      {"the second name", LB_GETTEXT, 1, 15000, {"Standard"}},
      {"the second name's length", LB_GETTEXTLEN, 1, 15000, {"Standard"}},
      {"the second name, briefly", LB_GETTEXT, 1, 3000, {"Standard", "Client", "Prospect Layout"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    startAct();
    const Hwnd list = act->layoutList();
    // The list outlives this pass (the next start destroys it), and so must what its procedure
    // calls on.
    const auto old = std::make_shared<WndProcValue>(0);
    const WndProcValue slow =
        desktop.makeWndProcValue([this, c, list, old](Hwnd h, uint32_t m, WParam w, LParam l) {
          if (m == c.msg && w == c.item) desktop.hang(list, c.ms);
          return desktop.callWindowProcA(*old, h, m, w, l);
        });
    *old = desktop.setWindowLongA(list, GWL_WNDPROC, slow);
    EXPECT_EQ(mod.EnumLayouts(), c.expected);
    desktop.advance(c.ms);
  }
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LayoutTest, SelectLayout_254CharacterNameIsFound) {
  layouts.names.push_back(std::string(254, 'L'));
  startAct();
  EXPECT_EQ(mod.SelectLayout(std::string(254, 'l')), "");
  desktop.pump();
  EXPECT_EQ(act->currentLayout(), std::string(254, 'L'));
}

TEST_F(LayoutTest, SelectLayout_AfterActClosedReportsNotRunning) {
  startAct();
  EXPECT_EQ(mod.SelectLayout("Client"), "");
  act->close();
  desktop.clearTrace();
  EXPECT_EQ(mod.SelectLayout("Client"), "ACT is not running!");
  EXPECT_TRUE(desktop.trace().empty());
  EXPECT_EQ(mod.ActWindowSet.MainHandle, 0u);
}

TEST_F(LayoutTest, SelectLayout_BackToBackCallsEachSearchAndPostTwice) {
  startAct();
  EXPECT_EQ(mod.SelectLayout("Client"), "");
  EXPECT_EQ(mod.SelectLayout("Client"), "");
  EXPECT_EQ(count(BM_CLICK, act->buttons()[1]), 4u);
  EXPECT_EQ(count(WM_KEYDOWN, act->layoutList()), 4u);
  desktop.pump();
  EXPECT_EQ(act->currentLayout(), "Client");
}

TEST_F(LayoutTest, FindWindows_ChoosesTheLayoutButtonByLeftEdge) {
  struct Case {
    std::vector<int32_t> lefts;
    int expectedIndex;  // -1: none
  };
  for (const Case& c : std::vector<Case>{{{8, 170}, 0},
                                         {{300, 120}, 1},
                                         {{120, 120}, 1},
                                         {{50}, 0},
                                         {{}, -1},
                                         {{10, 200, 5}, 0}}) {
    ActWindowOptions o;
    o.buttonLefts = c.lefts;
    startAct(o);
    mod.FindWindows();
    EXPECT_EQ(mod.ActWindowSet.ButtonHandle,
              c.expectedIndex < 0 ? 0u : act->buttons()[static_cast<size_t>(c.expectedIndex)]);
    EXPECT_EQ(mod.ActWindowSet.StatusButtons, act->buttons());
  }
  ActWindowOptions hidden;
  hidden.statusBarVisible = false;
  startAct(hidden);
  mod.FindWindows();
  EXPECT_EQ(mod.ActWindowSet.StatusBarHandle, 0u);
  EXPECT_EQ(mod.ActWindowSet.ButtonHandle, 0u);
  EXPECT_TRUE(mod.ActWindowSet.StatusButtons.empty());
}

TEST_F(LayoutTest, GetButtonHandle_FewerThanTwoButtons) {
  EXPECT_EQ(modLayout::GetButtonHandle({}, {}), 0u);
  EXPECT_EQ(modLayout::GetButtonHandle({Rect{5, 0, 9, 9}}, {77}), 77u);
}

TEST_F(LayoutTest, FindWindows_FrameClassMatchesInAnyCaseAndWithinLongerNames) {
  for (const char* cls : {"act3.0frameclass", "Afx:ACT3.0FrameClass:400000", "ACT3.0FrameClassX"}) {
    ActWindowOptions o;
    o.frameClass = cls;
    startAct(o);
    mod.FindWindows();
    EXPECT_EQ(mod.ActWindowSet.MainHandle, act->frame()) << cls;
    EXPECT_EQ(mod.ActWindowSet.ListHandle, act->layoutList()) << cls;
  }
  ActWindowOptions other;
  other.frameClass = "ACT2.0FrameClass";
  startAct(other);
  mod.FindWindows();
  EXPECT_EQ(mod.ActWindowSet.MainHandle, 0u);
}

TEST_F(LayoutTest, FindWindows_TwoFramesUseTheTopOneOnly) {
  startAct();
  hostsim::ActLayoutState otherLayouts{{"Other"}, "Other", {}};
  ActWindows newer(desktop, otherLayouts);
  newer.open();
  desktop.clearTrace();
  mod.FindWindows();
  EXPECT_EQ(mod.ActWindowSet.MainHandle, newer.frame());
  EXPECT_EQ(mod.ActWindowSet.ListHandle, newer.layoutList());
  for (const auto& e : desktop.trace())
    for (Hwnd b : act->buttons()) EXPECT_NE(e.target, b);
}

TEST_F(LayoutTest, FindWindows_LayoutListIsTheLastListBoxRightOfScreenEdge) {
  startAct();
  // Before the search's clicks every pop-up still sits at the screen's left edge.
  Rect r;
  desktop.getWindowRect(act->layoutList(), r);
  EXPECT_EQ(r.left, 0);
  mod.FindWindows();
  EXPECT_EQ(mod.ActWindowSet.ListHandle, act->layoutList());
  // A list moved out of sight by a selection still qualifies.
  desktop.moveWindow(act->layoutList(), 5000, 0, 0, 0, false);
  EXPECT_EQ(mod.GetListHandle({act->popupLists()[1], act->popupLists()[0]}), act->popupLists()[0]);
  desktop.moveWindow(act->popupLists()[0], 1, 0, 10, 10, false);
  EXPECT_EQ(mod.GetListHandle({act->popupLists()[0]}), act->popupLists()[0]);
  desktop.moveWindow(act->popupLists()[0], 0, 0, 10, 10, false);
  EXPECT_EQ(mod.GetListHandle({act->popupLists()[0]}), 0u);
  EXPECT_EQ(mod.GetListHandle({0xDEAD}), 0u);
}

TEST_F(LayoutTest, FindWindows_WalksTheFrameOnceReadingEachClassOnce) {
  for (int i = 0; i < 5; ++i)
    desktop.createWindowA("OtherApp", "", WS_VISIBLE, 0, 0, 10, 10, 0, nullptr);
  ActWindowOptions o;
  o.fillerWindows = 40;
  startAct(o);
  for (int i = 0; i < 5; ++i)
    desktop.createWindowA("OtherApp", "", WS_VISIBLE, 0, 0, 10, 10, 0, nullptr);
  ProbedWindows probe(desktop);
  modLayout probed(probe, trap);

  EXPECT_EQ(probed.SelectLayout("Client"), "");
  using Method = CountingWindowSystem::Method;
  EXPECT_EQ(probe.calls(Method::EnumWindows), 1u);
  EXPECT_EQ(probe.calls(Method::EnumChildWindows), 1u);
  // The five windows above ACT!, the frame, and every window under it, each read once.
  std::vector<Hwnd> expected = desktop.topLevelWindows();
  expected.resize(6);
  ASSERT_EQ(expected.back(), act->frame());
  desktop.enumChildWindows(
      act->frame(),
      [&](Hwnd h, LParam) {
        expected.push_back(h);
        return 1;
      },
      0);
  std::map<Hwnd, int> once;
  for (Hwnd h : expected) once[h] = 1;
  EXPECT_EQ(probe.classReads, once);
  EXPECT_EQ(probe.sent(BM_CLICK), 5u);  // four by the search, one to open the layout list
  EXPECT_EQ(probe.messagesSent(), 11u);
  EXPECT_EQ(probe.posted(WM_KEYDOWN), 2u);
  EXPECT_EQ(probe.messagesPosted(), 2u);
  desktop.pump();
  EXPECT_EQ(act->currentLayout(), "Client");

  // A class that cannot be read counts as no class, for every pass: it is not read again.
  probe.reset();
  probe.classReads.clear();
  probe.failClassReadOf = act->statusBar();
  probed.FindWindows();
  EXPECT_EQ(probe.classReads, once);
  EXPECT_EQ(probed.ActWindowSet.MainHandle, act->frame());
  EXPECT_EQ(probed.ActWindowSet.StatusBarHandle, 0u);
  EXPECT_TRUE(probed.ActWindowSet.StatusButtons.empty());
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LayoutTest, FindWindows_WindowsGoneSinceTheWalkAreNotTaken) {
  // ACT! destroys the second status-bar button and the layout list while the search is already
  // past its walk of the tree.
  startAct();
  ProbedWindows probe(desktop);
  modLayout probed(probe, trap);
  const Hwnd layoutList = act->layoutList(), lookupList = act->popupLists()[1];
  ASSERT_NE(layoutList, lookupList);
  probe.onFirstVisibilityTest = [&] {
    desktop.destroyWindow(act->buttons()[1]);
    desktop.destroyWindow(layoutList);
  };
  probed.FindWindows();
  EXPECT_EQ(probe.calls(CountingWindowSystem::Method::EnumChildWindows), 1u);
  EXPECT_EQ(probed.ActWindowSet.StatusButtons, std::vector<Hwnd>{act->buttons()[0]});
  EXPECT_EQ(probed.ActWindowSet.ButtonHandle, act->buttons()[0]);
  EXPECT_EQ(probed.ActWindowSet.CandidateHandles, std::vector<Hwnd>{lookupList});
  // The remaining pop-up was never opened, so it still sits at the screen's left edge.
  EXPECT_EQ(probed.ActWindowSet.ListHandle, 0u);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LayoutTest, EnumLayouts_ReturnsTheListInOrder) {
  startAct();
  EXPECT_EQ(mod.EnumLayouts(), layouts.names);

  layouts.names.clear();
  act->refreshLayoutList();
  EXPECT_TRUE(mod.EnumLayouts().empty());

  // A name longer than the 255-character buffer comes back whole, without overrunning it.
  layouts.names = {std::string(300, 'n'), "Short"};
  act->refreshLayoutList();
  EXPECT_EQ(mod.EnumLayouts(), layouts.names);

  act->close();
  EXPECT_TRUE(mod.EnumLayouts().empty());
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(LayoutTest, FindWindows_SurvivesANestedSearchDuringItsClicks) {
  // ACT! answers the first status-bar click by making the caller search again (as an event
  // arriving while the caller waits on ACT! would), then closes: the outer search goes on with a
  // window set that the nested one rebuilt and with windows that are gone.
  startAct();
  int nested = 0;
  const Hwnd bar = act->statusBar();
  WndProcValue old = 0;
  const WndProcValue hook = desktop.makeWndProcValue([&](Hwnd h, uint32_t m, WParam w, LParam l) {
    if (m == WM_COMMAND && nested++ == 0) {
      // Under the outer redraw lock the status bar is not visible, so this search finds no
      // buttons.
      EXPECT_EQ(mod.SelectLayout("Client"), "Layout 'Client' does not seem to exist!");
      EXPECT_TRUE(mod.ActWindowSet.StatusButtons.empty());
      act->close();
      return LResult{0};
    }
    return desktop.isWindow(h) ? desktop.callWindowProcA(old, h, m, w, l) : 0;
  });
  old = desktop.setWindowLongA(bar, GWL_WNDPROC, hook);
  EXPECT_EQ(mod.SelectLayout("Client"), "Layout 'Client' does not seem to exist!");
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(desktop.lockedWindow(), 0u);
  EXPECT_TRUE(boxes.shown().empty());
  desktop.pump();
}

}  // namespace
}  // namespace morvane
