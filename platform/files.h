// The file operations of Basic the settings dialog uses (Dir$, FileCopy, Open ... For Output), on
// Windows paths in the ANSI code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class Files {
 public:
  Files() = default;
  Files(const Files&) = delete;
  Files& operator=(const Files&) = delete;
  virtual ~Files() = default;

  // A file (not a folder) is there.
  virtual bool fileExists(std::string_view path) = 0;
  virtual bool folderExists(std::string_view path) = 0;
  // Copies a file over any file at `to`; false when it could not (onto itself it never can).
  virtual bool copyFile(std::string_view from, std::string_view to) = 0;
  // Creates or replaces a file holding these bytes; false when it could not.
  virtual bool writeFile(std::string_view path, std::string_view bytes) = 0;
  // The names, without the folder, of the files in a folder (Dir$ with "\*.*"); none when the
  // folder is missing.
  virtual std::vector<std::string> fileNames(std::string_view folder) = 0;
};

}  // namespace morvane
