// The Win32 tray shell against the fake notification area: what the shell receives from the
// control's shell module, clicks reaching the icon's window, and a taskbar restart.
#include "platform/win32/win32_tray_shell.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/win32/support/fake_notification_area.h"
#include "trayicon/mdlNubrix.h"

#include "platform/win32/win32_base.h"

namespace morvane::win32 {
namespace {

using wintest::FakeNotificationArea;

// A hidden top-level window standing for the icon control's window: it logs what reaches it.
class IconOwner {
 public:
  struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    friend bool operator==(const Message&, const Message&) = default;
  };

  IconOwner() {
    m_hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                             nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IconOwner::proc)));
  }
  IconOwner(const IconOwner&) = delete;
  IconOwner& operator=(const IconOwner&) = delete;
  ~IconOwner() {
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_original));
    DestroyWindow(m_hwnd);
  }
  Hwnd handle() const { return fromHwnd(m_hwnd); }
  // The mouse notifications: messages at or above WM_MOUSEMOVE.
  const std::vector<Message>& log() const { return m_log; }

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<IconOwner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg >= WM_MOUSEMOVE && msg < WM_USER) self->m_log.push_back({msg, wParam, lParam});
    return CallWindowProcW(self->m_original, hwnd, msg, wParam, lParam);
  }

  HWND m_hwnd = nullptr;
  WNDPROC m_original = nullptr;
  std::vector<Message> m_log;
};

class Win32TrayShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_area.ready()) << "the fake notification area is not the one the shell finds";
    mdlNubrix::setCurrentIcon(fromHicon(LoadIconA(nullptr, IDI_APPLICATION)));
  }
  void TearDown() override { mdlNubrix::setCurrentIcon(0); }

  // What the control's shell module sends, for icon 100 of the owner window.
  void notify(uint32_t action, std::string_view tip) {
    mdlNubrix::TrayNotify(m_shell, action, m_owner.handle(), tip);
  }

  FakeNotificationArea m_area;
  IconOwner m_owner;
  Win32TrayShell m_shell;
};

TEST_F(Win32TrayShellTest, AddModifyAndDeleteReachTheShellWithTheRecordsFields) {
  const std::string tip70 =
      "Morvane in Stealth Mode. Click to open. And more text than fits in 63.";
  ASSERT_EQ(tip70.size(), 70u);
  notify(NIM_ADD, tip70);
  notify(NIM_MODIFY, "Second tip");
  notify(NIM_DELETE, "Second tip");

  const auto& calls = m_area.notifications();
  ASSERT_EQ(calls.size(), 3u);
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].message, i);  // NIM_ADD, NIM_MODIFY, NIM_DELETE
    EXPECT_EQ(calls[i].window, m_owner.handle());
    EXPECT_EQ(calls[i].id, 100u);
    EXPECT_EQ(calls[i].flags, static_cast<uint32_t>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(calls[i].callbackMessage, static_cast<uint32_t>(WM_MOUSEMOVE));
    EXPECT_TRUE(calls[i].hasImage);
    EXPECT_TRUE(calls[i].accepted);
  }
  EXPECT_EQ(calls[0].tip, tip70.substr(0, 63));
  EXPECT_EQ(calls[1].tip, "Second tip");
  EXPECT_TRUE(m_area.icons().empty());
}

TEST_F(Win32TrayShellTest, ReturnsTheShellsAnswerAndRefusesOtherRecordSizes) {
  NotifyIconDataA data;
  data.cbSize = sizeof data;
  data.hWnd = m_owner.handle();
  data.uID = 7;
  data.uFlags = NIF_TIP;
  EXPECT_TRUE(m_shell.shellNotifyIconA(NIM_ADD, data));
  EXPECT_FALSE(m_shell.shellNotifyIconA(NIM_ADD, data)) << "the shell refuses a second add";
  EXPECT_TRUE(m_shell.shellNotifyIconA(NIM_DELETE, data));
  EXPECT_FALSE(m_shell.shellNotifyIconA(NIM_MODIFY, data)) << "no such icon any more";
  data.cbSize = 152;
  EXPECT_FALSE(m_shell.shellNotifyIconA(NIM_ADD, data));
  EXPECT_EQ(m_area.notifications().size(), 4u) << "a record of another size reaches no shell";
}

TEST_F(Win32TrayShellTest, ClicksReachTheIconsWindowAsItsCallbackMessage) {
  notify(NIM_ADD, "tip");
  ASSERT_TRUE(m_area.click(m_owner.handle(), 100));
  ASSERT_TRUE(m_area.doubleClick(m_owner.handle(), 100));
  const std::vector<IconOwner::Message> expected = {
      {WM_MOUSEMOVE, 100, WM_LBUTTONDOWN},   {WM_MOUSEMOVE, 100, WM_LBUTTONUP},
      {WM_MOUSEMOVE, 100, WM_LBUTTONDOWN},   {WM_MOUSEMOVE, 100, WM_LBUTTONUP},
      {WM_MOUSEMOVE, 100, WM_LBUTTONDBLCLK}, {WM_MOUSEMOVE, 100, WM_LBUTTONUP}};
  EXPECT_EQ(m_owner.log(), expected);
  EXPECT_FALSE(m_area.click(m_owner.handle(), 101)) << "no icon 101";
  notify(NIM_DELETE, "tip");
}

TEST_F(Win32TrayShellTest, ANewTaskbarGetsTheShownIconsAsTheyAreNow) {
  notify(NIM_ADD, "first");
  notify(NIM_MODIFY, "changed");
  NotifyIconDataA other;
  other.cbSize = sizeof other;
  other.hWnd = m_owner.handle();
  other.uID = 101;
  other.uFlags = NIF_TIP;
  ASSERT_TRUE(m_shell.shellNotifyIconA(NIM_ADD, other));
  ASSERT_TRUE(m_shell.shellNotifyIconA(NIM_DELETE, other));
  m_area.clearNotifications();

  m_area.restart();
  ASSERT_TRUE(m_area.waitForNotifications(1));
  wintest::pumpMessages();
  ASSERT_EQ(m_area.notifications().size(), 1u) << "the deleted icon must not come back";
  const auto& call = m_area.notifications()[0];
  EXPECT_EQ(call.message, static_cast<uint32_t>(NIM_ADD));
  EXPECT_EQ(call.window, m_owner.handle());
  EXPECT_EQ(call.id, 100u);
  EXPECT_EQ(call.tip, "changed");
  EXPECT_EQ(call.callbackMessage, static_cast<uint32_t>(WM_MOUSEMOVE));
  EXPECT_TRUE(call.hasImage);
  ASSERT_EQ(m_area.icons().size(), 1u);

  // Clicks on the icon the new taskbar shows still reach the window.
  ASSERT_TRUE(m_area.click(m_owner.handle(), 100));
  EXPECT_EQ(m_owner.log().size(), 2u);
  notify(NIM_DELETE, "changed");
  m_area.clearNotifications();
  m_area.restart();
  wintest::pumpMessages();
  EXPECT_TRUE(m_area.notifications().empty()) << "a removed icon stays removed";
}

}  // namespace
}  // namespace morvane::win32
