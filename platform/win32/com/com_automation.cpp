#include "platform/win32/com/com_automation.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/runtime_error.h"
#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_variant.h"

namespace morvane::win32 {

using Microsoft::WRL::ComPtr;

namespace {

// What an event source calls: answers for IUnknown, IDispatch and the source interface itself
// (an event source may ask for either), and hands each event to the sink.
class SinkObject final : public ComObject<IDispatch> {
 public:
  SinkObject(std::shared_ptr<EventSink> sink, const IID& events, std::map<DispId, int> positions)
      : m_sink(std::move(sink)), m_events(events), m_positions(std::move(positions)) {}

  void* find(REFIID riid) override {
    return riid == m_events ? static_cast<IDispatch*>(this) : listed(riid);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                          DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override {
    if (result != nullptr) VariantInit(result);
    // The sink may disconnect itself (and drop the last reference) while it handles the event.
    ComPtr<IDispatch> self(this);
    try {
      IncomingArguments args(params, false);
      auto known = m_positions.find(id);
      const int position = known != m_positions.end() ? known->second : id;
      m_sink->onEvent(position, id, args.values());
      args.writeBack();
      return S_OK;
    } catch (...) {
      return answerCurrentException(info);
    }
  }

 private:
  std::shared_ptr<EventSink> m_sink;
  IID m_events;
  std::map<DispId, int> m_positions;
};

// The source interface an object's type information names as its default, if it has any.
ComPtr<ITypeInfo> defaultSource(IDispatch* object) {
  ComPtr<IProvideClassInfo> provider;
  ComPtr<ITypeInfo> coclass;
  if (FAILED(object->QueryInterface(IID_PPV_ARGS(&provider))) ||
      FAILED(provider->GetClassInfo(&coclass)) || !coclass) {
    return nullptr;
  }
  TYPEATTR* attr = nullptr;
  if (FAILED(coclass->GetTypeAttr(&attr))) return nullptr;
  const UINT implCount = attr->cImplTypes;
  coclass->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < implCount; ++i) {
    INT flags = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
    const INT wanted = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
    if ((flags & wanted) != wanted || (flags & IMPLTYPEFLAG_FRESTRICTED) != 0) continue;
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> source;
    if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)) &&
        SUCCEEDED(coclass->GetRefTypeInfo(ref, &source))) {
      return source;
    }
  }
  return nullptr;
}

IID interfaceId(ITypeInfo* info) {
  IID iid = IID_NULL;
  TYPEATTR* attr = nullptr;
  if (SUCCEEDED(info->GetTypeAttr(&attr))) {
    iid = attr->guid;
    info->ReleaseTypeAttr(attr);
  }
  return iid;
}

// Where an object's events come from: its default source interface, as its type information names
// it, else the first connection point it lists. 438 when it has none.
struct EventSource {
  ComPtr<IConnectionPoint> point;
  IID iid = IID_NULL;
  std::map<DispId, int> positions;  // empty: position = dispatch identifier
};

EventSource findEventSource(IDispatch* object) {
  ComPtr<IConnectionPointContainer> container;
  if (FAILED(object->QueryInterface(IID_PPV_ARGS(&container))))
    throw RuntimeError(err::kNotSupported);

  EventSource found;
  IID wanted = IID_NULL;
  if (ComPtr<ITypeInfo> source = defaultSource(object)) {
    wanted = interfaceId(source.Get());
    found.positions = eventPositions(source.Get());
  } else {
    ComPtr<IProvideClassInfo2> provider;
    if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&provider)))) {
      provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &wanted);
    }
  }
  if (wanted != IID_NULL) container->FindConnectionPoint(wanted, &found.point);
  if (!found.point) {
    found.positions.clear();
    ComPtr<IEnumConnectionPoints> points;
    ULONG fetched = 0;
    if (SUCCEEDED(container->EnumConnectionPoints(&points)) && points) {
      points->Next(1, &found.point, &fetched);
    }
  }
  if (!found.point || FAILED(found.point->GetConnectionInterface(&found.iid))) {
    throw RuntimeError(err::kNotSupported);
  }
  return found;
}

}  // namespace

std::map<DispId, int> eventPositions(ITypeInfo* source) {
  std::map<DispId, int> positions;
  TYPEATTR* attr = nullptr;
  if (source == nullptr || FAILED(source->GetTypeAttr(&attr))) return positions;
  const UINT funcCount = attr->cFuncs;
  source->ReleaseTypeAttr(attr);
  int position = 0;
  for (UINT i = 0; i < funcCount; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(source->GetFuncDesc(i, &func))) continue;
    // A dual interface's dispatch description lists IUnknown's and IDispatch's methods first,
    // restricted; they are no events.
    if ((func->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0) positions[func->memid] = ++position;
    source->ReleaseFuncDesc(func);
  }
  return positions;
}

namespace {

// The live wrappers made by wrap, by the COM identity of their object.
std::unordered_map<IUnknown*, std::weak_ptr<ComDispatch>>& wrappers() {
  static std::unordered_map<IUnknown*, std::weak_ptr<ComDispatch>> instance;
  return instance;
}

}  // namespace

// --- Calls to other processes, from the multithreaded apartment ---

namespace {

// Set on the threads that call other processes for the program's thread.
thread_local bool t_callerThread = false;

// The threads of the process's multithreaded apartment that call other processes. There are as
// many as calls have been out at once (calls nested in events, calls left waiting on a hung
// program); they wait for work once done, and the process's end ends them.
class Callers {
 public:
  // Never destroyed: its threads may still wait on a hung program when the process ends.
  static Callers& instance() {
    static Callers* callers = new Callers;
    return *callers;
  }
  static bool exists() { return s_made; }

  void post(std::function<void()> work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_work.push_back(std::move(work));
    ResetEvent(m_quiet);
    if (m_work.size() > m_idle) std::thread(&Callers::serve, this).detach();
    m_wake.notify_one();
  }

  // Waits, handling the thread's messages and incoming calls, until no work is left or waiting,
  // at most limit.
  void drain(std::chrono::milliseconds limit) {
    DWORD index = 0;
    CoWaitForMultipleHandles(0, static_cast<DWORD>(limit.count()), 1, &m_quiet, &index);
  }

 private:
  Callers() : m_quiet(CreateEventA(nullptr, TRUE, TRUE, nullptr)) { s_made = true; }

  void serve() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    t_callerThread = true;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      ++m_idle;
      m_wake.wait(lock, [this] { return !m_work.empty(); });
      --m_idle;
      std::function<void()> work = std::move(m_work.front());
      m_work.pop_front();
      ++m_busy;
      lock.unlock();
      try {
        work();
        work = nullptr;  // what it held goes here, on this thread
      } catch (...) {
        work = nullptr;  // a failure that work did not keep for its caller goes with it
      }
      lock.lock();
      if (--m_busy == 0 && m_work.empty()) SetEvent(m_quiet);
    }
  }

  static inline bool s_made = false;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_work;
  size_t m_idle = 0;
  size_t m_busy = 0;
  HANDLE m_quiet;  // set while there is no work
};

// What the program's thread and a caller thread share about one piece of work.
class Handover {
 public:
  Handover() : m_done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (m_done == nullptr) throw RuntimeError(err::kOutOfMemory);
  }
  ~Handover() { CloseHandle(m_done); }
  Handover(const Handover&) = delete;
  Handover& operator=(const Handover&) = delete;

  // The caller thread is done: false when the program's thread gave up waiting for it.
  bool finish() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finished = true;
    SetEvent(m_done);
    return !m_forsaken;
  }

  // Waits for the caller thread as for a call: the thread's messages and the calls into its
  // apartment are handled meanwhile. False when it did not finish within limit; onForsaken then
  // runs before the caller thread can see it.
  bool wait(std::chrono::milliseconds limit, const std::function<void()>& onForsaken) {
    DWORD index = 0;
    CoWaitForMultipleHandles(0, static_cast<DWORD>(limit.count()), 1, &m_done, &index);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_finished) return true;
    m_forsaken = true;
    onForsaken();
    return false;
  }

 private:
  std::mutex m_mutex;
  HANDLE m_done;
  bool m_finished = false;
  bool m_forsaken = false;
};

}  // namespace

// The objects of one program that the calls have reached: how long a call may take, and how many
// are still out past that.
struct RemoteServer {
  explicit RemoteServer(std::chrono::milliseconds callLimit) : limit(callLimit) {}
  const std::chrono::milliseconds limit;
  std::atomic<int> outPastLimit{0};
};

namespace {

// Runs work on a caller thread and waits for it, at most the server's limit. False when it did not
// finish in time: it then ends on its own, and forsaken runs after it, on its thread.
bool handOver(const std::shared_ptr<RemoteServer>& server, std::function<void()> work,
              std::function<void()> forsaken) {
  auto handover = std::make_shared<Handover>();
  Callers::instance().post(
      [handover, server, work = std::move(work), forsaken = std::move(forsaken)] {
        work();
        if (handover->finish()) return;
        if (forsaken) forsaken();
        --server->outPastLimit;
      });
  return handover->wait(server->limit, [&] { ++server->outPastLimit; });
}

// Runs work on a caller thread and waits for it as for a call into the server's program: throws
// callTimedOutError() when it does not finish within the limit. A later call waits again: the
// program may answer by then (an earlier call failing it at once could come just after it has).
void callOut(const std::shared_ptr<RemoteServer>& server, std::function<void()> work,
             std::function<void()> forsaken = nullptr) {
  if (!handOver(server, std::move(work), std::move(forsaken))) throw callTimedOutError();
}

// Runs work on a caller thread, without waiting.
void sendOut(std::function<void()> work) {
  if (t_callerThread) {
    work();
    return;
  }
  Callers::instance().post(std::move(work));
}

// Runs the release of an object of the server's program on a caller thread. The program's thread
// waits for it as for a call, the other program may call back meanwhile (to let go of what it holds
// of ours), but never past the limit, and not at all while a call to it is still out past the
// limit (a program that ends must not wait on a hung one release after release): the release then
// ends on its own.
void releaseOut(const std::shared_ptr<RemoteServer>& server, std::function<void()> work) {
  if (t_callerThread) {
    work();
    return;
  }
  if (server->outPastLimit > 0) {
    Callers::instance().post(std::move(work));
    return;
  }
  handOver(server, std::move(work), nullptr);
}

// The objects of this process that went over to calls, by their COM identity in the multithreaded
// apartment, each held there by the objects of other processes it went to. One that comes back is
// the object that went.
struct OursOver {
  std::weak_ptr<Dispatch> object;
  int holders = 0;
};

std::mutex& oursMutex() {
  static std::mutex mutex;
  return mutex;
}

std::unordered_map<IUnknown*, OursOver>& oursOver() {
  static std::unordered_map<IUnknown*, OursOver> instance;
  return instance;
}

// A value a call to another process gives back, on its way to the program's thread.
struct Returned {
  Variant value;  // anything but an object
  bool ours = false;
  std::weak_ptr<Dispatch> object;  // an object of this process that went over
  IDispatch* remote = nullptr;     // an object of another process, a reference of this apartment
  IUnknown* identity = nullptr;
};

// On a caller thread.
Returned returnedFrom(const VARIANT& value) {
  if (value.vt == (VT_BYREF | VT_VARIANT)) return returnedFrom(*value.pvarVal);
  IUnknown* unknown = nullptr;
  switch (value.vt) {
    case VT_DISPATCH:
      unknown = value.pdispVal;
      break;
    case VT_UNKNOWN:
      unknown = value.punkVal;
      break;
    case VT_BYREF | VT_DISPATCH:
      unknown = *value.ppdispVal;
      break;
    case VT_BYREF | VT_UNKNOWN:
      unknown = *value.ppunkVal;
      break;
    default: {
      Returned plain;
      plain.value = fromVariant(value);
      return plain;
    }
  }
  Returned r;
  if (unknown == nullptr) {
    r.value = Variant(ObjectRef());
    return r;
  }
  ComPtr<IUnknown> identity;
  unknown->QueryInterface(IID_PPV_ARGS(&identity));
  {
    std::lock_guard<std::mutex> lock(oursMutex());
    const auto it = oursOver().find(identity.Get());
    if (it != oursOver().end()) {
      r.ours = true;
      r.object = it->second.object;
      return r;
    }
  }
  ComPtr<IDispatch> dispatch;
  // An object that cannot be called is nothing the program can use.
  if (FAILED(unknown->QueryInterface(IID_PPV_ARGS(&dispatch)))) return r;
  r.remote = dispatch.Detach();
  r.identity = identity.Get();
  return r;
}

// On a caller thread: an object given back that no one takes.
void drop(Returned& r) {
  if (r.remote != nullptr) r.remote->Release();
  r.remote = nullptr;
}

Variant takeReturned(Returned& r, const std::shared_ptr<RemoteServer>& server) {
  if (r.ours) return Variant(ObjectRef(r.object.lock()));
  if (r.remote != nullptr) {
    IDispatch* object = std::exchange(r.remote, nullptr);
    return Variant(ObjectRef(ComDispatch::wrapRemote(object, r.identity, server)));
  }
  return std::move(r.value);
}

// The error a piece of work on a caller thread ended with.
RuntimeError currentError() {
  try {
    throw;
  } catch (const RuntimeError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return RuntimeError(err::kOutOfMemory);
  } catch (...) {
    return automationError(E_UNEXPECTED, systemMessage(static_cast<DWORD>(E_UNEXPECTED)));
  }
}

}  // namespace

struct RemoteObject {
  RemoteObject(IDispatch* remote, std::shared_ptr<RemoteServer> of)
      : object(remote), server(std::move(of)) {}
  RemoteObject(const RemoteObject&) = delete;
  RemoteObject& operator=(const RemoteObject&) = delete;

  // What it holds goes on a caller thread (releaseOut): a hung program holds nothing up.
  ~RemoteObject() {
    releaseOut(server, [object = object, events = events, cookies = cookies, ours = ours] {
      for (DWORD cookie : cookies) events->Unadvise(cookie);
      if (events != nullptr) events->Release();
      object->Release();
      for (IUnknown* held : ours) {
        {
          std::lock_guard<std::mutex> lock(oursMutex());
          const auto it = oursOver().find(held);
          if (it != oursOver().end() && --it->second.holders == 0) oursOver().erase(it);
        }
        held->Release();
      }
    });
  }

  // On a caller thread: an object of this process that went over to this one, held as long as
  // this lives so that it comes back as itself.
  void hold(IUnknown* unknown, const std::weak_ptr<Dispatch>& original) {
    ComPtr<IUnknown> identity;
    if (FAILED(unknown->QueryInterface(IID_PPV_ARGS(&identity)))) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (std::find(ours.begin(), ours.end(), identity.Get()) != ours.end()) return;
    {
      std::lock_guard<std::mutex> registry(oursMutex());
      OursOver& entry = oursOver()[identity.Get()];
      entry.object = original;
      ++entry.holders;
    }
    ours.push_back(identity.Detach());
  }

  IDispatch* const object;  // of the multithreaded apartment: used on caller threads only
  const std::shared_ptr<RemoteServer> server;

  std::mutex mutex;  // for what follows
  bool eventsFound = false;
  IConnectionPoint* events = nullptr;
  IID eventIid = IID_NULL;
  std::map<DispId, int> positions;
  std::vector<DWORD> cookies;
  std::vector<IUnknown*> ours;
};

namespace {

// An argument of a call to another process that holds an object.
struct ObjectArgument {
  size_t index = 0;
  VARTYPE type = VT_DISPATCH;
  std::shared_ptr<RemoteObject> remote;  // an object of another process
  IStream* stream = nullptr;             // or one of this process, marshaled for the apartment
  std::weak_ptr<Dispatch> original;
};

// One call to another process, as the caller thread makes it.
struct RemoteCall {
  std::shared_ptr<RemoteObject> target;
  DispId id = 0;
  InvokeKind kind = InvokeKind::Method;
  std::vector<Variant> plain;  // the arguments, objects left out
  std::vector<ObjectArgument> objects;
  std::optional<RuntimeError> error;
  Returned result;
  std::vector<Returned> written;  // the by-reference arguments as the callee left them

  void run() {
    try {
      const bool put = kind == InvokeKind::PropertyPut || kind == InvokeKind::PropertyPutRef;
      std::optional<ByRefArguments> refs;
      std::optional<ByValueArguments> values;
      if (put)
        values.emplace(plain, true);
      else
        refs.emplace(plain);
      for (ObjectArgument& o : objects) {
        IUnknown* object = nullptr;
        if (o.remote) {
          object = o.remote->object;
          object->AddRef();
        } else {
          // A reference to an object without IDispatch would go out typed as one.
          if (o.type == VT_UNKNOWN && !put) throw RuntimeError(err::kTypeMismatch);
          const IID& iid = o.type == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch;
          const HRESULT hr = CoGetInterfaceAndReleaseStream(std::exchange(o.stream, nullptr), iid,
                                                            reinterpret_cast<void**>(&object));
          if (FAILED(hr)) throw errorFromHresult(hr);
          target->hold(object, o.original);
        }
        VARIANT& slot = put ? values->value(o.index) : refs->value(o.index);
        VariantClear(&slot);
        slot.vt = o.type;
        slot.punkVal = object;
      }
      EXCEPINFO info{};
      UINT argError = 0;
      ComVariant answer;
      const WORD flags = kind == InvokeKind::PropertyPut ? DISPATCH_PROPERTYPUT
                         : kind == InvokeKind::PropertyPutRef
                             ? DISPATCH_PROPERTYPUTREF
                             : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
      const HRESULT hr = target->object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                                put ? values->params() : refs->params(),
                                                put ? nullptr : answer.get(), &info, &argError);
      if (FAILED(hr)) throw errorFromInvoke(hr, info);
      if (put) return;
      result = returnedFrom(*answer);
      for (size_t i = 0; i < plain.size(); ++i) written.push_back(returnedFrom(refs->value(i)));
    } catch (...) {
      error = currentError();
      for (ObjectArgument& o : objects) {
        if (o.stream == nullptr) continue;
        IStream* stream = std::exchange(o.stream, nullptr);
        CoReleaseMarshalData(stream);
        stream->Release();
      }
    }
  }

  RemoteCall() = default;
  RemoteCall(const RemoteCall&) = delete;
  RemoteCall& operator=(const RemoteCall&) = delete;
  // What the program's thread did not take goes on a caller thread.
  ~RemoteCall() {
    std::vector<IDispatch*> left;
    for (Returned* r : returned())
      if (r->remote != nullptr) left.push_back(std::exchange(r->remote, nullptr));
    if (!left.empty()) {
      sendOut([left] {
        for (IDispatch* object : left) object->Release();
      });
    }
  }

  // On a caller thread, when no one waits for the call any more.
  void forsake() {
    for (ObjectArgument& o : objects) {
      if (o.stream == nullptr) continue;
      CoReleaseMarshalData(o.stream);
      o.stream->Release();
    }
    for (Returned* r : returned()) drop(*r);
  }

 private:
  std::vector<Returned*> returned() {
    std::vector<Returned*> all{&result};
    for (Returned& r : written) all.push_back(&r);
    return all;
  }
};

}  // namespace

std::shared_ptr<ComDispatch> ComDispatch::wrapRemote(IDispatch* object, IUnknown* identity,
                                                     std::shared_ptr<RemoteServer> server) {
  auto& live = wrappers();
  const auto known = live.find(identity);
  if (known != live.end()) {
    if (std::shared_ptr<ComDispatch> wrapper = known->second.lock()) {
      sendOut([object] { object->Release(); });
      return wrapper;
    }
  }
  std::shared_ptr<ComDispatch> wrapper(
      new ComDispatch(std::make_shared<RemoteObject>(object, std::move(server))));
  wrapper->m_identity = identity;
  live[identity] = wrapper;
  return wrapper;
}

ComDispatch::ComDispatch(std::shared_ptr<RemoteObject> remote) : m_remote(std::move(remote)) {}

IDispatch* ComDispatch::get() const {
  if (m_remote && !m_object) {
    // This apartment's own reference to it, marshaled over from the multithreaded one.
    auto stream = std::make_shared<IStream*>(nullptr);
    auto error = std::make_shared<std::optional<RuntimeError>>();
    callOut(
        m_remote->server,
        [remote = m_remote, stream, error] {
          const HRESULT hr =
              CoMarshalInterThreadInterfaceInStream(IID_IDispatch, remote->object, stream.get());
          if (FAILED(hr)) *error = errorFromHresult(hr);
        },
        [stream] {
          if (*stream == nullptr) return;
          CoReleaseMarshalData(*stream);
          (*stream)->Release();
        });
    if (*error) throw **error;
    const HRESULT hr = CoGetInterfaceAndReleaseStream(*stream, IID_PPV_ARGS(&m_object));
    if (FAILED(hr)) throw errorFromHresult(hr);
  }
  return m_object.Get();
}

DispId ComDispatch::remoteIdOfName(std::string_view name, std::string folded) {
  auto id = std::make_shared<DISPID>(DISPID_UNKNOWN);
  auto failed = std::make_shared<HRESULT>(S_OK);
  auto wide = std::make_shared<std::wstring>(toWide(name));
  callOut(m_remote->server, [remote = m_remote, id, failed, wide] {
    LPOLESTR names[] = {wide->data()};
    *failed = remote->object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id.get());
  });
  if (FAILED(*failed)) throw errorFromHresult(*failed);
  m_ids.emplace(std::move(folded), *id);
  return *id;
}

Variant ComDispatch::remoteInvoke(DispId id, InvokeKind kind, std::vector<Variant>& args) {
  const std::shared_ptr<RemoteServer>& server = m_remote->server;
  auto call = std::make_shared<RemoteCall>();
  call->target = m_remote;
  call->id = id;
  call->kind = kind;
  call->plain = args;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!args[i].isObject()) continue;
    const ObjectRef& object = args[i].get<ObjectRef>();
    if (!object) continue;
    ObjectArgument o;
    o.index = i;
    auto* com = dynamic_cast<ComDispatch*>(object.get());
    if (com != nullptr && com->m_remote) {
      o.remote = com->m_remote;
    } else {
      // Ours, or an object of this apartment: a reference marshaled for the other one.
      ComVariant here;
      toVariant(args[i], *here.get());
      o.type = here->vt;
      o.original = object;
      const HRESULT hr = CoMarshalInterThreadInterfaceInStream(
          o.type == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch, here->punkVal, &o.stream);
      if (FAILED(hr)) {
        for (ObjectArgument& made : call->objects) {
          if (made.stream == nullptr) continue;
          CoReleaseMarshalData(made.stream);
          made.stream->Release();
        }
        throw errorFromHresult(hr);
      }
    }
    call->plain[i] = Variant(ObjectRef());
    call->objects.push_back(std::move(o));
  }
  callOut(
      server, [call] { call->run(); }, [call] { call->forsake(); });
  if (call->error) throw *call->error;
  if (kind == InvokeKind::PropertyPut || kind == InvokeKind::PropertyPutRef) return {};
  for (size_t i = 0; i < args.size() && i < call->written.size(); ++i)
    args[i] = takeReturned(call->written[i], server);
  return takeReturned(call->result, server);
}

uint32_t ComDispatch::remoteAdvise(std::shared_ptr<EventSink> sink) {
  if (!sink) throw RuntimeError(err::kInvalidProcedureCall);
  const std::shared_ptr<RemoteServer>& server = m_remote->server;
  auto error = std::make_shared<std::optional<RuntimeError>>();
  callOut(server, [remote = m_remote, error] {
    {
      std::lock_guard<std::mutex> lock(remote->mutex);
      if (remote->eventsFound) return;
    }
    try {
      EventSource found = findEventSource(remote->object);
      std::lock_guard<std::mutex> lock(remote->mutex);
      if (remote->eventsFound) return;  // found meanwhile by another call
      remote->events = found.point.Detach();
      remote->eventIid = found.iid;
      remote->positions = std::move(found.positions);
      remote->eventsFound = true;
    } catch (...) {
      *error = currentError();
    }
  });
  if (*error) throw **error;
  ComPtr<IDispatch> sinkObject;
  {
    std::lock_guard<std::mutex> lock(m_remote->mutex);
    sinkObject = takeNew<IDispatch>(
        new SinkObject(std::move(sink), m_remote->eventIid, m_remote->positions));
  }
  // Marshaled from here, so that the events come to this apartment.
  IStream* stream = nullptr;
  HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, sinkObject.Get(), &stream);
  if (FAILED(hr)) throw errorFromHresult(hr);
  auto cookie = std::make_shared<DWORD>(0);
  auto advised = std::make_shared<HRESULT>(E_FAIL);
  callOut(server, [remote = m_remote, stream, cookie, advised] {
    IDispatch* over = nullptr;
    *advised =
        CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(&over));
    if (FAILED(*advised)) return;
    *advised = remote->events->Advise(over, cookie.get());
    over->Release();
    if (SUCCEEDED(*advised)) {
      std::lock_guard<std::mutex> lock(remote->mutex);
      remote->cookies.push_back(*cookie);
    }
  });
  if (FAILED(*advised)) throw errorFromHresult(*advised);
  return *cookie;
}

void ComDispatch::remoteUnadvise(uint32_t cookie) {
  callOut(m_remote->server, [remote = m_remote, cookie] {
    {
      std::lock_guard<std::mutex> lock(remote->mutex);
      auto& cookies = remote->cookies;
      const auto it = std::find(cookies.begin(), cookies.end(), cookie);
      if (it == cookies.end()) return;
      cookies.erase(it);
    }
    remote->events->Unadvise(cookie);
  });
}

// --- ComApartment ---

ComApartment::ComApartment() {
  const HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) throw automationError(hr, systemMessage(static_cast<DWORD>(hr)));
}

ComApartment::~ComApartment() {
  if (Callers::exists()) Callers::instance().drain(std::chrono::seconds(1));
  OleUninitialize();
}

// --- ComDispatch ---

namespace {

IUnknown* identityOf(const ComPtr<IDispatch>& object) {
  ComPtr<IUnknown> identity;
  if (FAILED(object.As(&identity))) return object.Get();
  return identity.Get();
}

}  // namespace

std::shared_ptr<ComDispatch> ComDispatch::wrap(ComPtr<IDispatch> object) {
  if (!object) throw RuntimeError(err::kObjectNotSet);
  auto& live = wrappers();
  auto known = live.find(identityOf(object));
  if (known != live.end()) {
    if (std::shared_ptr<ComDispatch> wrapper = known->second.lock()) return wrapper;
  }
  auto wrapper = std::make_shared<ComDispatch>(std::move(object));
  adopt(wrapper);
  return wrapper;
}

void ComDispatch::adopt(const std::shared_ptr<ComDispatch>& wrapper) {
  // The identity pointer is only a key: the wrapper's object holds the reference that keeps it.
  wrapper->m_identity = identityOf(wrapper->m_object);
  wrappers()[wrapper->m_identity] = wrapper;
}

ComDispatch::ComDispatch(ComPtr<IDispatch> object) : m_object(std::move(object)) {
  if (!m_object) throw RuntimeError(err::kObjectNotSet);
}

ComDispatch::~ComDispatch() {
  unadviseAll();
  if (m_identity != nullptr) {
    auto& live = wrappers();
    auto it = live.find(m_identity);
    if (it != live.end() && it->second.expired()) live.erase(it);
  }
}

DispId ComDispatch::idOfName(std::string_view name) {
  const std::shared_ptr<ComDispatch> busy = weak_from_this().lock();
  std::string folded = ansi::foldCase(name);
  auto known = m_ids.find(folded);
  if (known != m_ids.end()) return known->second;
  if (m_remote) return remoteIdOfName(name, std::move(folded));
  std::wstring wide = toWide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) throw errorFromHresult(hr);
  m_ids.emplace(std::move(folded), id);
  return id;
}

Variant ComDispatch::invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) {
  const std::shared_ptr<ComDispatch> busy = weak_from_this().lock();
  if (m_remote) return remoteInvoke(id, kind, args);
  EXCEPINFO info{};
  UINT argError = 0;
  if (kind == InvokeKind::PropertyPut || kind == InvokeKind::PropertyPutRef) {
    ByValueArguments values(args, true);
    const WORD flags =
        kind == InvokeKind::PropertyPut ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYPUTREF;
    const HRESULT hr = m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, values.params(),
                                        nullptr, &info, &argError);
    if (FAILED(hr)) throw errorFromInvoke(hr, info);
    return {};
  }
  ByRefArguments refs(args);
  ComVariant result;
  const HRESULT hr =
      m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                       refs.params(), result.get(), &info, &argError);
  if (FAILED(hr)) throw errorFromInvoke(hr, info);
  refs.writeBack(args);
  return fromVariant(*result);
}

void ComDispatch::findEvents() {
  if (m_events) return;
  EventSource found = findEventSource(m_object.Get());
  m_events = std::move(found.point);
  m_eventIid = found.iid;
  m_positions = std::move(found.positions);
}

uint32_t ComDispatch::advise(std::shared_ptr<EventSink> sink) {
  const std::shared_ptr<ComDispatch> busy = weak_from_this().lock();
  if (m_remote) return remoteAdvise(std::move(sink));
  if (!sink) throw RuntimeError(err::kInvalidProcedureCall);
  findEvents();
  const ComPtr<IDispatch> sinkObject =
      takeNew<IDispatch>(new SinkObject(std::move(sink), m_eventIid, m_positions));
  DWORD cookie = 0;
  const HRESULT hr = m_events->Advise(sinkObject.Get(), &cookie);
  if (FAILED(hr)) throw errorFromHresult(hr);
  m_cookies.push_back(cookie);
  return cookie;
}

void ComDispatch::unadviseAll() {
  for (DWORD cookie : m_cookies) m_events->Unadvise(cookie);
  m_cookies.clear();
}

void ComDispatch::unadvise(uint32_t cookie) {
  if (m_remote) {
    remoteUnadvise(cookie);
    return;
  }
  auto it = std::find(m_cookies.begin(), m_cookies.end(), cookie);
  if (it == m_cookies.end()) return;
  m_cookies.erase(it);
  m_events->Unadvise(cookie);
}

// --- ComAutomation ---

void ComAutomation::registerLocalClass(std::string_view progId, Factory factory) {
  m_localClasses[ansi::foldCase(progId)] = std::move(factory);
}

ObjectRef ComAutomation::createObject(std::string_view progId) {
  auto local = m_localClasses.find(ansi::foldCase(progId));
  if (local != m_localClasses.end()) {
    const Factory factory = local->second;
    ObjectRef object = factory();
    if (!object) throw RuntimeError(err::kCantCreateObject);
    return object;
  }
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(toWide(progId).c_str(), &clsid)))
    throw RuntimeError(err::kCantCreateObject);
  ComPtr<IDispatch> object;
  if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object))) &&
      object)
    return objectFromDispatch(object.Get());

  // Another program's: made, and called from then on, in the multithreaded apartment.
  auto server = std::make_shared<RemoteServer>(m_callLimit);
  auto made = std::make_shared<Returned>();
  callOut(
      server,
      [clsid, made] {
        ComPtr<IDispatch> remote;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&remote))) ||
            !remote)
          return;
        ComPtr<IUnknown> identity;
        remote.As(&identity);
        made->identity = identity.Get();
        made->remote = remote.Detach();
      },
      [made] { drop(*made); });
  if (made->remote == nullptr) throw RuntimeError(err::kCantCreateObject);
  return ComDispatch::wrapRemote(std::exchange(made->remote, nullptr), made->identity,
                                 std::move(server));
}

}  // namespace morvane::win32
