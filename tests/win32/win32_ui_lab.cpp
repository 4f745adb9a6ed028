#include "tests/win32/win32_ui_lab.h"

#include <cctype>
#include <cmath>
#include <stdexcept>
#include <string>

#include "platform/win32/win32_base.h"
#include "tests/win32/support/wait.h"

#include <commctrl.h>

namespace morvane::win32 {
namespace {

LPARAM at(int x, int y) {
  return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                    static_cast<WORD>(static_cast<int16_t>(y)));
}

POINT centre(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A key as the keyboard puts it in the queue: down, then up.
void postKey(HWND target, UINT vk) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(target, WM_KEYDOWN, vk, 1 | scan);
  PostMessageA(target, WM_KEYUP, vk, 1 | scan | static_cast<LPARAM>(0xC0000000u));
}

void setShift(bool down) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

HWND header(ui::ListView& list) {
  return reinterpret_cast<HWND>(SendMessageA(toHwnd(list.hWnd()), LVM_GETHEADER, 0, 0));
}

// A point on the divider at the right of a column (its last pixel), in the header's client
// coordinates.
POINT divider(ui::ListView& list, size_t column) {
  RECT r{};
  SendMessageA(header(list), HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r));
  return POINT{r.right - 1, (r.top + r.bottom) / 2};
}

}  // namespace

Win32UiLab::Win32UiLab() : m_ui(m_windows) {}

Win32UiLab::~Win32UiLab() {
  m_ui.onModalLoop = nullptr;
}

void Win32UiLab::pump() {
  wintest::pumpMessages();
  m_windows.rethrowPending();
  m_ui.rethrowPending();
}

void Win32UiLab::click(ui::Control& control) {
  HWND target = toHwnd(control.hWnd());
  if (target == nullptr) return;
  // A form that is disabled (another one is modal) takes no mouse input at all.
  if (!IsWindowEnabled(GetAncestor(target, GA_ROOT))) return;
  POINT point = centre(target);
  if (!IsWindowVisible(target) || !IsWindowEnabled(target)) {
    // The mouse reaches what lies under the pointer: a hidden or disabled control takes no click.
    const HWND form = GetAncestor(target, GA_ROOT);
    POINT onForm = point;
    MapWindowPoints(target, form, &onForm, 1);
    target = ChildWindowFromPointEx(form, onForm, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    if (target == nullptr) return;
    point = onForm;
    MapWindowPoints(form, target, &point, 1);
  }
  PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at(point.x, point.y));
  PostMessageA(target, WM_LBUTTONUP, 0, at(point.x, point.y));
  pump();
}

void Win32UiLab::choose(ui::ComboBox& combo, int32_t index) {
  const HWND box = toHwnd(combo.hWnd());
  if (box == nullptr || !IsWindowEnabled(box)) return;
  // The user drops the list down and clicks the entry in it.
  SendMessageA(box, CB_SHOWDROPDOWN, TRUE, 0);
  pump();
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (!GetComboBoxInfo(box, &info) || info.hwndList == nullptr)
    throw std::runtime_error("the combo box has no drop-down list");
  SendMessageA(info.hwndList, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
  RECT item{};
  if (SendMessageA(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(&item)) == LB_ERR)
    throw std::runtime_error("no such entry: " + std::to_string(index));
  const int x = (item.left + item.right) / 2;
  const int y = (item.top + item.bottom) / 2;
  PostMessageA(info.hwndList, WM_MOUSEMOVE, 0, at(x, y));
  PostMessageA(info.hwndList, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
  PostMessageA(info.hwndList, WM_LBUTTONUP, 0, at(x, y));
  pump();
}

void Win32UiLab::type(ui::TextBox& box, std::string_view keys) {
  const HWND edit = toHwnd(box.hWnd());
  if (edit == nullptr) return;
  if (GetFocus() != edit) SetFocus(edit);
  const auto end = static_cast<WPARAM>(GetWindowTextLengthA(edit));
  SendMessageA(edit, EM_SETSEL, end, static_cast<LPARAM>(end));
  for (const char c : keys) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
  pump();
}

void Win32UiLab::press(ui::Form& form, contract::Key key) {
  const HWND window = toHwnd(form.hWnd());
  HWND target = GetFocus();
  if (target == nullptr || (target != window && !IsChild(window, target))) target = window;
  switch (key) {
    case contract::Key::Enter:
      postKey(target, VK_RETURN);
      break;
    case contract::Key::Escape:
      postKey(target, VK_ESCAPE);
      break;
    case contract::Key::Tab:
      postKey(target, VK_TAB);
      break;
    case contract::Key::ShiftTab:
      setShift(true);
      postKey(target, VK_TAB);
      break;
    case contract::Key::Space:
      postKey(target, VK_SPACE);
      break;
    case contract::Key::Up:
      postKey(target, VK_UP);
      break;
    case contract::Key::Down:
      postKey(target, VK_DOWN);
      break;
  }
  pump();
  if (key == contract::Key::ShiftTab) setShift(false);
}

void Win32UiLab::pressAlt(ui::Form& form, char key) {
  const HWND window = toHwnd(form.hWnd());
  HWND target = GetFocus();
  if (target == nullptr || (target != window && !IsChild(window, target))) target = window;
  const auto vk = static_cast<WPARAM>(std::toupper(static_cast<unsigned char>(key)));
  constexpr LPARAM kAltDown = LPARAM{1} << 29;
  PostMessageA(target, WM_SYSKEYDOWN, vk, kAltDown | 1);
  PostMessageA(target, WM_SYSKEYUP, vk, kAltDown | (LPARAM{3} << 30) | 1);
  pump();
}

void Win32UiLab::clickAt(ui::ListView& list, int16_t button, int32_t x, int32_t y) {
  const HWND view = toHwnd(list.hWnd());
  const LPARAM point =
      at(static_cast<int>(std::lround(static_cast<double>(x) / m_ui.twipsPerPixelX())),
         static_cast<int>(std::lround(static_cast<double>(y) / m_ui.twipsPerPixelY())));
  UINT down = WM_LBUTTONDOWN;
  UINT up = WM_LBUTTONUP;
  WPARAM held = MK_LBUTTON;
  if (button == ui::mouse::kRight) {
    down = WM_RBUTTONDOWN;
    up = WM_RBUTTONUP;
    held = MK_RBUTTON;
  } else if (button == ui::mouse::kMiddle) {
    down = WM_MBUTTONDOWN;
    up = WM_MBUTTONUP;
    held = MK_MBUTTON;
  }
  PostMessageA(view, down, held, point);
  PostMessageA(view, up, 0, point);
  pump();
}

void Win32UiLab::dragDivider(ui::ListView& list, size_t column, int32_t dx) {
  const HWND bar = header(list);
  const POINT from = divider(list, column);
  const int to =
      from.x + static_cast<int>(std::lround(static_cast<double>(dx) / m_ui.twipsPerPixelX()));
  PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at(from.x, from.y));
  PostMessageA(bar, WM_MOUSEMOVE, MK_LBUTTON, at(to, from.y));
  PostMessageA(bar, WM_LBUTTONUP, 0, at(to, from.y));
  pump();
}

void Win32UiLab::doubleClickDivider(ui::ListView& list, size_t column) {
  const HWND bar = header(list);
  const POINT on = divider(list, column);
  // As the mouse reports a double click: down, up, double click, up.
  PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at(on.x, on.y));
  PostMessageA(bar, WM_LBUTTONUP, 0, at(on.x, on.y));
  PostMessageA(bar, WM_LBUTTONDBLCLK, MK_LBUTTON, at(on.x, on.y));
  PostMessageA(bar, WM_LBUTTONUP, 0, at(on.x, on.y));
  pump();
}

void Win32UiLab::scrollRows(ui::ListView& list, int32_t rows) {
  // What the scroll bar sends its window for clicks on its arrows.
  const HWND view = toHwnd(list.hWnd());
  const WPARAM step = rows < 0 ? SB_LINEUP : SB_LINEDOWN;
  for (int32_t i = 0; i < std::abs(rows); ++i) SendMessageA(view, WM_VSCROLL, step, 0);
  SendMessageA(view, WM_VSCROLL, SB_ENDSCROLL, 0);
  pump();
}

void Win32UiLab::scrollHorizontally(ui::ListView& list, int32_t dx) {
  // What the scroll bar sends its window for clicks on its arrows, a pixel each in a report view.
  // (A dragged box is read back from the bar itself, which a test cannot drag.)
  const HWND view = toHwnd(list.hWnd());
  const int target = GetScrollPos(view, SB_HORZ) +
                     static_cast<int>(std::lround(static_cast<double>(dx) / m_ui.twipsPerPixelX()));
  for (int position = GetScrollPos(view, SB_HORZ); position != target;) {
    SendMessageA(view, WM_HSCROLL, position < target ? SB_LINERIGHT : SB_LINELEFT, 0);
    const int moved = GetScrollPos(view, SB_HORZ);
    if (moved == position) break;  // at the end
    position = moved;
  }
  SendMessageA(view, WM_HSCROLL, SB_ENDSCROLL, 0);
  pump();
}

void Win32UiLab::turnWheel(ui::ListView& list, int32_t notches) {
  // The wheel's message carries the pointer's place on the screen: the list's middle.
  const HWND view = toHwnd(list.hWnd());
  POINT middle = centre(view);
  ClientToScreen(view, &middle);
  const auto delta =
      static_cast<WORD>(static_cast<int16_t>(notches < 0 ? WHEEL_DELTA : -WHEEL_DELTA));
  for (int32_t i = 0; i < std::abs(notches); ++i)
    PostMessageA(view, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), at(middle.x, middle.y));
  pump();
}

void Win32UiLab::chooseMenu(ui::Form& form, const std::vector<std::string>& captions) {
  const HWND window = toHwnd(form.hWnd());
  HMENU menu = GetMenu(window);
  for (size_t level = 0; level < captions.size(); ++level) {
    const int count = menu != nullptr ? GetMenuItemCount(menu) : 0;
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
      char text[256] = {};
      GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      if (captions[level] == text) found = i;
    }
    if (found < 0) throw std::runtime_error("no menu entry " + captions[level]);
    if (GetMenuState(menu, static_cast<UINT>(found), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED))
      return;
    if (level + 1 < captions.size()) {
      menu = GetSubMenu(menu, found);
    } else {
      const UINT id = GetMenuItemID(menu, found);
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
  }
  pump();
}

void Win32UiLab::clickBackground(ui::Form& form, int32_t x, int32_t y) {
  const HWND window = toHwnd(form.hWnd());
  const LPARAM point =
      at(static_cast<int>(std::lround(static_cast<double>(x) / m_ui.twipsPerPixelX())),
         static_cast<int>(std::lround(static_cast<double>(y) / m_ui.twipsPerPixelY())));
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageA(window, WM_LBUTTONUP, 0, point);
  pump();
}

void Win32UiLab::closeBox(ui::Form& form) {
  PostMessageA(toHwnd(form.hWnd()), WM_SYSCOMMAND, SC_CLOSE, 0);
  pump();
}

void Win32UiLab::whenModal(std::function<void()> user) {
  m_modalUser = std::move(user);
  m_ui.onModalLoop = [this](ui::Form&) {
    m_ui.onModalLoop = nullptr;
    if (auto user = std::exchange(m_modalUser, nullptr)) user();
  };
}

std::string Win32UiLab::windowText(Hwnd hwnd) {
  const HWND w = toHwnd(hwnd);
  const int n = GetWindowTextLengthA(w);
  std::string text(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(w, text.data(), n + 1)));
  return text;
}

}  // namespace morvane::win32

namespace morvane::contract {

std::unique_ptr<UiLab> makeUiLab() {
  return std::make_unique<win32::Win32UiLab>();
}

}  // namespace morvane::contract
