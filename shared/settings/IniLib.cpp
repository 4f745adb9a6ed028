#include "shared/settings/IniLib.h"

#include <algorithm>

#include "platform/conversions.h"

namespace morvane {

namespace {
// The reading buffer: 128 characters, of which the call is told 127, so at most 126 come back.
constexpr uint32_t kBufferSize = 128;
constexpr uint32_t kSizeGivenToCall = kBufferSize - 1;
}  // namespace

std::string IniLib::GetKeyValue(const std::string& section, const std::string& key,
                                const std::string& defaultValue, const std::string& valueType,
                                const std::string& invalidDefault, std::string file) {
  std::string result;
  m_trap.run("in IniLib: Function GetKeyValue", [&](int& line) {
    line = 1;
    if (file.empty()) file = RulesFilePath;
    line = 2;
    char buffer[kBufferSize] = {};
    line = 3;
    const uint32_t count = m_files.getPrivateProfileStringA(section.c_str(), key.c_str(), "",
                                                            buffer, kSizeGivenToCall, file.c_str());
    line = 4;
    if (count == 0) {
      result = defaultValue;
    } else {
      // Never trust a count beyond what the call was allowed to copy.
      result.assign(buffer, std::min(count, kSizeGivenToCall - 1));
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
