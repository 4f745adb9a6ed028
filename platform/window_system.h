// The window-system port: the user32 calls the logic makes, with their Windows meaning.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace morvane {

// A window handle is a 32-bit value; 0 is no window.
using Hwnd = uint32_t;
// An icon image handle (HICON) as a 32-bit value; 0 is no image.
using Hicon = uint32_t;
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A window procedure. On Windows a WNDPROC pointer; here a callable.
using WndProc = std::function<LResult(Hwnd, uint32_t msg, WParam, LParam)>;
// EnumWindows/EnumChildWindows callback: return 0 to stop the enumeration.
using EnumProc = std::function<int32_t(Hwnd, LParam)>;
// GetWindowLongA(GWL_WNDPROC) gives a 32-bit value standing for a window procedure; the value
// can be passed back to SetWindowLongA or CallWindowProcA.
using WndProcValue = int32_t;

// The header of a WM_NOTIFY message (NMHDR) as 32-bit values.
struct NotifyHeader {
  Hwnd from = 0;
  uint32_t id = 0;
  int32_t code = 0;
};

class WindowSystem {
 public:
  WindowSystem() = default;
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;
  virtual ~WindowSystem() = default;

  // Top-level windows, top of the Z order first. Returns false when a callback returned 0.
  virtual bool enumWindows(const EnumProc& proc, LParam lParam) = 0;
  // Every WS_CHILD descendant, depth first, each level in Z order. False when a callback returned
  // 0, and also when parent has no children.
  virtual bool enumChildWindows(Hwnd parent, const EnumProc& proc, LParam lParam) = 0;
  // Copies at most maxCount-1 characters and a NUL; returns the number copied, 0 on failure.
  virtual int32_t getClassNameA(Hwnd hwnd, char* buffer, int32_t maxCount) = 0;
  // The parent of a child window, the owner of a popup, otherwise 0.
  virtual Hwnd getParent(Hwnd hwnd) = 0;
  // Screen coordinates. False (rect untouched) for a window that does not exist.
  virtual bool getWindowRect(Hwnd hwnd, Rect& rect) = 0;
  // True only when the window and all its ancestors have WS_VISIBLE.
  virtual bool isWindowVisible(Hwnd hwnd) = 0;
  // GWL_STYLE gives the window's own style bits; GWL_WNDPROC its procedure value. 0 on failure.
  virtual int32_t getWindowLongA(Hwnd hwnd, int32_t index) = 0;
  // Returns the previous value, 0 on failure.
  virtual int32_t setWindowLongA(Hwnd hwnd, int32_t index, int32_t value) = 0;
  // Calls the window procedure a GWL_WNDPROC value stands for.
  virtual LResult callWindowProcA(WndProcValue proc, Hwnd hwnd, uint32_t msg, WParam wParam,
                                  LParam lParam) = 0;
  // Makes a procedure value for a new window procedure (a subclass); lives as long as the system.
  virtual WndProcValue makeWndProcValue(WndProc proc) = 0;
  // The behaviour of the window's class: a system control's own procedure, otherwise the default
  // window procedure (DefWindowProcA). A window procedure passes on here what it does not handle;
  // on Windows a window whose procedure answers 0 to WM_NCCREATE is never created.
  virtual LResult callClassProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) = 0;
  // SendMessageTimeoutA with SMTO_ABORTIFHUNG and the call limit (call_limit.h): the target's
  // answer, or none when the window does not exist or its program did not answer within the limit.
  // A program that has not read its messages for five seconds counts as hung and the send fails at
  // once; otherwise the sender waits for it. A message its window was handling when the limit
  // passed is handled to its end, its answer lost. A WM_SETREDRAW TRUE that gets no answer reaches
  // the window once its program reads messages again, so no window is left without redraw. String
  // messages pass a const char* in lParam.
  virtual std::optional<LResult> sendMessageTimeoutA(Hwnd hwnd, uint32_t msg, WParam wParam,
                                                     LParam lParam) = 0;
  // SendMessageA: the answer, or 0 when there was none.
  LResult sendMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
    return sendMessageTimeoutA(hwnd, msg, wParam, lParam).value_or(0);
  }
  // Queues the message for the target's message loop; false for a window that does not exist.
  virtual bool postMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) = 0;
  // Client coordinates of the parent for a child, screen coordinates for a top-level window.
  virtual bool moveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height,
                          bool repaint) = 0;
  // One lock on the whole desktop; 0 unlocks. False when another lock is held.
  virtual bool lockWindowUpdate(Hwnd hwnd) = 0;
  // Whole client area when region is 0.
  virtual bool invalidateRgn(Hwnd hwnd, uintptr_t region, bool erase) = 0;

  // Window creation, for the programs' own windows (forms, controls, the icon's window).
  virtual Hwnd createWindowA(std::string_view className, std::string_view text, uint32_t style,
                             int32_t x, int32_t y, int32_t width, int32_t height, Hwnd parent,
                             WndProc proc) = 0;
  virtual bool destroyWindow(Hwnd hwnd) = 0;
  virtual bool showWindow(Hwnd hwnd, int command) = 0;
  virtual bool isWindow(Hwnd hwnd) = 0;
  // Copies the notification header WM_NOTIFY's lParam points to (RtlMoveMemory of 12 bytes: the
  // window, the control id and the code, 32 bits each). A platform whose NMHDR is laid out
  // otherwise reads its own.
  virtual NotifyHeader copyNotifyHeader(LParam lParam);
};

}  // namespace morvane
