// The simulated COM plumbing: ProgID creation, late-bound members and event sinks.
#include "platform/sim/sim_automation.h"

#include <gtest/gtest.h>

#include "tests/platform/error_number.h"

namespace morvane::sim {
namespace {

using morvane::testing::errorOf;

// A small object with one of each kind of member.
class Sample : public SimDispatch {
 public:
  Sample() : SimDispatch("Sample") {
    addMethod("Add", 10, 1, 2, [](Args& args) -> Variant {
      int32_t sum = 0;
      for (const Variant& a : args) sum += a.get<int32_t>();
      return sum;
    });
    addProperty("Caption", 11, 0, [this](Args&) { return Variant(m_caption); },
                [this](Args& args) { m_caption = args[0].get<std::string>(); });
    addProperty("Item", 12, 1, [](Args& args) { return Variant("item " + args[0].get<std::string>()); });
    addMethod("Bump", 13, 1, [](Args& args) -> Variant {
      args[0] = Variant(args[0].get<int32_t>() + 1);  // by reference
      return {};
    });
    addEvent(1, 101, "Click");
    addEvent(2, 102, "DblClick");
  }
  std::string m_caption = "start";
};

class Plain : public SimDispatch {
 public:
  Plain() : SimDispatch("Plain") {}
};

TEST(SimAutomationTest, CreatesRegisteredClassesWhateverTheLetterCase) {
  SimAutomation automation;
  automation.registerClass("Vendor.Thing", [] { return std::make_shared<Sample>(); });
  EXPECT_TRUE(automation.isRegistered("VENDOR.thing"));
  ObjectRef a = automation.createObject("vendor.THING");
  ObjectRef b = automation.createObject("Vendor.Thing");
  ASSERT_TRUE(a);
  EXPECT_NE(a, b);
  EXPECT_EQ(automation.createdCount("VENDOR.THING"), 2);
}

TEST(SimAutomationTest, CreationFailures) {
  SimAutomation automation;
  automation.registerClass("Vendor.Thing", [] { return std::make_shared<Sample>(); });
  automation.registerClass("Vendor.Broken", []() -> ObjectRef {
    throw automationError(static_cast<int32_t>(0x80080005), "Server execution failed");
  });

  RuntimeError unknown = errorOf([&] { automation.createObject("Vendor.Missing"); });
  EXPECT_EQ(unknown.number(), 429);
  EXPECT_EQ(unknown.description(), "ActiveX component can't create object");

  EXPECT_EQ(errorOf([&] { automation.createObject("Vendor.Broken"); }).number(), -2146959355);

  automation.failCreation("vendor.thing");
  EXPECT_EQ(errorOf([&] { automation.createObject("Vendor.Thing"); }).number(), 429);
  automation.failCreation("Vendor.Thing", RuntimeError(70));
  EXPECT_EQ(errorOf([&] { automation.createObject("Vendor.Thing"); }).number(), 70);
  automation.clearCreationFailure("Vendor.Thing");
  EXPECT_TRUE(automation.createObject("Vendor.Thing"));
  EXPECT_EQ(automation.createdCount("Vendor.Thing"), 1);

  automation.unregisterClass("Vendor.Thing");
  EXPECT_EQ(errorOf([&] { automation.createObject("Vendor.Thing"); }).number(), 429);
}

TEST(SimDispatchTest, MembersByNameAndId) {
  auto obj = std::make_shared<Sample>();
  ObjectRef ref = obj;
  EXPECT_EQ(obj->idOfName("cAPTION"), 11);
  EXPECT_EQ(callMethod(ref, "add", {int32_t{2}, int32_t{3}}), Variant(int32_t{5}));
  EXPECT_EQ(callMethodById(ref, 10, {int32_t{4}}), Variant(int32_t{4}));
  // A Basic client reads a property with the same call as a method.
  EXPECT_EQ(callMethod(ref, "Caption"), Variant("start"));
  putProperty(ref, "CAPTION", "new");
  EXPECT_EQ(getPropertyById(ref, 11), Variant("new"));
  EXPECT_EQ(getProperty(ref, "Item", {"x"}), Variant("item x"));

  std::vector<Variant> args{int32_t{41}};
  obj->invoke(13, InvokeKind::Method, args);
  EXPECT_EQ(args[0], Variant(int32_t{42}));
}

TEST(SimDispatchTest, WrongCallsFailAsBasicReportsThem) {
  ObjectRef ref = std::make_shared<Sample>();
  struct Case {
    const char* what;
    std::function<void()> call;
    int32_t number;
  };
  const std::vector<Case> cases = {
      {"unknown name", [&] { callMethod(ref, "Missing"); }, 438},
      {"unknown id", [&] { callMethodById(ref, 99); }, 438},
      {"too few arguments", [&] { callMethod(ref, "Add"); }, 450},
      {"too many arguments", [&] { callMethod(ref, "Add", {int32_t{1}, int32_t{2}, int32_t{3}}); }, 450},
      {"index missing", [&] { getProperty(ref, "Item"); }, 450},
      {"put on a method", [&] { putProperty(ref, "Add", int32_t{1}); }, 438},
      {"put on a read-only property", [&] { putProperty(ref, "Item", "x"); }, 438},
      {"call on nothing", [&] { callMethod(nullptr, "Add", {int32_t{1}}); }, 91},
      {"nothing as object", [&] { asObject(Variant()); }, 91},
      {"text as object", [&] { asObject(Variant("x")); }, 424},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(errorOf(c.call).number(), c.number) << c.what;
  }
}

TEST(SimDispatchTest, FailingMembersAndTheInvokeHook) {
  auto obj = std::make_shared<Sample>();
  ObjectRef ref = obj;
  obj->failMember("caption");
  RuntimeError e = errorOf([&] { getProperty(ref, "Caption"); });
  EXPECT_EQ(e.number(), -2147467259);
  EXPECT_EQ(e.description(), "Automation error\r\nUnspecified error");
  // Argument checks come first: a wrong call is still a wrong call.
  EXPECT_EQ(errorOf([&] { getProperty(ref, "Caption", {int32_t{1}}); }).number(), 450);
  obj->clearFailure("Caption");
  EXPECT_EQ(getProperty(ref, "Caption"), Variant("start"));

  std::vector<std::string> seen;
  obj->beforeInvoke = [&](const std::string& member) {
    seen.push_back(member);
    if (member == "Add") throw RuntimeError(5);
  };
  getProperty(ref, "caption");
  EXPECT_EQ(errorOf([&] { callMethod(ref, "Add", {int32_t{1}}); }).number(), 5);
  EXPECT_EQ(seen, (std::vector<std::string>{"Caption", "Add"}));
}

TEST(SimDispatchTest, EventsReachAdvisedSinksByPosition) {
  auto obj = std::make_shared<Sample>();
  auto first = std::make_shared<RecordingSink>();
  auto second = std::make_shared<RecordingSink>();
  const uint32_t c1 = obj->advise(first);
  obj->advise(second);
  obj->raiseEvent(2, {int32_t{7}});
  ASSERT_EQ(first->received().size(), 1u);
  EXPECT_EQ(first->received()[0].position, 2);
  EXPECT_EQ(first->received()[0].id, 102);
  EXPECT_EQ(first->received()[0].args, std::vector<Variant>{int32_t{7}});

  obj->unadvise(c1);
  obj->raiseEvent(1);
  EXPECT_EQ(first->positions(), std::vector<int>{2});
  EXPECT_EQ(second->positions(), (std::vector<int>{2, 1}));

  EXPECT_EQ(errorOf([&] { std::make_shared<Plain>()->advise(first); }).number(), 438);
}

TEST(SimDispatchTest, SinkUnadvisedDuringAnEventMissesIt) {
  auto obj = std::make_shared<Sample>();
  auto late = std::make_shared<RecordingSink>();
  auto early = std::make_shared<RecordingSink>();
  uint32_t lateCookie = 0;
  early->onReceive = [&](const RecordingSink::Received&) { obj->unadvise(lateCookie); };
  obj->advise(early);
  lateCookie = obj->advise(late);
  obj->raiseEvent(1);
  EXPECT_EQ(early->positions(), std::vector<int>{1});
  EXPECT_TRUE(late->received().empty());
  EXPECT_EQ(obj->sinkCount(), 1u);
}

}  // namespace
}  // namespace morvane::sim
