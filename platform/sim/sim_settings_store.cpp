#include "platform/sim/sim_settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "platform/runtime_error.h"
#include "platform/sim/ini_engine.h"
#include "platform/sim/sim_files.h"

namespace morvane::sim {

namespace fs = std::filesystem;

namespace {

// Read back for a key that is not there: escaped text never holds a raw control character.
constexpr std::string_view kMissing = "\x01";

void appendHex(std::string& out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += '%';
  out += kDigits[c >> 4];
  out += kDigits[c & 15];
}

std::string escapeValue(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '%') {
      appendHex(out, u);
    } else {
      out += c;
    }
  }
  return out;
}

// Names additionally lose the characters that would end or change an INI line, and blanks at
// their ends.
std::string escapeName(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    const bool edge = i == 0 || i + 1 == text.size();
    if (u < 0x20 || u == 0x7F || c == '%' || c == '=' || c == '[' || c == ']' || c == ';' ||
        c == '"' || c == '\'' || (edge && c == ' ')) {
      appendHex(out, u);
    } else {
      out += c;
    }
  }
  return out;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A "%" not followed by two hex digits (a hand-edited file) is kept as it is.
std::string unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
        hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string sectionName(std::string_view application, std::string_view section) {
  return escapeName(application) + "\\" + escapeName(section);
}

// An exclusive lock on "<file>.lock" for one read-modify-write; released when it goes.
class FileLock {
 public:
  explicit FileLock(const fs::path& file) {
    m_fd = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd >= 0) {
      while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  bool held() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

}  // namespace

SimSettingsStore::SimSettingsStore() : m_file(defaultFile()) {}

SimSettingsStore::SimSettingsStore(fs::path file) : m_file(std::move(file)) {}

fs::path SimSettingsStore::defaultFile() {
  if (const char* explicitFile = std::getenv("MORVANE_SETTINGS_FILE");
      explicitFile && *explicitFile) {
    return explicitFile;
  }
  fs::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    config = fs::path(home) / ".config";
  } else {
    config = fs::temp_directory_path();
  }
  return config / "morvane" / "settings.ini";
}

std::string SimSettingsStore::getSetting(std::string_view application, std::string_view section,
                                         std::string_view key, std::string_view defaultValue) {
  if (application.empty() || section.empty()) return std::string(defaultValue);
  const std::optional<std::string> bytes = readHostFile(m_file);
  if (!bytes) return std::string(defaultValue);
  const std::string stored =
      ini::readValue(*bytes, sectionName(application, section), escapeName(key), kMissing);
  if (stored == kMissing) return std::string(defaultValue);
  return unescape(stored);
}

void SimSettingsStore::saveSetting(std::string_view application, std::string_view section,
                                   std::string_view key, std::string_view value) {
  if (application.empty() || section.empty()) throw RuntimeError(err::kInvalidProcedureCall);
  std::error_code ec;
  if (m_file.has_parent_path()) fs::create_directories(m_file.parent_path(), ec);
  const FileLock lock(m_file);
  if (!lock.held()) throw RuntimeError(err::kInvalidProcedureCall);
  const std::optional<std::string> bytes = readHostFile(m_file);
  // A file that exists but cannot be read is left alone rather than replaced.
  if (!bytes && fs::exists(m_file, ec)) throw RuntimeError(err::kInvalidProcedureCall);
  std::optional<std::string_view> content;
  if (bytes) content = *bytes;
  std::string quoted = "\"";
  quoted += escapeValue(value);
  quoted += '"';
  const std::string updated =
      ini::writeKey(content, sectionName(application, section), escapeName(key), quoted);
  if (bytes && updated == *bytes) return;
  if (!replaceHostFile(m_file, updated)) throw RuntimeError(err::kInvalidProcedureCall);
}

}  // namespace morvane::sim
