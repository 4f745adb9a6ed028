#include "switcher/morvane_auto_program.h"

namespace morvane {

MorvaneAutoProgram::MorvaneAutoProgram(const PlatformServices& services)
    : platform(services),
      trap(services.boxes, std::string(kTitle)),
      iniLib(services.profiles, trap),
      module1(ActProgram::MorvaneAuto, services.automation, services.settings, trap),
      layouts(services.windows, trap),
      form(*this) {}

MorvaneAutoProgram::~MorvaneAutoProgram() { module1.release(); }

void MorvaneAutoProgram::start() { form.Load(); }

void MorvaneAutoProgram::end() {
  if (m_ended) return;
  m_ended = true;
  trap.silence();
  if (onEnded) onEnded();
}

}  // namespace morvane
