#include "trayicon/frmAbout.h"

#include "platform/error_trap.h"
#include "trayicon/nubrix_members.h"

namespace morvane {

frmAbout::frmAbout() {
  Caption = "About " + std::string(nubrix::kTitle);
  box = {0, 0, 5475, 3090};
  imgLogo = {"NUBRIX_ABOUT", {240, 240, 480, 480}};
  lblTitle = {std::string(nubrix::kTitle), {1050, 240, 3885, 480}};
  lblVersion = {"Version " + std::to_string(nubrix::kVersionMajor) + "." +
                    std::to_string(nubrix::kVersionMinor) + "." +
                    std::to_string(nubrix::kVersionRevision),
                {1050, 780, 3885, 225}};
  linTop = {{225, 1140, 4980, 0}};
  lblCredit = {"Written for Morvane by the Morvane team.", {1050, 1260, 3885, 255}};
  lblContact = {"Contact: " + std::string(kSupportAddress), {1050, 1620, 3885, 255}};
  linBottom = {{225, 2040, 4980, 0}};
  cmdOK = {"OK", {3945, 2340, 1260, 345}, true};
}

void frmAbout::cmdOK_Click() {
  Unload();
}

void frmAbout::Unload() {
  if (!m_loaded) return;
  m_loaded = false;
  if (onUnload) onUnload();
}

void showAsMessageBox(frmAbout& form, MessageBoxes& boxes) {
  const std::string text = form.lblTitle.caption + "\r" + form.lblVersion.caption + "\r\r" +
                           form.lblCredit.caption + "\r" + form.lblContact.caption;
  boxes.show(text, form.Caption, MsgButtons::Ok, MsgIcon::Information);
  form.cmdOK_Click();
}

}  // namespace morvane
