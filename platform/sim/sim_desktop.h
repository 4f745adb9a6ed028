// An in-memory Windows desktop: windows with classes, styles, rectangles, parents and Z order,
// window procedures, a posted-message queue, one update lock, a virtual clock with timers,
// programs that stop answering for a time, and a trace of every call the logic makes through the
// window-system port.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/call_limit.h"
#include "platform/timers.h"
#include "platform/window_system.h"

namespace morvane::sim {

// One call made through the WindowSystem port that acts on a window.
struct TraceEntry {
  enum class Kind { Send, Post, Move, Lock, Invalidate };
  Kind kind = Kind::Send;
  Hwnd target = 0;
  uint32_t msg = 0;  // Send and Post
  WParam wParam = 0;
  LParam lParam = 0;
  std::string text;  // the string of messages that carry one (carriesString)
  Rect rect;         // Move: x, y, x + width, y + height
  // Move: repaint; Invalidate: erase; Post: the post succeeded; Send: the target answered.
  bool flag = false;
  friend bool operator==(const TraceEntry&, const TraceEntry&) = default;
};

// Messages whose lParam is a string (traced in TraceEntry::text); they cannot be posted.
bool carriesString(uint32_t msg);

class SimDesktop : public WindowSystem, public Timers {
 public:
  // Sends to a program that does not answer give up after callLimit.
  explicit SimDesktop(std::chrono::milliseconds callLimit = kCallLimit);
  ~SimDesktop() override;

  // WindowSystem
  bool enumWindows(const EnumProc& proc, LParam lParam) override;
  bool enumChildWindows(Hwnd parent, const EnumProc& proc, LParam lParam) override;
  int32_t getClassNameA(Hwnd hwnd, char* buffer, int32_t maxCount) override;
  Hwnd getParent(Hwnd hwnd) override;
  bool getWindowRect(Hwnd hwnd, Rect& rect) override;
  bool isWindowVisible(Hwnd hwnd) override;
  int32_t getWindowLongA(Hwnd hwnd, int32_t index) override;
  int32_t setWindowLongA(Hwnd hwnd, int32_t index, int32_t value) override;
  LResult callWindowProcA(WndProcValue proc, Hwnd hwnd, uint32_t msg, WParam wParam,
                          LParam lParam) override;
  WndProcValue makeWndProcValue(WndProc proc) override;
  // The built-in behaviour of the window's class.
  LResult callClassProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) override;
  std::optional<LResult> sendMessageTimeoutA(Hwnd hwnd, uint32_t msg, WParam wParam,
                                             LParam lParam) override;
  bool postMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) override;
  bool moveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height,
                  bool repaint) override;
  bool lockWindowUpdate(Hwnd hwnd) override;
  bool invalidateRgn(Hwnd hwnd, uintptr_t region, bool erase) override;
  // A null proc gives the class's own behaviour ("ListBox", "Button", "msctls_statusbar32") or
  // the default window procedure. A window proc of a built-in class reaches the class's behaviour
  // through callClassProc. Top-level windows go to the top of the Z order, children to the
  // bottom of their siblings; parent win::HWND_MESSAGE makes a message-only window. A system class
  // keeps its own spelling ("listbox" makes a "ListBox").
  Hwnd createWindowA(std::string_view className, std::string_view text, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, Hwnd parent, WndProc proc) override;
  bool destroyWindow(Hwnd hwnd) override;
  bool showWindow(Hwnd hwnd, int command) override;
  bool isWindow(Hwnd hwnd) override;

  // Timers (virtual clock)
  TimerId setTimer(uint32_t intervalMs, std::function<void()> onTick) override;
  void killTimer(TimerId id) override;

  // --- Simulation control; not part of the port ---
  // Delivers posted messages until the queue is empty. Returns how many were delivered.
  int pump();
  // Moves the virtual clock on by ms, firing due timers in time order; the queue is pumped before
  // each tick, when a program answers again, and at the end.
  void advance(uint64_t ms);
  uint64_t now() const { return m_now; }
  size_t queuedMessages() const { return m_queue.size(); }
  size_t activeTimers() const;

  // Calls the window's procedure without tracing (the system's own messages, a simulated program
  // talking to itself).
  LResult deliver(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam);

  // --- Programs that stop answering ---
  // A program here is a top-level window with everything under it. The window's program stops
  // reading its messages for ms of the clock, as a hung program does: a send to it waits for it,
  // up to the call limit, and fails at once when it has not answered for five seconds; a send that
  // gets no answer never reaches the window, but for redraw switched back on. Posted messages wait
  // in the queue, and nothing of it is painted meanwhile.
  void hang(Hwnd window, uint64_t ms);
  // The same, beginning while the window's program handles the next msg sent to one of its
  // windows: that send gets its answer only once the program is done (within the call limit).
  void hangWhenSent(Hwnd window, uint32_t msg, uint64_t ms);
  // True while the window's program does not read its messages.
  bool isBusy(Hwnd window) const;
  // A caller waits for the window's program to answer, as a call into that program does: the
  // clock moves on to the moment it answers, or by limitMs when that is later, and the result
  // says whether it answered within the limit.
  bool waitForAnswer(Hwnd window, uint64_t limitMs);

  const std::vector<TraceEntry>& trace() const { return m_trace; }
  void clearTrace() { m_trace.clear(); }

  // Moves a window the way its own program would, without tracing it.
  void place(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height);
  // Gives a window a non-client area (frame, caption, menu bar, border) of these thicknesses:
  // its children then sit in the client area inside it. Windows have none until given one.
  void setNonClient(Hwnd hwnd, const Rect& thickness);
  // GetClientRect: (0, 0, client width, client height); empty for a window that does not exist.
  Rect clientRect(Hwnd hwnd) const;
  std::string windowText(Hwnd hwnd) const;
  void setWindowText(Hwnd hwnd, std::string_view text);
  Hwnd lockedWindow() const { return m_locked; }
  // True while painting of the window is held back: it or an ancestor is the locked window, or
  // has had WM_SETREDRAW FALSE.
  bool isPaintSuppressed(Hwnd hwnd) const;
  // Windows invalidated since the last pump that have not been painted yet.
  bool needsPaint(Hwnd hwnd) const;
  // List box contents, for tests and the simulated programs.
  std::vector<std::string> listItems(Hwnd listBox) const;
  int32_t listCurSel(Hwnd listBox) const;
  // Top-level windows in Z order (top first), and a window's children in Z order.
  std::vector<Hwnd> topLevelWindows() const;
  std::vector<Hwnd> children(Hwnd parent) const;
  // GetWindow(GW_OWNER): the top-level window that owns a top-level window; 0 for none.
  Hwnd owner(Hwnd hwnd) const;
  size_t windowCount() const { return m_windows.size(); }

 private:
  struct Window;
  struct TimerEntry;
  struct Posted {
    Hwnd hwnd;
    uint32_t msg;
    WParam wParam;
    LParam lParam;
  };
  struct Hang {
    uint64_t since = 0;
    uint64_t until = 0;
  };
  struct HangTrigger {
    Hwnd program = 0;
    uint32_t msg = 0;
    uint64_t ms = 0;
  };

  Window* find(Hwnd hwnd) const;
  LResult dispatch(Window& w, uint32_t msg, WParam wParam, LParam lParam);
  LResult defWindowProc(Window& w, uint32_t msg, WParam wParam, LParam lParam);
  LResult listBoxProc(Window& w, uint32_t msg, WParam wParam, LParam lParam);
  LResult buttonProc(Window& w, uint32_t msg, WParam wParam, LParam lParam);
  void collectDescendants(const Window& w, std::vector<Hwnd>& out) const;
  // The top-level window whose tree holds the window.
  Hwnd programOf(Hwnd hwnd) const;
  // Waits for the program before a message goes to it (SMTO_ABORTIFHUNG); false when it did not
  // answer.
  bool reachProgram(Hwnd program);
  std::optional<LResult> deliverSent(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam);
  Rect screenRect(const Window& w) const;
  void paintPending();
  std::string registeredClassName(std::string_view name);

  std::map<Hwnd, std::unique_ptr<Window>> m_windows;
  std::map<std::string, std::string> m_classNames;  // the system's classes, by folded name
  std::vector<Hwnd> m_topLevel;                     // Z order, top first
  Hwnd m_nextHandle = 0x00010010;
  std::deque<Posted> m_queue;
  std::vector<TraceEntry> m_trace;
  Hwnd m_locked = 0;
  uint64_t m_callLimitMs;
  std::map<Hwnd, Hang> m_hangs;  // by program
  std::vector<HangTrigger> m_hangTriggers;
  std::map<WndProcValue, std::shared_ptr<WndProc>> m_procValues;
  WndProcValue m_nextProcValue = 0x00400000;

  uint64_t m_now = 0;
  std::map<TimerId, std::unique_ptr<TimerEntry>> m_timers;
  TimerId m_nextTimer = 1;
};

}  // namespace morvane::sim
