// The automation port on COM: the thread's apartment, objects created by ProgID, late-bound calls
// through IDispatch and connection-point events, as a Basic client makes them.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation.h"
#include "platform/win32/com/com_object.h"
#include "platform/call_limit.h"
#include "platform/win32/win32_base.h"

#include <ocidl.h>
#include <wrl/client.h>

namespace morvane::win32 {

// The thread's single-threaded apartment (OleInitialize), for as long as this lives. Every COM
// object of the thread must be released before it goes; releases of objects of other processes
// still on their way get a second to arrive. Throws an automation error when COM cannot be
// initialised.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

// The state of an object of another process, held in the process's multithreaded apartment.
struct RemoteObject;
struct RemoteServer;

// A COM object called late-bound. Arguments of methods and property reads go by reference, as a
// Basic client passes its variables, and what the object writes into them comes back into the
// caller's vector; the value of a property put goes by value. A property may be read with a method
// call and a method called as a property read (both go as DISPATCH_METHOD | DISPATCH_PROPERTYGET).
// Failures are RuntimeError as com_errors.h maps them. While a call is out, the events it lets in
// may drop the caller's last reference to the wrapper: one owned by a shared_ptr stays alive until
// the call returns, as a Basic client holds the object it calls.
//
// An object of another process (ACT!'s, made by ComAutomation or handed out by another such
// object) is held and called in the process's multithreaded apartment, on threads kept for that:
// the program's thread hands each call over and waits for it, handling its messages and the calls
// that come into its apartment (events) meanwhile, for at most the call limit. A call without an
// answer by then fails with callTimedOutError() and ends on its own. Releases go the same way,
// without the error, and without waiting at all while a call to that program is still out past
// the limit. Objects of this process go over to such a call as references marshaled for that
// apartment, and come back from it as themselves while the object they went to lives. (An object of
// another process that arrives through an event is called directly, without the limit; ACT!'s
// events carry none.)
class ComDispatch : public Dispatch, public std::enable_shared_from_this<ComDispatch> {
 public:
  // The wrapper of a COM object: the same one for as long as it lives, so that one COM object is
  // one ObjectRef (as Basic's Is compares COM identities).
  static std::shared_ptr<ComDispatch> wrap(Microsoft::WRL::ComPtr<IDispatch> object);

  // The wrapper of an object of another process, given as a reference of the multithreaded
  // apartment with its COM identity there; takes the reference over.
  static std::shared_ptr<ComDispatch> wrapRemote(IDispatch* object, IUnknown* identity,
                                                 std::shared_ptr<RemoteServer> server);

  explicit ComDispatch(Microsoft::WRL::ComPtr<IDispatch> object);
  // Disconnects the sinks still connected through this object.
  ~ComDispatch() override;

  // The object as this thread's apartment holds it (for an object of another process, a reference
  // marshaled over on first use).
  IDispatch* get() const;

  // GetIDsOfNames; identifiers are remembered per name, as the object must keep them. 438 for an
  // unknown name.
  DispId idOfName(std::string_view name) override;
  Variant invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) override;

  // Connects the sink to the object's default source interface: the one its type information names
  // (IProvideClassInfo2, IProvideClassInfo), else the first connection point it lists. The sink
  // hears each event with its position in the source interface when the type information gives it,
  // else with position = dispatch identifier. 438 when the object has no connection points.
  uint32_t advise(std::shared_ptr<EventSink> sink) override;
  // Disconnects; a connection that is already gone (the server ended) is no error.
  void unadvise(uint32_t cookie) override;

 protected:
  // Makes this the wrapper wrap gives for its object, as if wrap had made it.
  static void adopt(const std::shared_ptr<ComDispatch>& wrapper);
  // Disconnects every sink connected through this object.
  void unadviseAll();

 private:
  explicit ComDispatch(std::shared_ptr<RemoteObject> remote);
  void findEvents();
  DispId remoteIdOfName(std::string_view name, std::string folded);
  Variant remoteInvoke(DispId id, InvokeKind kind, std::vector<Variant>& args);
  uint32_t remoteAdvise(std::shared_ptr<EventSink> sink);
  void remoteUnadvise(uint32_t cookie);

  mutable Microsoft::WRL::ComPtr<IDispatch> m_object;
  std::shared_ptr<RemoteObject> m_remote;  // an object of another process
  IUnknown* m_identity = nullptr;          // set when made by wrap or wrapRemote
  std::map<std::string, DispId> m_ids;     // by folded name
  Microsoft::WRL::ComPtr<IConnectionPoint> m_events;
  IID m_eventIid{};
  std::map<DispId, int> m_positions;  // empty: position = dispatch identifier
  std::vector<DWORD> m_cookies;
};

// CreateObject on COM. Local classes come first: objects of ours served in this process behind the
// port (until they become real COM servers). Any other ProgID is looked up in the registry and
// created in-process (CLSCTX_INPROC_SERVER), or else in a local server (CLSCTX_LOCAL_SERVER) from
// the multithreaded apartment, within the call limit (see ComDispatch). A failure is 429; a local
// server that does not answer in time gives callTimedOutError().
class ComAutomation : public Automation {
 public:
  using Factory = std::function<ObjectRef()>;

  // Calls to the objects of other processes made here, and to what they hand out, give up after
  // callLimit.
  explicit ComAutomation(std::chrono::milliseconds callLimit = kCallLimit)
      : m_callLimit(callLimit) {}

  // Registers (or replaces) a local class; ProgIDs compare without letter case.
  void registerLocalClass(std::string_view progId, Factory factory);
  ObjectRef createObject(std::string_view progId) override;

 private:
  std::chrono::milliseconds m_callLimit;
  std::map<std::string, Factory> m_localClasses;  // by folded ProgID
};

// The position (1 up) of each event of a source interface by dispatch identifier, in the order the
// type information lists them.
std::map<DispId, int> eventPositions(ITypeInfo* source);

}  // namespace morvane::win32
