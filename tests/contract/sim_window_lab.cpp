// The window lab on the simulated desktop: the "other side" is the same desktop.
#include <map>

#include "platform/sim/sim_desktop.h"
#include "platform/win_constants.h"
#include "tests/contract/window_lab.h"

namespace morvane::contract {
namespace {

class SimWindowLab : public WindowLab {
 public:
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
    return h;
  }

  bool destroy(Hwnd hwnd) override { return m_desktop.destroyWindow(hwnd); }

  std::vector<Command> commands(Hwnd hwnd) override {
    const auto it = m_commands.find(hwnd);
    return it == m_commands.end() ? std::vector<Command>{} : it->second;
  }

 private:
  sim::SimDesktop m_desktop;
  std::map<Hwnd, std::vector<Command>> m_commands;
};

}  // namespace

std::unique_ptr<WindowLab> makeWindowLab() {
  return std::make_unique<SimWindowLab>();
}

}  // namespace morvane::contract
