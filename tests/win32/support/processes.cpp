#include "tests/win32/support/processes.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/win32/win32_base.h"
#include "platform/win32/win32_host.h"

#include <tlhelp32.h>

namespace morvane::wintest {

namespace {
constexpr std::string_view kChildSwitch = "--morvane-child=";
}  // namespace

RunningProcess::RunningProcess(const std::string& commandLine, const std::string& directory)
    : RunningProcess(win32::toWide(commandLine), win32::toWide(directory)) {}

RunningProcess::RunningProcess(std::wstring line, const std::wstring& folder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return;
  }
  CloseHandle(info.hThread);
  m_process = info.hProcess;
  m_processId = info.dwProcessId;
  m_threadId = info.dwThreadId;
}

std::vector<uint32_t> processesNamed(std::string_view exeName) {
  std::vector<uint32_t> found;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (ansi::foldCase(entry.szExeFile) == ansi::foldCase(exeName))
      found.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return found;
}

size_t endProcessesNamed(std::string_view exeName) {
  size_t ended = 0;
  for (const uint32_t id : processesNamed(exeName)) {
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process == nullptr) continue;
    if (TerminateProcess(process, 1)) {
      WaitForSingleObject(process, 5000);
      ++ended;
    }
    CloseHandle(process);
  }
  return ended;
}

RunningProcess::~RunningProcess() {
  if (m_process == nullptr) return;
  if (running()) {
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, 5000);
  }
  CloseHandle(m_process);
}

bool RunningProcess::running() const {
  return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

std::optional<uint32_t> RunningProcess::waitForExit(std::chrono::milliseconds timeout) {
  if (m_process == nullptr) return std::nullopt;
  if (!waitUntil([&] { return !running(); }, timeout)) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(m_process, &code)) return std::nullopt;
  return code;
}

std::optional<uint32_t> runToEnd(const std::string& commandLine, const std::string& directory,
                                 std::chrono::milliseconds timeout) {
  RunningProcess process(commandLine, directory);
  return process.waitForExit(timeout);
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name, const std::string& value)
    : m_name(std::move(name)) {
  const DWORD size = GetEnvironmentVariableA(m_name.c_str(), nullptr, 0);
  if (size > 0) {
    std::string old(size, '\0');
    old.resize(GetEnvironmentVariableA(m_name.c_str(), old.data(), size));
    m_old = std::move(old);
  }
  SetEnvironmentVariableA(m_name.c_str(), value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  SetEnvironmentVariableA(m_name.c_str(), m_old ? m_old->c_str() : nullptr);
}

std::string selfPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string besideMe(std::string_view file) {
  const std::string self = selfPath();
  return self.substr(0, self.find_last_of('\\') + 1) + std::string(file);
}

std::string quotedPath(std::string_view path) {
  std::string text = "\"";
  text.append(path).append("\"");
  return text;
}

std::optional<uint32_t> runChildMode(std::string_view mode, std::string_view arguments,
                                     std::chrono::milliseconds timeout) {
  std::string line = quotedPath(selfPath());
  line.append(" ").append(kChildSwitch).append(mode);
  if (!arguments.empty()) line.append(" ").append(arguments);
  return runToEnd(line, {}, timeout);
}

ChildMode::ChildMode(const char* name, int (*body)()) {
  const std::string arguments = win32::commandArguments(GetCommandLineA());
  const std::string expected = std::string(kChildSwitch) + name;
  if (arguments.compare(0, expected.size(), expected) != 0) return;
  if (arguments.size() > expected.size() && arguments[expected.size()] != ' ') return;
  std::exit(body());
}

}  // namespace morvane::wintest
