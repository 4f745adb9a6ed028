#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <cstring>

#include "platform/ansi_text.h"
#include "platform/win_constants.h"

namespace morvane::sim {

using namespace morvane::win;

bool carriesString(uint32_t msg) {
  return msg == LB_ADDSTRING || msg == LB_INSERTSTRING || msg == LB_FINDSTRING ||
         msg == LB_FINDSTRINGEXACT || msg == WM_SETTEXT || msg == SB_SETTEXTA;
}

namespace {

const char* asText(LParam lParam) {
  return reinterpret_cast<const char*>(lParam);
}

TraceEntry traceEntry(TraceEntry::Kind kind, Hwnd target, uint32_t msg = 0, WParam wParam = 0,
                      LParam lParam = 0) {
  TraceEntry e;
  e.kind = kind;
  e.target = target;
  e.msg = msg;
  e.wParam = wParam;
  e.lParam = lParam;
  return e;
}

// The one procedure value shared by every window that runs its class's own behaviour.
constexpr WndProcValue kClassProcValue = 0x003F0000;
constexpr uint32_t kMinimumTimerInterval = 10;  // USER_TIMER_MINIMUM
constexpr int kPumpLimit = 1000000;             // stops a window that keeps re-posting to itself
// A program that has not read its messages for this long counts as hung (IsHungAppWindow).
constexpr uint64_t kHungAfterMs = 5000;

}  // namespace

struct SimDesktop::Window {
  Hwnd handle = 0;
  std::string className;
  std::string text;
  uint32_t style = 0;
  Hwnd parent = 0;                              // WS_CHILD windows
  Hwnd owner = 0;                               // top-level windows
  int32_t x = 0, y = 0, width = 0, height = 0;  // parent client coordinates, or screen
  Rect nonClient;                               // thickness of the frame on each side
  int32_t id = 0;
  std::vector<Hwnd> children;  // Z order, top first
  WndProcValue proc = kClassProcValue;
  bool redrawOff = false;
  bool needsPaint = false;
  bool messageOnly = false;  // made with parent HWND_MESSAGE: never top-level, never visible
  // List boxes. How selection works is fixed by the style at creation.
  struct Item {
    std::string text;
    LParam data = 0;
    bool selected = false;  // multiple selection
  };
  std::vector<Item> items;
  bool multiSelect = false;
  int32_t curSel = LB_ERR;  // single selection
  int32_t caret = 0;        // multiple selection: the focus item
};

struct SimDesktop::TimerEntry {
  uint32_t interval = 0;
  uint64_t due = 0;
  std::shared_ptr<std::function<void()>> tick;
};

SimDesktop::SimDesktop(std::chrono::milliseconds callLimit)
    : m_callLimitMs(static_cast<uint64_t>(callLimit.count())) {
  for (const char* name : {"Button", "ComboBox", "Edit", "ListBox", "ScrollBar", "Static",
                           "msctls_statusbar32", "SysListView32"})
    m_classNames.emplace(ansi::foldCase(name), name);
  m_procValues[kClassProcValue] = std::make_shared<WndProc>(
      [this](Hwnd h, uint32_t msg, WParam w, LParam l) { return callClassProc(h, msg, w, l); });
}

SimDesktop::~SimDesktop() = default;

SimDesktop::Window* SimDesktop::find(Hwnd hwnd) const {
  if (hwnd == 0) return nullptr;
  auto it = m_windows.find(hwnd);
  return it == m_windows.end() ? nullptr : it->second.get();
}

bool SimDesktop::isWindow(Hwnd hwnd) {
  return find(hwnd) != nullptr;
}

// --- Enumeration -----------------------------------------------------------------------------

bool SimDesktop::enumWindows(const EnumProc& proc, LParam lParam) {
  // A snapshot, as Windows takes one: windows created meanwhile are not visited, windows
  // destroyed before their turn are skipped.
  const std::vector<Hwnd> snapshot = m_topLevel;
  for (Hwnd h : snapshot) {
    if (!find(h)) continue;
    if (proc(h, lParam) == 0) return false;
  }
  return true;
}

void SimDesktop::collectDescendants(const Window& w, std::vector<Hwnd>& out) const {
  for (Hwnd c : w.children) {
    out.push_back(c);
    if (const Window* child = find(c)) collectDescendants(*child, out);
  }
}

bool SimDesktop::enumChildWindows(Hwnd parent, const EnumProc& proc, LParam lParam) {
  if (parent == 0) return enumWindows(proc, lParam);
  const Window* w = find(parent);
  if (!w) return false;
  std::vector<Hwnd> snapshot;
  collectDescendants(*w, snapshot);
  if (snapshot.empty()) return false;
  for (Hwnd h : snapshot) {
    if (!find(h)) continue;
    if (proc(h, lParam) == 0) return false;
  }
  return true;
}

// --- Inspection ------------------------------------------------------------------------------

int32_t SimDesktop::getClassNameA(Hwnd hwnd, char* buffer, int32_t maxCount) {
  const Window* w = find(hwnd);
  if (!w || !buffer || maxCount <= 0) return 0;
  const auto n = static_cast<int32_t>(
      std::min<size_t>(w->className.size(), static_cast<size_t>(maxCount - 1)));
  std::memcpy(buffer, w->className.data(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

Hwnd SimDesktop::getParent(Hwnd hwnd) {
  const Window* w = find(hwnd);
  if (!w) return 0;
  if (w->style & WS_CHILD && !(w->style & WS_POPUP)) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return 0;
}

Hwnd SimDesktop::owner(Hwnd hwnd) const {
  const Window* w = find(hwnd);
  return w ? w->owner : 0;
}

// A parent's client origin lies inside its non-client area.
Rect SimDesktop::screenRect(const Window& w) const {
  int32_t left = w.x, top = w.y;
  for (const Window* p = find(w.parent); p; p = find(p->parent)) {
    left += p->x + p->nonClient.left;
    top += p->y + p->nonClient.top;
  }
  return Rect{left, top, left + w.width, top + w.height};
}

bool SimDesktop::getWindowRect(Hwnd hwnd, Rect& rect) {
  const Window* w = find(hwnd);
  if (!w) return false;
  rect = screenRect(*w);
  return true;
}

bool SimDesktop::isWindowVisible(Hwnd hwnd) {
  for (const Window* w = find(hwnd); w; w = find(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (w->parent == 0) return !w->messageOnly;  // the chain must end at the desktop
  }
  return false;
}

int32_t SimDesktop::getWindowLongA(Hwnd hwnd, int32_t index) {
  const Window* w = find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE:
      return static_cast<int32_t>(w->style);
    case GWL_WNDPROC:
      return w->proc;
    case GWL_ID:
      return w->id;
    default:
      return 0;
  }
}

int32_t SimDesktop::setWindowLongA(Hwnd hwnd, int32_t index, int32_t value) {
  Window* w = find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: {
      const auto old = static_cast<int32_t>(w->style);
      w->style = static_cast<uint32_t>(value);
      if (w->parent == 0) w->style |= WS_CLIPSIBLINGS;  // cannot be cleared on a top-level window
      return old;
    }
    case GWL_WNDPROC: {
      if (!m_procValues.count(value)) return 0;
      const int32_t old = w->proc;
      w->proc = value;
      return old;
    }
    case GWL_ID: {
      const int32_t old = w->id;
      w->id = value;
      return old;
    }
    default:
      return 0;
  }
}

WndProcValue SimDesktop::makeWndProcValue(WndProc proc) {
  const WndProcValue value = m_nextProcValue;
  m_nextProcValue += 0x10;
  m_procValues[value] = std::make_shared<WndProc>(std::move(proc));
  return value;
}

LResult SimDesktop::callWindowProcA(WndProcValue proc, Hwnd hwnd, uint32_t msg, WParam wParam,
                                    LParam lParam) {
  auto it = m_procValues.find(proc);
  if (it == m_procValues.end()) return 0;
  const std::shared_ptr<WndProc> keep = it->second;
  return (*keep)(hwnd, msg, wParam, lParam);
}

// --- Messages --------------------------------------------------------------------------------

LResult SimDesktop::dispatch(Window& w, uint32_t msg, WParam wParam, LParam lParam) {
  const Hwnd h = w.handle;
  auto it = m_procValues.find(w.proc);
  if (it == m_procValues.end()) return 0;
  // Held here so a procedure that subclasses or destroys its own window stays callable.
  const std::shared_ptr<WndProc> keep = it->second;
  return (*keep)(h, msg, wParam, lParam);
}

LResult SimDesktop::deliver(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  Window* w = find(hwnd);
  return w ? dispatch(*w, msg, wParam, lParam) : 0;
}

std::optional<LResult> SimDesktop::sendMessageTimeoutA(Hwnd hwnd, uint32_t msg, WParam wParam,
                                                       LParam lParam) {
  TraceEntry e = traceEntry(TraceEntry::Kind::Send, hwnd, msg, wParam, lParam);
  if (carriesString(msg) && lParam != 0) e.text = asText(lParam);
  m_trace.push_back(std::move(e));
  const size_t entry = m_trace.size() - 1;  // the window procedure may trace calls of its own
  const std::optional<LResult> answer = deliverSent(hwnd, msg, wParam, lParam);
  m_trace[entry].flag = answer.has_value();
  return answer;
}

std::optional<LResult> SimDesktop::deliverSent(Hwnd hwnd, uint32_t msg, WParam wParam,
                                               LParam lParam) {
  Window* w = find(hwnd);
  if (!w) return std::nullopt;
  const Hwnd program = programOf(hwnd);
  if (isBusy(program)) {
    if (!reachProgram(program)) {
      // The message never reached the program (Wine takes back a send that timed out before its
      // window got it); only redraw switched back on is sure to arrive there.
      if (msg == WM_SETREDRAW && wParam != 0) m_queue.push_back(Posted{hwnd, msg, wParam, lParam});
      return std::nullopt;
    }
    if (!(w = find(hwnd))) return std::nullopt;
  }
  for (auto it = m_hangTriggers.begin(); it != m_hangTriggers.end(); ++it) {
    if (it->program == program && it->msg == msg) {
      const uint64_t ms = it->ms;
      m_hangTriggers.erase(it);
      hang(program, ms);
      break;
    }
  }
  const LResult result = dispatch(*w, msg, wParam, lParam);
  // The program hung while it handled the message: the answer comes when it is done.
  if (isBusy(program) && !waitForAnswer(program, m_callLimitMs)) return std::nullopt;
  return result;
}

Hwnd SimDesktop::programOf(Hwnd hwnd) const {
  const Window* w = find(hwnd);
  while (w && w->parent != 0) {
    const Window* parent = find(w->parent);
    if (!parent) break;
    w = parent;
  }
  return w ? w->handle : hwnd;
}

bool SimDesktop::reachProgram(Hwnd program) {
  if (!isBusy(program)) return true;
  if (m_now - m_hangs.at(program).since >= kHungAfterMs) return false;  // SMTO_ABORTIFHUNG
  return waitForAnswer(program, m_callLimitMs);
}

void SimDesktop::hang(Hwnd window, uint64_t ms) {
  const Hwnd program = programOf(window);
  if (isBusy(program)) {
    Hang& h = m_hangs.at(program);
    h.until = std::max(h.until, m_now + ms);
  } else {
    m_hangs[program] = Hang{m_now, m_now + ms};
  }
}

void SimDesktop::hangWhenSent(Hwnd window, uint32_t msg, uint64_t ms) {
  m_hangTriggers.push_back(HangTrigger{programOf(window), msg, ms});
}

bool SimDesktop::isBusy(Hwnd window) const {
  const auto it = m_hangs.find(programOf(window));
  return it != m_hangs.end() && m_now < it->second.until;
}

bool SimDesktop::waitForAnswer(Hwnd window, uint64_t limitMs) {
  const Hwnd program = programOf(window);
  if (!isBusy(program)) return true;
  const uint64_t until = m_hangs.at(program).until;
  if (until - m_now > limitMs) {
    m_now += limitMs;
    return false;
  }
  m_now = until;
  m_hangs.erase(program);
  return true;
}

bool SimDesktop::postMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  // Pointers cannot travel through a queue: system string messages are send-only.
  const bool ok = (hwnd == 0 || find(hwnd)) && !carriesString(msg);
  TraceEntry e = traceEntry(TraceEntry::Kind::Post, hwnd, msg, wParam, lParam);
  if (carriesString(msg) && lParam != 0) e.text = asText(lParam);
  e.flag = ok;
  m_trace.push_back(std::move(e));
  // A null window posts to the thread's own queue, which no simulated window reads.
  if (ok && hwnd != 0) m_queue.push_back(Posted{hwnd, msg, wParam, lParam});
  return ok;
}

int SimDesktop::pump() {
  int delivered = 0;
  std::deque<Posted> waiting;  // for programs that do not read their messages now
  while (!m_queue.empty() && delivered < kPumpLimit) {
    const Posted p = m_queue.front();
    m_queue.pop_front();
    if (isBusy(p.hwnd)) {
      waiting.push_back(p);
      continue;
    }
    if (Window* w = find(p.hwnd)) {
      dispatch(*w, p.msg, p.wParam, p.lParam);
      ++delivered;
    }
  }
  m_queue.insert(m_queue.begin(), waiting.begin(), waiting.end());
  paintPending();
  return delivered;
}

void SimDesktop::paintPending() {
  std::vector<Hwnd> due;
  for (const auto& [h, w] : m_windows)
    if (w->needsPaint && !isPaintSuppressed(h) && !isBusy(h)) due.push_back(h);
  for (Hwnd h : due) {
    if (Window* w = find(h)) {
      w->needsPaint = false;
      dispatch(*w, WM_PAINT, 0, 0);
    }
  }
}

bool SimDesktop::moveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height,
                            bool repaint) {
  TraceEntry e = traceEntry(TraceEntry::Kind::Move, hwnd);
  e.rect = Rect{x, y, x + width, y + height};
  e.flag = repaint;
  m_trace.push_back(std::move(e));
  // Moving another program's window waits for that program, as a send does.
  if (!find(hwnd) || !reachProgram(programOf(hwnd))) return false;
  Window* w = find(hwnd);
  if (!w || hwnd == m_locked) return false;  // a locked window cannot be moved
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  if (repaint) w->needsPaint = true;
  dispatch(*w, WM_WINDOWPOSCHANGED, 0, 0);
  return true;
}

bool SimDesktop::lockWindowUpdate(Hwnd hwnd) {
  m_trace.push_back(traceEntry(TraceEntry::Kind::Lock, hwnd));
  if (hwnd == 0) {
    m_locked = 0;
    return true;
  }
  if (m_locked != 0 || !find(hwnd)) return false;
  m_locked = hwnd;
  return true;
}

bool SimDesktop::invalidateRgn(Hwnd hwnd, uintptr_t region, bool erase) {
  TraceEntry e = traceEntry(TraceEntry::Kind::Invalidate, hwnd);
  e.lParam = static_cast<LParam>(region);
  e.flag = erase;
  m_trace.push_back(std::move(e));
  Window* w = find(hwnd);
  if (!w) return false;
  w->needsPaint = true;
  return true;
}

bool SimDesktop::isPaintSuppressed(Hwnd hwnd) const {
  for (const Window* w = find(hwnd); w; w = find(w->parent))
    if (w->handle == m_locked || w->redrawOff) return true;
  return false;
}

bool SimDesktop::needsPaint(Hwnd hwnd) const {
  const Window* w = find(hwnd);
  return w && w->needsPaint;
}

// --- Creation --------------------------------------------------------------------------------

Hwnd SimDesktop::createWindowA(std::string_view className, std::string_view text, uint32_t style,
                               int32_t x, int32_t y, int32_t width, int32_t height, Hwnd parent,
                               WndProc proc) {
  const bool messageOnly = parent == HWND_MESSAGE;
  const bool child = (style & WS_CHILD) && !(style & WS_POPUP) && !messageOnly;
  Window* parentWindow = messageOnly ? nullptr : find(parent);
  if (child && !parentWindow) return 0;  // WS_CHILD needs a parent
  auto w = std::make_unique<Window>();
  w->handle = m_nextHandle;
  m_nextHandle += 2;
  w->className = registeredClassName(className);
  w->text = std::string(text);
  w->style = style;
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  w->multiSelect = (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
  if (proc) w->proc = makeWndProcValue(std::move(proc));
  const Hwnd h = w->handle;
  if (messageOnly) {
    w->messageOnly = true;  // under the hidden message window, where no enumeration looks
  } else if (child) {
    w->parent = parent;
    parentWindow->children.push_back(h);  // children go to the bottom of their siblings
  } else {
    // Owners are always top-level windows.
    Window* owner = parentWindow;
    while (owner && owner->parent != 0) owner = find(owner->parent);
    w->owner = owner ? owner->handle : 0;
    w->style |= WS_CLIPSIBLINGS;
    if (!(style & WS_POPUP)) w->style |= WS_CAPTION;
    m_topLevel.insert(m_topLevel.begin(), h);  // new top-level windows go on top
  }
  m_windows.emplace(h, std::move(w));
  deliver(h, WM_CREATE, 0, 0);
  return find(h) ? h : 0;
}

std::string SimDesktop::registeredClassName(std::string_view name) {
  // Class names are compared without letter case, and a class keeps the spelling it was
  // registered with. Only the system's classes are shared by every program; a program's own
  // class keeps the spelling it is used with, as the simulation has no processes to keep apart.
  const auto system = m_classNames.find(ansi::foldCase(name));
  return system != m_classNames.end() ? system->second : std::string(name);
}

bool SimDesktop::destroyWindow(Hwnd hwnd) {
  Window* w = find(hwnd);
  if (!w) return false;
  dispatch(*w, WM_DESTROY, 0, 0);
  if (!(w = find(hwnd))) return true;  // destroyed itself meanwhile
  const std::vector<Hwnd> kids = w->children;
  for (Hwnd c : kids) destroyWindow(c);
  std::vector<Hwnd> owned;
  for (const auto& [h, other] : m_windows)
    if (other->owner == hwnd) owned.push_back(h);
  for (Hwnd o : owned) destroyWindow(o);
  if (!(w = find(hwnd))) return true;
  if (Window* p = find(w->parent)) std::erase(p->children, hwnd);
  std::erase(m_topLevel, hwnd);
  if (m_locked == hwnd) m_locked = 0;
  m_windows.erase(hwnd);
  return true;
}

bool SimDesktop::showWindow(Hwnd hwnd, int command) {
  Window* w = find(hwnd);
  if (!w) return false;
  const bool wasVisible = (w->style & WS_VISIBLE) != 0;
  if (command == SW_HIDE)
    w->style &= ~WS_VISIBLE;
  else
    w->style |= WS_VISIBLE;
  if (wasVisible != ((w->style & WS_VISIBLE) != 0))
    dispatch(*w, WM_SHOWWINDOW, command != SW_HIDE, 0);
  return wasVisible;
}

// --- Class behaviour -------------------------------------------------------------------------

LResult SimDesktop::callClassProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  Window* w = find(hwnd);
  if (!w) return 0;
  if (w->className == "ListBox") return listBoxProc(*w, msg, wParam, lParam);
  if (w->className == "Button") return buttonProc(*w, msg, wParam, lParam);
  if (w->className == "msctls_statusbar32") {
    if (msg == SB_SETTEXTA) {
      w->text = lParam ? asText(lParam) : "";
      return 1;
    }
  }
  return defWindowProc(*w, msg, wParam, lParam);
}

LResult SimDesktop::defWindowProc(Window& w, uint32_t msg, WParam wParam, LParam lParam) {
  switch (msg) {
    case WM_SETREDRAW:
      // DefWindowProc turns redraw off by taking WS_VISIBLE away, and back on by restoring it.
      w.redrawOff = (wParam == 0);
      if (w.redrawOff)
        w.style &= ~WS_VISIBLE;
      else
        w.style |= WS_VISIBLE;
      return 0;
    case WM_SETTEXT:
      w.text = lParam ? asText(lParam) : "";
      return 1;
    case WM_PAINT:
      w.needsPaint = false;
      return 0;
    case WM_CLOSE:
      destroyWindow(w.handle);
      return 0;
    default:
      return 0;
  }
}

LResult SimDesktop::buttonProc(Window& w, uint32_t msg, WParam wParam, LParam lParam) {
  const Hwnd h = w.handle;
  switch (msg) {
    case BM_CLICK:
      deliver(h, WM_LBUTTONDOWN, 0, 0);
      deliver(h, WM_LBUTTONUP, 0, 0);
      return 0;
    case WM_LBUTTONUP: {
      // The click counts only on an enabled button whose client area holds the point (0,0).
      if (w.style & WS_DISABLED || w.width <= 0 || w.height <= 0) return 0;
      const Hwnd parent = getParent(h);
      const auto id = static_cast<uint32_t>(w.id) & 0xFFFF;
      deliver(parent, WM_COMMAND, (BN_CLICKED << 16) | id, static_cast<LParam>(h));
      return 0;
    }
    default:
      return defWindowProc(w, msg, wParam, lParam);
  }
}

LResult SimDesktop::listBoxProc(Window& w, uint32_t msg, WParam wParam, LParam lParam) {
  auto& items = w.items;
  const auto count = static_cast<int32_t>(items.size());
  const auto index = static_cast<int32_t>(wParam);
  const auto insertAt = [&](int32_t at, std::string s) {
    items.insert(items.begin() + at, Window::Item{std::move(s)});
    if (w.curSel >= at) ++w.curSel;
    return at;
  };
  // From the item after `start`, wrapping round, and `start` itself last.
  const auto search = [&](int32_t start, const char* s, bool exact) -> int32_t {
    if (!s || !*s || count == 0) return LB_ERR;
    if (start < 0 || start >= count) start = -1;
    for (int32_t k = 1; k <= count; ++k) {
      const int32_t i = (start + k) % count;
      if (exact ? ansi::equalsNoCase(items[i].text, s) : ansi::startsWithNoCase(items[i].text, s))
        return i;
    }
    return LB_ERR;
  };
  switch (msg) {
    case LB_ADDSTRING: {
      std::string s = lParam ? asText(lParam) : "";
      if (w.style & LBS_SORT) {
        const auto pos = std::upper_bound(items.begin(), items.end(), s,
                                          [](const std::string& a, const Window::Item& b) {
                                            return ansi::compareNoCase(a, b.text) < 0;
                                          });
        return insertAt(static_cast<int32_t>(pos - items.begin()), std::move(s));
      }
      return insertAt(count, std::move(s));
    }
    case LB_INSERTSTRING:
      if (index > count || index < -1) return LB_ERR;
      return insertAt(index == -1 ? count : index, lParam ? asText(lParam) : "");
    case LB_DELETESTRING:
      if (index < 0 || index >= count) return LB_ERR;
      // The last item goes the way LB_RESETCONTENT empties the list: the list box sends it.
      if (count == 1) return deliver(w.handle, LB_RESETCONTENT, 0, 0);
      items.erase(items.begin() + index);
      if (w.curSel == index)
        w.curSel = LB_ERR;
      else if (w.curSel > index)
        --w.curSel;
      w.caret = std::min(w.caret, count - 2);  // stays where it is while it can
      return count - 1;
    case LB_RESETCONTENT:
      items.clear();
      w.curSel = LB_ERR;
      w.caret = 0;
      return 0;
    case LB_GETCOUNT:
      return count;
    case LB_GETTEXT:
      if (index < 0 || index >= count) return LB_ERR;
      // Like Windows: the whole item and a NUL, with no size check on the caller's buffer.
      if (lParam)
        std::memcpy(reinterpret_cast<char*>(lParam), items[index].text.c_str(),
                    items[index].text.size() + 1);
      return static_cast<LResult>(items[index].text.size());
    case LB_GETTEXTLEN:
      if (index < 0 || index >= count) return LB_ERR;
      return static_cast<LResult>(items[index].text.size());
    case LB_GETITEMDATA:
      if (index < 0 || index >= count) return LB_ERR;
      return items[index].data;
    case LB_SETITEMDATA:
      if (index < 0 || index >= count) return LB_ERR;
      items[index].data = lParam;
      return 1;  // TRUE, not LB_OKAY
    case LB_SETCURSEL:
      if (w.multiSelect) return LB_ERR;  // single-selection list boxes only
      if (index < 0 || index >= count) {
        if (index == -1) w.curSel = LB_ERR;
        return LB_ERR;  // also for -1, which clears the selection
      }
      w.curSel = index;
      return index;
    case LB_GETCURSEL:
      if (!w.multiSelect) return w.curSel;
      return count == 0 ? LB_ERR : w.caret;
    case LB_SETSEL: {
      const auto item = static_cast<int32_t>(lParam);
      if (item < -1 || item >= count) return LB_ERR;
      if (!w.multiSelect) {
        if (wParam)
          w.curSel = item;
        else if (item == -1 || item == w.curSel)
          w.curSel = LB_ERR;
        return LB_OKAY;
      }
      for (int32_t i = 0; i < count; ++i)
        if (item == -1 || i == item) items[i].selected = wParam != 0;
      return LB_OKAY;
    }
    case LB_GETSEL:
      if (index < 0 || index >= count) return LB_ERR;
      return w.multiSelect ? items[index].selected : index == w.curSel;
    case LB_GETSELCOUNT:
      if (!w.multiSelect) return LB_ERR;
      return std::count_if(items.begin(), items.end(), [](const auto& i) { return i.selected; });
    case LB_FINDSTRING:
      return search(index, asText(lParam), false);
    case LB_FINDSTRINGEXACT:
      return search(index, asText(lParam), true);
    case LB_SELECTSTRING: {
      const int32_t found = search(index, asText(lParam), false);
      if (found == LB_ERR) return LB_ERR;
      if (w.multiSelect) {
        items[found].selected = true;
        w.caret = found;
      } else {
        w.curSel = found;
      }
      return found;
    }
    case WM_SETREDRAW:
      // The list box keeps its own no-redraw flag and leaves WS_VISIBLE alone.
      w.redrawOff = (wParam == 0);
      return 0;
    default:
      return defWindowProc(w, msg, wParam, lParam);
  }
}

// --- Timers ----------------------------------------------------------------------------------

TimerId SimDesktop::setTimer(uint32_t intervalMs, std::function<void()> onTick) {
  auto t = std::make_unique<TimerEntry>();
  t->interval = std::max(intervalMs, kMinimumTimerInterval);
  t->due = m_now + t->interval;
  t->tick = std::make_shared<std::function<void()>>(std::move(onTick));
  const TimerId id = m_nextTimer++;
  m_timers.emplace(id, std::move(t));
  return id;
}

void SimDesktop::killTimer(TimerId id) {
  m_timers.erase(id);
}

size_t SimDesktop::activeTimers() const {
  return m_timers.size();
}

void SimDesktop::advance(uint64_t ms) {
  const uint64_t target = m_now + ms;
  for (;;) {
    pump();
    TimerId next = 0;
    uint64_t due = 0;
    for (const auto& [id, t] : m_timers) {
      if (t->due <= target && (next == 0 || t->due < due)) {
        next = id;
        due = t->due;
      }
    }
    // A program that answers again first reads what waited for it.
    uint64_t wakes = 0;
    for (const auto& [program, h] : m_hangs)
      if (h.until > m_now && h.until <= target && (wakes == 0 || h.until < wakes)) wakes = h.until;
    if (wakes != 0 && (next == 0 || wakes < due)) {
      m_now = wakes;
      continue;
    }
    if (next == 0) break;
    m_now = std::max(m_now, due);
    TimerEntry& t = *m_timers.at(next);
    t.due = m_now + t.interval;
    const auto tick = t.tick;  // the handler may kill or reset its own timer
    (*tick)();
  }
  // A handler may have let time pass itself (a message box's loop): the clock never goes back.
  m_now = std::max(m_now, target);
  pump();
}

// --- Inspection for tests and simulated programs ---------------------------------------------

std::string SimDesktop::windowText(Hwnd hwnd) const {
  const Window* w = find(hwnd);
  return w ? w->text : std::string();
}

void SimDesktop::place(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (Window* w = find(hwnd)) {
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
  }
}

void SimDesktop::setNonClient(Hwnd hwnd, const Rect& thickness) {
  if (Window* w = find(hwnd)) w->nonClient = thickness;
}

Rect SimDesktop::clientRect(Hwnd hwnd) const {
  const Window* w = find(hwnd);
  if (!w) return Rect{};
  const Rect& n = w->nonClient;
  return Rect{0, 0, std::max(0, w->width - n.left - n.right),
              std::max(0, w->height - n.top - n.bottom)};
}

void SimDesktop::setWindowText(Hwnd hwnd, std::string_view text) {
  if (Window* w = find(hwnd)) w->text = std::string(text);
}

std::vector<std::string> SimDesktop::listItems(Hwnd listBox) const {
  std::vector<std::string> texts;
  if (const Window* w = find(listBox))
    for (const Window::Item& item : w->items) texts.push_back(item.text);
  return texts;
}

int32_t SimDesktop::listCurSel(Hwnd listBox) const {
  const Window* w = find(listBox);
  return w ? w->curSel : LB_ERR;
}

std::vector<Hwnd> SimDesktop::topLevelWindows() const {
  return m_topLevel;
}

std::vector<Hwnd> SimDesktop::children(Hwnd parent) const {
  const Window* w = find(parent);
  return w ? w->children : std::vector<Hwnd>{};
}

}  // namespace morvane::sim
