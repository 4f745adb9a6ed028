// The ACT! integration dialog on the simulated desktop, opened from the editor's Options menu and
// worked by the simulated user: ACT!'s additional command, its toolbar and menu places, the
// restart question and the restart itself, both languages, and ACT!'s failures.
#include "editor/frmIntegrate.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/editor/editor_test_support.h"

namespace morvane {
namespace {

using namespace testing_editor;

constexpr const char* kCommand = "Mo&rvane";
constexpr const char* kRestartQuestion =
    "You need to re-start ACT! for the changes to take effect!\r\nDo you want to re-start it now?";

class IntegrationTest : public EditorTest {
 protected:
  void integrate(frmMain& f, const std::function<void(clsFrmIntegrate&)>& work) {
    withDialog(f, "&Integrate with ACT", work);
  }
  const hostsim::AuxCommand* command() const {
    const auto it = world.act.auxCommands.find(kCommand);
    return it == world.act.auxCommands.end() ? nullptr : &it->second;
  }
};

TEST_F(IntegrationTest, OpensOnActsPlacesWithOnlyTheEditorsViewsAndClosesQuietly) {
  frmMain& f = open();
  world.act.auxCommands[kCommand].toolbarViews = {1, 4};
  world.act.auxCommands[kCommand].toolsMenuViews = {3};
  integrate(f, [&](clsFrmIntegrate& d) {
    EXPECT_EQ(d.caption(), "Integrate with ACT!");
    EXPECT_EQ(d.Frame1[0].text(), "Toolbar Button added to the following Views :");
    EXPECT_EQ(d.Frame1[1].text(), "Menu Item added to the following Views :");
    EXPECT_EQ(d.cmdOK.text(), "&Close");
    EXPECT_EQ(d.cmdCancel.text(), "&Cancel");
    EXPECT_EQ(d.lblRestart.text(), "You will need to re-start ACT! to see the changes.");
    EXPECT_EQ(d.icon(), f.icon());
    std::set<int> ticked, enabled;
    for (int i = 0; i < 12; ++i) {
      if (d.chkScreen[i].value() == 1) ticked.insert(i);
      if (d.chkScreen[i].enabled()) enabled.insert(i);
      EXPECT_EQ(d.lblScreen[i].text(),
                (std::vector<std::string>{"Contacts", "Contact List", "Groups", "Task List",
                                          "Calendars", "E-mail"})[i % 6]);
    }
    EXPECT_EQ(ticked, (std::set<int>{0, 3, 8}));
    EXPECT_EQ(enabled, (std::set<int>{0, 2, 6, 8})) << "Contacts and Groups only";
    // Inside their frames: the toolbar frame's third column sits 30 twips further up and left.
    EXPECT_EQ(d.chkScreen[2].formBox(), (ui::Box{315 + 3600, 240 + 315, 255, 255}));
    EXPECT_EQ(d.chkScreen[8].formBox(), (ui::Box{315 + 3630, 1575 + 345, 255, 255}));
    EXPECT_EQ(d.lblScreen[9].formBox().top, 1575 + 690 + 30);
    EXPECT_FALSE(d.Changed);
    user.click(d.cmdOK);
  });
  EXPECT_TRUE(world.boxes.shown().empty()) << "no change, no question";
  EXPECT_TRUE(world.act.running());
  EXPECT_EQ(world.runningMorvanes(), 1);
}

TEST_F(IntegrationTest, TicksDefineAndPlaceTheCommandAtOnceAndNoKeepsActRunning) {
  frmMain& f = open();
  const std::string folder = world.morvane()->platform.host.programFolder();
  integrate(f, [&](clsFrmIntegrate& d) {
    // The first tick defines the command, with its eight values, then places it.
    user.click(d.chkScreen[0]);
    ASSERT_NE(command(), nullptr);
    EXPECT_EQ(
        command()->definition,
        (std::vector<Variant>{Variant(kCommand), Variant(folder + "\\Morvane.EXE"), Variant(folder),
                              Variant(kCommand), Variant("Click to launch Mo&rvane"),
                              Variant(folder + "\\Morvane.ico"),
                              Variant(folder + "\\Morvane32.ico"), Variant(int16_t{1})}));
    EXPECT_EQ(command()->toolbarViews, (std::set<int16_t>{1}));
    // A row the editor does not offer still changes through its label.
    user.click(d.lblScreen[10]);
    EXPECT_EQ(d.chkScreen[10].value(), 1);
    EXPECT_EQ(command()->toolsMenuViews, (std::set<int16_t>{5}));
    user.click(d.lblScreen[10]);
    EXPECT_TRUE(command()->toolsMenuViews.empty());
    EXPECT_TRUE(d.Changed);
    world.boxes.answerNext(MsgResult::No);
    user.click(d.cmdOK);
  });
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_EQ(world.boxes.shown()[0].text, kRestartQuestion);
  EXPECT_EQ(world.boxes.shown()[0].caption, kCommand);
  EXPECT_EQ(world.boxes.shown()[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(world.boxes.shown()[0].icon, MsgIcon::None);
  EXPECT_TRUE(world.act.running());
  EXPECT_TRUE(world.act.commandsRun.empty());
  EXPECT_TRUE(f.visible()) << "the editor stays";
  EXPECT_EQ(command()->toolbarViews, (std::set<int16_t>{1})) << "what was done stays done";
}

TEST_F(IntegrationTest, YesRestartsActOnTheSameDatabaseAndEndsTheEditor) {
  frmMain& f = open();
  const std::string database = world.act.database().path;
  integrate(f, [&](clsFrmIntegrate& d) {
    user.click(d.chkScreen[2]);
    world.boxes.answerNext(MsgResult::Yes);
    user.click(d.cmdOK);
    EXPECT_FALSE(d.loaded());
  });
  EXPECT_EQ(world.boxes.shown().back().text, kRestartQuestion);
  EXPECT_EQ(world.act.commandsRun, (std::vector<int32_t>{150}));
  EXPECT_TRUE(world.act.running()) << "the database path started ACT! again";
  EXPECT_EQ(world.act.database().path, database);
  EXPECT_EQ(command()->toolbarViews, (std::set<int16_t>{3}));
  EXPECT_FALSE(f.visible());
  EXPECT_EQ(world.runningMorvanes(), 1) << "ACT!'s closing did not unload the editor";
  world.wait(2000);
  EXPECT_EQ(world.runningMorvanes(), 0);
}

// Rules the editor cannot write keep it open, and then ACT! is not restarted either: a later
// closing of ACT! closes the editor as usual.
TEST_F(IntegrationTest, NoRestartWhileTheEditorKeepsRulesItCouldNotSave) {
  frmMain& f = open();
  clickLayoutCell(f, 1);
  user.choose(f.cboFloating, entryOf(f.cboFloating, "Group Layout"));
  ASSERT_TRUE(world.files.setReadOnly(kRules, true));
  integrate(f, [&](clsFrmIntegrate& d) {
    user.click(d.chkScreen[0]);
    world.boxes.answerNext(MsgResult::Yes);  // restart
    world.boxes.answerNext(MsgResult::Yes);  // save the changes
    user.click(d.cmdOK);
  });
  EXPECT_TRUE(f.visible());
  EXPECT_TRUE(f.UnsavedChanges);
  EXPECT_TRUE(world.act.commandsRun.empty()) << "ACT! kept running";
  EXPECT_FALSE(world.morvane()->RestartACT);
  world.boxes.answerNext(MsgResult::No);  // the changes go with ACT!
  world.quitAct();
  world.settle();
  EXPECT_EQ(world.runningMorvanes(), 0);
}

// ACT! refusing the definition is told at once, the placing is still tried, and Close tells it
// again instead of asking to restart. Cancel leaves what was done.
TEST_F(IntegrationTest, AFailedDefinitionIsToldAndCloseSaysItAgain) {
  frmMain& f = open();
  world.act.faults.auxResults["AddAuxCommand"] = 3;
  const std::string failed =
      "Can't add icon or menu item automatically. You will need to proceed manually.";
  integrate(f, [&](clsFrmIntegrate& d) {
    user.click(d.chkScreen[6]);
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_EQ(world.boxes.shown()[0].text, failed);
    EXPECT_EQ(world.boxes.shown()[0].caption, kCommand);
    EXPECT_NE(d.LastResult, 0) << "the placing was tried and failed: no command";
    user.click(d.cmdOK);
  });
  ASSERT_EQ(world.boxes.shown().size(), 2u);
  EXPECT_EQ(world.boxes.shown()[1].text, failed);

  world.act.faults.auxResults.clear();
  integrate(f, [&](clsFrmIntegrate& d) {
    user.click(d.chkScreen[8]);
    user.click(d.cmdCancel);
  });
  EXPECT_EQ(world.boxes.shown().size(), 2u) << "Cancel asks nothing";
  EXPECT_EQ(command()->toolsMenuViews, (std::set<int16_t>{3}));
}

// Without ACT!'s "ACTOLE.AUXCMDS" class the dialog tells so from its loading and stops there.
TEST_F(IntegrationTest, WithoutActsCommandObjectLoadingStopsAtItsBox) {
  world.configureAutomation = [](sim::SimAutomation& classes) {
    classes.unregisterClass("ACTOLE.AUXCMDS");
  };
  frmMain& f = open();
  integrate(f, [&](clsFrmIntegrate& d) {
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_EQ(world.boxes.shown()[0].caption, kCommand);
    EXPECT_EQ(world.boxes.shown()[0].text,
              "Error 429: 'ActiveX component can't create object'\rin frmIntegrate: Sub "
              "Form_Load - Line # 2\r\rPlease contact support@morvane.example.com with this "
              "error message.");
    EXPECT_TRUE(d.chkScreen[1].enabled()) << "the enabling step did not run";
    user.click(d.cmdCancel);
  });
  EXPECT_TRUE(f.visible());
}

// A click whose command never reached ACT! (no command object; ACT! failing the call) leaves
// nothing for a restart to show: Close asks no restart question.
class UnreachedClickTest : public IntegrationTest, public testing::WithParamInterface<bool> {};

TEST_P(UnreachedClickTest, CloseAsksNoRestart) {
  const bool noCommandObject = GetParam();
  if (noCommandObject) {
    world.configureAutomation = [](sim::SimAutomation& classes) {
      classes.unregisterClass("ACTOLE.AUXCMDS");
    };
  } else {
    world.act.faults.failingMembers.insert("AuxCmds.AddAuxCommandToToolbar");
  }
  frmMain& f = open();
  integrate(f, [&](clsFrmIntegrate& d) {
    user.click(d.chkScreen[0]);
    user.click(d.cmdOK);  // a restart question would take its default, Yes
  });
  ASSERT_EQ(boxTexts().size(), noCommandObject ? 2u : 1u) << "the errors alone";
  for (const std::string& text : boxTexts()) EXPECT_EQ(text.find("re-start"), std::string::npos);
  EXPECT_TRUE(world.act.commandsRun.empty()) << "ACT! was not restarted";
  EXPECT_TRUE(f.visible());
}

INSTANTIATE_TEST_SUITE_P(Failures, UnreachedClickTest, testing::Bool(), [](const auto& info) {
  return info.param ? "NoCommandObject" : "ActFailsTheCall";
});

// ACT!, restarted with Morvane's start-up macro installed, starts Morvane again while the old
// editor is still ending: the user finds exactly one editor, and no box.
TEST_F(IntegrationTest, ARestartThatRunsTheStartupMacroLeavesOneEditor) {
  world.act.startupMacro = std::string(simulator::kInstallFolder) + "\\Morvane.mpr";
  frmMain& f = open();
  integrate(f, [&](clsFrmIntegrate& d) {
    user.click(d.chkScreen[0]);
    world.boxes.answerNext(MsgResult::Yes);
    user.click(d.cmdOK);
  });
  EXPECT_EQ(world.act.commandsRun, (std::vector<int32_t>{150}));
  world.wait(2000);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{kRestartQuestion});
  EXPECT_EQ(world.morvaneStarts(), (std::vector<std::string>{"0", ""}));
  EXPECT_EQ(world.runningMorvanes(), 1);
  ASSERT_NE(world.morvane(), nullptr);
  EXPECT_TRUE(world.morvane()->main.visible());
}

// In French the user meets every one of the dialog's seventeen texts: its captions and labels,
// the tip the command gets in ACT!, the restart question, the failure message and the last line
// of its error boxes.
TEST_F(IntegrationTest, InFrenchTheUserMeetsEveryOneOfItsTexts) {
  const std::string t[clsFrmIntegrate::kTexts] = {
      "S.V.P. contactez support@morvane.example.com avec ce message.",
      "Cliquez pour lancer ",
      "Vous devez red\xE9marrer ACT! pour que les changements soient pris en compte!",
      "Voulez-vous red\xE9marrez ACT! maintenant?",
      "Impossible d'ajouter l'ic\xF4ne ou l'entr\xE9"
      "e du menu. Vous devrez le faire manuellement.",
      "Int\xE9gration \xE0 ACT!",
      "Contacts",
      "Liste des contacts",
      "Groupes",
      "Liste des t\xE2"
      "ches",
      "Agendas",
      "E-mail",
      "Bouton ajout\xE9 \xE0 la barre d'outils des \xE9"
      "crans suivants : ",
      "Entr\xE9"
      "e ajout\xE9"
      "e au menu Outils des \xE9"
      "crans suivants :",
      "&Fermer",
      "&Annuler",
      "Vous devrez red\xE9marrer ACT! pour que les changements soient pris en compte.",
  };
  open();
  const auto french = [&](const std::function<void(clsFrmIntegrate&)>& work) {
    clsFrmIntegrate d(*world.morvane());
    d.AppName = kCommand;
    d.Language = 1;
    d.ContactScreen = true;
    d.GroupScreen = true;
    world.ui().whenModal([&] { work(d); });
    d.show(true);
    world.settle();
    EXPECT_FALSE(d.loaded()) << "the dialog was left open";
  };
  french([&](clsFrmIntegrate& d) {
    EXPECT_EQ(d.caption(), t[5]);
    EXPECT_EQ(d.Frame1[0].text(), t[12]);
    EXPECT_EQ(d.Frame1[1].text(), t[13]);
    for (int i = 0; i < 2 * clsFrmIntegrate::kViews; ++i)
      EXPECT_EQ(d.lblScreen[i].text(), t[6 + i % clsFrmIntegrate::kViews]) << i;
    EXPECT_EQ(d.cmdOK.text(), t[14]);
    EXPECT_EQ(d.cmdCancel.text(), t[15]);
    EXPECT_EQ(d.lblRestart.text(), t[16]);
    user.click(d.chkScreen[0]);
    ASSERT_NE(command(), nullptr);
    EXPECT_EQ(command()->definition.at(4), Variant(t[1] + kCommand));
    world.boxes.answerNext(MsgResult::No);
    user.click(d.cmdOK);
  });
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0], t[2] + "\r\n" + t[3]);

  world.act.faults.auxResults["AddAuxCommandToToolbar"] = 3;
  french([&](clsFrmIntegrate& d) {
    user.click(d.chkScreen[2]);
    user.click(d.cmdOK);
  });
  ASSERT_EQ(boxTexts().size(), 2u);
  EXPECT_EQ(boxTexts()[1], t[4]);

  world.act.faults.failingMembers.insert("AuxCmds.AuxCommandExistsInToolbar");
  french([&](clsFrmIntegrate& d) {
    EXPECT_EQ(d.lblScreen[7].text(), "Contact List") << "the later steps did not run";
    user.click(d.cmdCancel);
  });
  ASSERT_EQ(boxTexts().size(), 3u);
  EXPECT_EQ(world.boxes.shown()[2].caption, kCommand);
  EXPECT_NE(boxTexts()[2].find("\rin frmIntegrate: Sub Form_Load - Line # 4\r\r"),
            std::string::npos)
      << boxTexts()[2];
  EXPECT_TRUE(boxTexts()[2].ends_with("\r\r" + t[0])) << boxTexts()[2];
}

}  // namespace
}  // namespace morvane
