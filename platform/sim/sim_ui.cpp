#include "platform/sim/sim_ui.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace morvane::sim {

using namespace morvane::win;

namespace {

// Classic Windows at 96 DPI: MS Sans Serif 8 pt text is 13 pixels high and about 6 wide, bold
// about 7. Header and default list rows are the text and a margin of 4; list view cells pad
// their text by 6 on each side. Real metrics vary with the font; these are for the simulation.
constexpr int32_t kTextMargin = 4;
constexpr int32_t kCellPadding = 12;
constexpr int32_t kClientEdge = 2;  // the list view's sunken border
constexpr int32_t kWheelRows = 3;   // rows a notch of the mouse wheel scrolls

int32_t textHeight(const ui::Font& font) {
  // 8.25 pt gives 13 pixels; larger fonts grow in proportion.
  return std::max(13, static_cast<int32_t>(font.size * 96.0 / 72.0 * 1.18 + 0.5));
}

int32_t textWidth(std::string_view text, const ui::Font& font, bool bold) {
  const int32_t perChar =
      static_cast<int32_t>(font.size * 0.73 + 0.5) + ((bold || font.bold) ? 1 : 0);
  return static_cast<int32_t>(text.size()) * perChar;
}

int32_t pointX(LParam l) {
  return static_cast<int16_t>(static_cast<uint32_t>(l) & 0xFFFF);
}
int32_t pointY(LParam l) {
  return static_cast<int16_t>((static_cast<uint32_t>(l) >> 16) & 0xFFFF);
}

// Shift keys of a mouse message, Alt from the keyboard.
int16_t shiftOf(WParam keys, int16_t held) {
  int16_t s = held & ui::shift::kAlt;
  if (keys & MK_SHIFT) s |= ui::shift::kShift;
  if (keys & MK_CONTROL) s |= ui::shift::kCtrl;
  return s;
}

uint32_t childStyle(const ui::Control& c) {
  uint32_t style = WS_CHILD;
  if (c.visible()) style |= WS_VISIBLE;
  if (!c.enabled()) style |= WS_DISABLED;
  if (c.tabIndex() >= 0) style |= WS_TABSTOP;
  return style;
}

void setStyleBit(WindowSystem& ws, Hwnd h, uint32_t bit, bool on) {
  const auto style = static_cast<uint32_t>(ws.getWindowLongA(h, GWL_STYLE));
  ws.setWindowLongA(h, GWL_STYLE, static_cast<int32_t>(on ? style | bit : style & ~bit));
}

// Depth first over the menu tree; identifiers count from 1 in that order.
bool walkMenus(const std::vector<ui::Menu>& menus, uint32_t& next,
               const std::function<bool(const ui::Menu&, uint32_t)>& visit) {
  for (const ui::Menu& m : menus) {
    if (visit(m, next++)) return true;
    if (walkMenus(m.items, next, visit)) return true;
  }
  return false;
}

}  // namespace

// --- Menus -----------------------------------------------------------------------------------

std::optional<uint32_t> menuCommand(const ui::Form& form,
                                    const std::vector<std::string>& captions) {
  if (captions.empty()) return std::nullopt;
  const std::vector<ui::Menu>* level = &form.menus;
  const ui::Menu* found = nullptr;
  for (const std::string& caption : captions) {
    found = nullptr;
    for (const ui::Menu& m : *level)
      if (!m.separator() && m.caption == caption) {
        found = &m;
        break;
      }
    if (!found) return std::nullopt;
    level = &found->items;
  }
  std::optional<uint32_t> id;
  uint32_t next = 1;
  walkMenus(form.menus, next, [&](const ui::Menu& m, uint32_t n) {
    if (&m != found) return false;
    id = n;
    return true;
  });
  return id;
}

const ui::Menu* menuByCommand(const ui::Form& form, uint32_t command) {
  const ui::Menu* found = nullptr;
  uint32_t next = 1;
  walkMenus(form.menus, next, [&](const ui::Menu& m, uint32_t n) {
    if (n != command) return false;
    found = &m;
    return true;
  });
  return found;
}

// --- Form ------------------------------------------------------------------------------------

namespace {

class SimFormPeer : public ui::FormPeer {
 public:
  SimFormPeer(SimUi& ui, ui::Form& form) : m_ui(ui), m_form(form) {
    m_binding = std::make_shared<SimFormPeer*>(this);
    auto binding = m_binding;
    SimDesktop& desktop = m_ui.desktop();
    m_hwnd =
        desktop.createWindowA("ThunderRT6FormDC", form.caption(), style(), 0, 0, 0, 0, form.owner(),
                              [binding, &desktop](Hwnd h, uint32_t msg, WParam w, LParam l) {
                                if (*binding) return (*binding)->proc(h, msg, w, l);
                                return desktop.callClassProc(h, msg, w, l);
                              });
    layout();
    m_ui.formCreated(m_hwnd);
  }
  ~SimFormPeer() override { *m_binding = nullptr; }

  Hwnd hwnd() const override { return m_hwnd; }

  void update(ui::Change what) override {
    if (m_hwnd == 0) return;
    if (what == ui::Change::Text) {
      m_ui.desktop().deliver(m_hwnd, WM_SETTEXT, 0,
                             reinterpret_cast<LParam>(m_form.caption().c_str()));
    } else if (what == ui::Change::Menus) {
      layout();
    }
  }

  void show() override {
    if (m_hwnd == 0) return;
    m_ui.desktop().showWindow(m_hwnd, SW_SHOW);
    // Shown, the form gives the focus to the first control in tab order that can take it.
    if (m_form.focused() == nullptr) {
      const auto order = m_form.tabOrder();
      if (!order.empty()) order.front()->setFocus();
    }
  }

  void hide() override {
    if (m_hwnd != 0) m_ui.desktop().showWindow(m_hwnd, SW_HIDE);
  }

  void runModal() override {
    const std::vector<Hwnd> disabled = m_ui.disableOtherForms(m_hwnd);
    m_ui.modalStarted(m_form);
    m_ui.desktop().pump();
    // Nothing blocks here: the loop runs what the user was scripted to do on this form, and
    // ends when the form is hidden or unloaded, or when the user has nothing more to do.
    if (shown()) {
      if (auto user = m_ui.takeModalUser()) {
        (*user)();
        m_ui.desktop().pump();
      }
    }
    m_ui.modalEnded(!shown());
    m_ui.enableForms(disabled);
  }

  void refresh() override {
    if (m_hwnd != 0) m_ui.desktop().deliver(m_hwnd, WM_PAINT, 0, 0);
  }

  void destroy() override {
    if (m_hwnd == 0) return;
    const Hwnd h = m_hwnd;
    m_hwnd = 0;
    // The form may be going: from here its window runs the default procedure.
    *m_binding = nullptr;
    m_ui.formDestroyed(h);
    m_ui.windowDestroyed(h);
    m_ui.desktop().destroyWindow(h);
  }

 private:
  bool shown() const {
    return m_hwnd != 0 && (m_ui.desktop().getWindowLongA(m_hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
  }

  uint32_t style() const {
    switch (m_form.borderStyle) {
      case ui::BorderStyle::None:
        return WS_POPUP | WS_CLIPCHILDREN;
      case ui::BorderStyle::Sizable:
        return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
      case ui::BorderStyle::FixedDialog:
        return WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
      case ui::BorderStyle::FixedSingle:
      default:
        return WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    }
  }

  // The window is the client area from the form's twips, its frame, caption and menu bar.
  void layout() {
    int32_t frameX = 0, frameY = 0, caption = 0;
    switch (m_form.borderStyle) {
      case ui::BorderStyle::None:
        break;
      case ui::BorderStyle::Sizable:
        frameX = m_ui.systemMetrics(SM_CXSIZEFRAME);
        frameY = m_ui.systemMetrics(SM_CYSIZEFRAME);
        caption = m_ui.systemMetrics(SM_CYCAPTION);
        break;
      default:
        frameX = m_ui.systemMetrics(SM_CXFIXEDFRAME);
        frameY = m_ui.systemMetrics(SM_CYFIXEDFRAME);
        caption = m_ui.systemMetrics(SM_CYCAPTION);
        break;
    }
    const int32_t menu = m_form.menus.empty() ? 0 : m_ui.systemMetrics(SM_CYMENU);
    const Rect nonClient{frameX, frameY + caption + menu, frameX, frameY};
    const int32_t width = m_ui.pixelsX(m_form.clientWidth) + nonClient.left + nonClient.right;
    const int32_t height = m_ui.pixelsY(m_form.clientHeight) + nonClient.top + nonClient.bottom;
    int32_t x = 0, y = 0;
    if (m_form.centred) {
      const int32_t screenWidth = m_ui.systemMetrics(SM_CXSCREEN);
      const int32_t screenHeight = m_ui.systemMetrics(SM_CYSCREEN);
      Rect area{0, 0, screenWidth, screenHeight};
      if (m_form.owner() != 0) m_ui.desktop().getWindowRect(m_form.owner(), area);
      x = std::clamp(area.left + (area.right - area.left - width) / 2, 0,
                     std::max(screenWidth - width, 0));
      y = std::clamp(area.top + (area.bottom - area.top - height) / 2, 0,
                     std::max(screenHeight - height, 0));
    }
    m_ui.desktop().setNonClient(m_hwnd, nonClient);
    m_ui.desktop().place(m_hwnd, x, y, width, height);
  }

  LResult proc(Hwnd h, uint32_t msg, WParam wParam, LParam lParam) {
    SimDesktop& desktop = m_ui.desktop();
    switch (msg) {
      case WM_LBUTTONUP: {
        // The form draws its labels itself: a click on one is the label's, else the form's.
        const int32_t x = pointX(lParam) * m_ui.twipsPerPixelX();
        const int32_t y = pointY(lParam) * m_ui.twipsPerPixelY();
        const auto& controls = m_form.controls();
        for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
          auto* label = dynamic_cast<ui::Label*>(*it);
          if (!label || !label->visible() || !label->enabled()) continue;
          const ui::Box b = label->formBox();
          if (x >= b.left && x < b.left + b.width && y >= b.top && y < b.top + b.height) {
            if (label->onClick) label->onClick();
            return 0;
          }
        }
        if (m_form.onClick) m_form.onClick();
        return 0;
      }
      case WM_COMMAND:
        if (lParam == 0 && (wParam >> 16) == 0) {
          const ui::Menu* menu = menuByCommand(m_form, static_cast<uint32_t>(wParam & 0xFFFF));
          if (menu && menu->onClick) menu->onClick();
          return 0;
        }
        break;
      case WM_KEYDOWN:
        m_ui.formKey(m_form, static_cast<uint32_t>(wParam));
        return 0;
      case WM_SYSKEYDOWN:
        m_form.pressAccessKey(static_cast<char>(wParam));
        return 0;
      case WM_CLOSE:
        m_form.closeRequested();
        return 0;
      case WM_DESTROY:
        m_ui.windowDestroyed(h);
        break;
      default:
        break;
    }
    return desktop.callClassProc(h, msg, wParam, lParam);
  }

  SimUi& m_ui;
  ui::Form& m_form;
  Hwnd m_hwnd = 0;
  std::shared_ptr<SimFormPeer*> m_binding;
};

// --- Controls --------------------------------------------------------------------------------

// Labels and lines: the form draws them; they have no window.
class WindowlessPeer : public ui::ControlPeer {
 public:
  Hwnd hwnd() const override { return 0; }
  void update(ui::Change) override {}
  void setFocus() override {}
  void destroy() override {}
};

// Buttons, check boxes, combo boxes, text boxes and frames.
class SimControlPeer : public ui::ControlPeer {
 public:
  SimControlPeer(SimUi& ui, ui::Form& form, ui::Control& control)
      : m_ui(ui), m_form(form), m_control(control) {
    m_binding = std::make_shared<SimControlPeer*>(this);
    auto binding = m_binding;
    SimDesktop& desktop = m_ui.desktop();
    const ui::Box b = control.formBox();
    m_hwnd = desktop.createWindowA(className(), windowText(), childStyle(control) | ownStyle(),
                                   m_ui.pixelsX(b.left), m_ui.pixelsY(b.top), m_ui.pixelsX(b.width),
                                   m_ui.pixelsY(b.height), form.hWnd(),
                                   [binding, &desktop](Hwnd h, uint32_t msg, WParam w, LParam l) {
                                     if (*binding) return (*binding)->proc(h, msg, w, l);
                                     return desktop.callClassProc(h, msg, w, l);
                                   });
  }
  ~SimControlPeer() override { *m_binding = nullptr; }

  Hwnd hwnd() const override { return m_hwnd; }

  void update(ui::Change what) override {
    if (m_hwnd == 0) return;
    SimDesktop& desktop = m_ui.desktop();
    switch (what) {
      case ui::Change::Box: {
        const ui::Box b = m_control.formBox();
        desktop.place(m_hwnd, m_ui.pixelsX(b.left), m_ui.pixelsY(b.top), m_ui.pixelsX(b.width),
                      m_ui.pixelsY(b.height));
        break;
      }
      case ui::Change::Visible:
        desktop.showWindow(m_hwnd, m_control.visible() ? SW_SHOW : SW_HIDE);
        break;
      case ui::Change::Enabled:
        setStyleBit(desktop, m_hwnd, WS_DISABLED, !m_control.enabled());
        break;
      case ui::Change::Text:
        desktop.deliver(m_hwnd, WM_SETTEXT, 0, reinterpret_cast<LParam>(windowText().c_str()));
        break;
      case ui::Change::Items:
      case ui::Change::Selection:
        // A drop-down list shows its selected entry.
        if (m_control.kind() == ui::ControlKind::ComboBox)
          desktop.setWindowText(m_hwnd, static_cast<ui::ComboBox&>(m_control).text());
        break;
      default:
        break;
    }
  }

  void setFocus() override {
    if (m_hwnd != 0) m_ui.setFocus(m_hwnd);
  }

  void destroy() override {
    if (m_hwnd == 0) return;
    const Hwnd h = m_hwnd;
    m_hwnd = 0;
    // A control destroys its window from ~Control, when its own class's part is gone already:
    // from here its window runs the default procedure.
    *m_binding = nullptr;
    m_ui.windowDestroyed(h);
    m_ui.desktop().destroyWindow(h);
  }

 private:
  const char* className() const {
    switch (m_control.kind()) {
      case ui::ControlKind::Button:
        return "ThunderRT6CommandButton";
      case ui::ControlKind::CheckBox:
        return "ThunderRT6CheckBox";
      case ui::ControlKind::ComboBox:
        return "ThunderRT6ComboBox";
      case ui::ControlKind::TextBox:
        return "ThunderRT6TextBox";
      default:
        return "ThunderRT6Frame";
    }
  }

  uint32_t ownStyle() const {
    switch (m_control.kind()) {
      case ui::ControlKind::Button: {
        const auto& button = static_cast<const ui::Button&>(m_control);
        return button.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      }
      case ui::ControlKind::CheckBox:
        return BS_CHECKBOX;
      case ui::ControlKind::ComboBox:
        return CBS_DROPDOWNLIST | WS_VSCROLL;
      case ui::ControlKind::TextBox:
        return WS_BORDER | ES_AUTOHSCROLL;
      default:
        return 0;
    }
  }

  std::string windowText() const {
    if (m_control.kind() == ui::ControlKind::ComboBox)
      return static_cast<const ui::ComboBox&>(m_control).text();
    if (const auto* t = dynamic_cast<const ui::TextControl*>(&m_control)) return t->text();
    return {};
  }

  bool enabled() const {
    return (m_ui.desktop().getWindowLongA(m_hwnd, GWL_STYLE) & WS_DISABLED) == 0;
  }

  // The Basic control's click: a button's Click, a check box's toggle.
  void clicked() {
    if (!enabled()) return;
    if (m_control.kind() == ui::ControlKind::Button)
      static_cast<ui::Button&>(m_control).click();
    else if (m_control.kind() == ui::ControlKind::CheckBox)
      static_cast<ui::CheckBox&>(m_control).click();
  }

  LResult proc(Hwnd h, uint32_t msg, WParam wParam, LParam lParam) {
    SimDesktop& desktop = m_ui.desktop();
    const ui::ControlKind kind = m_control.kind();
    const bool button = kind == ui::ControlKind::Button || kind == ui::ControlKind::CheckBox;
    switch (msg) {
      case WM_SETFOCUS:
        m_control.gotFocus();
        return 0;
      case WM_KILLFOCUS:
        m_dropped = false;  // a dropped-down list closes when its combo box loses the focus
        return 0;
      case WM_DESTROY:
        m_ui.windowDestroyed(h);
        return desktop.callClassProc(h, msg, wParam, lParam);
      case WM_LBUTTONDOWN:
        if (m_control.tabIndex() >= 0 && enabled()) m_ui.setFocus(h);
        if (kind == ui::ControlKind::ComboBox && enabled()) m_dropped = !m_dropped;
        return 0;
      case WM_LBUTTONUP:
        if (button) clicked();
        return 0;
      case WM_KEYDOWN:
        if (kind == ui::ControlKind::ComboBox && (wParam == VK_UP || wParam == VK_DOWN)) {
          stepSelection(wParam == VK_DOWN ? 1 : -1);
          return 0;
        }
        if (wParam != VK_SPACE) m_ui.formKey(m_form, static_cast<uint32_t>(wParam));
        return 0;
      case WM_SYSKEYDOWN:
        m_form.pressAccessKey(static_cast<char>(wParam));
        return 0;
      case WM_KEYUP:
        if (wParam == VK_SPACE && button) clicked();
        return 0;
      default:
        break;
    }
    if (button) {
      if (msg == BM_CLICK) {
        desktop.deliver(h, WM_LBUTTONDOWN, 0, 0);
        desktop.deliver(h, WM_LBUTTONUP, 0, 0);
        return 0;
      }
      if (msg == BM_GETCHECK && kind == ui::ControlKind::CheckBox)
        return static_cast<ui::CheckBox&>(m_control).value();
    }
    if (kind == ui::ControlKind::ComboBox) return comboProc(h, msg, wParam, lParam);
    if (kind == ui::ControlKind::TextBox && msg == WM_CHAR) {
      typed(static_cast<char>(wParam));
      return 0;
    }
    if (kind == ui::ControlKind::TextBox && msg == WM_PASTE) {
      // The clipboard's text goes in whole: ES_NUMBER filters typing only, as on Windows.
      if (enabled()) {
        auto& box = static_cast<ui::TextBox&>(m_control);
        box.typed(box.text() + m_ui.clipboard);
      }
      return 0;
    }
    return desktop.callClassProc(h, msg, wParam, lParam);
  }

  LResult comboProc(Hwnd h, uint32_t msg, WParam wParam, LParam lParam) {
    auto& combo = static_cast<ui::ComboBox&>(m_control);
    const auto index = static_cast<int32_t>(wParam);
    const bool valid = index >= 0 && index < combo.listCount();
    switch (msg) {
      case CB_GETCOUNT:
        return combo.listCount();
      case CB_GETCURSEL:
        return combo.listIndex();
      case CB_GETLBTEXTLEN:
        return valid ? static_cast<LResult>(combo.list(index).size()) : CB_ERR;
      case CB_GETLBTEXT:
        if (!valid) return CB_ERR;
        if (lParam != 0)
          std::memcpy(reinterpret_cast<char*>(lParam), combo.list(index).c_str(),
                      combo.list(index).size() + 1);
        return static_cast<LResult>(combo.list(index).size());
      case CB_GETITEMDATA:
        return valid ? combo.itemData(index) : CB_ERR;
      case CB_SHOWDROPDOWN:
        m_dropped = wParam != 0 && enabled();
        return 1;
      case CB_GETDROPPEDSTATE:
        return m_dropped ? 1 : 0;
      case kComboListPicked:
        // A click in the dropped-down list closes it and selects the entry (Basic's Click).
        if (!m_dropped || !valid) return 0;
        m_dropped = false;
        combo.setListIndex(index);
        return 0;
      default:
        return m_ui.desktop().callClassProc(h, msg, wParam, lParam);
    }
  }

  // An arrow key in a drop-down list selects the entry below or above (Basic's Click); with none
  // selected, the first.
  void stepSelection(int32_t step) {
    auto& combo = static_cast<ui::ComboBox&>(m_control);
    if (!enabled() || combo.listCount() == 0) return;
    const int32_t at = combo.listIndex();
    combo.setListIndex(at < 0 ? 0 : std::clamp(at + step, 0, combo.listCount() - 1));
  }

  // A character typed into a text box. A box with ES_NUMBER takes digits only.
  void typed(char c) {
    if (!enabled()) return;
    auto& box = static_cast<ui::TextBox&>(m_control);
    std::string text = box.text();
    if (c == '\b') {
      if (text.empty()) return;
      text.pop_back();
    } else {
      if (static_cast<unsigned char>(c) < 0x20) return;
      const auto style = static_cast<uint32_t>(m_ui.desktop().getWindowLongA(m_hwnd, GWL_STYLE));
      if ((style & ES_NUMBER) && (c < '0' || c > '9')) return;
      text += c;
    }
    box.typed(text);
  }

  SimUi& m_ui;
  ui::Form& m_form;
  ui::Control& m_control;
  Hwnd m_hwnd = 0;
  bool m_dropped = false;
  std::shared_ptr<SimControlPeer*> m_binding;
};

}  // namespace

// --- List view -------------------------------------------------------------------------------

struct SimListViewPeer::Binding {
  SimListViewPeer* peer = nullptr;
};

SimListViewPeer::SimListViewPeer(SimUi& ui, ui::Form& form, ui::ListView& list)
    : m_ui(ui), m_form(form), m_list(list), m_binding(std::make_shared<Binding>()) {
  m_binding->peer = this;
  auto binding = m_binding;
  SimDesktop& desktop = m_ui.desktop();
  m_hwnd = desktop.createWindowA(
      "ListView20WndClass", "", childStyle(list) | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
      0, 0, 0, 0, form.hWnd(), [binding, &desktop](Hwnd h, uint32_t msg, WParam w, LParam l) {
        if (binding->peer) return binding->peer->listProc(h, msg, w, l);
        return desktop.callClassProc(h, msg, w, l);
      });
  desktop.setNonClient(m_hwnd, Rect{kClientEdge, kClientEdge, kClientEdge, kClientEdge});
  m_header = desktop.createWindowA("msvb_lib_header", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, m_hwnd,
                                   [binding, &desktop](Hwnd h, uint32_t msg, WParam w, LParam l) {
                                     if (binding->peer)
                                       return binding->peer->headerProc(h, msg, w, l);
                                     return desktop.callClassProc(h, msg, w, l);
                                   });
  placeWindows();
}

SimListViewPeer::~SimListViewPeer() {
  m_binding->peer = nullptr;
}

void SimListViewPeer::placeWindows() {
  const ui::Box b = m_list.formBox();
  m_ui.desktop().place(m_hwnd, m_ui.pixelsX(b.left), m_ui.pixelsY(b.top), m_ui.pixelsX(b.width),
                       m_ui.pixelsY(b.height));
  m_ui.desktop().place(m_header, 0, 0, clientWidth(), headerHeight());
}

void SimListViewPeer::update(ui::Change what) {
  if (m_hwnd == 0) return;
  SimDesktop& desktop = m_ui.desktop();
  switch (what) {
    case ui::Change::Box:
      placeWindows();
      break;
    case ui::Change::Visible:
      desktop.showWindow(m_hwnd, m_list.visible() ? SW_SHOW : SW_HIDE);
      break;
    case ui::Change::Enabled:
      setStyleBit(desktop, m_hwnd, WS_DISABLED, !m_list.enabled());
      break;
    case ui::Change::Font:
      placeWindows();
      break;
    default:
      break;
  }
  // Fewer rows, a taller row or narrower columns can leave the list scrolled too far.
  scrollTo(m_top, m_scrollX);
}

void SimListViewPeer::setFocus() {
  if (m_hwnd != 0) m_ui.setFocus(m_hwnd);
}

void SimListViewPeer::destroy() {
  if (m_hwnd == 0) return;
  const Hwnd h = m_hwnd;
  m_hwnd = 0;
  m_header = 0;
  // Called from ~Control too, when the list's own part is gone: from here the windows run the
  // default procedure.
  m_binding->peer = nullptr;
  m_ui.windowDestroyed(h);
  m_ui.desktop().destroyWindow(h);
}

int32_t SimListViewPeer::headerHeight() const {
  return textHeight(m_list.font()) + kTextMargin;
}

int32_t SimListViewPeer::rowHeight() const {
  // The small-icon pictures set the row height, with a pixel to spare as the common list view
  // keeps (a 32-pixel picture gives 33-pixel rows); without them the text does.
  return std::max(m_list.smallIconHeight() > 0 ? m_list.smallIconHeight() + 1 : 0,
                  textHeight(m_list.font()) + kTextMargin);
}

int32_t SimListViewPeer::clientWidth() const {
  return m_ui.desktop().clientRect(m_hwnd).right;
}
int32_t SimListViewPeer::clientHeight() const {
  return m_ui.desktop().clientRect(m_hwnd).bottom;
}

int32_t SimListViewPeer::columnPixels(size_t column) const {
  return m_ui.toPixels(m_list.columns()[column].width, m_ui.twipsPerPixelX());
}

int32_t SimListViewPeer::dividerX(size_t column) const {
  int32_t x = 0;
  for (size_t i = 0; i <= column && i < m_list.columns().size(); ++i) x += columnPixels(i);
  return x - m_scrollX;
}

SimListViewPeer::Bars SimListViewPeer::bars() const {
  // Scroll bars take room from the rows when the rows or the columns do not fit.
  const int32_t columns =
      m_list.columns().empty() ? 0 : dividerX(m_list.columns().size() - 1) + m_scrollX;
  const auto rowsHeight = static_cast<int64_t>(m_list.rows().size()) * rowHeight();
  const int32_t width = clientWidth();
  const int32_t height = clientHeight() - headerHeight();
  Bars b;
  b.vertical = rowsHeight > height;
  b.horizontal = columns > width - (b.vertical ? m_ui.systemMetrics(SM_CXVSCROLL) : 0);
  if (b.horizontal && !b.vertical)
    b.vertical = rowsHeight > height - m_ui.systemMetrics(SM_CYHSCROLL);
  return b;
}

int32_t SimListViewPeer::viewWidth() const {
  return clientWidth() - (bars().vertical ? m_ui.systemMetrics(SM_CXVSCROLL) : 0);
}

int32_t SimListViewPeer::viewHeight() const {
  return clientHeight() - headerHeight() -
         (bars().horizontal ? m_ui.systemMetrics(SM_CYHSCROLL) : 0);
}

size_t SimListViewPeer::visibleRows() const {
  return static_cast<size_t>(std::max(1, viewHeight() / rowHeight()));
}

size_t SimListViewPeer::maxTop() const {
  const size_t rows = m_list.rows().size();
  const size_t page = visibleRows();
  return rows > page ? rows - page : 0;
}

int32_t SimListViewPeer::maxScrollX() const {
  if (m_list.columns().empty()) return 0;
  const int32_t columns = dividerX(m_list.columns().size() - 1) + m_scrollX;
  return std::max(0, columns - viewWidth());
}

void SimListViewPeer::scrollTo(size_t top, int32_t x) {
  m_top = std::min(top, maxTop());
  m_scrollX = std::clamp(x, 0, maxScrollX());
}

std::optional<size_t> SimListViewPeer::hitTest(int32_t x, int32_t y) {
  if (m_hwnd == 0) return std::nullopt;
  const int32_t px = SimUi::pixelAt(x, m_ui.twipsPerPixelX());
  const int32_t py = SimUi::pixelAt(y, m_ui.twipsPerPixelY()) - headerHeight();
  if (px < 0 || px >= viewWidth() || py < 0 || py >= viewHeight()) return std::nullopt;
  // Full-row select: the row under the point, whichever column.
  const size_t row = m_top + static_cast<size_t>(py / rowHeight());
  if (row >= m_list.rows().size()) return std::nullopt;
  return row;
}

int32_t SimListViewPeer::rowTop(size_t row) {
  const auto shown = static_cast<int64_t>(row) - static_cast<int64_t>(m_top);
  return static_cast<int32_t>((headerHeight() + shown * rowHeight()) * m_ui.twipsPerPixelY());
}

int32_t SimListViewPeer::scrollLeft() {
  return m_scrollX * m_ui.twipsPerPixelX();
}

size_t SimListViewPeer::topShowing(size_t row) const {
  const size_t page = visibleRows();
  if (row < m_top) return row;
  if (row >= m_top + page) return row - page + 1;
  return m_top;
}

void SimListViewPeer::ensureVisible(size_t row, size_t column) {
  if (m_hwnd == 0) return;
  int32_t x = m_scrollX;
  const int32_t right = dividerX(column);
  const int32_t left = right - columnPixels(column);
  if (left < 0)
    x += left;
  else if (right > viewWidth())
    x += std::min(left, right - viewWidth());
  scrollTo(topShowing(row), x);
}

std::optional<size_t> SimListViewPeer::dividerAt(int32_t x) const {
  // The grip reaches a few pixels either side; the later column wins, so a column dragged to
  // nothing can be pulled out again.
  std::optional<size_t> found;
  for (size_t i = 0; i < m_list.columns().size(); ++i)
    if (std::abs(x - dividerX(i)) <= 4) found = i;
  return found;
}

LResult SimListViewPeer::notifyList(int32_t code, size_t column) {
  HeaderNotification n;
  n.hwndFrom = m_header;
  n.idFrom = static_cast<uint32_t>(m_ui.desktop().getWindowLongA(m_header, GWL_ID));
  n.code = code;
  n.item = static_cast<int32_t>(column);
  return m_ui.desktop().deliver(m_hwnd, WM_NOTIFY, n.idFrom, reinterpret_cast<LParam>(&n));
}

void SimListViewPeer::autoSize(size_t column) {
  int32_t widest = 0;
  for (size_t r = 0; r < m_list.rows().size(); ++r) {
    const ui::ListView::Row& row = m_list.rows()[r];
    const std::string text = column == 0 ? row.text : m_list.subItem(r, column);
    widest = std::max(widest, textWidth(text, m_list.font(), column == 0 && row.bold));
  }
  // The first column keeps room for the small-icon picture.
  const int32_t icon = column == 0 ? m_list.smallIconHeight() : 0;
  m_list.setColumnWidth(column, (widest + kCellPadding + icon) * m_ui.twipsPerPixelX());
}

LResult SimListViewPeer::headerProc(Hwnd h, uint32_t msg, WParam wParam, LParam lParam) {
  const int32_t x = pointX(lParam);
  const int32_t tpp = m_ui.twipsPerPixelX();
  switch (msg) {
    case WM_LBUTTONDOWN: {
      const auto column = dividerAt(x);
      if (!column) return 0;
      // The list may refuse the drag by answering nonzero.
      if (notifyList(HDN_BEGINTRACKA, *column) != 0) return 0;
      m_track = Track{*column, x, columnPixels(*column)};
      return 0;
    }
    case WM_MOUSEMOVE:
      if (m_track)
        m_list.setColumnWidth(m_track->column,
                              std::max(0, m_track->startWidth + x - m_track->startX) * tpp);
      return 0;
    case WM_LBUTTONUP: {
      if (!m_track) return 0;
      const Track track = *m_track;
      m_track.reset();
      m_list.setColumnWidth(track.column, std::max(0, track.startWidth + x - track.startX) * tpp);
      notifyList(HDN_ENDTRACKA, track.column);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      const auto column = dividerAt(x);
      if (column) notifyList(HDN_DIVIDERDBLCLICKA, *column);
      return 0;
    }
    default:
      return m_ui.desktop().callClassProc(h, msg, wParam, lParam);
  }
}

LResult SimListViewPeer::listProc(Hwnd h, uint32_t msg, WParam wParam, LParam lParam) {
  const int32_t tppX = m_ui.twipsPerPixelX();
  const int32_t tppY = m_ui.twipsPerPixelY();
  const bool enabled = m_list.enabled();
  switch (msg) {
    case WM_SETFOCUS:
      m_list.gotFocus();
      return 0;
    case WM_DESTROY:
      m_ui.windowDestroyed(h);
      break;
    case WM_KEYDOWN: {
      if (wParam != VK_UP && wParam != VK_DOWN) {
        m_ui.formKey(m_form, static_cast<uint32_t>(wParam));
        return 0;
      }
      // The arrows move the selection a row and scroll it into view; with none, the first row
      // takes it.
      if (!enabled || m_list.rows().empty()) return 0;
      size_t row = 0;
      if (const auto selected = m_list.selectedRow()) {
        row = *selected;
        if (wParam == VK_UP && row > 0) --row;
        if (wParam == VK_DOWN && row + 1 < m_list.rows().size()) ++row;
      }
      m_list.userSelected(row);
      scrollTo(topShowing(row), m_scrollX);
      return 0;
    }
    case WM_SYSKEYDOWN:
      m_form.pressAccessKey(static_cast<char>(wParam));
      return 0;
    case WM_MOUSEWHEEL: {
      // Three rows a notch, the system's default; toward the user the rows move up.
      const auto delta = static_cast<int16_t>((wParam >> 16) & 0xFFFF);
      const int32_t rows = -delta * kWheelRows / WHEEL_DELTA;
      const auto top = static_cast<int64_t>(m_top) + rows;
      scrollTo(static_cast<size_t>(std::max<int64_t>(top, 0)), m_scrollX);
      return 0;
    }
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const HeaderNotification*>(lParam);
      if (n == nullptr || n->hwndFrom != m_header) return 0;
      // The list sizes a column to its widest text when its divider is double-clicked.
      if (n->code == HDN_DIVIDERDBLCLICKA && n->item >= 0 &&
          static_cast<size_t>(n->item) < m_list.columns().size())
        autoSize(static_cast<size_t>(n->item));
      return 0;
    }
    case WM_VSCROLL: {
      const size_t page = visibleRows();
      size_t top = m_top;
      switch (wParam & 0xFFFF) {
        case SB_LINEUP:
          top = top > 0 ? top - 1 : 0;
          break;
        case SB_LINEDOWN:
          ++top;
          break;
        case SB_PAGEUP:
          top = top > page ? top - page : 0;
          break;
        case SB_PAGEDOWN:
          top += page;
          break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
          top = (wParam >> 16) & 0xFFFF;
          break;
        case SB_TOP:
          top = 0;
          break;
        case SB_BOTTOM:
          top = maxTop();
          break;
        default:
          break;
      }
      scrollTo(top, m_scrollX);
      return 0;
    }
    case WM_HSCROLL: {
      int32_t x = m_scrollX;
      switch (wParam & 0xFFFF) {
        case SB_LINELEFT:
          x -= 1;
          break;
        case SB_LINERIGHT:
          x += 1;
          break;
        case SB_PAGEUP:
          x -= clientWidth();
          break;
        case SB_PAGEDOWN:
          x += clientWidth();
          break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
          x = static_cast<int32_t>((wParam >> 16) & 0xFFFF);
          break;
        case SB_TOP:
          x = 0;
          break;
        case SB_BOTTOM:
          x = maxScrollX();
          break;
        default:
          break;
      }
      scrollTo(m_top, x);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      if (!enabled) return 0;
      m_ui.setFocus(h);
      // A left or right click selects the row under it; a click below the rows leaves the
      // selection as it is.
      if (msg != WM_MBUTTONDOWN)
        if (const auto row = hitTest(pointX(lParam) * tppX, pointY(lParam) * tppY))
          m_list.userSelected(*row);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      if (!enabled || !m_list.onMouseUp) return 0;
      const int16_t button = msg == WM_LBUTTONUP   ? ui::mouse::kLeft
                             : msg == WM_RBUTTONUP ? ui::mouse::kRight
                                                   : ui::mouse::kMiddle;
      m_list.onMouseUp(button, shiftOf(wParam, m_ui.heldKeys), pointX(lParam) * tppX,
                       pointY(lParam) * tppY);
      return 0;
    }
    default:
      break;
  }
  return m_ui.desktop().callClassProc(h, msg, wParam, lParam);
}

// --- SimUi -----------------------------------------------------------------------------------

SimUi::SimUi(SimDesktop& desktop, Host& host) : m_desktop(desktop), m_host(host) {}

SimUi::~SimUi() = default;

std::unique_ptr<ui::FormPeer> SimUi::createForm(ui::Form& form) {
  return std::make_unique<SimFormPeer>(*this, form);
}

std::unique_ptr<ui::ControlPeer> SimUi::createControl(ui::Form& form, ui::Control& control) {
  switch (control.kind()) {
    case ui::ControlKind::Label:
    case ui::ControlKind::Line:
    case ui::ControlKind::Image:
      return std::make_unique<WindowlessPeer>();
    case ui::ControlKind::ListView:
      return std::make_unique<SimListViewPeer>(*this, form, static_cast<ui::ListView&>(control));
    default:
      return std::make_unique<SimControlPeer>(*this, form, control);
  }
}

int32_t SimUi::systemMetrics(int32_t index) {
  switch (index) {
    case SM_CXSCREEN:
      return 1024;
    case SM_CYSCREEN:
      return 768;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 16;
    case SM_CYCAPTION:
      return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME:
      return 3;
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    case SM_CYMENU:
      return 19;
    case SM_CXSIZEFRAME:
    case SM_CYSIZEFRAME:
      return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    default:
      return 0;
  }
}

int32_t SimUi::toPixels(int32_t twips, int32_t perPixel) {
  if (perPixel <= 0) return twips;
  const int32_t sign = twips < 0 ? -1 : 1;
  return sign * ((sign * twips + perPixel / 2) / perPixel);
}

int32_t SimUi::pixelAt(int32_t twips, int32_t perPixel) {
  if (perPixel <= 0) return twips;
  return twips >= 0 ? twips / perPixel : -((-twips + perPixel - 1) / perPixel);
}

void SimUi::setFocus(Hwnd hwnd) {
  if (hwnd == m_focus || !m_desktop.isWindow(hwnd)) return;
  const Hwnd old = m_focus;
  m_focus = hwnd;
  if (old != 0) m_desktop.deliver(old, WM_KILLFOCUS, hwnd, 0);
  m_desktop.deliver(hwnd, WM_SETFOCUS, old, 0);
}

void SimUi::windowDestroyed(Hwnd hwnd) {
  if (m_focus == hwnd) m_focus = 0;
}

void SimUi::formKey(ui::Form& form, uint32_t virtualKey) {
  switch (virtualKey) {
    case VK_TAB: {
      const auto order = form.tabOrder();
      if (order.empty()) return;
      const auto at = std::find(order.begin(), order.end(), form.focused());
      const bool back = (heldKeys & ui::shift::kShift) != 0;
      size_t next = 0;
      if (at == order.end()) {
        next = back ? order.size() - 1 : 0;
      } else {
        const auto i = static_cast<size_t>(at - order.begin());
        next = back ? (i + order.size() - 1) % order.size() : (i + 1) % order.size();
      }
      order[next]->setFocus();
      return;
    }
    case VK_RETURN:
    case VK_ESCAPE: {
      // Enter presses the button that has the focus, else the default button; Escape the
      // cancel button.
      ui::Button* target = nullptr;
      if (virtualKey == VK_RETURN) target = dynamic_cast<ui::Button*>(form.focused());
      for (ui::Control* c : form.controls()) {
        if (target) break;
        auto* b = dynamic_cast<ui::Button*>(c);
        if (b && (virtualKey == VK_RETURN ? b->isDefault : b->isCancel)) target = b;
      }
      if (target && target->visible()) target->click();
      return;
    }
    default:
      return;
  }
}

std::optional<std::function<void()>> SimUi::takeModalUser() {
  if (m_modalUsers.empty()) return std::nullopt;
  auto user = std::move(m_modalUsers.front());
  m_modalUsers.pop_front();
  return user;
}

std::optional<std::string> SimUi::showFileDialog(ui::Form&, const ui::FileDialogRequest& request) {
  m_fileDialogs.push_back(request);
  if (m_fileAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(m_fileAnswers.front());
  m_fileAnswers.pop_front();
  return answer;
}

void SimUi::modalEnded(bool answered) {
  if (!m_modalForms.empty()) m_modalForms.pop_back();
  if (!answered) ++m_unansweredModals;
}

void SimUi::formDestroyed(Hwnd hwnd) {
  std::erase(m_forms, hwnd);
}

std::vector<Hwnd> SimUi::disableOtherForms(Hwnd modal) {
  std::vector<Hwnd> disabled;
  for (Hwnd h : m_forms) {
    if (h == modal || (m_desktop.getWindowLongA(h, GWL_STYLE) & WS_DISABLED)) continue;
    setStyleBit(m_desktop, h, WS_DISABLED, true);
    disabled.push_back(h);
  }
  return disabled;
}

void SimUi::enableForms(const std::vector<Hwnd>& forms) {
  for (Hwnd h : forms)
    if (m_desktop.isWindow(h)) setStyleBit(m_desktop, h, WS_DISABLED, false);
}

}  // namespace morvane::sim
