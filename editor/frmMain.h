// frmMain: the rule editor. The user picks the reference field of ACT!'s current record kind,
// chooses a layout per drop-down value in the rule list, saves the rules, applies them to ACT!'s
// current record, or hands over to MorvaneAuto.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/runtime_error.h"
#include "platform/timers.h"
#include "platform/ui.h"
#include "shared/act/act_watch.h"

namespace morvane {

class MorvaneProgram;

// The "Loading... Please Wait!" notice shown while the editor loads.
class frmSplash : public ui::Form {
 public:
  explicit frmSplash(ui::Ui& ui);
  ui::Label lblLoading{"lblLoading"};
  ui::Line linTop{"linTop"};
  ui::Line linBottom{"linBottom"};
  ui::Line linLeft{"linLeft"};
  ui::Line linRight{"linRight"};
  ui::Line linRightOuter{"linRightOuter"};
};

class frmMain : public ui::Form {
 public:
  explicit frmMain(MorvaneProgram& program);
  ~frmMain() override;

  ui::Label lblField{"lblField"};
  ui::ComboBox cboField{"cboField"};
  ui::ListView lvwValues{"lvwValues"};
  ui::ComboBox cboFloating{"cboFloating"};
  ui::Button cmdSave{"cmdSave"};
  ui::CheckBox chkStealth{"chkStealth"};
  ui::Button cmdStealth{"cmdStealth"};
  ui::Button cmdCancel{"cmdCancel"};
  ui::Button cmdUpdateLayout{"cmdUpdateLayout"};
  Timer tmr1;
  ObjectRef ActEvent1;

  // Window-level state.
  bool UnsavedChanges = false;
  int16_t RestartTicks = 0;
  // The record kind ACT! shows ("Contact" or "Group"; empty when it shows neither) and the
  // database name: together they name the rules section.
  std::string RecordKind;
  std::string DatabaseName;
  std::string section() const { return DatabaseName + "-" + RecordKind; }

  void Populate_lvwValues();
  void Populate_Floating();
  void cmdSave_Click();
  void cmdUpdateLayout_Click();
  void cmdStealth_Click();
  void lvwValues_MouseUp(int16_t button, int16_t shift, int32_t x, int32_t y);
  void cboFloating_Click();
  void tmr1_Timer();
  void ActEvent1_Event(int position);
  void mnuOnlineHelp_Click();
  void mnuAbout_Click();
  void mnuIntegrate_Click();
  void mnuLocation_Click();
  // Public: the integration dialog calls it for ACT!'s restart.
  void Form_Unload(int16_t& cancel) override;

 protected:
  void Form_Load() override;

 private:
  class Sink;
  void hideChooser();
  // Whether the row's value can have a rule of its own in the rules file.
  bool holdsRule(size_t row) const;
  // The layout chosen for a row that cannot hold a rule is taken back, and the user told why.
  void refuseRule(size_t row);
  void placeControls();
  // True when MorvaneAuto started; otherwise the user was told.
  bool startMorvaneAuto();
  // Save: true when every rule was written.
  bool saveRules();
  void disconnectActEvents();
  // What the program's trap has just shown: when ACT! has gone, the editor stays for its rules.
  void onTrappedError(const RuntimeError& error);

  MorvaneProgram& m_program;
  std::shared_ptr<EventSink> m_actSink;
  uint32_t m_actCookie = 0;
  // Set while the chooser is being placed: the selection it shows then is not the user's choice.
  bool m_placingChooser = false;
  // The loading read the stored column widths: closing may write them back.
  bool m_columnWidthsRead = false;
  // The row the chooser was last opened on: its choice goes there.
  std::optional<size_t> m_chooserRow;
  // Notices ACT! going without closing while the editor is open.
  ActWatch m_actWatch;
};

}  // namespace morvane
