#include "tests/win32/support/scratch.h"

#include <atomic>
#include <system_error>

#include "platform/win32/win32_base.h"

namespace morvane::wintest {

namespace {
constexpr const char* kTestsKey = "Software\\Morvane Tests";
}  // namespace

std::string uniqueName(std::string_view hint) {
  static std::atomic<unsigned> counter{0};
  return std::string(hint) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount64()) + "-" + std::to_string(++counter);
}

ScratchFolder::ScratchFolder(std::string_view nameHint) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return;
  const std::filesystem::path candidate = base / win32::toWide(uniqueName(nameHint));
  if (!std::filesystem::create_directory(candidate, ec) || ec) return;
  m_path = candidate;
  m_ansi = win32::toAnsi(m_path.wstring());
  while (m_ansi.size() > 3 && m_ansi.back() == '\\') m_ansi.pop_back();
}

ScratchFolder::~ScratchFolder() {
  if (m_path.empty()) return;
  std::error_code ec;
  // Read-only files left by a test must not stop the clean-up.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ec)) {
    SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(m_path, ec);
}

std::string ScratchFolder::file(std::string_view name) const {
  return m_ansi + "\\" + std::string(name);
}

std::string ScratchFolder::folder(std::string_view name) const {
  const std::string path = file(name);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(win32::toWide(path)), ec);
  return path;
}

ScratchRegistryKey::ScratchRegistryKey()
    : m_path(std::string(kTestsKey) + "\\" + uniqueName("key")) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

ScratchRegistryKey::~ScratchRegistryKey() {
  RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, m_path.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kTestsKey);  // fails, as it should, while other keys remain
}

}  // namespace morvane::wintest
