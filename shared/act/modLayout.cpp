#include "shared/act/modLayout.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>

#include "platform/ansi_text.h"
#include "platform/win_constants.h"

namespace morvane {

using namespace morvane::win;

namespace {

constexpr std::array<uint32_t, 4> kLayoutListStyles{0x40800001, 0x40A00001, 0x50800001, 0x50A00001};
constexpr int32_t kContinue = -1;
constexpr int32_t kStop = 0;
// Item texts are read into a buffer of this many characters.
constexpr size_t kItemBuffer = 255;

// An array element as Basic reads it: error 9 when there is no such element.
template <class T>
const T& element(const std::vector<T>& v, size_t i) {
  if (i >= v.size()) throw RuntimeError(err::kSubscriptOutOfRange);
  return v[i];
}

}  // namespace

bool isLayoutListStyle(int32_t style) {
  return std::find(kLayoutListStyles.begin(), kLayoutListStyles.end(),
                   static_cast<uint32_t>(style)) != kLayoutListStyles.end();
}

bool isActFrameClass(std::string_view className) {
  return ansi::containsNoCase(className, "ACT3.0FrameClass");
}

std::string modLayout::className(Hwnd hwnd) {
  std::array<char, 256> buffer{};
  const int32_t n = m_windows.getClassNameA(hwnd, buffer.data(), 256);
  return std::string(buffer.data(), static_cast<size_t>(std::max(n, 0)));
}

void modLayout::FindWindows() {
  m_trap.run("in Module1: Sub FindWindows", [&](int& line) {
    line = 1;
    ActWindowSet = WindowSet{};
    line = 2;
    m_windows.enumWindows([this](Hwnd h, LParam l) { return EnumMain(h, l); }, 0);
  });
}

int32_t modLayout::EnumMain(Hwnd hwnd, LParam) {
  int32_t result = kStop;
  m_trap.run("in Module1: Function EnumMain", [&](int& line) {
    line = 1;
    const std::string name = className(hwnd);
    line = 2;
    if (!isActFrameClass(name)) {
      result = kContinue;
      return;
    }
    line = 3;
    ActWindowSet.MainHandle = hwnd;
    line = 4;
    // Local to this search: RefreshList's clicks below can start a nested one, which takes its own.
    const std::vector<ChildWindow> children = childWindows(hwnd);
    runPass(children, &modLayout::EnumStatusBar);
    line = 5;
    ActWindowSet.CandidateRects.clear();
    ActWindowSet.CandidateHandles.clear();
    runPass(children, &modLayout::EnumButton);
    line = 6;
    ActWindowSet.ButtonHandle =
        GetButtonHandle(ActWindowSet.CandidateRects, ActWindowSet.CandidateHandles);
    line = 7;
    ActWindowSet.StatusButtons = ActWindowSet.CandidateHandles;
    line = 8;
    ActWindowSet.CandidateRects.clear();
    ActWindowSet.CandidateHandles.clear();
    runPass(children, &modLayout::EnumList);
    line = 9;
    RefreshList();
    line = 10;
    // A copy: the clicks above may have let a nested search rebuild the set meanwhile.
    ActWindowSet.ListHandle = GetListHandle(ActWindowSet.CandidateHandles);
    line = 11;
    result = kStop;
  });
  return result;
}

std::vector<ChildWindow> modLayout::childWindows(Hwnd frame) {
  std::vector<ChildWindow> children;
  // Nothing may unwind through the window system's enumeration: a failure is carried past it.
  std::exception_ptr failure;
  m_windows.enumChildWindows(
      frame,
      [&](Hwnd h, LParam) {
        try {
          children.push_back(ChildWindow{h, className(h)});
          return kContinue;
        } catch (...) {
          failure = std::current_exception();
          return kStop;
        }
      },
      0);
  if (failure) std::rethrow_exception(failure);
  return children;
}

void modLayout::runPass(const std::vector<ChildWindow>& children, Pass pass) {
  // A window destroyed since the walk fails every test of the passes (its calls fail as on
  // Windows), so it is never taken, as if the walk had not met it.
  for (const ChildWindow& child : children)
    if ((this->*pass)(child.hwnd, child.className) == kStop) return;
}

int32_t modLayout::EnumStatusBar(Hwnd hwnd, const std::string& windowClass) {
  int32_t result = kStop;
  m_trap.run("in Module1: Function EnumStatusBar", [&](int& line) {
    line = 1;
    if (windowClass == "msctls_statusbar32" && m_windows.isWindowVisible(hwnd)) {
      line = 2;
      ActWindowSet.StatusBarHandle = hwnd;
    }
    line = 3;
    result = kContinue;
  });
  return result;
}

int32_t modLayout::EnumButton(Hwnd hwnd, const std::string& windowClass) {
  int32_t result = kStop;
  m_trap.run("in Module1: Function EnumButton", [&](int& line) {
    line = 1;
    if (windowClass == "Button" && m_windows.isWindowVisible(hwnd) &&
        m_windows.getParent(hwnd) == ActWindowSet.StatusBarHandle) {
      line = 2;
      addCandidate(hwnd);
    }
    line = 3;
    result = kContinue;
  });
  return result;
}

int32_t modLayout::EnumList(Hwnd hwnd, const std::string& windowClass) {
  int32_t result = kStop;
  m_trap.run("in Module1: Function EnumList", [&](int& line) {
    line = 1;
    if (windowClass == "ListBox" && isLayoutListStyle(m_windows.getWindowLongA(hwnd, GWL_STYLE))) {
      line = 2;
      addCandidate(hwnd);
    }
    line = 3;
    result = kContinue;
  });
  return result;
}

void modLayout::addCandidate(Hwnd hwnd) {
  Rect r;
  m_windows.getWindowRect(hwnd, r);
  ActWindowSet.CandidateRects.push_back(r);
  ActWindowSet.CandidateHandles.push_back(hwnd);
}

Hwnd modLayout::GetButtonHandle(const std::vector<Rect>& rects, const std::vector<Hwnd>& handles) {
  if (handles.empty() || rects.empty()) return 0;
  if (handles.size() < 2 || rects.size() < 2) return handles[0];
  return rects[0].left < rects[1].left ? handles[0] : handles[1];
}

Hwnd modLayout::GetListHandle(std::vector<Hwnd> handles) {
  Hwnd result = 0;
  m_trap.run("in Module1: Function GetListHandle", [&](int& line) {
    for (Hwnd h : handles) {
      line = 1;
      Rect r;
      if (!m_windows.getWindowRect(h, r)) continue;  // gone since it was collected
      line = 2;
      if (isLayoutListStyle(m_windows.getWindowLongA(h, GWL_STYLE)) && r.left > 0) result = h;
    }
  });
  return result;
}

void modLayout::RefreshList() {
  // Each pair of clicks opens and closes a pop-up while nothing is painted; a missing button, or a
  // click ACT! does not answer, is skipped.
  ignoreErrors([&] { LockWindow(); });
  for (size_t button : {0u, 1u}) {
    for (int click = 0; click < 2; ++click) {
      ignoreErrors([&] {
        // Read afresh each time: a nested search may have rebuilt the list between clicks.
        const Hwnd h = element(ActWindowSet.StatusButtons, button);
        m_windows.sendMessageA(h, BM_CLICK, 0, 0);
      });
    }
  }
  ignoreErrors([&] { UnLockWindow(); });
}

void modLayout::LockWindow() {
  m_trap.run("in Module1: Sub LockWindow", [&](int& line) {
    line = 1;
    m_windows.lockWindowUpdate(ActWindowSet.MainHandle);
    line = 2;
    m_windows.sendMessageA(ActWindowSet.MainHandle, WM_SETREDRAW, 0, 0);
  });
}

void modLayout::UnLockWindow() {
  m_trap.run("in Module1: Sub UnLockWindow", [&](int& line) {
    line = 1;
    m_windows.sendMessageA(ActWindowSet.MainHandle, WM_SETREDRAW, 1, 0);
    line = 2;
    m_windows.lockWindowUpdate(0);
    line = 3;
    m_windows.invalidateRgn(ActWindowSet.MainHandle, 0, true);
  });
}

std::string modLayout::SelectLayout(std::string name) {
  FindWindows();
  if (ActWindowSet.MainHandle == 0) return "ACT is not running!";
  const std::string notFound = "Layout '" + name + "' does not seem to exist!";
  // A step ACT! did not answer (hung, busy past the limit, or its window gone) failed: whatever
  // ACT! makes of it later, the selection did not happen, and nothing may follow it.
  const std::string notSet = "Error Setting Layout '" + name + "' !";
  const Hwnd list = ActWindowSet.ListHandle;
  // Without a layout list there is nothing to find; asking window 0 would answer 0, a false hit.
  if (list == 0) return notFound;
  const std::optional<LResult> found = m_windows.sendMessageTimeoutA(
      list, LB_FINDSTRINGEXACT, static_cast<WParam>(-1), reinterpret_cast<LParam>(name.c_str()));
  if (!found) return notSet;
  const auto idx = static_cast<int32_t>(*found);
  if (idx == LB_ERR) return notFound;
  if (!m_windows.isWindowVisible(list)) {
    LockWindow();
    const bool opened =
        m_windows.sendMessageTimeoutA(ActWindowSet.ButtonHandle, BM_CLICK, 0, 0).has_value() &&
        m_windows.moveWindow(list, 5000, 0, 0, 0, false);
    UnLockWindow();
    if (!opened) return notSet;
  }
  if (!m_windows.sendMessageTimeoutA(list, LB_SETCURSEL, static_cast<WParam>(idx), 0))
    return notSet;
  m_windows.postMessageA(list, WM_KEYDOWN, VK_RETURN, 1);
  if (!m_windows.postMessageA(list, WM_KEYDOWN, VK_RETURN, 1)) return notSet;
  return "";
}

std::vector<std::string> modLayout::EnumLayouts() {
  std::vector<std::string> names;
  FindWindows();
  const bool ok = m_trap.run("in Module1: Function EnumLayouts", [&](int& line) {
    line = 1;
    const Hwnd list = ActWindowSet.ListHandle;
    // Every read ACT! does not answer ends the list where it is: no name is made of a failed read.
    const std::optional<LResult> count = m_windows.sendMessageTimeoutA(list, LB_GETCOUNT, 0, 0);
    const int32_t n = count ? static_cast<int32_t>(*count) : 0;
    for (int32_t i = 0; i < n; ++i) {
      line = 2;
      // Sized from the item's length: the list box copies the whole text with no size check, so a
      // fixed buffer would overflow on a name longer than it.
      const std::optional<LResult> len =
          m_windows.sendMessageTimeoutA(list, LB_GETTEXTLEN, static_cast<WParam>(i), 0);
      if (!len || *len < 0) return;
      std::string buffer(std::max(kItemBuffer, static_cast<size_t>(*len) + 1), '\0');
      const std::optional<LResult> copied = m_windows.sendMessageTimeoutA(
          list, LB_GETTEXT, static_cast<WParam>(i), reinterpret_cast<LParam>(buffer.data()));
      if (!copied || *copied < 0) return;
      names.emplace_back(buffer.c_str());
    }
  });
  if (!ok) names.clear();
  return names;
}

}  // namespace morvane
