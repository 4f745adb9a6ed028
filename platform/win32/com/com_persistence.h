// A container's property bag (IPropertyBag) as the port's PropertyBag: what a control of ours
// loads its saved state from and saves it to (IPersistPropertyBag::Load and Save).
#pragma once

#include <string_view>

#include "platform/property_bag.h"
#include "platform/win32/win32_base.h"

#include <ocidl.h>

namespace morvane::win32 {

class ComPropertyBag : public PropertyBag {
 public:
  // saveAll: write every property, those at their default too (Save's fSaveAllProperties); the
  // bag and the log must outlive this.
  explicit ComPropertyBag(IPropertyBag* bag, IErrorLog* log = nullptr, bool saveAll = false);

  // The value as the bag holds it (asked for with VT_EMPTY), converted as com_variant.h says (458
  // for a kind the port cannot hold); the default when the bag has none or cannot give it. What a
  // value means for the property is the control's to decide.
  Variant readProperty(std::string_view name, const Variant& defaultValue) override;
  // Writes the value; one equal to the default is left out unless all are saved (the bag cannot
  // drop what it holds: a container saves into a fresh bag). An automation error when the bag
  // refuses.
  void writeProperty(std::string_view name, const Variant& value,
                     const Variant& defaultValue) override;

 private:
  IPropertyBag* m_bag;
  IErrorLog* m_log;
  bool m_saveAll;
};

}  // namespace morvane::win32
