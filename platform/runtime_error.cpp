#include "platform/runtime_error.h"

#include <utility>

namespace morvane {

std::string standardErrorDescription(int32_t number) {
  switch (number) {
    case 0: return "";
    case 3: return "Return without GoSub";
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 28: return "Out of stack space";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 57: return "Device I/O error";
    case 61: return "Disk full";
    case 70: return "Permission denied";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 94: return "Invalid use of Null";
    case 380: return "Invalid property value";
    case 424: return "Object required";
    case 429: return "ActiveX component can't create object";
    case 438: return "Object doesn't support this property or method";
    case 440: return "Automation error";
    case 445: return "Object doesn't support this action";
    case 449: return "Argument not optional";
    case 450: return "Wrong number of arguments or invalid property assignment";
    case 462: return "The remote server machine does not exist or is unavailable";
    case 481: return "Invalid picture";
    default: return "Application-defined or object-defined error";
  }
}

RuntimeError::RuntimeError(int32_t number, std::string description)
    : std::runtime_error(description), m_number(number), m_description(std::move(description)) {}

RuntimeError::RuntimeError(int32_t number) : RuntimeError(number, standardErrorDescription(number)) {}

RuntimeError automationError(int32_t hresult, const std::string& systemText) {
  std::string text = "Automation error";
  if (!systemText.empty()) text += "\r\n" + systemText;
  return RuntimeError(hresult, text);
}

}  // namespace morvane
