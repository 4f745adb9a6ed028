// Other programs in Windows tests: starting one and waiting for its end while this thread keeps
// handling its messages, and test programs that run a copy of themselves for one small job.
//
// A child mode is a function that a test program runs instead of its tests when it is started
// with "--morvane-child=<name>" as its first argument; its result is the copy's exit code:
//
//   MORVANE_CHILD_MODE(previous_instance) { return Win32Host().previousInstance() ? 1 : 0; }
//   ...
//   EXPECT_EQ(runChildMode("previous_instance"), 1u);
//
// The function runs while the program's static objects are being made, before main(), and the
// copy exits as soon as it returns: keep it small, and let it report only through its exit code
// or files.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/win32/support/wait.h"

namespace morvane::wintest {

// A program started with CreateProcess; ended (terminated) when the object goes, if still running.
class RunningProcess {
 public:
  // commandLine as the program will see it (quote a path with blanks); directory empty: ours.
  explicit RunningProcess(const std::string& commandLine, const std::string& directory = {});
  // The same in UTF-16, for paths the ANSI code page cannot spell.
  explicit RunningProcess(std::wstring commandLine, const std::wstring& directory = {});
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;
  ~RunningProcess();

  bool started() const { return m_process != nullptr; }
  uint32_t processId() const { return m_processId; }
  uint32_t threadId() const { return m_threadId; }
  bool running() const;
  // Waits for the end, handling this thread's messages meanwhile; the exit code, or nullopt
  // when it is still running after the timeout.
  std::optional<uint32_t> waitForExit(std::chrono::milliseconds timeout = kPatience);

 private:
  void* m_process = nullptr;
  uint32_t m_processId = 0;
  uint32_t m_threadId = 0;
};

// Runs a program to its end: its exit code, or nullopt when it did not start or end in time.
std::optional<uint32_t> runToEnd(const std::string& commandLine, const std::string& directory = {},
                                 std::chrono::milliseconds timeout = kPatience);

// Sets an environment variable of this process (programs it starts inherit it) and puts the old
// value back when it goes.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::string name, const std::string& value);
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
  ~ScopedEnvironmentVariable();

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

// The running processes whose program file is named exeName (no folder, any letter case), such
// as one that another program started.
std::vector<uint32_t> processesNamed(std::string_view exeName);
// Ends them, such as a server COM started for a test and left behind; how many were ended.
size_t endProcessesNamed(std::string_view exeName);

// The full path of the running test program.
std::string selfPath();
// A file in this program's folder.
std::string besideMe(std::string_view file);
// Runs this program in one of its child modes, with more arguments after the mode's name.
std::optional<uint32_t> runChildMode(std::string_view mode, std::string_view arguments = {},
                                     std::chrono::milliseconds timeout = kPatience);

// `"<path>"`, for a command line.
std::string quotedPath(std::string_view path);

class ChildMode {
 public:
  // Runs body and exits with its result when this process was started in the mode `name`.
  ChildMode(const char* name, int (*body)());
};

}  // namespace morvane::wintest

#define MORVANE_CHILD_MODE(name)                                                  \
  static int morvaneChildMode_##name();                                           \
  static const ::morvane::wintest::ChildMode morvaneChildModeRegistration_##name{ \
      #name, &morvaneChildMode_##name};                                           \
  static int morvaneChildMode_##name()
