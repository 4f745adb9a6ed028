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
  size_t messages = 0;
  for (auto _ : state) {
    world.desktop.clearTrace();
    program->form.Update_Layout();
    world.desktop.pump();
    messages = world.desktop.trace().size();
  }
  state.counters["window_calls"] = static_cast<double>(messages);
  state.counters["windows"] = static_cast<double>(world.desktop.windowCount());
}
BENCHMARK(BM_UpdateLayout);

}  // namespace
