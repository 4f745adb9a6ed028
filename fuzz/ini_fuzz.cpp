// Arbitrary bytes as a rules file, arbitrary names and values: reading, writing and deleting
// never crash, a written value reads back when the names and value can survive the format, a
// write leaves every other key's value alone, and a UTF-16 file with the same characters gives
// the same results.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sim/ini_engine.h"

namespace {

using namespace morvane;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

std::string trimSpaces(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

bool hasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos;
}

// Names that the file can hold as written: one line, no padding other than spaces (the caller's
// spaces are dropped on both sides), nothing that makes the line a header or comment or moves
// the '='.
bool saneSection(const std::string& name) {
  const std::string s = trimSpaces(name);
  if (hasLineBreak(s) || s.find(']') != std::string::npos) return false;
  return s.empty() || (!isBlank(s.front()) && !isBlank(s.back()));
}

bool saneKey(const std::string& name) {
  const std::string k = trimSpaces(name);
  if (hasLineBreak(k) || k.find('=') != std::string::npos) return false;
  if (k.empty()) return true;
  return !isBlank(k.front()) && !isBlank(k.back()) && k.front() != ';' && k.front() != '[';
}

// A value reads back as written when it has no line break, no blanks at its ends and no outer
// pair of quotes.
bool cleanValue(const std::string& v) {
  if (hasLineBreak(v)) return false;
  if (v.empty()) return true;
  if (isBlank(v.front()) || isBlank(v.back())) return false;
  return !(v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(40);
  const std::string key = in.ConsumeRandomLengthString(40);
  const std::string value = in.ConsumeRandomLengthString(200);
  const std::string otherSection = in.ConsumeRandomLengthString(40);
  const std::string otherKey = in.ConsumeRandomLengthString(40);
  const uint32_t bufferSize = in.ConsumeIntegralInRange<uint32_t>(0, 300);
  const int operation = in.ConsumeIntegralInRange<int>(0, 3);
  const std::string file = in.ConsumeRemainingBytesAsString();

  const std::string read = ini::readValue(file, section, key, value);
  char buffer[301];
  const uint32_t copied = ini::copyToBuffer(read, buffer, bufferSize);
  check(copied <= read.size() && (bufferSize == 0 || copied < bufferSize));
  check(bufferSize == 0 || buffer[copied] == '\0');

  // The text of a UTF-16 file holding the same characters obeys the same rules.
  check(ini::unicodeToAnsi(ini::ansiToUnicode(file)) == file);
  const std::u16string file16 = ini::ansiToUnicode(file);
  const std::u16string section16 = ini::ansiToUnicode(section);
  const std::u16string key16 = ini::ansiToUnicode(key);
  const std::u16string value16 = ini::ansiToUnicode(value);
  const std::u16string_view view16(file16);
  check(ini::unicodeToAnsi(ini::readValue(view16, section16, key16, value16)) == read);

  const bool sane = saneSection(section) && saneKey(key) && cleanValue(value);
  const bool otherSane = saneSection(otherSection) && saneKey(otherKey) &&
                         !(ini::namesEqual(trimSpaces(section), trimSpaces(otherSection)) &&
                           ini::namesEqual(trimSpaces(key), trimSpaces(otherKey)));
  const std::string otherBefore = ini::readValue(file, otherSection, otherKey, "\x01missing");
  switch (operation) {
    case 0: {
      const std::string after = ini::writeKey(file, section, key, value);
      const std::u16string after16 = ini::writeKey(view16, section16, key16, value16);
      check(ini::unicodeToAnsi(after16) == after);
      if (sane) {
        check(ini::readValue(after, section, key, "\x01missing") == value);
        if (otherSane) {
          check(ini::readValue(after, otherSection, otherKey, "\x01missing") == otherBefore);
        }
      }
      break;
    }
    case 1: {
      const std::string after = ini::deleteKey(file, section, key);
      check(after.size() <= file.size());
      check(ini::unicodeToAnsi(ini::deleteKey(view16, section16, key16)) == after);
      break;
    }
    case 2: {
      const std::string after = ini::deleteSection(file, section);
      check(after.size() <= file.size());
      check(ini::unicodeToAnsi(ini::deleteSection(view16, section16)) == after);
      break;
    }
    default: {
      const std::string after = ini::deleteSection(std::nullopt, section);
      check(after.empty());
      break;
    }
  }
  return 0;
}
