// Message boxes on the simulated desktop: every box is recorded and answered from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_boxes.h"

namespace morvane::sim {

struct ShownBox {
  std::string text;
  std::string caption;
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::None;
  MsgResult answer = MsgResult::Ok;
  MsgDefault defaultButton = MsgDefault::First;
};

class SimMessageBoxes : public MessageBoxes {
 public:
  MsgResult show(std::string_view text, std::string_view caption, MsgButtons buttons,
                 MsgIcon icon, MsgDefault defaultButton = MsgDefault::First) override;

  // Queues the answer for the next box; with nothing queued a box takes its default button.
  void answerNext(MsgResult answer) { m_script.push_back(answer); }
  const std::vector<ShownBox>& shown() const { return m_shown; }
  void clear() { m_shown.clear(); }
  // Called after each box is recorded (the simulator prints it).
  std::function<void(const ShownBox&)> onShow;

 private:
  std::deque<MsgResult> m_script;
  std::vector<ShownBox> m_shown;
};

}  // namespace morvane::sim
