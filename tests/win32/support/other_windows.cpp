#include "tests/win32/support/other_windows.h"

#include <dlgs.h>

#include "tests/win32/support/wait.h"

namespace morvane::wintest {

namespace {

struct TopLevelSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK collectVisible(HWND window, LPARAM searchAddress) {
  auto& search = *reinterpret_cast<TopLevelSearch*>(searchAddress);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId && IsWindowVisible(window)) search.found.push_back(window);
  return TRUE;
}

std::vector<HWND> visibleTopLevel(uint32_t processId) {
  TopLevelSearch search{processId, {}};
  EnumWindows(&collectVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct ChildSearch {
  std::string className;
  std::string text;
  HWND found = nullptr;
};

BOOL CALLBACK checkChild(HWND window, LPARAM searchAddress) {
  auto& search = *reinterpret_cast<ChildSearch*>(searchAddress);
  if (windowClass(window) == search.className && windowText(window) == search.text) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::string windowClass(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string windowText(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, &length))
    return "<no answer>";
  return win32::toAnsi(std::wstring_view(text, length));
}

std::vector<HWND> visibleWindowsOf(uint32_t processId) {
  std::vector<HWND> windows;
  for (HWND w : visibleTopLevel(processId))
    if (windowClass(w) != "#32770") windows.push_back(w);
  return windows;
}

HWND windowOf(uint32_t processId, const std::string& caption) {
  for (HWND w : visibleTopLevel(processId))
    if (windowText(w) == caption) return w;
  return nullptr;
}

HWND childWindow(HWND parent, const std::string& className, const std::string& text) {
  ChildSearch search{className, text};
  EnumChildWindows(parent, &checkChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void clickButton(HWND button) {
  PostMessageA(button, BM_CLICK, 0, 0);
}

HWND openMenuEntry(uint32_t processId, HWND form, char menuLetter, char entryLetter,
                   const std::string& caption) {
  PostMessageA(form, WM_SYSCOMMAND, SC_KEYMENU, menuLetter);
  if (!waitUntil([&] {
        for (HWND w : visibleTopLevel(processId))
          if (windowClass(w) == "#32768") return true;
        return false;
      }))
    return nullptr;
  PostMessageA(form, WM_CHAR, static_cast<unsigned char>(entryLetter), 0);
  HWND opened = nullptr;
  waitUntil([&] { return (opened = windowOf(processId, caption)) != nullptr; });
  return opened;
}

bool answerFileDialog(uint32_t processId, const std::string& path) {
  HWND dialog = nullptr;
  waitUntil([&] {
    for (HWND w : visibleTopLevel(processId))
      if (windowClass(w) == "#32770" && GetDlgItem(w, IDOK) != nullptr &&
          (GetDlgItem(w, cmb13) != nullptr || GetDlgItem(w, edt1) != nullptr))
        dialog = w;
    return dialog != nullptr;
  });
  if (dialog == nullptr) return false;
  // The name box is cmb13 in the explorer-style dialog, edt1 in older templates.
  HWND name = GetDlgItem(dialog, cmb13);
  if (name == nullptr) name = GetDlgItem(dialog, edt1);
  const std::wstring wide = win32::toWide(path);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  return true;
}

}  // namespace morvane::wintest
