#include "platform/win32/com/com_server.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/runtime_error.h"
#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_variant.h"

#include <olectl.h>

namespace morvane::win32 {

using Microsoft::WRL::ComPtr;

namespace {

class ExposedObject;

// COM keeps one count of a server process's objects (CoAddRefServerProcess); LocalServer mirrors
// it, and this is where exposed objects find it.
LocalServer* g_localServer = nullptr;

// What keeps this module in use (moduleUseCount). Objects may live on several apartments' threads.
std::atomic<size_t> g_moduleUses{0};
// Locks taken through any class factory of the module.
std::atomic<size_t> g_moduleLocks{0};

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

// Lists the connection points of a container.
class PointEnumerator final : public ComObject<IEnumConnectionPoints> {
 public:
  PointEnumerator(std::vector<ComPtr<IConnectionPoint>> points, ULONG position)
      : m_points(std::move(points)), m_position(position) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, IConnectionPoint** points, ULONG* fetched) override {
    if (points == nullptr) return E_POINTER;
    ULONG n = 0;
    while (n < wanted && m_position < m_points.size()) {
      points[n] = m_points[m_position].Get();
      points[n]->AddRef();
      ++n;
      ++m_position;
    }
    if (fetched != nullptr) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = static_cast<ULONG>(m_points.size()) - m_position;
    m_position += std::min(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = new (std::nothrow) PointEnumerator(m_points, m_position);
    return *copy != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ModuleUse m_use;
  std::vector<ComPtr<IConnectionPoint>> m_points;
  ULONG m_position;
};

// What a user-defined type of type information is, aliases followed.
enum class Declared { AsGiven, Dispatch, Unknown, Enum };

Declared userDefined(ITypeInfo* info, HREFTYPE reference, int depth = 0) {
  ComPtr<ITypeInfo> referenced;
  TYPEATTR* attr = nullptr;
  if (depth > 8 || FAILED(info->GetRefTypeInfo(reference, &referenced)) ||
      FAILED(referenced->GetTypeAttr(&attr))) {
    return Declared::AsGiven;
  }
  Declared declared = Declared::AsGiven;
  switch (attr->typekind) {
    case TKIND_DISPATCH:
      declared = Declared::Dispatch;
      break;
    case TKIND_INTERFACE:
      declared = (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE)) != 0
                     ? Declared::Dispatch
                     : Declared::Unknown;
      break;
    case TKIND_ENUM:
      declared = Declared::Enum;
      break;
    case TKIND_ALIAS:
      if (attr->tdescAlias.vt == VT_USERDEFINED)
        declared = userDefined(referenced.Get(), attr->tdescAlias.hreftype, depth + 1);
      break;
    default:
      break;
  }
  referenced->ReleaseTypeAttr(attr);
  return declared;
}

// The type a declared parameter converts incoming arguments to; VT_EMPTY: taken as it comes
// (a variant, an out parameter, a reference, a type the conversion does not know).
VARTYPE conversionType(ITypeInfo* info, const ELEMDESC& element) {
  if ((element.paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0) return VT_EMPTY;
  const TYPEDESC* type = &element.tdesc;
  const bool pointer = type->vt == VT_PTR;
  if (pointer) type = type->lptdesc;
  if (type->vt == VT_USERDEFINED) {
    const Declared declared = userDefined(info, type->hreftype);
    if (pointer && declared == Declared::Dispatch) return VT_DISPATCH;
    if (pointer && declared == Declared::Unknown) return VT_UNKNOWN;
    return !pointer && declared == Declared::Enum ? VT_I4 : VT_EMPTY;
  }
  if (pointer || type->vt == VT_VARIANT) return VT_EMPTY;
  return type->vt;
}

class ExposedObject final
    : public ComObject<IDispatch, IConnectionPointContainer, IProvideClassInfo2> {
 public:
  ExposedObject(ObjectRef object, ComSurface surface)
      : m_object(std::move(object)),
        m_typeInfo(std::move(surface.typeInfo)),
        m_classInfo(std::move(surface.classInfo)),
        m_more(std::move(surface.more)) {
    if (surface.events != nullptr) setEvents(*surface.events);
    if (surface.propertyNotifications)
      m_propertyPoint = std::make_unique<Point>(*this, IID_IPropertyNotifySink);
    if (m_typeInfo) readDeclarations();
    if (m_more) m_more->attach(identity());
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
    // The interfaces implemented elsewhere may refer to the object: they go first.
    m_more.reset();
    // Last: ending the server's count may end its message loop.
    if (m_server != nullptr && m_server == g_localServer) m_server->unlock();
  }

  IUnknown* identity() { return static_cast<IDispatch*>(this); }
  const ObjectRef& object() const { return m_object; }
  size_t connectionCount() const { return m_eventPoint ? m_eventPoint->sinks.size() : 0; }

  void setEvents(const IID& events) {
    if (!m_eventPoint) m_eventPoint = std::make_unique<Point>(*this, events);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = m_typeInfo ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (!m_typeInfo || index != 0) return DISP_E_BADINDEX;
    *info = m_typeInfo.Get();
    (*info)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    if (m_typeInfo) return m_typeInfo->GetIDsOfNames(names, count, ids);
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
                                   VARIANT* result, EXCEPINFO* info, UINT* argError) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (result != nullptr) VariantInit(result);
    // The call may release the client's last reference (or raise events whose sinks do).
    ComPtr<IDispatch> self(this);
    try {
      const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
      ConvertedArguments converted;
      const HRESULT conversion = convertArguments(id, flags, params, converted, argError);
      if (FAILED(conversion)) return conversion;
      IncomingArguments args(converted.used ? &converted.params : params, put);
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
    std::vector<ComPtr<IConnectionPoint>> list;
    if (m_eventPoint) list.emplace_back(m_eventPoint.get());
    if (m_propertyPoint) list.emplace_back(m_propertyPoint.get());
    *points = new (std::nothrow) PointEnumerator(std::move(list), 0);
    return *points != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    for (Point* candidate : {m_eventPoint.get(), m_propertyPoint.get()}) {
      if (candidate != nullptr && candidate->iid() == riid) {
        *point = candidate;
        candidate->AddRef();
        return S_OK;
      }
    }
    return CONNECT_E_NOCONNECTION;
  }

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = m_classInfo.Get();
    (*info)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
    if (guid == nullptr) return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    if (!m_eventPoint) return E_UNEXPECTED;
    *guid = m_eventPoint->iid();
    return S_OK;
  }

  void forward(DispId id, std::vector<Variant>& args) {
    if (!m_eventPoint) return;
    ComPtr<IDispatch> self(this);
    Point& point = *m_eventPoint;
    const auto sinks = point.sinks;
    for (const auto& [cookie, sink] : sinks) {
      if (!point.isConnected(cookie)) continue;
      try {
        ByRefArguments refs(args);
        EXCEPINFO info{};
        ComVariant result;
        const HRESULT hr = static_cast<IDispatch*>(sink.Get())
                               ->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        refs.params(), result.get(), &info, nullptr);
        clearExcepInfo(info);
        if (SUCCEEDED(hr)) {
          refs.writeBack(args);
        } else if (isDisconnection(hr)) {
          disconnect(point, cookie);
        }
      } catch (...) {
        // One sink's trouble is not the event source's, nor the next sink's.
      }
    }
  }

  void propertyChanged(DISPID id) {
    if (!m_propertyPoint) return;
    ComPtr<IDispatch> self(this);
    Point& point = *m_propertyPoint;
    const auto sinks = point.sinks;
    for (const auto& [cookie, sink] : sinks) {
      if (!point.isConnected(cookie)) continue;
      const HRESULT hr = static_cast<IPropertyNotifySink*>(sink.Get())->OnChanged(id);
      if (isDisconnection(hr)) disconnect(point, cookie);
    }
  }

 private:
  // IUnknown: the connection point container only while there are points, the class only when it
  // is known, and the interfaces of the surface after its own.
  void* find(REFIID riid) override {
    if (riid == IID_IDispatch) return static_cast<IDispatch*>(this);
    if (riid == IID_IConnectionPointContainer && (m_eventPoint || m_propertyPoint))
      return static_cast<IConnectionPointContainer*>(this);
    if ((riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2) && m_classInfo)
      return static_cast<IProvideClassInfo2*>(this);
    return m_more ? m_more->find(riid) : nullptr;
  }

  // A connection point; it lives and counts with its container. Each sink is kept as the
  // interface it was connected through (IDispatch or the event interface for events,
  // IPropertyNotifySink for property notices).
  class Point final : public ComObject<IConnectionPoint> {
   public:
    Point(ExposedObject& owner, const IID& iid) : m_owner(owner), m_iid(iid) {
      liveWith(owner.identity());
    }

    const IID& iid() const { return m_iid; }
    bool isConnected(DWORD cookie) const {
      return std::any_of(sinks.begin(), sinks.end(),
                         [cookie](const auto& s) { return s.first == cookie; });
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
      if (iid == nullptr) return E_POINTER;
      *iid = m_iid;
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
      return m_owner.connect(*this, sink, cookie);
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
      return m_owner.disconnect(*this, cookie) ? S_OK : CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override {
      if (connections != nullptr) *connections = nullptr;
      return E_NOTIMPL;
    }

    std::vector<std::pair<DWORD, ComPtr<IUnknown>>> sinks;
    DWORD nextCookie = 1;

   private:
    ExposedObject& m_owner;
    IID m_iid;
  };

  // What Invoke hands on when it converted arguments: the caller's list with the converted ones
  // in their places.
  struct ConvertedArguments {
    bool used = false;
    DISPPARAMS params{};
    std::vector<VARIANT> values;  // shallow copies of the caller's, but for the converted ones
    std::vector<size_t> owned;    // which of them are ours to clear
    ~ConvertedArguments() {
      for (size_t i : owned) VariantClear(&values[i]);
    }
  };

  // One member as the type information declares it for one kind of call.
  struct Declaration {
    DISPID id;
    INVOKEKIND kind;
    std::vector<VARTYPE> parameters;  // in call order; VT_EMPTY: taken as it comes
  };

  void readDeclarations() {
    TYPEATTR* attr = nullptr;
    if (FAILED(m_typeInfo->GetTypeAttr(&attr))) return;
    const WORD functions = attr->cFuncs;
    m_typeInfo->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < functions; ++i) {
      FUNCDESC* desc = nullptr;
      if (FAILED(m_typeInfo->GetFuncDesc(i, &desc))) continue;
      Declaration declaration{desc->memid, desc->invkind, {}};
      for (SHORT p = 0; p < desc->cParams; ++p)
        declaration.parameters.push_back(
            conversionType(m_typeInfo.Get(), desc->lprgelemdescParam[p]));
      m_typeInfo->ReleaseFuncDesc(desc);
      m_declarations.push_back(std::move(declaration));
    }
  }

  const Declaration* declaration(DISPID id, WORD flags, UINT argumentCount) const {
    INVOKEKIND wanted[2] = {};
    if ((flags & DISPATCH_PROPERTYPUTREF) != 0) {
      wanted[0] = INVOKE_PROPERTYPUTREF;
      wanted[1] = INVOKE_PROPERTYPUT;
    } else if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      wanted[0] = INVOKE_PROPERTYPUT;
      wanted[1] = INVOKE_PROPERTYPUTREF;
    } else {
      wanted[0] = (flags & DISPATCH_METHOD) != 0 ? INVOKE_FUNC : INVOKE_PROPERTYGET;
      wanted[1] = (flags & DISPATCH_PROPERTYGET) != 0 ? INVOKE_PROPERTYGET : INVOKE_FUNC;
    }
    for (const INVOKEKIND kind : wanted) {
      for (const Declaration& d : m_declarations) {
        if (d.id == id && d.kind == kind && d.parameters.size() == argumentCount) return &d;
      }
    }
    return nullptr;
  }

  HRESULT convertArguments(DISPID id, WORD flags, const DISPPARAMS* params,
                           ConvertedArguments& converted, UINT* argError) const {
    if (m_declarations.empty() || params == nullptr || params->cArgs == 0) return S_OK;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (params->cNamedArgs > (put ? 1u : 0u)) return S_OK;  // refused later, as ever
    const Declaration* member = declaration(id, flags, params->cArgs);
    if (member == nullptr) return S_OK;
    const UINT n = params->cArgs;
    for (UINT i = 0; i < n; ++i) {
      const VARTYPE wanted = member->parameters[i];
      const UINT place = n - 1 - i;  // rgvarg holds the last argument first
      const VARIANT& given = params->rgvarg[place];
      const VARTYPE givenType = (given.vt & VT_BYREF) != 0 ? given.vt & ~VT_BYREF : given.vt;
      if (wanted == VT_EMPTY || givenType == wanted) continue;
      if (!converted.used) {
        converted.used = true;
        converted.values.assign(params->rgvarg, params->rgvarg + n);
        converted.params = *params;
      }
      VARIANT value;
      VariantInit(&value);
      const HRESULT hr = VariantChangeType(&value, const_cast<VARIANT*>(&given), 0, wanted);
      if (FAILED(hr)) {
        if (argError != nullptr) *argError = place;
        return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
      }
      converted.values[place] = value;
      converted.owned.push_back(place);
    }
    if (converted.used) converted.params.rgvarg = converted.values.data();
    return S_OK;
  }

  HRESULT connect(Point& point, IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    *cookie = 0;
    ComPtr<IUnknown> target;
    if (&point == m_eventPoint.get()) {
      ComPtr<IDispatch> events;
      // A sink in another process may not answer for the event interface itself (its proxy does
      // not know the interface; Wine always answers E_NOINTERFACE there): IDispatch does as well.
      if (FAILED(
              sink->QueryInterface(point.iid(), reinterpret_cast<void**>(events.GetAddressOf()))) &&
          FAILED(sink->QueryInterface(IID_PPV_ARGS(&events)))) {
        return CONNECT_E_CANNOTCONNECT;
      }
      target = ComPtr<IUnknown>(static_cast<IUnknown*>(events.Get()));
      try {
        if (!m_forwarder) {
          auto forwarder = std::make_shared<Forwarder>(this);
          m_forwarderCookie = m_object->advise(forwarder);
          m_forwarder = std::move(forwarder);
        }
      } catch (...) {
        return CONNECT_E_CANNOTCONNECT;
      }
    } else {
      ComPtr<IPropertyNotifySink> notices;
      if (FAILED(sink->QueryInterface(IID_PPV_ARGS(&notices)))) return CONNECT_E_CANNOTCONNECT;
      target = ComPtr<IUnknown>(static_cast<IUnknown*>(notices.Get()));
    }
    try {
      point.sinks.emplace_back(point.nextCookie, std::move(target));
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    *cookie = point.nextCookie++;
    return S_OK;
  }

  bool disconnect(Point& point, DWORD cookie) {
    auto it = std::find_if(point.sinks.begin(), point.sinks.end(),
                           [cookie](const auto& s) { return s.first == cookie; });
    if (it == point.sinks.end()) return false;
    // Released after the list is consistent again: releasing a sink may call back in.
    ComPtr<IUnknown> sink = std::move(it->second);
    point.sinks.erase(it);
    if (&point == m_eventPoint.get() && point.sinks.empty()) disconnectObject();
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

  ModuleUse m_use;
  ObjectRef m_object;
  ComPtr<ITypeInfo> m_typeInfo;
  ComPtr<ITypeInfo> m_classInfo;
  std::vector<Declaration> m_declarations;
  std::unique_ptr<Point> m_eventPoint;
  std::unique_ptr<Point> m_propertyPoint;
  std::unique_ptr<ComInterfaces> m_more;
  std::shared_ptr<Forwarder> m_forwarder;
  uint32_t m_forwarderCookie = 0;
  LocalServer* m_server = nullptr;
};

void Forwarder::onEvent(int, DispId id, std::vector<Variant>& args) {
  if (m_owner != nullptr) m_owner->forward(id, args);
}

class ClassFactory final : public ComObject<IClassFactory> {
 public:
  explicit ClassFactory(std::function<ComPtr<IDispatch>()> create) : m_create(std::move(create)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      ComPtr<IDispatch> exposed = m_create();
      if (!exposed) return E_UNEXPECTED;
      return exposed->QueryInterface(riid, object);
    } catch (...) {
      return answerCurrentException(nullptr);
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_moduleLocks;
    } else {
      // A client's stray unlock must not let the module go while others hold it.
      size_t locks = g_moduleLocks.load();
      while (locks > 0 && !g_moduleLocks.compare_exchange_weak(locks, locks - 1)) {
      }
    }
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
  ModuleUse m_use;
  std::function<ComPtr<IDispatch>()> m_create;
};

}  // namespace

ModuleUse::ModuleUse() {
  ++g_moduleUses;
}

ModuleUse::~ModuleUse() {
  --g_moduleUses;
}

size_t moduleUseCount() {
  return g_moduleUses.load() + g_moduleLocks.load();
}

ComPtr<IDispatch> exposeObject(const ObjectRef& object, const IID* events) {
  ComSurface surface;
  surface.events = events;
  return exposeObject(object, std::move(surface));
}

ComPtr<IDispatch> exposeObject(const ObjectRef& object, ComSurface surface) {
  if (!object) throw RuntimeError(err::kObjectNotSet);
  Registry& r = registry();
  auto known = r.byObject.find(object.get());
  if (known != r.byObject.end()) {
    if (surface.events != nullptr) known->second->setEvents(*surface.events);
    return ComPtr<IDispatch>(known->second);
  }
  return takeNew<IDispatch>(new ExposedObject(object, std::move(surface)));
}

void notifyPropertyChanged(const Dispatch& object, DISPID id) {
  const Registry& r = registry();
  auto it = r.byObject.find(&object);
  if (it != r.byObject.end()) it->second->propertyChanged(id);
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
  std::optional<IID> eventIid;
  if (events != nullptr) eventIid = *events;
  return makeClassFactory([create = std::move(create), eventIid]() -> ComPtr<IDispatch> {
    ObjectRef created = create();
    if (!created) return nullptr;
    return exposeObject(created, eventIid ? &*eventIid : nullptr);
  });
}

ComPtr<IClassFactory> makeClassFactory(std::function<ComPtr<IDispatch>()> create) {
  return takeNew<IClassFactory>(new ClassFactory(std::move(create)));
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

LocalServer::LocalServer(bool endWhenUnused)
    : m_endWhenUnused(endWhenUnused), m_thread(GetCurrentThreadId()) {
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
  size_t count = m_count.load();
  do {
    if (count == 0) return;
  } while (!m_count.compare_exchange_weak(count, count - 1));
  CoReleaseServerProcess();
  if (count == 1 && m_endWhenUnused) quit(0);
}

void LocalServer::end(int exitCode) {
  m_ended = true;
  quit(exitCode);
}

void LocalServer::quit(int exitCode) {
  // PostQuitMessage ends the loop of the thread that calls it: the last object may go on another.
  if (GetCurrentThreadId() == m_thread)
    PostQuitMessage(exitCode);
  else
    PostThreadMessageW(m_thread, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
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
