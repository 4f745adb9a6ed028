// What a form lends a control placed on it: the container's side of the control (ambient
// properties, change notices, its window) and the platform services the control calls.
#pragma once

#include <string_view>

#include "platform/host.h"
#include "platform/message_boxes.h"
#include "platform/timers.h"
#include "platform/tray_shell.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace morvane {

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
  // The container's window (the form the control sits on); 0 for none.
  virtual Hwnd containerWindow() = 0;
};

// The services a hosted control uses; all of them outlive the control.
struct ControlHost {
  WindowSystem& windows;
  Timers& timers;
  TrayShell& tray;
  Host& host;
  MessageBoxes& boxes;
  ui::Ui& ui;  // the control's own forms (its about box)
  ControlSite& site;
};

}  // namespace morvane
