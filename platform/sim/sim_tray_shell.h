// The notification area of the simulated desktop: the icons the programs put there, every
// Shell_NotifyIconA call, and a user who moves over, clicks and double-clicks the icons.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "platform/tray_shell.h"

namespace morvane::sim {

struct TrayIcon {
  Hwnd hwnd = 0;
  uint32_t id = 0;
  Hicon icon = 0;
  std::string tip;
  bool notifies = false;  // NIF_MESSAGE was given: the shell sends callbackMessage
  uint32_t callbackMessage = 0;
  friend bool operator==(const TrayIcon&, const TrayIcon&) = default;
};

// One Shell_NotifyIconA call: the action, the record as passed, and what the shell answered.
struct TrayCall {
  uint32_t message = 0;
  NotifyIconDataA data;
  bool result = false;
  std::string tip() const;  // szTip up to its NUL
};

enum class MouseButton { Left, Right, Middle };

class SimTrayShell : public TrayShell {
 public:
  explicit SimTrayShell(SimDesktop& desktop) : m_desktop(desktop) {}

  bool shellNotifyIconA(uint32_t message, const NotifyIconDataA& data) override;

  // Icons in the order they were added.
  const std::vector<TrayIcon>& icons() const { return m_icons; }
  // The icon with that key, or null.
  const TrayIcon* find(Hwnd hwnd, uint32_t id) const;
  const std::vector<TrayCall>& calls() const { return m_calls; }
  void clearCalls() { m_calls.clear(); }
  // Called after each call is recorded (the simulator prints it).
  std::function<void(const TrayCall&)> onCall;

  // --- The simulated user ---
  // Each returns false when there is no such icon. As the real notification area does, an icon
  // whose window has gone is dropped when the user reaches it, without any notification.
  // The pointer rests on the icon: one WM_MOUSEMOVE.
  bool moveOver(Hwnd hwnd, uint32_t id);
  // Button down, button up.
  bool click(Hwnd hwnd, uint32_t id, MouseButton button = MouseButton::Left);
  // Button down, up, double-click, up.
  bool doubleClick(Hwnd hwnd, uint32_t id, MouseButton button = MouseButton::Left);
  // One notification: the icon's callback message to its window with wParam = the icon's id and
  // lParam = the mouse message. Stops when the icon is removed meanwhile.
  bool notify(Hwnd hwnd, uint32_t id, uint32_t mouseMessage);

 private:
  bool notifyAll(Hwnd hwnd, uint32_t id, std::initializer_list<uint32_t> mouseMessages);
  std::vector<TrayIcon>::iterator findIcon(Hwnd hwnd, uint32_t id);

  SimDesktop& m_desktop;
  std::vector<TrayIcon> m_icons;
  std::vector<TrayCall> m_calls;
};

}  // namespace morvane::sim
