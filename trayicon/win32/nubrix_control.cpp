// The ports first: windows.h defines macros named like their constants.
#include <chrono>
#include <memory>
#include <utility>
#include <vector>

#include "platform/runtime_error.h"
#include "trayicon/nubrix_dispatch.h"
#include "trayicon/win32/nubrix_control.h"
#include "trayicon/win32/ole_control_site.h"

#include "platform/win32/com/com_control_host.h"
#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_persistence.h"
#include "platform/win32/com/com_registration.h"
#include "platform/win32/com/com_server.h"
#include "platform/win32/com/com_variant.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_timers.h"
#include "platform/win32/win32_tray_shell.h"
#include "platform/win32/win32_ui.h"
#include "platform/win32/win32_window_system.h"

#include "nubrix_h.h"

#include <olectl.h>

namespace morvane::win32 {

namespace {

using Microsoft::WRL::ComPtr;

// The services of one control, made for it and gone with it: its own window system (the control
// window, its class registered for this DLL), timer window, notification-area shell, message
// boxes, forms (the about box, of this DLL's form class) and site. Per control rather than per
// thread, so that whatever a control made goes when it goes, and the DLL can be unloaded as soon as
// no control is left. Failures inside their window procedures and ticks are dropped there: the
// host's message loop would never hear of them.
struct ControlServices {
  ControlServices()
      : windows(std::chrono::seconds(10), CallbackFailures::Drop),
        timers(CallbackFailures::Drop),
        ui(windows) {}

  ControlHost host() { return ControlHost{windows, timers, tray, system, boxes, ui, site}; }

  Win32WindowSystem windows;
  Win32Timers timers;
  Win32TrayShell tray;
  Win32Host system;
  Win32MessageBoxes boxes;
  Win32Ui ui;
  OleControlSite site;
};

// --- Going away --------------------------------------------------------------------------------
//
// The last reference to a control may go while the control handles one of its window's messages
// or a tick (a sink releases the control from its Click). Its window system and timers are then
// still on the stack, so the control and its services are parked and destroyed from the thread's
// message loop, by a thread timer, once nothing of theirs runs any more. Parked controls keep the
// DLL in use.

// How many of this thread's controls are handling a message or a tick now.
thread_local int t_busy = 0;

struct Parked {
  ModuleUse use;
  std::shared_ptr<ControlServices> services;
  std::unique_ptr<NubrixDispatch> control;  // goes before its services
};

// Only trivially destructible thread-locals: one with a destructor would have the C++ runtime
// hold the DLL loaded until the thread ends. Controls still parked when their thread ends (it
// stopped handling messages) are not destroyed; their windows go with the thread.
thread_local std::vector<std::unique_ptr<Parked>>* t_parked = nullptr;
thread_local UINT_PTR t_reaper = 0;

void CALLBACK reap(HWND, UINT, UINT_PTR id, DWORD) {
  if (t_busy > 0) return;  // a modal loop inside a callback: later
  KillTimer(nullptr, id);
  t_reaper = 0;
  std::unique_ptr<std::vector<std::unique_ptr<Parked>>> parked(std::exchange(t_parked, nullptr));
}

// Keeps a control (and so its services) alive while it handles a message or a tick.
class Busy {
 public:
  explicit Busy(std::shared_ptr<NubrixDispatch> control) : m_control(std::move(control)) {
    ++t_busy;
  }
  ~Busy() {
    m_control.reset();  // while still busy: a last reference goes to the parking
    --t_busy;
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  std::shared_ptr<NubrixDispatch> m_control;
};

// What the last reference to a control does.
struct Disposal {
  std::shared_ptr<ControlServices> services;

  void operator()(NubrixDispatch* control) {
    // At once, whatever runs: the container's site is let go, and the icon, whose window is
    // about to go, leaves the notification area.
    services->site.setClientSite(nullptr);
    services->tray.deleteShownIcons();
    if (t_busy == 0) {
      delete control;
      services.reset();
      return;
    }
    auto parked = std::make_unique<Parked>();
    parked->services = std::move(services);
    parked->control.reset(control);
    if (t_parked == nullptr) t_parked = new std::vector<std::unique_ptr<Parked>>;
    t_parked->push_back(std::move(parked));
    if (t_reaper == 0) t_reaper = SetTimer(nullptr, 0, 0, &reap);
  }
};

// --- The OLE interfaces ------------------------------------------------------------------------

constexpr int32_t kHimetricPerInch = 2540;
constexpr int32_t kTwipsPerInch = 1440;

int32_t himetricToTwips(LONG himetric) {
  return static_cast<int32_t>(MulDiv(himetric, kTwipsPerInch, kHimetricPerInch));
}

LONG twipsToHimetric(int32_t twips) {
  return MulDiv(twips, kHimetricPerInch, kTwipsPerInch);
}

// What a container sites the control through, on the exposed control's identity. The control has
// no view of its own at run time (it is invisible then) and no verbs: what belongs to a visible,
// activated object is not implemented.
class NubrixOle final : public ComInterfaces,
                        public ComObject<IOleObject, IOleControl, IPersistPropertyBag> {
 public:
  NubrixOle(NubrixDispatch& control, OleControlSite& site) : m_control(control), m_site(site) {}

  // IUnknown: the exposed control's.
  void attach(IUnknown* identity) override {
    ComInterfaces::attach(identity);
    partOf(identity);
  }
  void* find(REFIID riid) override {
    if (riid == IID_IPersist) return static_cast<IPersistPropertyBag*>(this);
    return listed(riid);
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    m_site.setClientSite(site);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    if (site == nullptr) return E_POINTER;
    *site = m_site.clientSite();
    if (*site != nullptr) (*site)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  // Nothing is open or active to close; the icon stays until the container removes it.
  HRESULT STDMETHODCALLTYPE Close(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override {
    if (data != nullptr) *data = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override {
    if (verbs != nullptr) *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override { return GetClassID(clsid); }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* type) override {
    if (type != nullptr) *type = nullptr;
    return OLE_S_USEREG;
  }
  // The container asks for a size; the control keeps its face's.
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override {
    if (size == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    m_control.control().setExtent(himetricToTwips(size->cx), himetricToTwips(size->cy));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override {
    if (size == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    size->cx = twipsToHimetric(m_control.control().width());
    size->cy = twipsToHimetric(m_control.control().height());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* connection) override {
    if (connection != nullptr) *connection = 0;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override {
    if (advises != nullptr) *advises = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    if (status == nullptr) return E_POINTER;
    *status = kNubrixMiscStatus;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override {
    if (info == nullptr) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override {
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) m_site.readUserMode();
    return S_OK;
  }
  // Events are not held back: the control raises them as its window and timer call for them.
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

  // IPersistPropertyBag
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_Nubrix;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InitNew() override {
    return guarded([&] { m_control.control().InitProperties(); });
  }
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override {
    if (bag == nullptr) return E_POINTER;
    return guarded([&] {
      ComPropertyBag saved(bag, log);
      m_control.control().ReadProperties(saved);
    });
  }
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL, BOOL saveAll) override {
    if (bag == nullptr) return E_POINTER;
    return guarded([&] {
      ComPropertyBag saved(bag, nullptr, saveAll != FALSE);
      m_control.control().WriteProperties(saved);
    });
  }

 private:
  template <class Body>
  static HRESULT guarded(Body&& body) {
    try {
      body();
      return S_OK;
    } catch (...) {
      return answerCurrentException(nullptr);
    }
  }

  NubrixDispatch& m_control;
  OleControlSite& m_site;
};

// The control's type information, read from the type library this DLL carries.
struct NubrixTypes {
  ComPtr<ITypeInfo> dispatch;
  ComPtr<ITypeInfo> coclass;
};

NubrixTypes loadTypes() {
  ComPtr<ITypeLib> library;
  NubrixTypes types;
  HRESULT hr = LoadTypeLibEx(toWide(modulePath()).c_str(), REGKIND_NONE, &library);
  if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(DIID__Nubrix, &types.dispatch);
  if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(CLSID_Nubrix, &types.coclass);
  if (FAILED(hr)) throw automationError(hr, systemMessage(static_cast<DWORD>(hr)));
  return types;
}

}  // namespace

ComPtr<IDispatch> createNubrixControl() {
  NubrixTypes types = loadTypes();
  auto services = std::make_shared<ControlServices>();
  std::shared_ptr<NubrixDispatch> control(new NubrixDispatch(services->host()), Disposal{services});
  control->control().InitProperties();
  control->control().holdWhileBusy = [weak = std::weak_ptr<NubrixDispatch>(control)] {
    std::shared_ptr<NubrixDispatch> strong = weak.lock();
    return strong ? std::make_shared<Busy>(std::move(strong)) : std::shared_ptr<Busy>();
  };
  services->site.notifyFor(control.get());
  // No picture reads as an empty picture object, as a Basic control's picture property set to
  // Nothing does: a client may hand it on wherever a picture goes.
  control->standardPicture = [](Hicon icon) {
    return objectFromDispatch(pictureFromIcon(toHicon(icon), IconOwner::Caller).Get());
  };

  ComSurface surface;
  surface.events = &DIID___Nubrix;
  surface.typeInfo = std::move(types.dispatch);
  surface.classInfo = std::move(types.coclass);
  surface.propertyNotifications = true;
  surface.more = std::make_unique<NubrixOle>(*control, services->site);
  return exposeObject(control, std::move(surface));
}

}  // namespace morvane::win32
