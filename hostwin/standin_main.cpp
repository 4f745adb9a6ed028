// ActStandIn.exe: ACT! for Morvane's tests and demos, with the sample database open, serving ACT!'s
// automation objects and event control to other processes while it runs.
//   ActStandIn.exe [/fillers N] [DATABASE]   DATABASE: the path its file association passes
//   ActStandIn.exe /regserver | /unregserver   register or remove its COM classes, then exit
// Started by COM (-Embedding), a client asked for one of the classes while ACT! was not running.
// It then serves them as the simulation does when ACT! is not running: ACT!'s objects cannot be
// made (the client gets 429 at once) and an event control links to nothing (Attach gives 0,
// ActAvailable False). It shows no window and ends when its clients hold nothing more, at once
// when a creation was refused and nothing is held, or after a minute when nobody came. While it
// lives it keeps the classes: a stand-in started meanwhile is reached only once it has ended.
// Exit codes: 0 after ACT! closed (or the server COM started ended, or a registration switch did
// its work), 1 when its windows could not be made or it failed, 2 for a wrong command line.
#include <cstdio>
#include <exception>
#include <memory>

#include "hostsim/act_automation.h"
#include "hostwin/act_standin.h"
#include "hostwin/standin_com.h"
#include "platform/runtime_error.h"
#include "platform/win32/com/com_automation.h"
#include "platform/win32/com/com_registration.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

using namespace morvane;
using namespace morvane::hostwin;

constexpr UINT kUnusedServerMs = 60 * 1000;

void CALLBACK endIfUnused(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  win32::LocalServer* server = win32::LocalServer::current();
  if (server != nullptr && server->count() == 0) server->end();
}

// ACT! not running, behind COM.
int serveWithoutAct() {
  hostsim::ActSim act;
  sim::SimAutomation classes;
  hostsim::registerActClasses(classes, act);
  win32::LocalServer server(true);
  StandInComServer com(classes);
  SetTimer(nullptr, 0, kUnusedServerMs, endIfUnused);
  return server.run();
}

// ACT! running: its windows, and its classes served while it runs.
int runAct(HINSTANCE instance, const StandInOptions& options) {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  ActStandIn standIn(instance, options);
  // Without its classes (another program serves them) it is still ACT!'s windows.
  std::unique_ptr<StandInComServer> server;
  try {
    server = std::make_unique<StandInComServer>(standIn.automation());
  } catch (const RuntimeError& e) {
    std::fprintf(stderr, "ActStandIn: serves no COM classes: %s\n", e.description().c_str());
  }
  standIn.setAutomationServer(server.get());
  const int code = standIn.run();
  noteClosingStep("ending its COM server");
  standIn.setAutomationServer(nullptr);
  server.reset();
  noteClosingStep("ending ACT!");
  return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  std::string error;
  const auto options = parseStandInArguments(commandLine != nullptr ? commandLine : "", error);
  if (!options) {
    std::fprintf(stderr, "ActStandIn: %s\n", error.c_str());
    return 2;
  }
  try {
    switch (options->mode) {
      case StandInMode::RegisterServer:
        registerStandInClasses(win32::programPath());
        return 0;
      case StandInMode::UnregisterServer:
        unregisterStandInClasses();
        return 0;
      case StandInMode::StartedByCom:
      case StandInMode::Run:
        break;
    }
    const win32::ComApartment apartment;
    if (options->mode == StandInMode::StartedByCom) return serveWithoutAct();
    const int code = runAct(instance, *options);
    noteClosingStep("leaving its COM apartment");
    return code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ActStandIn: %s\n", e.what());
    return 1;
  }
}
