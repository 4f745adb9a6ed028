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
// An exposed object may have more on the same COM identity (ComSurface): IDispatch through its
// type information, IProvideClassInfo2, a connection point for IPropertyNotifySink, and
// interfaces implemented elsewhere (ComInterfaces) — what an ActiveX control needs.
//
// An in-process server (a DLL) may be unloaded once nothing of it is in use: moduleUseCount
// counts its exposed objects, its class factories and the locks taken on them (DllCanUnloadNow).
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

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/automation.h"
#include "platform/win32/com/com_object.h"
#include "platform/win32/win32_base.h"

#include <ocidl.h>
#include <wrl/client.h>

namespace morvane::win32 {

// Interfaces of an exposed object implemented outside this adapter (a control's OLE interfaces,
// its persistence) on the same COM identity. The exposed object owns it and asks it for every
// interface it does not have itself; the IUnknown methods of what it gives must go to identity()
// (a ComObject that overrides attach() to be partOf() it does that).
class ComInterfaces {
 public:
  ComInterfaces() = default;
  ComInterfaces(const ComInterfaces&) = delete;
  ComInterfaces& operator=(const ComInterfaces&) = delete;
  virtual ~ComInterfaces() = default;

  // The interface for riid, not yet AddRef'ed; null when there is none.
  virtual void* find(REFIID riid) = 0;

  // The exposed object's identity; set when it takes this over.
  IUnknown* identity() const { return m_identity; }
  virtual void attach(IUnknown* identity) { m_identity = identity; }

 private:
  IUnknown* m_identity = nullptr;
};

// What an exposed object has beyond IDispatch.
struct ComSurface {
  // Its event interface: IConnectionPointContainer with a connection point for it (see above).
  const IID* events = nullptr;
  // Its dispatch interface as its type library describes it. GetTypeInfoCount gives 1 and
  // GetTypeInfo this; GetIDsOfNames asks it. Invoke converts each argument to the type the member
  // declares for that kind of call (VariantChangeType; a property put may also find a put by
  // reference, and the other way round) before the object sees it; an argument that does not
  // convert fails the call with DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW and its place in rgvarg.
  // A call the type information does not describe goes to the object unconverted.
  Microsoft::WRL::ComPtr<ITypeInfo> typeInfo;
  // Its class (a coclass's type information): IProvideClassInfo and IProvideClassInfo2, whose
  // default source interface is events.
  Microsoft::WRL::ComPtr<ITypeInfo> classInfo;
  // A connection point for IPropertyNotifySink as well (notifyPropertyChanged).
  bool propertyNotifications = false;
  // More interfaces on the same identity.
  std::unique_ptr<ComInterfaces> more;
};

// The COM object for one of our objects, with a reference for the caller. The same Dispatch gives
// the same COM object for as long as that lives; events (the IID of its event interface) given
// once stay. Throws 91 for a null object.
Microsoft::WRL::ComPtr<IDispatch> exposeObject(const ObjectRef& object,
                                               const IID* events = nullptr);
// The same with a surface, which applies when the object is exposed first (its events are taken
// later as well).
Microsoft::WRL::ComPtr<IDispatch> exposeObject(const ObjectRef& object, ComSurface surface);

// Tells the IPropertyNotifySink sinks of the exposed object of this Dispatch that a property
// changed (OnChanged); nothing when it is not exposed or has no such sinks. A sink that fails does
// not stop the others; one that is gone is dropped.
void notifyPropertyChanged(const Dispatch& object, DISPID id);

// The object behind one of our exposed COM objects (in this process); null for any other.
ObjectRef exposedObject(IUnknown* object);

// How many sinks are connected to the exposed object of this Dispatch (0 when it is not exposed).
size_t connectionCount(const ObjectRef& object);

// A class factory whose objects are exposed objects of create(); what create throws goes to the
// client as an HRESULT (which CoCreateInstance reports as its failure).
Microsoft::WRL::ComPtr<IClassFactory> makeClassFactory(std::function<ObjectRef()> create,
                                                       const IID* events = nullptr);
// The same for objects that create() exposes itself (with a surface of their own).
Microsoft::WRL::ComPtr<IClassFactory> makeClassFactory(
    std::function<Microsoft::WRL::ComPtr<IDispatch>()> create);

// The exposed objects and class factories of this module that are alive, and the locks taken on
// its class factories (IClassFactory::LockServer), together with every ModuleUse: while this is
// above 0, the module's code may still be called and a DLL must not be unloaded.
size_t moduleUseCount();

// Counts in moduleUseCount for as long as it lives: something of the module's own that COM or the
// system may still call into (a window or timer that outlives the object it served).
class ModuleUse {
 public:
  ModuleUse();
  ~ModuleUse();
  ModuleUse(const ModuleUse&) = delete;
  ModuleUse& operator=(const ModuleUse&) = delete;
};

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
  // count themselves through these, from any thread (an object's last release may come on a
  // thread that made a call for the program).
  void lock();
  void unlock();
  size_t count() const { return m_count; }

  // The server of this process, if there is one.
  static LocalServer* current();

 private:
  // Ends the loop of the thread that made the server, from whichever thread asks.
  void quit(int exitCode);

  bool m_endWhenUnused;
  std::atomic<bool> m_ended{false};
  std::atomic<size_t> m_count{0};
  unsigned long m_thread;  // the thread of run()
};

// Whether COM started this program as a local server: -Embedding or /Embedding among the words of
// its command line (letter case ignored).
bool startedByCom(std::string_view commandLine);

}  // namespace morvane::win32
