// The notification-area port on shell32's Shell_NotifyIconA, with the record in its first layout.
// It also keeps the icons it was asked to show on the taskbar: when Explorer restarts, the new
// taskbar broadcasts the registered message "TaskbarCreated" to every top-level window, and a
// hidden top-level window of this object (not a message-only one: broadcasts skip those) hears it
// and adds those icons again; should that window fail to be made, icons are just not re-added.
// Create, use and destroy it on one thread, which pumps messages.
//
// Icons it still shows when it goes are deleted then: their window does not outlive the program
// (or the control in a DLL) that made them, and the shell would keep a dead icon until the mouse
// passes over it.
#pragma once

#include <memory>
#include <vector>

#include "platform/tray_shell.h"

namespace morvane::win32 {

class Win32TrayShell : public TrayShell {
 public:
  Win32TrayShell();
  ~Win32TrayShell() override;

  // Deletes every icon it shows (NIM_DELETE), as the destructor does.
  void deleteShownIcons();

  // One Shell_NotifyIconA call with cbSize = NOTIFYICONDATAA_V1_SIZE (the first layout: 88 bytes
  // in a 32-bit program, the same fields in their 64-bit places in a 64-bit one) and the 32-bit
  // handles widened. A record whose cbSize is not the port's first-layout size is refused (false)
  // without a call. What is kept for a taskbar restart does not depend on the shell's answer: an
  // add is kept (so an icon added while no taskbar runs appears when one starts), a modify
  // updates the kept icon with the fields its flags name, a delete forgets the icon.
  bool shellNotifyIconA(uint32_t message, const NotifyIconDataA& data) override;

 private:
  class Listener;
  void showAgain();

  std::vector<NotifyIconDataA> m_shown;  // what a new taskbar gets, in the order first added
  std::unique_ptr<Listener> m_listener;
};

}  // namespace morvane::win32
