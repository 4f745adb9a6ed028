// frmLocations: the settings dialog. The user picks the rules file the programs use (another
// existing file, or a copy of the current one in a new place, such as a folder shared by several
// workstations), sets MorvaneAuto's delay, and installs Morvane's macro as ACT!'s start-up macro.
#pragma once

#include <string>

#include "platform/ui.h"

namespace morvane {

class MorvaneProgram;

class frmLocations : public ui::Form {
 public:
  explicit frmLocations(MorvaneProgram& program);

  ui::Frame fraSettingsFileLocation{"fraSettingsFileLocation"};
  ui::Label Label1{"Label1"};
  ui::TextBox txtPath{"txtPath"};
  ui::Button cmdBrowse{"cmdBrowse"};
  ui::Button cmdCopy{"cmdCopy"};
  ui::Label lblNetwork{"lblNetwork"};
  ui::Label lblExpl1{"lblExpl1"};
  ui::Label lblExpl{"lblExpl"};
  ui::Frame fraDelay{"fraDelay"};
  ui::Label lblExpla{"lblExpla"};
  ui::Label lblDelay{"lblDelay"};
  ui::TextBox txtDelay{"txtDelay"};
  ui::Label lblNote{"lblNote"};
  ui::Frame fraStartup{"fraStartup"};
  ui::Label lblMacro{"lblMacro"};
  ui::Button cmdMacro{"cmdMacro"};
  ui::Button cmdOK{"cmdOK"};
  ui::Button cmdCancel{"cmdCancel"};

  // The rules file when the dialog became active, and the one the dialog shows, which OK stores.
  std::string OldPath;
  std::string NewPath;

  void CheckMacro();
  void cmdMacro_Click();
  void cmdBrowse_Click();
  void cmdCopy_Click();
  void cmdOK_Click();
  void cmdCancel_Click();
  // Sets (force) or clears the text box window's numbers-only style.
  void ForceTextBoxNumeric(ui::TextBox& box, bool force = true);

 protected:
  void Form_Load() override;
  void Form_Activate() override;

 private:
  void placeControls();
  // ACT!'s start-up macro as the program folder's Morvane.mpr.
  std::string macroPath() const;
  // The file dialog, starting in the folder of txtPath's file when it exists, else in the
  // program folder; nullopt when cancelled.
  std::optional<std::string> chooseFile(bool save);

  MorvaneProgram& m_program;
};

}  // namespace morvane
