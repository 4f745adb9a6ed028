#include "platform/timers.h"

#include "platform/runtime_error.h"

namespace morvane {

Timer::~Timer() { stop(); }

void Timer::setInterval(int32_t ms) {
  if (ms < 0) throw RuntimeError(err::kInvalidPropertyValue);
  m_interval = ms;
  restart();
}

void Timer::setEnabled(bool enabled) {
  m_enabled = enabled;
  restart();
}

void Timer::stop() {
  if (m_id != 0) m_timers.killTimer(m_id);
  m_id = 0;
}

void Timer::restart() {
  stop();
  if (!m_enabled || m_interval <= 0) return;
  m_id = m_timers.setTimer(static_cast<uint32_t>(m_interval), [this] {
    // A tick while the last one is still being handled (its handler shows a message box, whose
    // loop goes on dispatching WM_TIMER) is dropped: the event never runs inside itself, so a
    // failing update cannot stack one error box on another.
    if (m_ticking || !onTimer) return;
    m_ticking = true;
    struct Done {
      bool& ticking;
      ~Done() { ticking = false; }
    } done{m_ticking};
    onTimer();
  });
}

}  // namespace morvane
