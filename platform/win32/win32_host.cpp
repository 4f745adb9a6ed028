#include "platform/win32/win32_host.h"

#include <memory>
#include <vector>

#include "platform/win32/win32_base.h"

#include <sddl.h>
#include <shellapi.h>

namespace morvane::win32 {

namespace {

constexpr int32_t kTwipsPerInch = 1440;
constexpr int32_t kStandardTwipsPerPixel = 15;

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::wstring modulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // cut off: try a larger buffer
  }
}

// The path in the ANSI code page; false when one of its characters has no ANSI spelling.
bool toAnsiExactly(const std::wstring& wide, std::string& ansi) {
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                    static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
  if (lossy) return false;
  ansi.assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      ansi.data(), n, nullptr, &lossy);
  return !lossy;
}

std::wstring shortPath(const std::wstring& path) {
  const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return path;
  std::wstring result(n, L'\0');
  const DWORD written = GetShortPathNameW(path.c_str(), result.data(), n);
  if (written == 0 || written >= n) return path;
  result.resize(written);
  return result;
}

// The user's SID as text ("S-1-5-21-..."), empty when it cannot be read.
std::wstring userSid() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return {};
  const UniqueHandle token(rawToken);
  DWORD size = 0;
  GetTokenInformation(rawToken, TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(rawToken, TokenUser, buffer.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    return {};
  }
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

// The named mutex that marks a running copy of this program for this user.
class InstanceMarker {
 public:
  InstanceMarker() {
    std::wstring program = modulePath();
    program.erase(0, program.find_last_of(L"\\/") + 1);
    CharUpperBuffW(program.data(), static_cast<DWORD>(program.size()));
    // Local\ is the user's session; the SID keeps apart users who share one (run as).
    const std::wstring name = L"Local\\Morvane.Instance." + userSid() + L"." + program;
    m_mutex.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    // Access denied: the mutex exists and belongs to a copy running with other rights.
    m_earlier = m_mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
  }
  bool earlierCopyRunning() const { return m_earlier; }
  void release() { m_mutex.reset(); }

 private:
  UniqueHandle m_mutex;
  bool m_earlier = false;
};

// The process's one marker, made at the first question.
InstanceMarker& instanceMarker() {
  static InstanceMarker marker;
  return marker;
}

// 1440 over the screen's logical DPI on one axis (LOGPIXELSX or LOGPIXELSY), to the nearest
// whole number; 15 when the screen cannot be asked.
int32_t twipsPerPixel(int capability) {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return kStandardTwipsPerPixel;
  const int dpi = GetDeviceCaps(screen, capability);
  ReleaseDC(nullptr, screen);
  if (dpi <= 0) return kStandardTwipsPerPixel;
  return (kTwipsPerInch + dpi / 2) / dpi;
}

}  // namespace

std::string programFolderOf(std::string_view exePath) {
  std::string path(exePath);
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
    path = "\\\\" + path.substr(8);
  } else if (path.rfind("\\\\?\\", 0) == 0) {
    path.erase(0, 4);
  }
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  path.resize(slash);
  if (path.size() == 2 && path[1] == ':') path += '\\';
  return path;
}

std::string commandArguments(std::string_view commandLine) {
  size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const size_t close = commandLine.find('"', 1);
    i = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
  }
  while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  return std::string(commandLine.substr(i));
}

std::string Win32Host::programFolder() {
  const std::wstring path = modulePath();
  std::string ansi;
  if (!toAnsiExactly(path, ansi) && !toAnsiExactly(shortPath(path), ansi)) {
    ansi = toAnsi(path);  // no spelling of it works; the best the code page offers
  }
  return programFolderOf(ansi);
}

std::string Win32Host::exeName() {
  return baseNameOf(toAnsi(modulePath()));
}

std::string Win32Host::commandLine() {
  const char* line = GetCommandLineA();
  return commandArguments(line != nullptr ? line : "");
}

bool Win32Host::previousInstance() {
  return instanceMarker().earlierCopyRunning();
}

void Win32Host::releaseInstance() {
  instanceMarker().release();
}

bool Win32Host::getVersionExA(uint32_t recordSize, OsVersionInfo& info) {
  // Room for the larger record too (OSVERSIONINFOEXA), so any size the system accepts fits.
  OSVERSIONINFOEXA record{};
  if (recordSize > sizeof record) return false;
  record.dwOSVersionInfoSize = recordSize;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record))) return false;
  info.major = record.dwMajorVersion;
  info.minor = record.dwMinorVersion;
  info.build = record.dwBuildNumber;
  return true;
}

ProgramVersion Win32Host::programVersion() {
  const std::wstring exe = modulePath();
  DWORD ignored = 0;
  std::vector<char> data(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (data.empty() ||
      !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size) ||
      fixed == nullptr)
    return {};
  return {static_cast<int32_t>(HIWORD(fixed->dwFileVersionMS)),
          static_cast<int32_t>(LOWORD(fixed->dwFileVersionMS)),
          static_cast<int32_t>(LOWORD(fixed->dwFileVersionLS))};
}

int32_t Win32Host::twipsPerPixelX() {
  return twipsPerPixel(LOGPIXELSX);
}

int32_t Win32Host::twipsPerPixelY() {
  return twipsPerPixel(LOGPIXELSY);
}

intptr_t Win32Shell::shellExecuteA(Hwnd owner, std::string_view verb, std::string_view file,
                                   std::string_view parameters, std::string_view directory,
                                   int showCommand) {
  const std::string verbText(verb);
  const std::string fileText(file);
  const std::string parametersText(parameters);
  const std::string directoryText(directory);
  const HINSTANCE result =
      ShellExecuteA(toHwnd(owner), verb.empty() ? nullptr : verbText.c_str(), fileText.c_str(),
                    parameters.empty() ? nullptr : parametersText.c_str(),
                    directory.empty() ? nullptr : directoryText.c_str(), showCommand);
  return reinterpret_cast<intptr_t>(result);
}

}  // namespace morvane::win32
