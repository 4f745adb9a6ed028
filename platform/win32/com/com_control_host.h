// A container for COM controls, as a form holds the controls placed on it. A control is created
// by its ProgID, sited on the form (its client site answers the form's window and the ambient
// properties), loaded from the form's saved state through IPersistPropertyBag, and from then on
// called like any other automation object: members by name or dispatch identifier, events through
// its connection point (ComDispatch). Releasing it takes it down as a form does when it unloads.
//
// The order of placing follows the control's OLEMISC_SETCLIENTSITEFIRST flag: such a control is
// sited before it loads, any other after.
//
//   SetClientSite(site) -> IPersistPropertyBag::Load(bag) or ::InitNew   (no saved state)
//   ... calls and events ...
//   Unadvise every sink -> IOleObject::Close(OLECLOSE_NOSAVE) -> SetClientSite(nullptr) -> Release
//
// The site's ambient properties: UserMode (DISPID_AMBIENT_USERMODE) is true at run time and false
// in a designer; every other ambient property is DISP_E_MEMBERNOTFOUND, so the control uses its
// own default. The site answers IOleClientSite, IOleWindow and IOleInPlaceSite (GetWindow gives
// the form's window; it never activates a control in place) and IDispatch for the ambient
// properties.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/property_bag.h"
#include "platform/win32/com/com_automation.h"
#include "platform/win32/com/com_object.h"

#include <ocidl.h>
#include <olectl.h>

namespace morvane::win32 {

// An IPropertyBag over one of our property bags, for as long as the bag lives or until close().
// Read gives the stored value converted as com_variant.h says, changed to the type the caller
// asks for (pVar->vt; VT_EMPTY: as stored). A property that is not stored is E_INVALIDARG, with
// pVar as the caller left it, so the caller keeps its default; a value that does not change to
// the asked type is E_FAIL, and the change's HRESULT goes to the caller's error log. Write stores
// every value it is given (the control leaves out its defaults itself).
class PropertyBagObject final : public ComObject<IPropertyBag> {
 public:
  static Microsoft::WRL::ComPtr<PropertyBagObject> make(PropertyBag& bag);

  // Cuts the object off its bag: a control that kept it gets E_FAIL from then on.
  void close() { m_bag = nullptr; }

  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

 private:
  explicit PropertyBagObject(PropertyBag& bag);

  PropertyBag* m_bag;
  const Variant m_missing;  // what the bag gives for a property it does not hold
};

// Who destroys the icon of a picture made from it.
enum class IconOwner {
  Caller,   // the caller, once the picture is released everywhere
  Picture,  // the picture, when its last reference goes
};

// A picture object (PICTYPE_ICON) showing the icon; throws an automation error when OLE refuses.
// No icon gives the empty picture (PICTYPE_NONE, handle 0), which a Basic picture property set to
// Nothing reads as.
Microsoft::WRL::ComPtr<IPictureDisp> pictureFromIcon(HICON icon, IconOwner owner);
// The same picture as an automation value, for a property bag or a property of picture type.
Variant pictureVariant(HICON icon, IconOwner owner);

// What a form lends the controls placed on it.
struct ControlContainer {
  // The form's window, asked for whenever a control asks (0 while there is none).
  std::function<Hwnd()> window;
  bool userMode = true;
};

class ComControl : public ComDispatch {
 public:
  // Creates the control of the ProgID and places it in the container, loaded from saved (a new
  // control when there is none). 429 when the class is not registered, cannot be created or has
  // no IDispatch; a control that fails to load gives its error, after it was taken down again.
  static std::shared_ptr<ComControl> create(std::string_view progId, ControlContainer container,
                                            PropertyBag* saved);
  // The same for a control object made otherwise.
  static std::shared_ptr<ComControl> place(Microsoft::WRL::ComPtr<IUnknown> object,
                                           ControlContainer container, PropertyBag* saved);

  ComControl(Microsoft::WRL::ComPtr<IDispatch> object, ControlContainer container);
  ~ComControl() override;

  // Saves the control's state into the bag (IPersistPropertyBag::Save, all properties, the
  // control's changes cleared). 438 when the control cannot save into a property bag.
  void save(PropertyBag& bag);

  bool userMode() const;
  // A designer opens (false) or closes: the control hears of it through
  // IOleControl::OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE).
  void setUserMode(bool userMode);

 private:
  class Site;
  void load(PropertyBag* saved);

  Microsoft::WRL::ComPtr<IOleObject> m_ole;  // null: the object is no OLE control; it is not sited
  Microsoft::WRL::ComPtr<Site> m_site;
  bool m_sited = false;
};

// A factory for ComAutomation::registerLocalClass: each object it makes is a control of the ProgID
// placed in the container and loaded from saved.
ComAutomation::Factory controlFactory(std::string progId, ControlContainer container,
                                      std::shared_ptr<PropertyBag> saved);

}  // namespace morvane::win32
