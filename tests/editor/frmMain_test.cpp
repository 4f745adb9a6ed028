// Morvane on the simulated desktop, driven by a simulated user: its start-up and dispatch, the
// rule editor's lists, the in-place chooser, saving, applying and handing over to MorvaneAuto.
#include "editor/frmMain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "editor/frmIntegrate.h"
#include "editor/morvane_program.h"
#include "hostsim/act_sim.h"
#include "platform/sim/sim_user.h"
#include "platform/win_constants.h"
#include "shared/settings/settings_keys.h"
#include "simulator/sim_world.h"
#include "tests/editor/editor_test_support.h"

namespace morvane {
namespace {

using namespace testing_editor;

TEST_F(EditorTest, OpensWithTheFieldsRulesAndLayoutsOfTheCurrentRecordKind) {
  // A stored width that is not a number reads as the default, without a word.
  settings::save(world.settings, "WidthCol1", "wide");
  frmMain& f = open();
  EXPECT_EQ(f.caption(), "Morvane");
  EXPECT_EQ(world.desktop.windowText(f.hWnd()), "Morvane");
  EXPECT_TRUE(f.visible());
  EXPECT_FALSE(world.morvane()->splash.loaded()) << "the splash goes once the editor has loaded";

  ASSERT_EQ(f.cboField.listCount(), 2);
  EXPECT_EQ(f.cboField.text(), "ID/Status");
  EXPECT_EQ(f.cboField.itemData(f.cboField.listIndex()), kIdStatus);
  EXPECT_EQ(rows(f),
            (std::vector<std::pair<std::string, std::string>>{{"If no layout assigned", "Standard"},
                                                              {"Customer", "Client"},
                                                              {"Prospect", "Prospect Layout"},
                                                              {"Vendor", "Vendor Layout"},
                                                              {"Supplier", ""}}));
  EXPECT_TRUE(f.lvwValues.rows()[0].bold);
  std::vector<std::string> chooser;
  for (const auto& i : f.cboFloating.items()) chooser.push_back(i.text);
  std::vector<std::string> expected{" "};
  for (const auto& l : hostsim::sampleLayouts()) expected.push_back(l);
  EXPECT_EQ(chooser, expected);
  EXPECT_FALSE(f.cboFloating.visible());
  EXPECT_FALSE(f.cmdSave.enabled());
  EXPECT_EQ(f.lvwValues.columns()[0].width, 2500);
  EXPECT_EQ(f.lvwValues.columns()[1].width, 2500);
  EXPECT_TRUE(world.boxes.shown().empty());

  // Another field rebuilds the rows from the rules file, without counting as a change.
  user.choose(f.cboField, 1);
  world.settle();
  EXPECT_EQ(f.cboField.itemData(f.cboField.listIndex()), kReferredBy);
  ASSERT_EQ(f.lvwValues.rows().size(), 4u);
  EXPECT_EQ(f.lvwValues.rows()[1].text, "Web");
  EXPECT_FALSE(f.cmdSave.enabled());
}

TEST_F(EditorTest, TheChooserOpensOverTheLayoutCellAndAChoiceMarksTheRulesChanged) {
  frmMain& f = open();
  const int32_t frame = 2 * 15;  // (SM_CYFIXEDFRAME - 1) pixels, and the same across

  // Opening on a row shows its layout without counting as a change.
  clickLayoutCell(f, 2);
  ASSERT_TRUE(f.cboFloating.visible());
  EXPECT_EQ(f.lvwValues.selectedRow(), 2u);
  EXPECT_EQ(f.cboFloating.box().top, 975 + f.lvwValues.rowTop(2) + frame);
  EXPECT_EQ(f.cboFloating.box().left, 330 + 2500 + 50 + frame);
  EXPECT_EQ(f.cboFloating.box().width, 2500);
  EXPECT_EQ(f.cboFloating.text(), "Prospect Layout");
  EXPECT_FALSE(f.UnsavedChanges);
  EXPECT_FALSE(f.cmdSave.enabled());

  // A row without a layout shows no entry; the choice writes the row.
  clickLayoutCell(f, 4);
  EXPECT_EQ(f.cboFloating.listIndex(), -1);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  world.settle();
  EXPECT_EQ(f.lvwValues.subItem(4, 1), "Vendor Layout");
  EXPECT_TRUE(f.UnsavedChanges);
  EXPECT_TRUE(f.cmdSave.enabled());
  EXPECT_TRUE(f.cboFloating.visible()) << "the chooser stays after a choice";

  // A click on the value column, or below the rows, puts it away.
  user.clickAt(f.lvwValues, ui::mouse::kLeft, 1000, f.lvwValues.rowTop(1) + 100);
  world.settle();
  EXPECT_FALSE(f.cboFloating.visible());
  clickLayoutCell(f, 1);
  user.clickAt(f.lvwValues, ui::mouse::kLeft, 3000, 3000);
  world.settle();
  EXPECT_FALSE(f.cboFloating.visible());

  // A first column wide enough pushes the chooser's right end to 365 twips short of the list's.
  user.dragDivider(f.lvwValues, 0, 300);
  world.settle();
  clickLayoutCell(f, 1);
  const int32_t left = f.lvwValues.columnLeft(1);
  ASSERT_GT(left + f.lvwValues.columns()[1].width, 5430 - 365);
  EXPECT_EQ(f.cboFloating.box().width, 5430 - 365 - left);
}

// More drop-down values than the rule list shows at once: the last rows lie below its bottom.
void addValues(SimWorld& world, int count) {
  for (int i = 0; i < count; ++i)
    world.act.database().contacts.fields[4].popupValues.push_back("Extra " + std::to_string(i));
}

// The screen (at 120 DPI a pixel is 12 twips, at 144 DPI 10), the columns' widths and how far the
// user scrolled the list sideways before clicking the last row that shows.
struct Placement {
  int32_t tpp;
  int32_t first;
  int32_t second;
  int32_t scroll;
};

void PrintTo(const Placement& p, std::ostream* os) {
  *os << p.tpp << " twips a pixel, columns " << p.first << " and " << p.second << ", scrolled "
      << p.scroll;
}

class ChooserPlacementTest : public EditorTest, public testing::WithParamInterface<Placement> {};

// A click on the part of the layout cell that shows opens the chooser over that cell, the row
// whole and the column from its left edge brought into view first, and never past the list's
// edges: at 120 DPI the last row shows only in part, a wide first column pushes the layout column
// to the list's right edge or out of sight.
TEST_P(ChooserPlacementTest, TheChooserStandsOverTheCellItWasOpenedOnInsideTheList) {
  const Placement p = GetParam();
  world.system.twipsPerPixel = p.tpp;
  addValues(world, 8);
  settings::save(world.settings, "WidthCol1", std::to_string(p.first));
  settings::save(world.settings, "WidthCol2", std::to_string(p.second));
  frmMain& f = open();
  ui::ListView& list = f.lvwValues;
  user.scrollHorizontally(list, p.scroll);
  EXPECT_EQ(list.rowTop(2) - list.rowTop(1), 33 * p.tpp) << "33-pixel rows";

  // The last row the list shows, if only in part, clicked just inside the layout column.
  const int32_t x = std::max(list.shownColumnLeft(1), 0) + p.tpp;
  size_t row = 0;
  while (list.hitTest(x, list.rowTop(row + 1) + p.tpp) == row + 1) ++row;
  ASSERT_GT(row, 4u);
  user.clickAt(list, ui::mouse::kLeft, x, list.rowTop(row) + p.tpp);
  world.settle();
  ASSERT_TRUE(f.cboFloating.visible());

  const ui::Box chooser = f.cboFloating.box();
  const ui::Box& box = list.box();
  const int32_t frame = 2 * p.tpp;  // (SM_CXFIXEDFRAME - 1) pixels, and the same down
  EXPECT_EQ(chooser.top, box.top + list.rowTop(row) + frame);
  // The column shows from its left edge (to the pixel: the window's columns are whole pixels).
  EXPECT_GT(list.shownColumnLeft(1), -p.tpp);
  EXPECT_EQ(chooser.left, box.left + std::max(list.shownColumnLeft(1), 0) + 50 + frame);
  EXPECT_GT(chooser.width, 0);
  EXPECT_LE(chooser.left + chooser.width, box.left + box.width);
  EXPECT_LE(chooser.top + chooser.height, box.top + box.height);

  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  world.settle();
  EXPECT_EQ(list.subItem(row, 1), "Vendor Layout");
}

INSTANTIATE_TEST_SUITE_P(ScreensColumnsAndScrolls, ChooserPlacementTest,
                         testing::Values(Placement{15, 2500, 2500, 0}, Placement{12, 2500, 2500, 0},
                                         Placement{10, 2500, 2500, 0},
                                         // The layout column partly scrolled out to the right, to
                                         // the left, and starting where the chooser's room ends.
                                         Placement{15, 4000, 2500, 1500},
                                         Placement{15, 1000, 6000, 1500},
                                         Placement{15, 5085, 2500, 0}));

// A click opens the chooser from the layout column's left edge to its right edge, both included,
// where the column shows now: the list scrolled sideways moves both. A column that starts past
// the chooser's room (365 twips short of the list's right edge) leaves it none: no chooser.
TEST_F(EditorTest, AClickOpensTheChooserBetweenTheShownEdgesOfTheLayoutColumn) {
  struct Case {
    int32_t first;
    int32_t second;
    int32_t scroll;
    int32_t x;  // from the layout column's shown left edge
    bool opens;
  };
  const Case cases[] = {
      {2520, 2520, 0, 0, true},     {2520, 2520, 0, -15, false}, {2520, 2520, 0, 2520, true},
      {2520, 2520, 0, 2535, false}, {4200, 3000, 600, 0, true},  {4200, 3000, 600, -15, false},
      {4200, 3000, 600, 300, true}, {5070, 60, 0, 15, false},
  };
  frmMain& f = open();
  ui::ListView& list = f.lvwValues;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + " scrolled " + std::to_string(c.scroll) + " at " +
                 std::to_string(c.x));
    list.setColumnWidth(0, c.first);
    list.setColumnWidth(1, c.second);
    user.scrollHorizontally(list, -list.columnLeft(2));
    user.scrollHorizontally(list, c.scroll);
    ASSERT_EQ(list.shownColumnLeft(1), c.first - c.scroll);
    user.clickAt(list, ui::mouse::kLeft, list.shownColumnLeft(1) + c.x, list.rowTop(1) + 100);
    world.settle();
    EXPECT_EQ(f.cboFloating.visible(), c.opens);
  }
}

// Whatever moves the list under the open chooser puts it away: the scroll bars, the wheel, the
// arrow keys, a divider as its drag begins or as it is double-clicked. The list still does what
// it was asked.
TEST_F(EditorTest, TheChooserGoesWhenTheListMovesUnderIt) {
  addValues(world, 8);
  settings::save(world.settings, "WidthCol1", "3000");
  frmMain& f = open();
  ui::ListView& list = f.lvwValues;
  struct Move {
    const char* name;
    std::function<void()> act;
  };
  const Move moves[] = {
      {"the vertical scroll bar", [&] { user.scrollRows(list, 1); }},
      {"the horizontal scroll bar", [&] { user.scrollHorizontally(list, 300); }},
      {"the wheel", [&] { user.turnWheel(list, 1); }},
      {"the wheel back", [&] { user.turnWheel(list, -1); }},
      {"Down", [&] { user.press(f, sim::Key::Down); }},
      {"Up", [&] { user.press(f, sim::Key::Up); }},
      {"a divider's drag",
       [&] {
         user.pressDivider(list, 1);
         EXPECT_FALSE(f.cboFloating.visible()) << "gone as the drag begins";
         user.releaseDivider(list, 1, 200);
         EXPECT_EQ(list.columns()[1].width, 2700) << "the list still had the drag";
       }},
      {"a divider's double click", [&] { user.doubleClickDivider(list, 0); }},
  };
  // The chooser opens on the second row that shows, so that both arrows move the selection.
  const auto openChooser = [&] {
    const int32_t x = std::max(list.shownColumnLeft(1), 0) + 150;
    size_t top = 0;
    while (list.hitTest(x, list.rowTop(top) + 15) != top) ++top;
    user.clickAt(list, ui::mouse::kLeft, x, list.rowTop(top + 1) + 100);
    world.settle();
    return f.cboFloating.visible();
  };
  for (const Move& move : moves) {
    SCOPED_TRACE(move.name);
    ASSERT_TRUE(openChooser());
    move.act();
    world.settle();
    EXPECT_FALSE(f.cboFloating.visible());
  }

  // Tab from the list reaches the chooser itself, then (Save being disabled) the check box.
  ASSERT_TRUE(openChooser());
  user.press(f, sim::Key::Tab);
  world.settle();
  EXPECT_TRUE(f.cboFloating.visible());
  user.press(f, sim::Key::Tab);
  world.settle();
  EXPECT_EQ(world.ui().focus(), f.chkStealth.hWnd());
  EXPECT_FALSE(f.cboFloating.visible());
}

// The chooser writes the row it was opened on, wherever the selection has gone meanwhile.
TEST_F(EditorTest, AChoiceGoesToTheRowTheChooserStandsOn) {
  frmMain& f = open();
  clickLayoutCell(f, 2);
  f.lvwValues.select(3);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Group Layout"));
  world.settle();
  EXPECT_EQ(f.lvwValues.subItem(2, 1), "Group Layout");
  EXPECT_EQ(f.lvwValues.subItem(3, 1), "Vendor Layout");
}

// The middle button selects no row: a click with it while none is selected does nothing at all.
TEST_F(EditorTest, AClickWhileNoRowIsSelectedDoesNothing) {
  frmMain& f = open();
  ASSERT_FALSE(f.lvwValues.selectedRow());
  user.clickAt(f.lvwValues, ui::mouse::kMiddle, f.lvwValues.columnLeft(1) + 300,
               f.lvwValues.rowTop(1) + 100);
  world.settle();
  EXPECT_TRUE(world.boxes.shown().empty());
  EXPECT_FALSE(f.cboFloating.visible());
}

// A layout written in another letter case than ACT! lists it is that layout, as ACT!'s own list
// finds it: the chooser shows it.
TEST_F(EditorTest, TheChooserShowsARowsLayoutWhateverItsLetterCase) {
  world.writeRule("Sales-Contact", "Prospect", "cLIENT");
  frmMain& f = open();
  clickLayoutCell(f, 2);
  EXPECT_EQ(f.cboFloating.text(), "Client");
  EXPECT_FALSE(f.UnsavedChanges);
}

// Two layouts of one name in ACT! are one entry of the chooser.
TEST_F(EditorTest, TheChooserListsEachLayoutNameOnce) {
  world.act.setLayouts({"Standard", "Client", "Standard", "Client"}, "Standard");
  world.actWindows.refreshLayoutList();
  frmMain& f = open();
  std::vector<std::string> entries;
  for (const auto& i : f.cboFloating.items()) entries.push_back(i.text);
  EXPECT_EQ(entries, (std::vector<std::string>{" ", "Standard", "Client"}));
}

// A close that the user cancelled by keeping rules that could not be saved leaves the editor as
// it was, its list hooked: scrolling and dividers still put the chooser away.
TEST_F(EditorTest, ACancelledCloseLeavesTheListHooked) {
  frmMain& f = open();
  const Hwnd list = f.lvwValues.hWnd();
  const int32_t hooked = world.desktop.getWindowLongA(list, win::GWL_WNDPROC);
  clickLayoutCell(f, 1);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  ASSERT_TRUE(world.files.setReadOnly(kRules, true));
  world.boxes.answerNext(MsgResult::Yes);
  user.closeBox(f);
  world.settle();
  ASSERT_TRUE(f.loaded());
  EXPECT_EQ(world.desktop.getWindowLongA(list, win::GWL_WNDPROC), hooked);
  EXPECT_TRUE(f.UnsavedChanges);

  clickLayoutCell(f, 1);
  user.scrollRows(f.lvwValues, 1);
  world.settle();
  EXPECT_FALSE(f.cboFloating.visible());
  clickLayoutCell(f, 1);
  user.dragDivider(f.lvwValues, 0, 150);
  world.settle();
  EXPECT_FALSE(f.cboFloating.visible());
}

// A column the user dragged to nothing is stored so and comes back so, not at its default width.
TEST_F(EditorTest, AColumnDraggedToNothingComesBackAtNothing) {
  frmMain& f = open();
  user.dragDivider(f.lvwValues, 1, -3000);
  world.settle();
  ASSERT_EQ(f.lvwValues.columns()[1].width, 0);
  user.closeBox(f);
  world.settle();
  EXPECT_EQ(open().lvwValues.columns()[1].width, 0);
}

TEST_F(EditorTest, SaveWritesTheSectionAndClosingAsksAboutUnsavedChanges) {
  frmMain& f = open();
  world.writeRule("Sales", "old", "gone");
  // Alt+S presses Save by its access key, and not while it is disabled.
  user.pressAlt(f, 's');
  world.settle();
  EXPECT_EQ(rule("Sales", "old"), "gone");
  clickLayoutCell(f, 4);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Client"));
  user.pressAlt(f, 's');
  world.settle();
  EXPECT_EQ(rule("Sales-Contact", "Supplier"), "Client");
  EXPECT_EQ(rule("Sales-Contact", "_Reference_Field_"), std::to_string(kIdStatus));
  EXPECT_EQ(rule("Sales", "old"), "<none>") << "the bare database name's section goes";
  EXPECT_FALSE(f.cmdSave.enabled());

  // No leaves the file as it was; Yes writes every row.
  for (const MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
    frmMain& g = answer == MsgResult::No ? f : open();
    clickLayoutCell(g, 1);
    user.choose(g.cboFloating, entryOf(g.cboFloating, "Group Layout"));
    world.boxes.answerNext(answer);
    user.closeBox(g);
    world.settle();
    EXPECT_EQ(boxTexts().back(), "Do you want to save your changes?");
    EXPECT_EQ(rule("Sales-Contact", "Customer"),
              answer == MsgResult::Yes ? "Group Layout" : "Client");
    EXPECT_EQ(world.runningMorvanes(), 0);
  }
}

// A drop-down value of 200 characters is a rule like any other: listed whole, saved as the key,
// and found again by the next editor.
TEST_F(EditorTest, ALongDropDownValueIsListedSavedAndReadBackWhole) {
  const std::string value = "Key account " + std::string(188, 'x');
  ASSERT_EQ(value.size(), 200u);
  world.act.database().contacts.fields[4].popupValues.push_back(value);
  frmMain& f = open();
  ASSERT_EQ(f.lvwValues.rows().size(), 6u);
  EXPECT_EQ(f.lvwValues.rows()[5].text, value);
  clickLayoutCell(f, 5);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  user.click(f.cmdSave);
  world.settle();
  EXPECT_EQ(rule("Sales-Contact", value), "Vendor Layout");
  user.closeBox(f);
  world.settle();
  EXPECT_EQ(rows(open())[5], std::make_pair(value, std::string("Vendor Layout")));
}

// What would lose the user's work is told instead: rules that cannot be written keep their
// changes (and the editor stays open), MorvaneAuto that cannot start keeps the editor, and a
// layout ACT! no longer lists shows as no selection in the chooser.
TEST_F(EditorTest, NothingTheUserDidIsLostWhenItCannotBeKept) {
  frmMain& f = open();
  world.writeRule("Sales-Contact", "Vendor", "Gone Layout");
  f.Populate_lvwValues();
  clickLayoutCell(f, 2);
  EXPECT_EQ(f.cboFloating.text(), "Prospect Layout");
  clickLayoutCell(f, 3);
  EXPECT_EQ(f.cboFloating.listIndex(), -1) << "not the last row's layout";

  user.choose(f.cboFloating, entryOf(f.cboFloating, "Client"));
  ASSERT_TRUE(world.files.setReadOnly(kRules, true));
  user.click(f.cmdSave);
  world.settle();
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].text,
            std::string("The rules could not be saved in ") + kRules +
                ".\rYour changes are kept: check that the file can be written, then save again.");
  EXPECT_TRUE(f.UnsavedChanges);
  EXPECT_TRUE(f.cmdSave.enabled());

  // Stealth Mode saves first: nothing is handed over.
  user.click(f.cmdStealth);
  world.settle();
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
  EXPECT_TRUE(f.visible());
  // Yes to the save question, and the save fails: the editor stays.
  world.boxes.answerNext(MsgResult::Yes);
  user.closeBox(f);
  world.settle();
  EXPECT_TRUE(f.loaded());
  EXPECT_EQ(world.runningMorvanes(), 1);

  ASSERT_TRUE(world.files.setReadOnly(kRules, false));
  world.system.uninstall(std::string(simulator::kInstallFolder) + "\\MorvaneAuto.exe");
  world.boxes.clear();
  user.click(f.cmdStealth);
  world.settle();
  EXPECT_EQ(rule("Sales-Contact", "Vendor"), "Client");
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].text, std::string("Unable to start ") +
                                             std::string(simulator::kInstallFolder) +
                                             "\\MorvaneAuto.exe");
  EXPECT_TRUE(f.visible()) << "the editor stays";
}

TEST_F(EditorTest, UpdateLayoutSavesFirstAndReportsALayoutActLacks) {
  frmMain& f = open();
  world.act.gotoRecord(1);  // Bob Durand, a Prospect
  world.settle();
  user.click(f.cmdUpdateLayout);
  world.settle();
  EXPECT_EQ(world.act.currentLayout(), "Prospect Layout");

  clickLayoutCell(f, 2);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  user.click(f.cmdUpdateLayout);
  world.settle();
  EXPECT_EQ(rule("Sales-Contact", "Prospect"), "Vendor Layout") << "saved without asking";
  EXPECT_FALSE(f.UnsavedChanges);
  EXPECT_EQ(world.act.currentLayout(), "Vendor Layout");

  world.writeRule("Sales-Contact", "Prospect", "Gone Layout");
  user.click(f.cmdUpdateLayout);
  world.settle();
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].caption, "Unable to change layout");
  EXPECT_EQ(world.boxes.shown()[0].text, "Layout 'Gone Layout' does not seem to exist!");

  // No rule for the value and an empty default: nothing happens, silently.
  world.writeRule("Sales-Contact", "Prospect", "");
  world.writeRule("Sales-Contact", "If no layout assigned", "");
  user.click(f.cmdUpdateLayout);
  world.settle();
  EXPECT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.act.currentLayout(), "Vendor Layout");
}

// Update Layout goes by the record kind ACT! shows when it is pressed: that kind's own rules, or
// nothing. With nothing to apply (a first run: no rules file, or no rule for this kind) nothing
// happens, and Stealth Mode then hands over without a word.
struct UpdateCase {
  const char* name;
  const char* rules;   // "sample", "none" (no rules file) or "groups" (the groups' rules alone)
  int16_t openIn;      // the view ACT! shows when the editor opens
  int16_t pressIn;     // and when Update Layout is pressed
  size_t record;       // the record of that view's kind
  const char* layout;  // what ACT! shows afterwards; it showed "Vendor Layout" before
};

class UpdateLayoutTest : public EditorTest, public testing::WithParamInterface<UpdateCase> {};

TEST_P(UpdateLayoutTest, AppliesTheRulesOfTheKindActShowsOrNothingAndStealthModeIsQuiet) {
  const UpdateCase& c = GetParam();
  if (std::string(c.rules) != "sample") {
    ASSERT_TRUE(world.files.removeFile(kRules));
    if (std::string(c.rules) == "groups") {
      world.writeRule("Sales-Group", "_Reference_Field_", "102");
      world.writeRule("Sales-Group", "Team", "Group Layout");
    }
  }
  world.act.switchView(c.openIn);
  frmMain& f = open();
  world.act.switchView(c.pressIn);
  ASSERT_TRUE(world.act.gotoRecord(c.record));
  ASSERT_TRUE(world.act.applyLayout("Vendor Layout"));
  world.settle();
  user.click(f.cmdUpdateLayout);
  world.settle();
  EXPECT_EQ(world.act.currentLayout(), c.layout);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{});

  user.click(f.cmdStealth);
  world.settle();
  EXPECT_EQ(boxTexts(), std::vector<std::string>{});
  EXPECT_EQ(world.runningMorvanes(), 0);
  EXPECT_EQ(world.runningMorvaneAutos(), 1);
}

using hostsim::view::kContact;
using hostsim::view::kContactList;
using hostsim::view::kGroup;
INSTANTIATE_TEST_SUITE_P(
    Kinds, UpdateLayoutTest,
    testing::Values(
        UpdateCase{"NoRulesFile", "none", kContact, kContact, 0, "Vendor Layout"},
        UpdateCase{"NoRuleForContacts", "groups", kContact, kContact, 0, "Vendor Layout"},
        // David's status is empty: no rule of its own, the default applies.
        UpdateCase{"ValueWithoutARule", "sample", kContact, kContact, 3, "Standard"},
        UpdateCase{"ActMovedToGroups", "sample", kContact, kGroup, 0, "Group Layout"},
        UpdateCase{"ActMovedToContacts", "sample", kGroup, kContact, 1, "Prospect Layout"},
        UpdateCase{"ActShowsTheContactList", "sample", kContact, kContactList, 0, "Vendor Layout"}),
    [](const auto& info) { return std::string(info.param.name); });

// A reference field in the rules file that is no number, or names no field of ACT!'s: the error
// is told, and the user can still repair the rules. The stored column widths survive, also when
// loading stopped before they were read.
struct DamagedRules {
  const char* name;
  const char* reference;
  const char* failingMember;  // "" for none
  int errorLine;              // the line of Form_Load's error box; 0 for none
};

class DamagedRulesTest : public EditorTest, public testing::WithParamInterface<DamagedRules> {};

TEST_P(DamagedRulesTest, TheUserCanRepairThemAndTheStoredWidthsStay) {
  const DamagedRules& c = GetParam();
  settings::save(world.settings, "WidthCol1", "3000");
  world.writeRule("Sales-Contact", "_Reference_Field_", c.reference);
  if (*c.failingMember) world.act.faults.failingMembers.insert(c.failingMember);
  frmMain& f = open();
  if (c.errorLine == 0) {
    EXPECT_TRUE(world.boxes.shown().empty());
  } else {
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_NE(world.boxes.shown()[0].text.find("in frmMain: Sub Form_Load - Line # " +
                                               std::to_string(c.errorLine)),
              std::string::npos)
        << world.boxes.shown()[0].text;
  }
  if (!*c.failingMember) {
    EXPECT_EQ(f.cboField.listIndex(), -1);
    ASSERT_EQ(f.cboFloating.listCount(), 6) << "the chooser offers ACT!'s layouts";
    EXPECT_EQ(f.lvwValues.columns()[0].width, 3000);
    user.choose(f.cboField, entryOf(f.cboField, "ID/Status"));
    world.settle();
    clickLayoutCell(f, 1);
    ASSERT_TRUE(f.cboFloating.visible());
    user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
    world.settle();
    ASSERT_TRUE(f.cmdSave.enabled());
    user.click(f.cmdSave);
    world.settle();
    EXPECT_EQ(rule("Sales-Contact", "_Reference_Field_"), std::to_string(kIdStatus));
    EXPECT_EQ(rule("Sales-Contact", "Customer"), "Vendor Layout");
  }
  user.closeBox(f);
  world.settle();
  EXPECT_EQ(world.runningMorvanes(), 0);
  EXPECT_EQ(settings::read(world.settings, "WidthCol1", ""), "3000");
}

INSTANTIATE_TEST_SUITE_P(References, DamagedRulesTest,
                         testing::Values(DamagedRules{"NotANumber", "abc", "", 8},
                                         DamagedRules{"Overflow", "70000", "", 8},
                                         DamagedRules{"NoSuchField", "99", "", 0},
                                         DamagedRules{"NoDatabaseName", "5", "App.GetOpenDBName",
                                                      6}),
                         [](const auto& info) { return std::string(info.param.name); });

// ACT!'s layout names run to 254 characters: such a name reads back whole from the rules file, in
// the editor and in MorvaneAuto.
class LongLayoutNameTest : public EditorTest, public testing::WithParamInterface<size_t> {};

TEST_P(LongLayoutNameTest, ReadsBackWholeInTheEditorAndInMorvaneAuto) {
  const std::string name = "Key accounts " + std::string(GetParam() - 13, 'x');
  ASSERT_EQ(name.size(), GetParam());
  std::vector<std::string> layouts = hostsim::sampleLayouts();
  layouts.push_back(name);
  world.act.setLayouts(layouts, "Standard");
  world.actWindows.refreshLayoutList();
  world.writeRule("Sales-Contact", "Customer", name);
  frmMain& f = open();
  EXPECT_EQ(f.lvwValues.subItem(1, 1), name);
  clickLayoutCell(f, 1);
  EXPECT_EQ(f.cboFloating.text(), name);
  user.click(f.cmdUpdateLayout);  // Alice is a Customer
  world.settle();
  EXPECT_EQ(world.act.currentLayout(), name);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{});

  user.click(f.cmdCancel);
  world.settle();
  ASSERT_TRUE(world.act.applyLayout("Standard"));
  world.runMorvaneAuto();
  EXPECT_EQ(world.act.currentLayout(), name);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Lengths, LongLayoutNameTest, testing::Values(127u, 254u));

// A drop-down value the rules file cannot hold as a key would read back as another value's rule,
// as a comment or as a new section: its row shows, a layout chosen for it is refused with the
// reason, once, and it is never written; every other rule is kept.
struct UnholdableValue {
  const char* name;
  const char* value;
  const char* reason;  // part of the message
};

class UnholdableValueTest : public EditorTest,
                            public testing::WithParamInterface<UnholdableValue> {};

TEST_P(UnholdableValueTest, GetsNoRuleAndEveryOtherRuleIsKept) {
  const std::string value = GetParam().value;
  world.act.database().contacts.fields[4].popupValues.push_back(value);
  frmMain& f = open();
  const auto before = rows(f);
  ASSERT_EQ(before.back(), std::make_pair(value, std::string()));
  const size_t row = before.size() - 1;
  clickLayoutCell(f, row);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Client"));
  world.settle();
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  const std::string& text = world.boxes.shown()[0].text;
  EXPECT_NE(text.find("\"" + value + "\""), std::string::npos) << text;
  EXPECT_NE(text.find(GetParam().reason), std::string::npos) << text;
  EXPECT_EQ(world.boxes.shown()[0].caption, "Morvane");
  EXPECT_EQ(f.lvwValues.subItem(row, 1), "");
  EXPECT_FALSE(f.cmdSave.enabled()) << "a refused choice is no change";

  clickLayoutCell(f, 4);  // Supplier
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  user.click(f.cmdSave);
  world.settle();
  EXPECT_EQ(world.boxes.shown().size(), 1u) << "told once";
  user.closeBox(f);
  world.settle();
  auto after = before;
  after[4].second = "Vendor Layout";
  EXPECT_EQ(rows(open()), after);
  // Written, the key would lose its leading blanks.
  const std::string key = value.substr(value.find_first_not_of(' '));
  EXPECT_EQ(world.files.readFile(kRules)->find(key), std::string::npos) << "never written";
}

INSTANTIATE_TEST_SUITE_P(
    Values, UnholdableValueTest,
    testing::Values(UnholdableValue{"Equals", "Net=30", "contains \"=\""},
                    UnholdableValue{"Semicolon", ";Archived", "begins with \";\""},
                    UnholdableValue{"Bracket", "[Old] customer", "begins with \"[\""},
                    UnholdableValue{"IndentedBracket", "  [Indented", "begins with \"[\""},
                    UnholdableValue{"LineBreak", "Two\r\nlines", "line break"},
                    UnholdableValue{"Tab", "\tTabbed", "tab"},
                    UnholdableValue{"ReferenceEntry", "_reference_field_",
                                    "entry \"_Reference_Field_\""},
                    UnholdableValue{"DefaultEntry", "IF NO LAYOUT ASSIGNED",
                                    "entry \"If no layout assigned\""}),
    [](const auto& info) { return std::string(info.param.name); });

// Update Layout while ACT! is busy on the name search past the call limit: the designed failure,
// and when ACT! wakes up no layout of this selection is applied.
TEST_F(EditorTest, UpdateLayoutWhileActHangsOnTheSearchReportsTheFailedSelection) {
  frmMain& f = open();
  world.hangActWhenSent(win::LB_FINDSTRINGEXACT, 15000);
  user.click(f.cmdUpdateLayout);
  world.settle();
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].caption, "Unable to change layout");
  EXPECT_EQ(world.boxes.shown()[0].text, "Error Setting Layout 'Client' !");
  world.wait(15000);
  EXPECT_EQ(world.act.currentLayout(), "Standard");
  EXPECT_TRUE(world.act.layoutState().applied.empty());
}

// ACT! stops answering its objects' calls when Update Layout is pressed: the first call gives up
// at the call limit with the editor's error box, nothing is applied, and the editor stays.
TEST_F(EditorTest, UpdateLayoutWhileActHangsEndsAtTheCallLimitWithTheErrorBox) {
  frmMain& f = open();
  world.hangAct(30000);
  const uint64_t hangStart = world.desktop.now();
  user.click(f.cmdUpdateLayout);
  world.settle();
  EXPECT_EQ(world.desktop.now(), hangStart + 10000);
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].caption, "Morvane error");
  EXPECT_EQ(boxTexts()[0].rfind("Error -2147417825: 'Automation error\r\nThis operation returned "
                                "because the timeout period expired.'\r"
                                "in frmMain: Sub cmdUpdateLayout_Click - Line # 2\r",
                                0),
            0u)
      << boxTexts()[0];
  world.wait(30000);
  EXPECT_EQ(world.act.currentLayout(), "Standard");
  EXPECT_TRUE(f.visible());
}

// ACT! killed while the editor is open: it says so once, and the rules can still be saved.
TEST_F(EditorTest, KilledActIsToldOnceAndTheRulesCanStillBeSaved) {
  frmMain& f = open();
  world.killAct();
  world.wait(5000);
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].caption, "Morvane error");
  EXPECT_EQ(world.boxes.shown()[0].text.rfind(
                "Error 462: 'The remote server machine does not exist or is unavailable'\r", 0),
            0u);
  EXPECT_TRUE(f.visible());

  clickLayoutCell(f, 4);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  user.click(f.cmdSave);
  world.settle();
  EXPECT_EQ(rule("Sales-Contact", "Supplier"), "Vendor Layout");
  EXPECT_FALSE(f.UnsavedChanges);
  world.wait(5000);
  EXPECT_EQ(world.boxes.shown().size(), 1u);
}

TEST_F(EditorTest, StealthModeHandsOverToMorvaneAutoAndTheSettingsStay) {
  frmMain& f = open();
  user.click(f.chkStealth);
  user.dragDivider(f.lvwValues, 0, 450);
  clickLayoutCell(f, 4);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  user.click(f.cmdStealth);
  world.settle();
  EXPECT_EQ(world.runningMorvanes(), 0);
  EXPECT_EQ(world.runningMorvaneAutos(), 1);
  EXPECT_EQ(rule("Sales-Contact", "Supplier"), "Vendor Layout") << "saved without asking";
  EXPECT_TRUE(world.boxes.shown().empty());
  EXPECT_EQ(settings::read(world.settings, settings::kStealthMode, ""), "1");
  // A dragged width is whole pixels on the screen: 2500 twips show as 167 pixels, 30 more make
  // 197.
  EXPECT_EQ(settings::read(world.settings, "WidthCol1", ""), "2955");
  EXPECT_EQ(settings::read(world.settings, "WidthCol2", ""), "2500");

  // The widths come back; with Stealth Mode on, only "0" opens the editor. MorvaneAuto's click
  // passes it.
  ASSERT_TRUE(world.clickTray());
  ASSERT_NE(world.morvane(), nullptr);
  frmMain& g = world.morvane()->main;
  EXPECT_TRUE(g.visible());
  EXPECT_EQ(world.morvaneStarts().back(), "0");
  EXPECT_EQ(g.lvwValues.columns()[0].width, 2955);
  EXPECT_EQ(g.chkStealth.value(), 1);
}

TEST_F(EditorTest, StartUpDispatchesByViewAndStealthMode) {
  struct Case {
    const char* stealth;  // nullptr: never stored
    std::string commandLine;
    int16_t view;
    bool editor;
    bool morvaneAuto;
  };
  const Case cases[] = {
      {nullptr, "", hostsim::view::kContact, true, false},
      {"1", "0", hostsim::view::kContact, true, false},
      {"2", "", hostsim::view::kContact, true, false},
      {"1.0", "", hostsim::view::kGroup, false, true},
      {"1", "1", hostsim::view::kContact, false, true},  // only "0" forces the editor
      {"1", "00", hostsim::view::kContact, false, true},
      {"abc", "0", hostsim::view::kContact, false, false},  // read before the argument counts
      {"", "", hostsim::view::kContact, false, false},
      {"0", "", hostsim::view::kContactList, false, false},
  };
  for (const Case& c : cases) {
    SimWorld w;
    w.startAct();
    w.act.switchView(c.view);
    if (c.stealth != nullptr) settings::save(w.settings, settings::kStealthMode, c.stealth);
    w.runMorvane(c.commandLine);
    const std::string what = std::string(c.stealth ? c.stealth : "<none>") + " \"" + c.commandLine +
                             "\" view " + std::to_string(c.view);
    EXPECT_EQ(w.morvane() != nullptr && w.morvane()->main.visible(), c.editor) << what;
    EXPECT_EQ(w.runningMorvaneAutos(), c.morvaneAuto ? 1 : 0) << what;
    EXPECT_TRUE(w.boxes.shown().empty()) << what;
    if (c.morvaneAuto) {
      EXPECT_EQ(settings::read(w.settings, settings::kViewType, ""), std::to_string(c.view));
    }
  }
}

TEST_F(EditorTest, StartUpRefusesASecondCopyAndAnUnreachableAct) {
  open();
  world.runMorvane("0");
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].text, "Another instance of this program is already running!");
  EXPECT_EQ(world.boxes.shown()[0].icon, MsgIcon::Critical);
  EXPECT_EQ(world.runningMorvanes(), 1);

  SimWorld closed;
  closed.runMorvane();
  ASSERT_EQ(closed.boxes.shown().size(), 1u);
  EXPECT_EQ(closed.boxes.shown()[0].text, "Please open an ACT database prior to running Morvane");
  EXPECT_EQ(closed.boxes.shown()[0].caption, "Morvane");
  EXPECT_EQ(closed.runningMorvanes(), 0);
}

TEST_F(EditorTest, ActClosingClosesTheEditorUnlessItIsBeingRestarted) {
  frmMain& f = open();
  (void)f;
  world.quitAct();
  world.settle();
  EXPECT_EQ(world.runningMorvanes(), 0);

  world.startAct();
  world.runMorvane("0");
  MorvaneProgram* p = world.morvane();
  ASSERT_NE(p, nullptr);
  // The integration dialog agreed to a restart: the editor closes ACT!, opens the database again
  // and ends two ticks later.
  p->RestartACT = true;
  p->main.unload();
  world.settle();
  EXPECT_TRUE(world.act.running()) << "the database path started ACT! again";
  EXPECT_EQ(world.act.commandsRun.back(), 150);
  EXPECT_EQ(world.runningMorvanes(), 1);
  world.wait(1000);
  EXPECT_EQ(world.runningMorvanes(), 1);
  world.wait(1000);
  EXPECT_EQ(world.runningMorvanes(), 0);
}

// The editor's dialogs open centred on the editor, wherever the user put it, and on the screen.
struct DialogPlace {
  const char* name;
  const char* entry;
  int32_t editorLeft;
  int32_t editorTop;
};

class DialogPlaceTest : public EditorTest, public testing::WithParamInterface<DialogPlace> {};

TEST_P(DialogPlaceTest, TheDialogOpensCentredOnTheEditor) {
  const DialogPlace& c = GetParam();
  frmMain& f = open();
  Rect editor;
  ASSERT_TRUE(world.desktop.getWindowRect(f.hWnd(), editor));
  ASSERT_TRUE(world.desktop.moveWindow(f.hWnd(), c.editorLeft, c.editorTop,
                                       editor.right - editor.left, editor.bottom - editor.top,
                                       true));
  ASSERT_TRUE(world.desktop.getWindowRect(f.hWnd(), editor));
  withDialog<ui::Form>(f, c.entry, [&](ui::Form& d) {
    Rect r;
    ASSERT_TRUE(world.desktop.getWindowRect(d.hWnd(), r));
    const int32_t width = r.right - r.left;
    const int32_t height = r.bottom - r.top;
    const int32_t screenWidth = world.ui().systemMetrics(0);  // SM_CXSCREEN
    const int32_t screenHeight = world.ui().systemMetrics(1);
    const int32_t left =
        std::clamp((editor.left + editor.right - width) / 2, 0, screenWidth - width);
    const int32_t top =
        std::clamp((editor.top + editor.bottom - height) / 2, 0, screenHeight - height);
    EXPECT_NEAR(r.left, left, 1);
    EXPECT_NEAR(r.top, top, 1);
    user.press(d, sim::Key::Escape);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Places, DialogPlaceTest,
    testing::Values(DialogPlace{"Settings", "&Settings", 20, 30},
                    DialogPlace{"Integration", "&Integrate with ACT", 400, 250},
                    // partly off the screen: the dialog stays on it
                    DialogPlace{"SettingsOffTheScreen", "&Settings", -400, 500}),
    [](const auto& info) { return std::string(info.param.name); });

// Tab goes round every control that can take the focus, the label with its tab index left out;
// in the integration dialog "&Close" and "&Cancel" share Alt+C, which moves between them only.
TEST_F(EditorTest, TheKeyboardReachesEveryControlAndASharedAccessKeyPressesNothing) {
  frmMain& f = open();
  std::vector<std::string> focus;
  for (int i = 0; i < 7; ++i) {
    user.press(f, sim::Key::Tab);
    focus.push_back(f.focused() ? f.focused()->name() : "");
  }
  EXPECT_EQ(focus,
            (std::vector<std::string>{"cmdCancel", "cmdUpdateLayout", "cboField", "lvwValues",
                                      "chkStealth", "cmdStealth", "cmdCancel"}));

  withDialog<clsFrmIntegrate>(f, "&Integrate with ACT", [&](clsFrmIntegrate& d) {
    for (const ui::Button* expected : {&d.cmdOK, &d.cmdCancel, &d.cmdOK}) {
      user.pressAlt(d, 'c');
      EXPECT_EQ(d.focused(), expected);
    }
    EXPECT_TRUE(d.visible()) << "neither button was pressed";
    user.click(d.cmdCancel);
  });
}

TEST_F(EditorTest, HelpMenuOpensTheTutorialAndTheAboutBox) {
  frmMain& f = open();
  user.chooseMenu(f, {"&Help", "&About"});
  world.settle();
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].caption, "About Morvane");
  EXPECT_EQ(world.boxes.shown()[0].text, "Morvane\rVersion 1.1.0");
  user.chooseMenu(f, {"&Help", "&Online Help"});
  world.settle();
  EXPECT_EQ(world.system.shellCalls().back().file, MorvaneProgram::kTutorialAddress);
}

}  // namespace
}  // namespace morvane
