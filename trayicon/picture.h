// A picture as a control holds it (an icon image), and its automation face.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/automation.h"
#include "platform/tray_shell.h"

namespace morvane {

// The picture types of a picture object's Type, as OLE numbers them.
enum class PictureType : int32_t { None = 0, Bitmap = 1, Metafile = 2, Icon = 3, EnhMetafile = 4 };

struct Picture {
  Picture() = default;
  explicit Picture(Hicon handle, ObjectRef object = nullptr)
      : handle(handle), object(std::move(object)) {}

  Hicon handle = 0;  // 0: no image
  // The picture object it came as, kept so that the image stays valid while the control holds it
  // and so that it reads back as the very object that was handed in; null for a bare handle.
  ObjectRef object;

  bool none() const { return handle == 0; }
  // The same image: slots are compared by their handles.
  friend bool operator==(const Picture& a, const Picture& b) { return a.handle == b.handle; }
};

// The picture object a property of picture type gives for a bare handle. Its Handle (dispatch id
// 0, the default member) is the image handle; its Type is Icon, or None for no image.
class PictureObject : public Dispatch {
 public:
  static constexpr DispId kHandle = 0;
  static constexpr DispId kType = 3;

  explicit PictureObject(Picture picture) : m_picture(std::move(picture)) {}
  const Picture& picture() const { return m_picture; }

  DispId idOfName(std::string_view name) override;
  Variant invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) override;

 private:
  Picture m_picture;
};

// The object the picture came as, or a picture object for its handle (also for no image, as a
// control's picture property gives).
Variant pictureToVariant(const Picture& picture);
// Empty and Nothing give no image. An object is kept with its Handle as the image: only an icon is
// an image the notification area can show, so a picture of another Type (a bitmap, a metafile) is
// refused with 380, and one of Type None has no image. An object without a Type counts as an icon.
// Anything but an object is error 13.
Picture pictureFromVariant(const Variant& value);

}  // namespace morvane
