// The per-user settings store of the simulation: one INI file per user, by default
// $XDG_CONFIG_HOME/morvane/settings.ini (or ~/.config/...), or the file named by the environment
// variable MORVANE_SETTINGS_FILE. Application and section become one INI section
// "[Morvane\Settings]", as in the registry path. Values are stored in quotes with control
// characters and "%" written as %XX, so any text round-trips exactly.
//
// Every call reads the file afresh; a save changes only its own line (ini_engine.h) and replaces
// the file atomically under a lock file, so keys written by another program are never lost and
// content this store cannot read (a damaged or hand-edited file) is kept as it is, never dropped.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace morvane::sim {

class SimSettingsStore : public SettingsStore {
 public:
  // The store in the user's configuration folder (see above).
  SimSettingsStore();
  // The store in the given file; tests use this with a temporary folder.
  explicit SimSettingsStore(std::filesystem::path file);

  static std::filesystem::path defaultFile();
  const std::filesystem::path& file() const { return m_file; }

  // An empty application or section name reads as missing.
  std::string getSetting(std::string_view application, std::string_view section,
                         std::string_view key, std::string_view defaultValue) override;
  // Throws RuntimeError 5 when the value cannot be saved: an empty application or section name,
  // a folder that cannot be created, a file that cannot be read or replaced.
  void saveSetting(std::string_view application, std::string_view section, std::string_view key,
                   std::string_view value) override;

 private:
  std::filesystem::path m_file;
};

}  // namespace morvane::sim
