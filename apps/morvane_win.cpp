// Morvane.exe: the rule editor on Windows. It builds the same program object as the simulation on
// the Win32 backend, with real windows for its forms, and runs the thread's message loop until
// the program ends.
#include <memory>
#include <type_traits>

#include "apps/win32_program.h"
#include "editor/morvane_program.h"
#include "platform/win32/win32_ui.h"

namespace {

using namespace morvane;
using namespace morvane::win32;

// Icon 1 of the program's resources: the editor window's icon.
constexpr int kProgramIcon = 1;

int run(HINSTANCE instance) {
  Win32Platform platform;
  Win32Ui ui(platform.windows);
  // The window's icon outlives the program's forms.
  const std::unique_ptr<std::remove_pointer_t<HICON>, decltype(&DestroyIcon)> icon(
      static_cast<HICON>(
          LoadImageA(instance, MAKEINTRESOURCEA(kProgramIcon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)),
      &DestroyIcon);
  MorvaneProgram program(platform.services, ui);
  program.main.setIcon(fromHicon(icon.get()));
  program.onEnded = [] { PostQuitMessage(0); };
  program.start();
  platform.runMessageLoop([&] { return program.ended(); }, [&] { ui.rethrowPending(); });
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return runProgram(MorvaneProgram::kTitle, [&] { return run(instance); });
}
