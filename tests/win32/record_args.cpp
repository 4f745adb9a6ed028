// The recorder: a program that writes how it was started (its command line, its arguments, its
// folder and its current folder) to a file and exits. Tests start it, or copy it under another
// program's name, to see how programs are started. See support/recorded_start.h.
#include <cstdlib>
#include <string>

#include "platform/win32/win32_host.h"
#include "tests/win32/support/recorded_start.h"

#include "platform/win32/win32_base.h"

int main() {
  using namespace morvane;
  win32::Win32Host host;
  wintest::RecordedStart start;
  start.commandLine = GetCommandLineA();
  start.arguments = host.commandLine();
  start.programFolder = host.programFolder();
  char folder[MAX_PATH * 4] = {};
  const DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
  start.workingDirectory.assign(folder, n < sizeof folder ? n : 0);

  std::string file;
  if (const char* named = std::getenv(wintest::kRecordFileVariable); named && *named) {
    file = named;
  } else {
    char self[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    file = wintest::defaultRecordFile(std::string(self, length));
  }
  return wintest::appendRecordedStart(file, start) ? 0 : 1;
}
