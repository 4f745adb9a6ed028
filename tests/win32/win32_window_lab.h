// The window lab on Windows: the windows live in window_lab.exe, a second process that the first
// lab starts and that ends with the test program; the system under test is Win32WindowSystem.
#pragma once

#include <chrono>
#include <vector>

#include "platform/win32/win32_window_system.h"
#include "tests/contract/window_lab.h"

namespace morvane::win32 {

class Win32WindowLab : public contract::WindowLab {
 public:
  explicit Win32WindowLab(std::chrono::milliseconds sendTimeout = kCallLimit);
  ~Win32WindowLab() override;

  WindowSystem& windows() override { return m_windows; }
  Win32WindowSystem& win32() { return m_windows; }
  Hwnd create(const contract::WindowSpec& spec) override;
  bool destroy(Hwnd hwnd) override;
  std::vector<contract::Command> commands(Hwnd hwnd) override;

  // The lab sleeps for the given time without reading its messages, as a hung program does.
  void hang(std::chrono::milliseconds duration) override;
  // Waits until the lab reads its messages again; false when it did not within the limit.
  bool waitUntilResponsive(std::chrono::milliseconds limit) override;

 private:
  Win32WindowSystem m_windows;
  std::vector<Hwnd> m_made;
};

}  // namespace morvane::win32
