#include "platform/error_trap.h"

namespace morvane {

std::string supportLineText() {
  return "Please contact " + std::string(kSupportAddress) + " with this error message.";
}

std::string errorMessageText(const RuntimeError& error, std::string_view place, int line,
                             std::string_view supportLine) {
  std::string text = "Error " + std::to_string(error.number()) + ": '" + error.description() + "'";
  text += '\r';
  text += place;
  text += " - Line # " + std::to_string(line);
  text += "\r\r";
  if (supportLine.empty())
    text += supportLineText();
  else
    text += supportLine;
  return text;
}

void ErrorTrap::report(const RuntimeError& error, std::string_view place, int line) const {
  if (m_silent) return;
  if (m_caption) {
    const std::string support = m_supportLine ? m_supportLine() : supportLineText();
    m_boxes.show(errorMessageText(error, place, line, support), m_caption(), MsgButtons::Ok,
                 MsgIcon::None);
  } else {
    m_boxes.show(errorMessageText(error, place, line), m_title + " error", MsgButtons::Ok,
                 MsgIcon::None);
  }
  // A copy: what it does may replace it.
  if (const auto told = onReported) told(error);
}

std::string unhandledErrorText(const RuntimeError& error) {
  return "Run-time error '" + std::to_string(error.number()) + "':\r\r" + error.description();
}

void reportUnhandled(MessageBoxes& boxes, std::string_view programTitle,
                     const RuntimeError& error) {
  boxes.show(unhandledErrorText(error), programTitle, MsgButtons::Ok, MsgIcon::Critical);
}

}  // namespace morvane
