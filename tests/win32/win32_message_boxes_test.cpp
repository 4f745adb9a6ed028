// Win32 message boxes: a box shown through the port on another thread is found, read and
// answered by the test's answerer, for every button set.
#include "platform/win32/win32_message_boxes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "tests/win32/support/message_box_answerer.h"

#include "platform/win32/win32_base.h"

namespace morvane::win32 {
namespace {

// Shows one box through the port on a thread of its own; whatever happens to the test, the box
// is closed and the thread joined when this goes.
class BoxOnAThread {
 public:
  BoxOnAThread(std::string text, std::string caption, MsgButtons buttons, MsgIcon icon)
      : m_thread([=, this] {
          m_threadId = GetCurrentThreadId();
          Win32MessageBoxes boxes;
          m_result = boxes.show(text, caption, buttons, icon);
          m_done = true;
        }) {}
  BoxOnAThread(const BoxOnAThread&) = delete;
  BoxOnAThread& operator=(const BoxOnAThread&) = delete;
  ~BoxOnAThread() {
    while (!m_done) {
      if (const auto box = wintest::findMessageBox(owner())) {
        PostMessageW(toHwnd(box->window), WM_CLOSE, 0, 0);
        for (const int id : box->buttons) wintest::pressButton(*box, id);
      }
      wintest::waitUntil([&] { return m_done.load(); }, std::chrono::milliseconds(100));
    }
    m_thread.join();
  }

  wintest::BoxOwner owner() const { return wintest::BoxOwner::thread(m_threadId); }
  bool started() const {
    return wintest::waitUntil([&] { return m_threadId.load() != 0; });
  }
  std::optional<MsgResult> result() {
    if (!wintest::waitUntil([&] { return m_done.load(); })) return std::nullopt;
    return m_result;
  }

 private:
  std::atomic<uint32_t> m_threadId{0};
  std::atomic<bool> m_done{false};
  MsgResult m_result = MsgResult::Ok;
  std::thread m_thread;
};

struct BoxCase {
  MsgButtons buttons;
  MsgIcon icon;
  std::vector<int> buttonIds;
  int press;
  MsgResult result;
};

TEST(Win32MessageBoxes, ShowTheButtonsAndIconAskedForAndReturnTheButtonPressed) {
  const std::string text =
      "Error 13: 'Type mismatch'\rin frmAuto: Sub Update_Layout - Line # 7\r\r"
      "Please contact support@morvane.example with this error message.";
  const BoxCase cases[] = {
      {MsgButtons::Ok, MsgIcon::None, {IDOK}, IDOK, MsgResult::Ok},
      {MsgButtons::OkCancel, MsgIcon::Question, {IDOK, IDCANCEL}, IDCANCEL, MsgResult::Cancel},
      {MsgButtons::AbortRetryIgnore,
       MsgIcon::Critical,
       {IDABORT, IDRETRY, IDIGNORE},
       IDIGNORE,
       MsgResult::Ignore},
      {MsgButtons::YesNoCancel, MsgIcon::Exclamation, {IDCANCEL, IDYES, IDNO}, IDNO, MsgResult::No},
      {MsgButtons::YesNo, MsgIcon::Information, {IDYES, IDNO}, IDYES, MsgResult::Yes},
      {MsgButtons::RetryCancel, MsgIcon::Critical, {IDCANCEL, IDRETRY}, IDRETRY, MsgResult::Retry},
  };
  bool byProcess = false;
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.buttons));
    BoxOnAThread shown(text, "MorvaneAuto error", c.buttons, c.icon);
    ASSERT_TRUE(shown.started());
    // Found by its thread, or by its process as end-to-end tests find another program's box.
    byProcess = !byProcess;
    const auto box = wintest::waitForMessageBox(
        byProcess ? wintest::BoxOwner::process(GetCurrentProcessId()) : shown.owner());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, "MorvaneAuto error");
    EXPECT_EQ(box->text, text);
    EXPECT_EQ(box->buttons, c.buttonIds);
    EXPECT_EQ(box->icon, static_cast<int>(c.icon));
    EXPECT_FALSE(wintest::pressButton(*box, IDHELP)) << "no such button";
    ASSERT_TRUE(wintest::pressButton(*box, c.press));
    EXPECT_EQ(shown.result(), c.result);
  }
}

}  // namespace
}  // namespace morvane::win32
