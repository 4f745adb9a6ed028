// The private profile (INI) rules of Windows, applied to a file's text: reading one key, and
// the edits that writing a key, deleting a key and deleting a section make to the file. Pure:
// the caller reads and writes the file. An ANSI file is worked on as its bytes; a file that
// starts with a UTF-16LE byte-order mark as UTF-16 text (the u16 overloads), as Windows does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvane::ini {

// Names compare as Windows compares ANSI names: letter case ignored, including the accented
// letters of the Western code page (1252).
bool namesEqual(std::string_view a, std::string_view b);

// What GetPrivateProfileString returns for one key before the buffer limit: the value as the
// file holds it (blanks around it dropped, one pair of outer quotes removed), or the default
// without its trailing spaces when the file (nullopt), the section or the key is missing.
std::string readValue(std::optional<std::string_view> file, std::string_view section,
                      std::string_view key, std::string_view defaultValue);
std::u16string readValue(std::optional<std::u16string_view> file, std::u16string_view section,
                         std::u16string_view key, std::u16string_view defaultValue);

// Copies text into a caller's buffer of `size` bytes as the profile functions do: at most
// size - 1 bytes and a NUL; nothing at all when size is 0. Returns the bytes copied.
uint32_t copyToBuffer(std::string_view text, char* buffer, uint32_t size);

// The file after WritePrivateProfileString(section, key, value): the key's line replaced in
// place, or a new line after the section's last key, or a new section at the end. `file` is
// nullopt for a missing file, which is created.
std::string writeKey(std::optional<std::string_view> file, std::string_view section,
                     std::string_view key, std::string_view value);
std::u16string writeKey(std::optional<std::u16string_view> file, std::u16string_view section,
                        std::u16string_view key, std::u16string_view value);

// The file after deleting one key (value NULL): its line goes, the section header stays.
std::string deleteKey(std::optional<std::string_view> file, std::string_view section,
                      std::string_view key);
std::u16string deleteKey(std::optional<std::u16string_view> file, std::u16string_view section,
                         std::u16string_view key);

// The file after deleting a section (key NULL): the header and the section's key lines go;
// its comment lines, blank lines and other lines stay where they are.
std::string deleteSection(std::optional<std::string_view> file, std::string_view section);
std::u16string deleteSection(std::optional<std::u16string_view> file, std::u16string_view section);

// Windows-1252 text to UTF-16 and back; a character the code page lacks becomes "?".
std::u16string ansiToUnicode(std::string_view ansi);
std::string unicodeToAnsi(std::u16string_view text);

}  // namespace morvane::ini
