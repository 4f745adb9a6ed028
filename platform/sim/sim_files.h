// The simulated file system: Windows paths (C:\ACT\Morvane.ini) mapped onto a sandbox folder of
// the host. C:\a\b.ini lives at <root>/c/a/b.ini: every component is stored in lower case, so
// that names differing only in letter case are the same file, as on Windows. Trailing dots and
// spaces of a component are dropped, as Windows does. Paths that are not absolute (no drive
// letter and no \\server\share), or that hold a character Windows forbids in names, are
// invalid: reads find nothing and writes fail.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace morvane::sim {

// Replaces a host file atomically: the bytes go to a temporary file in the same folder, which is
// then renamed over the old one. False, with the old file untouched and no temporary left, when
// the folder is missing, the target is read-only (no owner write permission, checked here so it
// holds for any user) or not a regular file, or the write fails. `freeSpace` simulates a disk
// that fills up after that many bytes.
bool replaceHostFile(const std::filesystem::path& path, std::string_view bytes,
                     std::optional<uintmax_t> freeSpace = std::nullopt);
// The whole host file, or nullopt when it is missing, not a regular file, or cannot be read.
std::optional<std::string> readHostFile(const std::filesystem::path& path);

class SimFileSystem : public Files {
 public:
  explicit SimFileSystem(std::filesystem::path root);
  SimFileSystem(const SimFileSystem&) = delete;
  SimFileSystem& operator=(const SimFileSystem&) = delete;

  const std::filesystem::path& root() const { return m_root; }

  // The host path of a Windows path, or nullopt when the path is invalid. ".." never leaves
  // the drive.
  std::optional<std::filesystem::path> hostPath(std::string_view windowsPath) const;

  // The whole file, or nullopt when it is missing, a folder, or cannot be read.
  std::optional<std::string> readFile(std::string_view windowsPath) const;
  // writeFile (below) replaces the file atomically (a temporary file in the same folder, renamed
  // over the old one). False, with the old file untouched, when the folder is missing, the file
  // is read-only or a folder, or the write fails.

  bool exists(std::string_view windowsPath) const;  // file or folder
  bool isFile(std::string_view windowsPath) const;
  bool isDirectory(std::string_view windowsPath) const;
  // Creates the folder and any missing parents; true when it exists afterwards.
  bool createDirectory(std::string_view windowsPath);
  bool removeFile(std::string_view windowsPath);
  // copyFile (below) copies a file over another atomically, as writeFile; onto itself it fails,
  // as on Windows.

  // The read-only attribute; kept as the owner's write permission of the host file, and checked
  // by the simulation itself so that it holds even for a privileged test user.
  bool setReadOnly(std::string_view windowsPath, bool readOnly);
  bool isReadOnly(std::string_view windowsPath) const;

  // The Files port. Listed names come in lower case, as the simulation stores them.
  bool fileExists(std::string_view path) override { return isFile(path); }
  bool folderExists(std::string_view path) override { return isDirectory(path); }
  bool copyFile(std::string_view from, std::string_view to) override;
  bool writeFile(std::string_view path, std::string_view bytes) override;
  std::vector<std::string> fileNames(std::string_view folder) override;

  // Test hook: writes that would need more than this many bytes fail as on a full disk
  // (after the temporary file was partly written). nullopt: no limit.
  void setFreeSpace(std::optional<uintmax_t> bytes) { m_freeSpace = bytes; }

 private:
  std::filesystem::path m_root;
  std::optional<uintmax_t> m_freeSpace;
};

}  // namespace morvane::sim
