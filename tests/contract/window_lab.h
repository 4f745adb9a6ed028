// Where the window-system contract tests make their windows: on the simulated desktop, or in a
// second process on Windows, as ACT!'s windows are. The tests make windows through the lab and
// look at them only through windows(), the system under test.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/call_limit.h"
#include "platform/window_system.h"

namespace morvane::contract {

struct WindowSpec {
  std::string className;
  uint32_t style = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  Hwnd parent = 0;  // a child's parent, a popup's owner, or win::HWND_MESSAGE
  int32_t id = 0;   // a child's control id
  std::string text;
};

// One WM_COMMAND a window received.
struct Command {
  WParam wParam = 0;
  LParam lParam = 0;
  friend bool operator==(const Command&, const Command&) = default;
};

class WindowLab {
 public:
  WindowLab() = default;
  WindowLab(const WindowLab&) = delete;
  WindowLab& operator=(const WindowLab&) = delete;
  // Destroys the windows the lab made that still exist.
  virtual ~WindowLab() = default;

  virtual WindowSystem& windows() = 0;
  // A class that is not the system's own gets a procedure that keeps the WM_COMMAND messages its
  // windows receive and leaves the rest to the default window procedure. 0 on failure.
  virtual Hwnd create(const WindowSpec& spec) = 0;
  virtual bool destroy(Hwnd hwnd) = 0;
  // The WM_COMMAND messages the window received, oldest first.
  virtual std::vector<Command> commands(Hwnd hwnd) = 0;
  // The program holding the lab's windows stops reading its messages for the duration, as a hung
  // program does.
  virtual void hang(std::chrono::milliseconds duration) = 0;
  // Waits, at most limit, until it reads its messages again; false when it did not.
  virtual bool waitUntilResponsive(std::chrono::milliseconds limit) = 0;
};

// Each test program links the lab of the backend it tests. windows() gives up on a send after
// callLimit.
std::unique_ptr<WindowLab> makeWindowLab(std::chrono::milliseconds callLimit = kCallLimit);

}  // namespace morvane::contract
