// The user-interface lab on the simulated desktop: the user's mouse and keyboard are messages sent
// to the windows the simulated peers made, as Windows would deliver them.
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/sim_user.h"
#include "tests/contract/ui_lab.h"

namespace morvane::contract {
namespace {

sim::Key simKey(Key key) {
  switch (key) {
    case Key::Enter:
      return sim::Key::Enter;
    case Key::Escape:
      return sim::Key::Escape;
    case Key::Tab:
      return sim::Key::Tab;
    case Key::ShiftTab:
      return sim::Key::ShiftTab;
    case Key::Up:
      return sim::Key::Up;
    case Key::Down:
      return sim::Key::Down;
    case Key::Space:
      break;
  }
  return sim::Key::Space;
}

class SimUiLab : public UiLab {
 public:
  ui::Ui& ui() override { return m_ui; }
  WindowSystem& windows() override { return m_desktop; }
  void pump() override { m_desktop.pump(); }

  void click(ui::Control& control) override { m_user.click(control); }
  void choose(ui::ComboBox& combo, int32_t index) override { m_user.choose(combo, index); }
  void type(ui::TextBox& box, std::string_view keys) override { m_user.type(box, keys); }
  void press(ui::Form& form, Key key) override { m_user.press(form, simKey(key)); }
  void pressAlt(ui::Form& form, char key) override { m_user.pressAlt(form, key); }
  void clickAt(ui::ListView& list, int16_t button, int32_t x, int32_t y) override {
    m_user.clickAt(list, button, x, y);
  }
  void dragDivider(ui::ListView& list, size_t column, int32_t dx) override {
    m_user.dragDivider(list, column, dx);
  }
  void doubleClickDivider(ui::ListView& list, size_t column) override {
    m_user.doubleClickDivider(list, column);
  }
  void scrollRows(ui::ListView& list, int32_t rows) override { m_user.scrollRows(list, rows); }
  void scrollHorizontally(ui::ListView& list, int32_t dx) override {
    m_user.scrollHorizontally(list, dx);
  }
  void turnWheel(ui::ListView& list, int32_t notches) override { m_user.turnWheel(list, notches); }
  void chooseMenu(ui::Form& form, const std::vector<std::string>& captions) override {
    m_user.chooseMenu(form, captions);
  }
  void clickBackground(ui::Form& form, int32_t x, int32_t y) override {
    m_user.clickBackground(form, x, y);
  }
  void closeBox(ui::Form& form) override { m_user.closeBox(form); }
  void whenModal(std::function<void()> user) override { m_ui.whenModal(std::move(user)); }
  std::string windowText(Hwnd hwnd) override { return m_desktop.windowText(hwnd); }

 private:
  sim::SimSystem m_system;
  sim::SimHost m_host{m_system, 1};
  sim::SimDesktop m_desktop;
  sim::SimUi m_ui{m_desktop, m_host};
  sim::SimUser m_user{m_desktop, m_ui};
};

}  // namespace

std::unique_ptr<UiLab> makeUiLab() {
  return std::make_unique<SimUiLab>();
}

}  // namespace morvane::contract
