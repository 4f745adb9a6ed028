#include "platform/win32/com/com_persistence.h"

#include <string>

#include "platform/runtime_error.h"
#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_variant.h"

namespace morvane::win32 {

ComPropertyBag::ComPropertyBag(IPropertyBag* bag, IErrorLog* log, bool saveAll)
    : m_bag(bag), m_log(log), m_saveAll(saveAll) {}

Variant ComPropertyBag::readProperty(std::string_view name, const Variant& defaultValue) {
  const std::wstring key = toWide(name);
  ComVariant value;
  if (FAILED(m_bag->Read(key.c_str(), value.get(), m_log))) return defaultValue;
  return fromVariant(*value);
}

void ComPropertyBag::writeProperty(std::string_view name, const Variant& value,
                                   const Variant& defaultValue) {
  if (!m_saveAll && value == defaultValue) return;
  const std::wstring key = toWide(name);
  ComVariant stored;
  toVariant(value, *stored.get());
  const HRESULT hr = m_bag->Write(key.c_str(), stored.get());
  if (FAILED(hr)) throw errorFromHresult(hr);
}

}  // namespace morvane::win32
