#include "trayicon/picture.h"

#include <memory>

#include "platform/conversions.h"
#include "platform/runtime_error.h"

namespace morvane {

namespace {
bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}
}  // namespace

DispId PictureObject::idOfName(std::string_view name) {
  if (equalsNoCase(name, "Handle")) return kHandle;
  throw RuntimeError(err::kNotSupported);
}

Variant PictureObject::invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) {
  if (id != kHandle) throw RuntimeError(err::kNotSupported);
  if (kind != InvokeKind::PropertyGet && kind != InvokeKind::Method)
    throw RuntimeError(err::kNotSupported);
  if (!args.empty()) throw RuntimeError(err::kWrongArguments);
  // Handles travel as Basic's 32-bit Long.
  return Variant(static_cast<int32_t>(m_picture.handle));
}

Variant pictureToVariant(const Picture& picture) {
  return Variant(ObjectRef(std::make_shared<PictureObject>(picture)));
}

Picture pictureFromVariant(const Variant& value) {
  if (value.isEmpty()) return Picture{};
  if (!value.isObject()) throw RuntimeError(err::kTypeMismatch);
  const ObjectRef& obj = value.get<ObjectRef>();
  if (!obj) return Picture{};
  if (const auto* known = dynamic_cast<const PictureObject*>(obj.get())) return known->picture();
  return Picture{static_cast<Hicon>(conv::toLong(getPropertyById(obj, PictureObject::kHandle)))};
}

}  // namespace morvane
