#include "platform/sim/sim_profile_files.h"

#include <optional>
#include <string>

#include "platform/sim/ini_engine.h"

namespace morvane::sim {

namespace {

constexpr std::string_view kWindowsFolder = "C:\\Windows\\";

// A file that starts with the UTF-16LE byte-order mark is read and written as UTF-16LE; an odd
// last byte, which no character can hold, is kept as it is.
struct Utf16File {
  std::u16string text;
  std::string oddByte;
};

bool isUtf16(const std::string& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}

Utf16File decodeUtf16(const std::string& bytes) {
  Utf16File file;
  size_t i = 2;
  for (; i + 1 < bytes.size(); i += 2) {
    file.text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  file.oddByte = bytes.substr(i);
  return file;
}

std::string encodeUtf16(const Utf16File& file) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : file.text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  bytes += file.oddByte;
  return bytes;
}

// The file after one write call; `content` is nullopt for a missing file (created as ANSI).
template <class C>
std::basic_string<C> edit(std::optional<std::basic_string_view<C>> content,
                          std::basic_string_view<C> section, const char* key,
                          std::basic_string_view<C> keyText, const char* value,
                          std::basic_string_view<C> valueText) {
  if (!key) return ini::deleteSection(content, section);
  if (!value) return ini::deleteKey(content, section, keyText);
  return ini::writeKey(content, section, keyText, valueText);
}

}  // namespace

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
  const std::string_view sectionText = section ? section : "";
  const std::string_view keyText = key ? key : "";
  // Listing sections or keys (a null name) is not offered: the default comes back.
  std::optional<std::string> bytes;
  if (section && key && file) bytes = m_files.readFile(fullPath(file));
  std::string value;
  if (bytes && isUtf16(*bytes)) {
    // The ANSI call reads a Unicode file through Unicode: what the code page lacks reads as "?".
    const Utf16File unicode = decodeUtf16(*bytes);
    value = ini::unicodeToAnsi(
        ini::readValue(std::u16string_view(unicode.text), ini::ansiToUnicode(sectionText),
                       ini::ansiToUnicode(keyText), ini::ansiToUnicode(fallback)));
  } else {
    std::optional<std::string_view> content;
    if (bytes) content = *bytes;
    value = ini::readValue(content, sectionText, keyText, fallback);
  }
  // Quotes are stripped before the value is cut to the buffer (unverified order on Windows).
  return ini::copyToBuffer(value, buffer, size);
}

bool SimProfileFiles::writePrivateProfileStringA(const char* section, const char* key,
                                                 const char* value, const char* file) {
  if (!section || !file) return false;  // no section: nothing is touched, FALSE
  const std::string path = fullPath(file);
  std::optional<std::string> bytes = m_files.readFile(path);
  if (!bytes && m_files.exists(path)) return false;  // a folder, or unreadable
  std::string updated;
  if (bytes && isUtf16(*bytes)) {
    Utf16File unicode = decodeUtf16(*bytes);
    unicode.text = edit<char16_t>(std::u16string_view(unicode.text), ini::ansiToUnicode(section),
                                  key, ini::ansiToUnicode(key ? key : ""), value,
                                  ini::ansiToUnicode(value ? value : ""));
    updated = encodeUtf16(unicode);
  } else {
    std::optional<std::string_view> content;
    if (bytes) content = *bytes;
    updated = edit<char>(content, section, key, key ? key : "", value, value ? value : "");
  }
  // A delete that finds nothing changes nothing; a missing file is still created (empty).
  if (bytes && updated == *bytes) return true;
  return m_files.writeFile(path, updated);
}

}  // namespace morvane::sim
