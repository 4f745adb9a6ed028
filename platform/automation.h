// The automation port: late-bound objects as COM offers them to a Basic program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/runtime_error.h"

namespace morvane {

class Dispatch;
using ObjectRef = std::shared_ptr<Dispatch>;
using DispId = int32_t;

struct Empty {
  friend bool operator==(Empty, Empty) { return true; }
};

// A VARIANT of the kinds the programs use. Conversions between kinds follow Basic's rules and
// live in the conversion module (conversions.h).
class Variant {
 public:
  using Value = std::variant<Empty, bool, int16_t, int32_t, float, double, std::string, ObjectRef>;

  Variant() = default;
  Variant(bool v) : m_value(v) {}
  Variant(int16_t v) : m_value(v) {}
  Variant(int32_t v) : m_value(v) {}
  Variant(float v) : m_value(v) {}
  Variant(double v) : m_value(v) {}
  Variant(std::string v) : m_value(std::move(v)) {}
  Variant(const char* v) : m_value(std::string(v)) {}
  Variant(ObjectRef v) : m_value(std::move(v)) {}

  const Value& value() const { return m_value; }
  Value& value() { return m_value; }
  bool isEmpty() const { return std::holds_alternative<Empty>(m_value); }
  bool isObject() const { return std::holds_alternative<ObjectRef>(m_value); }
  bool isString() const { return std::holds_alternative<std::string>(m_value); }
  template <class T>
  bool holds() const {
    return std::holds_alternative<T>(m_value);
  }
  template <class T>
  const T& get() const {
    return std::get<T>(m_value);
  }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  Value m_value;
};

enum class InvokeKind { Method = 1, PropertyGet = 2, PropertyPut = 4, PropertyPutRef = 8 };

// Receives the events of an object it was connected to. `position` is the event's place (1 up)
// in the object's event interface, `id` its dispatch identifier.
class EventSink {
 public:
  EventSink() = default;
  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;
  virtual ~EventSink() = default;
  virtual void onEvent(int position, DispId id, std::vector<Variant>& args) = 0;
};

// An automation object (IDispatch). Failures are RuntimeError: 438 for an unknown member, 450
// for wrong arguments, automation errors for failures inside the object.
class Dispatch {
 public:
  Dispatch() = default;
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;
  virtual ~Dispatch() = default;

  // GetIDsOfNames for one name, letter case ignored. Throws 438 when the name is unknown.
  virtual DispId idOfName(std::string_view name) = 0;
  // Invoke. Arguments are in call order; an object may write back into arguments passed by
  // reference.
  virtual Variant invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) = 0;
  // Connects a sink to the object's events; returns a cookie for unadvise. Objects without
  // events throw 438.
  virtual uint32_t advise(std::shared_ptr<EventSink> sink);
  virtual void unadvise(uint32_t cookie);
};

// A call to an object of another program that got no answer within the call limit
// (call_limit.h) fails with this automation error (RPC_E_TIMEOUT).
inline constexpr int32_t kCallTimedOut = static_cast<int32_t>(0x8001011F);
RuntimeError callTimedOutError();

// Whether a failed call says that the object's program has gone: it ended or was killed (462, or
// the call failed with it), or it cut its objects off from their clients.
bool isServerGone(const RuntimeError& error);

// Creating objects by ProgID (CreateObject). Throws 429 when the class cannot be created.
class Automation {
 public:
  Automation() = default;
  Automation(const Automation&) = delete;
  Automation& operator=(const Automation&) = delete;
  virtual ~Automation() = default;
  virtual ObjectRef createObject(std::string_view progId) = 0;
};

// Late-bound calls as a Basic program writes them: obj.Member args.
Variant callMethod(const ObjectRef& obj, std::string_view name, std::vector<Variant> args = {});
Variant getProperty(const ObjectRef& obj, std::string_view name, std::vector<Variant> args = {});
void putProperty(const ObjectRef& obj, std::string_view name, Variant value);
// By dispatch identifier, as when a program calls a control's member by number.
Variant callMethodById(const ObjectRef& obj, DispId id, std::vector<Variant> args = {});
Variant getPropertyById(const ObjectRef& obj, DispId id);
void putPropertyById(const ObjectRef& obj, DispId id, Variant value);
// The object held by a variant; throws 91 when it holds none, 424 when it holds something else.
ObjectRef asObject(const Variant& v);

}  // namespace morvane
