// screenshot_stage.exe: puts Morvane's windows on the screen for scripts/screenshots and says
// where they are, as "LEFT TOP WIDTH HEIGHT" in screen pixels on standard output.
//   screenshot_stage splash        shows the splash alone and keeps it up until it is ended
//   screenshot_stage window TITLE  waits until a window titled TITLE (TITLE* : a title starting
//                                  so) is the only window its program shows, repaints it and
//                                  reports it (exit 1: none came within a minute)
//   screenshot_stage options FORM LETTER TITLE
//                                  opens the Options menu of the window titled FORM with the
//                                  keyboard, chooses its entry LETTER, and reports the window
//                                  titled TITLE that it opens
//   screenshot_stage close TITLE   closes the window titled TITLE, as its close box does, and
//                                  waits until it has gone
//   screenshot_stage next-record   presses PageDown in ACT!'s frame: the next record
//   screenshot_stage place TITLE LEFT TOP WIDTH HEIGHT
//                                  restores the window titled TITLE (TITLE*: a title starting
//                                  so) and moves it there
//   screenshot_stage shows TITLE   waits until a window titled TITLE shows (exit 1: none came
//                                  within a minute), whatever else its program shows
//   screenshot_stage french-integration
//                                  shows the integration dialog in French (ACT!'s stand-in must
//                                  run) and keeps it up until it is ended
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "apps/win32_program.h"
#include "editor/frmIntegrate.h"
#include "editor/frmMain.h"
#include "editor/morvane_program.h"
#include "platform/win32/win32_ui.h"

namespace {

using namespace morvane;

void report(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fflush(stdout);
}

int showSplash() {
  win32::Win32Platform platform;
  win32::Win32Ui ui(platform.windows);
  frmSplash splash(ui);
  splash.show();
  splash.refresh();
  report(reinterpret_cast<HWND>(splash.hWnd()));
  platform.runMessageLoop([] { return false; });
  return 0;
}

struct Search {
  const char* title;
  HWND found = nullptr;
  DWORD process = 0;
  int othersVisible = 0;
};

std::string titleOf(HWND window) {
  char text[256] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 2000, &length))
    return {};
  return text;
}

bool matches(const std::string& title, std::string_view pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return title.starts_with(pattern.substr(0, pattern.size() - 1));
  return title == pattern;
}

BOOL CALLBACK findTitled(HWND window, LPARAM address) {
  auto& search = *reinterpret_cast<Search*>(address);
  if (IsWindowVisible(window) && matches(titleOf(window), search.title)) {
    search.found = window;
    GetWindowThreadProcessId(window, &search.process);
  }
  return TRUE;
}

BOOL CALLBACK countOthers(HWND window, LPARAM address) {
  auto& search = *reinterpret_cast<Search*>(address);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (window != search.found && process == search.process && IsWindowVisible(window))
    ++search.othersVisible;
  return TRUE;
}

int waitForWindow(const char* title) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    Search search{title};
    EnumWindows(&findTitled, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      EnumWindows(&countOthers, reinterpret_cast<LPARAM>(&search));
      if (search.othersVisible == 0) {
        RedrawWindow(search.found, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        report(search.found);
        return 0;
      }
    }
    Sleep(50);
  }
  std::fprintf(stderr, "screenshot_stage: no window \"%s\" alone on the screen\n", title);
  return 1;
}

HWND visibleTitled(const char* title) {
  Search search{title};
  EnumWindows(&findTitled, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK findMenu(HWND window, LPARAM found) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && std::strcmp(name, "#32768") == 0)
    *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

// Waits up to a minute for a condition, checking every 50 ms.
template <class Condition>
bool waitFor(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    Sleep(50);
  }
  return false;
}

int openFromOptions(const char* form, char letter, const char* title) {
  HWND window = nullptr;
  if (!waitFor([&] { return (window = visibleTitled(form)) != nullptr; })) return 1;
  PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 'o');
  if (!waitFor([] {
        bool shown = false;
        EnumWindows(&findMenu, reinterpret_cast<LPARAM>(&shown));
        return shown;
      }))
    return 1;
  PostMessageA(window, WM_CHAR, static_cast<unsigned char>(letter), 0);
  HWND dialog = nullptr;
  if (!waitFor([&] { return (dialog = visibleTitled(title)) != nullptr; })) return 1;
  RedrawWindow(dialog, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  report(dialog);
  return 0;
}

int closeWindow(const char* title) {
  HWND window = visibleTitled(title);
  if (window == nullptr) return 1;
  PostMessageA(window, WM_CLOSE, 0, 0);
  return waitFor([&] { return !IsWindow(window); }) ? 0 : 1;
}

int place(const char* title, int left, int top, int width, int height) {
  const HWND window = visibleTitled(title);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_RESTORE);
  return MoveWindow(window, left, top, width, height, TRUE) ? 0 : 1;
}

int waitForTitle(const char* title) {
  return waitFor([&] { return visibleTitled(title) != nullptr; }) ? 0 : 1;
}

int nextRecord() {
  // The record view takes ACT!'s keys.
  const HWND frame = FindWindowA("ACT3.0FrameClass", nullptr);
  const HWND view =
      frame != nullptr ? FindWindowExA(frame, nullptr, "AfxMDIFrame", nullptr) : nullptr;
  if (view == nullptr) return 1;
  PostMessageA(view, WM_KEYDOWN, VK_NEXT, 1);
  return 0;
}

int showFrenchIntegration() {
  win32::Win32Platform platform;
  win32::Win32Ui ui(platform.windows);
  MorvaneProgram program(platform.services, ui);
  clsFrmIntegrate dialog(program);
  dialog.AppName = "Mo&rvane";
  dialog.Language = 1;
  dialog.ContactScreen = true;
  dialog.GroupScreen = true;
  dialog.show();
  dialog.refresh();
  report(reinterpret_cast<HWND>(dialog.hWnd()));
  platform.runMessageLoop([] { return false; });
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "splash") == 0) return showSplash();
  if (argc == 3 && std::strcmp(argv[1], "window") == 0) return waitForWindow(argv[2]);
  if (argc == 5 && std::strcmp(argv[1], "options") == 0 && std::strlen(argv[3]) == 1)
    return openFromOptions(argv[2], argv[3][0], argv[4]);
  if (argc == 3 && std::strcmp(argv[1], "close") == 0) return closeWindow(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "french-integration") == 0) return showFrenchIntegration();
  if (argc == 2 && std::strcmp(argv[1], "next-record") == 0) return nextRecord();
  if (argc == 3 && std::strcmp(argv[1], "shows") == 0) return waitForTitle(argv[2]);
  if (argc == 7 && std::strcmp(argv[1], "place") == 0)
    return place(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                 std::atoi(argv[6]));
  std::fprintf(stderr,
               "usage: screenshot_stage splash | window TITLE | options FORM LETTER TITLE | "
               "close TITLE | french-integration | next-record | shows TITLE | place TITLE LEFT "
               "TOP WIDTH HEIGHT\n");
  return 2;
}
