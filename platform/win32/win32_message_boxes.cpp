#include "platform/win32/win32_message_boxes.h"

#include <string>

#include "platform/win32/win32_base.h"

namespace morvane::win32 {

static_assert(static_cast<UINT>(MsgButtons::YesNo) == MB_YESNO &&
                  static_cast<UINT>(MsgButtons::RetryCancel) == MB_RETRYCANCEL &&
                  static_cast<UINT>(MsgIcon::Critical) == MB_ICONHAND &&
                  static_cast<UINT>(MsgIcon::Information) == MB_ICONASTERISK &&
                  static_cast<int>(MsgResult::No) == IDNO,
              "the port's values are MessageBoxA's");

namespace {

MsgResult answerWhenNotShown(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
      return MsgResult::Ok;
    case MsgButtons::AbortRetryIgnore:
      return MsgResult::Abort;
    case MsgButtons::YesNo:
      return MsgResult::No;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel:
      return MsgResult::Cancel;
  }
  return MsgResult::Cancel;
}

}  // namespace

MsgResult Win32MessageBoxes::show(std::string_view text, std::string_view caption,
                                  MsgButtons buttons, MsgIcon icon, MsgDefault defaultButton) {
  const std::string textZ(text);
  const std::string captionZ(caption);
  // MB_SETFOREGROUND: MorvaneAuto has no visible window, and a box of a background program
  // would otherwise open behind ACT! where the user does not see it. The owner makes the box
  // modal to the form the user works in, as Basic's MsgBox does.
  const UINT type = static_cast<UINT>(buttons) | static_cast<UINT>(icon) |
                    static_cast<UINT>(defaultButton) | MB_SETFOREGROUND;
  const int result = MessageBoxA(GetActiveWindow(), textZ.c_str(), captionZ.c_str(), type);
  if (result < static_cast<int>(MsgResult::Ok) || result > static_cast<int>(MsgResult::No)) {
    return answerWhenNotShown(buttons);
  }
  return static_cast<MsgResult>(result);
}

}  // namespace morvane::win32
