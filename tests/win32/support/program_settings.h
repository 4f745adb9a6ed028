// The per-user settings Morvane's programs keep in the registry, set by a test and removed again:
// the key goes when the object goes, unless it was there before.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/win32_settings_store.h"
#include "shared/settings/settings_keys.h"

namespace morvane::wintest {

class ProgramSettings {
 public:
  ProgramSettings() : m_existed(keyExists()) {}
  ~ProgramSettings() {
    if (!m_existed) RegDeleteTreeA(HKEY_CURRENT_USER, appKey().c_str());
  }
  ProgramSettings(const ProgramSettings&) = delete;
  ProgramSettings& operator=(const ProgramSettings&) = delete;

  void set(std::string_view key, std::string_view value) { settings::save(m_store, key, value); }
  // The value as the programs read it; "<none>" when it is not stored.
  std::string get(std::string_view key) { return settings::read(m_store, key, "<none>"); }

 private:
  static std::string appKey() {
    return std::string(win32::Win32SettingsStore::kBasicSettingsRoot) + "\\" +
           std::string(settings::kApplication);
  }
  static bool keyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, appKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }
  win32::Win32SettingsStore m_store;
  bool m_existed;
};

}  // namespace morvane::wintest
