// A WindowSystem that forwards every call to another one and counts the calls, per method and
// per message sent or posted. Benchmarks use it to see how often the logic crosses into the
// window manager, which on Windows is the cost that matters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>

#include "platform/window_system.h"

namespace morvane {

class CountingWindowSystem : public WindowSystem {
 public:
  enum class Method {
    EnumWindows,
    EnumChildWindows,
    GetClassNameA,
    GetParent,
    GetWindowRect,
    IsWindowVisible,
    GetWindowLongA,
    SetWindowLongA,
    CallWindowProcA,
    MakeWndProcValue,
    CallClassProc,
    SendMessageTimeoutA,
    PostMessageA,
    MoveWindow,
    LockWindowUpdate,
    InvalidateRgn,
    CreateWindowA,
    DestroyWindow,
    ShowWindow,
    IsWindow,
  };
  static constexpr size_t kMethods = static_cast<size_t>(Method::IsWindow) + 1;
  // The Win32 name of the call, e.g. "GetClassNameA".
  static std::string_view methodName(Method method);

  // Forwards to inner, which must outlive this object.
  explicit CountingWindowSystem(WindowSystem& inner) : m_inner(inner) {}

  size_t calls(Method method) const { return m_calls[static_cast<size_t>(method)]; }
  // Every call made through this object.
  size_t totalCalls() const;
  // SendMessageTimeoutA and PostMessageA calls, in all and for one message number.
  size_t messagesSent() const { return calls(Method::SendMessageTimeoutA); }
  size_t messagesPosted() const { return calls(Method::PostMessageA); }
  size_t sent(uint32_t msg) const;
  size_t posted(uint32_t msg) const;
  void reset();

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
  LResult callClassProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) override;
  NotifyHeader copyNotifyHeader(LParam lParam) override { return m_inner.copyNotifyHeader(lParam); }
  std::optional<LResult> sendMessageTimeoutA(Hwnd hwnd, uint32_t msg, WParam wParam,
                                             LParam lParam) override;
  bool postMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) override;
  bool moveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height,
                  bool repaint) override;
  bool lockWindowUpdate(Hwnd hwnd) override;
  bool invalidateRgn(Hwnd hwnd, uintptr_t region, bool erase) override;
  Hwnd createWindowA(std::string_view className, std::string_view text, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, Hwnd parent, WndProc proc) override;
  bool destroyWindow(Hwnd hwnd) override;
  bool showWindow(Hwnd hwnd, int command) override;
  bool isWindow(Hwnd hwnd) override;

 private:
  void count(Method method) { ++m_calls[static_cast<size_t>(method)]; }

  WindowSystem& m_inner;
  std::array<size_t, kMethods> m_calls{};
  std::map<uint32_t, size_t> m_sent;
  std::map<uint32_t, size_t> m_posted;
};

}  // namespace morvane
