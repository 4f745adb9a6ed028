#include "platform/win32/com_server.h"

#include <algorithm>
#include <new>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/runtime_error.h"
#include "platform/win32/com_errors.h"
#include "platform/win32/com_variant.h"

#include <olectl.h>

namespace morvane::win32 {

using Microsoft::WRL::ComPtr;

namespace {

class ExposedObject;

// COM keeps one count of a server process's objects (CoAddRefServerProcess); LocalServer mirrors
// it, and this is where exposed objects find it.
LocalServer* g_localServer = nullptr;

// The exposed objects alive in this process, by the object they wrap and by COM identity, so that
// an object keeps one COM identity and comes back as itself.
struct Registry {
  std::unordered_map<const Dispatch*, ExposedObject*> byObject;
  std::unordered_map<IUnknown*, ExposedObject*> byIdentity;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

// Hears the wrapped object's events and passes them on to the connected sinks.
class Forwarder : public EventSink {
 public:
  explicit Forwarder(ExposedObject* owner) : m_owner(owner) {}
  void detach() { m_owner = nullptr; }
  void onEvent(int position, DispId id, std::vector<Variant>& args) override;

 private:
  ExposedObject* m_owner;
};

// Lists the one connection point.
class PointEnumerator final : public IEnumConnectionPoints {
 public:
  PointEnumerator(ComPtr<IConnectionPoint> point, ULONG position)
      : m_point(std::move(point)), m_position(position) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumConnectionPoints) {
      *object = static_cast<IEnumConnectionPoints*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, IConnectionPoint** points, ULONG* fetched) override {
    if (points == nullptr) return E_POINTER;
    ULONG n = 0;
    while (n < wanted && m_position < 1) {
      points[n] = m_point.Get();
      points[n]->AddRef();
      ++n;
      ++m_position;
    }
    if (fetched != nullptr) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = 1 - std::min<ULONG>(m_position, 1);
    m_position += std::min(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = new (std::nothrow) PointEnumerator(m_point, m_position);
    return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ULONG m_refs = 1;
  ComPtr<IConnectionPoint> m_point;
  ULONG m_position;
};

class ExposedObject final : public IDispatch, public IConnectionPointContainer {
 public:
  explicit ExposedObject(ObjectRef object) : m_object(std::move(object)), m_point(*this) {
    Registry& r = registry();
    r.byObject[m_object.get()] = this;
    r.byIdentity[identity()] = this;
    if (g_localServer != nullptr) {
      m_server = g_localServer;
      m_server->lock();
    }
  }

  ~ExposedObject() {
    disconnectObject();
    Registry& r = registry();
    r.byObject.erase(m_object.get());
    r.byIdentity.erase(identity());
    // Last: ending the server's count may end its message loop.
    if (m_server != nullptr && m_server == g_localServer) m_server->unlock();
  }

  IUnknown* identity() { return static_cast<IDispatch*>(this); }
  const ObjectRef& object() const { return m_object; }
  size_t connectionCount() const { return m_sinks.size(); }

  void setEvents(const IID& events) {
    if (!m_events) m_events = events;
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
    } else if (riid == IID_IConnectionPointContainer && m_events) {
      *object = static_cast<IConnectionPointContainer*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    // Names after the first would be named arguments, which our objects do not take.
    HRESULT hr = count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    try {
      ids[0] = m_object->idOfName(toAnsi(names[0] != nullptr ? names[0] : L""));
    } catch (const RuntimeError& e) {
      ids[0] = DISPID_UNKNOWN;
      return e.number() == err::kNotSupported ? DISP_E_UNKNOWNNAME : answerError(e, nullptr);
    } catch (...) {
      ids[0] = DISPID_UNKNOWN;
      return answerCurrentException(nullptr);
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (result != nullptr) VariantInit(result);
    // The call may release the client's last reference (or raise events whose sinks do).
    ComPtr<IDispatch> self(this);
    try {
      const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
      IncomingArguments args(params, put);
      InvokeKind kind = InvokeKind::Method;
      if (put) {
        const bool byRef = (flags & DISPATCH_PROPERTYPUTREF) != 0;
        const bool byValue = (flags & DISPATCH_PROPERTYPUT) != 0;
        const bool object = !args.values().empty() && args.values().back().isObject();
        kind = byRef && (!byValue || object) ? InvokeKind::PropertyPutRef : InvokeKind::PropertyPut;
      } else if ((flags & DISPATCH_METHOD) == 0) {
        kind = InvokeKind::PropertyGet;
      }
      const Variant value = m_object->invoke(id, kind, args.values());
      args.writeBack();
      if (result != nullptr && !put) toVariant(value, *result);
      return S_OK;
    } catch (...) {
      if (result != nullptr) VariantClear(result);
      return answerCurrentException(info);
    }
  }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override {
    if (points == nullptr) return E_POINTER;
    *points = new (std::nothrow) PointEnumerator(ComPtr<IConnectionPoint>(&m_point), 0);
    return *points != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (!m_events || riid != *m_events) return CONNECT_E_NOCONNECTION;
    *point = &m_point;
    m_point.AddRef();
    return S_OK;
  }

  void forward(DispId id, std::vector<Variant>& args) {
    ComPtr<IDispatch> self(this);
    const auto sinks = m_sinks;
    for (const auto& [cookie, sink] : sinks) {
      if (!isConnected(cookie)) continue;
      try {
        ByRefArguments refs(args);
        EXCEPINFO info{};
        ComVariant result;
        const HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        refs.params(), result.get(), &info, nullptr);
        clearExcepInfo(info);
        if (SUCCEEDED(hr)) {
          refs.writeBack(args);
        } else if (isDisconnection(hr)) {
          disconnect(cookie);
        }
      } catch (...) {
        // One sink's trouble is not the event source's, nor the next sink's.
      }
    }
  }

 private:
  // The one connection point; it lives and counts with its container.
  class Point final : public IConnectionPoint {
   public:
    explicit Point(ExposedObject& owner) : m_owner(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
      if (object == nullptr) return E_POINTER;
      if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
      }
      *object = nullptr;
      return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
      if (iid == nullptr) return E_POINTER;
      *iid = m_owner.m_events.value_or(IID_NULL);
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override {
      if (container == nullptr) return E_POINTER;
      *container = &m_owner;
      m_owner.AddRef();
      return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
      return m_owner.connect(sink, cookie);
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
      return m_owner.disconnect(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override {
      if (connections != nullptr) *connections = nullptr;
      return E_NOTIMPL;
    }

   private:
    ExposedObject& m_owner;
  };

  HRESULT connect(IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> target;
    // A sink in another process may not answer for the event interface itself (its proxy does not
    // know the interface; Wine always answers E_NOINTERFACE there): IDispatch does as well.
    if (FAILED(sink->QueryInterface(*m_events, reinterpret_cast<void**>(target.GetAddressOf()))) &&
        FAILED(sink->QueryInterface(IID_PPV_ARGS(&target)))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    try {
      if (!m_forwarder) {
        auto forwarder = std::make_shared<Forwarder>(this);
        m_forwarderCookie = m_object->advise(forwarder);
        m_forwarder = std::move(forwarder);
      }
      m_sinks.emplace_back(m_nextCookie, std::move(target));
    } catch (...) {
      return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = m_nextCookie++;
    return S_OK;
  }

  bool isConnected(DWORD cookie) const {
    return std::any_of(m_sinks.begin(), m_sinks.end(),
                       [cookie](const auto& s) { return s.first == cookie; });
  }

  bool disconnect(DWORD cookie) {
    auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                           [cookie](const auto& s) { return s.first == cookie; });
    if (it == m_sinks.end()) return false;
    // Released after the list is consistent again: releasing a sink may call back in.
    ComPtr<IDispatch> sink = std::move(it->second);
    m_sinks.erase(it);
    if (m_sinks.empty()) disconnectObject();
    return true;
  }

  void disconnectObject() {
    if (!m_forwarder) return;
    std::shared_ptr<Forwarder> forwarder = std::move(m_forwarder);
    forwarder->detach();
    try {
      m_object->unadvise(m_forwarderCookie);
    } catch (...) {
    }
  }

  ULONG m_refs = 0;
  ObjectRef m_object;
  Point m_point;
  std::optional<IID> m_events;
  std::vector<std::pair<DWORD, ComPtr<IDispatch>>> m_sinks;
  DWORD m_nextCookie = 1;
  std::shared_ptr<Forwarder> m_forwarder;
  uint32_t m_forwarderCookie = 0;
  LocalServer* m_server = nullptr;
};

void Forwarder::onEvent(int, DispId id, std::vector<Variant>& args) {
  if (m_owner != nullptr) m_owner->forward(id, args);
}

class ClassFactory final : public IClassFactory {
 public:
  ClassFactory(std::function<ObjectRef()> create, const IID* events) : m_create(std::move(create)) {
    if (events != nullptr) m_events = *events;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      ObjectRef created = m_create();
      if (!created) return E_UNEXPECTED;
      ComPtr<IDispatch> exposed = exposeObject(created, m_events ? &*m_events : nullptr);
      return exposed->QueryInterface(riid, object);
    } catch (...) {
      return answerCurrentException(nullptr);
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (g_localServer != nullptr) {
      if (lock) {
        g_localServer->lock();
      } else {
        g_localServer->unlock();
      }
    }
    return S_OK;
  }

 private:
  ULONG m_refs = 0;
  std::function<ObjectRef()> m_create;
  std::optional<IID> m_events;
};

}  // namespace

ComPtr<IDispatch> exposeObject(const ObjectRef& object, const IID* events) {
  if (!object) throw RuntimeError(err::kObjectNotSet);
  Registry& r = registry();
  auto known = r.byObject.find(object.get());
  ExposedObject* exposed = known != r.byObject.end() ? known->second : new ExposedObject(object);
  if (events != nullptr) exposed->setEvents(*events);
  return ComPtr<IDispatch>(exposed);
}

ObjectRef exposedObject(IUnknown* object) {
  if (object == nullptr) return {};
  ComPtr<IUnknown> identity;
  if (FAILED(object->QueryInterface(IID_PPV_ARGS(&identity)))) return {};
  const Registry& r = registry();
  auto it = r.byIdentity.find(identity.Get());
  return it != r.byIdentity.end() ? it->second->object() : ObjectRef();
}

size_t connectionCount(const ObjectRef& object) {
  const Registry& r = registry();
  auto it = r.byObject.find(object.get());
  return it != r.byObject.end() ? it->second->connectionCount() : 0;
}

ComPtr<IClassFactory> makeClassFactory(std::function<ObjectRef()> create, const IID* events) {
  return ComPtr<IClassFactory>(new ClassFactory(std::move(create), events));
}

// --- ClassObjectRegistration ---

ClassObjectRegistration::ClassObjectRegistration(const CLSID& clsid,
                                                 ComPtr<IClassFactory> factory) {
  const HRESULT hr = CoRegisterClassObject(clsid, factory.Get(), CLSCTX_LOCAL_SERVER,
                                           REGCLS_MULTIPLEUSE, &m_cookie);
  if (FAILED(hr)) throw automationError(hr, systemMessage(static_cast<DWORD>(hr)));
}

ClassObjectRegistration::~ClassObjectRegistration() {
  CoRevokeClassObject(m_cookie);
}

// --- LocalServer ---

LocalServer::LocalServer(bool endWhenUnused) : m_endWhenUnused(endWhenUnused) {
  if (g_localServer != nullptr) throw std::logic_error("LocalServer: one per process");
  g_localServer = this;
}

LocalServer::~LocalServer() {
  while (m_count > 0) {
    CoReleaseServerProcess();
    --m_count;
  }
  g_localServer = nullptr;
}

LocalServer* LocalServer::current() {
  return g_localServer;
}

void LocalServer::lock() {
  CoAddRefServerProcess();
  ++m_count;
}

void LocalServer::unlock() {
  if (m_count == 0) return;
  CoReleaseServerProcess();
  if (--m_count == 0 && m_endWhenUnused) PostQuitMessage(0);
}

void LocalServer::end(int exitCode) {
  m_ended = true;
  PostQuitMessage(exitCode);
}

int LocalServer::run() {
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return 1;
    if (got == 0) {
      // A client may have come back between the last release and this: serve it first.
      if (m_ended || !m_endWhenUnused || m_count == 0) return static_cast<int>(msg.wParam);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool startedByCom(std::string_view commandLine) {
  size_t pos = 0;
  while (pos < commandLine.size()) {
    while (pos < commandLine.size() && (commandLine[pos] == ' ' || commandLine[pos] == '\t')) ++pos;
    size_t end = pos;
    while (end < commandLine.size() && commandLine[end] != ' ' && commandLine[end] != '\t') ++end;
    std::string_view word = commandLine.substr(pos, end - pos);
    if (word.size() > 1 && (word[0] == '-' || word[0] == '/') &&
        ansi::equalsNoCase(word.substr(1), "Embedding")) {
      return true;
    }
    pos = end;
  }
  return false;
}

}  // namespace morvane::win32
