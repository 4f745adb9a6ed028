// What a program learns about itself and the system, and how it starts other programs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/window_system.h"

namespace morvane {

struct OsVersionInfo {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};

// The program's own version: App.Major, App.Minor and App.Revision (the file version's first,
// second and fourth numbers).
struct ProgramVersion {
  int32_t major = 0;
  int32_t minor = 0;
  int32_t revision = 0;
};

// The name of a program file without its folder and extension: C:\a\Morvane.exe gives Morvane.
inline std::string baseNameOf(std::string_view exePath) {
  const size_t slash = exePath.find_last_of('\\');
  const std::string_view name =
      slash == std::string_view::npos ? exePath : exePath.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

class Host {
 public:
  Host() = default;
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  virtual ~Host() = default;

  // The folder of the running program's .exe, without a trailing "\" (except at a drive root).
  virtual std::string programFolder() = 0;
  // The program file's name without its folder and extension (App.EXEName), e.g. "Morvane".
  virtual std::string exeName() = 0;
  // The program's command line after its name (Command$).
  virtual std::string commandLine() = 0;
  // Whether another copy of this program is already running (App.PrevInstance).
  virtual bool previousInstance() = 0;
  // This copy, about to end, stops counting as running: a copy started from now on does not find
  // it with previousInstance.
  virtual void releaseInstance() = 0;
  // GetVersionExA with a record of the given size; false when the call fails.
  virtual bool getVersionExA(uint32_t recordSize, OsVersionInfo& info) = 0;
  virtual ProgramVersion programVersion() = 0;
  // Screen twips per pixel (15 at 96 DPI).
  virtual int32_t twipsPerPixelX() = 0;
  virtual int32_t twipsPerPixelY() = 0;
};

// shell32's ShellExecuteA. Results above 32 mean success.
class Shell {
 public:
  Shell() = default;
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;
  virtual ~Shell() = default;
  virtual intptr_t shellExecuteA(Hwnd owner, std::string_view verb, std::string_view file,
                                 std::string_view parameters, std::string_view directory,
                                 int showCommand) = 0;
};

}  // namespace morvane
