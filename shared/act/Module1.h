// Module1: ACT!'s automation objects, made once per program run, and the view ACT! is showing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation.h"
#include "platform/error_trap.h"
#include "platform/settings_store.h"
#include "platform/timers.h"

namespace morvane {

// The two programs make their ACT! objects differently (Create_ACT_Objects).
enum class ActProgram { Morvane, MorvaneAuto };

// ACT!'s event control, placed on the forms that listen to ACT!: members by dispatch identifier.
inline constexpr std::string_view kActEventProgId = "ACTEVENTLib.ActEvent";
inline constexpr DispId kActEventLink = 1;       // (Long 0) -> 1 or more when ACT! is linked
inline constexpr DispId kActEventRelease = 2;    // before the form holding the control unloads
inline constexpr DispId kActEventAvailable = 3;  // -> Boolean, read when the link failed

// The message of a program whose event control did not reach ACT!: available is what member 3
// answered (ACT! runs with a database open). MorvaneAuto breaks the line with CR LF, Morvane with
// a lone CR.
std::string actNotLinkedMessage(bool available, std::string_view programTitle,
                                std::string_view lineBreak);

// View names, and ACT!'s view types behind them.
inline constexpr std::string_view kViewContact = "Contact";
inline constexpr std::string_view kViewContactList = "ContactList";
inline constexpr std::string_view kViewGroup = "Group";
inline constexpr int16_t kViewTypeContact = 1;
inline constexpr int16_t kViewTypeContactList = 2;
inline constexpr int16_t kViewTypeGroup = 3;

// The switcher's delay timer as GetView sees it: while ACT! shows its contact list, GetView asks
// for one deferred update.
class DelayTimerArming {
 public:
  DelayTimerArming() = default;
  DelayTimerArming(const DelayTimerArming&) = delete;
  DelayTimerArming& operator=(const DelayTimerArming&) = delete;
  virtual ~DelayTimerArming() = default;
  // Gives the timer the delay when its interval is 0; a running timer keeps its interval.
  virtual void armIfIdle() = 0;
};

// The arming of a form timer with a delay held by the program (read when arming).
class TimerDelayArming : public DelayTimerArming {
 public:
  TimerDelayArming(Timer& timer, const int32_t& delayMs) : m_timer(timer), m_delay(delayMs) {}
  void armIfIdle() override;

 private:
  Timer& m_timer;
  const int32_t& m_delay;
};

class Module1 {
 public:
  // settings gives the saved view type; trap shows the program's error boxes.
  Module1(ActProgram program, Automation& automation, SettingsStore& settings,
          const ErrorTrap& trap)
      : m_program(program), m_automation(automation), m_settings(settings), m_trap(trap) {}
  Module1(const Module1&) = delete;
  Module1& operator=(const Module1&) = delete;

  ObjectRef ActApp;
  ObjectRef ActViews;
  ObjectRef ActActiveView;
  ObjectRef ActCurrentView;
  ObjectRef ActDatabase;  // Morvane only
  ObjectRef ActFields;    // Morvane only

  // Makes ActApp and ActViews; failures there show the error box and give "". MorvaneAuto
  // always gets "". Morvane goes on to the active view and, in the contact or group view, makes
  // the current view, the database and its fields and returns "Contact" or "Group"; any failure
  // in that part gives "" without a message, as does any other view.
  std::string Create_ACT_Objects();

  // (Morvane) The record kind ACT!'s active view shows now, "Contact" or "Group" ("" for any other
  // view), and in `view` a new view of that kind's current record. Failures go to the caller.
  std::string RecordKindShown(ObjectRef& view);

  // (MorvaneAuto) Names the view ACT! shows ("Contact", "ContactList", "Group", or "" for any
  // other) and makes the matching current view: the grid in the contact list, where the delay
  // timer is also armed when idle. A failing GetActive shows the error box and gives ""; a type
  // that cannot be read falls back to the saved "ViewType"; a failing Create or GetGrid leaves
  // ActCurrentView as it was. A saved "ViewType" that is not a 16-bit number fails to the caller,
  // and so do, after GetActive, a call ACT! did not answer and a sign that ACT! has gone.
  std::string GetView(DelayTimerArming& delayTimer);

  // Asks ACT! something through ActApp, to learn whether it is still there: false, after the
  // standard error box, when the call failed.
  bool Check_ACT();

  // Drops every reference (the program's end).
  void release();

 private:
  int16_t savedViewType();

  ActProgram m_program;
  Automation& m_automation;
  SettingsStore& m_settings;
  const ErrorTrap& m_trap;
};

}  // namespace morvane
