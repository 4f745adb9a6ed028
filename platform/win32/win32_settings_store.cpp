#include "platform/win32/win32_settings_store.h"

#include <utility>
#include <vector>

#include "platform/runtime_error.h"
#include "platform/win32/win32_base.h"

namespace morvane::win32 {

namespace {

// An open registry key, closed when it goes.
class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (m_key) RegCloseKey(m_key);
  }
  HKEY get() const { return m_key; }
  HKEY* out() { return &m_key; }

 private:
  HKEY m_key = nullptr;
};

}  // namespace

Win32SettingsStore::Win32SettingsStore(std::string root) : m_root(std::move(root)) {}

std::string Win32SettingsStore::sectionKey(std::string_view application,
                                           std::string_view section) const {
  std::string path = m_root;
  path += '\\';
  path += application;
  path += '\\';
  path += section;
  return path;
}

std::string Win32SettingsStore::getSetting(std::string_view application, std::string_view section,
                                           std::string_view key, std::string_view defaultValue) {
  if (application.empty() || section.empty()) return std::string(defaultValue);
  RegKey hkey;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, sectionKey(application, section).c_str(), 0, KEY_QUERY_VALUE,
                    hkey.out()) != ERROR_SUCCESS) {
    return std::string(defaultValue);
  }
  const std::string name(key);
  // RRF_RT_REG_SZ refuses every other type and NUL-terminates the text; RRF_NOEXPAND keeps a
  // REG_EXPAND_SZ value from being expanded into a REG_SZ one. The size is asked again when the
  // value grew between the two calls.
  std::vector<char> data(256);
  for (;;) {
    DWORD size = static_cast<DWORD>(data.size());
    const LSTATUS status = RegGetValueA(hkey.get(), nullptr, name.c_str(),
                                        RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, data.data(), &size);
    if (status == ERROR_SUCCESS) return std::string(data.data());
    if (status != ERROR_MORE_DATA) return std::string(defaultValue);
    data.resize(static_cast<size_t>(size) + 1);
  }
}

void Win32SettingsStore::saveSetting(std::string_view application, std::string_view section,
                                     std::string_view key, std::string_view value) {
  if (application.empty() || section.empty()) throw RuntimeError(err::kInvalidProcedureCall);
  RegKey hkey;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, sectionKey(application, section).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, hkey.out(),
                      nullptr) != ERROR_SUCCESS) {
    throw RuntimeError(err::kInvalidProcedureCall);
  }
  const std::string name(key);
  const std::string text(value);
  if (RegSetValueExA(hkey.get(), name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS) {
    throw RuntimeError(err::kInvalidProcedureCall);
  }
}

}  // namespace morvane::win32
