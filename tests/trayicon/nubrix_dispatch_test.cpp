#include "trayicon/nubrix_dispatch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/runtime_error.h"
#include "platform/sim/sim_automation.h"
#include "tests/trayicon/tray_test_support.h"
#include "trayicon/nubrix_members.h"
#include "trayicon/sim/sim_nubrix.h"

namespace morvane {
namespace {

namespace d = nubrix::dispid;

int errorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

class NubrixDispatchTest : public ::testing::Test {
 protected:
  NubrixDispatchTest() {
    sim::registerNubrix(automation, world.services());
    control = automation.createObject("NubrixControl.Nubrix");
    sink = std::make_shared<sim::RecordingSink>();
    control->advise(sink);
  }

  Hwnd controlWindow() {
    return static_cast<Hwnd>(getPropertyById(control, d::kHWnd).get<int32_t>());
  }

  test::TrayWorld world;
  sim::SimAutomation automation;
  ObjectRef control;
  std::shared_ptr<sim::RecordingSink> sink;
};

TEST_F(NubrixDispatchTest, Names_GiveTheirDispatchIdsWithoutLetterCase) {
  for (const auto& m : nubrix::kMembers) {
    std::string upper(m.name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(control->idOfName(upper), m.id) << m.name;
  }
  EXPECT_EQ(control->idOfName("tooltipicon1"), 0x68030004);
  EXPECT_EQ(errorOf([&] { control->idOfName("Blink"); }), err::kNotSupported);
}

TEST_F(NubrixDispatchTest, TheSwitchersCalls_ShowTheIconWithItsTooltip) {
  putPropertyById(control, d::kToolTipIcon1, "Morvane in Stealth Mode. Click to open.");
  callMethodById(control, d::kAddIcon);
  ASSERT_EQ(world.tray.icons().size(), 1u);
  EXPECT_EQ(world.tray.icons()[0].hwnd, controlWindow());
  EXPECT_EQ(world.tray.icons()[0].tip, "Morvane in Stealth Mode. Click to open.");
  callMethodById(control, d::kRemoveIcon);
  EXPECT_TRUE(world.tray.icons().empty());
  EXPECT_EQ(sink->positions(),
            (std::vector<int>{nubrix::event::kIconAdd, nubrix::event::kIconRemove}));
}

TEST_F(NubrixDispatchTest, Events_CarryPositionIdAndButton) {
  callMethodById(control, d::kAddIcon);
  sink->clear();
  ASSERT_TRUE(world.tray.doubleClick(controlWindow(), 100));
  const auto& r = sink->received();
  ASSERT_EQ(r.size(), 4u);
  const std::vector<std::pair<int, DispId>> expected{{nubrix::event::kMouseOver, d::kMouseOver},
                                                     {nubrix::event::kClick, d::kClick},
                                                     {nubrix::event::kDblClick, d::kDblClick},
                                                     {nubrix::event::kClick, d::kClick}};
  for (size_t i = 0; i < r.size(); ++i) {
    EXPECT_EQ(r[i].position, expected[i].first) << i;
    EXPECT_EQ(r[i].id, expected[i].second) << i;
  }
  EXPECT_TRUE(r[0].args.empty());
  EXPECT_EQ(r[1].args, std::vector<Variant>{Variant(int16_t{1})});
  EXPECT_EQ(r[2].args, std::vector<Variant>{Variant(int16_t{1})});
}

TEST_F(NubrixDispatchTest, BlinkEvent_ComesWithEachAnimationStep) {
  putPropertyById(control, d::kToolTipIcon1, "one");
  putPropertyById(control, d::kToolTipIcon2, "two");
  putPropertyById(control, d::kInterval, int32_t{300});
  putPropertyById(control, d::kIconAnimation, true);
  callMethodById(control, d::kAddIcon);
  sink->clear();
  world.desktop.advance(600);
  EXPECT_EQ(sink->positions(), (std::vector<int>{nubrix::event::kBlink, nubrix::event::kBlink}));
  EXPECT_EQ(getPropertyById(control, d::kIconAnimation), Variant(true));
}

TEST_F(NubrixDispatchTest, Properties_ReadAndWriteThroughAutomation) {
  putPropertyById(control, d::kToolTipIcon2, int32_t{42});  // Let converts as Basic does
  EXPECT_EQ(getPropertyById(control, d::kToolTipIcon2), Variant("42"));
  putPropertyById(control, d::kInterval, "250");
  EXPECT_EQ(getPropertyById(control, d::kInterval), Variant(int32_t{250}));

  // Pictures go by reference as picture objects; their Handle is the image handle.
  std::vector<Variant> args{pictureToVariant(Picture{0x3003})};
  control->invoke(d::kIcon2, InvokeKind::PropertyPutRef, args);
  const Variant icon2 = getPropertyById(control, d::kIcon2);
  EXPECT_EQ(getProperty(asObject(icon2), "Handle"), Variant(int32_t{0x3003}));
  // An empty slot still gives a picture object, with handle 0.
  const Variant icon1 = getPropertyById(control, d::kIcon1);
  EXPECT_EQ(getPropertyById(asObject(icon1), PictureObject::kHandle), Variant(int32_t{0}));

  EXPECT_EQ(callMethodById(control, d::kOsVersion), Variant("5.1"));
  EXPECT_EQ(getProperty(control, "OsVersion"), Variant("5.1"));
}

// A picture object as a container hands one in: Handle and Type, and nothing else.
class ContainerPicture : public sim::SimDispatch {
 public:
  ContainerPicture(int32_t handle, PictureType type) : SimDispatch("StdPicture") {
    addProperty("Handle", PictureObject::kHandle, 0, [=](Args&) { return Variant(handle); });
    addProperty("Type", PictureObject::kType, 0,
                [=](Args&) { return Variant(static_cast<int16_t>(type)); });
  }
};

TEST_F(NubrixDispatchTest, Pictures_AreKeptAsHandedInAndOnlyIconsAreTaken) {
  const ObjectRef icon = std::make_shared<ContainerPicture>(0x5005, PictureType::Icon);
  std::vector<Variant> args{Variant(icon)};
  control->invoke(d::kIcon1, InvokeKind::PropertyPutRef, args);
  EXPECT_EQ(getPropertyById(control, d::kIcon1), Variant(icon)) << "the very object comes back";
  callMethodById(control, d::kAddIcon);
  ASSERT_EQ(world.tray.icons().size(), 1u);
  EXPECT_EQ(world.tray.icons()[0].icon, 0x5005u);

  // A picture without an image (Type None) is no image, but it stays the slot's picture, also
  // across the steps in which slot 2 lends itself slot 1's image.
  const ObjectRef empty = std::make_shared<ContainerPicture>(0, PictureType::None);
  args = {Variant(empty)};
  control->invoke(d::kIcon2, InvokeKind::PropertyPutRef, args);
  putPropertyById(control, d::kToolTipIcon2, "second");
  callMethodById(control, d::kChangeIcon);
  EXPECT_EQ(world.tray.icons()[0].icon, 0x5005u);
  EXPECT_EQ(world.tray.icons()[0].tip, "second");
  EXPECT_EQ(getPropertyById(control, d::kIcon2), Variant(empty));

  // The notification area shows icons only: a bitmap is refused, and the slot keeps its icon.
  args = {Variant(ObjectRef(std::make_shared<ContainerPicture>(0x6006, PictureType::Bitmap)))};
  EXPECT_EQ(errorOf([&] { control->invoke(d::kIcon1, InvokeKind::PropertyPutRef, args); }),
            err::kInvalidPropertyValue);
  EXPECT_EQ(getPropertyById(control, d::kIcon1), Variant(icon));
  callMethodById(control, d::kRemoveIcon);
}

TEST_F(NubrixDispatchTest, WrongCalls_FailAsAutomationDoes) {
  EXPECT_EQ(errorOf([&] { putPropertyById(control, d::kHWnd, int32_t{5}); }), err::kNotSupported);
  EXPECT_EQ(errorOf([&] { callMethodById(control, d::kAddIcon, {Variant(1)}); }),
            err::kWrongArguments);
  EXPECT_EQ(errorOf([&] { putPropertyById(control, d::kAddIcon, int32_t{1}); }),
            err::kNotSupported);
  EXPECT_EQ(errorOf([&] { callMethodById(control, 0x12345); }), err::kNotSupported);
  EXPECT_EQ(errorOf([&] { putPropertyById(control, d::kInterval, "soon"); }), err::kTypeMismatch);
  EXPECT_EQ(errorOf([&] { putPropertyById(control, d::kInterval, int32_t{-5}); }),
            err::kInvalidPropertyValue);
}

TEST_F(NubrixDispatchTest, SavedState_IsLoadedByEveryControlTheFactoryMakes) {
  auto bag = std::make_shared<MemoryPropertyBag>();
  bag->set("Icon1", pictureToVariant(Picture{0x4004}));
  sim::registerNubrix(automation, world.services(), bag);
  const ObjectRef placed = automation.createObject("nubrixcontrol.nubrix");
  callMethodById(placed, d::kAddIcon);
  ASSERT_EQ(world.tray.icons().size(), 1u);
  EXPECT_EQ(world.tray.icons()[0].icon, 0x4004u);
  EXPECT_EQ(world.tray.icons()[0].tip, "");
}

TEST_F(NubrixDispatchTest, ASinkThatReleasesTheControlOnClick_LeavesNothingBehind) {
  // The switcher's hand-over: on the first Click it removes the icon and lets the control go.
  callMethodById(control, d::kAddIcon);
  sink->clear();
  const Hwnd hwnd = controlWindow();
  std::weak_ptr<Dispatch> watch = control;
  sink->onReceive = [&](const sim::RecordingSink::Received& r) {
    if (r.position != nubrix::event::kClick || !control) return;
    callMethodById(control, d::kRemoveIcon);
    control.reset();
  };
  EXPECT_TRUE(world.tray.doubleClick(hwnd, 100));
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(world.desktop.isWindow(hwnd));
  EXPECT_TRUE(world.tray.icons().empty());
  // Down, up: the icon was gone before the double-click could be reported.
  EXPECT_EQ(sink->positions(), (std::vector<int>{nubrix::event::kMouseOver, nubrix::event::kClick,
                                                 nubrix::event::kIconRemove}));
}

TEST_F(NubrixDispatchTest, ASinkThatFails_DoesNotStopTheOthers) {
  class FailingSink : public EventSink {
   public:
    void onEvent(int, DispId, std::vector<Variant>&) override {
      throw RuntimeError(err::kTypeMismatch);
    }
  };
  auto second = std::make_shared<sim::RecordingSink>();
  const uint32_t failing = control->advise(std::make_shared<FailingSink>());
  control->advise(second);
  EXPECT_NO_THROW(callMethodById(control, d::kAddIcon));
  EXPECT_EQ(second->positions(), std::vector<int>{nubrix::event::kIconAdd});
  control->unadvise(failing);
  sink->clear();
  callMethodById(control, d::kRemoveIcon);
  EXPECT_EQ(sink->positions(), std::vector<int>{nubrix::event::kIconRemove});
}

}  // namespace
}  // namespace morvane
