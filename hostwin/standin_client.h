// Starting and driving the ACT! stand-in (ActStandIn.exe) from a test or a benchmark: start it
// from the calling program's folder, wait for its frame, send it control commands, read its
// state, and stop it again, whatever happens to the caller.
//
//   StandInProcess act("/fillers 993");      // throws when it does not come up
//   act.command("next");                      // protocol::Result::Done
//   EXPECT_EQ(act.state().record, "Bob Durand");
//   EXPECT_EQ(act.currentLayout(), "Standard");
//   // ... the end of the scope closes ACT! (or kills it when it does not end)
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/act_window_shape.h"
#include "hostwin/standin_protocol.h"

// windows.h last (see win32_base.h).
#include "platform/win32/win32_base.h"

namespace morvane::hostwin {

inline constexpr DWORD kStandInTimeoutMs = 20000;

struct RaisedEvent {
  int position = 0;
  std::string argument;  // the first argument as text, "" for none
  friend bool operator==(const RaisedEvent&, const RaisedEvent&) = default;
};

// The stand-in's answer to "state".
struct StandInState {
  bool running = false;
  std::string database;  // "" when none is open
  int view = 0;
  std::string record;
  std::map<int32_t, std::string> fields;  // field number -> value in the current record
  std::string layout;
  std::vector<std::string> layouts;
  std::vector<std::string> applied;
  std::vector<RaisedEvent> events;
  bool unlinked = false;
  std::vector<std::string> failing;
  int linked = 0;
  std::vector<std::string> auxCommands;  // "name|toolbar views|Tools-menu views"
  std::string startupMacro;
};

struct StandInCounters {
  uint64_t sent = 0;
  uint64_t posted = 0;
  uint64_t automationCalls = 0;
};

struct CommandReply {
  protocol::Result result = protocol::Result::NotDelivered;
  std::string text;
};

class StandInProcess {
 public:
  // Starts ActStandIn.exe from the folder of the calling program with the arguments and waits
  // until its frame exists. Throws std::runtime_error when it cannot be started or shows no frame
  // within timeoutMs.
  explicit StandInProcess(std::string_view arguments = {}, DWORD timeoutMs = kStandInTimeoutMs);
  // A stand-in that another program started (ACT! opened through its file association), once
  // its frame exists. Throws as the constructor does.
  static std::unique_ptr<StandInProcess> attach(DWORD processId,
                                                DWORD timeoutMs = kStandInTimeoutMs);
  // Stops it (see stop).
  ~StandInProcess();
  StandInProcess(const StandInProcess&) = delete;
  StandInProcess& operator=(const StandInProcess&) = delete;

  HWND frame() const { return m_frame; }
  DWORD processId() const { return m_processId; }
  HANDLE process() const { return m_process; }
  bool running() const;

  // Sends one command and waits, handling the thread's messages, until the stand-in has run it.
  // Returns its result and reply text; NotDelivered when the stand-in did not take the command
  // within timeoutMs, did not answer within another timeoutMs, or has gone.
  CommandReply command(std::string_view text, DWORD timeoutMs = kStandInTimeoutMs);
  // "state" and "counters", read into their structures; throw std::runtime_error when the
  // stand-in does not answer.
  StandInState state();
  StandInCounters counters();
  void resetCounters();

  // The frame's title, and the layout it names.
  std::string frameTitle() const;
  std::string currentLayout() const;

  // Closes ACT! with the close command and waits up to timeoutMs for the process to end; kills it
  // when it does not. True when it ended by itself with exit code 0.
  bool stop(DWORD timeoutMs = kStandInTimeoutMs);
  // Waits for the process to end; true when it has.
  bool waitForExit(DWORD timeoutMs);
  // Ends a hang of the stand-in before its time.
  void wake();

 private:
  StandInProcess(HANDLE process, DWORD processId, DWORD timeoutMs);
  // Makes the reply window and waits for the frame; ends the process and throws when it fails.
  void connect(DWORD timeoutMs);
  static LRESULT CALLBACK replyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HANDLE m_process = nullptr;
  HANDLE m_job = nullptr;
  DWORD m_processId = 0;
  HWND m_frame = nullptr;
  HWND m_replyWindow = nullptr;
  // The latest reply.
  uint32_t m_replyNumber = 0;
  CommandReply m_reply;
};

}  // namespace morvane::hostwin
