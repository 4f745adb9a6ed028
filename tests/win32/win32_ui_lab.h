// The user-interface lab on Windows: forms are real windows of this process, and the user acts
// through the messages the mouse and the keyboard would put in the thread's queue.
#pragma once

#include <functional>

#include "platform/win32/win32_ui.h"
#include "platform/win32/win32_window_system.h"
#include "tests/contract/ui_lab.h"

namespace morvane::win32 {

class Win32UiLab : public contract::UiLab {
 public:
  Win32UiLab();
  ~Win32UiLab() override;

  ui::Ui& ui() override { return m_ui; }
  Win32Ui& win32Ui() { return m_ui; }
  WindowSystem& windows() override { return m_windows; }
  void pump() override;

  void click(ui::Control& control) override;
  void choose(ui::ComboBox& combo, int32_t index) override;
  void type(ui::TextBox& box, std::string_view keys) override;
  void press(ui::Form& form, contract::Key key) override;
  void pressAlt(ui::Form& form, char key) override;
  void clickAt(ui::ListView& list, int16_t button, int32_t x, int32_t y) override;
  void dragDivider(ui::ListView& list, size_t column, int32_t dx) override;
  void doubleClickDivider(ui::ListView& list, size_t column) override;
  void scrollRows(ui::ListView& list, int32_t rows) override;
  void scrollHorizontally(ui::ListView& list, int32_t dx) override;
  void turnWheel(ui::ListView& list, int32_t notches) override;
  void chooseMenu(ui::Form& form, const std::vector<std::string>& captions) override;
  void clickBackground(ui::Form& form, int32_t x, int32_t y) override;
  void closeBox(ui::Form& form) override;
  void whenModal(std::function<void()> user) override;
  std::string windowText(Hwnd hwnd) override;

 private:
  Win32WindowSystem m_windows;
  Win32Ui m_ui;
  std::function<void()> m_modalUser;
};

}  // namespace morvane::win32
