// The control's about box: a model form (caption, picture, labels, two separator lines and an
// OK button); the host's display shows it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/message_boxes.h"

namespace morvane {

// Position and size in twips.
struct FormBox {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct FormLabel {
  std::string caption;
  FormBox box;
};

struct FormLine {
  FormBox box;  // from (left, top) to (left + width, top + height)
};

struct FormImage {
  std::string resource;  // the image stored with the form
  FormBox box;
};

struct FormButton {
  std::string caption;
  FormBox box;
  bool isDefault = false;
};

class frmAbout {
 public:
  frmAbout();
  frmAbout(const frmAbout&) = delete;
  frmAbout& operator=(const frmAbout&) = delete;

  std::string Caption;
  FormBox box;
  FormImage imgLogo;
  FormLabel lblTitle;
  FormLabel lblVersion;
  FormLine linTop;
  FormLabel lblCredit;
  FormLabel lblContact;
  FormLine linBottom;
  FormButton cmdOK;

  // The OK button: unloads the box.
  void cmdOK_Click();
  void Unload();
  bool loaded() const { return m_loaded; }
  // Called once when the box unloads; a modal display ends its loop here.
  std::function<void()> onUnload;

 private:
  bool m_loaded = true;
};

// The box for a host that has no forms on its platform: its texts in an information message box
// under its caption. When the user closes the message box, the form unloads as its OK button
// unloads it.
void showAsMessageBox(frmAbout& form, MessageBoxes& boxes);

}  // namespace morvane
