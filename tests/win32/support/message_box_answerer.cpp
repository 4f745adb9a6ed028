#include "tests/win32/support/message_box_answerer.h"

#include <cstring>

#include "platform/win32/win32_base.h"

namespace morvane::wintest {

namespace {

// The message box's text control has the ID 0xFFFF on Windows and under Wine.
constexpr int kTextId = 0xFFFF;
constexpr int kLastButtonId = IDCONTINUE;

std::string windowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int n = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(n > 0 ? n : 0));
  return win32::toAnsi(text);
}

bool isClass(HWND hwnd, const char* name) {
  char className[64] = {};
  GetClassNameA(hwnd, className, sizeof className);
  return std::strcmp(className, name) == 0;
}

bool ownedBy(HWND hwnd, BoxOwner owner) {
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(hwnd, &processId);
  return owner.threadId != 0 ? threadId == owner.threadId : processId == owner.processId;
}

// The icon's Static control, found by its SS_ICON style rather than its ID (1088 under Wine).
int standardIcon(HWND box) {
  HWND child = nullptr;
  while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) return 0;
    const auto image = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    if (image == nullptr) return 0;
    const struct {
      const char* id;
      int value;
    } standard[] = {{IDI_HAND, MB_ICONHAND},
                    {IDI_QUESTION, MB_ICONQUESTION},
                    {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                    {IDI_ASTERISK, MB_ICONASTERISK}};
    for (const auto& candidate : standard) {
      if (LoadIconA(nullptr, candidate.id) == image) return candidate.value;
    }
    return -1;
  }
  return 0;
}

FoundMessageBox read(HWND box) {
  FoundMessageBox found;
  found.window = win32::fromHwnd(box);
  found.caption = windowText(box);
  if (HWND text = GetDlgItem(box, kTextId)) found.text = windowText(text);
  for (int id = IDOK; id <= kLastButtonId; ++id) {
    HWND button = GetDlgItem(box, id);
    if (button != nullptr && isClass(button, "Button") &&
        (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE)) {
      found.buttons.push_back(id);
    }
  }
  found.icon = standardIcon(box);
  return found;
}

struct Search {
  BoxOwner owner;
  HWND found = nullptr;
};

BOOL CALLBACK searchBox(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  if (ownedBy(hwnd, search->owner) && isClass(hwnd, "#32770") && IsWindowVisible(hwnd) &&
      GetDlgItem(hwnd, kTextId) != nullptr) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::optional<FoundMessageBox> findMessageBox(BoxOwner owner) {
  Search search{owner};
  EnumWindows(&searchBox, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return std::nullopt;
  return read(search.found);
}

std::optional<FoundMessageBox> waitForMessageBox(BoxOwner owner,
                                                 std::chrono::milliseconds timeout) {
  std::optional<FoundMessageBox> box;
  waitUntil([&] { return (box = findMessageBox(owner)).has_value(); }, timeout);
  return box;
}

BoxWhileAnswering waitForMessageBoxAnswering(BoxOwner owner, Hwnd window,
                                             std::chrono::milliseconds timeout) {
  BoxWhileAnswering result;
  waitUntil(
      [&] {
        DWORD_PTR ignored = 0;
        ++result.sends;
        if (!SendMessageTimeoutA(win32::toHwnd(window), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                 &ignored))
          ++result.unanswered;
        return (result.box = findMessageBox(owner)).has_value();
      },
      timeout);
  return result;
}

bool pressButton(const FoundMessageBox& box, int buttonId) {
  HWND window = win32::toHwnd(box.window);
  HWND button = GetDlgItem(window, buttonId);
  if (button == nullptr) return false;
  // What a click on the button sends its dialog. (BM_CLICK may be lost when the box is not the
  // active window.)
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != FALSE;
}

std::optional<FoundMessageBox> answerMessageBox(BoxOwner owner, int buttonId,
                                                std::chrono::milliseconds timeout) {
  std::optional<FoundMessageBox> box = waitForMessageBox(owner, timeout);
  if (box && !pressButton(*box, buttonId)) return std::nullopt;
  return box;
}

}  // namespace morvane::wintest
