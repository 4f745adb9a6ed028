// A picture as a control holds it (an icon image), and its automation face.
#pragma once

#include <cstdint>

#include "platform/automation.h"
#include "platform/tray_shell.h"

namespace morvane {

struct Picture {
  Hicon handle = 0;  // 0: no image
  bool none() const { return handle == 0; }
  friend bool operator==(const Picture&, const Picture&) = default;
};

// The picture object a property of picture type gives and takes through automation. Its Handle
// (dispatch id 0, the default member) is the image handle.
class PictureObject : public Dispatch {
 public:
  static constexpr DispId kHandle = 0;

  explicit PictureObject(Picture picture) : m_picture(picture) {}
  const Picture& picture() const { return m_picture; }

  DispId idOfName(std::string_view name) override;
  Variant invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) override;

 private:
  Picture m_picture;
};

// A picture object for the picture (also for no image, as a control's picture property gives).
Variant pictureToVariant(const Picture& picture);
// Empty and Nothing give no image; an object gives its Handle; anything else is error 13.
Picture pictureFromVariant(const Variant& value);

}  // namespace morvane
