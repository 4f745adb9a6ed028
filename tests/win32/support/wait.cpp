#include "tests/win32/support/wait.h"

#include <windows.h>

namespace morvane::wintest {

void pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               void* wakeOn) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + timeout;
  for (;;) {
    pumpMessages();
    if (condition()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) return false;
    // Wakes on any new message (sent ones included), on the handle, or after at most 10 ms. A
    // handle stays signalled: once it has woken the wait, the slices alone go on.
    const DWORD woken = MsgWaitForMultipleObjectsEx(
        wakeOn != nullptr ? 1 : 0, wakeOn != nullptr ? &wakeOn : nullptr,
        static_cast<DWORD>(std::min<long long>(left.count(), 10)), QS_ALLINPUT,
        MWMO_INPUTAVAILABLE);
    if (wakeOn != nullptr && woken == WAIT_OBJECT_0) wakeOn = nullptr;
  }
}

}  // namespace morvane::wintest
