// Automation on the simulated desktop: a ProgID registry standing in for CoCreateInstance, and
// SimDispatch, the base of every simulated automation object (ACT!'s objects, the tray control).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation.h"
#include "platform/runtime_error.h"

namespace morvane::sim {

// HRESULTs the simulated objects fail with, and their system texts.
namespace hr {
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005);  // E_FAIL
inline constexpr int32_t kUnexpected = static_cast<int32_t>(0x8000FFFF);
inline constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057);
inline constexpr int32_t kFileNotFound = static_cast<int32_t>(0x80070002);
inline constexpr int32_t kBadIndex = static_cast<int32_t>(0x8002000B);  // DISP_E_BADINDEX
inline constexpr int32_t kDisconnected = static_cast<int32_t>(0x80010108);  // RPC_E_DISCONNECTED
}  // namespace hr

// The automation error a simulated object raises for one of the HRESULTs above, with the text
// Windows gives for it.
RuntimeError simAutomationError(int32_t hresult);

class SimAutomation : public Automation {
 public:
  using Factory = std::function<ObjectRef()>;

  // Registers (or replaces) the class behind a ProgID; ProgIDs compare without letter case.
  void registerClass(std::string_view progId, Factory factory);
  void unregisterClass(std::string_view progId);
  bool isRegistered(std::string_view progId) const;
  // Makes every later creation of a registered ProgID fail with the error (429 by default), as a
  // class whose server cannot start; clearCreationFailure undoes it.
  void failCreation(std::string_view progId, std::optional<RuntimeError> error = std::nullopt);
  void clearCreationFailure(std::string_view progId);
  // How many objects of the ProgID were created successfully.
  int createdCount(std::string_view progId) const;

  // Throws 429 for an unknown ProgID; a factory's own RuntimeError passes through.
  ObjectRef createObject(std::string_view progId) override;

 private:
  struct Entry {
    Factory factory;
    std::optional<RuntimeError> failure;
    int created = 0;
  };
  std::map<std::string, Entry> m_classes;  // by folded ProgID
};

// An automation object that declares its members by name and dispatch identifier. Arguments
// reach the handlers in call order; a property put gets the index arguments followed by the new
// value. Names compare without letter case. As for a Basic client, a property may be read with a
// method call and a method called through a property get.
class SimDispatch : public Dispatch {
 public:
  using Args = std::vector<Variant>;
  using Handler = std::function<Variant(Args&)>;
  using PutHandler = std::function<void(Args&)>;

  // className names the object in fault keys ("Views", "NubrixControl").
  explicit SimDispatch(std::string className) : m_className(std::move(className)) {}

  const std::string& className() const { return m_className; }

  DispId idOfName(std::string_view name) override;
  Variant invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) override;
  // Objects that declared no event throw 438, as Dispatch does.
  uint32_t advise(std::shared_ptr<EventSink> sink) override;
  void unadvise(uint32_t cookie) override;

  // Raises an event to every sink advised at this moment, in advise order. A sink unadvised by
  // an earlier sink during the same raise is skipped. Unknown positions are a programming error
  // of the simulation (std::logic_error).
  void raiseEvent(int position, std::vector<Variant> args = {});
  size_t sinkCount() const { return m_sinks.size(); }

  // Makes one member fail with the given error (by default an automation error E_FAIL) until
  // cleared.
  void failMember(std::string_view name, std::optional<RuntimeError> error = std::nullopt);
  void clearFailure(std::string_view name);

  // Called before each handler with the member's name; may throw to make the call fail. The
  // simulated ACT! uses it for its fault knobs and its disconnection after closing.
  std::function<void(const std::string& member)> beforeInvoke;

 protected:
  // minArgs..maxArgs arguments; a call with another count fails with 450.
  void addMethod(std::string name, DispId id, int minArgs, int maxArgs, Handler method);
  void addMethod(std::string name, DispId id, int argCount, Handler method) {
    addMethod(std::move(name), id, argCount, argCount, std::move(method));
  }
  // A property read with indexArgs arguments, written (when put is given) with indexArgs + 1.
  void addProperty(std::string name, DispId id, int indexArgs, Handler get,
                   PutHandler put = nullptr);
  void addEvent(int position, DispId id, std::string name);

 private:
  struct Member {
    std::string name;
    int minArgs = 0;
    int maxArgs = 0;
    Handler method;
    int indexArgs = 0;
    Handler get;
    PutHandler put;
  };
  struct Event {
    DispId id = 0;
    std::string name;
  };

  Member& member(std::string name, DispId id);
  const Member& memberById(DispId id) const;

  std::string m_className;
  std::map<DispId, Member> m_members;
  std::map<std::string, DispId> m_ids;  // folded name -> id
  std::map<int, Event> m_events;        // by position
  std::vector<std::pair<uint32_t, std::shared_ptr<EventSink>>> m_sinks;
  uint32_t m_nextCookie = 1;
  std::map<std::string, RuntimeError> m_failures;  // folded name -> error
};

// An event sink that records what it receives; handy for tests and for tracing.
class RecordingSink : public EventSink {
 public:
  struct Received {
    int position = 0;
    DispId id = 0;
    std::vector<Variant> args;
  };
  void onEvent(int position, DispId id, std::vector<Variant>& args) override {
    m_received.push_back({position, id, args});
    if (onReceive) onReceive(m_received.back());
  }
  const std::vector<Received>& received() const { return m_received; }
  std::vector<int> positions() const;
  void clear() { m_received.clear(); }
  std::function<void(const Received&)> onReceive;

 private:
  std::vector<Received> m_received;
};

}  // namespace morvane::sim
