#include "trayicon/picture.h"

#include <memory>

#include "platform/ansi_text.h"
#include "platform/conversions.h"
#include "platform/runtime_error.h"

namespace morvane {

DispId PictureObject::idOfName(std::string_view name) {
  if (ansi::equalsNoCase(name, "Handle")) return kHandle;
  if (ansi::equalsNoCase(name, "Type")) return kType;
  throw RuntimeError(err::kNotSupported);
}

Variant PictureObject::invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) {
  if (id != kHandle && id != kType) throw RuntimeError(err::kNotSupported);
  if (kind != InvokeKind::PropertyGet && kind != InvokeKind::Method)
    throw RuntimeError(err::kNotSupported);
  if (!args.empty()) throw RuntimeError(err::kWrongArguments);
  if (id == kType)
    return Variant(static_cast<int16_t>(m_picture.none() ? PictureType::None : PictureType::Icon));
  // Handles travel as Basic's 32-bit Long.
  return Variant(static_cast<int32_t>(m_picture.handle));
}

Variant pictureToVariant(const Picture& picture) {
  if (picture.object) return Variant(picture.object);
  return Variant(ObjectRef(std::make_shared<PictureObject>(Picture{picture.handle, nullptr})));
}

Picture pictureFromVariant(const Variant& value) {
  if (value.isEmpty()) return Picture{};
  if (!value.isObject()) throw RuntimeError(err::kTypeMismatch);
  const ObjectRef& obj = value.get<ObjectRef>();
  if (!obj) return Picture{};
  if (const auto* known = dynamic_cast<const PictureObject*>(obj.get()))
    return Picture{known->picture().handle, obj};

  auto type = PictureType::Icon;
  try {
    type = static_cast<PictureType>(conv::toLong(getPropertyById(obj, PictureObject::kType)));
  } catch (const RuntimeError& e) {
    if (e.number() != err::kNotSupported) throw;
  }
  if (type != PictureType::Icon && static_cast<int32_t>(type) > 0)
    throw RuntimeError(err::kInvalidPropertyValue);
  if (type != PictureType::Icon) return Picture{0, obj};
  return Picture{static_cast<Hicon>(conv::toLong(getPropertyById(obj, PictureObject::kHandle))),
                 obj};
}

}  // namespace morvane
