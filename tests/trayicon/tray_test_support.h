// A form for the control to sit on: the simulated desktop, notification area, message boxes,
// machine, user interface (with its simulated user) and container site.
#pragma once

#include "platform/host.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_tray_shell.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/sim_user.h"
#include "trayicon/control_site.h"
#include "trayicon/mdlNubrix.h"
#include "trayicon/sim/sim_nubrix.h"

namespace morvane::test {

// Everything a control needs, on one simulated desktop.
struct TrayWorld {
  TrayWorld() {
    // The current icon handle is per thread; every test starts on a fresh thread state.
    mdlNubrix::setCurrentIcon(0);
    site.container =
        desktop.createWindowA("MorvaneTestForm", "frmAuto", 0, 0, 0, 200, 100, 0, nullptr);
  }
  ~TrayWorld() { mdlNubrix::setCurrentIcon(0); }
  ControlHost services() { return ControlHost{desktop, desktop, tray, host, boxes, ui, site}; }

  sim::SimDesktop desktop;
  sim::SimTrayShell tray{desktop};
  sim::SimMessageBoxes boxes;
  sim::SimSystem system;
  sim::SimHost host{system, system.startProcess("C:\\Program Files\\Morvane\\MorvaneAuto.exe", "")};
  sim::SimUi ui{desktop, host};
  sim::SimUser user{desktop, ui};
  sim::SimControlSite site;
};

}  // namespace morvane::test
