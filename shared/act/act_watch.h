// Notices that ACT! has gone without closing. A program that dies or is killed raises no event,
// but Windows takes its windows away with it: the watch looks every second whether ACT!'s main
// window is still there, or another ACT! frame took its place, and tells its owner when none is.
#pragma once

#include <functional>

#include "platform/timers.h"
#include "platform/window_system.h"

namespace morvane {

class ActWatch {
 public:
  static constexpr int32_t kIntervalMs = 1000;

  ActWatch(WindowSystem& windows, Timers& timers);
  ActWatch(const ActWatch&) = delete;
  ActWatch& operator=(const ActWatch&) = delete;

  // Begins watching, from the ACT! frame there now. onGone is told each time a frame that was
  // there is gone and no other has come; the watch goes on until stopped (ACT! may answer yet).
  void start(std::function<void()> onGone);
  void stop();
  bool watching() const { return m_timer.running(); }

 private:
  Hwnd findFrame();
  void check();

  WindowSystem& m_windows;
  Timer m_timer;
  Hwnd m_frame = 0;
  std::function<void()> m_onGone;
};

}  // namespace morvane
