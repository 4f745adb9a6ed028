// MorvaneAuto on the simulated desktop: its start, its answers to ACT!'s events, the deferred
// update, the icon and the hand-over to Morvane.
#include "switcher/frmAuto.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "hostsim/act_sim.h"
#include "platform/win_constants.h"
#include "simulator/sim_world.h"
#include "switcher/morvane_auto_program.h"

namespace morvane {
namespace {

using hostsim::sample::kIdStatus;
using simulator::SimWorld;

constexpr const char* kSupport =
    "\r\rPlease contact support@morvane.example.com with this error message.";

class SwitcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world.writeSampleRules();
    world.startAct();
  }
  MorvaneAutoProgram& start() {
    world.runMorvaneAuto();
    MorvaneAutoProgram* p = world.morvaneAuto();
    if (!p) throw std::runtime_error("MorvaneAuto did not stay running");
    return *p;
  }
  std::string layout() const { return world.act.currentLayout(); }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : world.boxes.shown()) texts.push_back(b.text);
    return texts;
  }
  // Sets the reference field of the current contact and lets ACT! tell its event.
  void setStatus(const std::string& value) {
    world.act.setFieldValue(kIdStatus, value);
    world.settle();
  }

  SimWorld world;
};

TEST_F(SwitcherTest, Start_AppliesTheCurrentRecordsLayoutAndShowsTheIcon) {
  ASSERT_EQ(layout(), "Standard");
  MorvaneAutoProgram& p = start();
  EXPECT_EQ(layout(), "Client");  // Alice is a Customer
  EXPECT_FALSE(p.form.Loading);
  EXPECT_EQ(p.form.DatabaseName, "Sales");
  EXPECT_EQ(p.form.CurrentView, "Contact");
  EXPECT_EQ(p.form.ReferenceField, kIdStatus);
  EXPECT_EQ(p.iniLib.RulesFilePath, "C:\\Program Files\\Morvane\\Morvane.ini");
  ASSERT_NE(world.trayIcon(), nullptr);
  EXPECT_EQ(world.trayIcon()->tip, "Morvane in Stealth Mode. Click to open.");
  EXPECT_EQ(world.trayIcon()->icon, simulator::kAutoIcon);
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, RecordChanges_SelectTheValuesLayoutOrTheDefault) {
  start();
  struct Case {
    std::string value;
    const char* expected;
  };
  for (const Case& c : std::vector<Case>{{"Prospect", "Prospect Layout"},
                                         {"customer", "Client"},  // letter case ignored
                                         {"Unknown", "Standard"},
                                         {"", "Standard"},
                                         {"Vendor", "Vendor Layout"},
                                         {std::string(300, 'x'), "Standard"}}) {
    setStatus(c.value);
    EXPECT_EQ(layout(), c.expected) << c.value;
  }
  // Without a default, a value without a rule leaves the layout alone.
  world.writeRule("Sales-Contact", "If no layout assigned", "");
  world.act.applyLayout("Client");
  setStatus("Unknown");
  EXPECT_EQ(layout(), "Client");
  // A single blank reads back empty: the default applies (none here).
  world.writeRule("Sales-Contact", "Prospect", " ");
  setStatus("Prospect");
  EXPECT_EQ(layout(), "Client");
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, EventsThatUpdateAtOnceAndEventsThatDoNot) {
  MorvaneAutoProgram& p = start();
  world.act.faults = {};
  for (int event : {3, 4, 5, 6, 8, 9, 10, 11, 12, 13}) {
    world.act.applyLayout("Standard");
    world.act.raiseEvent(event, {Variant(std::string("x"))});
    world.settle();
    EXPECT_EQ(layout(), "Client") << "event " << event;
  }
  for (int event : {2, 7}) {
    world.act.applyLayout("Standard");
    world.act.raiseEvent(event, {Variant(std::string("x"))});
    world.settle();
    EXPECT_EQ(layout(), "Standard") << "event " << event;
    EXPECT_EQ(p.form.tmr1.interval(), 0);
  }
}

TEST_F(SwitcherTest, Event1_ArmsTheDelayedUpdateOnceAfterStartUp) {
  world.settings.saveSetting("Morvane", "Settings", "Delay", "2500");
  MorvaneAutoProgram& p = start();
  EXPECT_EQ(p.delay, 2500);
  world.act.applyLayout("Standard");
  world.act.raiseEvent(1, {Variant(std::string("C:\\ACT\\Database\\Sales.dbf"))});
  world.settle();
  EXPECT_EQ(p.form.tmr1.interval(), 2500);
  EXPECT_EQ(layout(), "Standard");
  world.wait(2499);
  EXPECT_EQ(layout(), "Standard");
  world.wait(1);
  EXPECT_EQ(layout(), "Client");
  EXPECT_EQ(p.form.tmr1.interval(), 0);
  // Fires once per arming.
  world.act.applyLayout("Standard");
  world.wait(10000);
  EXPECT_EQ(layout(), "Standard");
}

TEST_F(SwitcherTest, Event1_IsHeldBackWhileLoading) {
  // ACT! raises event 1 while the switcher's first update waits on ACT!'s status bar.
  const Hwnd bar = world.actWindows.statusBar();
  WndProcValue old = 0;
  int raised = 0;
  const WndProcValue hook =
      world.desktop.makeWndProcValue([&](Hwnd h, uint32_t m, WParam w, LParam l) -> LResult {
        if (m == win::WM_COMMAND && raised == 0) {
          ++raised;
          world.act.raiseEvent(1, {Variant(std::string("C:\\ACT\\Database\\Sales.dbf"))});
        }
        return world.desktop.callWindowProcA(old, h, m, w, l);
      });
  old = world.desktop.setWindowLongA(bar, win::GWL_WNDPROC, hook);
  MorvaneAutoProgram& p = start();
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(p.form.tmr1.interval(), 0);
  // Once started, the same event arms the timer.
  world.act.raiseEvent(1, {Variant(std::string("C:\\ACT\\Database\\Sales.dbf"))});
  EXPECT_EQ(p.form.tmr1.interval(), 1000);
}

TEST_F(SwitcherTest, ContactList_SelectsNothingAndDefersOneUpdate) {
  MorvaneAutoProgram& p = start();
  world.act.switchView(hostsim::view::kContactList);
  world.settle();
  EXPECT_EQ(p.form.CurrentView, "ContactList");
  EXPECT_EQ(p.form.tmr1.interval(), 1000);
  // The record changes in the list: no selection there; the running timer keeps its countdown.
  world.wait(600);
  world.act.applyLayout("Standard");
  world.act.nextRecord();
  world.settle();
  EXPECT_EQ(layout(), "Standard");
  world.wait(400);  // the deferred update runs, still in the list, and does not re-arm
  EXPECT_EQ(p.form.tmr1.interval(), 0);
  world.wait(5000);
  EXPECT_EQ(p.form.tmr1.interval(), 0);
  EXPECT_EQ(layout(), "Standard");
  world.act.switchView(hostsim::view::kContact);
  world.settle();
  EXPECT_EQ(layout(), "Prospect Layout");  // Bob
}

TEST_F(SwitcherTest, GroupView_UsesTheGroupSectionAndGroupRecord) {
  MorvaneAutoProgram& p = start();
  world.act.switchView(hostsim::view::kGroup);
  world.settle();
  EXPECT_EQ(p.form.CurrentView, "Group");
  EXPECT_EQ(p.form.ReferenceField, hostsim::sample::kGroupType);
  EXPECT_EQ(layout(), "Group Layout");
}

// A view that shows neither contacts nor groups has no record kind: its section is the database
// name and a dash alone, and with no field to read, its default applies.
TEST_F(SwitcherTest, OtherView_ReadsTheSectionOfTheDatabaseNameAndADash) {
  world.writeRule("Sales-", "If no layout assigned", "Vendor Layout");
  MorvaneAutoProgram& p = start();
  world.act.switchView(hostsim::view::kTaskList);
  world.settle();
  EXPECT_EQ(p.form.CurrentView, "");
  EXPECT_EQ(layout(), "Vendor Layout");
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, NoRulesForTheDatabase_NothingIsSelected) {
  std::filesystem::remove_all(world.sandbox / "drives");
  world.files.createDirectory(simulator::kInstallFolder);
  MorvaneAutoProgram& p = start();
  EXPECT_EQ(layout(), "Standard");
  EXPECT_EQ(p.form.ReferenceField, 0);
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, RulesLocationChangeTakesEffectAtTheNextUpdate) {
  start();
  world.files.createDirectory("D:\\Shared");
  const std::string other = "D:\\Shared\\Rules.ini";
  world.profiles.writePrivateProfileStringA("Sales-Contact", "_Reference_Field_", "5",
                                            other.c_str());
  world.profiles.writePrivateProfileStringA("Sales-Contact", "Customer", "Vendor Layout",
                                            other.c_str());
  world.settings.saveSetting("Morvane", "Settings", "IniLocation", other);
  world.act.refreshLookup();
  world.settle();
  EXPECT_EQ(layout(), "Vendor Layout");
  EXPECT_EQ(world.morvaneAuto()->iniLib.RulesFilePath, other);
}

TEST_F(SwitcherTest, BadReferenceField_ShowsTheErrorAndTheNextEventStartsFresh) {
  start();
  world.writeRule("Sales-Contact", "_Reference_Field_", "70000");
  world.act.nextRecord();
  world.settle();
  EXPECT_EQ(boxTexts(), std::vector<std::string>{
                            std::string("Error 6: 'Overflow'\rin frmAuto: Sub Update_Layout - "
                                        "Line # 7") +
                            kSupport});
  EXPECT_EQ(world.boxes.shown()[0].caption, "MorvaneAuto error");
  EXPECT_EQ(layout(), "Client");  // unchanged
  world.writeRule("Sales-Contact", "_Reference_Field_", "abc");
  world.act.nextRecord();
  world.settle();
  ASSERT_EQ(world.boxes.shown().size(), 2u);
  EXPECT_EQ(world.boxes.shown()[1].text.substr(0, 26), "Error 13: 'Type mismatch'\r");
  // Mended rules: the next event works again.
  world.writeRule("Sales-Contact", "_Reference_Field_", "5");
  world.act.nextRecord();
  world.settle();
  EXPECT_EQ(layout(), "Standard");  // David has no status
  EXPECT_EQ(world.boxes.shown().size(), 2u);
}

TEST_F(SwitcherTest, RulesNamingAFieldActDoesNotHave_FallBackToTheDefault) {
  start();
  world.writeRule("Sales-Contact", "_Reference_Field_", "999");
  world.act.applyLayout("Client");
  world.act.nextRecord();
  world.settle();
  EXPECT_EQ(layout(), "Standard");  // GetField fails quietly: empty value, default layout
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, UnknownLayoutIsIgnoredQuietly) {
  start();
  world.writeRule("Sales-Contact", "Prospect", "No Such Layout");
  world.act.nextRecord();
  world.settle();
  EXPECT_EQ(layout(), "Client");
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, Event14_RemovesTheIconAndEnds) {
  start();
  ASSERT_NE(world.trayIcon(), nullptr);
  world.quitAct();
  world.settle();
  EXPECT_EQ(world.trayIcon(), nullptr);
  EXPECT_EQ(world.morvaneAuto(), nullptr);
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, CloseRequest_RemovesTheIconAndEnds) {
  MorvaneAutoProgram& p = start();
  ASSERT_NE(world.trayIcon(), nullptr);
  world.desktop.postMessageA(p.form.hWnd(), win::WM_CLOSE, 0, 0);
  world.settle();
  EXPECT_EQ(world.trayIcon(), nullptr);
  EXPECT_EQ(world.morvaneAuto(), nullptr);
  EXPECT_TRUE(world.boxes.shown().empty());
}

// ACT! stops answering while an update is due: the first call gives up at the call limit, the
// update ends there with one box, and MorvaneAuto carries on for when ACT! answers again.
TEST_F(SwitcherTest, HungAct_AnUpdateEndsAtTheLimitWithOneBoxAndTheNextOneWorks) {
  MorvaneAutoProgram& p = start();
  world.act.switchView(hostsim::view::kContactList);
  world.settle();
  world.hangAct(30000);
  const uint64_t hangStart = world.desktop.now();
  world.wait(1000);                                          // the deferred update falls due
  EXPECT_EQ(world.desktop.now(), hangStart + 1000 + 10000);  // waited exactly the limit
  EXPECT_EQ(boxTexts(), std::vector<std::string>{
                            "Error -2147417825: 'Automation error\r\nThis operation returned "
                            "because the timeout period expired.'\r"
                            "in frmAuto: Function Get_DB_Name - Line # 2" +
                            std::string(kSupport)});
  EXPECT_EQ(world.boxes.shown()[0].caption, "MorvaneAuto error");
  EXPECT_EQ(world.morvaneAuto(), &p);
  EXPECT_NE(world.trayIcon(), nullptr);
  // A further call while ACT! still hangs waits the limit again, and fails as well.
  EXPECT_FALSE(p.module1.Check_ACT());
  EXPECT_EQ(world.desktop.now(), hangStart + 1000 + 2 * 10000);

  world.wait(30000);
  world.act.switchView(hostsim::view::kContact);
  world.settle();
  world.act.nextRecord();
  world.settle();
  EXPECT_EQ(layout(), "Prospect Layout");
  EXPECT_EQ(world.boxes.shown().size(), 2u);
}

// ACT! stops answering right after one of an update's calls: the next call gives up at the limit,
// and the update takes nothing from it (no saved view type, no empty field value standing in for
// ACT!'s answer): no layout is chosen, now or when ACT! wakes up.
TEST_F(SwitcherTest, HungAct_AFailedCallOfAnUpdateIsNeverTakenForAnAnswer) {
  struct Case {
    const char* lastAnswered;  // ACT! hangs once it has served this
    const char* box;           // the one box, "" for none
  };
  const Case cases[] = {
      {"GetActive", "in frmAuto: Sub Update_Layout - Line # 3"},  // the view's type
      {"Create", ""},  // the field's value: Get_Field_Value passes errors over without a word
  };
  MorvaneAutoProgram& p = start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lastAnswered);
    world.boxes.clear();
    world.act.whileServing = [&](std::string_view, std::string_view member) {
      if (member == c.lastAnswered) world.hangAct(30000);
    };
    world.desktop.clearTrace();
    world.act.nextRecord();  // Bob Durand, a Prospect
    world.settle();
    world.act.whileServing = nullptr;
    EXPECT_TRUE(world.desktop.trace().empty()) << "no window of ACT! is asked for a layout";
    if (*c.box == '\0') {
      EXPECT_TRUE(world.boxes.shown().empty());
    } else {
      ASSERT_EQ(world.boxes.shown().size(), 1u);
      EXPECT_NE(boxTexts()[0].find(c.box), std::string::npos) << boxTexts()[0];
    }
    world.wait(30000);
    EXPECT_EQ(layout(), "Client");
    world.act.firstRecord();  // back to Alice Martin, a Customer, once ACT! answers again
    world.settle();
    EXPECT_EQ(layout(), "Client");
  }
  EXPECT_EQ(world.morvaneAuto(), &p);
}

// ACT! killed (no closing event), idle or with an update due: MorvaneAuto says so once, in the
// standard box, and ends as when ACT! closes; ACT! and MorvaneAuto started again work.
TEST_F(SwitcherTest, KilledAct_OneBoxThenTheSwitcherEndsAndANewOneSwitches) {
  for (const bool updateDue : {false, true}) {
    SCOPED_TRACE(updateDue ? "an update due" : "idle");
    world.boxes.clear();
    start();
    if (updateDue) {
      world.act.switchView(hostsim::view::kContactList);
      world.settle();
    }
    world.killAct();
    world.wait(5000);
    ASSERT_EQ(world.boxes.shown().size(), 1u);
    EXPECT_EQ(world.boxes.shown()[0].caption, "MorvaneAuto error");
    EXPECT_EQ(boxTexts()[0].rfind(
                  "Error 462: 'The remote server machine does not exist or is unavailable'\r", 0),
              0u)
        << boxTexts()[0];
    EXPECT_EQ(world.trayIcon(), nullptr);
    EXPECT_EQ(world.runningMorvaneAutos(), 0);

    world.startAct();
    start();
    world.act.nextRecord();
    world.settle();
    EXPECT_EQ(layout(), "Prospect Layout");  // Bob Durand
    EXPECT_EQ(world.boxes.shown().size(), 1u);
    world.quitAct();
    world.settle();
    world.startAct();
  }
}

TEST_F(SwitcherTest, Event14DuringStartUp_EndsStartUpThere) {
  // ACT! raises event 14 while it serves one of start-up's calls: Create_ACT_Objects (step 8),
  // the database name (step 10), the first update (step 11). Start-up goes no further: no update
  // after the unload and no icon put up for a program that has ended.
  for (const char* member : {"OpenFile", "GetOpenDBName", "GetActive"}) {
    SCOPED_TRACE(member);
    world.tray.clearCalls();
    bool raised = false;
    std::vector<std::string> servedAfter;
    world.act.whileServing = [&](std::string_view, std::string_view served) {
      if (raised) servedAfter.emplace_back(served);
      if (raised || served != member) return;
      raised = true;
      world.act.raiseEvent(14, {Variant(int32_t{0})});
    };
    world.runMorvaneAuto();
    world.act.whileServing = nullptr;
    EXPECT_TRUE(raised);
    EXPECT_EQ(std::count(servedAfter.begin(), servedAfter.end(), "GetActive"), 0);
    for (const auto& call : world.tray.calls()) EXPECT_NE(call.message, win::NIM_ADD);
    EXPECT_EQ(world.trayIcon(), nullptr);
    EXPECT_EQ(world.runningMorvaneAutos(), 0);
  }
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, Event14WhileTheListViewIsQueried_LeavesTheTimerIdle) {
  // ACT! shows its contact list and raises event 14 while the view query of an update waits on
  // it: the query comes back after the unload and must not arm the timer.
  MorvaneAutoProgram& p = start();
  world.act.switchView(hostsim::view::kContactList);
  world.wait(1000);  // the deferred update has run
  ASSERT_EQ(p.form.tmr1.interval(), 0);
  bool raised = false;
  world.act.whileServing = [&](std::string_view, std::string_view served) {
    if (raised || served != "GetGrid") return;
    raised = true;
    world.act.raiseEvent(14, {Variant(int32_t{0})});
  };
  world.act.raiseEvent(13);
  ASSERT_TRUE(raised);
  // The ended program is dropped only when the desktop settles: its timer can still be seen.
  EXPECT_FALSE(p.form.isLoaded());
  EXPECT_EQ(p.form.tmr1.interval(), 0);
  EXPECT_FALSE(p.form.tmr1.running());
  world.act.whileServing = nullptr;
  world.settle();
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
}

TEST_F(SwitcherTest, StartWithoutDatabase_AsksForOneAndEnds) {
  world.act.closeDatabase();
  world.runMorvaneAuto();
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>{"Please open an ACT database prior to running MorvaneAuto"});
  EXPECT_EQ(world.boxes.shown()[0].caption, "MorvaneAuto");
  EXPECT_EQ(world.boxes.shown()[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(world.trayIcon(), nullptr);
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
}

TEST_F(SwitcherTest, StartWhenActCannotBeReached_TellsToRunActreg) {
  world.act.faults.notLinked = true;
  world.runMorvaneAuto();
  EXPECT_EQ(boxTexts(), std::vector<std::string>{
                            "Unable to communicate with ACT!\r\nPlease run actreg.exe located in "
                            "the ACT folder and try again"});
  EXPECT_EQ(world.trayIcon(), nullptr);
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
  EXPECT_EQ(layout(), "Standard");
}

TEST_F(SwitcherTest, StartWhenActIsNotRunning_AsksForADatabase) {
  world.quitAct();
  world.runMorvaneAuto();
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>{"Please open an ACT database prior to running MorvaneAuto"});
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
}

TEST_F(SwitcherTest, StartWithoutActsEventControl_ReportsAndEnds) {
  // ACT!'s control is not installed: the form cannot be loaded, and the program ends rather than
  // stay as an invisible process without an icon.
  world.configureAutomation = [](sim::SimAutomation& automation) {
    automation.failCreation(kActEventProgId);
  };
  world.runMorvaneAuto();
  EXPECT_EQ(boxTexts(), std::vector<std::string>{
                            std::string("Error 429: 'ActiveX component can't create object'\r"
                                        "in frmAuto: Sub Form_Load - Line # 1") +
                            kSupport});
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
  EXPECT_EQ(world.trayIcon(), nullptr);
}

TEST_F(SwitcherTest, SecondCopy_EndsSilentlyLeavingOneIcon) {
  start();
  world.runMorvaneAuto();
  EXPECT_EQ(world.runningMorvaneAutos(), 1);
  EXPECT_EQ(world.tray.icons().size(), 1u);
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, DelaySetting) {
  struct Case {
    const char* stored;
    int32_t expected;
  };
  for (const Case& c : std::vector<Case>{{"abc", 1000},
                                         {"2500", 2500},
                                         {"2500.5", 2500},  // half to even
                                         {"1500.5", 1500},
                                         {"-5", 1000},
                                         {"0", 1},
                                         {"99999999999", 65535},
                                         {"", 1000}}) {
    world.settings.saveSetting("Morvane", "Settings", "Delay", c.stored);
    MorvaneAutoProgram& p = start();
    EXPECT_EQ(p.delay, c.expected) << c.stored;
    world.quitAct();
    world.settle();
    world.startAct();
  }
}

TEST_F(SwitcherTest, TrayClick_HandsOverToMorvaneAndEnds) {
  start();
  ASSERT_TRUE(world.clickTray());
  ASSERT_EQ(world.system.shellCalls().size(), 1u);
  const sim::ShellCall& call = world.system.shellCalls()[0];
  EXPECT_EQ(call.verb, "Open");
  EXPECT_EQ(call.file, "C:\\Program Files\\Morvane\\Morvane.exe");
  EXPECT_EQ(call.parameters, "0");
  EXPECT_EQ(call.directory, "C:\\Program Files\\Morvane");
  EXPECT_EQ(call.showCommand, win::SW_SHOW);
  EXPECT_NE(call.owner, 0u);
  EXPECT_EQ(world.morvaneStarts(), std::vector<std::string>{"0"});
  EXPECT_EQ(world.trayIcon(), nullptr);
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
}

TEST_F(SwitcherTest, TrayDoubleClickAndRightClick_HandOverOnce) {
  start();
  ASSERT_TRUE(world.doubleClickTray(sim::MouseButton::Right));
  EXPECT_EQ(world.system.shellCalls().size(), 1u);
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
}

TEST_F(SwitcherTest, TrayClickWhenMorvaneCannotStart_KeepsRunningAndSaysSo) {
  // Morvane.exe is missing from the folder.
  world.system.uninstall("C:\\Program Files\\Morvane\\Morvane.exe");
  world.runMorvaneAuto();
  ASSERT_NE(world.morvaneAuto(), nullptr);
  world.clickTray();
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>{"Unable to start C:\\Program Files\\Morvane\\Morvane.exe"});
  EXPECT_NE(world.trayIcon(), nullptr);
  EXPECT_NE(world.morvaneAuto(), nullptr);
}

TEST_F(SwitcherTest, TrayDoubleClickWhenMorvaneCannotStart_OneAttemptOneBox) {
  world.system.uninstall("C:\\Program Files\\Morvane\\Morvane.exe");
  start();
  const sim::TrayIcon icon = *world.trayIcon();
  // The rest of the double-click reaches the icon while the first click's box is up.
  world.boxes.onShow = [&](const sim::ShownBox&) {
    world.boxes.onShow = nullptr;
    world.tray.notify(icon.hwnd, icon.id, win::WM_LBUTTONDBLCLK);
    world.tray.notify(icon.hwnd, icon.id, win::WM_LBUTTONUP);
  };
  ASSERT_TRUE(world.clickTray());
  EXPECT_EQ(world.system.shellCalls().size(), 1u);
  EXPECT_EQ(world.boxes.shown().size(), 1u);
  // Once the box is closed, the icon answers again.
  ASSERT_TRUE(world.clickTray());
  EXPECT_EQ(world.system.shellCalls().size(), 2u);
  EXPECT_EQ(world.boxes.shown().size(), 2u);
  EXPECT_NE(world.morvaneAuto(), nullptr);
}

TEST_F(SwitcherTest, EventStorm_EveryUpdateRunsAndTheLastRecordWins) {
  start();
  for (int i = 0; i < 1000; ++i) world.act.raiseEvent(i % 2 ? 3 : 13, {Variant(std::string())});
  world.act.gotoRecord(1);  // Bob, a Prospect
  world.settle();
  EXPECT_EQ(layout(), "Prospect Layout");
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, NestedUpdate_WhileTheWindowSearchWaitsOnAct) {
  // ACT! raises a record event while it handles a status-bar click of the switcher's search:
  // a second update starts inside the first one. Under the first one's redraw lock the second
  // search sees no status bar, so it clicks nothing and cannot nest further.
  start();
  int nested = 0;
  const Hwnd bar = world.actWindows.statusBar();
  WndProcValue old = 0;
  const WndProcValue hook =
      world.desktop.makeWndProcValue([&](Hwnd h, uint32_t m, WParam w, LParam l) -> LResult {
        if (m == win::WM_COMMAND && nested < 3) {
          ++nested;
          world.act.raiseEvent(3, {Variant(std::string())});
        }
        return world.desktop.isWindow(h) ? world.desktop.callWindowProcA(old, h, m, w, l) : 0;
      });
  old = world.desktop.setWindowLongA(bar, win::GWL_WNDPROC, hook);
  world.act.gotoRecord(2);  // Carla, a Vendor
  world.settle();
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(layout(), "Vendor Layout");
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, ActClosingInTheMiddleOfAnUpdate_EndsQuietly) {
  start();
  const Hwnd bar = world.actWindows.statusBar();
  WndProcValue old = 0;
  bool closed = false;
  const WndProcValue hook =
      world.desktop.makeWndProcValue([&](Hwnd h, uint32_t m, WParam w, LParam l) -> LResult {
        if (m == win::WM_COMMAND && !closed) {
          closed = true;
          world.quitAct();
          return 0;
        }
        return world.desktop.isWindow(h) ? world.desktop.callWindowProcA(old, h, m, w, l) : 0;
      });
  old = world.desktop.setWindowLongA(bar, win::GWL_WNDPROC, hook);
  world.act.nextRecord();
  world.settle();
  EXPECT_TRUE(closed);
  EXPECT_EQ(world.runningMorvaneAutos(), 0);
  EXPECT_EQ(world.trayIcon(), nullptr);
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(SwitcherTest, DatabaseWithoutExtension_StillFindsItsRules) {
  auto db = hostsim::sampleDatabase();
  db.path = "C:\\ACT\\Database\\Sales";
  world.act.openDatabase(db);
  world.settle();
  MorvaneAutoProgram& p = start();
  EXPECT_EQ(p.form.DatabaseName, "Sales");
  EXPECT_EQ(layout(), "Client");
  EXPECT_TRUE(world.boxes.shown().empty());
}

}  // namespace
}  // namespace morvane
