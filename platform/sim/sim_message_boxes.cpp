#include "platform/sim/sim_message_boxes.h"

namespace morvane::sim {

namespace {
MsgResult firstButton(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgResult::Ok;
    case MsgButtons::AbortRetryIgnore: return MsgResult::Abort;
    case MsgButtons::YesNoCancel:
    case MsgButtons::YesNo: return MsgResult::Yes;
    case MsgButtons::RetryCancel: return MsgResult::Retry;
  }
  return MsgResult::Ok;
}
}  // namespace

MsgResult SimMessageBoxes::show(std::string_view text, std::string_view caption,
                                MsgButtons buttons, MsgIcon icon) {
  MsgResult answer = firstButton(buttons);
  if (!m_script.empty()) {
    answer = m_script.front();
    m_script.pop_front();
  }
  m_shown.push_back(ShownBox{std::string(text), std::string(caption), buttons, icon, answer});
  if (onShow) onShow(m_shown.back());
  return answer;
}

}  // namespace morvane::sim
