#include "platform/sim/sim_tray_shell.h"

#include <algorithm>
#include <cstring>

#include "platform/win_constants.h"

namespace morvane::sim {

using namespace morvane::win;

namespace {

constexpr uint32_t kMiddleButtonDblClk = 0x0209;  // WM_MBUTTONDBLCLK

std::string tipOf(const NotifyIconDataA& data) {
  return std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip));
}

// Applies the fields that uFlags names.
void apply(TrayIcon& icon, const NotifyIconDataA& data) {
  if (data.uFlags & NIF_MESSAGE) {
    icon.notifies = true;
    icon.callbackMessage = data.uCallbackMessage;
  }
  if (data.uFlags & NIF_ICON) icon.icon = data.hIcon;
  if (data.uFlags & NIF_TIP) icon.tip = tipOf(data);
}

}  // namespace

std::string TrayCall::tip() const {
  return tipOf(data);
}

std::vector<TrayIcon>::iterator SimTrayShell::findIcon(Hwnd hwnd, uint32_t id) {
  return std::find_if(m_icons.begin(), m_icons.end(),
                      [&](const TrayIcon& i) { return i.hwnd == hwnd && i.id == id; });
}

const TrayIcon* SimTrayShell::find(Hwnd hwnd, uint32_t id) const {
  const auto it = std::find_if(m_icons.begin(), m_icons.end(),
                               [&](const TrayIcon& i) { return i.hwnd == hwnd && i.id == id; });
  return it == m_icons.end() ? nullptr : &*it;
}

bool SimTrayShell::shellNotifyIconA(uint32_t message, const NotifyIconDataA& data) {
  bool ok = false;
  // Only the first record layout is modelled; any other size would be read differently.
  if (data.cbSize == NOTIFYICONDATAA_V1_SIZE) {
    const auto it = findIcon(data.hWnd, data.uID);
    switch (message) {
      case NIM_ADD:
        if (it == m_icons.end()) {
          TrayIcon icon;
          icon.hwnd = data.hWnd;
          icon.id = data.uID;
          apply(icon, data);
          m_icons.push_back(std::move(icon));
          ok = true;
        }
        break;
      case NIM_MODIFY:
        if (it != m_icons.end()) {
          apply(*it, data);
          ok = true;
        }
        break;
      case NIM_DELETE:
        if (it != m_icons.end()) {
          m_icons.erase(it);
          ok = true;
        }
        break;
      default:
        break;
    }
  }
  m_calls.push_back(TrayCall{message, data, ok});
  if (onCall) onCall(m_calls.back());
  return ok;
}

bool SimTrayShell::notify(Hwnd hwnd, uint32_t id, uint32_t mouseMessage) {
  return notifyAll(hwnd, id, {mouseMessage});
}

bool SimTrayShell::moveOver(Hwnd hwnd, uint32_t id) {
  return notifyAll(hwnd, id, {WM_MOUSEMOVE});
}

bool SimTrayShell::click(Hwnd hwnd, uint32_t id, MouseButton button) {
  switch (button) {
    case MouseButton::Left:
      return notifyAll(hwnd, id, {WM_LBUTTONDOWN, WM_LBUTTONUP});
    case MouseButton::Right:
      return notifyAll(hwnd, id, {WM_RBUTTONDOWN, WM_RBUTTONUP});
    case MouseButton::Middle:
      return notifyAll(hwnd, id, {WM_MBUTTONDOWN, WM_MBUTTONUP});
  }
  return false;
}

bool SimTrayShell::doubleClick(Hwnd hwnd, uint32_t id, MouseButton button) {
  switch (button) {
    case MouseButton::Left:
      return notifyAll(hwnd, id, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP});
    case MouseButton::Right:
      return notifyAll(hwnd, id, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONUP});
    case MouseButton::Middle:
      return notifyAll(hwnd, id, {WM_MBUTTONDOWN, WM_MBUTTONUP, kMiddleButtonDblClk, WM_MBUTTONUP});
  }
  return false;
}

bool SimTrayShell::notifyAll(Hwnd hwnd, uint32_t id,
                             std::initializer_list<uint32_t> mouseMessages) {
  if (findIcon(hwnd, id) == m_icons.end()) return false;
  for (const uint32_t mouseMessage : mouseMessages) {
    // Looked up afresh each time: the window's handling of one message may remove or change
    // the icon (a click that ends the program).
    const auto it = findIcon(hwnd, id);
    if (it == m_icons.end()) break;
    if (!m_desktop.isWindow(hwnd)) {
      m_icons.erase(it);
      return false;
    }
    if (!it->notifies) continue;
    const uint32_t callback = it->callbackMessage;
    m_desktop.deliver(hwnd, callback, static_cast<WParam>(id), static_cast<LParam>(mouseMessage));
  }
  return true;
}

}  // namespace morvane::sim
