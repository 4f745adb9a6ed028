// One whole Update_Layout of MorvaneAuto (rules lookups, window search, selection) on a busy
// desktop: 300 top-level windows and an ACT! tree of 1,000 windows.
#include <benchmark/benchmark.h>

#include "platform/win_constants.h"
#include "simulator/sim_world.h"

namespace {

using namespace morvane;

void BM_UpdateLayout(benchmark::State& state) {
  hostsim::ActWindowOptions options;
  options.fillerWindows = 1000 - 7;  // frame, view, status bar, two buttons, two lists
  simulator::SimWorld world({}, options);
  world.writeSampleRules();
  world.startAct();
  world.runMorvaneAuto();
  for (int i = 0; i < 299; ++i)
    world.desktop.createWindowA("OtherApp", "", win::WS_VISIBLE, 0, 0, 100, 100, 0, nullptr);
  MorvaneAutoProgram* program = world.morvaneAuto();
  if (!program) {
    state.SkipWithError("MorvaneAuto did not start");
    return;
  }
  CountingWindowSystem& counting = world.autoWindowCalls;
  counting.reset();
  for (auto _ : state) {
    world.desktop.clearTrace();
    program->form.Update_Layout();
    world.desktop.pump();
  }
  const auto perUpdate = [](size_t n) {
    return benchmark::Counter(static_cast<double>(n), benchmark::Counter::kAvgIterations);
  };
  state.counters["window_calls"] = perUpdate(counting.totalCalls());
  state.counters["sent"] = perUpdate(counting.messagesSent());
  state.counters["posted"] = perUpdate(counting.messagesPosted());
  state.counters["windows"] = static_cast<double>(world.desktop.windowCount());
}
BENCHMARK(BM_UpdateLayout);

}  // namespace
