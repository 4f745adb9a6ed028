#include "shared/settings/IniLib.h"

#include <algorithm>

#include "platform/ansi_text.h"
#include "platform/conversions.h"

namespace morvane {

namespace {
// The reading buffer holds the longest value the rules file needs whole, a layout name of ACT!'s
// (254 characters), and its NUL; a longer value is cut there.
constexpr uint32_t kLongestValue = 254;
constexpr uint32_t kSizeGivenToCall = kLongestValue + 1;
}  // namespace

std::string keyProblem(std::string_view value) {
  if (value.find_first_of("\r\n") != std::string_view::npos) return "contains a line break";
  // The profile functions drop a key's blanks (spaces) at both ends, on writing and on reading.
  const size_t first = value.find_first_not_of(' ');
  const size_t last = value.find_last_not_of(' ');
  const std::string_view key =
      first == std::string_view::npos ? std::string_view() : value.substr(first, last - first + 1);
  if (key.starts_with('[')) return "begins with \"[\"";
  if (key.starts_with(';')) return "begins with \";\"";
  if (key.find('=') != std::string_view::npos) return "contains \"=\"";
  // A tab or vertical tab at either end is dropped from the file's line, but not from the name
  // asked for.
  const auto isTab = [](char c) { return c == '\t' || c == '\v'; };
  if (!key.empty() && (isTab(key.front()) || isTab(key.back()))) return "begins or ends with a tab";
  for (const char* own : {kReferenceFieldKey, kNoLayoutAssignedKey}) {
    if (ansi::equalsNoCase(key, own))
      return std::string("is named like its own entry \"") + own + "\"";
  }
  return "";
}

std::string IniLib::GetKeyValue(const std::string& section, const std::string& key,
                                const std::string& defaultValue, const std::string& valueType,
                                const std::string& invalidDefault, std::string file) {
  std::string result;
  m_trap.run("in IniLib: Function GetKeyValue", [&](int& line) {
    line = 1;
    if (file.empty()) file = RulesFilePath;
    line = 2;
    char buffer[kSizeGivenToCall] = {};
    line = 3;
    const uint32_t count = m_files.getPrivateProfileStringA(section.c_str(), key.c_str(), "",
                                                            buffer, kSizeGivenToCall, file.c_str());
    line = 4;
    if (count == 0) {
      result = defaultValue;
    } else {
      // Never trust a count beyond what the call was allowed to copy.
      result.assign(buffer, std::min(count, kLongestValue));
    }
    line = 5;
    if ((valueType == kNumeric || valueType == kBoolean) && !conv::isNumeric(result) &&
        !invalidDefault.empty()) {
      result = invalidDefault;
    }
  });
  return result;
}

bool IniLib::SetKeyValue(const std::string& section, const std::string& key,
                         const std::string& value, std::string file) {
  if (file.empty()) file = RulesFilePath;
  return m_files.writePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                            file.c_str());
}

bool IniLib::DeleteSection(const std::string& section, std::string file) {
  if (file.empty()) file = RulesFilePath;
  return m_files.writePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str());
}

}  // namespace morvane
