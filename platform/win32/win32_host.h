// What a Windows program learns about itself and the system (Host), and the shell that starts
// other programs (Shell).
#pragma once

#include <string>
#include <string_view>

#include "platform/host.h"

namespace morvane::win32 {

class Win32Host : public Host {
 public:
  Win32Host() = default;

  // The folder of the running .exe (App.Path). A folder whose name the ANSI code page cannot
  // spell is given in its short (8.3) form, which it can.
  std::string programFolder() override;
  std::string exeName() override;
  // The command line after the program's name, leading blanks removed (Command$).
  std::string commandLine() override;
  // Whether another copy of this program, for this user, was running when this process first
  // asked (App.PrevInstance). The first call creates a named mutex for the user and the .exe's
  // file name (letter case ignored) and holds it until the process ends; later calls, from any
  // Win32Host of the process, give the first call's answer.
  bool previousInstance() override;
  // Closes the process's handle of that mutex: once no other copy holds one, the mutex goes, and
  // a copy started afterwards finds no earlier one.
  void releaseInstance() override;
  // GetVersionExA with dwOSVersionInfoSize = recordSize (148 for OSVERSIONINFOA); false when the
  // system refuses the size.
  bool getVersionExA(uint32_t recordSize, OsVersionInfo& info) override;
  // From the .exe's version resource; zeros when it has none.
  ProgramVersion programVersion() override;
  // 1440 / the screen's logical DPI, rounded to the nearest whole number (15 at 96 DPI).
  int32_t twipsPerPixelX() override;
  int32_t twipsPerPixelY() override;
};

// The folder part of a program's full path as App.Path gives it: no trailing "\" except at a
// drive root ("C:\"); a "\\?\" prefix is dropped. Empty for a bare file name.
std::string programFolderOf(std::string_view exePath);
// The arguments of a command line as Command$ gives them: the program name (quoted or not) and
// the blanks after it removed; the rest as it stands.
std::string commandArguments(std::string_view commandLine);

class Win32Shell : public Shell {
 public:
  Win32Shell() = default;

  // ShellExecuteA; an empty verb, parameters or directory is passed as NULL (the default verb,
  // no parameters, the caller's current folder).
  intptr_t shellExecuteA(Hwnd owner, std::string_view verb, std::string_view file,
                         std::string_view parameters, std::string_view directory,
                         int showCommand) override;
};

}  // namespace morvane::win32
