// The settings dialog on the simulated desktop, opened from the editor's Options menu and worked
// by the simulated user: the rules file chosen or copied through the file dialog, the delay, the
// start-up macro, and what OK stores.
#include "editor/frmLocations.h"

#include <gtest/gtest.h>

#include "shared/settings/settings_keys.h"
#include "tests/editor/editor_test_support.h"

namespace morvane {
namespace {

using namespace testing_editor;

constexpr const char* kFolder = "C:\\Program Files\\Morvane";
constexpr const char* kShared = "S:\\Shared";

class SettingsDialogTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ASSERT_TRUE(world.files.createDirectory(kShared));
  }
  void settingsDialog(frmMain& f, const std::function<void(frmLocations&)>& work) {
    withDialog(f, "&Settings", work);
  }
  std::string setting(std::string_view key) {
    return settings::read(world.settings, key, "<none>");
  }
  std::string rulesPath() { return world.morvane()->iniLib.RulesFilePath; }
};

TEST_F(SettingsDialogTest, OpensOnTheRulesFileTheDelayAndTheMacroAndInstallsTheMacro) {
  frmMain& f = open();
  const std::string macro = std::string(kFolder) + "\\Morvane.mpr";
  world.act.startupMacro = "C:\\PROGRAM FILES\\MORVANE\\Morvane.mpr";  // another letter case
  ASSERT_TRUE(world.files.removeFile(kRules));
  settings::save(world.settings, settings::kDelay, "750");
  settingsDialog(f, [&](frmLocations& d) {
    EXPECT_EQ(d.caption(), "Settings");
    EXPECT_EQ(d.txtPath.text(), kRules);
    EXPECT_TRUE(world.files.isFile(kRules)) << "a missing rules file is made";
    EXPECT_EQ(d.txtDelay.text(), "750");
    EXPECT_EQ(d.lblExpla.formBox(), (ui::Box{150 + 240, 3900 + 315, 5295, 750}));
    EXPECT_TRUE(d.lblNetwork.font().bold);
    EXPECT_TRUE(d.cmdMacro.enabled());
    EXPECT_EQ(d.cmdMacro.text(), "Install macro");

    // The delay box takes digits only, through its window's style.
    EXPECT_NE(world.desktop.getWindowLongA(d.txtDelay.hWnd(), win::GWL_STYLE) & win::ES_NUMBER, 0);
    user.type(d.txtDelay, "2a-5");
    EXPECT_EQ(d.txtDelay.text(), "75025");
    // A paste is not filtered, on Windows either.
    user.paste(d.txtDelay, "x9");
    EXPECT_EQ(d.txtDelay.text(), "75025x9");
    d.txtDelay.setText("75025");
    d.ForceTextBoxNumeric(d.txtDelay, false);
    user.type(d.txtDelay, "x");
    EXPECT_EQ(d.txtDelay.text(), "75025x");
    d.ForceTextBoxNumeric(d.txtDelay);

    user.click(d.cmdMacro);
    EXPECT_EQ(world.act.startupMacro, macro);
    EXPECT_FALSE(d.cmdMacro.enabled());
    EXPECT_EQ(d.cmdMacro.text(), "Macro Installed");
    user.click(d.cmdCancel);
  });
  EXPECT_EQ(setting(settings::kDelay), "750") << "Cancel stores nothing";
  EXPECT_TRUE(world.boxes.shown().empty());
}

// The delivered macro, once installed, starts Morvane whenever ACT! starts.
TEST_F(SettingsDialogTest, TheInstalledMacroStartsMorvaneWithAct) {
  frmMain& f = open();
  settingsDialog(f, [&](frmLocations& d) {
    user.click(d.cmdMacro);
    user.click(d.cmdOK);
  });
  user.closeBox(f);
  world.settle();
  ASSERT_EQ(world.runningMorvanes(), 0);
  world.quitAct();
  world.startAct();
  world.settle();
  EXPECT_EQ(world.morvaneStarts().back(), "");
  ASSERT_NE(world.morvane(), nullptr);
  EXPECT_TRUE(world.morvane()->main.visible()) << "Morvane opened its editor";
}

TEST_F(SettingsDialogTest, AnotherFileIsChosenAndOkStoresItsSettings) {
  frmMain& f = open();
  const std::string other = std::string(kShared) + "\\Team.ini";
  ASSERT_TRUE(world.files.writeFile(other, "[Sales-Contact]\r\n"));
  settingsDialog(f, [&](frmLocations& d) {
    // Cancelled: nothing. The same file again: no restart message.
    user.click(d.cmdBrowse);
    world.ui().answerFileDialog(kRules);
    user.click(d.cmdBrowse);
    EXPECT_TRUE(world.boxes.shown().empty());
    ASSERT_EQ(world.ui().fileDialogs().size(), 2u);
    EXPECT_EQ(world.ui().fileDialogs()[0],
              (ui::FileDialogRequest{false, "ini Files (*.ini)|*.ini", kFolder, "Morvane.ini"}));

    // A path typed by hand only tells the buttons where to start; without a folder, they start
    // in the program's.
    d.txtPath.setText("Elsewhere.ini");
    world.ui().answerFileDialog(other);
    user.click(d.cmdBrowse);
    EXPECT_EQ(world.ui().fileDialogs().back().initialFolder, kFolder);
    EXPECT_EQ(world.ui().fileDialogs().back().fileName, "");
    EXPECT_EQ(d.txtPath.text(), other);
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_EQ(world.boxes.shown()[0].text,
              "You will need to re-start Morvane for the changes to take effect.");
    EXPECT_EQ(world.boxes.shown()[0].icon, MsgIcon::Exclamation);
    user.type(d.txtDelay, "0");
    user.click(d.cmdOK);
  });
  EXPECT_EQ(setting(settings::kIniLocation), other);
  EXPECT_EQ(setting(settings::kIniFolder), std::string(kShared) + "\\");
  EXPECT_EQ(setting(settings::kDelay), "10000");
  EXPECT_EQ(rulesPath(), other);
}

TEST_F(SettingsDialogTest, OkRefusesAFileThatIsNotThere) {
  frmMain& f = open();
  settingsDialog(f, [&](frmLocations& d) {
    world.ui().answerFileDialog(std::string(kShared) + "\\Typed.ini");
    user.click(d.cmdBrowse);
    user.click(d.cmdOK);
    EXPECT_EQ(world.boxes.shown().back().text, "Invalid file specified!");
    EXPECT_EQ(world.boxes.shown().back().icon, MsgIcon::None);
    EXPECT_TRUE(d.loaded()) << "the dialog stays";
    user.click(d.cmdCancel);
  });
  EXPECT_EQ(setting(settings::kIniLocation), "<none>");
  EXPECT_EQ(rulesPath(), kRules);
}

TEST_F(SettingsDialogTest, CopyTakesTheFileAndItsCompanionsAndAsksBeforeOverwriting) {
  frmMain& f = open();
  const std::string target = std::string(kShared) + "\\Morvane.ini";
  ASSERT_TRUE(world.files.writeFile(std::string(kFolder) + "\\~Morvane.bak", "backup"));
  ASSERT_TRUE(world.files.writeFile(target, "old"));
  const std::string rules = *world.files.readFile(kRules);
  settingsDialog(f, [&](frmLocations& d) {
    // A file is there: No, the default, leaves everything as it was.
    world.ui().answerFileDialog(target);
    user.click(d.cmdCopy);
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_EQ(world.boxes.shown()[0].text,
              "This location already contains a Morvane settings file. Do you want to overwrite "
              "it?");
    EXPECT_EQ(world.boxes.shown()[0].defaultButton, MsgDefault::Second);
    EXPECT_EQ(world.boxes.shown()[0].answer, MsgResult::No);
    EXPECT_EQ(*world.files.readFile(target), "old");
    EXPECT_EQ(d.txtPath.text(), kRules);
    EXPECT_TRUE(world.ui().fileDialogs().back().save);

    // Yes copies the file and the folder's "~" files.
    world.ui().answerFileDialog(target);
    world.boxes.answerNext(MsgResult::Yes);
    user.click(d.cmdCopy);
    EXPECT_EQ(*world.files.readFile(target), rules);
    EXPECT_EQ(world.files.readFile(std::string(kShared) + "\\~Morvane.bak"), "backup");
    EXPECT_EQ(d.txtPath.text(), target);

    // Onto the very file shown: asked, and nothing is copied.
    world.ui().answerFileDialog(target);
    world.boxes.answerNext(MsgResult::Yes);
    user.click(d.cmdCopy);
    EXPECT_EQ(world.boxes.shown().size(), 3u);
    EXPECT_EQ(d.txtPath.text(), target);

    // From a file that is not there: a new file of one blank line.
    d.txtPath.setText(std::string(kShared) + "\\Gone.ini");
    world.ui().answerFileDialog(std::string(kShared) + "\\New.ini");
    user.click(d.cmdCopy);
    EXPECT_EQ(world.files.readFile(std::string(kShared) + "\\New.ini"), " \r\n");
    user.click(d.cmdOK);
  });
  EXPECT_EQ(rulesPath(), std::string(kShared) + "\\New.ini");
}

// Bad places: a read-only destination stops the copy without a word and leaves the path; an
// empty delay is stored empty, ten digits as typed.
TEST_F(SettingsDialogTest, BadPlacesAndAnEmptyDelayGiveTheDesignedSilence) {
  frmMain& f = open();
  const std::string locked = std::string(kShared) + "\\Locked.ini";
  ASSERT_TRUE(world.files.writeFile(locked, "kept"));
  ASSERT_TRUE(world.files.setReadOnly(locked, true));
  settingsDialog(f, [&](frmLocations& d) {
    world.ui().answerFileDialog(locked);
    world.boxes.answerNext(MsgResult::Yes);
    user.click(d.cmdCopy);
    EXPECT_EQ(*world.files.readFile(locked), "kept");
    EXPECT_EQ(d.txtPath.text(), kRules);
    d.txtDelay.setText("");
    user.click(d.cmdOK);
  });
  EXPECT_EQ(setting(settings::kDelay), "");
  EXPECT_EQ(settings::readDelay(world.settings), 1000) << "what MorvaneAuto then waits";

  // Ten digits are stored as typed; MorvaneAuto waits the longest its timer can.
  settingsDialog(f, [&](frmLocations& d) {
    d.txtDelay.setText("");
    user.type(d.txtDelay, "9876543210");
    user.click(d.cmdOK);
  });
  EXPECT_EQ(setting(settings::kDelay), "9876543210");
  EXPECT_EQ(settings::readDelay(world.settings), settings::kMaxDelay);
}

// OK stores the path the dialog shows, and only where a file is: not the target of a copy that
// was declined or failed, and a path typed by hand only when a file is there.
TEST_F(SettingsDialogTest, OkStoresThePathTheDialogShowsAndOnlyWhereAFileIs) {
  frmMain& f = open();
  const std::string taken = std::string(kShared) + "\\Morvane.ini";
  const std::string locked = std::string(kShared) + "\\Locked.ini";
  const std::string team = std::string(kShared) + "\\Team.ini";
  ASSERT_TRUE(world.files.writeFile(taken, "old"));
  ASSERT_TRUE(world.files.writeFile(locked, "kept"));
  ASSERT_TRUE(world.files.setReadOnly(locked, true));
  ASSERT_TRUE(world.files.writeFile(team, "[Sales-Contact]\r\n"));
  struct Case {
    const char* what;
    std::function<void(frmLocations&)> act;
    std::string stored;  // "" when OK refuses
  };
  const Case cases[] = {
      {"No to the overwrite question",
       [&](frmLocations& d) {
         world.ui().answerFileDialog(taken);
         world.boxes.answerNext(MsgResult::No);
         user.click(d.cmdCopy);
       },
       kRules},
      {"a copy that fails",
       [&](frmLocations& d) {
         world.ui().answerFileDialog(locked);
         world.boxes.answerNext(MsgResult::Yes);
         user.click(d.cmdCopy);
       },
       kRules},
      {"a typed path where no file is",
       [&](frmLocations& d) { user.type(d.txtPath, "\\Nowhere.ini"); }, ""},
      {"a typed path to a file",
       [&](frmLocations& d) {
         d.txtPath.setText("");
         user.type(d.txtPath, team);
       },
       team},
  };
  for (const Case& c : cases) {
    world.boxes.clear();
    settingsDialog(f, [&](frmLocations& d) {
      c.act(d);
      user.click(d.cmdOK);
      if (c.stored.empty()) {
        ASSERT_FALSE(world.boxes.shown().empty()) << c.what;
        EXPECT_EQ(world.boxes.shown().back().text, "Invalid file specified!") << c.what;
        EXPECT_TRUE(d.loaded()) << c.what;
        user.click(d.cmdCancel);
      }
    });
    if (!c.stored.empty()) {
      EXPECT_EQ(setting(settings::kIniLocation), c.stored) << c.what;
      EXPECT_EQ(rulesPath(), c.stored) << c.what;
    }
  }
  EXPECT_EQ(*world.files.readFile(taken), "old");
}

// A rules file whose folder cannot be reached (an offline share) does not keep the dialog shut:
// it shows the stored path, and OK waits for a file that is there.
TEST_F(SettingsDialogTest, AnUnreachableRulesFileStillOpensTheDialog) {
  const std::string offline = "S:\\Offline\\Morvane.ini";
  settings::save(world.settings, settings::kIniLocation, offline);
  frmMain& f = open();
  settingsDialog(f, [&](frmLocations& d) {
    EXPECT_EQ(d.txtPath.text(), offline);
    EXPECT_TRUE(world.boxes.shown().empty());
    user.click(d.cmdOK);
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_EQ(world.boxes.shown()[0].text, "Invalid file specified!");
    EXPECT_TRUE(d.loaded());
    world.ui().answerFileDialog(kRules);
    user.click(d.cmdBrowse);
    user.click(d.cmdOK);
  });
  EXPECT_EQ(setting(settings::kIniLocation), kRules);
  EXPECT_EQ(rulesPath(), kRules);
  EXPECT_TRUE(f.visible());
}

// A copy into the current file's own folder (here spelt in other letters' case) copies the rules
// file, and leaves the folder's "~" files where they are instead of copying them onto themselves.
TEST_F(SettingsDialogTest, CopyIntoTheSameFolderLeavesItsCompanionsAlone) {
  frmMain& f = open();
  const std::string companion = std::string(kFolder) + "\\~Morvane.bak";
  ASSERT_TRUE(world.files.writeFile(companion, "backup"));
  const std::string target = "c:\\program files\\MORVANE\\Team.ini";
  const std::string rules = *world.files.readFile(kRules);
  settingsDialog(f, [&](frmLocations& d) {
    world.ui().answerFileDialog(target);
    user.click(d.cmdCopy);
    EXPECT_EQ(d.txtPath.text(), target);
    user.click(d.cmdOK);
  });
  EXPECT_TRUE(world.boxes.shown().empty());
  EXPECT_EQ(world.files.readFile(target), rules);
  EXPECT_EQ(world.files.readFile(companion), "backup");
  EXPECT_EQ(setting(settings::kIniLocation), target);
}

// ACT! out of reach when the dialog reads its preference: the error is told and the dialog goes.
TEST_F(SettingsDialogTest, AnActThatCannotBeAskedIsReportedAndTheEditorStays) {
  frmMain& f = open();
  world.act.faults.failingMembers.insert("Preferences.StartupMacro");
  world.ui().whenModal([] {});
  user.chooseMenu(f, {"&Options", "&Settings"});
  world.settle();
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  EXPECT_NE(world.boxes.shown()[0].text.find("in frmMain: Sub mnuLocation_Click - Line # 1"),
            std::string::npos)
      << world.boxes.shown()[0].text;
  EXPECT_TRUE(f.visible());
  EXPECT_EQ(world.runningMorvanes(), 1);
}

}  // namespace
}  // namespace morvane
