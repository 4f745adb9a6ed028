#include "platform/win32/com/com_automation.h"

#include <algorithm>
#include <unordered_map>

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

// --- ComApartment ---

ComApartment::ComApartment() {
  const HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr)) throw automationError(hr, systemMessage(static_cast<DWORD>(hr)));
}

ComApartment::~ComApartment() {
  OleUninitialize();
}

// --- ComDispatch ---

namespace {

// The live wrappers made by wrap, by the COM identity of their object.
std::unordered_map<IUnknown*, std::weak_ptr<ComDispatch>>& wrappers() {
  static std::unordered_map<IUnknown*, std::weak_ptr<ComDispatch>> instance;
  return instance;
}

}  // namespace

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
  ComPtr<IConnectionPointContainer> container;
  if (FAILED(m_object.As(&container))) throw RuntimeError(err::kNotSupported);

  IID wanted = IID_NULL;
  std::map<DispId, int> positions;
  if (ComPtr<ITypeInfo> source = defaultSource(m_object.Get())) {
    wanted = interfaceId(source.Get());
    positions = eventPositions(source.Get());
  } else {
    ComPtr<IProvideClassInfo2> provider;
    if (SUCCEEDED(m_object.As(&provider))) {
      provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &wanted);
    }
  }
  ComPtr<IConnectionPoint> point;
  if (wanted != IID_NULL) container->FindConnectionPoint(wanted, &point);
  if (!point) {
    positions.clear();
    ComPtr<IEnumConnectionPoints> points;
    ULONG fetched = 0;
    if (SUCCEEDED(container->EnumConnectionPoints(&points)) && points) {
      points->Next(1, &point, &fetched);
    }
  }
  if (!point || FAILED(point->GetConnectionInterface(&m_eventIid))) {
    throw RuntimeError(err::kNotSupported);
  }
  m_events = point;
  m_positions = std::move(positions);
}

uint32_t ComDispatch::advise(std::shared_ptr<EventSink> sink) {
  const std::shared_ptr<ComDispatch> busy = weak_from_this().lock();
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
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_PPV_ARGS(&object))) ||
      !object)
    throw RuntimeError(err::kCantCreateObject);
  return objectFromDispatch(object.Get());
}

}  // namespace morvane::win32
