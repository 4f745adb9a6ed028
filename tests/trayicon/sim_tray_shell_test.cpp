#include "platform/sim/sim_tray_shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "platform/win_constants.h"

namespace morvane::sim {
namespace {

using namespace morvane::win;

constexpr uint32_t kCallback = 0x0400 + 7;

NotifyIconDataA record(Hwnd hwnd, uint32_t id, uint32_t flags, Hicon icon, const char* tip,
                       uint32_t callback = kCallback) {
  NotifyIconDataA d;
  d.cbSize = NOTIFYICONDATAA_V1_SIZE;
  d.hWnd = hwnd;
  d.uID = id;
  d.uFlags = flags;
  d.uCallbackMessage = callback;
  d.hIcon = icon;
  std::strncpy(d.szTip, tip, sizeof d.szTip - 1);
  return d;
}

struct ReceivedMessage {
  uint32_t msg;
  WParam wParam;
  LParam lParam;
  friend bool operator==(const ReceivedMessage&, const ReceivedMessage&) = default;
};

class SimTrayShellTest : public ::testing::Test {
 protected:
  SimTrayShellTest() {
    window = desktop.createWindowA("IconOwner", "", 0, 0, 0, 10, 10, 0,
                                   [this](Hwnd, uint32_t msg, WParam w, LParam l) -> LResult {
                                     if (msg != kCallback) return 0;
                                     received.push_back({msg, w, l});
                                     if (onMessage) onMessage(msg, l);
                                     return 0;
                                   });
  }

  SimDesktop desktop;
  SimTrayShell tray{desktop};
  Hwnd window = 0;
  std::vector<ReceivedMessage> received;
  std::function<void(uint32_t, LParam)> onMessage;
};

TEST_F(SimTrayShellTest, AddModifyDelete_AnswerAsTheShellDoes) {
  const uint32_t all = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  struct Step {
    uint32_t action;
    uint32_t id;
    bool expected;
  };
  const std::vector<Step> steps{
      {NIM_MODIFY, 1, false},                                              // nothing to modify yet
      {NIM_DELETE, 1, false}, {NIM_ADD, 1, true},    {NIM_ADD, 1, false},  // the key exists
      {NIM_ADD, 2, true},                                                  // same window, other id
      {NIM_MODIFY, 1, true},  {NIM_DELETE, 1, true}, {NIM_DELETE, 1, false},
      {7, 2, false},  // not an action
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    EXPECT_EQ(tray.shellNotifyIconA(s.action, record(window, s.id, all, 0x50, "tip")), s.expected)
        << "step " << i;
  }
  ASSERT_EQ(tray.calls().size(), steps.size());
  for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(tray.calls()[i].result, steps[i].expected);
  ASSERT_EQ(tray.icons().size(), 1u);
  EXPECT_EQ(tray.icons()[0].id, 2u);
}

TEST_F(SimTrayShellTest, Modify_ChangesOnlyTheFieldsItsFlagsName) {
  ASSERT_TRUE(tray.shellNotifyIconA(
      NIM_ADD, record(window, 5, NIF_MESSAGE | NIF_ICON | NIF_TIP, 0x11, "first")));
  ASSERT_TRUE(tray.shellNotifyIconA(NIM_MODIFY, record(window, 5, NIF_TIP, 0x22, "second")));
  const TrayIcon* icon = tray.find(window, 5);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->icon, 0x11u);
  EXPECT_EQ(icon->tip, "second");
  ASSERT_TRUE(tray.shellNotifyIconA(NIM_MODIFY, record(window, 5, NIF_ICON, 0x22, "third")));
  EXPECT_EQ(tray.find(window, 5)->icon, 0x22u);
  EXPECT_EQ(tray.find(window, 5)->tip, "second");
}

TEST_F(SimTrayShellTest, Add_RefusesARecordOfAnotherSize) {
  NotifyIconDataA d = record(window, 1, NIF_TIP, 0, "x");
  d.cbSize = 504;
  EXPECT_FALSE(tray.shellNotifyIconA(NIM_ADD, d));
  EXPECT_TRUE(tray.icons().empty());
}

TEST_F(SimTrayShellTest, Tip_IsReadUpToItsNulWithinTheField) {
  NotifyIconDataA d = record(window, 1, NIF_TIP, 0, "");
  std::memset(d.szTip, 'a', sizeof d.szTip);  // no NUL at all: the field's 64 bytes
  ASSERT_TRUE(tray.shellNotifyIconA(NIM_ADD, d));
  EXPECT_EQ(tray.find(window, 1)->tip, std::string(64, 'a'));
}

TEST_F(SimTrayShellTest, UserActions_SendTheCallbackWithIdAndMouseMessages) {
  ASSERT_TRUE(tray.shellNotifyIconA(NIM_ADD, record(window, 9, NIF_MESSAGE | NIF_ICON, 1, "")));
  using Messages = std::vector<LParam>;
  const std::vector<std::tuple<const char*, std::function<bool()>, Messages>> cases{
      {"move", [&] { return tray.moveOver(window, 9); }, {WM_MOUSEMOVE}},
      {"left click", [&] { return tray.click(window, 9); }, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
      {"right click",
       [&] { return tray.click(window, 9, MouseButton::Right); },
       {WM_RBUTTONDOWN, WM_RBUTTONUP}},
      {"middle click",
       [&] { return tray.click(window, 9, MouseButton::Middle); },
       {WM_MBUTTONDOWN, WM_MBUTTONUP}},
      {"left double",
       [&] { return tray.doubleClick(window, 9); },
       {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
      {"right double",
       [&] { return tray.doubleClick(window, 9, MouseButton::Right); },
       {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONUP}},
  };
  for (const auto& [name, act, expected] : cases) {
    received.clear();
    EXPECT_TRUE(act()) << name;
    std::vector<ReceivedMessage> want;
    for (LParam m : expected) want.push_back({kCallback, 9, m});
    EXPECT_EQ(received, want) << name;
  }
}

TEST_F(SimTrayShellTest, UserActions_OnAMissingIconOrOneWithoutCallback) {
  EXPECT_FALSE(tray.click(window, 1));
  ASSERT_TRUE(tray.shellNotifyIconA(NIM_ADD, record(window, 1, NIF_ICON | NIF_TIP, 1, "quiet")));
  EXPECT_TRUE(tray.click(window, 1));  // the icon is there but asked for no notifications
  EXPECT_TRUE(received.empty());
}

TEST_F(SimTrayShellTest, Icon_OfADestroyedWindowGoesWhenTheUserReachesIt) {
  ASSERT_TRUE(tray.shellNotifyIconA(NIM_ADD, record(window, 1, NIF_MESSAGE, 0, "")));
  desktop.destroyWindow(window);
  ASSERT_EQ(tray.icons().size(), 1u);
  EXPECT_FALSE(tray.moveOver(window, 1));
  EXPECT_TRUE(tray.icons().empty());
}

TEST_F(SimTrayShellTest, DoubleClick_StopsWhenTheWindowRemovesItsIconMidway) {
  ASSERT_TRUE(tray.shellNotifyIconA(NIM_ADD, record(window, 1, NIF_MESSAGE, 0, "")));
  onMessage = [&](uint32_t, LParam mouse) {
    if (mouse == WM_LBUTTONUP) tray.shellNotifyIconA(NIM_DELETE, record(window, 1, 0, 0, ""));
  };
  EXPECT_TRUE(tray.doubleClick(window, 1));
  ASSERT_EQ(received.size(), 2u);  // down, up; then the icon was gone
  EXPECT_EQ(received.back().lParam, static_cast<LParam>(WM_LBUTTONUP));
}

}  // namespace
}  // namespace morvane::sim
