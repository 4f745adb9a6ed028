// Timers: the port a message loop offers, and the form timer control built on it.
#pragma once

#include <cstdint>
#include <functional>

namespace morvane {

using TimerId = uint32_t;

class Timers {
 public:
  Timers() = default;
  Timers(const Timers&) = delete;
  Timers& operator=(const Timers&) = delete;
  virtual ~Timers() = default;
  // A periodic timer (SetTimer); the first tick comes intervalMs after the call. Never returns 0.
  virtual TimerId setTimer(uint32_t intervalMs, std::function<void()> onTick) = 0;
  virtual void killTimer(TimerId id) = 0;
};

// A form's Timer control: it ticks every Interval milliseconds while Enabled and Interval > 0, and
// never inside its own Timer event (a tick due meanwhile is dropped).
// Setting a new non-zero Interval on a running timer restarts its countdown, as SetTimer does
// for an existing timer. A negative Interval is refused with error 380.
class Timer {
 public:
  explicit Timer(Timers& timers) : m_timers(timers) {}
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  ~Timer();

  int32_t interval() const { return m_interval; }
  void setInterval(int32_t ms);
  bool enabled() const { return m_enabled; }
  void setEnabled(bool enabled);
  bool running() const { return m_id != 0; }

  std::function<void()> onTimer;

 private:
  void restart();
  void stop();

  Timers& m_timers;
  int32_t m_interval = 0;
  bool m_enabled = true;
  bool m_ticking = false;
  TimerId m_id = 0;
};

}  // namespace morvane
