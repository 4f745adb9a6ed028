// Morvane's installer as tests meet it: the packages the builds made, msiexec run on them, and
// pictures of the machine (the files of drive C: and the machine's and user's registry) to
// compare before and after.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/win32/win32_base.h"

namespace morvane::wintest {

// One build's packages: the package of this version, and one of an older version to upgrade
// from. is64: the 64-bit package, made for tests only, which installs into the 64-bit view.
struct MorvanePackages {
  std::string name;  // "x86" or "x64"
  std::string current;
  std::string older;
  std::string currentVersion;
  bool is64 = false;

  REGSAM view() const { return is64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }
  // Where the installed programs can run on this machine: the 32-bit ones not where Wine runs
  // 64-bit programs only (scripts/wine-session tells through MORVANE_WINE_32BIT).
  bool programsRun() const;
};
inline void PrintTo(const MorvanePackages& packages, std::ostream* out) {
  *out << packages.name;
}

// The packages of the two Windows builds, as the test program was built to find them.
MorvanePackages packagesX86();
MorvanePackages packagesX64();
// True where this machine runs 32-bit programs (MORVANE_WINE_32BIT is not "0").
bool machineRuns32BitPrograms();
// A shell folder of this user or machine (CSIDL_...), as Windows names it now.
std::string knownFolder(int csidl);

// Runs msiexec with the arguments (a log goes to %TEMP% for a failure to be read): its exit code,
// or nullopt when it did not end within the timeout.
std::optional<uint32_t> msiexec(const std::string& arguments,
                                std::chrono::milliseconds timeout = std::chrono::minutes(3));

// The machine as files and registry: every file under C:\ (its path, lower case) with its size,
// and every key and value under HKEY_LOCAL_MACHINE\Software and HKEY_CURRENT_USER\Software, as
// "HKLM\Software\...\key" and "HKLM\Software\...\key|name=data". The temporary folders, and what
// Wine itself changes as it runs, are left out.
struct MachinePicture {
  std::map<std::string, uint64_t> files;
  std::map<std::string, std::string> registry;  // entry -> data ("" for a key)

  static MachinePicture take();
};

// What one picture has that the other has not, and what changed: entries prefixed "+ ", "- " and
// "~ ", sorted, with the data of keys and values.
std::vector<std::string> differences(const MachinePicture& before, const MachinePicture& after);

// The value of a registry entry in the given view, nullopt when it is not there.
std::optional<std::string> registryText(HKEY root, const std::string& key, const std::string& name,
                                        REGSAM view);
bool registryKeyExists(HKEY root, const std::string& key, REGSAM view);

// The files of a folder, by name, sorted; empty when the folder is not there.
std::vector<std::string> filesIn(const std::string& folder);
bool folderExists(const std::string& folder);

// Morvane's Start-menu entry: in the common Start menu, as Windows Installer puts it for a
// per-machine installation, or, where only that exists, in the user's (Wine's msiexec puts it
// there).
std::string startMenuEntry();

// The full path of a running process's program file.
std::string programFileOf(uint32_t processId);

}  // namespace morvane::wintest
