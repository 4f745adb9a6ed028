// MorvaneAuto: the background switcher. One object per running copy holds everything the
// program keeps for its run; its one form, frmAuto, is never shown.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/error_trap.h"
#include "platform/platform.h"
#include "shared/act/Module1.h"
#include "shared/act/modLayout.h"
#include "shared/settings/IniLib.h"
#include "switcher/frmAuto.h"

namespace morvane {

class MorvaneAutoProgram {
 public:
  static constexpr std::string_view kTitle = "MorvaneAuto";
  // The settings application name both programs use.
  static constexpr std::string_view kSettingsApp = "Morvane";

  explicit MorvaneAutoProgram(const PlatformServices& platform);
  ~MorvaneAutoProgram();
  MorvaneAutoProgram(const MorvaneAutoProgram&) = delete;
  MorvaneAutoProgram& operator=(const MorvaneAutoProgram&) = delete;

  // Loads frmAuto; the program then runs on ACT!'s events until it ends.
  void start();
  // The program ends: no more messages, and onEnded is told (once).
  void end();
  bool ended() const { return m_ended; }
  std::function<void()> onEnded;

  PlatformServices platform;
  ErrorTrap trap;
  IniLib iniLib;
  Module1 module1;
  modLayout layouts;
  // Milliseconds the delay timer waits before a deferred update.
  int32_t delay = 1000;
  frmAuto form;

 private:
  bool m_ended = false;
};

}  // namespace morvane
