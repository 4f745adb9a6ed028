// The ACT! stand-in program (ActStandIn.exe): the simulated ACT!'s state (hostsim::ActSim, with
// the sample database open in the contact view) behind real windows (ActFrame), driven by the
// user's keys and by tests through the control channel (standin_protocol.h).
//
// The program runs on one thread in a single-threaded COM apartment, so that its out-of-process
// automation server (StandInComServer, standin_com.h) serves hostsim's ACT! objects from this same
// loop: the objects are made by automation(), work on act(), and are disconnected through the
// AutomationServer before ACT!'s windows go.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/act_sim.h"
#include "hostsim/act_window_shape.h"
#include "hostwin/standin_protocol.h"
#include "platform/sim/sim_automation.h"

// windows.h last (see win32_base.h).
#include "hostwin/act_frame.h"

namespace morvane::hostwin {

// How the program was started: by its user or a test (ACT! runs), with a registration switch, or
// by COM because a client asked for one of ACT!'s objects while ACT! was not running.
enum class StandInMode { Run, RegisterServer, UnregisterServer, StartedByCom };

struct StandInOptions {
  StandInMode mode = StandInMode::Run;
  int fillers = hostsim::shape::kDefaultFillers;  // filler fields in the record view
  // The database file it opens, as its file association passes it (the sample database's data
  // under that path); the sample database's own path when empty.
  std::string database;
};

// Reads the command line: "/fillers N" and a database path (quoted when it has blanks), or
// "/regserver" or "/unregserver" alone; "-Embedding" or
// "/Embedding" anywhere (COM adds it) gives StartedByCom. nullopt, with the reason in error, for
// anything else.
std::optional<StandInOptions> parseStandInArguments(std::string_view commandLine,
                                                    std::string& error);

// What the stand-in needs from the automation server that exposes its ACT! objects.
class AutomationServer {
 public:
  AutomationServer() = default;
  AutomationServer(const AutomationServer&) = delete;
  AutomationServer& operator=(const AutomationServer&) = delete;
  virtual ~AutomationServer() = default;
  // Cuts every object handed out to clients off from ACT!; called while ACT! closes.
  virtual void disconnect() = 0;
  virtual uint64_t callsServed() const = 0;
  virtual void resetCalls() = 0;
};

// Once ACT! has begun to close, the program ends within a few seconds whatever its clients do:
// clients that are ending themselves at that moment may leave one of COM's calls unanswered, and
// a closed ACT! must not linger. Each step of the end is noted first; when the deadline passes,
// the step it was in goes to stderr and the process ends with code 0, ACT! having closed.
void noteClosingStep(const char* step);

class ActStandIn {
 public:
  ActStandIn(HINSTANCE instance, const StandInOptions& options);
  ~ActStandIn();
  ActStandIn(const ActStandIn&) = delete;
  ActStandIn& operator=(const ActStandIn&) = delete;

  // Shows ACT!'s frame and handles messages until ACT! has closed; returns the process's exit
  // code. Clients wait for the frame to show, so what the program sets up before run (its
  // automation server) is there when they come.
  int run();

  hostsim::ActSim& act() { return m_act; }
  // ACT!'s classes by ProgID, made on act().
  sim::SimAutomation& automation() { return m_automation; }
  // The server must stay alive until run returns or it is replaced; nullptr for none.
  void setAutomationServer(AutomationServer* server) { m_server = server; }
  HWND frame() const { return m_frame.frame(); }

 private:
  struct Command {
    uint32_t number = 0;
    HWND replyTo = nullptr;
    std::string text;
  };
  struct Outcome {
    protocol::Result result = protocol::Result::Done;
    std::string reply;
    // Runs once the sender has the reply.
    std::function<void()> afterReply;
  };

  LRESULT onCopyData(HWND sender, const COPYDATASTRUCT& data);
  void runCommands();
  void sendReply(const Command& command, const Outcome& outcome);
  Outcome execute(std::string_view command);
  Outcome raiseEvent(std::string_view arguments);
  Outcome setLayouts(std::string_view arguments);
  std::string stateText();
  std::string countersText() const;
  void onKey(UINT key);
  // ACT!'s start-up macro preference, kept in "<database file>.prefs" when the database file is
  // there (a test's throwaway prefix), read at the start and written when ACT! closes.
  std::string preferencesFile() const;
  void loadPreferences();
  void savePreferences();
  // Runs the start-up macro once the frame shows: each program it names is opened.
  void runStartupMacro();
  void onEvent(int position, const std::vector<Variant>& args);
  // Handles no message for ms milliseconds, or until a client sets the wake event.
  void hangFor(DWORD ms);

  hostsim::ActSim m_act;
  sim::SimAutomation m_automation;
  AutomationServer* m_server = nullptr;
  DWORD m_hangOnClickMs = 0;          // the next status-bar click hangs this long
  DWORD m_hangOnSearchMs = 0;         // the next name search in the layout list hangs this long
  HANDLE m_wake = nullptr;            // ends a hang early
  std::vector<std::string> m_events;  // "N" or "N:argument", in order
  std::deque<Command> m_commands;     // taken, not yet run
  uint32_t m_lastCommand = 0;
  bool m_runningCommands = false;
  ActFrame m_frame;  // last: the windows go before the state they show
};

}  // namespace morvane::hostwin
