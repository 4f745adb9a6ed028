// The control's shell module: the notification-area call, and the handle of the image the
// control last gave to the notification area, one per thread and shared by every control on it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/tray_shell.h"

namespace morvane::mdlNubrix {

inline constexpr uint32_t kIconId = 100;
inline constexpr uint32_t kCallbackMessage = 0x200;  // WM_MOUSEMOVE
inline constexpr uint32_t kFlags = win::NIF_MESSAGE | win::NIF_ICON | win::NIF_TIP;
inline constexpr size_t kMaxTipLength = 63;  // and a NUL, in the 64-byte field

// The current icon handle of the calling thread (0: none).
Hicon currentIcon();
void setCurrentIcon(Hicon handle);

// Shell_NotifyIconA with action (NIM_ADD, NIM_MODIFY, NIM_DELETE) for the control window's icon
// 100, showing the current icon handle and the tooltip cut to 63 characters. Every action sends
// the full record. The shell's answer is not looked at.
void TrayNotify(TrayShell& shell, uint32_t action, Hwnd hwnd, std::string_view tip);

}  // namespace morvane::mdlNubrix
