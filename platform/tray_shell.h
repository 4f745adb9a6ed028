// The notification-area port: shell32's Shell_NotifyIconA with the record in its first layout.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace morvane {

namespace win {
inline constexpr uint32_t NIM_ADD = 0;
inline constexpr uint32_t NIM_MODIFY = 1;
inline constexpr uint32_t NIM_DELETE = 2;
inline constexpr uint32_t NIF_MESSAGE = 1;
inline constexpr uint32_t NIF_ICON = 2;
inline constexpr uint32_t NIF_TIP = 4;
// cbSize of NOTIFYICONDATAA in its first (88-byte) layout.
inline constexpr uint32_t NOTIFYICONDATAA_V1_SIZE = 88;
}  // namespace win

// NOTIFYICONDATAA as the first shell versions define it: 32-bit handles, a 64-byte tooltip.
struct NotifyIconDataA {
  uint32_t cbSize = 0;
  Hwnd hWnd = 0;
  uint32_t uID = 0;
  uint32_t uFlags = 0;
  uint32_t uCallbackMessage = 0;
  Hicon hIcon = 0;
  char szTip[64] = {};
};
static_assert(sizeof(NotifyIconDataA) == 88, "the first NOTIFYICONDATAA layout is 88 bytes");

class TrayShell {
 public:
  TrayShell() = default;
  TrayShell(const TrayShell&) = delete;
  TrayShell& operator=(const TrayShell&) = delete;
  virtual ~TrayShell() = default;

  // Shell_NotifyIconA: NIM_ADD, NIM_MODIFY or NIM_DELETE one icon, known by (hWnd, uID). Only
  // the fields named in uFlags are used. False when the shell refuses: an add of an icon that
  // exists, a modify or delete of one that does not.
  virtual bool shellNotifyIconA(uint32_t message, const NotifyIconDataA& data) = 0;
};

}  // namespace morvane
