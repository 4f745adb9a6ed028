// The private profile (INI file) port: GetPrivateProfileStringA and WritePrivateProfileStringA.
#pragma once

#include <cstdint>

namespace morvane {

class ProfileFiles {
 public:
  ProfileFiles() = default;
  ProfileFiles(const ProfileFiles&) = delete;
  ProfileFiles& operator=(const ProfileFiles&) = delete;
  virtual ~ProfileFiles() = default;

  // Reads one key of one section into buffer (size characters, NUL included) with Windows'
  // rules; returns the number of characters copied, without the NUL. `file` is a Windows path.
  // Both names must be non-null here: the programs never list sections or keys.
  virtual uint32_t getPrivateProfileStringA(const char* section, const char* key,
                                            const char* defaultValue, char* buffer, uint32_t size,
                                            const char* file) = 0;
  // Writes one key (value non-null), deletes one key (value null) or deletes a whole section
  // (key null). Returns false when the file could not be written.
  virtual bool writePrivateProfileStringA(const char* section, const char* key, const char* value,
                                          const char* file) = 0;
};

}  // namespace morvane
