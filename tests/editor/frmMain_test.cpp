// Morvane on the simulated desktop, driven by a simulated user: its start-up and dispatch, the
// rule editor's lists, the in-place chooser, saving, applying and handing over to MorvaneAuto.
#include "editor/frmMain.h"

#include <gtest/gtest.h>

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

// At 120 DPI a pixel is 12 twips, at 144 DPI 10: the chooser's frame allowance and the rows'
// height follow the screen.
class EditorAtDpiTest : public EditorTest, public testing::WithParamInterface<int32_t> {};

TEST_P(EditorAtDpiTest, TheChooserFollowsTheScreensTwipsPerPixel) {
  const int32_t tpp = GetParam();
  world.system.twipsPerPixel = tpp;
  frmMain& f = open();
  clickLayoutCell(f, 1);
  ASSERT_TRUE(f.cboFloating.visible());
  EXPECT_EQ(f.cboFloating.box().left, 330 + 2500 + 50 + 2 * tpp);
  EXPECT_EQ(f.cboFloating.box().top, 975 + f.lvwValues.rowTop(1) + 2 * tpp);
  EXPECT_EQ(f.lvwValues.rowTop(2) - f.lvwValues.rowTop(1), 33 * tpp) << "33-pixel rows";
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Vendor Layout"));
  world.settle();
  EXPECT_EQ(f.lvwValues.subItem(1, 1), "Vendor Layout");
}

INSTANTIATE_TEST_SUITE_P(Screens, EditorAtDpiTest, testing::Values(12, 10));

TEST_F(EditorTest, ScrollingOrADividerPutsTheChooserAwayAndEveryMessageGoesOn) {
  frmMain& f = open();
  const auto reopen = [&] {
    clickLayoutCell(f, 1);
    ASSERT_TRUE(f.cboFloating.visible());
  };
  reopen();
  user.scrollHorizontally(f.lvwValues, 300);
  world.settle();
  EXPECT_TRUE(f.cboFloating.visible()) << "horizontal scrolling keeps it";
  user.dragDivider(f.lvwValues, 1, 200);
  world.settle();
  EXPECT_FALSE(f.cboFloating.visible());
  EXPECT_EQ(f.lvwValues.columns()[1].width, 2700) << "the list still had the drag";
  reopen();
  user.doubleClickDivider(f.lvwValues, 0);
  world.settle();
  EXPECT_FALSE(f.cboFloating.visible());
  reopen();
  user.scrollRows(f.lvwValues, 1);
  world.settle();
  EXPECT_FALSE(f.cboFloating.visible());
  reopen();
  // Tab from the list reaches the chooser itself, then (Save being disabled) the check box.
  user.press(f, sim::Key::Tab);
  world.settle();
  EXPECT_TRUE(f.cboFloating.visible());
  user.press(f, sim::Key::Tab);
  world.settle();
  EXPECT_EQ(world.ui().focus(), f.chkStealth.hWnd());
  EXPECT_FALSE(f.cboFloating.visible());
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
      EXPECT_EQ(settings::read(w.settings, settings::kViewType, ""), "3");
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
