// Morvane.exe: the rule editor on Windows. It builds the same program object as the simulation on
// the Win32 backend, with real windows for its forms, and runs the thread's message loop until
// the program ends.
#include <string>

#include "editor/morvane_program.h"
#include "platform/runtime_error.h"

// The Win32 backend last: windows.h defines macros named like the ports' constants.
#include "platform/win32/com_automation.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_profile_files.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_timers.h"
#include "platform/win32/win32_ui.h"
#include "platform/win32/win32_window_system.h"

namespace {

using namespace morvane;
using namespace morvane::win32;

// Icon 1 of the program's resources: the editor window's icon.
constexpr int kProgramIcon = 1;

int run(HINSTANCE instance) {
  ComApartment apartment;
  Win32WindowSystem windows;
  Win32Timers timers;
  Win32MessageBoxes boxes;
  Win32ProfileFiles profiles;
  Win32SettingsStore settings;
  ComAutomation automation;
  Win32Host host;
  Win32Shell shell;
  Win32Ui ui(windows);

  const PlatformServices services{windows,  timers,     boxes, profiles,
                                  settings, automation, host,  shell};
  MorvaneProgram program(services, ui);
  const auto icon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(kProgramIcon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  program.main.setIcon(fromHicon(icon));
  program.onEnded = [] { PostQuitMessage(0); };
  program.start();

  MSG msg;
  while (!program.ended() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    // A failure inside a window procedure, a form's event or a timer tick was held there rather
    // than unwound through user32; it surfaces here.
    windows.rethrowPending();
    ui.rethrowPending();
    timers.rethrowPending();
  }
  if (icon != nullptr) DestroyIcon(icon);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    return run(instance);
  } catch (const RuntimeError& e) {
    // What escapes every trap ends the program, with the runtime's own message.
    const std::string text = unhandledErrorText(e);
    MessageBoxA(nullptr, text.c_str(), std::string(MorvaneProgram::kTitle).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
  }
}
