// The per-user settings store in the registry, where Basic programs' GetSetting and SaveSetting
// keep their values, so that installations keep their settings:
// HKEY_CURRENT_USER\<root>\<application>\<section>, one string value (REG_SZ) per key.
#pragma once

#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace morvane::win32 {

class Win32SettingsStore : public SettingsStore {
 public:
  // The root under HKEY_CURRENT_USER that Basic programs use.
  static constexpr std::string_view kBasicSettingsRoot = "Software\\VB and VBA Program Settings";

  // Tests pass a scratch root of their own.
  explicit Win32SettingsStore(std::string root = std::string(kBasicSettingsRoot));

  const std::string& root() const { return m_root; }
  // The key below HKEY_CURRENT_USER that holds one section's values.
  std::string sectionKey(std::string_view application, std::string_view section) const;

  // Only a REG_SZ value is a setting: a value of any other type (REG_EXPAND_SZ, REG_MULTI_SZ,
  // REG_DWORD, REG_BINARY ...) was not written by SaveSetting, and reads as missing. The text
  // ends at its first NUL. An empty application or section name reads as missing.
  std::string getSetting(std::string_view application, std::string_view section,
                         std::string_view key, std::string_view defaultValue) override;
  // Creates the application and section keys as needed and writes a REG_SZ value. Throws
  // RuntimeError 5 when the value cannot be saved (an empty application or section name, a key
  // that cannot be created or written).
  void saveSetting(std::string_view application, std::string_view section, std::string_view key,
                   std::string_view value) override;

 private:
  std::string m_root;
};

}  // namespace morvane::win32
