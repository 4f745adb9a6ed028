// Module1 against the simulated ACT!: making the ACT! objects in both programs, naming the
// current view, and the database name both programs key their rules with.
#include "shared/act/Module1.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "hostsim/act_automation.h"
#include "platform/conversions.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "shared/act/database_name.h"

namespace morvane {
namespace {

using hostsim::ActSim;
using hostsim::sampleDatabase;

// The per-user store as a map; only what Module1 reads.
class MapSettings : public SettingsStore {
 public:
  std::string getSetting(std::string_view application, std::string_view section,
                         std::string_view key, std::string_view defaultValue) override {
    auto it = values.find({std::string(application), std::string(section), std::string(key)});
    return it == values.end() ? std::string(defaultValue) : it->second;
  }
  void saveSetting(std::string_view application, std::string_view section, std::string_view key,
                   std::string_view value) override {
    values[{std::string(application), std::string(section), std::string(key)}] = value;
  }
  std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
};

std::string errorBox(const std::string& error, const std::string& place, int line) {
  return "Error " + error + "'\r" + place + " - Line # " + std::to_string(line) +
         "\r\rPlease contact support@morvane.example.com with this error message.";
}

const std::string kCreatePlace = "in Module1: Function Create_ACT_Objects";
const std::string kGetViewPlace = "in Module1: Function GetView";
const std::string kEFailText = "-2147467259: 'Automation error\r\nUnspecified error";

class Module1Test : public ::testing::Test {
 protected:
  Module1Test() { hostsim::registerActClasses(automation, act); }

  Module1& module(ActProgram program) {
    trap = std::make_unique<ErrorTrap>(
        boxes, program == ActProgram::Morvane ? "Morvane" : "MorvaneAuto");
    m = std::make_unique<Module1>(program, automation, settings, *trap);
    return *m;
  }
  // MorvaneAuto's module with its objects made, as the switcher has it after start-up.
  Module1& autoModule() {
    Module1& mod = module(ActProgram::MorvaneAuto);
    EXPECT_EQ(mod.Create_ACT_Objects(), "");
    return mod;
  }
  int16_t typeOf(const ObjectRef& view) { return conv::toInteger(getProperty(view, "Type")); }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes.shown()) texts.push_back(b.text);
    return texts;
  }

  ActSim act{sampleDatabase()};
  sim::SimAutomation automation;
  sim::SimMessageBoxes boxes;
  MapSettings settings;
  sim::SimDesktop desktop;
  Timer tmr1{desktop};
  int32_t delay = 1000;
  TimerDelayArming arming{tmr1, delay};
  std::unique_ptr<ErrorTrap> trap;
  std::unique_ptr<Module1> m;
};

// --- Create_ACT_Objects ---

TEST_F(Module1Test, SwitcherMakesAppAndViewsOnly) {
  act.switchView(3);
  Module1& mod = module(ActProgram::MorvaneAuto);
  EXPECT_EQ(mod.Create_ACT_Objects(), "");
  EXPECT_TRUE(mod.ActApp);
  EXPECT_TRUE(mod.ActViews);
  EXPECT_FALSE(mod.ActActiveView);
  EXPECT_FALSE(mod.ActCurrentView);
  EXPECT_EQ(automation.createdCount("ACTOLE.DATABASE"), 0);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Module1Test, EditorNamesTheRecordKindAndMakesItsFields) {
  struct Case {
    int16_t view;
    std::string result;
    int32_t fieldCount;  // 0: no database object at all
  };
  for (const Case& c : std::vector<Case>{{1, "Contact", 7}, {3, "Group", 3}, {2, "", 0}, {4, "", 0}}) {
    ActSim fresh{sampleDatabase()};
    sim::SimAutomation local;
    hostsim::registerActClasses(local, fresh);
    fresh.switchView(c.view);
    ErrorTrap editorTrap(boxes, "Morvane");
    Module1 mod(ActProgram::Morvane, local, settings, editorTrap);

    EXPECT_EQ(mod.Create_ACT_Objects(), c.result) << c.view;
    EXPECT_EQ(local.createdCount("ACTOLE.DATABASE"), c.fieldCount ? 1 : 0) << c.view;
    if (c.fieldCount) {
      EXPECT_EQ(typeOf(mod.ActCurrentView), c.view);
      EXPECT_EQ(getProperty(mod.ActFields, "Count"), Variant(c.fieldCount));
    } else {
      EXPECT_FALSE(mod.ActCurrentView) << c.view;
      EXPECT_FALSE(mod.ActFields) << c.view;
      EXPECT_TRUE(mod.ActActiveView) << c.view;
    }
  }
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Module1Test, EditorFailsSilentlyFromTheActiveViewOn) {
  for (const char* member : {"GetActive", "View.Type", "Create", "OpenEx", "Database.Contact", "Fields"}) {
    act.faults.failingMembers = {member};
    Module1& mod = module(ActProgram::Morvane);
    EXPECT_EQ(mod.Create_ACT_Objects(), "") << member;
    EXPECT_TRUE(mod.ActViews) << member;
    EXPECT_FALSE(mod.ActFields) << member;
  }
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Module1Test, FailuresBeforeTheViewsShowTheErrorBoxInBothPrograms) {
  struct Case {
    std::function<void()> fault;
    std::string error;
    int line;
  };
  const std::vector<Case> cases = {
      {[&] { automation.failCreation("ACTOLE.APPOBJECT"); }, "429: 'ActiveX component can't create object", 1},
      {[&] { act.faults.failingMembers = {"OpenFile"}; }, kEFailText, 2},
      {[&] { act.faults.failingMembers = {"App.Views"}; }, kEFailText, 3},
  };
  for (ActProgram program : {ActProgram::MorvaneAuto, ActProgram::Morvane}) {
    for (const Case& c : cases) {
      automation.clearCreationFailure("ACTOLE.APPOBJECT");
      act.faults.failingMembers.clear();
      c.fault();
      boxes.clear();
      Module1& mod = module(program);
      EXPECT_EQ(mod.Create_ACT_Objects(), "");
      ASSERT_EQ(boxes.shown().size(), 1u);
      EXPECT_EQ(boxes.shown()[0].text, errorBox(c.error, kCreatePlace, c.line));
      EXPECT_EQ(boxes.shown()[0].caption,
                program == ActProgram::Morvane ? "Morvane error" : "MorvaneAuto error");
      EXPECT_FALSE(mod.ActViews);
    }
  }
}

TEST_F(Module1Test, ActNotRunningCannotGiveAnAppObject) {
  act.quit();
  Module1& mod = module(ActProgram::MorvaneAuto);
  EXPECT_EQ(mod.Create_ACT_Objects(), "");
  EXPECT_EQ(boxTexts(), std::vector<std::string>{
                            errorBox("429: 'ActiveX component can't create object", kCreatePlace, 1)});
}

// --- GetView ---

TEST_F(Module1Test, GetViewNamesTheViewAndMakesTheCurrentView) {
  Module1& mod = autoModule();
  EXPECT_EQ(mod.GetView(arming), "Contact");
  EXPECT_EQ(typeOf(mod.ActCurrentView), 1);
  EXPECT_EQ(typeOf(mod.ActActiveView), 1);
  EXPECT_EQ(tmr1.interval(), 0);

  act.switchView(3);
  EXPECT_EQ(mod.GetView(arming), "Group");
  EXPECT_EQ(typeOf(mod.ActCurrentView), 3);
  EXPECT_EQ(callMethod(mod.ActCurrentView, "GetField", {int16_t{hostsim::sample::kGroupType}}),
            Variant("Team"));

  // Views that hold no record kind give no name and keep the current view.
  const ObjectRef groupView = mod.ActCurrentView;
  for (int16_t other : {4, 6, 7}) {
    act.switchView(other);
    EXPECT_EQ(mod.GetView(arming), "") << other;
    EXPECT_EQ(mod.ActCurrentView, groupView) << other;
    EXPECT_EQ(typeOf(mod.ActActiveView), other);
  }
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Module1Test, ContactListGivesTheGridAndArmsAnIdleTimer) {
  Module1& mod = autoModule();
  act.switchView(2);
  EXPECT_EQ(mod.GetView(arming), "ContactList");
  EXPECT_EQ(getProperty(mod.ActCurrentView, "RowCount"), Variant(int32_t{5}));  // the grid
  EXPECT_EQ(tmr1.interval(), 1000);
  EXPECT_TRUE(tmr1.running());

  // A running timer keeps its interval.
  tmr1.setInterval(250);
  EXPECT_EQ(mod.GetView(arming), "ContactList");
  EXPECT_EQ(tmr1.interval(), 250);
}

TEST_F(Module1Test, UnreadableViewTypeFallsBackToTheSavedOne) {
  Module1& mod = autoModule();
  act.faults.viewTypeUnreadable = true;
  act.switchView(3);
  // Never saved: the contact view is assumed.
  EXPECT_EQ(mod.GetView(arming), "Contact");
  EXPECT_EQ(callMethod(mod.ActCurrentView, "GetField", {int16_t{hostsim::sample::kIdStatus}}),
            Variant("Customer"));

  for (auto [saved, name] : std::vector<std::pair<const char*, const char*>>{
           {"3", "Group"}, {"2", "ContactList"}, {"5", ""}}) {
    settings.saveSetting("Morvane", "Settings", "ViewType", saved);
    EXPECT_EQ(mod.GetView(arming), name) << saved;
  }
  EXPECT_TRUE(boxes.shown().empty());

  // A saved type that is no 16-bit number is not GetView's to handle.
  settings.saveSetting("Morvane", "Settings", "ViewType", "abc");
  EXPECT_THROW(mod.GetView(arming), RuntimeError);
}

TEST_F(Module1Test, FailedCreateOrGridKeepsTheViewNameAndTheOldCurrentView) {
  Module1& mod = autoModule();
  EXPECT_EQ(mod.GetView(arming), "Contact");
  const ObjectRef contactView = mod.ActCurrentView;

  act.faults.failingMembers = {"Views.Create"};
  act.switchView(3);
  EXPECT_EQ(mod.GetView(arming), "Group");
  EXPECT_EQ(mod.ActCurrentView, contactView);

  act.faults.failingMembers = {"GetGrid"};
  act.switchView(2);
  EXPECT_EQ(mod.GetView(arming), "ContactList");
  EXPECT_EQ(typeOf(mod.ActCurrentView), 2);  // the list view itself, not its grid
  EXPECT_EQ(tmr1.interval(), 1000);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Module1Test, GetViewReportsAFailingGetActive) {
  struct Case {
    std::function<void(Module1&)> setUp;
    std::string error;
  };
  const std::vector<Case> cases = {
      {[&](Module1&) { act.faults.failingMembers = {"GetActive"}; }, kEFailText},
      // The switcher's objects were never made.
      {[&](Module1& mod) { mod.release(); }, "91: 'Object variable or With block variable not set"},
      {[&](Module1&) { act.quit(); },
       "-2147417848: 'Automation error\r\nThe object invoked has disconnected from its clients."},
  };
  for (const Case& c : cases) {
    boxes.clear();
    Module1& mod = autoModule();
    c.setUp(mod);
    EXPECT_EQ(mod.GetView(arming), "");
    EXPECT_EQ(boxTexts(), std::vector<std::string>{errorBox(c.error, kGetViewPlace, 1)});
    EXPECT_FALSE(mod.ActActiveView);
  }
}

// --- The database name ---

TEST(DatabaseNameTest, FileNameUpToItsFirstDot) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\Data\\Sales.dbf", "Sales"},
      {"C:\\Data\\My.Sales.dbf", "My"},
      {"C:\\ACT\\My.Data.dbf", "My"},
      {"C:\\Dir.v2\\Sales.dbf", "Sales"},
      {"\\\\server\\share\\Team.dbf", "Team"},
      {"Sales.dbf", "Sales"},
      {"C:\\Data/Sales.dbf", "Data/Sales"},  // only "\" separates folders here
      // No extension: the whole file name, where a cut would fail.
      {"C:\\ACT\\Database\\Sales", "Sales"},
      {"Sales", "Sales"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(databaseNameFromPath(path), name) << path;
}

TEST(DatabaseNameTest, EmptyFileNameFailsWithError5) {
  for (const char* path : {"", "C:\\ACT\\"}) {
    try {
      databaseNameFromPath(path);
      ADD_FAILURE() << path;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), 5) << path;
    }
  }
}

}  // namespace
}  // namespace morvane
