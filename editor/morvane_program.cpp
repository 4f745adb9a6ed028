#include "editor/morvane_program.h"

namespace morvane {

MorvaneProgram::MorvaneProgram(const PlatformServices& services, ui::Ui& userInterface)
    : platform(services),
      ui(userInterface),
      trap(services.boxes, std::string(kTitle)),
      iniLib(services.profiles, trap),
      module1(ActProgram::Morvane, services.automation, services.settings, trap),
      layouts(services.windows, trap),
      populate(module1, trap),
      listHook(services.windows, trap),
      splash(userInterface),
      main(*this),
      startup(*this) {}

void MorvaneProgram::start() {
  try {
    startup.Form_Load();
  } catch (const RuntimeError& e) {
    reportUnhandled(platform.boxes, kTitle, e);
    end();
  }
}

MorvaneProgram::~MorvaneProgram() {
  module1.release();
}

void MorvaneProgram::end() {
  if (m_ended) return;
  m_ended = true;
  trap.silence();
  if (onEnded) onEnded();
}

}  // namespace morvane
