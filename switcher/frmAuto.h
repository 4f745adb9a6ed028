// frmAuto: MorvaneAuto's hidden form. It hosts ACT!'s event control, the delay timer and the
// notification-area icon, and switches ACT!'s layout whenever the current record changes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/runtime_error.h"
#include "platform/timers.h"
#include "platform/window_system.h"
#include "shared/act/Module1.h"
#include "shared/act/act_watch.h"

namespace morvane {

class MorvaneAutoProgram;

class frmAuto : private DelayTimerArming {
 public:
  explicit frmAuto(MorvaneAutoProgram& program);
  ~frmAuto() override;
  frmAuto(const frmAuto&) = delete;
  frmAuto& operator=(const frmAuto&) = delete;

  // The form's controls.
  ObjectRef ActEvent1;
  Timer tmr1;
  ObjectRef OlundNubrix1;

  // What the form keeps between updates.
  int16_t ReferenceField = 0;
  std::string DatabaseName;
  std::string CurrentView;
  bool Loading = false;

  // Places the controls and runs Form_Load. False when the form did not stay loaded.
  bool Load();
  void Form_Load();
  // Unloads the form (Form_Unload runs) and ends the program. Safe to call from inside any of
  // the form's event handlers; a second call does nothing.
  void Unload();
  void Form_Unload();
  bool isLoaded() const { return m_loaded; }
  Hwnd hWnd() const { return m_hwnd; }

  void ActEvent1_Event(int position, std::vector<Variant>& args);
  void tmr1_Timer();
  void OlundNubrix1_Click(int16_t& button);
  void OlundNubrix1_DblClick(int16_t& button);

  void Update_Layout();
  std::string Get_DB_Name();
  std::string Get_Field_Value(int16_t fieldNumber);

 private:
  class EventSinkFor;
  void armIfIdle() override;
  // What the program's trap has just shown: ACT! gone, or not answering.
  void onTrappedError(const RuntimeError& error);
  // ACT! closes, or went without closing: the switcher lets go of it and ends.
  void endWithAct();
  // ACT!'s windows went without its closing event: ask ACT! itself.
  void actWatch_Gone();
  // Gives tmr1 the delay, unless the form has unloaded.
  void armDelayTimer();
  void placeControls();
  void handOverToMorvane();

  MorvaneAutoProgram& m_program;
  Hwnd m_hwnd = 0;
  bool m_loaded = false;
  bool m_handingOver = false;
  // Set when a call in the current update got no answer from ACT!.
  bool m_actNotAnswering = false;
  ActWatch m_actWatch;
  std::shared_ptr<EventSink> m_actSink;
  std::shared_ptr<EventSink> m_iconSink;
};

}  // namespace morvane
