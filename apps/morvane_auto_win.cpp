// MorvaneAuto.exe: the background switcher on Windows. It builds the same program object as the
// simulation on the Win32 backend, hosts the notification-area icon control in this process
// behind the automation port, and runs the thread's message loop until the program ends.
#include <memory>
#include <string>

#include "platform/property_bag.h"
#include "platform/runtime_error.h"
#include "switcher/morvane_auto_program.h"
#include "trayicon/control_site.h"
#include "trayicon/frmAbout.h"
#include "trayicon/nubrix_dispatch.h"
#include "trayicon/nubrix_members.h"
#include "trayicon/picture.h"

// The Win32 backend last: windows.h defines macros named like the ports' constants.
#include "platform/win32/com_automation.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_profile_files.h"
#include "platform/win32/win32_settings_store.h"
#include "platform/win32/win32_timers.h"
#include "platform/win32/win32_tray_shell.h"
#include "platform/win32/win32_window_system.h"

namespace {

using namespace morvane;
using namespace morvane::win32;

// Icon 1 of the program's resources (cmake/resources.rc.in): the 32 x 32 image frmAuto keeps for
// the notification area.
constexpr int kProgramIcon = 1;

// frmAuto's side of the icon control placed on it.
class FormSite : public ControlSite {
 public:
  explicit FormSite(MessageBoxes& boxes) : m_boxes(boxes) {}
  bool userMode() override { return true; }
  void propertyChanged(std::string_view) override {}
  Hwnd containerWindow() override { return program != nullptr ? program->form.hWnd() : 0; }
  // MorvaneAuto never opens the control's about box; should it, the box's texts show in a
  // message box until the programs have forms of their own on Windows.
  void showModal(frmAbout& form, Hwnd) override { showAsMessageBox(form, m_boxes); }
  MorvaneAutoProgram* program = nullptr;

 private:
  MessageBoxes& m_boxes;
};

// An icon from the program's resources, destroyed with this.
class ProgramIcon {
 public:
  ProgramIcon(HINSTANCE instance, int id, int size)
      : m_icon(static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR))) {}
  ~ProgramIcon() {
    if (m_icon != nullptr) DestroyIcon(m_icon);
  }
  ProgramIcon(const ProgramIcon&) = delete;
  ProgramIcon& operator=(const ProgramIcon&) = delete;
  Picture picture() const { return Picture{fromHicon(m_icon)}; }

 private:
  HICON m_icon;
};

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
  Win32TrayShell tray;
  const ProgramIcon icon(instance, kProgramIcon, 32);

  FormSite site(boxes);
  const ControlHost controlHost{windows, timers, tray, host, boxes, site};
  // The control's state as frmAuto stores it: its first image, everything else at its default.
  auto saved = std::make_shared<MemoryPropertyBag>();
  saved->set("Icon1", pictureToVariant(icon.picture()));
  automation.registerLocalClass(nubrix::kProgId, nubrixFactory(controlHost, saved));

  const PlatformServices services{windows,  timers,     boxes, profiles,
                                  settings, automation, host,  shell};
  MorvaneAutoProgram program(services);
  site.program = &program;
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
    const std::string text =
        "Run-time error '" + std::to_string(e.number()) + "':\r\r" + e.description();
    MessageBoxA(nullptr, text.c_str(), std::string(MorvaneAutoProgram::kTitle).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
  }
}
