// MorvaneAuto.exe: the background switcher on Windows. It builds the same program object as the
// simulation on the Win32 backend, places the notification-area icon control (Nubrix.dll, through
// COM) on its form, and runs the thread's message loop until the program ends.
#include <memory>
#include <string>

#include "apps/win32_program.h"
#include "platform/property_bag.h"
#include "platform/win32/com/com_control_host.h"
#include "switcher/morvane_auto_program.h"
#include "trayicon/nubrix_members.h"

namespace {

using namespace morvane;
using namespace morvane::win32;

// Icon 1 of the program's resources (cmake/resources.rc.in): the 32 x 32 image frmAuto keeps for
// the notification area.
constexpr int kProgramIcon = 1;

int run(HINSTANCE instance) {
  Win32Platform platform;

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
  platform.automation.registerLocalClass(nubrix::kProgId,
                                         controlFactory(std::string(nubrix::kProgId), form, saved));

  MorvaneAutoProgram program(platform.services);
  running = &program;
  program.onEnded = [] { PostQuitMessage(0); };
  program.start();
  platform.runMessageLoop([&] { return program.ended(); });
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return runProgram(MorvaneAutoProgram::kTitle, [&] { return run(instance); });
}
