// The user-interface lab on the simulated desktop: the user's mouse and keyboard are messages sent
// to the windows the simulated peers made, as Windows would deliver them.
#include <cstdlib>

#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_ui.h"
#include "platform/win_constants.h"
#include "tests/contract/ui_lab.h"

namespace morvane::contract {
namespace {

using namespace morvane::win;

LParam point(int32_t x, int32_t y) {
  return static_cast<LParam>((static_cast<uint32_t>(y & 0xFFFF) << 16) |
                             static_cast<uint32_t>(x & 0xFFFF));
}

WParam scrollRequest(uint32_t code, int32_t position = 0) {
  return static_cast<WParam>((static_cast<uint32_t>(position & 0xFFFF) << 16) | code);
}

class SimUiLab : public UiLab {
 public:
  ui::Ui& ui() override { return m_ui; }
  WindowSystem& windows() override { return m_desktop; }
  void pump() override { m_desktop.pump(); }

  void click(ui::Control& control) override {
    const ui::Box& b = control.box();
    if (control.hWnd() == 0) {
      // A windowless control is part of its form's window.
      clickForm(*control.form(), b.left + b.width / 2, b.top + b.height / 2);
      return;
    }
    mouseClick(control, control.hWnd(), m_ui.pixelsX(b.width) / 2, m_ui.pixelsY(b.height) / 2,
               kLeftButton);
  }

  void choose(ui::ComboBox& combo, int32_t index) override {
    // Drop the list down with a click, then click the entry in it.
    click(combo);
    m_desktop.deliver(combo.hWnd(), sim::kComboListPicked, static_cast<WParam>(index), 0);
  }

  void type(ui::TextBox& box, std::string_view keys) override {
    if (m_ui.focus() != box.hWnd()) click(box);
    for (char c : keys) {
      const Hwnd focus = m_ui.focus();
      if (focus != 0) m_desktop.deliver(focus, WM_CHAR, static_cast<unsigned char>(c), 0);
    }
  }

  void press(ui::Form& form, Key key) override {
    uint32_t vk = VK_RETURN;
    switch (key) {
      case Key::Enter:
        vk = VK_RETURN;
        break;
      case Key::Escape:
        vk = VK_ESCAPE;
        break;
      case Key::Tab:
      case Key::ShiftTab:
        vk = VK_TAB;
        break;
      case Key::Space:
        vk = VK_SPACE;
        break;
    }
    // Keys go to the window with the focus, or to the form when none of its windows has it.
    Hwnd target = m_ui.focus();
    if (target == 0 || (target != form.hWnd() && m_desktop.getParent(target) != form.hWnd()))
      target = form.hWnd();
    const int16_t held = m_ui.heldKeys;
    if (key == Key::ShiftTab) m_ui.heldKeys |= ui::shift::kShift;
    m_desktop.deliver(target, WM_KEYDOWN, vk, 0);
    m_desktop.deliver(target, WM_KEYUP, vk, 0);
    m_ui.heldKeys = held;
  }

  void clickAt(ui::ListView& list, int16_t button, int32_t x, int32_t y) override {
    const int32_t px = sim::SimUi::pixelAt(x, m_ui.twipsPerPixelX());
    const int32_t py = sim::SimUi::pixelAt(y, m_ui.twipsPerPixelY());
    // The header is a window of its own over the top of the list: a click there is the header's.
    sim::SimListViewPeer* peer = listPeer(list);
    const bool onHeader = peer && py >= 0 && py < peer->headerHeight();
    mouseClick(list, onHeader ? peer->headerHwnd() : list.hWnd(), px, py, button);
  }

  void dragDivider(ui::ListView& list, size_t column, int32_t dx) override {
    sim::SimListViewPeer* peer = listPeer(list);
    if (!peer || !reachable(list.hWnd())) return;
    const Hwnd header = peer->headerHwnd();
    const int32_t x = peer->dividerX(column);
    const int32_t to = x + sim::SimUi::toPixels(dx, m_ui.twipsPerPixelX());
    m_desktop.deliver(header, WM_LBUTTONDOWN, MK_LBUTTON, point(x, 2));
    m_desktop.deliver(header, WM_MOUSEMOVE, MK_LBUTTON, point(to, 2));
    m_desktop.deliver(header, WM_LBUTTONUP, 0, point(to, 2));
  }

  void doubleClickDivider(ui::ListView& list, size_t column) override {
    sim::SimListViewPeer* peer = listPeer(list);
    if (!peer || !reachable(list.hWnd())) return;
    const Hwnd header = peer->headerHwnd();
    const LParam at = point(peer->dividerX(column), 2);
    m_desktop.deliver(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    m_desktop.deliver(header, WM_LBUTTONUP, 0, at);
    m_desktop.deliver(header, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    m_desktop.deliver(header, WM_LBUTTONUP, 0, at);
  }

  void scrollRows(ui::ListView& list, int32_t rows) override {
    if (!reachable(list.hWnd())) return;
    // The scroll bar's arrow, once per row, then the end of the scroll.
    const uint32_t code = rows < 0 ? SB_LINEUP : SB_LINEDOWN;
    for (int32_t i = 0; i < std::abs(rows); ++i)
      m_desktop.deliver(list.hWnd(), WM_VSCROLL, scrollRequest(code), 0);
    m_desktop.deliver(list.hWnd(), WM_VSCROLL, scrollRequest(SB_ENDSCROLL), 0);
  }

  void scrollHorizontally(ui::ListView& list, int32_t dx) override {
    sim::SimListViewPeer* peer = listPeer(list);
    if (!peer || !reachable(list.hWnd())) return;
    // The thumb dragged to its new place.
    const int32_t to =
        std::max(0, peer->scrollX() + sim::SimUi::toPixels(dx, m_ui.twipsPerPixelX()));
    m_desktop.deliver(list.hWnd(), WM_HSCROLL, scrollRequest(SB_THUMBPOSITION, to), 0);
    m_desktop.deliver(list.hWnd(), WM_HSCROLL, scrollRequest(SB_ENDSCROLL), 0);
  }

  void chooseMenu(ui::Form& form, const std::vector<std::string>& captions) override {
    const auto command = sim::menuCommand(form, captions);
    if (!command || !reachable(form.hWnd())) return;
    m_desktop.deliver(form.hWnd(), WM_COMMAND, *command, 0);
  }

  void clickBackground(ui::Form& form, int32_t x, int32_t y) override { clickForm(form, x, y); }

  void closeBox(ui::Form& form) override {
    if (reachable(form.hWnd())) m_desktop.deliver(form.hWnd(), WM_CLOSE, 0, 0);
  }

  void whenModal(std::function<void()> user) override { m_ui.whenModal(std::move(user)); }

  std::string windowText(Hwnd hwnd) override { return m_desktop.windowText(hwnd); }

 private:
  static constexpr int16_t kLeftButton = ui::mouse::kLeft;

  static sim::SimListViewPeer* listPeer(ui::ListView& list) {
    return dynamic_cast<sim::SimListViewPeer*>(list.peer());
  }

  // The mouse reaches a window that shows and is enabled, with every window it lies in.
  bool reachable(Hwnd hwnd) {
    if (hwnd == 0 || !m_desktop.isWindowVisible(hwnd)) return false;
    for (Hwnd h = hwnd; h != 0; h = m_desktop.getParent(h))
      if (m_desktop.getWindowLongA(h, GWL_STYLE) & WS_DISABLED) return false;
    return true;
  }

  void clickForm(ui::Form& form, int32_t x, int32_t y) {
    if (!reachable(form.hWnd())) return;
    const LParam at = point(sim::SimUi::pixelAt(x, m_ui.twipsPerPixelX()),
                            sim::SimUi::pixelAt(y, m_ui.twipsPerPixelY()));
    m_desktop.deliver(form.hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    m_desktop.deliver(form.hWnd(), WM_LBUTTONUP, 0, at);
  }

  // A click at a point of a control's client area, in pixels, taken by the window h there (the
  // control's or one inside it). A window that is hidden or disabled takes no mouse input: the
  // click lands on the form under it.
  void mouseClick(ui::Control& control, Hwnd h, int32_t x, int32_t y, int16_t button) {
    if (!reachable(h)) {
      const ui::Box& b = control.box();
      clickForm(*control.form(), b.left + x * m_ui.twipsPerPixelX(),
                b.top + y * m_ui.twipsPerPixelY());
      return;
    }
    uint32_t down = WM_LBUTTONDOWN, up = WM_LBUTTONUP;
    WParam keys = MK_LBUTTON;
    if (button == ui::mouse::kRight) {
      down = WM_RBUTTONDOWN;
      up = WM_RBUTTONUP;
      keys = MK_RBUTTON;
    } else if (button == ui::mouse::kMiddle) {
      down = WM_MBUTTONDOWN;
      up = WM_MBUTTONUP;
      keys = MK_MBUTTON;
    }
    if (m_ui.heldKeys & ui::shift::kShift) keys |= MK_SHIFT;
    if (m_ui.heldKeys & ui::shift::kCtrl) keys |= MK_CONTROL;
    m_desktop.deliver(h, down, keys, point(x, y));
    m_desktop.deliver(h, up, keys & ~static_cast<WParam>(MK_LBUTTON | MK_RBUTTON | MK_MBUTTON),
                      point(x, y));
  }

  sim::SimSystem m_system;
  sim::SimHost m_host{m_system, 1};
  sim::SimDesktop m_desktop;
  sim::SimUi m_ui{m_desktop, m_host};
};

}  // namespace

std::unique_ptr<UiLab> makeUiLab() {
  return std::make_unique<SimUiLab>();
}

}  // namespace morvane::contract
