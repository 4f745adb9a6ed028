// What a form lends a control placed on it: the container's side of the control (ambient
// properties, change notices, modal display) and the platform services the control calls.
#pragma once

#include <string_view>

#include "platform/host.h"
#include "platform/message_boxes.h"
#include "platform/timers.h"
#include "platform/tray_shell.h"
#include "platform/window_system.h"

namespace morvane {

class frmAbout;

class ControlSite {
 public:
  ControlSite() = default;
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;
  virtual ~ControlSite() = default;

  // The ambient user-mode flag: true when the host runs, false in a designer.
  virtual bool userMode() = 0;
  // PropertyChanged: the named property differs from what the container saved.
  virtual void propertyChanged(std::string_view name) = 0;
  // The window the control's own window is a child of; 0 for none.
  virtual Hwnd containerWindow() = 0;
  // Shows the form modally, owned by owner; returns when the form has unloaded (or the user
  // closed it).
  virtual void showModal(frmAbout& form, Hwnd owner) = 0;
};

// The services a hosted control uses; all of them outlive the control.
struct ControlHost {
  WindowSystem& windows;
  Timers& timers;
  TrayShell& tray;
  Host& host;
  MessageBoxes& boxes;
  ControlSite& site;
};

}  // namespace morvane
