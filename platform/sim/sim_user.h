// The simulated user of forms on the simulated desktop: the mouse and the keyboard as the window
// messages Windows would deliver to the windows the simulated peers made.
#pragma once

#include <cctype>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_ui.h"
#include "platform/ui.h"
#include "platform/win_constants.h"

namespace morvane::sim {

enum class Key { Enter, Escape, Tab, ShiftTab, Space, Up, Down };

class SimUser {
 public:
  SimUser(SimDesktop& desktop, SimUi& ui) : m_desktop(desktop), m_ui(ui) {}

  void click(ui::Control& control) {
    const ui::Box b = control.formBox();
    if (control.hWnd() == 0) {
      // A windowless control is part of its form's window.
      clickForm(*control.form(), b.left + b.width / 2, b.top + b.height / 2);
      return;
    }
    mouseClick(control, control.hWnd(), m_ui.pixelsX(b.width) / 2, m_ui.pixelsY(b.height) / 2,
               kLeftButton);
  }

  void choose(ui::ComboBox& combo, int32_t index) {
    // Drop the list down with a click, then click the entry in it.
    click(combo);
    m_desktop.deliver(combo.hWnd(), kComboListPicked, static_cast<WParam>(index), 0);
  }

  void type(ui::TextBox& box, std::string_view keys) {
    if (m_ui.focus() != box.hWnd()) click(box);
    for (char c : keys) {
      const Hwnd focus = m_ui.focus();
      if (focus != 0) m_desktop.deliver(focus, win::WM_CHAR, static_cast<unsigned char>(c), 0);
    }
  }

  // Ctrl+V with this text on the clipboard: it goes in at the end of the box's text.
  void paste(ui::TextBox& box, std::string_view text) {
    if (m_ui.focus() != box.hWnd()) click(box);
    m_ui.clipboard = std::string(text);
    m_desktop.deliver(box.hWnd(), win::WM_PASTE, 0, 0);
  }

  void press(ui::Form& form, Key key) {
    uint32_t vk = win::VK_RETURN;
    switch (key) {
      case Key::Enter:
        vk = win::VK_RETURN;
        break;
      case Key::Escape:
        vk = win::VK_ESCAPE;
        break;
      case Key::Tab:
      case Key::ShiftTab:
        vk = win::VK_TAB;
        break;
      case Key::Space:
        vk = win::VK_SPACE;
        break;
      case Key::Up:
        vk = win::VK_UP;
        break;
      case Key::Down:
        vk = win::VK_DOWN;
        break;
    }
    // Keys go to the window with the focus, or to the form when none of its windows has it.
    Hwnd target = m_ui.focus();
    if (target == 0 || (target != form.hWnd() && m_desktop.getParent(target) != form.hWnd()))
      target = form.hWnd();
    const int16_t held = m_ui.heldKeys;
    if (key == Key::ShiftTab) m_ui.heldKeys |= ui::shift::kShift;
    m_desktop.deliver(target, win::WM_KEYDOWN, vk, 0);
    m_desktop.deliver(target, win::WM_KEYUP, vk, 0);
    m_ui.heldKeys = held;
  }

  // Alt and a letter or digit, to the window with the focus as press() sends keys.
  void pressAlt(ui::Form& form, char key) {
    Hwnd target = m_ui.focus();
    if (target == 0 || (target != form.hWnd() && m_desktop.getParent(target) != form.hWnd()))
      target = form.hWnd();
    const auto vk = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(key)));
    m_desktop.deliver(target, win::WM_SYSKEYDOWN, vk, 1u << 29);
  }

  void clickAt(ui::ListView& list, int16_t button, int32_t x, int32_t y) {
    const int32_t px = SimUi::pixelAt(x, m_ui.twipsPerPixelX());
    const int32_t py = SimUi::pixelAt(y, m_ui.twipsPerPixelY());
    // The header is a window of its own over the top of the list: a click there is the header's.
    SimListViewPeer* peer = listPeer(list);
    const bool onHeader = peer && py >= 0 && py < peer->headerHeight();
    mouseClick(list, onHeader ? peer->headerHwnd() : list.hWnd(), px, py, button);
  }

  void dragDivider(ui::ListView& list, size_t column, int32_t dx) {
    pressDivider(list, column);
    releaseDivider(list, column, dx);
  }

  // A divider drag in two halves, to look at the list in between: the button goes down on the
  // divider at the right of the column, then the mouse moves by dx twips and lets go.
  void pressDivider(ui::ListView& list, size_t column) {
    SimListViewPeer* peer = listPeer(list);
    if (!peer || !reachable(list.hWnd())) return;
    m_desktop.deliver(peer->headerHwnd(), win::WM_LBUTTONDOWN, win::MK_LBUTTON,
                      point(peer->dividerX(column), 2));
  }
  void releaseDivider(ui::ListView& list, size_t column, int32_t dx) {
    SimListViewPeer* peer = listPeer(list);
    if (!peer || !reachable(list.hWnd())) return;
    const Hwnd header = peer->headerHwnd();
    const int32_t to = peer->dividerX(column) + SimUi::toPixels(dx, m_ui.twipsPerPixelX());
    m_desktop.deliver(header, win::WM_MOUSEMOVE, win::MK_LBUTTON, point(to, 2));
    m_desktop.deliver(header, win::WM_LBUTTONUP, 0, point(to, 2));
  }

  void doubleClickDivider(ui::ListView& list, size_t column) {
    SimListViewPeer* peer = listPeer(list);
    if (!peer || !reachable(list.hWnd())) return;
    const Hwnd header = peer->headerHwnd();
    const LParam at = point(peer->dividerX(column), 2);
    m_desktop.deliver(header, win::WM_LBUTTONDOWN, win::MK_LBUTTON, at);
    m_desktop.deliver(header, win::WM_LBUTTONUP, 0, at);
    m_desktop.deliver(header, win::WM_LBUTTONDBLCLK, win::MK_LBUTTON, at);
    m_desktop.deliver(header, win::WM_LBUTTONUP, 0, at);
  }

  void scrollRows(ui::ListView& list, int32_t rows) {
    if (!reachable(list.hWnd())) return;
    // The scroll bar's arrow, once per row, then the end of the scroll.
    const uint32_t code = rows < 0 ? win::SB_LINEUP : win::SB_LINEDOWN;
    for (int32_t i = 0; i < std::abs(rows); ++i)
      m_desktop.deliver(list.hWnd(), win::WM_VSCROLL, scrollRequest(code), 0);
    m_desktop.deliver(list.hWnd(), win::WM_VSCROLL, scrollRequest(win::SB_ENDSCROLL), 0);
  }

  // The mouse wheel turned over the list, a message a notch; positive notches toward the user
  // (the rows move up).
  void turnWheel(ui::ListView& list, int32_t notches) {
    if (!reachable(list.hWnd())) return;
    const int32_t delta = notches < 0 ? win::WHEEL_DELTA : -win::WHEEL_DELTA;
    for (int32_t i = 0; i < std::abs(notches); ++i)
      m_desktop.deliver(list.hWnd(), win::WM_MOUSEWHEEL,
                        static_cast<WParam>(static_cast<uint32_t>(delta & 0xFFFF) << 16), 0);
  }

  void scrollHorizontally(ui::ListView& list, int32_t dx) {
    SimListViewPeer* peer = listPeer(list);
    if (!peer || !reachable(list.hWnd())) return;
    // The thumb dragged to its new place.
    const int32_t to = std::max(0, peer->scrollX() + SimUi::toPixels(dx, m_ui.twipsPerPixelX()));
    m_desktop.deliver(list.hWnd(), win::WM_HSCROLL, scrollRequest(win::SB_THUMBPOSITION, to), 0);
    m_desktop.deliver(list.hWnd(), win::WM_HSCROLL, scrollRequest(win::SB_ENDSCROLL), 0);
  }

  void chooseMenu(ui::Form& form, const std::vector<std::string>& captions) {
    const auto command = menuCommand(form, captions);
    if (!command || !reachable(form.hWnd())) return;
    m_desktop.deliver(form.hWnd(), win::WM_COMMAND, *command, 0);
  }

  void clickBackground(ui::Form& form, int32_t x, int32_t y) { clickForm(form, x, y); }

  void closeBox(ui::Form& form) {
    if (reachable(form.hWnd())) m_desktop.deliver(form.hWnd(), win::WM_CLOSE, 0, 0);
  }

 private:
  static LParam point(int32_t x, int32_t y) {
    return static_cast<LParam>((static_cast<uint32_t>(y & 0xFFFF) << 16) |
                               static_cast<uint32_t>(x & 0xFFFF));
  }

  static WParam scrollRequest(uint32_t code, int32_t position = 0) {
    return static_cast<WParam>((static_cast<uint32_t>(position & 0xFFFF) << 16) | code);
  }

  static constexpr int16_t kLeftButton = ui::mouse::kLeft;

  static SimListViewPeer* listPeer(ui::ListView& list) {
    return dynamic_cast<SimListViewPeer*>(list.peer());
  }

  // The mouse reaches a window that shows and is enabled, with every window it lies in.
  bool reachable(Hwnd hwnd) {
    if (hwnd == 0 || !m_desktop.isWindowVisible(hwnd)) return false;
    for (Hwnd h = hwnd; h != 0; h = m_desktop.getParent(h))
      if (m_desktop.getWindowLongA(h, win::GWL_STYLE) & win::WS_DISABLED) return false;
    return true;
  }

  void clickForm(ui::Form& form, int32_t x, int32_t y) {
    if (!reachable(form.hWnd())) return;
    const LParam at =
        point(SimUi::pixelAt(x, m_ui.twipsPerPixelX()), SimUi::pixelAt(y, m_ui.twipsPerPixelY()));
    m_desktop.deliver(form.hWnd(), win::WM_LBUTTONDOWN, win::MK_LBUTTON, at);
    m_desktop.deliver(form.hWnd(), win::WM_LBUTTONUP, 0, at);
  }

  // A click at a point of a control's client area, in pixels, taken by the window h there (the
  // control's or one inside it). A window that is hidden or disabled takes no mouse input: the
  // click lands on the form under it.
  void mouseClick(ui::Control& control, Hwnd h, int32_t x, int32_t y, int16_t button) {
    if (!reachable(h)) {
      const ui::Box b = control.formBox();
      clickForm(*control.form(), b.left + x * m_ui.twipsPerPixelX(),
                b.top + y * m_ui.twipsPerPixelY());
      return;
    }
    uint32_t down = win::WM_LBUTTONDOWN, up = win::WM_LBUTTONUP;
    WParam keys = win::MK_LBUTTON;
    if (button == ui::mouse::kRight) {
      down = win::WM_RBUTTONDOWN;
      up = win::WM_RBUTTONUP;
      keys = win::MK_RBUTTON;
    } else if (button == ui::mouse::kMiddle) {
      down = win::WM_MBUTTONDOWN;
      up = win::WM_MBUTTONUP;
      keys = win::MK_MBUTTON;
    }
    if (m_ui.heldKeys & ui::shift::kShift) keys |= win::MK_SHIFT;
    if (m_ui.heldKeys & ui::shift::kCtrl) keys |= win::MK_CONTROL;
    m_desktop.deliver(h, down, keys, point(x, y));
    m_desktop.deliver(
        h, up, keys & ~static_cast<WParam>(win::MK_LBUTTON | win::MK_RBUTTON | win::MK_MBUTTON),
        point(x, y));
  }

  SimDesktop& m_desktop;
  SimUi& m_ui;
};

}  // namespace morvane::sim
