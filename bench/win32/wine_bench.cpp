// MorvaneAuto.exe at work against the ACT! stand-in in another process, measured under Wine:
//  - one record change handled end to end (from the stand-in's event to the layout applied), with
//    the automation calls and window messages that crossed into the stand-in;
//  - MorvaneAuto's working set and CPU time while it sits idle.
// It prints figures and checks none of them: this machine is shared and noisy.
//
//   morvane_wine_bench.exe [--changes N] [--idle-seconds S]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "hostwin/standin_client.h"
#include "platform/win32/win32_profile_files.h"
#include "platform/win32/win32_settings_store.h"
#include "shared/settings/settings_keys.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/scratch.h"
#include "tests/win32/support/wait.h"

#include <psapi.h>

namespace {

using namespace morvane;
using namespace morvane::wintest;
using Clock = std::chrono::steady_clock;

// The busy desktop of the benchmarks: other programs' top-level windows above ACT!.
constexpr int kOtherTopLevelWindows = 300;
// ACT!'s window tree: 1,000 windows with the frame, record view, status bar, buttons and lists.
constexpr const char* kActWindows = "/fillers 993";
// How long MorvaneAuto is left alone after the last change before its idle time is measured.
constexpr std::chrono::seconds kSettle{5};
// The idle time is reported in slices of this many seconds too.
constexpr int kSlice = 10;

std::string besideMe(std::string_view file) {
  const std::string self = selfPath();
  return self.substr(0, self.find_last_of('\\') + 1) + std::string(file);
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "morvane_wine_bench: %s\n", why.c_str());
  std::exit(1);
}

struct ProcessFigures {
  double cpuSeconds = 0;
  size_t workingSet = 0;
  size_t peakWorkingSet = 0;
  size_t privateBytes = 0;
};

ProcessFigures measure(HANDLE process) {
  ProcessFigures f;
  FILETIME created, exited, kernel, user;
  if (GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    auto seconds = [](const FILETIME& t) {
      return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                 t.dwLowDateTime) /
             1e7;
    };
    f.cpuSeconds = seconds(kernel) + seconds(user);
  }
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, &memory, sizeof memory)) {
    f.workingSet = memory.WorkingSetSize;
    f.peakWorkingSet = memory.PeakWorkingSetSize;
    f.privateBytes = memory.PagefileUsage;
  }
  return f;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

int run(int changes, int idleSeconds) {
  if (runToEnd(quotedPath(besideMe("ActStandIn.exe")) + " /regserver") != 0u)
    fail("the stand-in could not register its classes");
  if (runToEnd("regsvr32 /s " + quotedPath(besideMe("Nubrix.dll"))) != 0u)
    fail("Nubrix.dll could not be registered");

  ScratchFolder scratch("morvane-bench");
  const std::string rules = scratch.file("Morvane.ini");
  win32::Win32ProfileFiles profiles;
  for (const auto& [key, value] : {std::pair{"_Reference_Field_", "5"},
                                   {"If no layout assigned", "Standard"},
                                   {"Customer", "Client"},
                                   {"Prospect", "Prospect Layout"}})
    profiles.writePrivateProfileStringA("Sales-Contact", key, value, rules.c_str());
  win32::Win32SettingsStore store;
  settings::save(store, settings::kIniLocation, rules);

  std::vector<HWND> others;
  for (int i = 0; i < kOtherTopLevelWindows; ++i)
    others.push_back(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr));

  hostwin::StandInProcess act(kActWindows);
  RunningProcess morvaneAuto(quotedPath(besideMe("MorvaneAuto.exe")));
  if (!waitUntil([&] { return act.currentLayout() == "Client"; }, std::chrono::seconds(30)))
    fail("MorvaneAuto did not apply the first record's layout");
  HANDLE process =
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, morvaneAuto.processId());
  if (process == nullptr) fail("cannot look at MorvaneAuto's process");

  // Alice Martin (Customer: Client) and Bob Durand (Prospect: Prospect Layout), back and forth.
  std::vector<double> millis;
  hostwin::StandInCounters crossed;
  for (int i = 0; i < changes; ++i) {
    const bool forward = i % 2 == 0;
    const std::string expected = forward ? "Prospect Layout" : "Client";
    act.resetCounters();
    const auto start = Clock::now();
    act.command(forward ? "next" : "previous");
    if (!waitUntil([&] { return act.currentLayout() == expected; }, std::chrono::seconds(30)))
      fail("the layout " + expected + " did not come");
    millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    crossed = act.counters();
  }

  std::printf(
      "One record change, end to end (%d changes, %d top-level windows, ACT! tree of "
      "1,000 windows):\n",
      changes, kOtherTopLevelWindows + 1);
  std::printf("  time from the command to the layout shown: median %.1f ms, best %.1f ms\n",
              median(millis), *std::min_element(millis.begin(), millis.end()));
  std::printf(
      "  into the stand-in per change: %llu automation calls, %llu messages sent, %llu "
      "posted\n",
      static_cast<unsigned long long>(crossed.automationCalls),
      static_cast<unsigned long long>(crossed.sent),
      static_cast<unsigned long long>(crossed.posted));

  // Idle means after the last change has settled (COM's and Wine's own threads wind down first).
  waitUntil([] { return false; }, kSettle);
  const ProcessFigures before = measure(process);
  std::string slices;
  ProcessFigures last = before;
  for (int elapsed = 0; elapsed < idleSeconds; elapsed += kSlice) {
    waitUntil([] { return false; }, std::chrono::seconds(std::min(kSlice, idleSeconds - elapsed)));
    const ProcessFigures now = measure(process);
    slices.append(" ").append(
        std::to_string(static_cast<int>((now.cpuSeconds - last.cpuSeconds) * 1000)));
    last = now;
  }
  const ProcessFigures after = last;
  std::printf("MorvaneAuto idle for %d s (from %lld s after the last change):\n", idleSeconds,
              static_cast<long long>(kSettle.count()));
  std::printf("  CPU time used: %.3f s (%.2f%% of one core); per %d s, in ms:%s\n",
              after.cpuSeconds - before.cpuSeconds,
              100.0 * (after.cpuSeconds - before.cpuSeconds) / idleSeconds, kSlice, slices.c_str());
  std::printf("  working set %.1f MB (peak %.1f MB), private bytes %.1f MB\n",
              after.workingSet / 1048576.0, after.peakWorkingSet / 1048576.0,
              after.privateBytes / 1048576.0);
  std::fflush(stdout);

  CloseHandle(process);
  act.stop();
  morvaneAuto.waitForExit();
  for (HWND w : others) DestroyWindow(w);
  RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(win32::Win32SettingsStore::kBasicSettingsRoot) +
                                     "\\" + std::string(settings::kApplication))
                                        .c_str());
  runToEnd("regsvr32 /s /u " + quotedPath(besideMe("Nubrix.dll")));
  runToEnd(quotedPath(besideMe("ActStandIn.exe")) + " /unregserver");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int changes = 20;
  int idleSeconds = 60;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--changes")
      changes = std::max(1, std::atoi(argv[i + 1]));
    else if (option == "--idle-seconds")
      idleSeconds = std::max(1, std::atoi(argv[i + 1]));
    else
      fail("unknown option " + option);
  }
  return run(changes, idleSeconds);
}
