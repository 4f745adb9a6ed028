// CloseMorvane.exe: run by Morvane's installer before it replaces or removes the programs' files.
// It asks every running Morvane.exe and MorvaneAuto.exe to close, as a click on a form's close box
// would (MorvaneAuto then takes its icon away; the editor asks about unsaved rules), and waits for
// them to end.
//   CloseMorvane.exe UILEVEL      UILEVEL: the installer's UILevel property (2: silent)
// Exit code 0 once none runs; 1 when one still runs after the wait and the user, if there is one,
// chose Cancel. The installer then stops before it has changed anything, so a program folder is
// never left half replaced. Not installed: the package carries it for its own use.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

constexpr const wchar_t* kPrograms[] = {L"Morvane.exe", L"MorvaneAuto.exe"};
// The programs' form windows: MorvaneAuto's hidden form and the editor's forms. Message boxes and
// the controls' own windows are left alone.
constexpr const wchar_t* kFormClasses[] = {L"ThunderRT6FormDC", L"Morvane.Form"};
constexpr DWORD kPatienceMs = 15000;
constexpr DWORD kAskAgainMs = 1000;
constexpr int kSilent = 2;

std::vector<DWORD> runningPrograms() {
  std::vector<DWORD> found;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    for (const wchar_t* program : kPrograms)
      if (_wcsicmp(entry.szExeFile, program) == 0) found.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return found;
}

BOOL CALLBACK askToClose(HWND window, LPARAM programs) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  bool ours = false;
  for (const DWORD id : *reinterpret_cast<const std::vector<DWORD>*>(programs))
    ours = ours || id == owner;
  if (!ours || !IsWindowEnabled(window)) return TRUE;  // disabled: a modal dialog is in front
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  for (const wchar_t* form : kFormClasses)
    if (std::wcscmp(name, form) == 0) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// Asks the programs to close, again every second, until none runs or the patience is spent.
bool closeAll() {
  const DWORD start = GetTickCount();
  for (;;) {
    const std::vector<DWORD> programs = runningPrograms();
    if (programs.empty()) return true;
    if (GetTickCount() - start > kPatienceMs) return false;
    EnumWindows(askToClose, reinterpret_cast<LPARAM>(&programs));
    // Back as soon as they have all ended, or after a second to ask again.
    std::vector<HANDLE> processes;
    for (const DWORD id : programs)
      if (const HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, id)) processes.push_back(p);
    if (processes.empty() || processes.size() > MAXIMUM_WAIT_OBJECTS)
      Sleep(kAskAgainMs);
    else
      WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), TRUE,
                             kAskAgainMs);
    for (const HANDLE p : processes) CloseHandle(p);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const int uiLevel = commandLine != nullptr && *commandLine != L'\0'
                          ? static_cast<int>(std::wcstol(commandLine, nullptr, 10))
                          : kSilent;
  while (!closeAll()) {
    if (uiLevel <= kSilent) return 1;
    const int answer = MessageBoxW(nullptr,
                                   L"Morvane is still running.\r\n"
                                   L"Close Morvane, then click Retry to go on with the setup.",
                                   L"Morvane Setup", MB_RETRYCANCEL | MB_ICONWARNING | MB_TOPMOST);
    if (answer != IDRETRY) return 1;
  }
  return 0;
}
