// The simulated machine's programs: which are installed where, which are running, and the shell
// that starts them. A start through the shell does not run the program at once: like a new
// process it gets going after the caller's current message has been handled (runPending).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/host.h"

namespace morvane::sim {

class SimSystem;

struct ShellCall {
  Hwnd owner = 0;
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  int showCommand = 0;
  intptr_t result = 0;
};

class SimSystem {
 public:
  // Starts an installed program: given the system, its process id and its command line.
  using Launcher = std::function<void(SimSystem&, int processId, const std::string& commandLine)>;

  void install(std::string exePath, Launcher launcher);
  bool isInstalled(std::string_view exePath) const;
  void uninstall(std::string_view exePath);

  // Registers a running process; returns its id.
  int startProcess(std::string exePath, std::string commandLine);
  void endProcess(int processId);
  bool isRunning(int processId) const;
  // Running processes whose file name (without folder) matches, letter case ignored.
  int runningCount(std::string_view exeFileName) const;
  // True when a process of the same program started before this one and still runs, unless that
  // one released its instance.
  bool hasEarlierInstance(int processId) const;
  void releaseInstance(int processId);
  const std::string& exePathOf(int processId) const;
  const std::string& commandLineOf(int processId) const;

  // ShellExecuteA: queues the start of an installed program (result 42) or fails with
  // ERROR_FILE_NOT_FOUND (2). Every call is recorded.
  intptr_t shellExecute(const ShellCall& call);
  const std::vector<ShellCall>& shellCalls() const { return m_shellCalls; }
  // Runs the programs started through the shell since the last call; returns how many.
  int runPending();

  OsVersionInfo osVersion{5, 1, 2600};
  bool versionCallFails = false;
  int32_t twipsPerPixel = 15;
  // Every simulated program's own version.
  ProgramVersion programVersion{1, 1, 0};

 private:
  struct Process {
    std::string exePath;
    std::string commandLine;
    bool running = true;
    bool instanceReleased = false;
  };
  std::map<std::string, Launcher> m_installed;  // key: lower-case path
  std::map<int, Process> m_processes;
  int m_nextProcess = 1;
  std::vector<ShellCall> m_shellCalls;
  std::deque<std::pair<std::string, std::string>> m_pending;  // path, parameters
};

// One program's view of the machine.
class SimHost : public Host {
 public:
  SimHost(SimSystem& system, int processId) : m_system(system), m_process(processId) {}
  std::string programFolder() override;
  std::string exeName() override;
  std::string commandLine() override;
  bool previousInstance() override;
  void releaseInstance() override { m_system.releaseInstance(m_process); }
  bool getVersionExA(uint32_t recordSize, OsVersionInfo& info) override;
  ProgramVersion programVersion() override { return m_system.programVersion; }
  int32_t twipsPerPixelX() override { return m_system.twipsPerPixel; }
  int32_t twipsPerPixelY() override { return m_system.twipsPerPixel; }
  int processId() const { return m_process; }

 private:
  SimSystem& m_system;
  int m_process;
};

class SimShell : public Shell {
 public:
  explicit SimShell(SimSystem& system) : m_system(system) {}
  intptr_t shellExecuteA(Hwnd owner, std::string_view verb, std::string_view file,
                         std::string_view parameters, std::string_view directory,
                         int showCommand) override;

 private:
  SimSystem& m_system;
};

}  // namespace morvane::sim
