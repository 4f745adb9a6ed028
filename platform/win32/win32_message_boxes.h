// Message boxes on user32's MessageBoxA.
#pragma once

#include "platform/message_boxes.h"

namespace morvane::win32 {

class Win32MessageBoxes : public MessageBoxes {
 public:
  Win32MessageBoxes() = default;

  // A box owned by the calling thread's active window (none for a program without a visible
  // window), brought to the foreground. Should the system fail to show it, the answer is the
  // one that closing the box would give (Ok, Cancel, No; Abort for Abort/Retry/Ignore).
  MsgResult show(std::string_view text, std::string_view caption, MsgButtons buttons,
                 MsgIcon icon, MsgDefault defaultButton = MsgDefault::First) override;
};

}  // namespace morvane::win32
