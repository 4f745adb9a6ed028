#include "trayicon/Nubrix.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/error_trap.h"
#include "platform/runtime_error.h"
#include "platform/win_constants.h"
#include "tests/trayicon/tray_test_support.h"
#include "trayicon/frmAbout.h"
#include "trayicon/mdlNubrix.h"

namespace morvane {
namespace {

using namespace morvane::win;

const Picture kFirst{0x1001};
const Picture kSecond{0x2002};

class NubrixTest : public ::testing::Test {
 protected:
  NubrixTest() {
    nubrix.onMouseOver = [this] { events.push_back("MouseOver"); };
    nubrix.onClick = [this](int16_t& b) { events.push_back("Click " + std::to_string(b)); };
    nubrix.onDblClick = [this](int16_t& b) { events.push_back("DblClick " + std::to_string(b)); };
    nubrix.onIconAdd = [this] { events.push_back("IconAdd"); };
    nubrix.onIconRemove = [this] { events.push_back("IconRemove"); };
    nubrix.onBlink = [this] { events.push_back("Blink"); };
    // Shell calls join the event log, so tests can see what came first.
    world.tray.onCall = [this](const sim::TrayCall& c) {
      events.push_back("shell " + std::to_string(c.message) + " " + std::to_string(c.data.hIcon) +
                       " " + c.tip());
    };
  }

  const sim::TrayIcon* icon() const { return world.tray.find(nubrix.hWnd(), mdlNubrix::kIconId); }
  std::string shell(uint32_t action, Picture p, const std::string& tip) const {
    return "shell " + std::to_string(action) + " " + std::to_string(p.handle) + " " + tip;
  }

  test::TrayWorld world;
  Nubrix nubrix{world.services()};
  std::vector<std::string> events;
};

TEST_F(NubrixTest, AddIcon_FillsTheFirstLayoutRecordAndCutsTheTooltipTo63) {
  const std::string tip70 = std::string(60, 'x') + "0123456789";
  nubrix.setIcon1(kFirst);
  nubrix.setToolTipIcon1(tip70);
  nubrix.AddIcon();

  ASSERT_EQ(world.tray.calls().size(), 1u);
  const NotifyIconDataA& d = world.tray.calls()[0].data;
  EXPECT_EQ(world.tray.calls()[0].message, NIM_ADD);
  EXPECT_EQ(d.cbSize, 88u);
  EXPECT_EQ(d.hWnd, nubrix.hWnd());
  EXPECT_EQ(d.uID, 100u);
  EXPECT_EQ(d.uFlags, 7u);
  EXPECT_EQ(d.uCallbackMessage, 512u);
  EXPECT_EQ(d.hIcon, kFirst.handle);
  EXPECT_EQ(d.szTip[63], '\0');
  ASSERT_NE(icon(), nullptr);
  EXPECT_EQ(icon()->tip, tip70.substr(0, 63));
  EXPECT_EQ(icon()->icon, kFirst.handle);
  EXPECT_EQ(events.front(), "IconAdd");  // raised before the shell is asked
  EXPECT_EQ(mdlNubrix::currentIcon(), kFirst.handle);
}

TEST_F(NubrixTest, AddIcon_WithAnEmptySlotAddsAnIconWithoutImage) {
  nubrix.AddIcon();
  ASSERT_NE(icon(), nullptr);
  EXPECT_EQ(icon()->icon, 0u);
}

TEST_F(NubrixTest, RemoveIcon_SendsTheFullRecordOfTheShowingSlotAndKeepsItsState) {
  nubrix.setIcon1(kFirst);
  nubrix.setIcon2(kSecond);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.AddIcon();
  nubrix.ChangeIcon();  // slot 2 shows
  events.clear();
  nubrix.RemoveIcon();

  EXPECT_EQ(events, (std::vector<std::string>{"IconRemove", shell(NIM_DELETE, kSecond, "two")}));
  EXPECT_EQ(world.tray.calls().back().data.uFlags, 7u);
  EXPECT_EQ(icon(), nullptr);
  EXPECT_EQ(mdlNubrix::currentIcon(), kSecond.handle);
  // No record is kept of the icon's presence: a second removal is sent and refused.
  nubrix.RemoveIcon();
  EXPECT_FALSE(world.tray.calls().back().result);
}

TEST_F(NubrixTest, Animation_AlternatesEveryIntervalWithBlinkFirst) {
  nubrix.setIcon1(kFirst);
  nubrix.setIcon2(kSecond);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.AddIcon();
  nubrix.setInterval(500);
  nubrix.setIconAnimation(true);
  events.clear();

  world.desktop.advance(499);
  EXPECT_TRUE(events.empty());
  world.desktop.advance(1);
  world.desktop.advance(500);
  world.desktop.advance(500);
  EXPECT_EQ(events, (std::vector<std::string>{"Blink", shell(NIM_MODIFY, kSecond, "two"),  //
                                              "Blink", shell(NIM_MODIFY, kFirst, "one"),   //
                                              "Blink", shell(NIM_MODIFY, kSecond, "two")}));
  EXPECT_EQ(icon()->icon, kSecond.handle);
  EXPECT_EQ(icon()->tip, "two");
}

TEST_F(NubrixTest, StoppingTheAnimation_BringsSlotOneBackAtOnceAndStopsTicking) {
  nubrix.setIcon1(kFirst);
  nubrix.setIcon2(kSecond);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.AddIcon();
  nubrix.setInterval(500);
  nubrix.setIconAnimation(true);
  world.desktop.advance(500);
  ASSERT_EQ(icon()->icon, kSecond.handle);
  events.clear();

  nubrix.setIconAnimation(false);
  EXPECT_EQ(events, (std::vector<std::string>{shell(NIM_MODIFY, kFirst, "one")}));
  EXPECT_FALSE(nubrix.IconAnimation());
  world.desktop.advance(5000);
  EXPECT_EQ(events.size(), 1u);

  // Stopping while slot 1 shows sends nothing.
  nubrix.setIconAnimation(true);
  nubrix.setIconAnimation(false);
  EXPECT_EQ(events.size(), 1u);
}

TEST_F(NubrixTest, OneImageTwoTexts_TooltipAlternatesOnTheSameImage) {
  nubrix.setIcon1(kFirst);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.AddIcon();
  nubrix.setInterval(250);
  nubrix.setIconAnimation(true);

  const char* expected[] = {"two", "one", "two", "one"};
  for (const char* tip : expected) {
    world.desktop.advance(250);
    EXPECT_EQ(icon()->icon, kFirst.handle);
    EXPECT_EQ(icon()->tip, tip);
    EXPECT_TRUE(nubrix.Icon2().none()) << "slot 2 gives the borrowed image back";
  }
  // Stopping while slot 2's text shows brings slot 1's text back.
  world.desktop.advance(250);
  ASSERT_EQ(icon()->tip, "two");
  nubrix.setIconAnimation(false);
  EXPECT_EQ(icon()->tip, "one");
  EXPECT_EQ(icon()->icon, kFirst.handle);
}

TEST_F(NubrixTest, ChangeIcon_WithOneImageAndNoSecondTextDoesNothing) {
  nubrix.setIcon1(kFirst);
  nubrix.setToolTipIcon1("one");
  nubrix.AddIcon();
  const size_t calls = world.tray.calls().size();
  nubrix.ChangeIcon();
  EXPECT_EQ(world.tray.calls().size(), calls);
  EXPECT_TRUE(nubrix.Icon2().none());
  EXPECT_EQ(nubrix.ToolTipIcon2(), "");
  EXPECT_EQ(mdlNubrix::currentIcon(), kFirst.handle);
}

TEST_F(NubrixTest, ChangeIcon_CopiesTheFirstTextIntoAnEmptySecondForGood) {
  nubrix.setIcon1(kFirst);
  nubrix.setIcon2(kSecond);
  nubrix.setToolTipIcon1("one");
  nubrix.AddIcon();
  nubrix.ChangeIcon();
  EXPECT_EQ(nubrix.ToolTipIcon2(), "one");
  EXPECT_EQ(icon()->icon, kSecond.handle);
  EXPECT_EQ(icon()->tip, "one");
  nubrix.setToolTipIcon1("changed");
  nubrix.ChangeIcon();
  EXPECT_EQ(nubrix.ToolTipIcon2(), "one");
}

TEST_F(NubrixTest, RefreshToolTip_ResendsTheTextOfTheShowingSlot) {
  nubrix.setIcon1(kFirst);
  nubrix.setIcon2(kSecond);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.AddIcon();
  nubrix.setToolTipIcon1("one, renamed");
  nubrix.RefreshToolTip();
  EXPECT_EQ(icon()->tip, "one, renamed");
  EXPECT_EQ(icon()->icon, kFirst.handle);

  nubrix.ChangeIcon();
  nubrix.setToolTipIcon2("two, renamed");
  nubrix.RefreshToolTip();
  EXPECT_EQ(icon()->tip, "two, renamed");
  EXPECT_EQ(icon()->icon, kSecond.handle);

  // Neither slot showing: nothing is sent.
  mdlNubrix::setCurrentIcon(0x7777);
  const size_t calls = world.tray.calls().size();
  nubrix.RefreshToolTip();
  EXPECT_EQ(world.tray.calls().size(), calls);
}

TEST_F(NubrixTest, RefreshToolTip_DuringABorrowedStepKeepsTheImage) {
  nubrix.setIcon1(kFirst);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.AddIcon();
  nubrix.ChangeIcon();  // slot 2's text on slot 1's image
  nubrix.setToolTipIcon2("two, renamed");
  nubrix.RefreshToolTip();
  EXPECT_EQ(icon()->tip, "two, renamed");
  EXPECT_EQ(icon()->icon, kFirst.handle);
  nubrix.ChangeIcon();  // and the next step still goes back to slot 1's text
  EXPECT_EQ(icon()->tip, "one");
}

TEST_F(NubrixTest, CurrentIcon_IsSharedByTheControlsOfAThreadOnly) {
  nubrix.setIcon1(kFirst);
  nubrix.setIcon2(kSecond);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.AddIcon();
  Nubrix other{world.services()};
  other.setIcon1(Picture{0x3003});
  other.AddIcon();
  // The other control's add moved the thread's handle: this one no longer sees slot 1 showing.
  nubrix.RemoveIcon();
  EXPECT_EQ(world.tray.calls().back().tip(), "two");

  Hicon seenElsewhere = 1;
  std::thread([&] { seenElsewhere = mdlNubrix::currentIcon(); }).join();
  EXPECT_EQ(seenElsewhere, 0u);
  EXPECT_EQ(mdlNubrix::currentIcon(), 0x3003u);
}

TEST_F(NubrixTest, ShellNotifications_DecodeTheMessageNumberFromX) {
  nubrix.AddIcon();
  struct Case {
    uint32_t mouseMessage;
    const char* event;
  };
  const Case cases[] = {
      {WM_MOUSEMOVE, "MouseOver"},      {WM_LBUTTONDOWN, "MouseOver"},
      {WM_LBUTTONUP, "Click 1"},        {WM_LBUTTONDBLCLK, "DblClick 1"},
      {WM_RBUTTONDOWN, "MouseOver"},    {WM_RBUTTONUP, "Click 2"},
      {WM_RBUTTONDBLCLK, "DblClick 2"}, {WM_MBUTTONDOWN, "MouseOver"},
      {WM_MBUTTONUP, "MouseOver"},      {0x0209, "MouseOver"},
  };
  for (int32_t tpp : {15, 12}) {
    world.system.twipsPerPixel = tpp;
    for (const Case& c : cases) {
      events.clear();
      ASSERT_TRUE(world.tray.notify(nubrix.hWnd(), 100, c.mouseMessage));
      EXPECT_EQ(events, std::vector<std::string>{c.event})
          << "message " << c.mouseMessage << " at " << tpp << " twips per pixel";
    }
  }
}

TEST_F(NubrixTest, MouseMove_RoundsTwipsToTheNearestPixel) {
  struct Case {
    float x;
    const char* event;
  };
  const Case cases[] = {
      {514 * 15.0f, "Click 1"},          {514 * 15.0f + 7.0f, "Click 1"},  // 514.47
      {514 * 15.0f - 7.0f, "Click 1"},                                     // 513.53
      {514 * 15.0f - 8.0f, "MouseOver"},                                   // 513.47
      {517 * 15.0f + 7.4f, "Click 2"},
  };
  for (const Case& c : cases) {
    events.clear();
    nubrix.MouseMove(0, 0, c.x, 0);
    EXPECT_EQ(events, std::vector<std::string>{c.event}) << c.x;
  }
}

TEST_F(NubrixTest, DoubleClickThroughTheShell_RaisesClickDblClickClick) {
  nubrix.AddIcon();
  events.clear();
  ASSERT_TRUE(world.tray.doubleClick(nubrix.hWnd(), 100));
  EXPECT_EQ(events, (std::vector<std::string>{"MouseOver", "Click 1", "DblClick 1", "Click 1"}));
  events.clear();
  ASSERT_TRUE(world.tray.click(nubrix.hWnd(), 100, sim::MouseButton::Right));
  EXPECT_EQ(events, (std::vector<std::string>{"MouseOver", "Click 2"}));
  events.clear();
  ASSERT_TRUE(world.tray.click(nubrix.hWnd(), 100, sim::MouseButton::Middle));
  EXPECT_EQ(events, (std::vector<std::string>{"MouseOver", "MouseOver"}));
}

TEST_F(NubrixTest, OsVersion_GivesMajorDotMinorOrZerosWhenTheCallFails) {
  EXPECT_EQ(nubrix.OsVersion(), Variant("5.1"));  // also: the system accepted the record size
  world.system.osVersion = {10, 0, 19045};
  EXPECT_EQ(nubrix.OsVersion(), Variant("10.0"));
  world.system.versionCallFails = true;
  EXPECT_EQ(nubrix.OsVersion(), Variant("0.0"));
}

TEST_F(NubrixTest, IconAnimation_InADesignerIsRefusedWithTheMessage) {
  world.site.runMode = false;
  nubrix.setInterval(100);
  nubrix.setIconAnimation(true);
  ASSERT_EQ(world.boxes.shown().size(), 1u);
  const sim::ShownBox& box = world.boxes.shown()[0];
  EXPECT_EQ(box.text, "This property can not be set at Design Time.");
  EXPECT_EQ(box.caption, "Nubrix Control");
  EXPECT_EQ(box.buttons, MsgButtons::Ok);
  EXPECT_EQ(box.icon, MsgIcon::Critical);
  EXPECT_FALSE(nubrix.IconAnimation());
  EXPECT_FALSE(nubrix.TMR.running());
  EXPECT_EQ(world.site.changes.back(), "IconAnimation");
}

TEST_F(NubrixTest, EveryWrite_MarksItsPropertyChanged) {
  nubrix.setIcon1(kFirst);
  nubrix.setToolTipIcon1("a");
  nubrix.setIcon2(kSecond);
  nubrix.setToolTipIcon2("b");
  nubrix.setIconAnimation(false);
  nubrix.setInterval(10);
  EXPECT_EQ(world.site.changes,
            (std::vector<std::string>{"Icon1", "ToolTipIcon1", "Icon2", "ToolTipIcon2",
                                      "IconAnimation", "Interval"}));
  EXPECT_THROW(nubrix.setInterval(-1), RuntimeError);
  EXPECT_EQ(nubrix.Interval(), 10);
}

TEST_F(NubrixTest, Properties_SaveAndLoadInOrderAndBackAgain) {
  nubrix.setIcon1(kFirst);
  nubrix.setToolTipIcon1("one");
  nubrix.setToolTipIcon2("two");
  nubrix.setInterval(750);
  MemoryPropertyBag bag;
  nubrix.WriteProperties(bag);
  const std::vector<std::string> order{"Icon1",        "ToolTipIcon1",  "Icon2",
                                       "ToolTipIcon2", "IconAnimation", "Interval"};
  EXPECT_EQ(bag.writes(), order);
  EXPECT_FALSE(bag.contains("Icon2"));  // defaults are not stored
  EXPECT_FALSE(bag.contains("IconAnimation"));

  // A designer cannot switch the animation on, but a saved value of true still loads as is.
  bag.set("IconAnimation", Variant(true));
  world.site.runMode = false;
  Nubrix loaded{world.services()};
  loaded.ReadProperties(bag);
  EXPECT_EQ(bag.reads(), order);
  EXPECT_EQ(loaded.Icon1(), kFirst);
  EXPECT_EQ(loaded.ToolTipIcon1(), "one");
  EXPECT_TRUE(loaded.Icon2().none());
  EXPECT_EQ(loaded.ToolTipIcon2(), "two");
  EXPECT_TRUE(loaded.IconAnimation());
  EXPECT_EQ(loaded.Interval(), 750);
  EXPECT_TRUE(world.boxes.shown().empty());
}

TEST_F(NubrixTest, Load_OfAnEmptyBagGivesEmptySlotsAndNoAnimation) {
  MemoryPropertyBag empty;
  Nubrix loaded{world.services()};
  loaded.ReadProperties(empty);
  EXPECT_TRUE(loaded.Icon1().none());
  EXPECT_TRUE(loaded.Icon2().none());
  EXPECT_EQ(loaded.ToolTipIcon1(), "");
  EXPECT_EQ(loaded.ToolTipIcon2(), "");
  EXPECT_FALSE(loaded.IconAnimation());
  EXPECT_EQ(loaded.Interval(), 0);
  EXPECT_EQ(world.desktop.activeTimers(), 0u);
}

TEST_F(NubrixTest, Load_GivesTheDefaultForEachValueThatDoesNotSuitItsProperty) {
  MemoryPropertyBag bag;
  bag.set("Icon1", Variant("not a picture"));
  bag.set("ToolTipIcon1", Variant(ObjectRef(std::make_shared<PictureObject>(kFirst))));
  bag.set("Icon2", pictureToVariant(kSecond));
  bag.set("ToolTipIcon2", Variant(int32_t{42}));  // converts, as Basic's CStr does
  bag.set("IconAnimation", Variant("maybe"));
  bag.set("Interval", Variant(int32_t{-5}));  // the timer refuses it
  Nubrix loaded{world.services()};
  loaded.setInterval(300);
  loaded.ReadProperties(bag);
  EXPECT_TRUE(loaded.Icon1().none());
  EXPECT_EQ(loaded.ToolTipIcon1(), "");
  EXPECT_EQ(loaded.Icon2(), kSecond);
  EXPECT_EQ(loaded.ToolTipIcon2(), "42");
  EXPECT_FALSE(loaded.IconAnimation());
  EXPECT_EQ(loaded.Interval(), 0);

  bag.set("Interval", Variant("soon"));
  bag.set("IconAnimation", Variant(int32_t{1}));
  loaded.ReadProperties(bag);
  EXPECT_EQ(loaded.Interval(), 0);
  EXPECT_TRUE(loaded.IconAnimation());
}

TEST_F(NubrixTest, Resize_KeepsTheControlAtItsFaceButtonsSize) {
  nubrix.setExtent(3000, 200);
  EXPECT_EQ(nubrix.width(), nubrix.cmdTray.width);
  EXPECT_EQ(nubrix.height(), nubrix.cmdTray.height);
  EXPECT_EQ(nubrix.cmdTray.left, 0);
  EXPECT_EQ(nubrix.cmdTray.top, 0);
}

TEST_F(NubrixTest, ControlWindow_IsAChildOfTheFormAndGoesWithTheControl) {
  Hwnd hwnd = 0;
  {
    Nubrix other{world.services()};
    hwnd = other.hWnd();
    ASSERT_TRUE(world.desktop.isWindow(hwnd));
    EXPECT_EQ(world.desktop.getParent(hwnd), world.site.container);
  }
  EXPECT_FALSE(world.desktop.isWindow(hwnd));
}

// How the user closes the about box.
enum class Closing { OkButton, Enter, Escape, CloseBox, NotAtAll };

class NubrixAboutTest : public NubrixTest, public ::testing::WithParamInterface<Closing> {};

TEST_P(NubrixAboutTest, ShowAbout_ShowsTheFormModallyOverTheContainerAndUnloadsItHoweverItCloses) {
  // Sited on a form other than the one its window was made in, as a COM control is sited after
  // it was made.
  world.site.container =
      world.desktop.createWindowA("MorvaneTestForm", "frmAuto", 0, 0, 0, 200, 100, 0, nullptr);
  Hwnd window = 0;
  world.ui.whenModal([&] {
    auto* about = dynamic_cast<frmAbout*>(world.ui.modalForm());
    ASSERT_NE(about, nullptr);
    window = about->hWnd();
    EXPECT_EQ(world.desktop.windowText(window), "About Nubrix Control");
    EXPECT_TRUE(world.desktop.isWindowVisible(window));
    EXPECT_EQ(world.desktop.owner(window), world.site.container)
        << "over the form, not the control";
    EXPECT_EQ(about->imgLogo.picture, frmAbout::kPicture);
    EXPECT_EQ(about->lblTitle.text(), "Nubrix Control");
    EXPECT_EQ(about->lblVersion.text(), "Version 1.1.0");
    EXPECT_FALSE(about->lblCredit.text().empty());
    EXPECT_NE(about->lblContact.text().find(kSupportAddress), std::string::npos);
    // The separator lines run across the box, above and below the credit and contact.
    for (const ui::Line* line : {&about->linTop, &about->linBottom}) {
      EXPECT_EQ(line->y1, line->y2);
      EXPECT_GT(line->x2 - line->x1, about->clientWidth * 3 / 4);
    }
    EXPECT_LT(about->linTop.y1, about->lblCredit.box().top);
    EXPECT_GT(about->linBottom.y1, about->lblContact.box().top + about->lblContact.box().height);
    EXPECT_EQ(about->cmdOK.text(), "OK");
    switch (GetParam()) {
      case Closing::OkButton:
        world.user.click(about->cmdOK);
        break;
      case Closing::Enter:
        world.user.press(*about, sim::Key::Enter);
        break;
      case Closing::Escape:
        world.user.press(*about, sim::Key::Escape);
        break;
      case Closing::CloseBox:
        world.user.closeBox(*about);
        break;
      case Closing::NotAtAll:
        break;
    }
    if (GetParam() != Closing::NotAtAll) {
      EXPECT_FALSE(world.desktop.isWindow(window));
    }
  });
  nubrix.showAbout();
  ASSERT_NE(window, 0);
  EXPECT_FALSE(world.desktop.isWindow(window)) << "unloaded once the box returns";
  EXPECT_EQ(world.ui.modalForm(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Closings, NubrixAboutTest,
                         ::testing::Values(Closing::OkButton, Closing::Enter, Closing::Escape,
                                           Closing::CloseBox, Closing::NotAtAll));

}  // namespace
}  // namespace morvane
