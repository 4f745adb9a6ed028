#include "platform/win32/win32_timers.h"

#include "platform/runtime_error.h"
#include "platform/win32/win32_base.h"

namespace morvane::win32 {

namespace {

constexpr char kTimerWindowClass[] = "Morvane.TimerWindow";

HWND asHwnd(void* window) {
  return static_cast<HWND>(window);
}

}  // namespace

struct Win32TimersNative {
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
      if (auto* self = reinterpret_cast<Win32Timers*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
        self->tick(static_cast<TimerId>(wParam));
        return 0;
      }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
};

Win32Timers::Win32Timers(CallbackFailures failures) : m_failure(failures) {
  const HINSTANCE module = thisModule();
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(module, kTimerWindowClass, &wc)) {
    wc.lpfnWndProc = &Win32TimersNative::windowProc;
    wc.hInstance = module;
    wc.lpszClassName = kTimerWindowClass;
    RegisterClassExA(&wc);
  }
  const HWND window = CreateWindowExA(0, kTimerWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, module, nullptr);
  if (window == nullptr) throw RuntimeError(err::kOutOfMemory);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_window = window;
}

Win32Timers::~Win32Timers() {
  for (const auto& [id, tick] : m_timers) KillTimer(asHwnd(m_window), id);
  DestroyWindow(asHwnd(m_window));
  // Fails while another instance still has its window: the class then stays for it.
  UnregisterClassA(kTimerWindowClass, thisModule());
}

TimerId Win32Timers::setTimer(uint32_t intervalMs, std::function<void()> onTick) {
  const TimerId id = m_nextId++;
  if (m_nextId == 0) m_nextId = 1;
  // SetTimer raises intervals below USER_TIMER_MINIMUM (10 ms) itself.
  if (SetTimer(asHwnd(m_window), id, intervalMs, nullptr) == 0)
    throw RuntimeError(err::kOutOfMemory);
  m_timers[id] = std::make_shared<std::function<void()>>(std::move(onTick));
  return id;
}

void Win32Timers::killTimer(TimerId id) {
  if (m_timers.erase(id) != 0) KillTimer(asHwnd(m_window), id);
}

void Win32Timers::tick(TimerId id) {
  const auto it = m_timers.find(id);
  if (it == m_timers.end()) return;  // killed while its WM_TIMER was on its way
  const auto onTick = it->second;    // the tick may kill or reset its own timer
  m_failure.run([&] {
    if (*onTick) (*onTick)();
  });
}

}  // namespace morvane::win32
