#include "platform/win32/com/com_control_host.h"

#include "platform/runtime_error.h"
#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_variant.h"

namespace morvane::win32 {

using Microsoft::WRL::ComPtr;

namespace {

// The value a bag gives back for a property it does not hold: an object nobody else has.
class MissingValue final : public Dispatch {
 public:
  DispId idOfName(std::string_view) override { throw RuntimeError(err::kNotSupported); }
  Variant invoke(DispId, InvokeKind, std::vector<Variant>&) override {
    throw RuntimeError(err::kNotSupported);
  }
};

}  // namespace

// --- PropertyBagObject ---

PropertyBagObject::PropertyBagObject(PropertyBag& bag)
    : m_bag(&bag), m_missing(ObjectRef(std::make_shared<MissingValue>())) {}

ComPtr<PropertyBagObject> PropertyBagObject::make(PropertyBag& bag) {
  return takeNew(new PropertyBagObject(bag));
}

HRESULT PropertyBagObject::Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) {
  if (name == nullptr || value == nullptr) return E_POINTER;
  if (m_bag == nullptr) return E_FAIL;
  try {
    const Variant stored = m_bag->readProperty(toAnsi(name), m_missing);
    if (stored == m_missing) return E_INVALIDARG;
    ComVariant result;
    toVariant(stored, *result.get());
    const VARTYPE wanted = value->vt;
    if (wanted != VT_EMPTY && wanted != result->vt) {
      const HRESULT changed = VariantChangeType(result.get(), result.get(), 0, wanted);
      if (FAILED(changed)) {
        if (log != nullptr) {
          EXCEPINFO error{};
          error.scode = changed;
          log->AddError(name, &error);
        }
        return E_FAIL;
      }
    }
    // The caller's VARIANT holds only the type it asks for; nothing in it is to be freed.
    *value = result.release();
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT PropertyBagObject::Write(LPCOLESTR name, VARIANT* value) {
  if (name == nullptr || value == nullptr) return E_POINTER;
  if (m_bag == nullptr) return E_FAIL;
  try {
    // The missing value as the default: nothing a control writes equals it, so all is stored.
    m_bag->writeProperty(toAnsi(name), fromVariant(*value), m_missing);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

// --- Pictures ---

ComPtr<IPictureDisp> pictureFromIcon(HICON icon, IconOwner owner) {
  PICTDESC description{};
  description.cbSizeofstruct = sizeof description;
  description.picType = icon != nullptr ? PICTYPE_ICON : PICTYPE_NONE;
  description.icon.hicon = icon;
  ComPtr<IPictureDisp> picture;
  const HRESULT hr = OleCreatePictureIndirect(&description, IID_IPictureDisp,
                                              owner == IconOwner::Picture ? TRUE : FALSE,
                                              reinterpret_cast<void**>(picture.GetAddressOf()));
  if (FAILED(hr)) throw errorFromHresult(hr);
  return picture;
}

Variant pictureVariant(HICON icon, IconOwner owner) {
  const ComPtr<IPictureDisp> picture = pictureFromIcon(icon, owner);
  return Variant(objectFromDispatch(picture.Get()));
}

// --- ComControl::Site ---

// The control's client site: the form's window, the ambient properties, and nothing of in-place
// activation (the form never shows its controls in place).
class ComControl::Site final : public ComObject<IOleClientSite, IOleInPlaceSite, IDispatch> {
 public:
  explicit Site(ControlContainer container) : m_container(std::move(container)) {}

  bool userMode() const { return m_container.userMode; }
  void setUserMode(bool userMode) { m_container.userMode = userMode; }
  // The control has let go of the site; should it still call, the form is no longer there.
  void detach() { m_container.window = nullptr; }

  // IUnknown: IOleWindow through IOleInPlaceSite.
  void* find(REFIID riid) override {
    if (riid == IID_IOleWindow) return static_cast<IOleInPlaceSite*>(this);
    return listed(riid);
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = m_container.window ? toHwnd(m_container.window()) : nullptr;
    return *window != nullptr ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT, LPRECT, LPOLEINPLACEFRAMEINFO) override {
    if (frame != nullptr) *frame = nullptr;
    if (doc != nullptr) *doc = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IDispatch: the ambient properties.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      const bool userModeName = i == 0 && lstrcmpiW(names[i], L"UserMode") == 0;
      ids[i] = userModeName ? DISPID_AMBIENT_USERMODE : DISPID_UNKNOWN;
      if (!userModeName) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE) return DISP_E_MEMBERNOTFOUND;
    if ((flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params != nullptr && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (result == nullptr) return E_POINTER;
    VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = m_container.userMode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

 private:
  ControlContainer m_container;
};

// --- ComControl ---

namespace {

ComPtr<IDispatch> dispatchOf(const ComPtr<IUnknown>& object) {
  ComPtr<IDispatch> dispatch;
  if (!object || FAILED(object.As(&dispatch)) || !dispatch)
    throw RuntimeError(err::kCantCreateObject);
  return dispatch;
}

}  // namespace

ComControl::ComControl(ComPtr<IDispatch> object, ControlContainer container)
    : ComDispatch(std::move(object)) {
  m_site = takeNew(new Site(std::move(container)));
  get()->QueryInterface(IID_PPV_ARGS(&m_ole));
}

std::shared_ptr<ComControl> ComControl::create(std::string_view progId, ControlContainer container,
                                               PropertyBag* saved) {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(toWide(progId).c_str(), &clsid)))
    throw RuntimeError(err::kCantCreateObject);
  ComPtr<IUnknown> object;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_PPV_ARGS(&object))))
    throw RuntimeError(err::kCantCreateObject);
  return place(std::move(object), std::move(container), saved);
}

std::shared_ptr<ComControl> ComControl::place(ComPtr<IUnknown> object, ControlContainer container,
                                              PropertyBag* saved) {
  auto control = std::make_shared<ComControl>(dispatchOf(object), std::move(container));
  adopt(control);
  // Should loading fail, dropping the control takes it down again.
  control->load(saved);
  return control;
}

void ComControl::load(PropertyBag* saved) {
  DWORD status = 0;
  const bool siteFirst = m_ole && SUCCEEDED(m_ole->GetMiscStatus(DVASPECT_CONTENT, &status)) &&
                         (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
  const auto site = [this] {
    if (!m_ole) return;
    const HRESULT hr = m_ole->SetClientSite(m_site.Get());
    if (FAILED(hr)) throw errorFromHresult(hr);
    m_sited = true;
  };
  if (siteFirst) site();

  ComPtr<IPersistPropertyBag> persist;
  if (SUCCEEDED(get()->QueryInterface(IID_PPV_ARGS(&persist)))) {
    HRESULT hr = S_OK;
    if (saved != nullptr) {
      const ComPtr<PropertyBagObject> bag = PropertyBagObject::make(*saved);
      hr = persist->Load(bag.Get(), nullptr);
      bag->close();
    } else {
      hr = persist->InitNew();
    }
    if (FAILED(hr)) throw errorFromHresult(hr);
  } else {
    // A control without property bags may still want to start as a new one.
    ComPtr<IPersistStreamInit> stream;
    if (SUCCEEDED(get()->QueryInterface(IID_PPV_ARGS(&stream)))) stream->InitNew();
  }

  if (!siteFirst) site();
}

ComControl::~ComControl() {
  unadviseAll();
  if (m_ole) {
    m_ole->Close(OLECLOSE_NOSAVE);
    if (m_sited) m_ole->SetClientSite(nullptr);
  }
  m_site->detach();
  // The last reference goes with ComDispatch.
}

void ComControl::save(PropertyBag& bag) {
  ComPtr<IPersistPropertyBag> persist;
  if (FAILED(get()->QueryInterface(IID_PPV_ARGS(&persist)))) throw RuntimeError(err::kNotSupported);
  const ComPtr<PropertyBagObject> object = PropertyBagObject::make(bag);
  const HRESULT hr = persist->Save(object.Get(), TRUE, TRUE);
  object->close();
  if (FAILED(hr)) throw errorFromHresult(hr);
}

bool ComControl::userMode() const {
  return m_site->userMode();
}

void ComControl::setUserMode(bool userMode) {
  if (m_site->userMode() == userMode) return;
  m_site->setUserMode(userMode);
  ComPtr<IOleControl> control;
  if (SUCCEEDED(get()->QueryInterface(IID_PPV_ARGS(&control))))
    control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
}

ComAutomation::Factory controlFactory(std::string progId, ControlContainer container,
                                      std::shared_ptr<PropertyBag> saved) {
  return [progId = std::move(progId), container = std::move(container),
          saved = std::move(saved)]() -> ObjectRef {
    return ComControl::create(progId, container, saved.get());
  };
}

}  // namespace morvane::win32
