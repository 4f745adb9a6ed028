// Morvane: the rule editor program. One object per running copy holds everything the program
// keeps for its run: ACT!'s objects, the rules file, the chooser's subclass and its forms.
#pragma once

#include <functional>
#include <string_view>

#include "editor/frmMain.h"
#include "editor/frmStartup.h"
#include "editor/modListView_w_Combo.h"
#include "editor/modPopulateACTLists.h"
#include "platform/error_trap.h"
#include "platform/platform.h"
#include "platform/ui.h"
#include "shared/act/Module1.h"
#include "shared/act/modLayout.h"
#include "shared/settings/IniLib.h"

namespace morvane {

class MorvaneProgram {
 public:
  static constexpr std::string_view kTitle = "Morvane";
  // The online tutorial the Help menu opens.
  static constexpr std::string_view kTutorialAddress = "https://www.morvane.example.com/tutorial";

  MorvaneProgram(const PlatformServices& platform, ui::Ui& ui);
  ~MorvaneProgram();
  MorvaneProgram(const MorvaneProgram&) = delete;
  MorvaneProgram& operator=(const MorvaneProgram&) = delete;

  // Loads frmStartup: the editor opens, or MorvaneAuto starts, or the program ends. An error
  // that no trap caught is reported as the runtime does and ends the program.
  void start();
  // The program ends at once: no more forms, and onEnded is told (once).
  void end();
  bool ended() const { return m_ended; }
  std::function<void()> onEnded;

  PlatformServices platform;
  ui::Ui& ui;
  ErrorTrap trap;
  IniLib iniLib;
  Module1 module1;
  modLayout layouts;
  modPopulateACTLists populate;
  modListView_w_Combo listHook;
  // Set by the integration dialog when the user agrees to restart ACT!.
  bool RestartACT = false;

  frmSplash splash;
  frmMain main;
  frmStartup startup;

 private:
  bool m_ended = false;
};

}  // namespace morvane
