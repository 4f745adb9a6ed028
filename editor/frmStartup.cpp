#include "editor/frmStartup.h"

#include "editor/morvane_program.h"
#include "platform/conversions.h"
#include "platform/win_constants.h"
#include "shared/settings/settings_keys.h"

namespace morvane {

void frmStartup::Form_Load() {
  auto& platform = m_program.platform;
  auto& module1 = m_program.module1;
  const std::string title(MorvaneProgram::kTitle);

  // 1. One copy at a time.
  if (platform.host.previousInstance()) {
    platform.boxes.show("Another instance of this program is already running!", title,
                        MsgButtons::Ok, MsgIcon::Critical);
    Unload();
    return;
  }
  // 2. to 6.: ACT! reached, its objects attached. Errors go to the caller.
  ActEvent1 = platform.automation.createObject(kActEventProgId);
  AttachResult = conv::toLong(callMethodById(ActEvent1, kActEventLink, {Variant(int32_t{0})}));
  if (AttachResult < 1) {
    const bool available = conv::toBoolean(callMethodById(ActEvent1, kActEventAvailable));
    platform.boxes.show(actNotLinkedMessage(available, title, "\r"), title, MsgButtons::Ok,
                        MsgIcon::None);
    Unload();
    return;
  }
  callMethodById(ActEvent1, kActEventRelease);
  module1.ActApp = asObject(platform.automation.createObject("ACTOLE.APPOBJECT"));
  callMethod(module1.ActApp, "OpenFile", {Variant("")});
  module1.ActViews = asObject(getProperty(module1.ActApp, "Views"));

  // 7. to 9.: any error ends the start-up quietly.
  ignoreErrors([&] {
    module1.ActActiveView = asObject(callMethod(module1.ActViews, "GetActive"));
    const int16_t type = conv::toInteger(getProperty(module1.ActActiveView, "Type"));
    if (type != kViewTypeContact && type != kViewTypeGroup) return;
    // Both conditions are always evaluated: an unreadable setting ends the start-up even
    // when the argument forces the editor.
    const bool stealthSetting = settings::readStealthMode(platform.settings);
    const bool forced = platform.host.commandLine() == "0";
    if (stealthSetting && !forced) {
      settings::saveViewType(platform.settings, type);
      const std::string folder = platform.host.programFolder();
      platform.shell.shellExecuteA(0, "open", folder + "\\MorvaneAuto.exe", "", folder,
                                   win::SW_SHOW);
      return;
    }
    m_program.main.show();
  });
  // 10. and 11.
  ignoreErrors([&] { m_program.splash.unload(); });
  Unload();
}

void frmStartup::Unload() {
  ActEvent1.reset();
  // Morvane lives on only with its editor open.
  if (!m_program.main.loaded()) m_program.end();
}

}  // namespace morvane
