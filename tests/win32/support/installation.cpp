#include "tests/win32/support/installation.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <system_error>

#include "platform/ansi_text.h"
#include "tests/win32/support/processes.h"

#include <shlobj.h>

// The packages' paths, given by tests/win32/CMakeLists.txt.
#ifndef MORVANE_PACKAGE_X86
#error "MORVANE_PACKAGE_X86 and its kin come from the build"
#endif

namespace morvane::wintest {

namespace {

std::string folderOf(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return win32::toAnsi(path);
}

std::string lower(std::string text) {
  return ansi::foldCase(text);
}

// Value data as text: strings as they are, numbers in decimal, anything else in hexadecimal.
std::string valueText(DWORD type, const std::vector<BYTE>& data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return win32::toAnsi(text);
  }
  if (type == REG_DWORD && data.size() == 4) {
    DWORD number = 0;
    std::copy(data.begin(), data.end(), reinterpret_cast<BYTE*>(&number));
    return std::to_string(number);
  }
  static const char digits[] = "0123456789abcdef";
  std::string text = "hex:";
  for (const BYTE b : data) text += {digits[b >> 4], digits[b & 15]};
  return text;
}

// Wine links some keys to others (the 32-bit view's shared keys): walked where they are.
bool isLink(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return false;
  const bool link = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, nullptr, nullptr,
                                     nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return link;
}

// Walks a key: every subkey and value into the picture. Wine's own keys are left out.
void walkKey(HKEY root, const std::wstring& path, const std::string& shown,
             std::map<std::string, std::string>& out, int depth) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return;
  out[shown] = "";
  DWORD subkeys = 0, values = 0, longestName = 0, longestValueName = 0, longestData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestName, nullptr, &values,
                   &longestValueName, &longestData, nullptr, nullptr);
  std::vector<wchar_t> name(std::max<DWORD>(longestValueName, longestName) + 2);
  std::vector<BYTE> data(longestData + 2);
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LSTATUS status =
        RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    if (status == ERROR_MORE_DATA) {
      data.resize(data.size() * 2 + 256);
      name.resize(name.size() * 2 + 64);
      --i;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    out[shown + "|" + win32::toAnsi(std::wstring(name.data(), nameLength))] =
        valueText(type, std::vector<BYTE>(data.begin(), data.begin() + dataLength));
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0;; ++i) {
    std::vector<wchar_t> child(std::max<DWORD>(longestName, 255) + 2);
    DWORD length = static_cast<DWORD>(child.size());
    if (RegEnumKeyExW(key, i, child.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    children.emplace_back(child.data(), length);
  }
  RegCloseKey(key);
  if (depth > 32) return;
  for (const std::wstring& child : children) {
    if (isLink(root, path + L"\\" + child)) continue;
    const std::string childShown = shown + "\\" + win32::toAnsi(child);
    const std::string folded = lower(childShown);
    // Wine's own state.
    if (folded.ends_with("\\software\\wine") || folded.ends_with("\\wow6432node\\wine")) continue;
    walkKey(root, path + L"\\" + child, childShown, out, depth + 1);
  }
}

void walkFolder(const std::filesystem::path& folder, const std::vector<std::string>& skipped,
                std::map<std::string, uint64_t>& out) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(
           folder, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const std::string path = lower(win32::toAnsi(it->path().wstring()));
    if (std::any_of(skipped.begin(), skipped.end(),
                    [&](const std::string& s) { return path.starts_with(s); })) {
      if (it->is_directory(ec)) it.disable_recursion_pending();
      continue;
    }
    if (it->is_directory(ec)) {
      out[path + "\\"] = 0;
    } else {
      out[path] = it->file_size(ec);
    }
  }
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

bool machineRuns32BitPrograms() {
  return environment("MORVANE_WINE_32BIT") != "0";
}

std::string knownFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

bool MorvanePackages::programsRun() const {
  return is64 || machineRuns32BitPrograms();
}

MorvanePackages packagesX86() {
  return {"x86", MORVANE_PACKAGE_X86, MORVANE_OLDER_PACKAGE_X86, MORVANE_VERSION, false};
}

MorvanePackages packagesX64() {
  return {"x64", MORVANE_PACKAGE_X64, MORVANE_OLDER_PACKAGE_X64, MORVANE_VERSION, true};
}

std::optional<uint32_t> msiexec(const std::string& arguments, std::chrono::milliseconds timeout) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string log = std::string(temp) + "morvane-msiexec.log";
  return runToEnd("msiexec " + arguments + " /l*v " + quotedPath(log), {}, timeout);
}

MachinePicture MachinePicture::take() {
  MachinePicture picture;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string tempFolder = lower(temp);
  while (!tempFolder.empty() && tempFolder.back() == '\\') tempFolder.pop_back();
  // Drive C: but the Windows folder and the users' folders (under Wine some of them lead to the
  // Linux home folder), and in their stead the places an installation may write to: the user's
  // Start menu, the common desktop and the installer's own folder.
  std::error_code ec;
  std::vector<std::filesystem::path> roots;
  for (const auto& entry : std::filesystem::directory_iterator(L"C:\\", ec)) {
    const std::string name = lower(win32::toAnsi(entry.path().filename().wstring()));
    if (name != "windows" && name != "users") roots.push_back(entry.path());
  }
  for (const int place : {CSIDL_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY})
    roots.emplace_back(win32::toWide(folderOf(place)));
  roots.emplace_back(win32::toWide(folderOf(CSIDL_WINDOWS) + "\\Installer"));
  for (const auto& root : roots) {
    if (!std::filesystem::is_directory(root, ec)) continue;
    picture.files[lower(win32::toAnsi(root.wstring())) + "\\"] = 0;
    walkFolder(root, {tempFolder}, picture.files);
  }
  walkKey(HKEY_LOCAL_MACHINE, L"Software", "HKLM\\Software", picture.registry, 0);
  walkKey(HKEY_CURRENT_USER, L"Software", "HKCU\\Software", picture.registry, 0);
  return picture;
}

std::vector<std::string> differences(const MachinePicture& before, const MachinePicture& after) {
  std::vector<std::string> found;
  const auto compare = [&](const auto& a, const auto& b, auto show) {
    for (const auto& [entry, data] : a) {
      const auto other = b.find(entry);
      if (other == b.end())
        found.push_back("- " + entry + show(data));
      else if (other->second != data)
        found.push_back("~ " + entry + show(other->second));
    }
    for (const auto& [entry, data] : b)
      if (!a.contains(entry)) found.push_back("+ " + entry + show(data));
  };
  compare(before.files, after.files, [](uint64_t) { return std::string(); });
  compare(before.registry, after.registry,
          [](const std::string& data) { return data.empty() ? data : " = " + data; });
  std::sort(found.begin(), found.end());
  return found;
}

std::optional<std::string> registryText(HKEY root, const std::string& key, const std::string& name,
                                        REGSAM view) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, win32::toWide(key).c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS)
    return std::nullopt;
  std::vector<BYTE> data(4096);
  DWORD size = static_cast<DWORD>(data.size());
  DWORD type = 0;
  const std::wstring wideName = win32::toWide(name);
  const LSTATUS status = RegQueryValueExW(k, name.empty() ? nullptr : wideName.c_str(), nullptr,
                                          &type, data.data(), &size);
  RegCloseKey(k);
  if (status != ERROR_SUCCESS) return std::nullopt;
  data.resize(size);
  return valueText(type, data);
}

bool registryKeyExists(HKEY root, const std::string& key, REGSAM view) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, win32::toWide(key).c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS)
    return false;
  RegCloseKey(k);
  return true;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(win32::toWide(folder)), ec))
    names.push_back(win32::toAnsi(entry.path().filename().wstring()));
  std::sort(names.begin(), names.end());
  return names;
}

bool folderExists(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::is_directory(std::filesystem::path(win32::toWide(folder)), ec);
}

std::string startMenuEntry() {
  const std::string common = folderOf(CSIDL_COMMON_PROGRAMS) + "\\Morvane.lnk";
  const std::string user = folderOf(CSIDL_PROGRAMS) + "\\Morvane.lnk";
  std::error_code ec;
  return !std::filesystem::exists(win32::toWide(common), ec) &&
                 std::filesystem::exists(win32::toWide(user), ec)
             ? user
             : common;
}

std::string programFileOf(uint32_t processId) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return {};
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = static_cast<DWORD>(std::size(path));
  const bool ok = QueryFullProcessImageNameW(process, 0, path, &size);
  CloseHandle(process);
  return ok ? win32::toAnsi(std::wstring(path, size)) : std::string();
}

}  // namespace morvane::wintest
