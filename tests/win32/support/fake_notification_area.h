// A notification area that tests own: a hidden, topmost top-level window of the taskbar's class
// "Shell_TrayWnd", made by the test process, that records the icons programs put there and lets
// a test act as the user.
//
// How programs reach it: under Wine, Shell_NotifyIcon looks for the first "Shell_TrayWnd" window
// (FindWindow; Wine's own explorer has one too, which is why ours is topmost and so comes first)
// and sends it WM_COPYDATA with dwData = the NIM_* message and data in Wine's own layout: the
// icon's window as a 32-bit value, uID, uFlags and uCallbackMessage (32 bits each), the tooltip
// as WCHAR[128], more fields this class does not read, then, for NIF_ICON with an image, the
// image's width and height at byte 944 and its bits. What the window procedure returns is
// Shell_NotifyIcon's result. Windows' Explorer uses another layout, so this works under Wine
// only, which is where these tests run.
//
// One at a time per desktop. Create, use and destroy it on one thread; a program in another
// process gets its answer only while that thread handles messages (see wait.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "tests/win32/support/wait.h"

namespace morvane::wintest {

// One Shell_NotifyIcon call as the notification area received it.
struct TrayNotification {
  uint32_t message = 0;  // NIM_ADD 0, NIM_MODIFY 1, NIM_DELETE 2, ...
  Hwnd window = 0;
  uint32_t id = 0;
  uint32_t flags = 0;
  uint32_t callbackMessage = 0;
  std::string tip;        // in the ANSI code page
  bool hasImage = false;  // an icon image came with the call
  bool accepted = false;  // what Shell_NotifyIcon returned to the program
};

// An icon the notification area shows: the fields of every accepted add and modify.
struct FakeTrayIcon {
  Hwnd window = 0;
  uint32_t id = 0;
  bool notifies = false;  // NIF_MESSAGE was given: clicks send callbackMessage
  uint32_t callbackMessage = 0;
  std::string tip;
  bool hasImage = false;
};

class FakeNotificationArea {
 public:
  FakeNotificationArea();
  FakeNotificationArea(const FakeNotificationArea&) = delete;
  FakeNotificationArea& operator=(const FakeNotificationArea&) = delete;
  ~FakeNotificationArea();

  // The window was made and is the one Shell_NotifyIcon finds.
  bool ready() const;
  Hwnd window() const;

  // Every call, oldest first.
  const std::vector<TrayNotification>& notifications() const { return m_notifications; }
  void clearNotifications() { m_notifications.clear(); }
  // Handles messages until at least `count` calls were recorded; true when they were.
  bool waitForNotifications(size_t count, std::chrono::milliseconds timeout = kPatience);

  // The icons shown now, in the order they were added.
  const std::vector<FakeTrayIcon>& icons() const { return m_icons; }
  const FakeTrayIcon* find(Hwnd window, uint32_t id) const;

  // The user. Each sends the icon's callback message to its window, as the shell does
  // (SendNotifyMessage: at once to a window of this thread, queued for another thread), with
  // wParam = the icon's id and lParam = the mouse message. False when there is no such icon or it
  // asked for no messages; an icon whose window has gone is dropped, as the shell drops it. A
  // sequence stops early, and still succeeds, when the icon goes while it is handled.
  bool notify(Hwnd window, uint32_t id, uint32_t mouseMessage);
  // A left click: WM_LBUTTONDOWN, WM_LBUTTONUP.
  bool click(Hwnd window, uint32_t id);
  // A left double-click as the shell reports it: down, up, WM_LBUTTONDBLCLK, up.
  bool doubleClick(Hwnd window, uint32_t id);

  // Explorer restarts: the new taskbar knows no icons and broadcasts "TaskbarCreated" to every
  // top-level window (SendNotifyMessage to HWND_BROADCAST).
  void restart();

 private:
  class Window;
  bool handle(uint32_t message, const void* data, size_t size);
  bool send(Hwnd window, uint32_t id, std::initializer_list<uint32_t> mouseMessages);

  std::unique_ptr<Window> m_window;
  std::vector<TrayNotification> m_notifications;
  std::vector<FakeTrayIcon> m_icons;
};

}  // namespace morvane::wintest
