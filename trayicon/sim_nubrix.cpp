#include "trayicon/sim_nubrix.h"

#include "trayicon/frmAbout.h"
#include "trayicon/nubrix_dispatch.h"
#include "trayicon/nubrix_members.h"

namespace morvane::sim {

void SimControlSite::showModal(frmAbout& form, Hwnd owner) {
  ShownForm shown{form.Caption,
                  form.lblTitle.caption,
                  form.lblVersion.caption,
                  form.cmdOK.caption,
                  owner,
                  form.loaded(),
                  false};
  form.onUnload = [this] { ++unloads; };
  const int before = unloads;
  if (userPressesOk) form.cmdOK_Click();
  shown.unloadedByUser = unloads > before;
  forms.push_back(std::move(shown));
}

void registerNubrix(SimAutomation& automation, const ControlHost& host,
                    std::shared_ptr<PropertyBag> saved) {
  automation.registerClass(nubrix::kProgId, nubrixFactory(host, std::move(saved)));
}

}  // namespace morvane::sim
