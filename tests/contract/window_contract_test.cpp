// The window-system behaviour our logic and the simulated ACT! rely on, pinned on both backends:
// the simulated desktop on Linux, and user32 on Windows (under Wine) with the windows in a second
// process, as ACT!'s are. Only what Windows and Wine agree on is asserted here.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_constants.h"
#include "tests/contract/window_lab.h"

namespace morvane::contract {
namespace {

using namespace morvane::win;

constexpr WParam kAll = static_cast<WParam>(-1);

WParam index(int32_t i) {
  return static_cast<WParam>(i);
}
LParam text(const char* s) {
  return reinterpret_cast<LParam>(s);
}

class WindowContract : public ::testing::Test {
 protected:
  WindowContract() : m_lab(makeWindowLab()), ws(m_lab->windows()) {}

  Hwnd make(const char* cls, uint32_t style, Hwnd parent, Rect at = {0, 0, 50, 20},
            int32_t id = 0) {
    WindowSpec spec;
    spec.className = cls;
    spec.style = style;
    spec.x = at.left;
    spec.y = at.top;
    spec.width = at.right - at.left;
    spec.height = at.bottom - at.top;
    spec.parent = parent;
    spec.id = id;
    const Hwnd h = m_lab->create(spec);
    EXPECT_NE(h, 0u) << "could not make a " << cls;
    return h;
  }
  // A frame without border or caption, so its client area starts at its top-left corner.
  Hwnd frame(uint32_t style = WS_POPUP | WS_VISIBLE, const char* cls = "LabFrame") {
    return make(cls, style, 0, {100, 80, 500, 380});
  }
  Hwnd child(Hwnd parent, const char* cls = "LabPanel", uint32_t style = WS_CHILD | WS_VISIBLE,
             Rect at = {0, 0, 50, 20}, int32_t id = 0) {
    return make(cls, style, parent, at, id);
  }
  Hwnd listBox(Hwnd parent, const std::vector<std::string>& items,
               uint32_t style = WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOTIFY) {
    const Hwnd lb = make("ListBox", style, parent, {10, 10, 150, 110});
    for (size_t i = 0; i < items.size(); ++i)
      EXPECT_EQ(send(lb, LB_ADDSTRING, 0, text(items[i].c_str())), static_cast<LResult>(i));
    return lb;
  }
  // A window that no longer exists.
  Hwnd deadWindow() {
    const Hwnd h = frame(WS_POPUP);
    m_lab->destroy(h);
    return h;
  }

  LResult send(Hwnd h, uint32_t msg, WParam w = 0, LParam l = 0) {
    return ws.sendMessageA(h, msg, w, l);
  }
  LResult find(Hwnd lb, uint32_t msg, int32_t start, const char* s) {
    return send(lb, msg, index(start), text(s));
  }
  uint32_t style(Hwnd h) { return static_cast<uint32_t>(ws.getWindowLongA(h, GWL_STYLE)); }
  // The item's text, read the way EnumLayouts reads it: a buffer sized from LB_GETTEXTLEN.
  std::string itemText(Hwnd lb, int32_t i) {
    const LResult length = send(lb, LB_GETTEXTLEN, index(i));
    if (length < 0) return "<LB_ERR>";
    std::string buffer(static_cast<size_t>(length) + 1 + 8, '#');  // 8 guard bytes after it
    const LResult copied = send(lb, LB_GETTEXT, index(i), reinterpret_cast<LParam>(buffer.data()));
    EXPECT_EQ(copied, length) << "item " << i;
    EXPECT_EQ(buffer.substr(static_cast<size_t>(length) + 1), std::string(8, '#'))
        << "item " << i << " overran a buffer sized from LB_GETTEXTLEN";
    return buffer.c_str();
  }
  std::vector<std::string> items(Hwnd lb) {
    std::vector<std::string> out;
    const auto n = static_cast<int32_t>(send(lb, LB_GETCOUNT));
    for (int32_t i = 0; i < n; ++i) out.push_back(itemText(lb, i));
    return out;
  }
  // What an enumeration reported of the given windows, in its order.
  static std::vector<Hwnd> only(const std::vector<Hwnd>& seen, const std::vector<Hwnd>& ours) {
    std::vector<Hwnd> out;
    for (Hwnd h : seen)
      if (std::find(ours.begin(), ours.end(), h) != ours.end()) out.push_back(h);
    return out;
  }

  std::unique_ptr<WindowLab> m_lab;
  WindowSystem& ws;
};

// --- Enumeration -----------------------------------------------------------------------------

TEST_F(WindowContract, EnumWindows_TopLevelNewestFirstHiddenAndOwnedIncluded) {
  // Hidden frames: showing one would activate it, and activation reorders.
  const Hwnd a = frame(WS_POPUP), b = frame(WS_POPUP), c = frame(WS_POPUP);
  const Hwnd inner = child(a);
  const Hwnd popup = make("LabPopup", WS_POPUP, a);
  const Hwnd messageOnly = make("LabHidden", WS_VISIBLE, HWND_MESSAGE);
  std::vector<Hwnd> seen;
  EXPECT_TRUE(ws.enumWindows(
      [&](Hwnd h, LParam l) {
        EXPECT_EQ(l, 77);
        seen.push_back(h);
        return -1;
      },
      77));
  EXPECT_EQ(only(seen, {a, b, c, inner, popup, messageOnly}), (std::vector<Hwnd>{popup, c, b, a}));

  int calls = 0;
  EXPECT_FALSE(ws.enumWindows([&](Hwnd, LParam) { return ++calls, 0; }, 0));
  EXPECT_EQ(calls, 1);
}

TEST_F(WindowContract, EnumChildWindows_EveryChildDepthFirstFromASnapshot) {
  const Hwnd f = frame();
  const Hwnd a = child(f), b = child(f, "ListBox", WS_CHILD);  // hidden children count too
  const Hwnd a1 = child(a), a2 = child(a, "Button"), b1 = child(b);
  const Hwnd doomed = child(f);
  make("LabPopup", WS_POPUP, f);  // owned by the frame, not its child
  std::vector<Hwnd> seen;
  Hwnd late = 0;
  EXPECT_TRUE(ws.enumChildWindows(
      f,
      [&](Hwnd h, LParam) {
        seen.push_back(h);
        if (h == a1) {
          m_lab->destroy(doomed);  // destroyed before its turn: not reported
          late = child(f);         // made during the walk: not reported
        }
        return -1;
      },
      0));
  EXPECT_EQ(seen, (std::vector<Hwnd>{a, a1, a2, b, b1}));
  EXPECT_NE(late, 0u);

  // Stopping ends the walk at once, descent included.
  seen.clear();
  EXPECT_FALSE(ws.enumChildWindows(
      f, [&](Hwnd h, LParam) { return seen.push_back(h), 0; }, 0));
  EXPECT_EQ(seen, std::vector<Hwnd>{a});
  // A window without children gives false and no call.
  EXPECT_FALSE(ws.enumChildWindows(
      b1, [&](Hwnd h, LParam) { return seen.push_back(h), -1; }, 0));
  EXPECT_EQ(seen.size(), 1u);
}

// --- Identity: class names and parents -------------------------------------------------------

TEST_F(WindowContract, GetClassName_GivesTheRegisteredNameAndTruncates) {
  const Hwnd f = frame(WS_POPUP, "ACT3.0FrameClass");
  struct Case {
    const char* created;
    const char* reported;
  };
  // The system's classes keep their own spelling, whatever the spelling at creation.
  for (const Case& c :
       {Case{"ListBox", "ListBox"}, Case{"listbox", "ListBox"}, Case{"BUTTON", "Button"},
        Case{"msctls_statusbar32", "msctls_statusbar32"}, Case{"LabPanel", "LabPanel"}}) {
    const Hwnd h = child(f, c.created, WS_CHILD);
    std::array<char, 256> buffer{};
    EXPECT_EQ(ws.getClassNameA(h, buffer.data(), 256), static_cast<int32_t>(strlen(c.reported)));
    EXPECT_STREQ(buffer.data(), c.reported) << "created as " << c.created;
  }
  std::array<char, 256> buffer{};
  EXPECT_EQ(ws.getClassNameA(f, buffer.data(), 256), 16);
  EXPECT_STREQ(buffer.data(), "ACT3.0FrameClass");
  EXPECT_EQ(ws.getClassNameA(f, buffer.data(), 4), 3);
  EXPECT_STREQ(buffer.data(), "ACT");
  EXPECT_EQ(ws.getClassNameA(deadWindow(), buffer.data(), 256), 0);
}

TEST_F(WindowContract, GetParent_ParentOfAChildOwnerOfAPopupOtherwiseZero) {
  const Hwnd f = frame();
  const Hwnd bar = child(f, "msctls_statusbar32");
  const Hwnd button = child(bar, "Button");
  struct Case {
    const char* what;
    Hwnd window;
    Hwnd parent;
  };
  for (const Case& c : {
           Case{"frame", f, 0},
           Case{"child", bar, f},
           Case{"grandchild", button, bar},
           Case{"popup owned by the frame", make("LabPopup", WS_POPUP, f), f},
           Case{"popup owned by a grandchild", make("LabPopup", WS_POPUP, button), f},
           Case{"owned overlapped window", make("LabPopup", WS_OVERLAPPED, f), 0},
           Case{"message-only window", make("LabHidden", 0, HWND_MESSAGE), 0},
           Case{"dead window", deadWindow(), 0},
       }) {
    EXPECT_EQ(ws.getParent(c.window), c.parent) << c.what;
  }
}

// --- Visibility, style and position ----------------------------------------------------------

TEST_F(WindowContract, IsWindowVisible_NeedsEveryAncestorVisible) {
  const Hwnd f = frame();
  const Hwnd panel = child(f);
  const Hwnd leaf = child(panel);
  const Hwnd hiddenLeaf = child(panel, "LabPanel", WS_CHILD);
  EXPECT_TRUE(ws.isWindowVisible(leaf));
  EXPECT_FALSE(ws.isWindowVisible(hiddenLeaf));

  EXPECT_TRUE(ws.showWindow(f, SW_HIDE));  // it was visible
  EXPECT_FALSE(ws.isWindowVisible(leaf));
  EXPECT_TRUE(style(leaf) & WS_VISIBLE);  // its own bit stays
  EXPECT_FALSE(ws.showWindow(f, SW_SHOW));
  EXPECT_TRUE(ws.isWindowVisible(leaf));

  EXPECT_FALSE(ws.isWindowVisible(make("LabHidden", WS_VISIBLE, HWND_MESSAGE)));
  EXPECT_FALSE(ws.isWindowVisible(deadWindow()));
}

TEST_F(WindowContract, GwlStyle_LayoutListStylesReadBackHiddenAndShown) {
  const Hwnd f = frame();
  std::vector<std::string> many;
  for (int i = 0; i < 30; ++i) many.push_back("Layout " + std::to_string(i));
  for (const uint32_t shown : {0x50800001u, 0x50A00001u}) {
    // With more items than fit, so a list with WS_VSCROLL keeps its scroll bar.
    const Hwnd lb = listBox(f, many, shown & ~WS_VISIBLE);
    EXPECT_EQ(style(lb), shown & ~WS_VISIBLE) << std::hex << shown;
    ws.showWindow(lb, SW_SHOW);
    EXPECT_EQ(style(lb), shown) << std::hex << shown;
    ws.showWindow(lb, SW_HIDE);
    EXPECT_EQ(style(lb), shown & ~WS_VISIBLE) << std::hex << shown;
  }
}

TEST_F(WindowContract, GetWindowRect_ScreenCoordinatesFollowMoveWindow) {
  const Hwnd f = frame();  // at (100, 80)
  const Hwnd bar = child(f, "LabPanel", WS_CHILD | WS_VISIBLE, {10, 200, 390, 230});
  const Hwnd button = child(bar, "Button", WS_CHILD | WS_VISIBLE, {7, 3, 67, 23});
  Rect r;
  ASSERT_TRUE(ws.getWindowRect(button, r));
  EXPECT_EQ(r, (Rect{117, 283, 177, 303}));

  EXPECT_TRUE(ws.moveWindow(button, 20, 4, 50, 18, true));  // parent client coordinates
  ASSERT_TRUE(ws.getWindowRect(button, r));
  EXPECT_EQ(r, (Rect{130, 284, 180, 302}));
  EXPECT_TRUE(ws.moveWindow(f, 50, 60, 400, 300, false));  // screen coordinates
  ASSERT_TRUE(ws.getWindowRect(button, r));
  EXPECT_EQ(r, (Rect{80, 264, 130, 282}));

  // Moved out of sight as SelectLayout moves the layout list (a list box sizes its height to
  // whole items itself, so only the corner is compared).
  const Hwnd lb = listBox(f, {"Standard"});
  EXPECT_TRUE(ws.moveWindow(lb, 5000, 0, 0, 0, false));
  ASSERT_TRUE(ws.getWindowRect(lb, r));
  EXPECT_EQ(r.left, 5050);
  EXPECT_EQ(r.top, 60);

  Rect untouched{1, 2, 3, 4};
  EXPECT_FALSE(ws.getWindowRect(deadWindow(), untouched));
  EXPECT_EQ(untouched, (Rect{1, 2, 3, 4}));
}

// --- List box: items and text ----------------------------------------------------------------

TEST_F(WindowContract, ListBox_TextLengthAndTextAgreeInAnsi) {
  const std::string longName(254, 'x');
  const Hwnd lb = listBox(frame(), {"Standard",
                                    "D\xE9"
                                    "faut",
                                    "", longName});  // "Défaut"
  EXPECT_EQ(send(lb, LB_GETCOUNT), 4);
  EXPECT_EQ(send(lb, LB_GETTEXTLEN, 1), 6);
  EXPECT_EQ(items(lb), (std::vector<std::string>{"Standard",
                                                 "D\xE9"
                                                 "faut",
                                                 "", longName}));
  for (const int32_t bad : {-2, 4}) {
    std::array<char, 16> buffer{};
    EXPECT_EQ(send(lb, LB_GETTEXTLEN, index(bad)), LB_ERR) << bad;
    EXPECT_EQ(send(lb, LB_GETTEXT, index(bad), reinterpret_cast<LParam>(buffer.data())), LB_ERR);
  }
}

TEST_F(WindowContract, ListBox_SortedAddInsertAndDelete) {
  const Hwnd f = frame();
  const Hwnd sorted = listBox(f, {}, WS_CHILD | WS_VISIBLE | LBS_SORT);
  EXPECT_EQ(send(sorted, LB_ADDSTRING, 0, text("item 2")), 0);
  EXPECT_EQ(send(sorted, LB_ADDSTRING, 0, text("item 0")), 0);
  EXPECT_EQ(send(sorted, LB_ADDSTRING, 0, text("Item 1")), 1);  // letter case ignored
  EXPECT_EQ(items(sorted), (std::vector<std::string>{"item 0", "Item 1", "item 2"}));

  const Hwnd lb = listBox(f, {"b", "c"});
  EXPECT_EQ(send(lb, LB_INSERTSTRING, 0, text("a")), 0);
  EXPECT_EQ(send(lb, LB_INSERTSTRING, kAll, text("d")), 3);  // -1 appends
  EXPECT_EQ(send(lb, LB_INSERTSTRING, 5, text("x")), LB_ERR);
  EXPECT_EQ(send(lb, LB_SETCURSEL, 2), 2);
  EXPECT_EQ(send(lb, LB_DELETESTRING, 0), 3);  // the number left
  EXPECT_EQ(send(lb, LB_GETCURSEL), 1);        // the selection stays on "c"
  EXPECT_EQ(send(lb, LB_DELETESTRING, 3), LB_ERR);
  EXPECT_EQ(send(lb, LB_DELETESTRING, kAll), LB_ERR);
  EXPECT_EQ(items(lb), (std::vector<std::string>{"b", "c", "d"}));
}

TEST_F(WindowContract, ListBox_DeletingTheLastItemLeavesNoSelection) {
  const Hwnd lb = listBox(frame(), {"only"});
  EXPECT_EQ(send(lb, LB_SETCURSEL, 0), 0);
  EXPECT_EQ(send(lb, LB_DELETESTRING, 0), 0);
  EXPECT_EQ(send(lb, LB_GETCOUNT), 0);
  EXPECT_EQ(send(lb, LB_GETCURSEL), LB_ERR);
  EXPECT_EQ(send(lb, LB_ADDSTRING, 0, text("new")), 0);
  EXPECT_EQ(send(lb, LB_GETCURSEL), LB_ERR);  // not selected by coming into the old place
}

TEST_F(WindowContract, ListBox_ItemDataFollowsItsItem) {
  const Hwnd lb = listBox(frame(), {"a", "b", "c"});
  EXPECT_EQ(send(lb, LB_SETITEMDATA, 1, 0x12345678), 1);
  EXPECT_EQ(send(lb, LB_SETITEMDATA, 3, 1), LB_ERR);
  EXPECT_EQ(send(lb, LB_GETITEMDATA, 0), 0);
  EXPECT_EQ(send(lb, LB_GETITEMDATA, 1), 0x12345678);
  EXPECT_EQ(send(lb, LB_GETITEMDATA, 3), LB_ERR);
  send(lb, LB_DELETESTRING, 0);
  EXPECT_EQ(send(lb, LB_GETITEMDATA, 0), 0x12345678);
  send(lb, LB_INSERTSTRING, 0, text("z"));
  EXPECT_EQ(send(lb, LB_GETITEMDATA, 0), 0);
  EXPECT_EQ(send(lb, LB_GETITEMDATA, 1), 0x12345678);
}

// --- List box: searching ---------------------------------------------------------------------

TEST_F(WindowContract, ListBox_SearchesFromAfterStartAndWrapRound) {
  // No item starts with "[": Windows' prefix search also matches after "[" and "[-" there.
  const Hwnd lb = listBox(frame(), {"Standard", "Alpha", "alpha", "Alph", "",
                                    "D\xE9"
                                    "faut",
                                    "Beta"});
  struct Case {
    uint32_t msg;
    int32_t start;
    const char* s;
    LResult expected;
  };
  for (const Case& c : {
           // Whole string, letter case ignored, a prefix is no match.
           Case{LB_FINDSTRINGEXACT, -1, "ALPHA", 1},
           Case{LB_FINDSTRINGEXACT, 1, "alpha", 2},  // from start + 1
           Case{LB_FINDSTRINGEXACT, 2, "Alpha", 1},  // wraps round
           Case{LB_FINDSTRINGEXACT, -1, "alph", 3},  // an item that is a prefix of others
           Case{LB_FINDSTRINGEXACT, 6, "beta", 6},   // start itself is examined last
           Case{LB_FINDSTRINGEXACT, -1, "Alp", LB_ERR},
           Case{LB_FINDSTRINGEXACT, -1, "Standard ", LB_ERR},
           Case{LB_FINDSTRINGEXACT, -1,
                "D\xC9"
                "FAUT",
                5},  // "DÉFAUT"
           // Prefix, letter case ignored, same order.
           Case{LB_FINDSTRING, -1, "alp", 1},
           Case{LB_FINDSTRING, 1, "ALP", 2},
           Case{LB_FINDSTRING, 3, "alp", 1},  // past the empty item, round to the start
           Case{LB_FINDSTRING, -1, "d\xE9", 5},
           Case{LB_FINDSTRING, -1, "Betamax", LB_ERR},
       }) {
    EXPECT_EQ(find(lb, c.msg, c.start, c.s), c.expected)
        << (c.msg == LB_FINDSTRING ? "prefix " : "exact ") << c.s << " from " << c.start;
  }
  EXPECT_EQ(send(lb, LB_GETCURSEL), LB_ERR);  // searching selects nothing

  EXPECT_EQ(find(lb, LB_SELECTSTRING, -1, "be"), 6);
  EXPECT_EQ(send(lb, LB_GETCURSEL), 6);
  EXPECT_EQ(find(lb, LB_SELECTSTRING, -1, "zz"), LB_ERR);
  EXPECT_EQ(send(lb, LB_GETCURSEL), 6);
}

// --- List box: selection ---------------------------------------------------------------------

TEST_F(WindowContract, ListBox_SingleSelection) {
  const Hwnd lb = listBox(frame(), {"a", "b", "c"});
  EXPECT_EQ(send(lb, LB_GETCURSEL), LB_ERR);
  EXPECT_EQ(send(lb, LB_SETCURSEL, 1), 1);
  EXPECT_EQ(send(lb, LB_GETCURSEL), 1);
  EXPECT_EQ(send(lb, LB_SETCURSEL, 3), LB_ERR);  // out of range: selection kept
  EXPECT_EQ(send(lb, LB_GETCURSEL), 1);
  EXPECT_EQ(send(lb, LB_SETCURSEL, kAll), LB_ERR);  // -1 clears, and still says LB_ERR
  EXPECT_EQ(send(lb, LB_GETCURSEL), LB_ERR);
  EXPECT_EQ(send(lb, LB_GETSELCOUNT), LB_ERR);  // a multiple-selection message
}

TEST_F(WindowContract, ListBox_MultipleSelection) {
  const Hwnd lb = listBox(frame(), {"a", "b", "c"}, WS_CHILD | WS_VISIBLE | LBS_MULTIPLESEL);
  EXPECT_EQ(send(lb, LB_SETCURSEL, 1), LB_ERR);  // single-selection only
  EXPECT_EQ(send(lb, LB_GETCURSEL), 0);          // the caret item
  EXPECT_EQ(send(lb, LB_GETSELCOUNT), 0);
  EXPECT_NE(send(lb, LB_SETSEL, 1, 0), LB_ERR);
  EXPECT_NE(send(lb, LB_SETSEL, 1, 2), LB_ERR);
  EXPECT_EQ(send(lb, LB_GETSELCOUNT), 2);
  EXPECT_GT(send(lb, LB_GETSEL, 0), 0);
  EXPECT_EQ(send(lb, LB_GETSEL, 1), 0);
  EXPECT_GT(send(lb, LB_GETSEL, 2), 0);
  EXPECT_EQ(send(lb, LB_GETSEL, 3), LB_ERR);
  EXPECT_EQ(send(lb, LB_SETSEL, 1, 3), LB_ERR);
  EXPECT_NE(send(lb, LB_SETSEL, 0, static_cast<LParam>(-1)), LB_ERR);  // -1: every item
  EXPECT_EQ(send(lb, LB_GETSELCOUNT), 0);
  EXPECT_NE(send(lb, LB_SETSEL, 1, static_cast<LParam>(-1)), LB_ERR);
  EXPECT_EQ(send(lb, LB_GETSELCOUNT), 3);
}

// --- Messages --------------------------------------------------------------------------------

TEST_F(WindowContract, BmClick_ParentGetsBnClickedWithIdAndHandle) {
  const Hwnd f = frame();
  const Hwnd panel = child(f, "LabPanel", WS_CHILD | WS_VISIBLE, {0, 270, 400, 300});
  const Hwnd button = child(panel, "Button", WS_CHILD | WS_VISIBLE, {5, 3, 65, 23}, 42);
  EXPECT_EQ(ws.getWindowLongA(button, GWL_ID), 42);
  EXPECT_EQ(send(button, BM_CLICK), 0);
  const WParam clicked = (WParam{BN_CLICKED} << 16) | 42u;
  EXPECT_EQ(m_lab->commands(panel), (std::vector<Command>{{clicked, static_cast<LParam>(button)}}));
  EXPECT_TRUE(m_lab->commands(f).empty());
}

TEST_F(WindowContract, SendAndPost_RefuseDeadWindowsAndPostedPointers) {
  const Hwnd f = frame();
  const Hwnd lb = listBox(f, {});
  const Hwnd popup = make("LabPopup", WS_POPUP, f);
  EXPECT_FALSE(ws.postMessageA(lb, LB_ADDSTRING, 0, text("x")));  // a pointer cannot be queued
  EXPECT_TRUE(ws.postMessageA(lb, WM_KEYDOWN, VK_RETURN, 1));
  EXPECT_EQ(send(lb, LB_GETCOUNT), 0);

  // Destroying the frame takes its children and the windows it owns.
  EXPECT_TRUE(m_lab->destroy(f));
  for (const Hwnd gone : {f, lb, popup}) {
    EXPECT_FALSE(ws.isWindow(gone));
    EXPECT_EQ(send(gone, LB_GETCOUNT), 0);
    EXPECT_FALSE(ws.postMessageA(gone, WM_KEYDOWN, VK_RETURN, 1));
  }
}

TEST_F(WindowContract, Redraw_SetRedrawLockAndInvalidate) {
  const Hwnd f = frame(), other = frame();
  // The default window procedure turns redraw off by taking WS_VISIBLE away.
  EXPECT_EQ(send(f, WM_SETREDRAW, 0), 0);
  EXPECT_FALSE(ws.isWindowVisible(f));
  EXPECT_FALSE(style(f) & WS_VISIBLE);
  send(f, WM_SETREDRAW, 1);
  EXPECT_TRUE(ws.isWindowVisible(f));

  EXPECT_TRUE(ws.lockWindowUpdate(f));
  EXPECT_FALSE(ws.lockWindowUpdate(other));  // one lock at a time
  EXPECT_TRUE(ws.lockWindowUpdate(0));
  EXPECT_TRUE(ws.invalidateRgn(f, 0, true));
  EXPECT_TRUE(ws.lockWindowUpdate(other));
  EXPECT_TRUE(ws.lockWindowUpdate(0));
}

// A program that stops answering (ACT! busy or hung) answers no send until it reads its messages
// again: the send gives no answer, never a value that looks like one.
TEST(WindowContractHung, SendsToAProgramHungPastTheLimitGetNoAnswerUntilItAnswersAgain) {
  using namespace std::chrono_literals;
  const auto lab = makeWindowLab(300ms);
  WindowSystem& ws = lab->windows();
  const Hwnd f = lab->create({"LabFrame", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, 0, 0, ""});
  const Hwnd lb = lab->create({"ListBox", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, f, 0, ""});
  ASSERT_EQ(ws.sendMessageTimeoutA(lb, LB_ADDSTRING, 0, text("Client")), 0);

  lab->hang(3000ms);
  EXPECT_EQ(ws.sendMessageTimeoutA(lb, LB_FINDSTRINGEXACT, kAll, text("Client")), std::nullopt);
  EXPECT_EQ(ws.sendMessageTimeoutA(lb, LB_GETCOUNT, 0, 0), std::nullopt);
  EXPECT_EQ(ws.sendMessageA(lb, LB_GETCOUNT, 0, 0), 0);
  EXPECT_TRUE(ws.postMessageA(lb, WM_KEYDOWN, VK_RETURN, 1));  // a post does not wait

  ASSERT_TRUE(lab->waitUntilResponsive(10s));
  EXPECT_EQ(ws.sendMessageTimeoutA(lb, LB_FINDSTRINGEXACT, kAll, text("client")), 0);
  EXPECT_EQ(ws.sendMessageTimeoutA(lb, LB_GETCOUNT, 0, 0), 1);
}

}  // namespace
}  // namespace morvane::contract
