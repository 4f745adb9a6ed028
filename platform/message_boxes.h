// Message boxes: the one way the programs talk to the user outside their forms.
#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Values as MessageBoxA takes and returns them.
enum class MsgButtons { Ok = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5 };
enum class MsgIcon { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
// Which button Enter presses (MB_DEFBUTTON1, 2, 3).
enum class MsgDefault { First = 0, Second = 256, Third = 512 };
enum class MsgResult { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

class MessageBoxes {
 public:
  MessageBoxes() = default;
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;
  virtual ~MessageBoxes() = default;

  // Shows a modal box and returns the button the user chose. Line breaks in text are CR.
  virtual MsgResult show(std::string_view text, std::string_view caption, MsgButtons buttons,
                         MsgIcon icon, MsgDefault defaultButton = MsgDefault::First) = 0;
};

}  // namespace morvane
