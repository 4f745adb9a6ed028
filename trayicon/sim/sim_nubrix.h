// The control on the simulated desktop: a container site for it, and its registration with the
// simulated automation registry (as DllRegisterServer enters it into the registry on Windows).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/property_bag.h"
#include "platform/sim/sim_automation.h"
#include "trayicon/control_site.h"

namespace morvane::sim {

// A form's side of a hosted control: run mode by default, property-change notices recorded.
class SimControlSite : public ControlSite {
 public:
  explicit SimControlSite(Hwnd container = 0) : container(container) {}

  bool userMode() override { return runMode; }
  void propertyChanged(std::string_view name) override { changes.emplace_back(name); }
  Hwnd containerWindow() override { return container; }

  bool runMode = true;
  Hwnd container = 0;
  std::vector<std::string> changes;
};

// After this, createObject("NubrixControl.Nubrix") places a new control on the host's form; when
// saved is given, each new control loads its state from it (the form's stored properties).
void registerNubrix(SimAutomation& automation, const ControlHost& host,
                    std::shared_ptr<PropertyBag> saved = nullptr);

}  // namespace morvane::sim
