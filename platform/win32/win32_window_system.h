// The window-system port on user32: enumeration, inspection, messages and redraw against real
// windows (ACT!'s, in another process), and the programs' own windows with std::function window
// procedures.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/call_limit.h"
#include "platform/win32/callback_failure.h"
#include "platform/window_system.h"

namespace morvane::win32 {

// Messages go out with SendMessageTimeoutA, so a hung target costs at most sendTimeout; a send
// that times out or fails gives no answer.
//
// GWL_WNDPROC values are tokens from a table this object owns, the same in 32- and 64-bit
// programs: a token stands for a std::function (makeWndProcValue) or for a native WNDPROC (what
// getWindowLongA finds on a window that runs one). A window whose procedure is a std::function
// runs one trampoline WNDPROC, which looks the window's token up here.
//
// Exceptions thrown by a window procedure or an enumeration callback never unwind through
// user32: they are held and rethrown when the user32 call that led to the callback returns.
//
// A window system made with CallbackFailures::Drop (code in a DLL) drops such exceptions instead.
//
// The windows made here that still exist go with this object, and the classes of ours its windows
// used (a class another window system of the module still has windows of stays for it).
class Win32WindowSystem : public WindowSystem {
 public:
  explicit Win32WindowSystem(std::chrono::milliseconds sendTimeout = kCallLimit,
                             CallbackFailures failures = CallbackFailures::Hold);
  ~Win32WindowSystem() override;

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
  // The behaviour a window's procedure stands in front of: the control's own procedure for a
  // subclassed system class, the default window procedure for a class registered here.
  LResult callClassProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) override;
  // LB_GETTEXT and LB_GETTEXTLEN read the item as UTF-16 and give it in the ANSI code page:
  // LB_GETTEXTLEN is the length of exactly the text LB_GETTEXT then copies, so a buffer of
  // LB_GETTEXTLEN + 1 characters always holds it (Wine's cross-process SendMessageA(LB_GETTEXT)
  // writes UTF-16 into an ANSI buffer).
  std::optional<LResult> sendMessageTimeoutA(Hwnd hwnd, uint32_t msg, WParam wParam,
                                             LParam lParam) override;
  bool postMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) override;
  bool moveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height,
                  bool repaint) override;
  bool lockWindowUpdate(Hwnd hwnd) override;
  bool invalidateRgn(Hwnd hwnd, uintptr_t region, bool erase) override;
  // A class name the system does not know is registered here on first use. A system class
  // ("ListBox", "Button", "msctls_statusbar32" ...) given a proc is subclassed from its very
  // first message on; the proc reaches the control's own behaviour through callClassProc.
  // Parent win::HWND_MESSAGE makes a message-only window.
  Hwnd createWindowA(std::string_view className, std::string_view text, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, Hwnd parent, WndProc proc) override;
  bool destroyWindow(Hwnd hwnd) override;
  bool showWindow(Hwnd hwnd, int command) override;
  bool isWindow(Hwnd hwnd) override;
  // The system's own NMHDR, whatever its layout in this build.
  NotifyHeader copyNotifyHeader(LParam lParam) override;
  // Sends that gave up because the target did not answer within the timeout.
  uint32_t timedOutSends() const { return m_timedOutSends; }
  // Rethrows an exception a window procedure raised while a message loop dispatched to it; the
  // loop calls this after DispatchMessage.
  void rethrowPending() { m_failure.rethrow(); }

 private:
  friend struct Win32WindowSystemNative;

  struct Procedure {
    std::shared_ptr<WndProc> function;  // a procedure made by makeWndProcValue
    intptr_t native = 0;                // or a native WNDPROC
  };
  // A window that runs the trampoline.
  struct Binding {
    WndProcValue current = 0;
    WndProcValue classProc = 0;
    bool subclassed = false;  // the trampoline replaced the class's own procedure
  };
  // The window createWindowA is making, bound to its procedure at its first hook call.
  struct Creation {
    WndProcValue proc = 0;
    bool bound = false;
  };

  WndProcValue nativeToken(intptr_t native);
  bool bind(Hwnd hwnd, WndProcValue current);
  void unbind(Hwnd hwnd, bool restoreClassProc);
  LResult invoke(WndProcValue proc, Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam);
  LResult dispatch(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam);
  LResult sendTimeout(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam, bool wide, bool& ok);
  std::optional<LResult> listBoxText(Hwnd hwnd, uint32_t msg, WParam index, LParam buffer);
  bool registerClass(const std::string& className);

  uint32_t m_sendTimeoutMs;
  uint32_t m_timedOutSends = 0;
  std::unordered_map<WndProcValue, Procedure> m_procedures;
  std::unordered_map<intptr_t, WndProcValue> m_nativeTokens;
  WndProcValue m_nextToken = 0x00400010;
  WndProcValue m_defaultProc = 0;
  std::unordered_map<Hwnd, Binding> m_bindings;
  std::set<std::string> m_classes;  // of ours, unregistered on destruction
  std::vector<Hwnd> m_created;      // destroyed with this object if still there
  Creation* m_creating = nullptr;
  CallbackFailure m_failure;
};

}  // namespace morvane::win32
