#include "platform/sim/sim_profile_files.h"

#include <optional>
#include <string>

#include "platform/sim/ini_engine.h"

namespace morvane::sim {

namespace {
constexpr std::string_view kWindowsFolder = "C:\\Windows\\";
}

std::string SimProfileFiles::fullPath(std::string_view file) {
  if (file.find_first_of("\\/:") == std::string_view::npos) {
    return std::string(kWindowsFolder) + std::string(file);
  }
  return std::string(file);
}

uint32_t SimProfileFiles::getPrivateProfileStringA(const char* section, const char* key,
                                                   const char* defaultValue, char* buffer,
                                                   uint32_t size, const char* file) {
  const std::string_view fallback = defaultValue ? defaultValue : "";
  // Listing sections or keys (a null name) is not offered: the default comes back.
  std::optional<std::string> bytes;
  if (section && key && file) bytes = m_files.readFile(fullPath(file));
  std::optional<std::string_view> content;
  if (bytes) content = *bytes;
  const std::string value =
      ini::readValue(content, section ? section : "", key ? key : "", fallback);
  // Quotes are stripped before the value is cut to the buffer (unverified order on Windows).
  return ini::copyToBuffer(value, buffer, size);
}

bool SimProfileFiles::writePrivateProfileStringA(const char* section, const char* key,
                                                 const char* value, const char* file) {
  if (!section || !file) return false;  // no section: nothing is touched, FALSE
  const std::string path = fullPath(file);
  std::optional<std::string> bytes = m_files.readFile(path);
  if (!bytes && m_files.exists(path)) return false;  // a folder, or unreadable
  std::optional<std::string_view> content;
  if (bytes) content = *bytes;
  std::string updated;
  if (!key) {
    updated = ini::deleteSection(content, section);
  } else if (!value) {
    updated = ini::deleteKey(content, section, key);
  } else {
    updated = ini::writeKey(content, section, key, value);
  }
  // A delete that finds nothing changes nothing; a missing file is still created (empty).
  if (bytes && updated == *bytes) return true;
  return m_files.writeFile(path, updated);
}

}  // namespace morvane::sim
