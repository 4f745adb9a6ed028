// The private profile functions on the simulated file system, with Windows' rules (ini_engine.h).
// Every call reads the file afresh; every change replaces the file atomically.
#pragma once

#include "platform/profile_files.h"
#include "platform/sim/sim_files.h"

namespace morvane::sim {

class SimProfileFiles : public ProfileFiles {
 public:
  explicit SimProfileFiles(SimFileSystem& files) : m_files(files) {}

  uint32_t getPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, uint32_t size, const char* file) override;
  bool writePrivateProfileStringA(const char* section, const char* key, const char* value,
                                  const char* file) override;

  // A bare file name means a file in the Windows folder, as on Windows.
  static std::string fullPath(std::string_view file);

 private:
  SimFileSystem& m_files;
};

}  // namespace morvane::sim
