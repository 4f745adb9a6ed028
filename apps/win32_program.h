// What both Windows programs are built on: every port on the Win32 backend, made on the program's
// thread in its COM apartment, the thread's message loop, and the runtime's report of an error no
// trap caught.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/error_trap.h"
#include "platform/platform.h"
#include "platform/runtime_error.h"

// The Win32 backend last: windows.h defines macros named like the ports' constants.
#include "platform/win32/com/com_automation.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_profile_files.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_timers.h"
#include "platform/win32/win32_window_system.h"

namespace morvane::win32 {

struct Win32Platform {
  ComApartment apartment;  // first: every COM object below goes before it
  Win32WindowSystem windows;
  Win32Timers timers;
  Win32MessageBoxes boxes;
  Win32ProfileFiles profiles;
  Win32SettingsStore settings;
  ComAutomation automation;
  Win32Host host;
  Win32Shell shell;
  Win32Files files;
  PlatformServices services{windows, timers,     boxes, profiles, settings,
                            automation, host, shell, files};

  // Runs the thread's message loop until the program has ended. A failure inside a window
  // procedure, a timer tick or (with rethrowMore) a form's event was held there rather than
  // unwound through user32; it surfaces here.
  void runMessageLoop(const std::function<bool()>& ended,
                      const std::function<void()>& rethrowMore = nullptr) {
    MSG msg;
    while (!ended() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      windows.rethrowPending();
      timers.rethrowPending();
      if (rethrowMore) rethrowMore();
    }
  }
};

// A program's WinMain: what escapes every trap ends the program, with the runtime's own message.
inline int runProgram(std::string_view title, const std::function<int()>& body) {
  try {
    return body();
  } catch (const RuntimeError& e) {
    const std::string text = unhandledErrorText(e);
    MessageBoxA(nullptr, text.c_str(), std::string(title).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
  }
}

}  // namespace morvane::win32
