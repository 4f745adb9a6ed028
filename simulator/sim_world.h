// The whole system on one simulated desktop: ACT! with its sample database, the notification
// area, the per-user settings and the rules file, and the Morvane programs as the user starts
// them. Tests and morvane-sim drive it; it is deterministic.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/morvane_program.h"
#include "hostsim/act_sim.h"
#include "hostsim/act_windows.h"
#include "platform/counting_window_system.h"
#include "platform/property_bag.h"
#include "platform/sim/sim_automation.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_profile_files.h"
#include "platform/sim/sim_settings_store.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_tray_shell.h"
#include "platform/sim/sim_ui.h"
#include "switcher/morvane_auto_program.h"
#include "trayicon/control_site.h"

namespace morvane::simulator {

inline constexpr std::string_view kInstallFolder = "C:\\Program Files\\Morvane";
inline constexpr std::string_view kRulesFile = "C:\\Program Files\\Morvane\\Morvane.ini";
// The image frmAuto keeps for its icon.
inline constexpr Hicon kAutoIcon = 0x0A10;

class SimWorld {
 public:
  // sandbox: a folder for the simulated drives and the settings file; a fresh temporary folder
  // (removed again) when empty.
  explicit SimWorld(std::filesystem::path sandbox = {},
                    hostsim::ActWindowOptions actWindowOptions = {});
  ~SimWorld();
  SimWorld(const SimWorld&) = delete;
  SimWorld& operator=(const SimWorld&) = delete;

  // ACT! starts with the sample database open in the contact view, or closes.
  void startAct();
  void quitAct();
  // ACT! ends without closing (it crashes, or is killed): no event, and its windows go with it.
  void killAct();
  // ACT! stops answering for ms: its windows and its objects, which its one user-interface thread
  // serves. A call to its objects waits for it as the programs' calls do, up to the call limit.
  void hangAct(uint64_t ms);
  // The same, beginning while ACT! handles the next msg sent to one of its windows.
  void hangActWhenSent(uint32_t msg, uint64_t ms);

  // The user starts a program from its folder, as from Explorer; it runs at once.
  void runMorvaneAuto(const std::string& commandLine = "");
  void runMorvane(const std::string& commandLine = "");
  // Delivers what is queued, lets started programs run and drops programs that ended, until the
  // desktop is quiet.
  void settle();
  // Time passes (timers fire), then the desktop settles.
  void wait(uint64_t ms);

  // The running MorvaneAuto, or null.
  MorvaneAutoProgram* morvaneAuto();
  int runningMorvaneAutos() const;
  // The running Morvane (its editor, or its start-up), or null.
  MorvaneProgram* morvane();
  int runningMorvanes() const;
  // Command lines Morvane.exe was started with.
  const std::vector<std::string>& morvaneStarts() const { return m_morvaneStarts; }
  // The forms of every Morvane, on this desktop.
  sim::SimUi& ui() { return *m_ui; }

  // The first icon in the notification area, or null.
  const sim::TrayIcon* trayIcon() const;
  // The user on the icon; false when there is none.
  bool clickTray(sim::MouseButton button = sim::MouseButton::Left);
  bool doubleClickTray(sim::MouseButton button = sim::MouseButton::Left);

  // Called with each new MorvaneAuto's COM runtime once ACT! and the icon control are registered
  // in it (tests use it to make a class fail).
  std::function<void(sim::SimAutomation&)> configureAutomation;

  void writeRule(const std::string& section, const std::string& key, const std::string& value);
  // The rules for the sample database: contacts by "ID/Status", groups by "Group Type".
  void writeSampleRules();

  sim::SimDesktop desktop;
  // Every MorvaneAuto talks to the desktop through this counter, so a benchmark can tell how many
  // window-system calls an update makes.
  CountingWindowSystem autoWindowCalls{desktop};
  sim::SimMessageBoxes boxes;
  sim::SimSystem system;
  std::filesystem::path sandbox;
  sim::SimFileSystem files;
  sim::SimProfileFiles profiles;
  sim::SimSettingsStore settings;
  sim::SimTrayShell tray;
  hostsim::ActSim act;
  hostsim::ActWindows actWindows;

 private:
  struct AutoProcess;
  struct EditorProcess;
  class FormSite;
  void launchMorvaneAuto(int processId);
  void launchMorvane(int processId, const std::string& commandLine);

  bool m_ownSandbox = false;
  std::unique_ptr<sim::SimHost> m_uiHost;
  std::unique_ptr<sim::SimUi> m_ui;
  std::vector<std::unique_ptr<AutoProcess>> m_autos;
  std::vector<std::unique_ptr<EditorProcess>> m_editors;
  std::vector<std::string> m_morvaneStarts;
};

}  // namespace morvane::simulator
