// One SelectLayout on a busy desktop: 300 top-level windows and an ACT! tree of 1,000 windows.
// Besides the time it reports the window-system calls per selection: on Windows each one crosses
// into the window manager, so their number is what a selection costs there.
#include <benchmark/benchmark.h>

#include "hostsim/act_windows.h"
#include "platform/counting_window_system.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/win_constants.h"
#include "shared/act/modLayout.h"

namespace {

using namespace morvane;

struct BusyDesktop {
  BusyDesktop() {
    // ACT! started first, so the other programs' windows sit above it in the Z order.
    act.open();
    for (int i = 0; i < 299; ++i) {
      const Hwnd top = desktop.createWindowA("OtherApp", "", win::WS_VISIBLE, 0, 0, 100, 100, 0,
                                             nullptr);
      for (int c = 0; c < 3; ++c)
        desktop.createWindowA("Static", "", win::WS_CHILD | win::WS_VISIBLE, 0, 0, 10, 10, top,
                              nullptr);
    }
  }
  sim::SimDesktop desktop;
  sim::SimMessageBoxes boxes;
  hostsim::ActLayoutState layouts{{"Standard", "Client", "Prospect Layout", "Group Layout"},
                                  "Standard", {}};
  hostsim::ActWindows act{desktop, layouts, [] {
                            hostsim::ActWindowOptions o;
                            o.fillerWindows = 1000 - 7;  // frame, view, status bar, two buttons, two lists
                            return o;
                          }()};
};

void BM_SelectLayout(benchmark::State& state) {
  BusyDesktop world;
  ErrorTrap trap(world.boxes, "MorvaneAuto");
  CountingWindowSystem counting(world.desktop);
  modLayout mod(counting, trap);
  int i = 0;
  for (auto _ : state) {
    const std::string result = mod.SelectLayout(i++ % 2 ? "Client" : "Standard");
    world.desktop.pump();
    world.desktop.clearTrace();
    benchmark::DoNotOptimize(result);
  }
  const auto perSelection = [](size_t n) {
    return benchmark::Counter(static_cast<double>(n), benchmark::Counter::kAvgIterations);
  };
  state.counters["window_calls"] = perSelection(counting.totalCalls());
  // And by call, for those the selection makes.
  for (size_t m = 0; m < CountingWindowSystem::kMethods; ++m) {
    const auto method = static_cast<CountingWindowSystem::Method>(m);
    if (counting.calls(method) > 0)
      state.counters[std::string(CountingWindowSystem::methodName(method))] =
          perSelection(counting.calls(method));
  }
  state.counters["sent"] = perSelection(counting.messagesSent());
  state.counters["posted"] = perSelection(counting.messagesPosted());
  state.counters["windows"] = static_cast<double>(world.desktop.windowCount());
}
BENCHMARK(BM_SelectLayout);

}  // namespace

BENCHMARK_MAIN();
