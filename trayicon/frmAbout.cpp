#include "trayicon/frmAbout.h"

#include <initializer_list>
#include <string>

#include "platform/error_trap.h"
#include "trayicon/nubrix_members.h"

namespace morvane {

frmAbout::frmAbout(ui::Ui& ui) : ui::Form(ui, "frmAbout") {
  setCaption("About " + std::string(nubrix::kTitle));
  clientWidth = 5415;
  clientHeight = 2700;
  borderStyle = ui::BorderStyle::FixedDialog;
  showInTaskbar = false;

  imgLogo.picture = std::string(kPicture);
  imgLogo.setBox({240, 240, 480, 480});
  lblTitle.setText(nubrix::kTitle);
  lblTitle.setBox({1050, 240, 4125, 360});
  lblTitle.setFont({"MS Sans Serif", 12, true});
  lblVersion.setText("Version " + std::to_string(nubrix::kVersionMajor) + "." +
                     std::to_string(nubrix::kVersionMinor) + "." +
                     std::to_string(nubrix::kVersionRevision));
  lblVersion.setBox({1050, 660, 4125, 255});
  linTop.x1 = linBottom.x1 = 225;
  linTop.x2 = linBottom.x2 = 5190;
  linTop.y1 = linTop.y2 = 1080;
  lblCredit.setText("Written for Morvane by the Morvane team.");
  lblCredit.setBox({1050, 1200, 4125, 255});
  lblContact.setText("Contact: " + std::string(kSupportAddress));
  lblContact.setBox({1050, 1500, 4125, 255});
  linBottom.y1 = linBottom.y2 = 1920;
  cmdOK.setText("OK");
  cmdOK.setBox({3930, 2160, 1260, 375});
  cmdOK.isDefault = true;
  cmdOK.isCancel = true;
  cmdOK.onClick = [this] { cmdOK_Click(); };

  for (ui::Control* c : std::initializer_list<ui::Control*>{
           &imgLogo, &lblTitle, &lblVersion, &linTop, &lblCredit, &lblContact, &linBottom, &cmdOK})
    add(*c);
}

void frmAbout::cmdOK_Click() {
  unload();
}

}  // namespace morvane
