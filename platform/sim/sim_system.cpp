#include "platform/sim/sim_system.h"

#include <algorithm>

#include "platform/ansi_text.h"

namespace morvane::sim {

namespace {

std::string fileName(std::string_view path) {
  const size_t slash = path.find_last_of('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

constexpr intptr_t kStarted = 42;
constexpr intptr_t kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr uint32_t kOsVersionInfoSize = 148;  // sizeof(OSVERSIONINFOA)

}  // namespace

void SimSystem::install(std::string exePath, Launcher launcher) {
  m_installed[ansi::foldCase(exePath)] = std::move(launcher);
}

bool SimSystem::isInstalled(std::string_view exePath) const {
  return m_installed.count(ansi::foldCase(exePath)) != 0;
}

void SimSystem::uninstall(std::string_view exePath) { m_installed.erase(ansi::foldCase(exePath)); }

int SimSystem::startProcess(std::string exePath, std::string commandLine) {
  const int id = m_nextProcess++;
  m_processes[id] = Process{std::move(exePath), std::move(commandLine), true};
  return id;
}

void SimSystem::endProcess(int processId) {
  auto it = m_processes.find(processId);
  if (it != m_processes.end()) it->second.running = false;
}

bool SimSystem::isRunning(int processId) const {
  auto it = m_processes.find(processId);
  return it != m_processes.end() && it->second.running;
}

int SimSystem::runningCount(std::string_view exeFileName) const {
  const std::string name = ansi::foldCase(exeFileName);
  return static_cast<int>(std::count_if(m_processes.begin(), m_processes.end(), [&](const auto& p) {
    return p.second.running && ansi::foldCase(fileName(p.second.exePath)) == name;
  }));
}

bool SimSystem::hasEarlierInstance(int processId) const {
  auto self = m_processes.find(processId);
  if (self == m_processes.end()) return false;
  const std::string name = ansi::foldCase(fileName(self->second.exePath));
  for (const auto& [id, p] : m_processes)
    if (id < processId && p.running && !p.instanceReleased &&
        ansi::foldCase(fileName(p.exePath)) == name)
      return true;
  return false;
}

void SimSystem::releaseInstance(int processId) {
  auto it = m_processes.find(processId);
  if (it != m_processes.end()) it->second.instanceReleased = true;
}

const std::string& SimSystem::exePathOf(int processId) const {
  return m_processes.at(processId).exePath;
}

const std::string& SimSystem::commandLineOf(int processId) const {
  return m_processes.at(processId).commandLine;
}

intptr_t SimSystem::shellExecute(const ShellCall& call) {
  ShellCall recorded = call;
  if (isInstalled(call.file)) {
    m_pending.emplace_back(call.file, call.parameters);
    recorded.result = kStarted;
  } else {
    recorded.result = kFileNotFound;
  }
  m_shellCalls.push_back(recorded);
  return recorded.result;
}

int SimSystem::runPending() {
  int started = 0;
  while (!m_pending.empty()) {
    auto [path, params] = m_pending.front();
    m_pending.pop_front();
    auto it = m_installed.find(ansi::foldCase(path));
    if (it == m_installed.end()) continue;
    const Launcher launcher = it->second;  // a copy: the launcher may install more programs
    const int id = startProcess(path, params);
    launcher(*this, id, params);
    ++started;
  }
  return started;
}

std::string SimHost::programFolder() {
  const std::string& path = m_system.exePathOf(m_process);
  const size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  // A drive root keeps its backslash ("C:\").
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::string SimHost::exeName() {
  return baseNameOf(m_system.exePathOf(m_process));
}

std::string SimHost::commandLine() { return m_system.commandLineOf(m_process); }

bool SimHost::previousInstance() { return m_system.hasEarlierInstance(m_process); }

bool SimHost::getVersionExA(uint32_t recordSize, OsVersionInfo& info) {
  if (m_system.versionCallFails || recordSize != kOsVersionInfoSize) return false;
  info = m_system.osVersion;
  return true;
}

intptr_t SimShell::shellExecuteA(Hwnd owner, std::string_view verb, std::string_view file,
                                 std::string_view parameters, std::string_view directory,
                                 int showCommand) {
  return m_system.shellExecute(ShellCall{owner, std::string(verb), std::string(file),
                                         std::string(parameters), std::string(directory),
                                         showCommand, 0});
}

}  // namespace morvane::sim
