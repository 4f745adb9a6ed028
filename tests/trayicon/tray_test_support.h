// A form for the control to sit on: the simulated desktop, notification area, message boxes and
// machine, and a container site that records what the control tells it.
#pragma once

#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_tray_shell.h"
#include "trayicon/control_site.h"
#include "trayicon/frmAbout.h"
#include "trayicon/mdlNubrix.h"

namespace morvane::test {

class TestSite : public ControlSite {
 public:
  struct ShownForm {
    std::string caption;
    std::string title;
    std::string version;
    std::string okCaption;
    Hwnd owner = 0;
    bool loadedWhenShown = false;
    bool unloadedWhenClosed = false;
  };

  bool userMode() override { return runMode; }
  void propertyChanged(std::string_view name) override { changes.emplace_back(name); }
  Hwnd containerWindow() override { return container; }
  void showModal(frmAbout& form, Hwnd owner) override {
    ShownForm shown{form.Caption, form.lblTitle.caption, form.lblVersion.caption,
                    form.cmdOK.caption, owner, form.loaded(), false};
    form.onUnload = [this] { ++unloads; };
    const int before = unloads;
    if (userPressesOk) form.cmdOK_Click();
    shown.unloadedWhenClosed = unloads > before;
    forms.push_back(shown);
  }

  bool runMode = true;
  Hwnd container = 0;
  bool userPressesOk = true;
  int unloads = 0;  // about boxes unloaded, by OK or by the control
  std::vector<std::string> changes;
  std::vector<ShownForm> forms;
};

// Everything a control needs, on one simulated desktop.
struct TrayWorld {
  TrayWorld() {
    // The current icon handle is per thread; every test starts on a fresh thread state.
    mdlNubrix::setCurrentIcon(0);
    site.container = desktop.createWindowA("MorvaneTestForm", "frmAuto", 0, 0, 0, 200, 100, 0, nullptr);
  }
  ~TrayWorld() { mdlNubrix::setCurrentIcon(0); }
  ControlHost services() { return ControlHost{desktop, desktop, tray, host, boxes, site}; }

  sim::SimDesktop desktop;
  sim::SimTrayShell tray{desktop};
  sim::SimMessageBoxes boxes;
  sim::SimSystem system;
  sim::SimHost host{system, system.startProcess("C:\\Program Files\\Morvane\\MorvaneAuto.exe", "")};
  TestSite site;
};

}  // namespace morvane::test
