// What every platform's forms must do, pinned on both: the simulated desktop on Linux, and real
// windows under Wine. The tests build forms on the lab's Ui, act as the user through the lab, and
// look at the model and at the windows through the window-system port only.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/win_constants.h"
#include "tests/contract/ui_lab.h"

namespace morvane::contract {
namespace {

using namespace morvane::win;

// A form with one control of each kind the editor uses. Boxes are whole pixels at 15 twips.
class LabForm : public ui::Form {
 public:
  explicit LabForm(ui::Ui& ui) : Form(ui, "frmLab") {
    setCaption("Lab");
    clientWidth = 6000;
    clientHeight = 4500;
    lblHint.setBox({150, 150, 3000, 240});
    lblHint.setText("Pick one:");
    txtName.setBox({150, 450, 3000, 315});
    txtName.setTabIndex(0);
    cboPick.setBox({150, 900, 3000, 315});
    cboPick.setTabIndex(1);
    chkOption.setBox({150, 1350, 3000, 255});
    chkOption.setText("Option");
    chkOption.setTabIndex(2);
    cmdOk.setBox({4500, 300, 1200, 375});
    cmdOk.setText("&OK");
    cmdOk.isDefault = true;
    cmdOk.setTabIndex(3);
    cmdCancel.setBox({4500, 750, 1200, 375});
    cmdCancel.setText("&Cancel");
    cmdCancel.isCancel = true;
    cmdCancel.setTabIndex(4);
    lvwRows.setBox({150, 1950, 4200, 2400});
    lvwRows.setTabIndex(5);
    lvwRows.addColumn("Value", "Value", 1500);
    lvwRows.addColumn("Layout", "Layout", 4500);
    fraGroup.setBox({4500, 1350, 1200, 450});
    fraGroup.setText("Group");
    linRule.x1 = 150;
    linRule.x2 = 3150;
    linRule.y1 = linRule.y2 = 1800;
    for (ui::Control* c :
         std::vector<ui::Control*>{&lblHint, &txtName, &cboPick, &chkOption, &cmdOk, &cmdCancel,
                                   &lvwRows, &fraGroup, &linRule})
      add(*c);
    menus.push_back({"mnuOptions", "&Options", {{"mnuSettings", "&Settings", {}, {}}}, {}});
  }

  ui::Label lblHint{"lblHint"};
  ui::TextBox txtName{"txtName"};
  ui::ComboBox cboPick{"cboPick"};
  ui::CheckBox chkOption{"chkOption"};
  ui::Button cmdOk{"cmdOk"};
  ui::Button cmdCancel{"cmdCancel"};
  ui::ListView lvwRows{"lvwRows"};
  ui::Frame fraGroup{"fraGroup"};
  ui::Line linRule{"linRule"};
  // Form_Unload's answer.
  int16_t cancelUnload = 0;

 protected:
  void Form_Unload(int16_t& cancel) override { cancel = cancelUnload; }
};

// One message a subclass of the list view saw: a header's WM_NOTIFY of the codes the editor
// watches, or a scroll.
struct Seen {
  uint32_t msg = 0;
  int32_t code = 0;
  Hwnd from = 0;
  int32_t widthThen = 0;  // column 0's width in the model when the message came
};

// The notification code of a WM_NOTIFY: NMHDR is the window, the id and the code, with the
// window and the id as wide as a pointer on Windows.
int32_t notifyCode(LParam lParam, Hwnd& from) {
#if defined(_WIN64)
  constexpr size_t kCodeOffset = 16;
#else
  constexpr size_t kCodeOffset = 8;
#endif
  const auto* bytes = reinterpret_cast<const unsigned char*>(lParam);
  uint32_t window = 0;
  int32_t code = 0;
  std::memcpy(&window, bytes, sizeof window);
  std::memcpy(&code, bytes + kCodeOffset, sizeof code);
  from = window;
  return code;
}

class UiContract : public ::testing::Test {
 protected:
  UiContract() : m_lab(makeUiLab()), lab(*m_lab), ws(lab.windows()) {}

  int32_t tppX() { return lab.ui().twipsPerPixelX(); }
  int32_t tppY() { return lab.ui().twipsPerPixelY(); }
  Rect rect(Hwnd h) {
    Rect r;
    EXPECT_TRUE(ws.getWindowRect(h, r));
    return r;
  }
  LResult send(Hwnd h, uint32_t msg, WParam w = 0, LParam l = 0) {
    return ws.sendMessageA(h, msg, w, l);
  }
  void fillRows(ui::ListView& list, int count) {
    for (int i = 0; i < count; ++i) {
      const size_t row = list.addRow("Value " + std::to_string(i));
      list.setSubItem(row, 1, "Layout " + std::to_string(i));
    }
  }
  // Puts a recording subclass in front of the list view's procedure.
  WndProcValue subclass(ui::ListView& list, std::vector<Seen>& seen) {
    const Hwnd h = list.hWnd();
    auto previous = std::make_shared<WndProcValue>(0);
    const WndProcValue mine = ws.makeWndProcValue([this, &seen, &list, previous](
                                                      Hwnd w, uint32_t msg, WParam wp, LParam lp) {
      if (msg == WM_NOTIFY) {
        // Windows sends more (custom drawing, item changes); these are the divider's.
        Seen s{msg, 0, 0, list.columns()[0].width};
        s.code = notifyCode(lp, s.from);
        if (s.code == HDN_BEGINTRACKA || s.code == HDN_ENDTRACKA || s.code == HDN_DIVIDERDBLCLICKA)
          seen.push_back(s);
      } else if (msg == WM_VSCROLL || msg == WM_HSCROLL || msg == WM_MOUSEWHEEL) {
        seen.push_back(Seen{msg, 0, 0, list.columns()[0].width});
      }
      return ws.callWindowProcA(*previous, w, msg, wp, lp);
    });
    *previous = ws.setWindowLongA(h, GWL_WNDPROC, mine);
    EXPECT_NE(*previous, 0);
    return *previous;
  }
  static std::vector<int32_t> codes(const std::vector<Seen>& seen) {
    std::vector<int32_t> out;
    for (const Seen& s : seen)
      if (s.msg == WM_NOTIFY) out.push_back(s.code);
    return out;
  }
  static int count(const std::vector<Seen>& seen, uint32_t msg) {
    int n = 0;
    for (const Seen& s : seen) n += s.msg == msg ? 1 : 0;
    return n;
  }

  std::unique_ptr<UiLab> m_lab;
  UiLab& lab;
  WindowSystem& ws;
};

// --- Windows of a loaded form ----------------------------------------------------------------

TEST_F(UiContract, Show_MakesAWindowPerWindowedControlSizedInPixelsWithItsText) {
  LabForm form(lab.ui());
  form.show();
  lab.pump();
  ASSERT_NE(form.hWnd(), 0u);
  EXPECT_TRUE(ws.isWindowVisible(form.hWnd()));
  EXPECT_EQ(lab.windowText(form.hWnd()), "Lab");
  // The form's client area is its twips in pixels, inside a fixed frame and a caption bar.
  const Rect f = rect(form.hWnd());
  ui::Ui& ui = lab.ui();
  EXPECT_EQ(f.right - f.left, 6000 / tppX() + 2 * ui.systemMetrics(SM_CXFIXEDFRAME));
  EXPECT_EQ(f.bottom - f.top, 4500 / tppY() + 2 * ui.systemMetrics(SM_CYFIXEDFRAME) +
                                  ui.systemMetrics(SM_CYCAPTION) + ui.systemMetrics(SM_CYMENU));

  for (ui::Control* c : std::vector<ui::Control*>{&form.txtName, &form.cboPick, &form.chkOption,
                                                  &form.cmdOk, &form.cmdCancel, &form.lvwRows}) {
    SCOPED_TRACE(c->name());
    ASSERT_NE(c->hWnd(), 0u);
    EXPECT_EQ(ws.getParent(c->hWnd()), form.hWnd());
    const Rect r = rect(c->hWnd());
    EXPECT_EQ(r.right - r.left, c->box().width / tppX());
    // A drop-down list is as high as its font makes it.
    if (c != &form.cboPick) {
      EXPECT_EQ(r.bottom - r.top, c->box().height / tppY());
    }
    // Positions keep their distances from the OK button's.
    const Rect ok = rect(form.cmdOk.hWnd());
    EXPECT_EQ(r.left - ok.left, (c->box().left - form.cmdOk.box().left) / tppX());
    EXPECT_EQ(r.top - ok.top, (c->box().top - form.cmdOk.box().top) / tppY());
  }
  EXPECT_EQ(lab.windowText(form.cmdOk.hWnd()), "&OK");
  EXPECT_EQ(lab.windowText(form.chkOption.hWnd()), "Option");
  EXPECT_EQ(static_cast<uint32_t>(ws.getWindowLongA(form.cboPick.hWnd(), GWL_STYLE)) & 0x3u,
            CBS_DROPDOWNLIST);

  // Later changes of the model show in the windows.
  form.cmdOk.setText("&Go");
  form.cmdCancel.setVisible(false);
  form.cmdOk.setEnabled(false);
  form.cmdOk.move(4650, 450);
  EXPECT_EQ(lab.windowText(form.cmdOk.hWnd()), "&Go");
  EXPECT_FALSE(ws.isWindowVisible(form.cmdCancel.hWnd()));
  EXPECT_TRUE(ws.getWindowLongA(form.cmdOk.hWnd(), GWL_STYLE) & WS_DISABLED);
  const Rect moved = rect(form.cmdOk.hWnd()), check = rect(form.chkOption.hWnd());
  EXPECT_EQ(moved.left - check.left, (4650 - 150) / tppX());
}

// --- Clicks, choices, typing -----------------------------------------------------------------

TEST_F(UiContract, Click_RaisesTheControlsEventsButNotOnADisabledButton) {
  LabForm form(lab.ui());
  int ok = 0, option = 0, hint = 0;
  form.cmdOk.onClick = [&] { ++ok; };
  form.chkOption.onClick = [&] { ++option; };
  form.lblHint.onClick = [&] { ++hint; };
  form.show();

  lab.click(form.cmdOk);
  lab.click(form.chkOption);
  lab.click(form.lblHint);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(option, 1);
  EXPECT_EQ(form.chkOption.value(), 1);
  EXPECT_EQ(send(form.chkOption.hWnd(), BM_GETCHECK), 1);
  EXPECT_EQ(hint, 1);

  form.cmdOk.setEnabled(false);
  lab.click(form.cmdOk);
  send(form.cmdOk.hWnd(), BM_CLICK);
  EXPECT_EQ(ok, 1) << "a disabled button takes no click";
}

TEST_F(UiContract, Choose_SelectsTheEntryShowsItAndRaisesClickOnce) {
  LabForm form(lab.ui());
  for (const char* text : {"Alpha", "Beta", "Gamma"}) {
    form.cboPick.addItem(text);
    form.cboPick.setItemData(form.cboPick.newIndex(), 100 + form.cboPick.newIndex());
  }
  int clicks = 0;
  form.cboPick.onClick = [&] { ++clicks; };
  form.show();

  lab.choose(form.cboPick, 2);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form.cboPick.listIndex(), 2);
  EXPECT_EQ(form.cboPick.itemData(form.cboPick.listIndex()), 102);
  EXPECT_EQ(lab.windowText(form.cboPick.hWnd()), "Gamma");
  EXPECT_EQ(send(form.cboPick.hWnd(), CB_GETCOUNT), 3);
  EXPECT_EQ(send(form.cboPick.hWnd(), CB_GETCURSEL), 2);

  form.cboPick.setEnabled(false);
  lab.choose(form.cboPick, 0);
  EXPECT_EQ(form.cboPick.listIndex(), 2) << "a disabled combo box cannot be dropped down";
  EXPECT_EQ(clicks, 1);
}

TEST_F(UiContract, Type_AddsCharactersAndRaisesChange_NumberStyleTakesDigitsOnly) {
  LabForm form(lab.ui());
  std::vector<std::string> changes;
  form.txtName.onChange = [&] { changes.push_back(form.txtName.text()); };
  form.show();

  lab.type(form.txtName, "a1");
  EXPECT_EQ(form.txtName.text(), "a1");
  EXPECT_EQ(changes, (std::vector<std::string>{"a", "a1"}));

  // The number style set on the window, as the settings dialog sets it.
  const Hwnd h = form.txtName.hWnd();
  ws.setWindowLongA(h, GWL_STYLE,
                    ws.getWindowLongA(h, GWL_STYLE) | static_cast<int32_t>(ES_NUMBER));
  lab.type(form.txtName, "x2-3 .");
  EXPECT_EQ(form.txtName.text(), "a123");
  EXPECT_EQ(lab.windowText(h), "a123");
  EXPECT_EQ(changes.size(), 4u) << "rejected keys change nothing";
}

// --- The list view ---------------------------------------------------------------------------

// A 32-pixel small-icon picture makes rows of 33 pixels: the picture and the pixel the common
// list view keeps between rows.
TEST_F(UiContract, ListView_RowsOfThePictureBelowTheHeader_HitTestAndClicksAgreeWithRowTops) {
  LabForm form(lab.ui());
  fillRows(form.lvwRows, 3);
  form.lvwRows.setSmallIconHeight(32);
  std::vector<std::vector<int32_t>> ups;
  form.lvwRows.onMouseUp = [&](int16_t button, int16_t shift, int32_t x, int32_t y) {
    ups.push_back({button, shift, x, y});
  };
  form.show();
  ui::ListView& list = form.lvwRows;

  const int32_t top0 = list.rowTop(0);
  EXPECT_GT(top0, 0) << "the first row starts below the header";
  EXPECT_EQ(list.rowTop(1) - top0, 33 * tppY());
  EXPECT_EQ(list.rowTop(2) - top0, 66 * tppY());
  const int32_t inLayout = list.columnLeft(1) + 150;  // full-row select: any column hits
  for (size_t row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(list.hitTest(30, list.rowTop(row) + tppY()), row);
    EXPECT_EQ(list.hitTest(inLayout, list.rowTop(row) + 32 * tppY()), row);
  }
  EXPECT_EQ(list.hitTest(30, top0 / 2), std::nullopt) << "the header is no row";
  EXPECT_EQ(list.hitTest(30, list.rowTop(2) + 34 * tppY()), std::nullopt) << "below the last row";

  const int32_t y1 = list.rowTop(1) + 10 * tppY();
  lab.clickAt(list, ui::mouse::kLeft, inLayout, y1);
  EXPECT_EQ(list.selectedRow(), 1u);
  lab.clickAt(list, ui::mouse::kRight, 30, list.rowTop(2) + tppY());
  EXPECT_EQ(list.selectedRow(), 2u) << "a right click selects too";
  const int32_t below = list.rowTop(2) + 40 * tppY();
  lab.clickAt(list, ui::mouse::kLeft, 30, below);
  EXPECT_EQ(ups,
            (std::vector<std::vector<int32_t>>{{ui::mouse::kLeft, 0, inLayout, y1},
                                               {ui::mouse::kRight, 0, 30, list.rowTop(2) + tppY()},
                                               {ui::mouse::kLeft, 0, 30, below}}));
}

TEST_F(UiContract, ListView_ScrollingMovesRowsUpAndTheHitTestFollows) {
  LabForm form(lab.ui());
  fillRows(form.lvwRows, 20);
  form.lvwRows.setSmallIconHeight(32);
  form.show();
  ui::ListView& list = form.lvwRows;
  const int32_t top0 = list.rowTop(0);

  lab.scrollRows(list, 3);
  EXPECT_EQ(list.rowTop(3), top0);
  EXPECT_EQ(list.rowTop(0), top0 - 3 * 33 * tppY()) << "scrolled-off rows lie above";
  EXPECT_EQ(list.hitTest(30, top0 + tppY()), 3u);
  lab.clickAt(list, ui::mouse::kLeft, 30, top0 + 34 * tppY());
  EXPECT_EQ(list.selectedRow(), 4u);

  lab.scrollRows(list, -1);
  EXPECT_EQ(list.rowTop(2), top0);
  lab.scrollHorizontally(list, 600);
  EXPECT_EQ(list.rowTop(2), top0) << "horizontal scrolling keeps the rows";
}

// The wheel moves the rows three a notch, and a subclass of the list sees it; the arrow keys move
// the selection a row, bring it into view and tell the model as the user's choice. In a drop-down
// list they choose the entry below or above.
TEST_F(UiContract, WheelAndArrowKeys_MoveTheRowsAndTheSelection) {
  LabForm form(lab.ui());
  fillRows(form.lvwRows, 20);
  form.lvwRows.setSmallIconHeight(32);
  for (const char* text : {"Alpha", "Beta", "Gamma"}) form.cboPick.addItem(text);
  int picks = 0;
  form.cboPick.onClick = [&] { ++picks; };
  ui::ListView& list = form.lvwRows;
  std::vector<size_t> selected;
  list.onItemSelected = [&] { selected.push_back(*list.selectedRow()); };
  form.show();
  std::vector<Seen> seen;
  subclass(list, seen);
  const int32_t top0 = list.rowTop(0);

  lab.turnWheel(list, 1);
  EXPECT_EQ(list.rowTop(3), top0);
  EXPECT_EQ(count(seen, WM_MOUSEWHEEL), 1);
  lab.turnWheel(list, -2);
  EXPECT_EQ(list.rowTop(0), top0) << "no further than the first row";

  lab.clickAt(list, ui::mouse::kLeft, 30, list.rowTop(1) + tppY());
  for (const Key key : {Key::Down, Key::Down, Key::Up}) lab.press(form, key);
  EXPECT_EQ(selected, (std::vector<size_t>{1, 2, 3, 2}));
  list.select(0);
  EXPECT_EQ(selected.size(), 4u) << "the code's selection is not the user's";

  // Down from the last row that shows whole scrolls the list by one row.
  lab.turnWheel(list, -1);
  ASSERT_EQ(list.rowTop(0), top0);
  ui::Ui& ui = lab.ui();
  const int32_t viewBottom =
      list.box().height -
      (2 * ui.systemMetrics(SM_CYEDGE) + ui.systemMetrics(SM_CYHSCROLL)) * tppY();
  size_t row = 0;
  while (list.rowTop(row + 1) + 33 * tppY() <= viewBottom) ++row;
  for (size_t i = 0; i <= row; ++i) lab.press(form, Key::Down);
  EXPECT_EQ(list.selectedRow(), row + 1);
  EXPECT_EQ(list.rowTop(1), top0) << "one row up";

  form.cboPick.setFocus();
  lab.press(form, Key::Down);
  lab.press(form, Key::Down);
  lab.press(form, Key::Up);
  EXPECT_EQ(form.cboPick.listIndex(), 0);
  EXPECT_EQ(picks, 3);
}

// The columns show where the sideways scroll puts them, and ensureVisible brings a cell into
// view: its row whole, its column from its left edge, scrolling as little as it can.
TEST_F(UiContract, ListView_ColumnsFollowTheSidewaysScrollAndEnsureVisibleShowsACell) {
  LabForm form(lab.ui());
  fillRows(form.lvwRows, 20);
  form.lvwRows.setSmallIconHeight(32);
  ui::ListView& list = form.lvwRows;
  list.setColumnWidth(0, 3000);
  list.setColumnWidth(1, 1500);
  form.show();
  const int32_t top0 = list.rowTop(0);
  ui::Ui& ui = lab.ui();
  // Inside the sunken border, left of the vertical scroll bar, above the horizontal one.
  const int32_t viewRight =
      list.box().width -
      (2 * ui.systemMetrics(SM_CXEDGE) + ui.systemMetrics(SM_CXVSCROLL)) * tppX();
  const int32_t viewBottom =
      list.box().height -
      (2 * ui.systemMetrics(SM_CYEDGE) + ui.systemMetrics(SM_CYHSCROLL)) * tppY();
  ASSERT_GT(3000 + 1500, viewRight) << "the columns need the scroll bar";

  EXPECT_EQ(list.shownColumnLeft(1), 3000);
  lab.scrollHorizontally(list, 600);
  EXPECT_EQ(list.shownColumnLeft(0), -600);
  EXPECT_EQ(list.shownColumnLeft(1), 3000 - 600);

  list.ensureVisible(0, 0);
  EXPECT_EQ(list.shownColumnLeft(0), 0);
  EXPECT_EQ(list.rowTop(0), top0);
  list.ensureVisible(0, 1);
  EXPECT_EQ(list.shownColumnLeft(1) + 1500, viewRight) << "just far enough for its right edge";
  list.ensureVisible(12, 1);
  EXPECT_EQ(list.shownColumnLeft(1) + 1500, viewRight);
  EXPECT_LE(list.rowTop(12) + 33 * tppY(), viewBottom);
  EXPECT_GT(list.rowTop(12) + 2 * 33 * tppY(), viewBottom) << "the last row shown";
  // Wider than the view, a column shows from its left edge.
  list.setColumnWidth(1, 6000);
  list.ensureVisible(12, 1);
  EXPECT_EQ(list.shownColumnLeft(1), 0);
  list.ensureVisible(0, 0);
  EXPECT_EQ(list.rowTop(0), top0);
  EXPECT_EQ(list.shownColumnLeft(0), 0);
}

TEST_F(UiContract, ListView_SubclassSeesDividerDragsDoubleClicksAndVerticalScrollsOnly) {
  LabForm form(lab.ui());
  fillRows(form.lvwRows, 20);
  form.show();
  ui::ListView& list = form.lvwRows;
  std::vector<Seen> seen;
  const WndProcValue original = subclass(list, seen);

  lab.dragDivider(list, 0, 300);
  EXPECT_EQ(codes(seen), (std::vector<int32_t>{HDN_BEGINTRACKA, HDN_ENDTRACKA}));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].widthThen, 1500) << "the drag is announced before the column changes";
  EXPECT_EQ(list.columns()[0].width, 1800);
  EXPECT_NE(seen[0].from, 0u);
  EXPECT_EQ(ws.getParent(seen[0].from), list.hWnd()) << "the list's own header tells it";

  seen.clear();
  lab.doubleClickDivider(list, 0);
  ASSERT_FALSE(codes(seen).empty());
  EXPECT_EQ(codes(seen).back(), HDN_DIVIDERDBLCLICKA);

  seen.clear();
  lab.scrollHorizontally(list, 300);
  EXPECT_GE(count(seen, WM_HSCROLL), 1);
  EXPECT_EQ(count(seen, WM_VSCROLL), 0);
  lab.scrollRows(list, 2);
  EXPECT_GE(count(seen, WM_VSCROLL), 1);

  // Put back, the original procedure alone sees the list's messages again.
  ws.setWindowLongA(list.hWnd(), GWL_WNDPROC, original);
  seen.clear();
  const int32_t before = list.columns()[0].width;
  lab.scrollRows(list, 1);
  lab.dragDivider(list, 0, 150);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(list.columns()[0].width, before + 150);
}

TEST_F(UiContract, ListView_DoubleClickedDividerFitsTheColumnToItsWidestText) {
  LabForm form(lab.ui());
  form.lvwRows.addRow("A");
  form.lvwRows.setColumnWidth(0, 2000);
  form.show();

  lab.doubleClickDivider(form.lvwRows, 0);
  EXPECT_LT(form.lvwRows.columns()[0].width, 1500) << "a short text: narrower";
  EXPECT_GT(form.lvwRows.columns()[0].width, 0);
  // (A divider closer than a few pixels to the next one is hard to hit: start from a width that
  // leaves room.)
  form.lvwRows.setColumnWidth(0, 900);
  form.lvwRows.addRow(std::string(60, 'W'));
  lab.doubleClickDivider(form.lvwRows, 0);
  EXPECT_GT(form.lvwRows.columns()[0].width, 60 * 3 * tppX()) << "sixty letters: wider";
}

// --- Keyboard --------------------------------------------------------------------------------

// A label, a frame or a line takes no focus, whatever tab index it has.
TEST_F(UiContract, Tab_MovesTheFocusInTabOrderSkippingWhatCannotTakeIt) {
  LabForm form(lab.ui());
  form.lblHint.setTabIndex(1);
  form.fraGroup.setTabIndex(3);
  form.linRule.setTabIndex(5);
  std::vector<std::string> focus;
  for (ui::Control* c : form.controls())
    c->onGotFocus = [&focus, c] { focus.push_back(c->name()); };
  form.show();
  form.chkOption.setVisible(false);
  form.cmdOk.setEnabled(false);
  form.txtName.setFocus();
  focus.clear();

  lab.press(form, Key::Tab);
  lab.press(form, Key::Tab);
  lab.press(form, Key::Tab);
  lab.press(form, Key::Tab);
  lab.press(form, Key::ShiftTab);
  EXPECT_EQ(focus,
            (std::vector<std::string>{"cboPick", "cmdCancel", "lvwRows", "txtName", "lvwRows"}));
  EXPECT_EQ(form.focused(), &form.lvwRows);

  lab.click(form.cboPick);
  EXPECT_EQ(focus.back(), "cboPick") << "a click gives the focus too";
}

TEST_F(UiContract, Keys_EnterEscapeAndSpacePressTheirButtons) {
  LabForm form(lab.ui());
  int ok = 0, cancel = 0;
  form.cmdOk.onClick = [&] { ++ok; };
  form.cmdCancel.onClick = [&] { ++cancel; };
  form.show();
  form.txtName.setFocus();

  lab.press(form, Key::Enter);
  EXPECT_EQ(ok, 1) << "Enter: the default button";
  lab.press(form, Key::Escape);
  EXPECT_EQ(cancel, 1) << "Escape: the cancel button";
  EXPECT_EQ(form.focused(), &form.txtName) << "neither takes the focus";

  form.chkOption.setFocus();
  lab.press(form, Key::Space);
  EXPECT_EQ(form.chkOption.value(), 1);
  form.cmdCancel.setFocus();
  lab.press(form, Key::Space);
  EXPECT_EQ(cancel, 2);
  EXPECT_EQ(ok, 1);

  // Alt and a caption's access key press its button, in either case.
  form.txtName.setFocus();
  lab.pressAlt(form, 'c');
  EXPECT_EQ(cancel, 3);
  lab.pressAlt(form, 'O');
  EXPECT_EQ(ok, 2);
}

// Two captions with one access key: Alt and that key moves the focus to the next of them in tab
// order and presses neither.
TEST_F(UiContract, AccessKey_SharedMovesTheFocusBetweenItsControlsAndPressesNone) {
  LabForm form(lab.ui());
  int ok = 0, cancel = 0;
  form.cmdOk.onClick = [&] { ++ok; };
  form.cmdCancel.onClick = [&] { ++cancel; };
  form.cmdOk.setText("&Close");
  form.show();
  form.txtName.setFocus();

  std::vector<std::string> focus;
  for (const char key : {'c', 'C', 'c'}) {
    lab.pressAlt(form, key);
    focus.push_back(form.focused() ? form.focused()->name() : "");
  }
  EXPECT_EQ(focus, (std::vector<std::string>{"cmdOk", "cmdCancel", "cmdOk"}));
  EXPECT_EQ(ok + cancel, 0);

  // Unique again, the key presses its button.
  form.cmdOk.setText("&OK");
  lab.pressAlt(form, 'c');
  EXPECT_EQ(cancel, 1);
  EXPECT_EQ(ok, 0);
}

// --- Menus, background, closing, modal forms -------------------------------------------------

TEST_F(UiContract, MenuAndBackground_RaiseTheFormsEvents) {
  LabForm form(lab.ui());
  int settings = 0, background = 0;
  form.menus[0].items[0].onClick = [&] { ++settings; };
  form.onClick = [&] { ++background; };
  form.show();

  lab.chooseMenu(form, {"&Options", "&Settings"});
  EXPECT_EQ(settings, 1);
  lab.clickBackground(form, 3300, 1800);
  EXPECT_EQ(background, 1);
}

TEST_F(UiContract, CloseBox_UnloadsUnlessFormUnloadCancels) {
  LabForm form(lab.ui());
  form.show();
  const Hwnd window = form.hWnd(), button = form.cmdOk.hWnd();

  form.cancelUnload = 1;
  lab.closeBox(form);
  EXPECT_TRUE(form.loaded());
  EXPECT_TRUE(ws.isWindowVisible(window));

  form.cancelUnload = 0;
  lab.closeBox(form);
  lab.pump();
  EXPECT_FALSE(form.loaded());
  EXPECT_FALSE(ws.isWindow(window));
  EXPECT_FALSE(ws.isWindow(button));
  EXPECT_EQ(form.cmdOk.hWnd(), 0u);
}

TEST_F(UiContract, Modal_TheUserActsInsideTheLoopAndShowReturnsWhenTheFormGoes) {
  LabForm owner(lab.ui());
  owner.show();
  LabForm dialog(lab.ui());
  dialog.setCaption("Dialog");
  std::vector<std::string> steps;
  dialog.cmdOk.onClick = [&] {
    steps.push_back("ok");
    dialog.hide();
  };
  int ownerClicks = 0;
  owner.cmdOk.onClick = [&] { ++ownerClicks; };
  lab.whenModal([&] {
    steps.push_back("user");
    EXPECT_TRUE(ws.isWindowVisible(dialog.hWnd()));
    lab.click(owner.cmdOk);  // the owner takes no input while the dialog is up
    lab.click(dialog.cmdOk);
  });

  dialog.show(true);
  steps.push_back("returned");
  EXPECT_EQ(steps, (std::vector<std::string>{"user", "ok", "returned"}));
  EXPECT_EQ(ownerClicks, 0);
  EXPECT_TRUE(dialog.loaded());
  EXPECT_FALSE(dialog.visible());

  // Unloaded from inside its loop (the close box) ends it the same way.
  lab.whenModal([&] { lab.closeBox(dialog); });
  dialog.show(true);
  EXPECT_FALSE(dialog.loaded());
  lab.click(owner.cmdOk);
  EXPECT_EQ(ownerClicks, 1) << "the owner takes input again";
}

}  // namespace
}  // namespace morvane::contract
