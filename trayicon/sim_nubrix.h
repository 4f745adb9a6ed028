// Registers the control with the simulated automation registry, as DllRegisterServer enters it
// into the system's registry on Windows.
#pragma once

#include <memory>

#include "platform/property_bag.h"
#include "platform/sim/sim_automation.h"
#include "trayicon/control_site.h"

namespace morvane::sim {

// After this, createObject("NubrixControl.Nubrix") places a new control on the host's form; when
// saved is given, each new control loads its state from it (the form's stored properties).
void registerNubrix(SimAutomation& automation, const ControlHost& host,
                    std::shared_ptr<PropertyBag> saved = nullptr);

}  // namespace morvane::sim
