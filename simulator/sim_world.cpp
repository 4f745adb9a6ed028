#include "simulator/sim_world.h"

#include <atomic>
#include <chrono>

#include "hostsim/act_automation.h"
#include "hostsim/act_macro.h"
#include "platform/call_limit.h"
#include "platform/win_constants.h"
#include "simulator/delivered_files.h"
#include "trayicon/picture.h"
#include "trayicon/sim/sim_nubrix.h"

namespace morvane::simulator {

namespace {

std::filesystem::path freshSandbox() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  auto dir = std::filesystem::temp_directory_path() /
             ("morvane-sim-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(dir);
  return dir;
}

std::string exePath(std::string_view file) {
  return std::string(kInstallFolder) + "\\" + std::string(file);
}

}  // namespace

// The form runtime's side of a control placed on frmAuto.
class SimWorld::FormSite : public ControlSite {
 public:
  bool userMode() override { return true; }
  void propertyChanged(std::string_view) override {}
  Hwnd containerWindow() override { return program ? program->form.hWnd() : 0; }
  MorvaneAutoProgram* program = nullptr;
};

// One running MorvaneAuto: the process's own view of the machine and its COM runtime.
struct SimWorld::AutoProcess {
  AutoProcess(SimWorld& world, int id)
      : processId(id),
        host(world.system, id),
        shell(world.system),
        controlHost{world.desktop, world.desktop, world.tray, host, world.boxes, world.ui(), site},
        services{world.autoWindowCalls, world.desktop, world.boxes, world.profiles, world.settings,
                 automation,            host,          shell,       world.files} {}

  int processId;
  sim::SimHost host;
  sim::SimShell shell;
  sim::SimAutomation automation;
  FormSite site;
  ControlHost controlHost;
  PlatformServices services;
  bool ended = false;
  std::unique_ptr<MorvaneAutoProgram> program;  // last: goes first
};

// One running Morvane.
struct SimWorld::EditorProcess {
  EditorProcess(SimWorld& world, int id)
      : processId(id),
        host(world.system, id),
        shell(world.system),
        services{world.desktop, world.desktop, world.boxes, world.profiles, world.settings,
                 automation,    host,          shell,       world.files} {}

  int processId;
  sim::SimHost host;
  sim::SimShell shell;
  sim::SimAutomation automation;
  PlatformServices services;
  bool ended = false;
  std::unique_ptr<MorvaneProgram> program;  // last: goes first
};

SimWorld::SimWorld(std::filesystem::path sandboxFolder, hostsim::ActWindowOptions actWindowOptions)
    : sandbox(sandboxFolder.empty() ? freshSandbox() : std::move(sandboxFolder)),
      files(sandbox / "drives"),
      profiles(files),
      settings(sandbox / "settings.ini"),
      tray(desktop),
      actWindows(desktop, act.layoutState(), std::move(actWindowOptions)) {
  m_ownSandbox = sandboxFolder.empty();
  files.createDirectory(kInstallFolder);
  files.writeFile(exePath("Morvane.mpr"), kMorvaneMacro);
  act.onClose = [this] { actWindows.close(); };
  act.beforeServing = [this] {
    if (!desktop.waitForAnswer(actWindows.frame(), static_cast<uint64_t>(kCallLimit.count())))
      throw callTimedOutError();
  };
  system.install(exePath("MorvaneAuto.exe"),
                 [this](sim::SimSystem&, int id, const std::string&) { launchMorvaneAuto(id); });
  // The screen's measures are the same for every program: one user interface serves them all.
  m_uiHost = std::make_unique<sim::SimHost>(system, 0);
  m_ui = std::make_unique<sim::SimUi>(desktop, *m_uiHost);
  system.install(exePath("Morvane.exe"), [this](sim::SimSystem&, int id, const std::string& cmd) {
    launchMorvane(id, cmd);
  });
  // Opening the database file through the shell starts ACT! with it, as its file association does.
  system.install(hostsim::sampleDatabase().path,
                 [this](sim::SimSystem& s, int id, const std::string&) {
                   startAct();
                   s.endProcess(id);
                 });
}

SimWorld::~SimWorld() {
  m_editors.clear();
  m_autos.clear();
  actWindows.close();
  if (m_ownSandbox) {
    std::error_code ignored;
    std::filesystem::remove_all(sandbox, ignored);
  }
}

void SimWorld::startAct() {
  if (act.running() && actWindows.isOpen()) return;
  act.start();
  act.openDatabase(hostsim::sampleDatabase());
  actWindows.open();
  // ACT! runs its start-up macro once it is up.
  if (!act.startupMacro.empty()) {
    const auto text = files.readFile(act.startupMacro);
    for (const std::string& program : hostsim::macroPrograms(act.startupMacro, text.value_or("")))
      system.shellExecute(
          {0, "open", program, "", program.substr(0, program.rfind('\\')), win::SW_SHOW, 0});
  }
}

void SimWorld::quitAct() {
  act.quit();
}

void SimWorld::killAct() {
  act.kill();
  actWindows.close();
}

void SimWorld::hangAct(uint64_t ms) {
  desktop.hang(actWindows.frame(), ms);
}

void SimWorld::hangActWhenSent(uint32_t msg, uint64_t ms) {
  desktop.hangWhenSent(actWindows.frame(), msg, ms);
}

void SimWorld::runMorvaneAuto(const std::string& commandLine) {
  const int id = system.startProcess(exePath("MorvaneAuto.exe"), commandLine);
  launchMorvaneAuto(id);
  settle();
}

void SimWorld::launchMorvaneAuto(int processId) {
  auto process = std::make_unique<AutoProcess>(*this, processId);
  AutoProcess& p = *process;
  m_autos.push_back(std::move(process));
  hostsim::registerActClasses(p.automation, act);
  // frmAuto as designed: the control carries the form's icon image.
  auto formBag = std::make_shared<MemoryPropertyBag>();
  formBag->set("Icon1", pictureToVariant(Picture{kAutoIcon}));
  sim::registerNubrix(p.automation, p.controlHost, formBag);
  if (configureAutomation) configureAutomation(p.automation);
  p.program = std::make_unique<MorvaneAutoProgram>(p.services);
  p.site.program = p.program.get();
  p.program->onEnded = [this, &p] {
    p.ended = true;
    system.endProcess(p.processId);
  };
  p.program->start();
}

void SimWorld::runMorvane(const std::string& commandLine) {
  const int id = system.startProcess(exePath("Morvane.exe"), commandLine);
  launchMorvane(id, commandLine);
  settle();
}

void SimWorld::launchMorvane(int processId, const std::string& commandLine) {
  m_morvaneStarts.push_back(commandLine);
  auto process = std::make_unique<EditorProcess>(*this, processId);
  EditorProcess& p = *process;
  m_editors.push_back(std::move(process));
  hostsim::registerActClasses(p.automation, act);
  if (configureAutomation) configureAutomation(p.automation);
  p.program = std::make_unique<MorvaneProgram>(p.services, *m_ui);
  p.program->onEnded = [this, &p] {
    p.ended = true;
    system.endProcess(p.processId);
  };
  p.program->start();
}

MorvaneProgram* SimWorld::morvane() {
  for (auto& p : m_editors)
    if (!p->ended) return p->program.get();
  return nullptr;
}

int SimWorld::runningMorvanes() const {
  return system.runningCount("Morvane.exe");
}

void SimWorld::settle() {
  for (int round = 0; round < 1000; ++round) {
    const int delivered = desktop.pump();
    const int started = system.runPending();
    std::erase_if(m_autos, [](const auto& p) { return p->ended; });
    std::erase_if(m_editors, [](const auto& p) { return p->ended; });
    if (delivered == 0 && started == 0) break;
  }
}

void SimWorld::wait(uint64_t ms) {
  desktop.advance(ms);
  settle();
}

MorvaneAutoProgram* SimWorld::morvaneAuto() {
  for (auto& p : m_autos)
    if (!p->ended) return p->program.get();
  return nullptr;
}

int SimWorld::runningMorvaneAutos() const {
  return system.runningCount("MorvaneAuto.exe");
}

const sim::TrayIcon* SimWorld::trayIcon() const {
  return tray.icons().empty() ? nullptr : &tray.icons().front();
}

bool SimWorld::clickTray(sim::MouseButton button) {
  const sim::TrayIcon* icon = trayIcon();
  if (!icon) return false;
  const bool ok = tray.click(icon->hwnd, icon->id, button);
  settle();
  return ok;
}

bool SimWorld::doubleClickTray(sim::MouseButton button) {
  const sim::TrayIcon* icon = trayIcon();
  if (!icon) return false;
  const bool ok = tray.doubleClick(icon->hwnd, icon->id, button);
  settle();
  return ok;
}

void SimWorld::writeRule(const std::string& section, const std::string& key,
                         const std::string& value) {
  const std::string file(kRulesFile);
  profiles.writePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

void SimWorld::writeSampleRules() {
  writeRule("Sales-Contact", "_Reference_Field_", std::to_string(hostsim::sample::kIdStatus));
  writeRule("Sales-Contact", "If no layout assigned", "Standard");
  writeRule("Sales-Contact", "Customer", "Client");
  writeRule("Sales-Contact", "Prospect", "Prospect Layout");
  writeRule("Sales-Contact", "Vendor", "Vendor Layout");
  writeRule("Sales-Group", "_Reference_Field_", std::to_string(hostsim::sample::kGroupType));
  writeRule("Sales-Group", "If no layout assigned", "");
  writeRule("Sales-Group", "Team", "Group Layout");
}

}  // namespace morvane::simulator
