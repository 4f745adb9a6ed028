#include "platform/counting_window_system.h"

#include <numeric>
#include <utility>

namespace morvane {

namespace {

size_t countOf(const std::map<uint32_t, size_t>& counts, uint32_t msg) {
  const auto it = counts.find(msg);
  return it == counts.end() ? 0 : it->second;
}

}  // namespace

std::string_view CountingWindowSystem::methodName(Method method) {
  switch (method) {
    case Method::EnumWindows:
      return "EnumWindows";
    case Method::EnumChildWindows:
      return "EnumChildWindows";
    case Method::GetClassNameA:
      return "GetClassNameA";
    case Method::GetParent:
      return "GetParent";
    case Method::GetWindowRect:
      return "GetWindowRect";
    case Method::IsWindowVisible:
      return "IsWindowVisible";
    case Method::GetWindowLongA:
      return "GetWindowLongA";
    case Method::SetWindowLongA:
      return "SetWindowLongA";
    case Method::CallWindowProcA:
      return "CallWindowProcA";
    case Method::MakeWndProcValue:
      return "MakeWndProcValue";
    case Method::CallClassProc:
      return "CallClassProc";
    case Method::SendMessageTimeoutA:
      return "SendMessageTimeoutA";
    case Method::PostMessageA:
      return "PostMessageA";
    case Method::MoveWindow:
      return "MoveWindow";
    case Method::LockWindowUpdate:
      return "LockWindowUpdate";
    case Method::InvalidateRgn:
      return "InvalidateRgn";
    case Method::CreateWindowA:
      return "CreateWindowA";
    case Method::DestroyWindow:
      return "DestroyWindow";
    case Method::ShowWindow:
      return "ShowWindow";
    case Method::IsWindow:
      return "IsWindow";
  }
  return "?";
}

size_t CountingWindowSystem::totalCalls() const {
  return std::accumulate(m_calls.begin(), m_calls.end(), size_t{0});
}

size_t CountingWindowSystem::sent(uint32_t msg) const {
  return countOf(m_sent, msg);
}

size_t CountingWindowSystem::posted(uint32_t msg) const {
  return countOf(m_posted, msg);
}

void CountingWindowSystem::reset() {
  m_calls.fill(0);
  m_sent.clear();
  m_posted.clear();
}

// Each call is counted before it is forwarded, so calls made from inside a callback or a window
// procedure it runs count in the order they happen.

bool CountingWindowSystem::enumWindows(const EnumProc& proc, LParam lParam) {
  count(Method::EnumWindows);
  return m_inner.enumWindows(proc, lParam);
}

bool CountingWindowSystem::enumChildWindows(Hwnd parent, const EnumProc& proc, LParam lParam) {
  count(Method::EnumChildWindows);
  return m_inner.enumChildWindows(parent, proc, lParam);
}

int32_t CountingWindowSystem::getClassNameA(Hwnd hwnd, char* buffer, int32_t maxCount) {
  count(Method::GetClassNameA);
  return m_inner.getClassNameA(hwnd, buffer, maxCount);
}

Hwnd CountingWindowSystem::getParent(Hwnd hwnd) {
  count(Method::GetParent);
  return m_inner.getParent(hwnd);
}

bool CountingWindowSystem::getWindowRect(Hwnd hwnd, Rect& rect) {
  count(Method::GetWindowRect);
  return m_inner.getWindowRect(hwnd, rect);
}

bool CountingWindowSystem::isWindowVisible(Hwnd hwnd) {
  count(Method::IsWindowVisible);
  return m_inner.isWindowVisible(hwnd);
}

int32_t CountingWindowSystem::getWindowLongA(Hwnd hwnd, int32_t index) {
  count(Method::GetWindowLongA);
  return m_inner.getWindowLongA(hwnd, index);
}

int32_t CountingWindowSystem::setWindowLongA(Hwnd hwnd, int32_t index, int32_t value) {
  count(Method::SetWindowLongA);
  return m_inner.setWindowLongA(hwnd, index, value);
}

LResult CountingWindowSystem::callWindowProcA(WndProcValue proc, Hwnd hwnd, uint32_t msg,
                                              WParam wParam, LParam lParam) {
  count(Method::CallWindowProcA);
  return m_inner.callWindowProcA(proc, hwnd, msg, wParam, lParam);
}

WndProcValue CountingWindowSystem::makeWndProcValue(WndProc proc) {
  count(Method::MakeWndProcValue);
  return m_inner.makeWndProcValue(std::move(proc));
}

LResult CountingWindowSystem::callClassProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  count(Method::CallClassProc);
  return m_inner.callClassProc(hwnd, msg, wParam, lParam);
}

std::optional<LResult> CountingWindowSystem::sendMessageTimeoutA(Hwnd hwnd, uint32_t msg,
                                                                 WParam wParam, LParam lParam) {
  count(Method::SendMessageTimeoutA);
  ++m_sent[msg];
  return m_inner.sendMessageTimeoutA(hwnd, msg, wParam, lParam);
}

bool CountingWindowSystem::postMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  count(Method::PostMessageA);
  ++m_posted[msg];
  return m_inner.postMessageA(hwnd, msg, wParam, lParam);
}

bool CountingWindowSystem::moveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width,
                                      int32_t height, bool repaint) {
  count(Method::MoveWindow);
  return m_inner.moveWindow(hwnd, x, y, width, height, repaint);
}

bool CountingWindowSystem::lockWindowUpdate(Hwnd hwnd) {
  count(Method::LockWindowUpdate);
  return m_inner.lockWindowUpdate(hwnd);
}

bool CountingWindowSystem::invalidateRgn(Hwnd hwnd, uintptr_t region, bool erase) {
  count(Method::InvalidateRgn);
  return m_inner.invalidateRgn(hwnd, region, erase);
}

Hwnd CountingWindowSystem::createWindowA(std::string_view className, std::string_view text,
                                         uint32_t style, int32_t x, int32_t y, int32_t width,
                                         int32_t height, Hwnd parent, WndProc proc) {
  count(Method::CreateWindowA);
  return m_inner.createWindowA(className, text, style, x, y, width, height, parent,
                               std::move(proc));
}

bool CountingWindowSystem::destroyWindow(Hwnd hwnd) {
  count(Method::DestroyWindow);
  return m_inner.destroyWindow(hwnd);
}

bool CountingWindowSystem::showWindow(Hwnd hwnd, int command) {
  count(Method::ShowWindow);
  return m_inner.showWindow(hwnd, command);
}

bool CountingWindowSystem::isWindow(Hwnd hwnd) {
  count(Method::IsWindow);
  return m_inner.isWindow(hwnd);
}

}  // namespace morvane
