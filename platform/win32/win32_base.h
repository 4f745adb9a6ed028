// What every part of the Win32 backend shares: the ports' 32-bit handles as Windows handle types,
// ANSI and UTF-16 text, and the system's text for an error code.
#pragma once

#ifndef _WIN32
#error "platform/win32 is the Windows backend; it builds only for Windows"
#endif

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/window_system.h"

// After the ports' headers: windows.h defines macros named like the constants in
// platform/win_constants.h and platform/tray_shell.h. Files of this backend include their own
// header and the ports first, and use the Windows macros from here on.
#include <windows.h>

namespace morvane::win32 {

// Window and icon handles keep 32 significant bits on 64-bit Windows too, so that 32- and 64-bit
// programs can exchange them: widening sign-extends, narrowing truncates.
inline HWND toHwnd(Hwnd h) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(h)));
}
inline Hwnd fromHwnd(HWND h) {
  return static_cast<Hwnd>(reinterpret_cast<uintptr_t>(h));
}
inline HICON toHicon(Hicon h) {
  return reinterpret_cast<HICON>(static_cast<intptr_t>(static_cast<int32_t>(h)));
}
inline Hicon fromHicon(HICON h) {
  return static_cast<Hicon>(reinterpret_cast<uintptr_t>(h));
}

// ANSI text is the system's ANSI code page (CP_ACP), as the A functions use it.
std::wstring toWide(std::string_view ansi);
std::string toAnsi(std::wstring_view wide);

// The module this code is linked into (a program or a DLL): the owner of the window classes the
// backend registers.
HINSTANCE thisModule();

// The system's message for a Win32 error code or an HRESULT, without the trailing line break;
// empty when the system has none.
std::string systemMessage(DWORD code);

}  // namespace morvane::win32
