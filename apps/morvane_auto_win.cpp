// MorvaneAuto.exe: the background switcher on Windows. It builds the same program object as the
// simulation on the Win32 backend, places the notification-area icon control (Nubrix.dll, through
// COM) on its form, and runs the thread's message loop until the program ends.
#include <memory>
#include <string>

#include "platform/property_bag.h"
#include "platform/runtime_error.h"
#include "switcher/morvane_auto_program.h"
#include "trayicon/nubrix_members.h"

// The Win32 backend last: windows.h defines macros named like the ports' constants.
#include "platform/win32/com_automation.h"
#include "platform/win32/com_control_host.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_profile_files.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_timers.h"
#include "platform/win32/win32_window_system.h"

namespace {

using namespace morvane;
using namespace morvane::win32;

// Icon 1 of the program's resources (cmake/resources.rc.in): the 32 x 32 image frmAuto keeps for
// the notification area.
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

  // frmAuto's icon control is placed on the form when the form loads, with the state the form
  // keeps for it: its first image, everything else at its default. A control that cannot be
  // created fails the form's load, as a missing control library does.
  MorvaneAutoProgram* running = nullptr;
  auto saved = std::make_shared<MemoryPropertyBag>();
  const auto icon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(kProgramIcon), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  if (icon != nullptr) saved->set("Icon1", pictureVariant(icon, IconOwner::Picture));
  const ControlContainer form{[&running] { return running != nullptr ? running->form.hWnd() : 0; },
                              true};
  automation.registerLocalClass(nubrix::kProgId,
                                controlFactory(std::string(nubrix::kProgId), form, saved));

  const PlatformServices services{windows,  timers,     boxes, profiles,
                                  settings, automation, host,  shell};
  MorvaneAutoProgram program(services);
  running = &program;
  program.onEnded = [] { PostQuitMessage(0); };
  program.start();

  MSG msg;
  while (!program.ended() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    // A failure inside a window procedure or a timer tick was held there rather than unwound
    // through user32; it surfaces here.
    windows.rethrowPending();
    timers.rethrowPending();
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    return run(instance);
  } catch (const RuntimeError& e) {
    // What escapes every trap ends the program, with the runtime's own message.
    const std::string text = unhandledErrorText(e);
    MessageBoxA(nullptr, text.c_str(), std::string(MorvaneAutoProgram::kTitle).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
  }
}
