// Objects of ours as COM objects, for our in-process and local (out-of-process) servers.
//
// exposeObject wraps any Dispatch as a COM object with IDispatch: GetIDsOfNames asks idOfName,
// Invoke calls invoke with the arguments in call order (references read, and written back when the
// object changed them), the result converted as com_variant.h says, and a RuntimeError answered so
// that a client of com_automation.h gets the same number and description back (com_errors.h).
// Given the IID of the object's event interface, it also has IConnectionPointContainer with one
// connection point for that IID: the first sink to connect connects the object itself
// (Dispatch::advise), and each event the object raises goes to every connected sink in turn by
// IDispatch::Invoke with the event's dispatch identifier, its arguments by reference (a sink sees
// what an earlier one wrote). A sink that fails does not stop the others; a sink that is gone (its
// process ended, or it was disconnected) is dropped.
//
// A local server, the program a LocalServer32 key names, lives like this:
//  - COM starts it with -Embedding on its command line (startedByCom). It creates its LocalServer,
//    registers its class objects (ClassObjectRegistration) and runs its message loop
//    (LocalServer::run): clients' calls arrive as messages of that thread.
//  - While a LocalServer exists, every exposed object and every lock a client takes on a class
//    factory counts (CoAddRefServerProcess). A server COM started ends when that count falls back
//    to 0: clients have released everything.
//  - A server started otherwise (by its user) runs until it ends on its own command
//    (LocalServer::end, or PostQuitMessage from its own windows). Its clients' next calls then fail
//    (462 or an automation error), never hang.
//  - It registers and removes its classes with /regserver and /unregserver (com_registration.h).
//
// Example, a local server with one class:
//
//   ComApartment apartment;
//   LocalServer server(startedByCom(GetCommandLineA()));
//   auto factory = makeClassFactory([&] { return makeApp(); }, &kEventsIid);
//   ClassObjectRegistration app(kAppClsid, factory);
//   return server.run();
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "platform/automation.h"
#include "platform/win32/win32_base.h"

#include <ocidl.h>
#include <wrl/client.h>

namespace morvane::win32 {

// The COM object for one of our objects, with a reference for the caller. The same Dispatch gives
// the same COM object for as long as that lives; events (the IID of its event interface) given
// once stay. Throws 91 for a null object.
Microsoft::WRL::ComPtr<IDispatch> exposeObject(const ObjectRef& object,
                                               const IID* events = nullptr);

// The object behind one of our exposed COM objects (in this process); null for any other.
ObjectRef exposedObject(IUnknown* object);

// How many sinks are connected to the exposed object of this Dispatch (0 when it is not exposed).
size_t connectionCount(const ObjectRef& object);

// A class factory whose objects are exposed objects of create(); what create throws goes to the
// client as an HRESULT (which CoCreateInstance reports as its failure).
Microsoft::WRL::ComPtr<IClassFactory> makeClassFactory(std::function<ObjectRef()> create,
                                                       const IID* events = nullptr);

// A class object registered for clients of other processes (CoRegisterClassObject with
// CLSCTX_LOCAL_SERVER and REGCLS_MULTIPLEUSE) for as long as this lives. Throws an automation
// error when COM refuses it.
class ClassObjectRegistration {
 public:
  ClassObjectRegistration(const CLSID& clsid, Microsoft::WRL::ComPtr<IClassFactory> factory);
  ~ClassObjectRegistration();
  ClassObjectRegistration(const ClassObjectRegistration&) = delete;
  ClassObjectRegistration& operator=(const ClassObjectRegistration&) = delete;

 private:
  DWORD m_cookie = 0;
};

// The life of a local server (see above); at most one per process, on its COM thread.
class LocalServer {
 public:
  // endWhenUnused: end when the count of objects and locks falls back to 0 (started by COM).
  explicit LocalServer(bool endWhenUnused);
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  // The thread's message loop, until the server ends; returns the exit code. A program with a loop
  // of its own may run that instead: it ends at WM_QUIT all the same.
  int run();
  // Ends the server on its own command, whatever clients still hold.
  void end(int exitCode = 0);

  // One more object or class-factory lock, and one fewer; exposed objects and class factories
  // count themselves through these.
  void lock();
  void unlock();
  size_t count() const { return m_count; }

  // The server of this process, if there is one.
  static LocalServer* current();

 private:
  bool m_endWhenUnused;
  bool m_ended = false;
  size_t m_count = 0;
};

// Whether COM started this program as a local server: -Embedding or /Embedding among the words of
// its command line (letter case ignored).
bool startedByCom(std::string_view commandLine);

}  // namespace morvane::win32
