#include "platform/automation.h"

#include "platform/runtime_error.h"

namespace morvane {

uint32_t Dispatch::advise(std::shared_ptr<EventSink>) { throw RuntimeError(err::kNotSupported); }
void Dispatch::unadvise(uint32_t) {}

namespace {
Dispatch& target(const ObjectRef& obj) {
  if (!obj) throw RuntimeError(err::kObjectNotSet);
  return *obj;
}
}  // namespace

Variant callMethod(const ObjectRef& obj, std::string_view name, std::vector<Variant> args) {
  Dispatch& d = target(obj);
  return d.invoke(d.idOfName(name), InvokeKind::Method, args);
}

Variant getProperty(const ObjectRef& obj, std::string_view name, std::vector<Variant> args) {
  Dispatch& d = target(obj);
  return d.invoke(d.idOfName(name), InvokeKind::PropertyGet, args);
}

void putProperty(const ObjectRef& obj, std::string_view name, Variant value) {
  Dispatch& d = target(obj);
  const InvokeKind kind = value.isObject() ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut;
  std::vector<Variant> args{std::move(value)};
  d.invoke(d.idOfName(name), kind, args);
}

Variant callMethodById(const ObjectRef& obj, DispId id, std::vector<Variant> args) {
  return target(obj).invoke(id, InvokeKind::Method, args);
}

Variant getPropertyById(const ObjectRef& obj, DispId id) {
  std::vector<Variant> args;
  return target(obj).invoke(id, InvokeKind::PropertyGet, args);
}

void putPropertyById(const ObjectRef& obj, DispId id, Variant value) {
  std::vector<Variant> args{std::move(value)};
  target(obj).invoke(id, InvokeKind::PropertyPut, args);
}

ObjectRef asObject(const Variant& v) {
  if (v.isEmpty()) throw RuntimeError(err::kObjectNotSet);
  if (!v.isObject()) throw RuntimeError(err::kObjectRequired);
  const ObjectRef& obj = v.get<ObjectRef>();
  if (!obj) throw RuntimeError(err::kObjectNotSet);
  return obj;
}

}  // namespace morvane
