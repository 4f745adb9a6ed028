// The window lab on the simulated desktop: the "other side" is the same desktop.
#include <algorithm>
#include <map>

#include "platform/sim/sim_desktop.h"
#include "platform/win_constants.h"
#include "tests/contract/window_lab.h"

namespace morvane::contract {
namespace {

class SimWindowLab : public WindowLab {
 public:
  explicit SimWindowLab(std::chrono::milliseconds callLimit) : m_desktop(callLimit) {}

  WindowSystem& windows() override { return m_desktop; }

  Hwnd create(const WindowSpec& spec) override {
    // The system's own classes behave the same with this procedure in front of them.
    const Hwnd h = m_desktop.createWindowA(
        spec.className, spec.text, spec.style, spec.x, spec.y, spec.width, spec.height, spec.parent,
        [this](Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
          if (msg == win::WM_COMMAND) m_commands[hwnd].push_back(Command{wParam, lParam});
          return m_desktop.callClassProc(hwnd, msg, wParam, lParam);
        });
    if (h != 0 && spec.id != 0) m_desktop.setWindowLongA(h, win::GWL_ID, spec.id);
    if (h != 0 && !(spec.style & win::WS_CHILD)) m_topLevel.push_back(h);
    return h;
  }

  bool destroy(Hwnd hwnd) override { return m_desktop.destroyWindow(hwnd); }

  std::vector<Command> commands(Hwnd hwnd) override {
    const auto it = m_commands.find(hwnd);
    return it == m_commands.end() ? std::vector<Command>{} : it->second;
  }

  // On the simulated desktop each top-level window is a program of its own: the lab's all hang.
  void hang(std::chrono::milliseconds duration) override {
    for (Hwnd h : m_topLevel) m_desktop.hang(h, static_cast<uint64_t>(duration.count()));
  }

  bool waitUntilResponsive(std::chrono::milliseconds limit) override {
    const uint64_t deadline = m_desktop.now() + static_cast<uint64_t>(limit.count());
    for (Hwnd h : m_topLevel)
      if (!m_desktop.waitForAnswer(h, deadline - std::min(deadline, m_desktop.now()))) return false;
    return true;
  }

 private:
  sim::SimDesktop m_desktop;
  std::map<Hwnd, std::vector<Command>> m_commands;
  std::vector<Hwnd> m_topLevel;
};

}  // namespace

std::unique_ptr<WindowLab> makeWindowLab(std::chrono::milliseconds callLimit) {
  return std::make_unique<SimWindowLab>(callLimit);
}

}  // namespace morvane::contract
