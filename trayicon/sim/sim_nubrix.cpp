#include "trayicon/sim/sim_nubrix.h"

#include "trayicon/nubrix_dispatch.h"
#include "trayicon/nubrix_members.h"

namespace morvane::sim {

void registerNubrix(SimAutomation& automation, const ControlHost& host,
                    std::shared_ptr<PropertyBag> saved) {
  automation.registerClass(nubrix::kProgId, nubrixFactory(host, std::move(saved)));
}

}  // namespace morvane::sim
