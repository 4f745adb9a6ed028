// The Files port on kernel32's A calls.
#pragma once

#include "platform/files.h"

namespace morvane::win32 {

class Win32Files : public Files {
 public:
  bool fileExists(std::string_view path) override;
  bool folderExists(std::string_view path) override;
  bool copyFile(std::string_view from, std::string_view to) override;
  bool writeFile(std::string_view path, std::string_view bytes) override;
  std::vector<std::string> fileNames(std::string_view folder) override;
};

}  // namespace morvane::win32
