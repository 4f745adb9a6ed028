#include "shared/act/act_watch.h"

#include <array>

#include "shared/act/modLayout.h"

namespace morvane {

ActWatch::ActWatch(WindowSystem& windows, Timers& timers) : m_windows(windows), m_timer(timers) {
  m_timer.onTimer = [this] { check(); };
}

void ActWatch::start(std::function<void()> onGone) {
  m_onGone = std::move(onGone);
  m_frame = findFrame();
  m_timer.setInterval(kIntervalMs);
}

void ActWatch::stop() {
  m_timer.setInterval(0);
  m_frame = 0;
}

Hwnd ActWatch::findFrame() {
  // The frame the window search would use: the first in Z order.
  Hwnd found = 0;
  m_windows.enumWindows(
      [&](Hwnd h, LParam) {
        std::array<char, 256> name{};
        const int32_t n =
            m_windows.getClassNameA(h, name.data(), static_cast<int32_t>(name.size()));
        if (n <= 0 || !isActFrameClass(std::string_view(name.data(), static_cast<size_t>(n))))
          return -1;
        found = h;
        return 0;
      },
      0);
  return found;
}

void ActWatch::check() {
  // One call that asks nothing of ACT! itself, so a hung ACT! costs the watch nothing.
  if (m_frame != 0 && m_windows.isWindow(m_frame)) return;
  const bool hadFrame = m_frame != 0;
  m_frame = findFrame();
  if (m_frame != 0 || !hadFrame) return;
  // Told from a copy: the owner may stop or restart the watch.
  const std::function<void()> onGone = m_onGone;
  if (onGone) onGone();
}

}  // namespace morvane
