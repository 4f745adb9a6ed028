// What the COM tests share: where the test server is, running it, and the registry as it is.
#pragma once

#include <ostream>
#include <string>

#include "platform/automation.h"
#include "platform/win32/com/com_object.h"
#include "platform/win32/com/com_registration.h"

namespace morvane {

// Variants in test messages: kind and value.
inline void PrintTo(const Variant& v, std::ostream* os) {
  struct Visitor {
    std::ostream& os;
    void operator()(Empty) const { os << "Empty"; }
    void operator()(bool b) const { os << "Boolean " << (b ? "True" : "False"); }
    void operator()(int16_t i) const { os << "Integer " << i; }
    void operator()(int32_t i) const { os << "Long " << i; }
    void operator()(float f) const { os << "Single " << f; }
    void operator()(double d) const { os << "Double " << d; }
    void operator()(const std::string& s) const { os << "String \"" << s << "\""; }
    void operator()(const ObjectRef& o) const { os << (o ? "Object" : "Nothing"); }
  };
  std::visit(Visitor{*os}, v.value());
}

}  // namespace morvane

namespace morvane::win32::testing {

// A file the build puts beside this program, or the same file of the other bitness's build (empty
// when that is not built).
inline std::string builtFile(const std::string& name, bool otherBitness = false) {
  std::string path = programPath();
  path = path.substr(0, path.find_last_of('\\') + 1) + name;
  if (!otherBitness) return path;
  const std::string mine = sizeof(void*) == 8 ? "windows-x64" : "windows-x86";
  const std::string other = sizeof(void*) == 8 ? "windows-x86" : "windows-x64";
  const size_t at = path.rfind(mine);
  if (at == std::string::npos) return {};
  path.replace(at, mine.size(), other);
  return GetFileAttributesW(toWide(path).c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : path;
}

// Why programs of the other bitness cannot run here, or empty when they can. scripts/wine-session
// tries once whether this machine runs 32-bit programs and says so in MORVANE_WINE_32BIT.
inline std::string otherBitnessCannotRun() {
  if (sizeof(void*) == 4) return {};
  char value[4] = {};
  const DWORD length = GetEnvironmentVariableA("MORVANE_WINE_32BIT", value, sizeof value);
  if (length == 1 && value[0] == '0') return "this machine cannot run 32-bit programs";
  return {};
}

inline std::string testServerPath(bool otherBitness = false) {
  return builtFile("com_test_server.exe", otherBitness);
}

// Runs a program to its end and gives its exit code.
inline DWORD runProgram(const std::string& path, const std::string& arguments) {
  std::wstring commandLine = toWide("\"" + path + "\" " + arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return static_cast<DWORD>(-1);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// A value (the default one unless named) of HKEY_LOCAL_MACHINE\Software\Classes\<subkey> in one
// view of the registry (KEY_WOW64_32KEY or KEY_WOW64_64KEY); "<none>" when the key is not there.
inline std::string classesValue(const std::string& subkey, REGSAM view,
                                const std::string& name = {}) {
  HKEY key = nullptr;
  const std::wstring path = toWide("Software\\Classes\\" + subkey);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) !=
      ERROR_SUCCESS) {
    return "<none>";
  }
  wchar_t value[512] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  const std::wstring valueName = toWide(name);
  const LSTATUS status = RegQueryValueExW(key, name.empty() ? nullptr : valueName.c_str(), nullptr,
                                          nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? toAnsi(value) : std::string();
}

}  // namespace morvane::win32::testing
