#include "platform/win32/win32_tray_shell.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/win32/win32_base.h"

#include <shellapi.h>

namespace morvane::win32 {

// The first layout: cbSize, hWnd, uID, uFlags, uCallbackMessage, hIcon and a 64-byte tooltip,
// the handles 4 bytes wide in a 32-bit program and 8 (aligned) in a 64-bit one.
static_assert(NOTIFYICONDATAA_V1_SIZE == (sizeof(void*) == 4 ? 88 : 104));
static_assert(NOTIFYICONDATAA_V1_SIZE == offsetof(NOTIFYICONDATAA, szTip) + 64);
static_assert(sizeof(NotifyIconDataA::szTip) == 64);

namespace {

bool callShell(uint32_t message, const NotifyIconDataA& data) {
  // The whole (zeroed) record: the shell reads only cbSize bytes of it, and the tooltip stays
  // NUL-terminated whatever the caller's 64 bytes hold.
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = toHwnd(data.hWnd);
  record.uID = data.uID;
  record.uFlags = data.uFlags;
  record.uCallbackMessage = data.uCallbackMessage;
  record.hIcon = toHicon(data.hIcon);
  std::memcpy(record.szTip, data.szTip, sizeof data.szTip);
  return Shell_NotifyIconA(message, &record) != FALSE;
}

// Copies into the kept icon the fields that a modify's flags name.
void merge(NotifyIconDataA& kept, const NotifyIconDataA& change) {
  if (change.uFlags & NIF_MESSAGE) kept.uCallbackMessage = change.uCallbackMessage;
  if (change.uFlags & NIF_ICON) kept.hIcon = change.hIcon;
  if (change.uFlags & NIF_TIP) std::memcpy(kept.szTip, change.szTip, sizeof change.szTip);
  kept.uFlags |= change.uFlags;
}

}  // namespace

// A hidden top-level STATIC window, subclassed: a system class needs no registration, which a
// class of our own in a DLL (the icon control) would have to undo before the DLL unloads.
class Win32TrayShell::Listener {
 public:
  explicit Listener(Win32TrayShell& owner)
      : m_owner(owner), m_taskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")) {
    m_window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"Morvane notification area", WS_POPUP,
                               0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (m_window == nullptr || m_taskbarCreated == 0) return;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Listener::proc)));
    // An elevated program hears the (unelevated) taskbar's broadcast only when it allows it.
    ChangeWindowMessageFilterEx(m_window, m_taskbarCreated, MSGFLT_ALLOW, nullptr);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  ~Listener() {
    if (m_window == nullptr) return;
    if (m_original != nullptr) {
      SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_original));
    }
    DestroyWindow(m_window);
  }

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Listener*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == self->m_taskbarCreated) {
      self->m_owner.showAgain();
      return 0;
    }
    return CallWindowProcW(self->m_original, hwnd, msg, wParam, lParam);
  }

  Win32TrayShell& m_owner;
  const UINT m_taskbarCreated;
  HWND m_window = nullptr;
  WNDPROC m_original = nullptr;
};

Win32TrayShell::Win32TrayShell() : m_listener(std::make_unique<Listener>(*this)) {}

Win32TrayShell::~Win32TrayShell() {
  deleteShownIcons();
}

void Win32TrayShell::deleteShownIcons() {
  // Forgotten first: the shell may send messages back to this thread while we call it.
  const std::vector<NotifyIconDataA> icons = std::exchange(m_shown, {});
  for (const NotifyIconDataA& icon : icons) callShell(NIM_DELETE, icon);
}

bool Win32TrayShell::shellNotifyIconA(uint32_t message, const NotifyIconDataA& data) {
  if (data.cbSize != sizeof(NotifyIconDataA)) return false;
  const auto kept = std::find_if(m_shown.begin(), m_shown.end(), [&](const NotifyIconDataA& i) {
    return i.hWnd == data.hWnd && i.uID == data.uID;
  });
  switch (message) {
    case NIM_ADD:
      if (kept == m_shown.end()) {
        m_shown.push_back(data);
      } else {
        *kept = data;
      }
      break;
    case NIM_MODIFY:
      if (kept != m_shown.end()) merge(*kept, data);
      break;
    case NIM_DELETE:
      if (kept != m_shown.end()) m_shown.erase(kept);
      break;
    default:
      break;
  }
  return callShell(message, data);
}

void Win32TrayShell::showAgain() {
  // A copy: the shell may send messages back to this thread while we call it.
  const std::vector<NotifyIconDataA> icons = m_shown;
  for (const NotifyIconDataA& icon : icons) callShell(NIM_ADD, icon);
}

}  // namespace morvane::win32
