// Finding and answering message boxes in Windows tests: a box shown by a given thread or process
// (a dialog of class "#32770" with the message box's static text), read and answered as a user
// would, from another thread of the test or from the test while another program shows it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "tests/win32/support/wait.h"

namespace morvane::wintest {

// Whose box: one thread's (threadId set) or any thread's of one process.
struct BoxOwner {
  uint32_t processId = 0;
  uint32_t threadId = 0;
  static BoxOwner thread(uint32_t id) { return {0, id}; }
  static BoxOwner process(uint32_t id) { return {id, 0}; }
};

struct FoundMessageBox {
  Hwnd window = 0;
  std::string caption;
  std::string text;          // the message, line breaks as given (CR)
  std::vector<int> buttons;  // the IDs of its buttons (IDOK 1 ... IDNO 7), lowest first
  // The standard icon it shows as MessageBoxA's MB_ICON* value (16, 32, 48, 64); 0 for none.
  // Told apart by comparing the image with the system's icons as this process loads them, so
  // only certain for a box of this process; -1 when it matches none of them.
  int icon = 0;
};

// The first visible message box of the owner, read now.
std::optional<FoundMessageBox> findMessageBox(BoxOwner owner);
// Handles this thread's messages until the owner shows a message box.
std::optional<FoundMessageBox> waitForMessageBox(BoxOwner owner,
                                                 std::chrono::milliseconds timeout = kPatience);
// waitForMessageBox, sending WM_NULL to a window of the owner's meanwhile (a second's limit each
// time), to see that the owner keeps answering until the box comes.
struct BoxWhileAnswering {
  std::optional<FoundMessageBox> box;
  int sends = 0;
  int unanswered = 0;
};
BoxWhileAnswering waitForMessageBoxAnswering(BoxOwner owner, Hwnd window,
                                             std::chrono::milliseconds timeout = kPatience);
// Presses one of the box's buttons, as a click would (the box ends with that button's ID);
// false when the box has no such button.
bool pressButton(const FoundMessageBox& box, int buttonId);
// Waits for the owner's box, presses the button and returns the box as it was read.
std::optional<FoundMessageBox> answerMessageBox(BoxOwner owner, int buttonId,
                                                std::chrono::milliseconds timeout = kPatience);

}  // namespace morvane::wintest
