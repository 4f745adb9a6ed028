// frmIntegrate (class clsFrmIntegrate): the ACT! integration dialog. It defines the program in
// ACT! as an additional command and places that command as a toolbar button and a Tools-menu
// entry of each of six ACT! views, every tick at once through ACT!'s "ACTOLE.AUXCMDS" object. Its
// caller passes the command name, the icon, the language and which views may change; every text
// comes from its own table, in English or French.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/error_trap.h"
#include "platform/ui.h"

namespace morvane {

class MorvaneProgram;

class clsFrmIntegrate : public ui::Form {
 public:
  static constexpr int kViews = 6;
  static constexpr int kTexts = 17;

  explicit clsFrmIntegrate(MorvaneProgram& program);
  ~clsFrmIntegrate() override;

  // Properties, set by the caller before the dialog shows.
  std::string AppName;         // the command's name, with its access-key marker; boxes' caption
  Hicon IntegrateIcon = 0;     // the dialog's window icon
  int16_t Language = 0;        // 0 English, 1 French
  bool ContactScreen = false;  // which views' rows may be changed
  bool ContactListScreen = false;
  bool GroupScreen = false;
  bool TaskListScreen = false;
  bool CalendarsScreen = false;
  bool EmailScreen = false;

  // Form-level state.
  std::vector<std::string> Texts;
  ObjectRef AuxCmds;
  bool Changed = false;
  int32_t LastResult = 0;
  MsgResult Answer = MsgResult::No;

  // Frame1(0) holds the toolbar boxes, Frame1(1) the Tools-menu boxes. chkScreen(i) for i 0 to 5
  // is view i + 1's toolbar button, for i 6 to 11 view i - 5's Tools-menu entry; lblScreen(i)
  // names its view.
  std::deque<ui::Frame> Frame1;
  std::deque<ui::CheckBox> chkScreen;
  std::deque<ui::Label> lblScreen;
  ui::Label lblRestart{"lblRestart"};
  ui::Button cmdOK{"cmdOK"};
  ui::Button cmdCancel{"cmdCancel"};

  void SetLanguage();
  void chkScreen_Click(int index);
  void lblScreen_Click(int index);
  void CheckCommand();
  void MessAddFailed();
  void cmdOK_Click();
  void Message();
  void cmdCancel_Click();

 protected:
  void Form_Load() override;
  void Form_Unload(int16_t& cancel) override;

 private:
  void placeControls();
  bool viewEnabled(int view) const;
  std::string place(const char* procedure) const;

  MorvaneProgram& m_program;
  ErrorTrap m_trap;
  // Set while Form_Load gives the boxes ACT!'s states: that is no change of the user's.
  bool m_loading = false;
};

// The dialog's texts, index 0 to 16, in English (language 0) or French (1), in the ANSI code
// page (Windows-1252).
std::vector<std::string> integrationTexts(int16_t language);

}  // namespace morvane
