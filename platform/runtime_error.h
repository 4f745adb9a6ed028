// Run-time errors in the Basic tradition: a number and a description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace morvane {

namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathFileAccess = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidPropertyValue = 380;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kCantCreateObject = 429;
inline constexpr int32_t kNotSupported = 438;
inline constexpr int32_t kAutomationError = 440;
inline constexpr int32_t kWrongArguments = 450;
}  // namespace err

// The text the runtime gives for one of its own error numbers; numbers it does not define give
// "Application-defined or object-defined error".
std::string standardErrorDescription(int32_t number);

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int32_t number, std::string description);
  // An error with the runtime's standard description for its number.
  explicit RuntimeError(int32_t number);

  int32_t number() const { return m_number; }
  const std::string& description() const { return m_description; }

 private:
  int32_t m_number;
  std::string m_description;
};

// A failed automation call: the number is the HRESULT as a signed 32-bit value and the
// description "Automation error", a line break and the system's text for it, when there is one.
RuntimeError automationError(int32_t hresult, const std::string& systemText = {});

}  // namespace morvane
