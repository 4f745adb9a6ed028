// Late-bound calls and events through COM, each pinned three ways: against an object of ours
// exposed in this process, against the test server in another process, and against the test
// server of the other bitness (when that build is there).
#include "platform/win32/com/com_automation.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/error_trap.h"
#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_server.h"
#include "tests/platform/error_number.h"
#include "tests/win32/com_probe.h"
#include "tests/win32/com_test_support.h"
#include "tests/win32/support/wait.h"

namespace morvane::win32::testing {
namespace {

using Microsoft::WRL::ComPtr;
using morvane::testing::errorNumberOf;
using morvane::testing::errorOf;

const std::string kDefaut = "D\351faut";

enum class Where { InProcess, LocalServer, OtherBitness };

std::string whereName(const ::testing::TestParamInfo<Where>& info) {
  const char* const names[] = {"InProcess", "LocalServer", "OtherBitness"};
  return names[static_cast<int>(info.param)];
}

class Thing : public sim::SimDispatch {
 public:
  Thing() : SimDispatch("Thing") {}
};

// A sink that appends its mark to the event's text argument, or fails.
class MarkingSink : public EventSink {
 public:
  explicit MarkingSink(std::string mark, bool fail = false)
      : m_mark(std::move(mark)), m_fail(fail) {}
  void onEvent(int position, DispId id, std::vector<Variant>& args) override {
    heard.push_back({position, id});
    if (m_fail) throw RuntimeError(err::kInvalidProcedureCall);
    args.at(0) = Variant(args.at(0).get<std::string>() + m_mark);
  }
  std::vector<std::pair<int, DispId>> heard;

 private:
  std::string m_mark;
  bool m_fail;
};

class ProbeTest : public ::testing::TestWithParam<Where> {
 protected:
  void SetUp() override {
    if (GetParam() == Where::InProcess) {
      m_probe =
          std::make_shared<ComDispatch>(exposeObject(std::make_shared<Probe>(), &kProbeEventsIid));
      return;
    }
    const std::string server = testServerPath(GetParam() == Where::OtherBitness);
    if (server.empty()) GTEST_SKIP() << "the other bitness's test server is not built";
    if (GetParam() == Where::OtherBitness && !otherBitnessCannotRun().empty())
      GTEST_SKIP() << "the other bitness's test server: " << otherBitnessCannotRun();
    registerLocalServerClass(probeClass(), server);
    m_probe = m_automation.createObject(kProbeProgId);
    const auto pid = static_cast<DWORD>(getProperty(m_probe, "ProcessId").get<int32_t>());
    m_server = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(m_server, nullptr);
    ASSERT_NE(pid, GetCurrentProcessId());
  }

  void TearDown() override {
    m_probe.reset();
    if (m_server == nullptr) return;
    // With everything released the server ends by itself; the wait only guards against a hang.
    EXPECT_EQ(WaitForSingleObject(m_server, 20000), WAIT_OBJECT_0)
        << "the server did not end after its last object was released";
    CloseHandle(m_server);
  }

  static void TearDownTestSuite() { unregisterLocalServerClass(probeClass()); }

  bool crossProcess() const { return GetParam() != Where::InProcess; }

  Variant bump(std::vector<Variant>& args) {
    return m_probe->invoke(m_probe->idOfName("Bump"), InvokeKind::Method, args);
  }

  ComApartment m_apartment;
  ComAutomation m_automation;
  ObjectRef m_probe;
  HANDLE m_server = nullptr;
};

TEST_P(ProbeTest, EveryKindGoesThereAndBack) {
  const Variant values[] = {Variant(),
                            Variant(true),
                            Variant(false),
                            Variant(int16_t{-7}),
                            Variant(int32_t{100000}),
                            Variant(1.5f),
                            Variant(2.25),
                            Variant(kDefaut),
                            Variant(""),
                            Variant(ObjectRef())};
  for (const Variant& v : values) {
    EXPECT_EQ(callMethod(m_probe, "Echo", {v}), v) << "kind " << v.value().index();
  }
  if (GetParam() == Where::OtherBitness) {
    EXPECT_NE(getProperty(m_probe, "Bitness").get<int16_t>(), int16_t{sizeof(void*) * 8});
  }
}

TEST_P(ProbeTest, ObjectsKeepTheirIdentity) {
  // Ours goes to the server and comes back as itself.
  ObjectRef mine = std::make_shared<Thing>();
  EXPECT_EQ(asObject(callMethod(m_probe, "Echo", {mine})), mine);

  // The server's own object comes back to it as itself.
  const Variant child = getProperty(m_probe, "Child");
  EXPECT_EQ(getProperty(asObject(child), "Name"), Variant("child"));
  EXPECT_EQ(getProperty(m_probe, "Child"), child) << "one COM object, one ObjectRef";
  EXPECT_EQ(callMethod(m_probe, "IsChild", {child}), Variant(true));
  EXPECT_EQ(callMethod(m_probe, "IsChild", {mine}), Variant(false));

  // Set probe.Child = mine: the server holds ours and hands it back as ours.
  putProperty(m_probe, "Child", mine);
  EXPECT_EQ(callMethod(m_probe, "IsChild", {mine}), Variant(true));
  EXPECT_EQ(asObject(getProperty(m_probe, "Child")), mine);
}

TEST_P(ProbeTest, ArgumentsGoByReferenceAndComeBackChanged) {
  std::vector<Variant> args{int16_t{1}, kDefaut, true, 1.0};
  bump(args);
  EXPECT_EQ(args, (std::vector<Variant>{int16_t{2}, kDefaut + "!", false, 1.5}));

  // A referenced Variant may change its kind; an object reference may take another object.
  std::vector<Variant> more{Variant(), int32_t{41}, 0.5f, ObjectRef(std::make_shared<Thing>())};
  bump(more);
  EXPECT_EQ(std::vector<Variant>(more.begin(), more.begin() + 3),
            (std::vector<Variant>{int32_t{1}, int32_t{42}, 1.0f}));
  EXPECT_EQ(callMethod(m_probe, "IsChild", {more[3]}), Variant(true));
}

TEST_P(ProbeTest, PropertiesAndMethodsAsABasicClientCallsThem) {
  putProperty(m_probe, "Text", kDefaut);
  EXPECT_EQ(getProperty(m_probe, "Text"), Variant(kDefaut));
  EXPECT_EQ(callMethod(m_probe, "Text"), Variant(kDefaut));  // a property read as a method
  EXPECT_EQ(getProperty(m_probe, "Echo", {int16_t{3}}), Variant(int16_t{3}));
  EXPECT_EQ(callMethodById(m_probe, 1, {"by number"}), Variant("by number"));
}

TEST_P(ProbeTest, ErrorsComeBackWithTheirNumberAndDescription) {
  for (int32_t number : {438, 450, 13, 5, 91, 424, 380, 429}) {
    const RuntimeError e = errorOf([&] { callMethod(m_probe, "Raise", {number}); });
    EXPECT_EQ(e.number(), number);
    EXPECT_EQ(e.description(), standardErrorDescription(number)) << number;
  }
  const RuntimeError own = errorOf([&] { callMethod(m_probe, "Raise", {int32_t{5}, kDefaut}); });
  EXPECT_EQ(own.number(), 5);
  EXPECT_EQ(own.description(), kDefaut);

  const int32_t fail = static_cast<int32_t>(E_FAIL);
  const RuntimeError automation = errorOf([&] { callMethod(m_probe, "Raise", {fail}); });
  EXPECT_EQ(automation.number(), fail);
  EXPECT_EQ(automation.description(), automationError(fail, systemMessage(E_FAIL)).description());

  // The same numbers from COM's own answers: an unknown name, a wrong count of arguments.
  EXPECT_EQ(errorNumberOf([&] { callMethod(m_probe, "NoSuchMember"); }), 438);
  EXPECT_EQ(errorNumberOf([&] { callMethodById(m_probe, 4242); }), 438);
  EXPECT_EQ(errorNumberOf([&] { callMethod(m_probe, "Echo"); }), 450);
}

TEST_P(ProbeTest, EventsReachEverySinkDuringTheCallUntilUnadvised) {
  auto failing = std::make_shared<MarkingSink>("?", true);
  auto marking = std::make_shared<MarkingSink>("+");
  const uint32_t first = m_probe->advise(failing);
  const uint32_t second = m_probe->advise(marking);
  EXPECT_EQ(getProperty(m_probe, "SinkCount"), Variant(int32_t{2}));

  // The event's text goes by reference: the server sees what the sinks wrote.
  EXPECT_EQ(callMethod(m_probe, "RaiseEvents", {kDefaut}), Variant(kDefaut + "+"));
  EXPECT_EQ(callMethod(m_probe, "RaiseEvents", {"x"}), Variant("x+"));
  EXPECT_EQ(failing->heard.size(), 2u);
  ASSERT_EQ(marking->heard.size(), 2u);
  EXPECT_EQ(marking->heard[0], (std::pair<int, DispId>{1, 1}));

  m_probe->unadvise(first);
  m_probe->unadvise(second);
  EXPECT_EQ(callMethod(m_probe, "RaiseEvents", {"y"}), Variant("y"));
  EXPECT_EQ(failing->heard.size(), 2u);
  EXPECT_EQ(marking->heard.size(), 2u);
  EXPECT_EQ(getProperty(m_probe, "SinkCount"), Variant(int32_t{0}));
}

// An event during a call drops the caller's last reference to the object, as a handler that
// replaces a program-wide object does: the call still ends, and the object goes after it.
TEST_P(ProbeTest, AnEventThatDropsTheCallersLastReferenceLetsTheCallEnd) {
  struct DroppingSink : EventSink {
    ObjectRef* held = nullptr;
    std::weak_ptr<Dispatch> watched;
    bool aliveAfterTheDrop = false;
    void onEvent(int, DispId, std::vector<Variant>&) override {
      held->reset();
      aliveAfterTheDrop = !watched.expired();
    }
  };
  auto sink = std::make_shared<DroppingSink>();
  sink->held = &m_probe;
  sink->watched = m_probe;
  m_probe->advise(sink);

  Dispatch& probe = *m_probe;
  std::vector<Variant> args{Variant("x")};
  EXPECT_EQ(probe.invoke(probe.idOfName("RaiseEvents"), InvokeKind::Method, args), Variant("x"));
  EXPECT_TRUE(sink->aliveAfterTheDrop);
  EXPECT_TRUE(sink->watched.expired());
}

// A sink whose process went away (here: disconnected from its clients) is dropped at the next
// event.
TEST_P(ProbeTest, SinkThatIsGoneIsDropped) {
  if (!crossProcess()) GTEST_SKIP() << "a sink in the same process cannot go away";
  auto marking = std::make_shared<MarkingSink>("+");
  m_probe->advise(marking);

  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(dynamic_cast<ComDispatch&>(*m_probe).get()->QueryInterface(IID_PPV_ARGS(&container)),
            S_OK);
  ASSERT_EQ(container->FindConnectionPoint(kProbeEventsIid, &point), S_OK);
  ComPtr<IDispatch> gone = exposeObject(std::make_shared<Thing>());
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(gone.Get(), &cookie), S_OK);
  EXPECT_EQ(getProperty(m_probe, "SinkCount"), Variant(int32_t{2}));
  CoDisconnectObject(gone.Get(), 0);

  EXPECT_EQ(callMethod(m_probe, "RaiseEvents", {"x"}), Variant("x+"));
  EXPECT_EQ(getProperty(m_probe, "SinkCount"), Variant(int32_t{1}));
}

TEST_P(ProbeTest, ServerThatEndsMidCallGivesAnErrorNotACrash) {
  if (!crossProcess()) GTEST_SKIP() << "needs a server process";
  // The call in flight fails as an automation error ("The remote procedure call failed."); once the
  // server is known to be gone, calls give 462 as a Basic client reports it.
  EXPECT_EQ(errorNumberOf([&] { callMethod(m_probe, "Die"); }), kRpcCallFailed);
  EXPECT_EQ(errorNumberOf([&] { getProperty(m_probe, "Text"); }), 462);
}

INSTANTIATE_TEST_SUITE_P(Com, ProbeTest,
                         ::testing::Values(Where::InProcess, Where::LocalServer,
                                           Where::OtherBitness),
                         whereName);

// A server killed from outside (a crash) while a client waits in a long call.
TEST(ComLocalServerTest, ServerKilledDuringALongCallGivesAnError) {
  ComApartment apartment;
  ComAutomation automation;
  const LocalServerClass victimClass = testing::victimClass();
  registerLocalServerClass(victimClass, testServerPath(), "/victim " + guidText(victimClass.clsid));
  ObjectRef victim = automation.createObject(victimClass.progId);
  const auto pid = static_cast<DWORD>(getProperty(victim, "ProcessId").get<int32_t>());
  HANDLE server = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
  ASSERT_NE(server, nullptr);
  std::thread killer([server] {
    Sleep(300);
    TerminateProcess(server, 9);
  });
  const int number = errorNumberOf([&] { callMethod(victim, "Hang", {int32_t{60000}}); });
  killer.join();
  EXPECT_EQ(number, kRpcCallFailed);
  EXPECT_EQ(errorNumberOf([&] { callMethod(victim, "Echo", {"x"}); }), 462);
  victim.reset();
  CloseHandle(server);
  unregisterLocalServerClass(victimClass);
}

// A call its server does not answer within the limit fails at the limit, while this thread handles
// what is sent to it; a further call while the server still hangs fails the same way, and the
// server's objects work again once it has answered.
TEST(ComCallLimit, ACallPastTheLimitFailsAndTheServerWorksAgainOnceItAnswers) {
  using namespace std::chrono_literals;
  ComApartment apartment;
  ComAutomation automation(500ms);
  // A class of its own: the killed victim's stays registered with Wine's COM for the session.
  const LocalServerClass slowClass =
      sizeof(void*) == 8
          ? LocalServerClass{{0x5d0c8a41,
                              0x2f6e,
                              0x4b8d,
                              {0x9a, 0x31, 0x7e, 0x44, 0x0b, 0xc2, 0x19, 0x6f}},
                             "MorvaneTest.Slow64",
                             "Morvane COM test, slow"}
          : LocalServerClass{
                {0x3b7e21d9, 0x84c5, 0x4f0a, {0xb6, 0x5e, 0x12, 0xd8, 0x3c, 0x97, 0xa4, 0x50}},
                "MorvaneTest.Slow32",
                "Morvane COM test, slow"};
  registerLocalServerClass(slowClass, testServerPath(), "/victim " + guidText(slowClass.clsid));
  // The server's start takes longer than the short limit: it is started without one.
  ComAutomation patient;
  ObjectRef first = patient.createObject(slowClass.progId);
  ObjectRef victim = automation.createObject(slowClass.progId);
  const auto pid = static_cast<DWORD>(getProperty(victim, "ProcessId").get<int32_t>());
  HANDLE server = OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(server, nullptr);
  const HWND window =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  // Sent from another thread: this one handles it only while it waits on the call.
  bool answered = false;
  std::thread sender([&] {
    DWORD_PTR ignored = 0;
    answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored) != 0;
  });
  const RuntimeError timedOut = errorOf([&] { callMethod(victim, "Hang", {int32_t{4000}}); });
  sender.join();
  EXPECT_EQ(timedOut.number(), kCallTimedOut);
  EXPECT_EQ(timedOut.description(), callTimedOutError().description());
  EXPECT_TRUE(answered);
  EXPECT_EQ(errorNumberOf([&] { callMethod(victim, "Echo", {"x"}); }), kCallTimedOut);

  EXPECT_TRUE(wintest::waitUntil(
      [&] { return ignoreErrors([&] { callMethod(victim, "Echo", {"x"}); }); }, 10s));
  EXPECT_EQ(callMethod(victim, "Echo", {"y"}), Variant("y"));
  victim.reset();
  first.reset();
  EXPECT_EQ(WaitForSingleObject(server, 20000), WAIT_OBJECT_0) << "released by the server's end";
  CloseHandle(server);
  DestroyWindow(window);
  unregisterLocalServerClass(slowClass);
}

}  // namespace
}  // namespace morvane::win32::testing
