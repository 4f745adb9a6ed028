#include "tests/win32/support/fake_notification_area.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/win32_base.h"

namespace morvane::wintest {

namespace {

// Wine's layout of the WM_COPYDATA data (see the header).
constexpr size_t kTipOffset = 16;
constexpr size_t kTipChars = 128;
constexpr size_t kImageSizeOffset = 944;

uint32_t word32(const unsigned char* bytes, size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

}  // namespace

class FakeNotificationArea::Window {
 public:
  explicit Window(FakeNotificationArea& owner) : m_owner(owner) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Window::proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    // Registered by the first fake of the process and kept: the class is the process's own.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
    m_hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClass, L"", WS_POPUP, 0, 0, 1, 1,
                             nullptr, nullptr, windowClass.hInstance, this);
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  ~Window() {
    if (m_hwnd) DestroyWindow(m_hwnd);
  }
  HWND hwnd() const { return m_hwnd; }
  static constexpr const wchar_t* kClass = L"Shell_TrayWnd";

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COPYDATA && self != nullptr) {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      return self->m_owner.handle(static_cast<uint32_t>(copy->dwData), copy->lpData, copy->cbData)
                 ? TRUE
                 : FALSE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  FakeNotificationArea& m_owner;
  HWND m_hwnd = nullptr;
};

FakeNotificationArea::FakeNotificationArea() : m_window(std::make_unique<Window>(*this)) {}

FakeNotificationArea::~FakeNotificationArea() = default;

bool FakeNotificationArea::ready() const {
  return m_window->hwnd() != nullptr && FindWindowW(Window::kClass, nullptr) == m_window->hwnd();
}

Hwnd FakeNotificationArea::window() const {
  return win32::fromHwnd(m_window->hwnd());
}

bool FakeNotificationArea::waitForNotifications(size_t count, std::chrono::milliseconds timeout) {
  return waitUntil([&] { return m_notifications.size() >= count; }, timeout);
}

const FakeTrayIcon* FakeNotificationArea::find(Hwnd window, uint32_t id) const {
  const auto it = std::find_if(m_icons.begin(), m_icons.end(), [&](const FakeTrayIcon& icon) {
    return icon.window == window && icon.id == id;
  });
  return it == m_icons.end() ? nullptr : &*it;
}

bool FakeNotificationArea::handle(uint32_t message, const void* data, size_t size) {
  if (data == nullptr || size < kTipOffset + kTipChars * sizeof(wchar_t)) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  TrayNotification call;
  call.message = message;
  call.window = word32(bytes, 0);
  call.id = word32(bytes, 4);
  call.flags = word32(bytes, 8);
  call.callbackMessage = word32(bytes, 12);
  wchar_t tip[kTipChars];
  std::memcpy(tip, bytes + kTipOffset, sizeof tip);
  tip[kTipChars - 1] = L'\0';
  call.tip = win32::toAnsi(tip);
  call.hasImage = size >= kImageSizeOffset + 8 && word32(bytes, kImageSizeOffset) != 0 &&
                  word32(bytes, kImageSizeOffset + 4) != 0;

  const auto icon = std::find_if(m_icons.begin(), m_icons.end(), [&](const FakeTrayIcon& i) {
    return i.window == call.window && i.id == call.id;
  });
  // The fields that the flags name, as the shell applies them.
  const auto apply = [&](FakeTrayIcon& target) {
    if (call.flags & NIF_MESSAGE) {
      target.notifies = true;
      target.callbackMessage = call.callbackMessage;
    }
    if (call.flags & NIF_ICON) target.hasImage = call.hasImage;
    if (call.flags & NIF_TIP) target.tip = call.tip;
  };
  switch (message) {
    case NIM_ADD:
      call.accepted = icon == m_icons.end();
      if (call.accepted) {
        FakeTrayIcon added;
        added.window = call.window;
        added.id = call.id;
        apply(added);
        m_icons.push_back(added);
      }
      break;
    case NIM_MODIFY:
      call.accepted = icon != m_icons.end();
      if (call.accepted) apply(*icon);
      break;
    case NIM_DELETE:
      call.accepted = icon != m_icons.end();
      if (call.accepted) m_icons.erase(icon);
      break;
    default:
      call.accepted = true;  // NIM_SETFOCUS, NIM_SETVERSION: nothing to keep
      break;
  }
  m_notifications.push_back(call);
  return call.accepted;
}

bool FakeNotificationArea::notify(Hwnd window, uint32_t id, uint32_t mouseMessage) {
  return send(window, id, {mouseMessage});
}

bool FakeNotificationArea::click(Hwnd window, uint32_t id) {
  return send(window, id, {WM_LBUTTONDOWN, WM_LBUTTONUP});
}

bool FakeNotificationArea::doubleClick(Hwnd window, uint32_t id) {
  return send(window, id, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP});
}

bool FakeNotificationArea::send(Hwnd window, uint32_t id,
                                std::initializer_list<uint32_t> mouseMessages) {
  const FakeTrayIcon* icon = find(window, id);
  if (icon == nullptr || !icon->notifies) return false;
  for (const uint32_t mouseMessage : mouseMessages) {
    // Looked up afresh: handling one message may remove the icon (a click that ends a program).
    icon = find(window, id);
    if (icon == nullptr) break;
    if (!SendNotifyMessageW(win32::toHwnd(window), icon->callbackMessage, id, mouseMessage)) {
      m_icons.erase(m_icons.begin() + (icon - m_icons.data()));
      return false;
    }
  }
  return true;
}

void FakeNotificationArea::restart() {
  m_icons.clear();
  SendNotifyMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
}

}  // namespace morvane::wintest
