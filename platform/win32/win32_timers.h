// The timer port on SetTimer/KillTimer: ticks arrive as WM_TIMER through the thread's message
// loop, at a hidden message-only window.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "platform/timers.h"
#include "platform/win32/callback_failure.h"

namespace morvane::win32 {

class Win32Timers : public Timers {
 public:
  // With CallbackFailures::Drop (code in a DLL), an exception a tick raises is dropped.
  explicit Win32Timers(CallbackFailures failures = CallbackFailures::Hold);
  ~Win32Timers() override;

  TimerId setTimer(uint32_t intervalMs, std::function<void()> onTick) override;
  void killTimer(TimerId id) override;

  size_t activeTimers() const { return m_timers.size(); }
  // Rethrows an exception a tick raised; the message loop calls this after DispatchMessage, as
  // the tick ran inside user32.
  void rethrowPending() { m_failure.rethrow(); }

 private:
  friend struct Win32TimersNative;
  void tick(TimerId id);

  void* m_window = nullptr;  // HWND
  std::map<TimerId, std::shared_ptr<std::function<void()>>> m_timers;
  TimerId m_nextId = 1;
  CallbackFailure m_failure;
};

}  // namespace morvane::win32
