// The programs' common error trap, and the helper for steps whose errors are ignored.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <string_view>

#include "platform/message_boxes.h"
#include "platform/runtime_error.h"

namespace morvane {

// Where users are asked to send the text of an error box.
inline constexpr std::string_view kSupportAddress = "support@morvane.example.com";

// The last line of the standard error box, in English.
std::string supportLineText();

// The text of the standard error box, e.g.
//   Error 13: 'Type mismatch'<CR>in frmAuto: Sub Update_Layout - Line # 7<CR><CR>Please contact ...
// with supportLine as its last line (by default supportLineText()).
std::string errorMessageText(const RuntimeError& error, std::string_view place, int line,
                             std::string_view supportLine = {});

// The runtime's own report of an error that no trap caught, after which the program ends:
//   Run-time error '429':<CR><CR>ActiveX component can't create object
std::string unhandledErrorText(const RuntimeError& error);
// Shows that report (OK, the critical icon, the program title as caption).
void reportUnhandled(MessageBoxes& boxes, std::string_view programTitle, const RuntimeError& error);

// One per program: knows the program title and how to show the box. A trapped procedure runs
// its body through run(); the body keeps `line` at the number of the step it is on.
class ErrorTrap {
 public:
  ErrorTrap(MessageBoxes& boxes, std::string programTitle)
      : m_boxes(boxes), m_title(std::move(programTitle)) {}
  // A dialog's own trap: its box has the caption and the last line that the dialog gives at the
  // moment of the error (they may change while it is open).
  ErrorTrap(MessageBoxes& boxes, std::function<std::string()> caption,
            std::function<std::string()> supportLine)
      : m_boxes(boxes), m_caption(std::move(caption)), m_supportLine(std::move(supportLine)) {}
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  const std::string& programTitle() const { return m_title; }
  MessageBoxes& boxes() const { return m_boxes; }

  // place is e.g. "in Module1: Function EnumMain". Returns false when an error was shown.
  template <class Body>
  bool run(std::string_view place, Body&& body) const {
    int line = 0;
    try {
      body(line);
      return true;
    } catch (const RuntimeError& e) {
      report(e, place, line);
    } catch (const std::bad_alloc&) {
      report(RuntimeError(err::kOutOfMemory), place, line);
    }
    return false;
  }

  // Shows the standard box: OK only, no icon, caption "<title> error" (or the dialog's).
  void report(const RuntimeError& error, std::string_view place, int line) const;

  // Once a program has ended, a procedure still unwinding (an update that was waiting on ACT!
  // when ACT! closed) stops on its error without a box.
  void silence() { m_silent = true; }

  // Told of each error after its box has been shown (not of errors the silenced trap stops on):
  // a program learns there that ACT! has gone or does not answer.
  std::function<void(const RuntimeError&)> onReported;

 private:
  MessageBoxes& m_boxes;
  std::string m_title;
  std::function<std::string()> m_caption;
  std::function<std::string()> m_supportLine;
  bool m_silent = false;
};

// Runs one step whose run-time error is to be ignored ("On Error Resume Next"). Returns false
// when the step failed.
template <class Step>
bool ignoreErrors(Step&& step) {
  try {
    step();
    return true;
  } catch (const RuntimeError&) {
    return false;
  }
}

}  // namespace morvane
