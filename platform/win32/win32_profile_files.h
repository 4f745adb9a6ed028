// The private profile port on kernel32: every call is one GetPrivateProfileStringA or
// WritePrivateProfileStringA call, so the rules file follows Windows' own rules exactly.
#pragma once

#include "platform/profile_files.h"

namespace morvane::win32 {

class Win32ProfileFiles : public ProfileFiles {
 public:
  Win32ProfileFiles() = default;

  uint32_t getPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, uint32_t size, const char* file) override;
  bool writePrivateProfileStringA(const char* section, const char* key, const char* value,
                                  const char* file) override;
};

}  // namespace morvane::win32
