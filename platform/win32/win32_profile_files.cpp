#include "platform/win32/win32_profile_files.h"

#include "platform/win32/win32_base.h"

namespace morvane::win32 {

uint32_t Win32ProfileFiles::getPrivateProfileStringA(const char* section, const char* key,
                                                     const char* defaultValue, char* buffer,
                                                     uint32_t size, const char* file) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, file);
}

bool Win32ProfileFiles::writePrivateProfileStringA(const char* section, const char* key,
                                                   const char* value, const char* file) {
  return WritePrivateProfileStringA(section, key, value, file) != FALSE;
}

}  // namespace morvane::win32
