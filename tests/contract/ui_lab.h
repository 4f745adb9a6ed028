// Where the user-interface contract tests meet forms as a user does: on the simulated desktop, or
// on real windows under Wine. The tests build forms on lab.ui(), act through the lab, and check
// what the model and the windows (lab.windows()) show.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"
#include "platform/window_system.h"

namespace morvane::contract {

enum class Key { Enter, Escape, Tab, ShiftTab, Space, Up, Down };

class UiLab {
 public:
  UiLab() = default;
  UiLab(const UiLab&) = delete;
  UiLab& operator=(const UiLab&) = delete;
  virtual ~UiLab() = default;

  virtual ui::Ui& ui() = 0;
  virtual WindowSystem& windows() = 0;
  // Runs the message loop until nothing more is pending.
  virtual void pump() = 0;

  // The user, through the mouse and the keyboard (real input on Windows, not the model's setters).
  virtual void click(ui::Control& control) = 0;                    // button, check box, label
  virtual void choose(ui::ComboBox& combo, int32_t index) = 0;     // drops the list down, picks
  virtual void type(ui::TextBox& box, std::string_view keys) = 0;  // at the end of the text
  virtual void press(ui::Form& form, Key key) = 0;      // to the control that has the focus
  virtual void pressAlt(ui::Form& form, char key) = 0;  // Alt and a letter, the same way
  // A mouse button pressed and released at a point of the list, in twips relative to it.
  virtual void clickAt(ui::ListView& list, int16_t button, int32_t x, int32_t y) = 0;
  // Drags the divider at the right of the column by dx twips, or double-clicks it.
  virtual void dragDivider(ui::ListView& list, size_t column, int32_t dx) = 0;
  virtual void doubleClickDivider(ui::ListView& list, size_t column) = 0;
  // Scrolls by whole rows (vertically) or by twips (horizontally), as the scroll bars do.
  virtual void scrollRows(ui::ListView& list, int32_t rows) = 0;
  virtual void scrollHorizontally(ui::ListView& list, int32_t dx) = 0;
  // Turns the mouse wheel over the list by notches, positive toward the user.
  virtual void turnWheel(ui::ListView& list, int32_t notches) = 0;
  // Opens a menu and chooses an entry by the captions on the way ("&Options", "&Settings").
  virtual void chooseMenu(ui::Form& form, const std::vector<std::string>& captions) = 0;
  virtual void clickBackground(ui::Form& form, int32_t x, int32_t y) = 0;
  virtual void closeBox(ui::Form& form) = 0;

  // The next modal loop that starts runs this once, inside the loop (the user acting on the modal
  // form); the loop then goes on until the form is hidden or unloaded.
  virtual void whenModal(std::function<void()> user) = 0;

  // A window's text as the screen shows it.
  virtual std::string windowText(Hwnd hwnd) = 0;
};

// Each test program links the lab of the platform it tests.
std::unique_ptr<UiLab> makeUiLab();

}  // namespace morvane::contract
