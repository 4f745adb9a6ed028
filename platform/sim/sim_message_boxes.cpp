#include "platform/sim/sim_message_boxes.h"

#include <vector>

namespace morvane::sim {

namespace {
std::vector<MsgResult> buttonsOf(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return {MsgResult::Ok};
    case MsgButtons::OkCancel: return {MsgResult::Ok, MsgResult::Cancel};
    case MsgButtons::AbortRetryIgnore:
      return {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore};
    case MsgButtons::YesNoCancel: return {MsgResult::Yes, MsgResult::No, MsgResult::Cancel};
    case MsgButtons::YesNo: return {MsgResult::Yes, MsgResult::No};
    case MsgButtons::RetryCancel: return {MsgResult::Retry, MsgResult::Cancel};
  }
  return {MsgResult::Ok};
}

// The button Enter would press; a default beyond the box's buttons is its first, as in Windows.
MsgResult defaultOf(MsgButtons buttons, MsgDefault defaultButton) {
  const std::vector<MsgResult> all = buttonsOf(buttons);
  const size_t index = static_cast<size_t>(defaultButton) / 256;
  return index < all.size() ? all[index] : all.front();
}
}  // namespace

MsgResult SimMessageBoxes::show(std::string_view text, std::string_view caption,
                                MsgButtons buttons, MsgIcon icon, MsgDefault defaultButton) {
  MsgResult answer = defaultOf(buttons, defaultButton);
  if (!m_script.empty()) {
    answer = m_script.front();
    m_script.pop_front();
  }
  m_shown.push_back(
      ShownBox{std::string(text), std::string(caption), buttons, icon, answer, defaultButton});
  if (onShow) onShow(m_shown.back());
  return answer;
}

}  // namespace morvane::sim
