// The simulated ACT! as its automation clients see it: objects, fields, commands, the event
// control, and the faults tests can provoke.
#include "hostsim/act_automation.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/conversions.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "shared/act/modLayout.h"
#include "tests/platform/error_number.h"

namespace morvane::hostsim {
namespace {

using sim::RecordingSink;

constexpr int32_t kEFail = -2147467259;
constexpr int32_t kDisconnectedError = -2147417848;
constexpr int32_t kBadIndexError = -2147352565;

using morvane::testing::errorOf;

class ActAutomationTest : public ::testing::Test {
 protected:
  ActAutomationTest() { registerActClasses(automation, act); }

  ObjectRef app() {
    ObjectRef a = automation.createObject("ACTOLE.APPOBJECT");
    callMethod(a, "OpenFile", {""});
    return a;
  }
  ObjectRef views() { return asObject(getProperty(app(), "Views")); }
  ObjectRef view(int16_t type) { return asObject(callMethod(views(), "Create", {type, "CV"})); }
  ObjectRef fields(const char* kind) {
    ObjectRef db = automation.createObject("actole.database");
    callMethod(db, "OpenEx", {""});
    return asObject(getProperty(asObject(getProperty(db, kind)), "Fields"));
  }
  // An event control linked to ACT!, with a recording sink.
  std::pair<ObjectRef, std::shared_ptr<RecordingSink>> linkedControl() {
    ObjectRef control = automation.createObject("ACTEVENTLib.ActEvent");
    auto sink = std::make_shared<RecordingSink>();
    control->advise(sink);
    EXPECT_EQ(callMethodById(control, actevent::kAttach, {int32_t{0}}), Variant(int32_t{1}));
    return {control, sink};
  }

  ActSim act{sampleDatabase()};
  sim::SimAutomation automation;
};

TEST_F(ActAutomationTest, AppGivesViewsAndTheOpenDatabase) {
  ObjectRef a = automation.createObject("ACTOLE.APPOBJECT");
  // Views is only there once OpenFile has run.
  EXPECT_EQ(errorOf([&] { getProperty(a, "Views"); }).number(), -2147418113);
  EXPECT_EQ(errorOf([&] { callMethod(a, "OpenFile", {"C:\\Other.dbf"}); }).number(), -2147024894);
  callMethod(a, "OpenFile", {""});
  ObjectRef active = asObject(callMethod(asObject(getProperty(a, "Views")), "GetActive"));
  EXPECT_EQ(conv::toInteger(getProperty(active, "Type")), 1);
  EXPECT_EQ(callMethod(a, "GetOpenDBName"), Variant("C:\\ACT\\Database\\Sales.dbf"));

  ObjectRef prefs = asObject(getProperty(a, "Preferences"));
  putProperty(prefs, "StartupMacro", "C:\\Morvane\\Morvane.mpr");
  EXPECT_EQ(act.startupMacro, "C:\\Morvane\\Morvane.mpr");
  EXPECT_EQ(getProperty(prefs, "StartupMacro"), Variant("C:\\Morvane\\Morvane.mpr"));
}

TEST_F(ActAutomationTest, GetFieldReadsTheCurrentRecordOfTheViewsKind) {
  ObjectRef contactView = view(1);
  ObjectRef groupView = view(3);
  EXPECT_EQ(callMethod(contactView, "GetField", {int16_t{sample::kIdStatus}}), Variant("Customer"));
  act.nextRecord();
  EXPECT_EQ(callMethod(contactView, "GetField", {int16_t{sample::kIdStatus}}), Variant("Prospect"));
  EXPECT_EQ(callMethod(groupView, "GetField", {int16_t{sample::kGroupType}}), Variant("Team"));
  act.switchView(3);
  act.nextRecord();
  EXPECT_EQ(callMethod(groupView, "GetField", {int16_t{sample::kGroupType}}), Variant("Committee"));
  // Contacts kept their place while the groups moved.
  EXPECT_EQ(callMethod(contactView, "GetField", {int16_t{sample::kIdStatus}}), Variant("Prospect"));

  EXPECT_EQ(errorOf([&] { callMethod(contactView, "GetField", {int16_t{0}}); }).number(),
            kBadIndexError);
  // The number goes by reference, so only a 16-bit integer will do.
  EXPECT_EQ(errorOf([&] { callMethod(contactView, "GetField", {int32_t{5}}); }).number(), 13);
  EXPECT_EQ(errorOf([&] { callMethod(contactView, "GetField", {"5"}); }).number(), 13);
  EXPECT_EQ(errorOf([&] { callMethod(view(4), "GetField", {int16_t{1}}); }).number(), kEFail);
}

TEST_F(ActAutomationTest, ListViewHasAGridOthersDoNot) {
  ObjectRef grid = asObject(callMethod(view(2), "GetGrid"));
  EXPECT_EQ(getProperty(grid, "RowCount"), Variant(int32_t{5}));
  EXPECT_EQ(errorOf([&] { callMethod(view(1), "GetGrid"); }).number(), kEFail);
  EXPECT_EQ(errorOf([&] { view(7); }).number(), -2147024809);
}

TEST_F(ActAutomationTest, FieldCollectionWithAGapAndDropDownLists) {
  ObjectRef f = fields("Contact");
  const int32_t count = conv::toLong(getProperty(f, "Count"));
  EXPECT_EQ(count, 7);
  // Scanning by position until Count real fields were seen passes over the unused position.
  std::vector<int32_t> ids;
  for (int16_t p = 0; static_cast<int32_t>(ids.size()) < count; ++p) {
    const int32_t id = conv::toLong(getProperty(f, "ID", {p}));
    if (id != -1) ids.push_back(id);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{1, 2, 3, 5, 6, 7, 8}));
  EXPECT_EQ(getProperty(f, "ID", {int16_t{3}}), Variant(int32_t{-1}));
  EXPECT_EQ(getProperty(f, "Label", {int16_t{4}}), Variant("ID/Status"));
  EXPECT_EQ(errorOf([&] { getProperty(f, "ID", {int16_t{8}}); }).number(), kBadIndexError);

  EXPECT_EQ(getProperty(f, "Type", {"6"}), Variant(int32_t{2}));
  EXPECT_EQ(getProperty(f, "HasPopupList", {"5"}), Variant(true));
  EXPECT_EQ(getProperty(f, "HasPopupList", {"8"}), Variant(false));
  EXPECT_EQ(errorOf([&] { getProperty(f, "Type", {"4"}); }).number(), kBadIndexError);

  ObjectRef list = asObject(callMethod(f, "POPUPINFO", {int16_t{5}, int16_t{0}}));
  EXPECT_EQ(getProperty(list, "PopupCount"), Variant(int32_t{4}));
  EXPECT_EQ(getProperty(list, "Value", {int32_t{0}}), Variant("Customer"));
  EXPECT_EQ(getProperty(list, "Value", {int32_t{3}}), Variant("Supplier"));
  EXPECT_EQ(errorOf([&] { getProperty(list, "Value", {int32_t{4}}); }).number(), kBadIndexError);
  ObjectRef none = asObject(callMethod(f, "POPUPINFO", {int16_t{1}, int16_t{0}}));
  EXPECT_EQ(getProperty(none, "PopupCount"), Variant(int32_t{0}));

  ObjectRef g = fields("Group");
  EXPECT_EQ(getProperty(g, "Count"), Variant(int32_t{3}));
  EXPECT_EQ(getProperty(g, "Label", {int16_t{1}}), Variant("Group Type"));
}

TEST_F(ActAutomationTest, DatabaseObjectNeedsOpenExAndStopsAtClose) {
  ObjectRef db = automation.createObject("ACTOLE.DATABASE");
  EXPECT_EQ(errorOf([&] { getProperty(db, "Contact"); }).number(), -2147418113);
  callMethod(db, "OpenEx", {""});
  EXPECT_EQ(callMethod(db, "GetDatabasePath"), Variant("C:\\ACT\\Database\\Sales.dbf"));
  EXPECT_TRUE(asObject(getProperty(db, "Group")));
  callMethod(db, "Close");
  EXPECT_EQ(errorOf([&] { getProperty(db, "Contact"); }).number(), -2147418113);
}

TEST_F(ActAutomationTest, AuxCmdsKeepsCommandsAndTheirPlaces) {
  ObjectRef aux = automation.createObject("ACTOLE.AUXCMDS");
  const char* name = "Mo&rvane";
  EXPECT_EQ(callMethod(aux, "AuxCommandExists", {name}), Variant(int32_t{0}));
  EXPECT_EQ(callMethod(aux, "AddAuxCommandToToolbar", {int16_t{1}, name}), Variant(int32_t{1}));

  std::vector<Variant> definition{name, "C:\\M\\Morvane.EXE", "C:\\M", name, "Click to launch Mo&rvane",
                                  "C:\\M\\Morvane.ico", "C:\\M\\Morvane32.ico", int16_t{1}};
  EXPECT_EQ(callMethod(aux, "AddAuxCommand", definition), Variant(int32_t{0}));
  EXPECT_EQ(act.auxCommands.at(name).definition, definition);
  EXPECT_EQ(callMethod(aux, "AuxCommandExists", {name}), Variant(int32_t{1}));

  EXPECT_EQ(callMethod(aux, "AddAuxCommandToToolbar", {int16_t{1}, name}), Variant(int32_t{0}));
  EXPECT_EQ(callMethod(aux, "AddAuxCommandToToolsMenu", {int16_t{3}, name}), Variant(int32_t{0}));
  EXPECT_EQ(callMethod(aux, "AuxCommandExistsInToolbar", {int16_t{1}, name}), Variant(int32_t{1}));
  EXPECT_EQ(callMethod(aux, "AuxCommandExistsInToolsMenu", {int16_t{1}, name}), Variant(int32_t{0}));
  EXPECT_EQ(callMethod(aux, "AuxCommandExistsInToolsMenu", {int16_t{3}, name}), Variant(int32_t{1}));
  EXPECT_EQ(callMethod(aux, "RemoveAuxCommandFromToolbar", {int16_t{1}, name}), Variant(int32_t{0}));
  EXPECT_EQ(callMethod(aux, "AuxCommandExistsInToolbar", {int16_t{1}, name}), Variant(int32_t{0}));
  EXPECT_EQ(callMethod(aux, "AddAuxCommandToToolbar", {int16_t{7}, name}), Variant(int32_t{2}));
  EXPECT_EQ(errorOf([&] { callMethod(aux, "AddAuxCommand", {name}); }).number(), 450);

  act.faults.auxResults["AddAuxCommandToToolsMenu"] = 5;
  EXPECT_EQ(callMethod(aux, "AddAuxCommandToToolsMenu", {int16_t{2}, name}), Variant(int32_t{5}));
  EXPECT_EQ(act.auxCommands.at(name).toolsMenuViews, (std::set<int16_t>{3}));
}

TEST_F(ActAutomationTest, FaultKnobsMakeMembersFail) {
  act.faults.failingMembers = {"views.getactive", "Type"};
  RuntimeError e = errorOf([&] { callMethod(views(), "GetActive"); });
  EXPECT_EQ(e.number(), kEFail);
  EXPECT_EQ(e.description(), "Automation error\r\nUnspecified error");
  // A bare name fails on every object that has the member.
  EXPECT_EQ(errorOf([&] { getProperty(view(1), "Type"); }).number(), kEFail);
  EXPECT_EQ(errorOf([&] { getProperty(fields("Contact"), "Type", {"5"}); }).number(), kEFail);

  act.faults.failingMembers.clear();
  act.faults.viewTypeUnreadable = true;
  EXPECT_EQ(errorOf([&] { getProperty(view(3), "Type"); }).number(), kEFail);
  EXPECT_NO_THROW(callMethod(view(3), "GetField", {int16_t{sample::kGroupType}}));
}

TEST_F(ActAutomationTest, EventControlAttachAndAvailability) {
  struct Case {
    const char* what;
    std::function<void(ActSim&)> setUp;
    int32_t attach;
    bool available;
  };
  const std::vector<Case> cases = {
      {"linked", [](ActSim&) {}, 1, true},
      {"cannot communicate", [](ActSim& a) { a.faults.notLinked = true; }, 0, true},
      {"no database open", [](ActSim& a) { a.closeDatabase(); }, 0, false},
      {"ACT! closed", [](ActSim& a) { a.quit(); }, 0, false},
  };
  for (const Case& c : cases) {
    ActSim fresh{sampleDatabase()};
    c.setUp(fresh);
    ObjectRef control = makeEventControl(fresh);
    EXPECT_EQ(callMethodById(control, actevent::kAttach, {int32_t{0}}), Variant(c.attach)) << c.what;
    EXPECT_EQ(callMethodById(control, actevent::kActAvailable), Variant(c.available)) << c.what;
    EXPECT_EQ(fresh.linkedControls(), c.attach) << c.what;
  }
}

TEST_F(ActAutomationTest, UserActionsRaiseTheirEvents) {
  struct Case {
    const char* what;
    std::function<void(ActSim&)> action;
    int position;
    std::vector<Variant> args;
  };
  const std::vector<Case> cases = {
      {"next", [](ActSim& a) { a.nextRecord(); }, 3, {"Bob Durand"}},
      {"previous", [](ActSim& a) { a.gotoRecord(2), a.previousRecord(); }, 4, {"Bob Durand"}},
      {"first", [](ActSim& a) { a.gotoRecord(2), a.firstRecord(); }, 5, {"Alice Martin"}},
      {"last", [](ActSim& a) { a.lastRecord(); }, 6, {"Eve Moreau"}},
      {"layout", [](ActSim& a) { a.applyLayout("client"); }, 7, {"Client"}},
      {"goto", [](ActSim& a) { a.gotoRecord(2); }, 8, {"Carla Nunes"}},
      {"goto by name", [](ActSim& a) { a.gotoRecord("eve moreau"); }, 8, {"Eve Moreau"}},
      {"field", [](ActSim& a) { a.setFieldValue(sample::kIdStatus, "Vendor"); }, 11, {"ID/Status"}},
      {"view", [](ActSim& a) { a.switchView(3); }, 12, {int16_t{3}}},
      {"lookup", [](ActSim& a) { a.refreshLookup(); }, 13, {}},
      {"database closing", [](ActSim& a) { a.closeDatabase(); }, 2, {}},
      {"database opened",
       [](ActSim& a) { a.openDatabase(sampleDatabase()); },
       1,
       {"C:\\ACT\\Database\\Sales.dbf"}},
      {"ACT! closing", [](ActSim& a) { a.quit(); }, 14, {int32_t{0}}},
  };
  for (const Case& c : cases) {
    ActSim fresh{sampleDatabase()};
    ObjectRef control = makeEventControl(fresh);
    auto sink = std::make_shared<RecordingSink>();
    control->advise(sink);
    callMethodById(control, actevent::kAttach, {int32_t{0}});
    c.action(fresh);
    ASSERT_FALSE(sink->received().empty()) << c.what;
    const auto& last = sink->received().back();
    EXPECT_EQ(last.position, c.position) << c.what;
    EXPECT_EQ(last.id, c.position) << c.what;
    EXPECT_EQ(last.args, c.args) << c.what;
  }
}

TEST_F(ActAutomationTest, OnlyLinkedControlsHearEvents) {
  ObjectRef linked;
  std::shared_ptr<RecordingSink> heard;
  std::tie(linked, heard) = linkedControl();
  ObjectRef unlinked = automation.createObject("ACTEVENTLib.ActEvent");
  auto deaf = std::make_shared<RecordingSink>();
  unlinked->advise(deaf);

  EXPECT_FALSE(act.previousRecord());  // already at the first record: no move, no event
  act.nextRecord();
  EXPECT_EQ(heard->positions(), std::vector<int>{3});
  EXPECT_TRUE(deaf->received().empty());

  callMethodById(linked, actevent::kDetach);
  act.nextRecord();
  EXPECT_EQ(heard->positions(), std::vector<int>{3});
}

TEST_F(ActAutomationTest, Command150ClosesActAndDisconnectsItsObjects) {
  ObjectRef control;
  std::shared_ptr<RecordingSink> sink;
  std::tie(control, sink) = linkedControl();
  ObjectRef a = app();
  ObjectRef v = view(1);
  int windowsClosed = 0;
  act.onClose = [&] {
    ++windowsClosed;
    // Event 14 reaches the holders before the windows go.
    EXPECT_EQ(sink->positions(), std::vector<int>{14});
  };

  callMethod(a, "Command", {int32_t{150}});
  EXPECT_EQ(windowsClosed, 1);
  EXPECT_FALSE(act.running());
  EXPECT_EQ(act.commandsRun, std::vector<int32_t>{150});

  RuntimeError e = errorOf([&] { callMethod(a, "GetOpenDBName"); });
  EXPECT_EQ(e.number(), kDisconnectedError);
  EXPECT_EQ(e.description(), "Automation error\r\nThe object invoked has disconnected from its clients.");
  EXPECT_EQ(errorOf([&] { getProperty(v, "Type"); }).number(), kDisconnectedError);
  EXPECT_EQ(errorOf([&] { automation.createObject("ACTOLE.APPOBJECT"); }).number(), 429);
  EXPECT_EQ(callMethodById(control, actevent::kAttach, {int32_t{0}}), Variant(int32_t{0}));

  // ACT! started again with its database: new objects work, old ones stay disconnected.
  act.openDatabase(sampleDatabase());
  EXPECT_EQ(callMethod(app(), "GetOpenDBName"), Variant("C:\\ACT\\Database\\Sales.dbf"));
  EXPECT_EQ(errorOf([&] { callMethod(a, "GetOpenDBName"); }).number(), kDisconnectedError);
}

TEST_F(ActAutomationTest, HandlersMayCloseActOrDetachOthersDuringAnEvent) {
  ObjectRef first;
  std::shared_ptr<RecordingSink> firstSink;
  std::tie(first, firstSink) = linkedControl();
  ObjectRef second;
  std::shared_ptr<RecordingSink> secondSink;
  std::tie(second, secondSink) = linkedControl();
  ObjectRef a = app();
  firstSink->onReceive = [&](const RecordingSink::Received& r) {
    if (r.position == 3) {
      callMethodById(second, actevent::kDetach);
      callMethod(a, "Command", {int32_t{150}});
    }
  };
  act.nextRecord();
  EXPECT_EQ(firstSink->positions(), (std::vector<int>{3, 14}));
  EXPECT_TRUE(secondSink->received().empty());
  EXPECT_FALSE(act.running());
}

TEST_F(ActAutomationTest, ObjectsOutlivingActFailAsDisconnected) {
  ObjectRef a;
  {
    ActSim shortLived{sampleDatabase()};
    sim::SimAutomation local;
    registerActClasses(local, shortLived);
    a = local.createObject("ACTOLE.APPOBJECT");
  }
  EXPECT_EQ(errorOf([&] { callMethod(a, "GetOpenDBName"); }).number(), kDisconnectedError);
}

TEST_F(ActAutomationTest, LayoutAppliedThroughActsWindowsRaisesEvent7) {
  ObjectRef control;
  std::shared_ptr<RecordingSink> sink;
  std::tie(control, sink) = linkedControl();
  sim::SimDesktop desktop;
  sim::SimMessageBoxes boxes;
  ActWindows windows(desktop, act.layoutState());
  windows.open();
  ErrorTrap trap(boxes, "MorvaneAuto");
  modLayout layout(desktop, trap);

  EXPECT_EQ(layout.SelectLayout("Prospect Layout"), "");
  desktop.pump();
  EXPECT_EQ(act.currentLayout(), "Prospect Layout");
  ASSERT_EQ(sink->positions(), std::vector<int>{7});
  EXPECT_EQ(sink->received()[0].args, std::vector<Variant>{"Prospect Layout"});
}

}  // namespace
}  // namespace morvane::hostsim
