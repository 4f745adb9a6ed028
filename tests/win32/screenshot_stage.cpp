// screenshot_stage.exe: puts Morvane's windows on the screen for scripts/screenshots and says
// where they are, as "LEFT TOP WIDTH HEIGHT" in screen pixels on standard output.
//   screenshot_stage splash        shows the splash alone and keeps it up until it is ended
//   screenshot_stage window TITLE  waits until a window titled TITLE (TITLE* : a title starting
//                                  so) is the only window its program shows, repaints it and
//                                  reports it (exit 1: none came within a minute)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "apps/win32_program.h"
#include "editor/frmMain.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "splash") == 0) return showSplash();
  if (argc == 3 && std::strcmp(argv[1], "window") == 0) return waitForWindow(argv[2]);
  std::fprintf(stderr, "usage: screenshot_stage splash | screenshot_stage window TITLE\n");
  return 2;
}
