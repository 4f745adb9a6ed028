// The control's about box: its picture, the library's title and version, two separator lines
// around the credit and contact labels, and an OK button.
#pragma once

#include "platform/ui.h"

namespace morvane {

class frmAbout : public ui::Form {
 public:
  // The picture stored with the form: an icon resource of the module that shows it.
  static constexpr std::string_view kPicture = "NUBRIX_ABOUT";

  explicit frmAbout(ui::Ui& ui);

  ui::Image imgLogo{"imgLogo"};
  ui::Label lblTitle{"lblTitle"};
  ui::Label lblVersion{"lblVersion"};
  ui::Line linTop{"linTop"};
  ui::Label lblCredit{"lblCredit"};
  ui::Label lblContact{"lblContact"};
  ui::Line linBottom{"linBottom"};
  ui::Button cmdOK{"cmdOK"};

  // Unloads the box (Enter and Escape press it too).
  void cmdOK_Click();
};

}  // namespace morvane
