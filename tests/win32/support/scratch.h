// Throwaway places for one test: a folder under the system's temporary folder and a registry key
// under HKEY_CURRENT_USER, each removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace morvane::wintest {

class ScratchFolder {
 public:
  // A new folder whose name starts with the hint (any ANSI text a folder name may hold).
  explicit ScratchFolder(std::string_view nameHint = "morvane-test");
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  // Windows path in the ANSI code page, without a trailing "\"; empty when it could not be made.
  const std::string& path() const { return m_ansi; }
  // path() + "\" + name.
  std::string file(std::string_view name) const;
  // A sub-folder, made now; its ANSI path.
  std::string folder(std::string_view name) const;

 private:
  std::filesystem::path m_path;
  std::string m_ansi;
};

class ScratchRegistryKey {
 public:
  // A new key HKEY_CURRENT_USER\Software\Morvane Tests\<unique name>.
  ScratchRegistryKey();
  ScratchRegistryKey(const ScratchRegistryKey&) = delete;
  ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;
  // Deletes the key, everything below it, and "Morvane Tests" when nothing else is left there.
  ~ScratchRegistryKey();

  // The key's path below HKEY_CURRENT_USER.
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

// A name no other test of this or another process uses: hint, process id and a counter.
std::string uniqueName(std::string_view hint);

}  // namespace morvane::wintest
