// The per-user settings store (GetSetting / SaveSetting).
#pragma once

#include <string>
#include <string_view>

namespace morvane {

class SettingsStore {
 public:
  SettingsStore() = default;
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;
  virtual ~SettingsStore() = default;

  // The stored string, or defaultValue when the application, section or key is missing.
  virtual std::string getSetting(std::string_view application, std::string_view section,
                                 std::string_view key, std::string_view defaultValue) = 0;
  // Stores the string, creating application and section as needed. Throws RuntimeError 5 when it
  // cannot be saved.
  virtual void saveSetting(std::string_view application, std::string_view section,
                           std::string_view key, std::string_view value) = 0;
};

}  // namespace morvane
