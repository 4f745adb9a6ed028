#include "platform/automation.h"

#include "platform/runtime_error.h"

namespace morvane {

uint32_t Dispatch::advise(std::shared_ptr<EventSink>) {
  throw RuntimeError(err::kNotSupported);
}

RuntimeError callTimedOutError() {
  // The system's own text for RPC_E_TIMEOUT, which Wine does not have.
  return automationError(kCallTimedOut,
                         "This operation returned because the timeout period expired.");
}

bool isServerGone(const RuntimeError& error) {
  switch (static_cast<uint32_t>(error.number())) {
    case 462:         // the remote server machine does not exist or is unavailable
    case 0x80010108:  // RPC_E_DISCONNECTED
    case 0x800401FD:  // CO_E_OBJNOTCONNECTED
    case 0x800706BA:  // RPC_S_SERVER_UNAVAILABLE
    case 0x800706BE:  // RPC_S_CALL_FAILED: the server died during the call
    case 0x800706BF:  // RPC_S_CALL_FAILED_DNE
    case 0x800706B5:  // RPC_S_UNKNOWN_IF: Wine's answer for an object cut off from its clients
    case 0x80010007:  // RPC_E_SERVER_DIED
    case 0x80010012:  // RPC_E_SERVER_DIED_DNE
      return true;
    default:
      return false;
  }
}
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
