#include "trayicon/win32/ole_control_site.h"

#include "platform/ansi_text.h"
#include "trayicon/nubrix_members.h"

#include "platform/win32/com/com_server.h"
#include "platform/win32/com/com_variant.h"

#include <olectl.h>

namespace morvane::win32 {

using Microsoft::WRL::ComPtr;

void OleControlSite::setClientSite(IOleClientSite* site) {
  m_site = site;
  readUserMode();
}

void OleControlSite::readUserMode() {
  m_userMode = true;
  ComPtr<IDispatch> ambient;
  if (!m_site || FAILED(m_site.As(&ambient))) return;
  DISPPARAMS none{};
  ComVariant value;
  if (FAILED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                             DISPATCH_PROPERTYGET, &none, value.get(), nullptr, nullptr))) {
    return;
  }
  ComVariant flag;
  if (SUCCEEDED(VariantChangeType(flag.get(), value.get(), 0, VT_BOOL)))
    m_userMode = flag->boolVal != VARIANT_FALSE;
}

void OleControlSite::propertyChanged(std::string_view name) {
  if (m_control == nullptr) return;
  for (const auto& member : nubrix::kMembers) {
    if (ansi::equalsNoCase(member.name, name)) {
      notifyPropertyChanged(*m_control, member.id);
      return;
    }
  }
}

Hwnd OleControlSite::containerWindow() {
  ComPtr<IOleWindow> window;
  HWND hwnd = nullptr;
  if (m_site && SUCCEEDED(m_site.As(&window)) && SUCCEEDED(window->GetWindow(&hwnd)))
    return fromHwnd(hwnd);
  return 0;
}

}  // namespace morvane::win32
