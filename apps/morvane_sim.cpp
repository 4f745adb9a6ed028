// morvane-sim: the whole system on the simulated desktop. With no arguments it plays the
// built-in tour; with a file it plays that scenario ("-": standard input); with --select NAME...
// it selects layouts in the simulated ACT! and shows every message sent.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/act_sim.h"
#include "hostsim/act_windows.h"
#include "platform/error_trap.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/win_constants.h"
#include "shared/act/modLayout.h"
#include "simulator/scenario.h"

namespace {

using namespace morvane;

std::string messageName(uint32_t msg) {
  switch (msg) {
    case win::BM_CLICK: return "BM_CLICK";
    case win::WM_SETREDRAW: return "WM_SETREDRAW";
    case win::LB_FINDSTRINGEXACT: return "LB_FINDSTRINGEXACT";
    case win::LB_SETCURSEL: return "LB_SETCURSEL";
    case win::LB_GETCOUNT: return "LB_GETCOUNT";
    case win::LB_GETTEXT: return "LB_GETTEXT";
    case win::LB_GETTEXTLEN: return "LB_GETTEXTLEN";
    case win::WM_KEYDOWN: return "WM_KEYDOWN";
    default: return "message " + std::to_string(msg);
  }
}

std::string describe(const sim::TraceEntry& e) {
  using Kind = sim::TraceEntry::Kind;
  const std::string target = std::to_string(e.target);
  switch (e.kind) {
    case Kind::Send:
    case Kind::Post: {
      std::string s = std::string(e.kind == Kind::Send ? "SendMessage " : "PostMessage ") +
                      messageName(e.msg) + " to " + target;
      s += " (" + std::to_string(static_cast<int32_t>(e.wParam));
      s += e.text.empty() ? ", " + std::to_string(e.lParam) : ", \"" + e.text + "\"";
      return s + ")";
    }
    case Kind::Move:
      return "MoveWindow " + target + " to " + std::to_string(e.rect.left) + "," +
             std::to_string(e.rect.top);
    case Kind::Lock: return "LockWindowUpdate " + target;
    case Kind::Invalidate: return "InvalidateRgn " + target;
  }
  return {};
}

int selectAndReport(const std::string& layout) {
  sim::SimDesktop desktop;
  sim::SimMessageBoxes boxes;
  hostsim::ActLayoutState layouts{hostsim::sampleLayouts(), "Standard", {}};
  hostsim::ActWindows act(desktop, layouts);
  act.open();

  ErrorTrap trap(boxes, "Morvane");
  modLayout layoutModule(desktop, trap);
  std::cout << "ACT! shows layout: " << act.currentLayout() << "\n";
  std::cout << "Selecting layout: " << layout << "\n";
  desktop.clearTrace();
  const std::string result = layoutModule.SelectLayout(layout);
  for (const auto& e : desktop.trace()) std::cout << "  " << describe(e) << "\n";
  desktop.pump();
  std::cout << "Result: " << (result.empty() ? "(success)" : result) << "\n";
  std::cout << "ACT! shows layout: " << act.currentLayout() << "\n";
  return result.empty() ? 0 : 1;
}

void usage() {
  std::cerr << "usage: morvane-sim [SCENARIO-FILE | - | --select LAYOUT...]\n"
               "  no argument: play the built-in tour; '-': read the scenario from standard input\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--select") {
    int failures = 0;
    for (size_t i = 1; i < args.size(); ++i) {
      failures += selectAndReport(args[i]);
      std::cout << "\n";
    }
    return failures == 0 ? 0 : 1;
  }
  std::string scenario;
  if (args.empty()) {
    scenario = simulator::builtInTour();
  } else if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
    usage();
    return 0;
  } else if (args.size() == 1) {
    std::ostringstream text;
    if (args[0] == "-") {
      text << std::cin.rdbuf();
    } else {
      std::ifstream file(args[0]);
      if (!file) {
        std::cerr << "morvane-sim: cannot read " << args[0] << "\n";
        return 2;
      }
      text << file.rdbuf();
    }
    scenario = text.str();
  } else {
    usage();
    return 2;
  }
  bool ok = false;
  std::cout << simulator::playScenario(scenario, &ok);
  return ok ? 0 : 1;
}
