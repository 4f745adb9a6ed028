// The icon control's container as an ActiveX control in a DLL sees it: the client site the
// container gives the control (IOleObject::SetClientSite), whose IDispatch answers the ambient
// properties.
#pragma once

#include <string_view>

#include "platform/automation.h"
#include "trayicon/control_site.h"

#include "platform/win32/win32_base.h"

#include <oleidl.h>
#include <wrl/client.h>

namespace morvane::win32 {

class OleControlSite : public ControlSite {
 public:
  OleControlSite() = default;

  // The container's client site (null: none any more), and the user-mode flag read from it.
  void setClientSite(IOleClientSite* site);
  IOleClientSite* clientSite() const { return m_site.Get(); }
  // Reads the ambient user-mode flag (DISPID_AMBIENT_USERMODE) from the site's IDispatch. A
  // container without a site, without IDispatch or without the property runs its controls: user
  // mode.
  void readUserMode();
  // The control whose property-change notices go to its IPropertyNotifySink sinks.
  void notifyFor(const Dispatch* control) { m_control = control; }

  bool userMode() override { return m_userMode; }
  // OnChanged, with the property's dispatch identifier, to the control's sinks.
  void propertyChanged(std::string_view name) override;
  // The window of the site (IOleWindow); 0 without a site or a window.
  Hwnd containerWindow() override;

 private:
  Microsoft::WRL::ComPtr<IOleClientSite> m_site;
  bool m_userMode = true;
  const Dispatch* m_control = nullptr;
};

}  // namespace morvane::win32
