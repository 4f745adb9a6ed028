// ACT!'s automation objects and event control as the programs reach them on Windows: Module1 and
// the event control through real COM from this process, served by the ACT! stand-in in another,
// which the tests drive and read through its control channel.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/act_automation.h"
#include "hostwin/standin_classes.h"
#include "hostwin/standin_client.h"
#include "platform/error_trap.h"
#include "platform/sim/sim_automation.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/win32/com/com_automation.h"
#include "platform/win32/win32_settings_store.h"
#include "shared/act/Module1.h"
#include "tests/platform/error_number.h"
#include "tests/win32/com_test_support.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/scratch.h"
#include "tests/win32/support/wait.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

namespace morvane::hostwin {
namespace {

using wintest::waitUntil;

using morvane::testing::errorNumberOf;
using morvane::testing::errorOf;
using protocol::Result;
namespace actevent = hostsim::actevent;

std::string standInPath() {
  const std::string self = wintest::selfPath();
  return self.substr(0, self.find_last_of('\\') + 1) + "ActStandIn.exe";
}

// The stand-in's classes are registered for the whole program, as an installation registers them.
class RegisteredStandIn : public ::testing::Environment {
 public:
  void SetUp() override {
    EXPECT_EQ(wintest::runToEnd(wintest::quotedPath(standInPath()) + " /regserver"), 0u);
  }
  void TearDown() override {
    EXPECT_EQ(wintest::runToEnd(wintest::quotedPath(standInPath()) + " /unregserver"), 0u);
  }
};
const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new RegisteredStandIn);

// Running stand-ins, of any client.
size_t standInProcesses() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  size_t count = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, L"ActStandIn.exe") == 0) ++count;
  CloseHandle(snapshot);
  return count;
}

class CountingArming : public DelayTimerArming {
 public:
  void armIfIdle() override { ++armed; }
  int armed = 0;
};

Variant attach(const ObjectRef& control) {
  return callMethodById(control, actevent::kAttach, {Variant(int32_t{0})});
}

// The programs' side of one test: a COM apartment, ACT!'s classes by ProgID, an error trap whose
// boxes are recorded, and the settings in a scratch key.
class ComClient : public ::testing::Test {
 protected:
  Module1 module(ActProgram program) { return Module1(program, automation, settings, trap); }

  win32::ComApartment apartment;
  win32::ComAutomation automation;
  sim::SimMessageBoxes boxes;
  ErrorTrap trap{boxes, "MorvaneAuto"};
  wintest::ScratchRegistryKey key;
  win32::Win32SettingsStore settings{key.path()};
};

// ... with ACT! running in the stand-in; it is closed (or killed) before the apartment goes.
class ActThroughCom : public ComClient {
 protected:
  StandInProcess act;
};

TEST_F(ActThroughCom, CreateActObjectsMakesWhatEachProgramNeeds) {
  Module1 switcher = module(ActProgram::MorvaneAuto);
  EXPECT_EQ(switcher.Create_ACT_Objects(), "");
  EXPECT_TRUE(switcher.ActApp && switcher.ActViews);
  EXPECT_FALSE(switcher.ActDatabase);

  struct Case {
    const char* view;
    const char* name;
    int32_t fields;  // in use, by Fields.Count; 0: no database object
  };
  for (const Case& c :
       {Case{"contact", "Contact", 7}, Case{"group", "Group", 3}, Case{"list", "", 0}}) {
    SCOPED_TRACE(c.view);
    ASSERT_EQ(act.command(std::string("view ") + c.view).result, Result::Done);
    Module1 editor = module(ActProgram::Morvane);
    EXPECT_EQ(editor.Create_ACT_Objects(), c.name);
    if (c.fields == 0) {
      EXPECT_FALSE(editor.ActDatabase);
      continue;
    }
    ASSERT_TRUE(editor.ActFields);
    EXPECT_EQ(getProperty(editor.ActFields, "Count"), Variant(c.fields));
    EXPECT_EQ(callMethod(editor.ActDatabase, "GetDatabasePath"), Variant(act.state().database));
  }
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ActThroughCom, GetViewFollowsActsViewAndReadsTheCurrentRecord) {
  Module1 switcher = module(ActProgram::MorvaneAuto);
  CountingArming timer;
  act.resetCounters();
  switcher.Create_ACT_Objects();
  ASSERT_EQ(switcher.GetView(timer), "Contact");
  // Five calls, each a GetIDsOfNames and an Invoke (OpenFile, Views, GetActive, Type, Create),
  // counted on the objects ACT! returned as well as on the one made by ProgID.
  EXPECT_EQ(act.counters().automationCalls, 10u);

  EXPECT_EQ(getProperty(switcher.ActCurrentView, "Type"), Variant(int16_t{1}));
  const auto status = [&] {
    return callMethod(switcher.ActCurrentView, "GetField",
                      {Variant(int16_t{hostsim::sample::kIdStatus})});
  };
  EXPECT_EQ(status(), Variant("Customer"));
  ASSERT_EQ(act.command("next").result, Result::Done);
  EXPECT_EQ(status(), Variant("Prospect"));
  EXPECT_EQ(act.state().fields.at(hostsim::sample::kIdStatus), "Prospect");
  EXPECT_EQ(callMethod(switcher.ActApp, "GetOpenDBName"), Variant("C:\\ACT\\Database\\Sales.dbf"));

  ASSERT_EQ(act.command("view list").result, Result::Done);
  EXPECT_EQ(switcher.GetView(timer), "ContactList");
  EXPECT_EQ(getProperty(switcher.ActCurrentView, "RowCount"), Variant(int32_t{5}));
  EXPECT_EQ(timer.armed, 1);

  ASSERT_EQ(act.command("view group").result, Result::Done);
  EXPECT_EQ(switcher.GetView(timer), "Group");
  EXPECT_EQ(callMethod(switcher.ActCurrentView, "GetField",
                       {Variant(int16_t{hostsim::sample::kGroupType})}),
            Variant("Team"));

  // A type ACT! cannot tell falls back to the one saved in the registry.
  settings.saveSetting("Morvane", "Settings", "ViewType", "2");
  ASSERT_EQ(act.command("fail View.Type").result, Result::Done);
  EXPECT_EQ(switcher.GetView(timer), "ContactList");
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ActThroughCom, EventControlTellsEverySinkWhileLinked) {
  const ObjectRef control = automation.createObject(hostsim::kEventControlProgId);
  const auto first = std::make_shared<sim::RecordingSink>();
  const auto second = std::make_shared<sim::RecordingSink>();
  control->advise(first);
  control->advise(second);
  ASSERT_EQ(act.command("next").result, Result::Done);
  EXPECT_TRUE(first->received().empty());

  EXPECT_EQ(attach(control), Variant(int32_t{1}));
  EXPECT_EQ(act.state().linked, 1);
  ASSERT_EQ(act.command("next").result, Result::Done);
  ASSERT_EQ(act.command("field 5 Vendor").result, Result::Done);
  ASSERT_EQ(act.command("view group").result, Result::Done);
  for (const auto& sink : {first, second}) {
    const auto& received = sink->received();
    ASSERT_EQ(sink->positions(), (std::vector<int>{3, 11, 12}));
    EXPECT_EQ(received[0].args, std::vector<Variant>{Variant("Carla Nunes")});
    EXPECT_EQ(received[1].args, std::vector<Variant>{Variant("ID/Status")});
    EXPECT_EQ(received[2].args, std::vector<Variant>{Variant(hostsim::view::kGroup)});
    EXPECT_EQ(received[2].id, 12);
  }

  callMethodById(control, actevent::kDetach);
  ASSERT_EQ(act.command("next").result, Result::Done);
  EXPECT_EQ(first->received().size(), 3u);
  EXPECT_EQ(act.state().linked, 0);

  // ACT! refusing links: the control can tell that ACT! is there all the same.
  ASSERT_EQ(act.command("unlinked on").result, Result::Done);
  EXPECT_EQ(attach(control), Variant(int32_t{0}));
  EXPECT_EQ(callMethodById(control, actevent::kActAvailable), Variant(true));
}

TEST_F(ActThroughCom, FailingMemberGivesTheAutomationErrorWithItsText) {
  Module1 switcher = module(ActProgram::MorvaneAuto);
  switcher.Create_ACT_Objects();
  ASSERT_EQ(act.command("fail GetOpenDBName").result, Result::Done);
  const RuntimeError error = errorOf([&] { callMethod(switcher.ActApp, "GetOpenDBName"); });
  const RuntimeError expected = sim::simAutomationError(sim::hr::kFail);
  EXPECT_EQ(error.number(), expected.number());
  EXPECT_EQ(error.description(), expected.description());
}

TEST_F(ActThroughCom, ClosingActTellsTheSinksThenCutsEveryObjectOff) {
  Module1 switcher = module(ActProgram::MorvaneAuto);
  switcher.Create_ACT_Objects();
  CountingArming timer;
  ASSERT_EQ(switcher.GetView(timer), "Contact");
  const ObjectRef control = automation.createObject(hostsim::kEventControlProgId);
  const auto sink = std::make_shared<sim::RecordingSink>();
  // As the programs do: event 14 detaches the control, a call back into ACT! while it closes.
  bool detached = false;
  sink->onReceive = [&, weak = std::weak_ptr<Dispatch>(control)](const auto& event) {
    if (event.position != hostsim::event::kActClosing) return;
    if (const ObjectRef held = weak.lock()) callMethodById(held, actevent::kDetach);
    detached = true;
  };
  control->advise(sink);
  ASSERT_EQ(attach(control), Variant(int32_t{1}));

  ASSERT_EQ(act.command("close").result, Result::Done);
  ASSERT_EQ(sink->positions(), std::vector<int>{14});
  EXPECT_EQ(sink->received()[0].args, std::vector<Variant>{Variant(int32_t{0})});
  EXPECT_TRUE(detached);
  // Whether the process has ended yet or not, every object is gone for its client.
  EXPECT_THROW(callMethod(switcher.ActApp, "GetOpenDBName"), RuntimeError);
  EXPECT_THROW(callMethod(switcher.ActCurrentView, "GetField", {Variant(int16_t{5})}),
               RuntimeError);
  EXPECT_THROW(callMethodById(control, actevent::kActAvailable), RuntimeError);
  ASSERT_TRUE(act.waitForExit(kStandInTimeoutMs));
  DWORD code = 1;
  GetExitCodeProcess(act.process(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_THROW(callMethod(switcher.ActViews, "GetActive"), RuntimeError);
}

TEST_F(ComClient, Command150ClosesActFromInsideTheCall) {
  StandInProcess act;
  Module1 editor = module(ActProgram::Morvane);
  ASSERT_EQ(editor.Create_ACT_Objects(), "Contact");
  // The object serving the call is cut off while it serves it: the call comes back either way.
  ignoreErrors([&] { callMethod(editor.ActApp, "Command", {Variant(int32_t{150})}); });
  ASSERT_TRUE(act.waitForExit(kStandInTimeoutMs));
  EXPECT_THROW(getProperty(editor.ActFields, "Count"), RuntimeError);
}

TEST_F(ComClient, WithoutActItsObjectsGive429AndTheEventControlFindsNoAct) {
  ASSERT_EQ(standInProcesses(), 0u);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"ACTOLE.APPOBJECT", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kAppClsid));

  // COM starts the stand-in for each request, which refuses and ends.
  for (std::string_view progId :
       {hostsim::kAppProgId, hostsim::kDatabaseProgId, hostsim::kAuxCmdsProgId}) {
    EXPECT_EQ(errorNumberOf([&] { automation.createObject(progId); }), 429) << progId;
    EXPECT_TRUE(waitUntil([] { return standInProcesses() == 0; },
                          std::chrono::milliseconds(kStandInTimeoutMs)))
        << progId;
  }
  Module1 switcher = module(ActProgram::MorvaneAuto);
  EXPECT_EQ(switcher.Create_ACT_Objects(), "");
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, errorMessageText(RuntimeError(err::kCantCreateObject),
                                                    "in Module1: Function Create_ACT_Objects", 1));
  EXPECT_TRUE(waitUntil([] { return standInProcesses() == 0; },
                        std::chrono::milliseconds(kStandInTimeoutMs)));

  // The event control is the programs' own: it is made, and finds no ACT! to link to.
  ObjectRef control = automation.createObject(hostsim::kEventControlProgId);
  EXPECT_EQ(attach(control), Variant(int32_t{0}));
  EXPECT_EQ(callMethodById(control, actevent::kActAvailable), Variant(false));
  control.reset();
  EXPECT_TRUE(waitUntil([] { return standInProcesses() == 0; },
                        std::chrono::milliseconds(kStandInTimeoutMs)));
}

}  // namespace
}  // namespace morvane::hostwin
