#include "hostwin/act_frame.h"

#include <algorithm>
#include <string>

#include "hostwin/standin_protocol.h"

#include <commctrl.h>

namespace morvane::hostwin {

namespace shape = hostsim::shape;

namespace {

// Queued messages the system makes itself rather than another program posting them, the
// characters the loop's TranslateMessage makes of posted keys among them.
bool isSystemQueued(UINT msg) {
  constexpr UINT kSysTimer = 0x0118;  // caret blinking in edit fields
  return msg == WM_PAINT || msg == WM_TIMER || msg == kSysTimer || msg == WM_CHAR ||
         msg == WM_DEADCHAR || msg == WM_SYSCHAR || msg == WM_SYSDEADCHAR ||
         (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
         (msg >= WM_NCMOUSEMOVE && msg <= WM_NCXBUTTONDBLCLK) ||
         (msg >= WM_NCMOUSEHOVER && msg <= WM_MOUSELEAVE);
}

const char* viewName(int16_t view) {
  switch (view) {
    case hostsim::view::kContact:
      return "Contact";
    case hostsim::view::kContactList:
      return "Contact List";
    case hostsim::view::kGroup:
      return "Group";
    default:
      return "Other";
  }
}

}  // namespace

ActFrame::ActFrame(HINSTANCE instance, hostsim::ActSim& act, int fillers)
    : m_instance(instance), m_act(act), m_fillers(fillers) {
  m_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

ActFrame::~ActFrame() {
  destroy();
  if (m_viewClass != 0) UnregisterClassA(MAKEINTATOM(m_viewClass), m_instance);
  if (m_frameClass != 0) UnregisterClassA(MAKEINTATOM(m_frameClass), m_instance);
}

void ActFrame::registerClasses() {
  if (m_frameClass != 0) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = m_instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  const std::string frameClass(shape::kFrameClass);
  wc.lpszClassName = frameClass.c_str();
  m_frameClass = RegisterClassA(&wc);
  wc.hbrBackground = nullptr;  // the view paints its whole area itself
  const std::string viewClass(shape::kViewClass);
  wc.lpszClassName = viewClass.c_str();
  m_viewClass = RegisterClassA(&wc);
}

HWND ActFrame::createChild(const char* className, const char* text, DWORD style, int x, int y,
                           int width, int height, HWND parent, int id) {
  const HWND hwnd =
      CreateWindowExA(0, className, text, style, x, y, width, height, parent,
                      reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), m_instance, nullptr);
  if (hwnd != nullptr) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
  return hwnd;
}

void ActFrame::attach(HWND hwnd, Role role, size_t index) {
  if (hwnd == nullptr) return;
  Subclass& s = m_subclasses.emplace_back();
  s.owner = this;
  s.role = role;
  s.index = index;
  s.original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
  if (s.original == windowProc) {
    // One of our own classes: its messages before this point went to the default procedure.
    s.original = DefWindowProcA;
  } else {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));
    s.swapped = true;
  }
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&s));
}

void ActFrame::create() {
  if (isOpen()) return;
  registerClasses();
  m_subclasses.clear();
  m_buttons = {};
  m_lists = {};
  const hostsim::ActLayoutState& layouts = m_act.layoutState();

  m_frame = CreateWindowExA(0, std::string(shape::kFrameClass).c_str(),
                            shape::frameTitle(layouts.current).c_str(),
                            shape::kFrameStyle & ~WS_VISIBLE, 0, 0, shape::kFrameWidth,
                            shape::kFrameHeight, nullptr, nullptr, m_instance, nullptr);
  if (m_frame == nullptr) return;
  attach(m_frame, Role::Frame);

  // The record view, as large as the frame leaves it; layOut sizes it.
  RECT client;
  GetClientRect(m_frame, &client);
  m_view = createChild(std::string(shape::kViewClass).c_str(), "", shape::kChildStyle, 0, 0,
                       client.right, client.bottom - shape::kStatusBarHeight, m_frame, 0);
  attach(m_view, Role::View);
  for (int i = 0; i < m_fillers; ++i) {
    const shape::FillerPlace f = shape::fillerPlace(i);
    attach(createChild(std::string(f.className).c_str(), "", shape::kChildStyle, f.x, f.y, f.width,
                       f.height, m_view, 0),
           Role::Filler);
  }

  m_statusBar = createChild(STATUSCLASSNAMEA, "", shape::kChildStyle, 0, 0, 0, 0, m_frame, 0);
  SendMessageA(m_statusBar, SB_SETMINHEIGHT,
               static_cast<WPARAM>(shape::kStatusBarHeight - 2 * GetSystemMetrics(SM_CYBORDER)), 0);
  attach(m_statusBar, Role::StatusBar);
  const std::string lookupText(shape::kLookupButtonText);
  for (size_t i : {kLayout, kLookup}) {
    m_buttons[i] = createChild(
        "Button", i == kLayout ? layouts.current.c_str() : lookupText.c_str(), shape::kChildStyle,
        shape::kButtonLefts[i], shape::kButtonTop, shape::kButtonWidth, shape::kButtonHeight,
        m_statusBar, shape::kFirstButtonId + static_cast<int>(i));
    attach(m_buttons[i], Role::Button, i);
  }

  // The pop-ups, hidden, waiting at the screen's left edge until first opened. The layout list is
  // made last, so it is the last list box in the tree.
  POINT origin{0, 0};
  ClientToScreen(m_frame, &origin);
  for (size_t i : {kLookup, kLayout}) {
    const DWORD style =
        i == kLayout ? shape::layoutListStyle(layouts.names.size()) : shape::kPopupStyle;
    m_lists[i] = createChild("ListBox", "", style, -origin.x, 0, shape::kButtonWidth,
                             shape::kLookupListHeight, m_frame, 0);
    SendMessageA(m_lists[i], LB_SETITEMHEIGHT, 0, shape::kItemHeight);
    attach(m_lists[i], Role::List, i);
  }
  for (std::string_view entry : shape::kLookupEntries)
    SendMessageA(m_lists[kLookup], LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.data()));
  refreshLayoutList();
  layOut();
}

void ActFrame::show() {
  if (!isOpen()) return;
  // Shown once the tree is complete: a client that sees the frame sees all of it.
  ShowWindow(m_frame, SW_SHOW);
  UpdateWindow(m_frame);
  SetFocus(m_view);
}

void ActFrame::destroy() {
  if (isOpen()) DestroyWindow(m_frame);
  m_frame = m_view = m_statusBar = nullptr;
  m_buttons = {};
  m_lists = {};
}

bool ActFrame::isOwnWindow(HWND hwnd) const {
  return hwnd != nullptr && m_frame != nullptr && (hwnd == m_frame || IsChild(m_frame, hwnd));
}

void ActFrame::layOut() {
  if (m_statusBar == nullptr) return;
  SendMessageA(m_statusBar, WM_SIZE, 0, 0);  // the status bar docks itself at the bottom
  RECT client, bar;
  GetClientRect(m_frame, &client);
  GetWindowRect(m_statusBar, &bar);
  MoveWindow(m_view, 0, 0, client.right, client.bottom - (bar.bottom - bar.top), TRUE);
}

void ActFrame::showLayout() {
  const std::string& current = m_act.currentLayout();
  if (m_buttons[kLayout] != nullptr) SetWindowTextA(m_buttons[kLayout], current.c_str());
  if (m_frame != nullptr) SetWindowTextA(m_frame, shape::frameTitle(current).c_str());
}

void ActFrame::refreshLayoutList() {
  const HWND list = m_lists[kLayout];
  if (list == nullptr) return;
  const std::vector<std::string>& names = m_act.layouts();
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : names)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  const auto style = static_cast<DWORD>(GetWindowLongA(list, GWL_STYLE));
  SetWindowLongA(list, GWL_STYLE,
                 static_cast<LONG>((style & WS_VISIBLE) | shape::layoutListStyle(names.size())));
  SetWindowPos(list, nullptr, 0, 0, shape::kButtonWidth, shape::layoutListHeight(names.size()),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void ActFrame::showRecord() {
  if (m_view != nullptr) InvalidateRect(m_view, nullptr, TRUE);
}

void ActFrame::postQueuedWork() {
  if (m_frame != nullptr) PostMessageA(m_frame, kQueuedWorkMessage, 0, 0);
}

void ActFrame::notePosted(const MSG& msg) {
  if (msg.message == kQueuedWorkMessage && msg.hwnd == m_frame) return;
  if (!isSystemQueued(msg.message) && isOwnWindow(msg.hwnd)) ++m_counts.posted;
}

bool ActFrame::isPopupOpen(HWND list) const {
  // The pop-up's own visibility: it stays open while ACT!'s painting is switched off.
  return (static_cast<DWORD>(GetWindowLongA(list, GWL_STYLE)) & WS_VISIBLE) != 0;
}

void ActFrame::togglePopup(size_t index) {
  const HWND list = m_lists[index];
  if (list == nullptr || !IsWindow(list)) return;
  if (isPopupOpen(list)) {
    ShowWindow(list, SW_HIDE);
    return;
  }
  // Just above the button, at the pop-up's own height (a client may have shrunk it).
  const int height =
      index == kLayout ? shape::layoutListHeight(m_act.layouts().size()) : shape::kLookupListHeight;
  RECT button, bar;
  GetWindowRect(m_buttons[index], &button);
  GetWindowRect(m_statusBar, &bar);
  POINT topLeft{button.left, bar.top - height};
  ScreenToClient(m_frame, &topLeft);
  SetWindowPos(list, nullptr, topLeft.x, topLeft.y, shape::kButtonWidth, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (index == kLayout) {
    const auto& names = m_act.layouts();
    const auto it = std::find(names.begin(), names.end(), m_act.currentLayout());
    const WPARAM shown =
        it == names.end() ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(it - names.begin());
    // ACT! marks the shown layout itself, past its own handling of the list's messages.
    const auto* s = reinterpret_cast<const Subclass*>(GetWindowLongPtrA(list, GWLP_USERDATA));
    CallWindowProcA(s->original, list, LB_SETCURSEL, shown, 0);
  }
  ShowWindow(list, SW_SHOWNA);
}

// Enter (or a double click) in an open pop-up: the layout list applies its selected entry, and
// either pop-up closes.
void ActFrame::choose(size_t index) {
  const HWND list = m_lists[index];
  if (index == kLayout) {
    const auto sel = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    if (sel >= 0) {
      std::string name(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, sel, 0)) + 1, '\0');
      name.resize(static_cast<size_t>(
          SendMessageA(list, LB_GETTEXT, sel, reinterpret_cast<LPARAM>(name.data()))));
      hostsim::ActLayoutState& layouts = m_act.layoutState();
      layouts.current = name;
      layouts.applied.push_back(name);
      showLayout();
      if (layouts.onApplied) layouts.onApplied();
    }
  }
  if (IsWindow(list)) ShowWindow(list, SW_HIDE);
}

void ActFrame::paintView(HWND view) {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(view, &ps);
  // Open pop-ups lie below the view in the Z order; leave them be.
  for (HWND list : m_lists) {
    if (list == nullptr || !isPopupOpen(list)) continue;
    RECT r;
    GetWindowRect(list, &r);
    MapWindowPoints(nullptr, view, reinterpret_cast<POINT*>(&r), 2);
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  RECT area;
  GetClientRect(view, &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));

  // The record below the filler fields.
  for (int i = 0; i < m_fillers; ++i) {
    const shape::FillerPlace f = shape::fillerPlace(i);
    area.top = std::max<LONG>(area.top, f.y + f.height);
  }
  area.left += 10;
  area.top += 10;
  std::string text;
  const hostsim::ActRecord* record = m_act.currentRecord();
  if (!m_act.databaseOpen()) {
    text = "No database open";
  } else {
    const hostsim::RecordKind kind = hostsim::kindOfView(m_act.activeView());
    const hostsim::ActRecordSet& set = m_act.database().records(kind);
    text = std::string(viewName(m_act.activeView())) + " view - " + m_act.openDatabasePath();
    if (record != nullptr) {
      text += "\r\nRecord " + std::to_string(set.current + 1) + " of " +
              std::to_string(set.records.size()) + ": " + record->name + "\r\n";
      for (const hostsim::ActField& field : set.fields) {
        if (field.id == -1) continue;
        text += field.label + ": " + set.currentValue(field.id).value_or("") + "    ";
      }
    }
  }
  const HGDIOBJ oldFont = SelectObject(dc, m_font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_LEFT | DT_WORDBREAK);
  SelectObject(dc, oldFont);
  EndPaint(view, &ps);
}

LRESULT CALLBACK ActFrame::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* window = reinterpret_cast<Subclass*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  ActFrame& self = *window->owner;

  // A message another program sent counts once: what the windows do in answer to it (a button's
  // click sequence, the pop-up showing itself) is the stand-in's own doing. Messages that arrive
  // while the stand-in itself waits (on a client's event sink, say) count as any other.
  const bool foreign = !self.m_inForeignSend && InSendMessageEx(nullptr) != ISMEX_NOSEND;
  if (foreign) {
    const bool channel =
        msg == WM_COPYDATA && lParam != 0 &&
        reinterpret_cast<const COPYDATASTRUCT*>(lParam)->dwData == protocol::kCommandTag;
    if (!channel) ++self.m_counts.sent;
    self.m_inForeignSend = true;
  }
  const LRESULT result = self.handle(*window, hwnd, msg, wParam, lParam);
  if (foreign) self.m_inForeignSend = false;
  return result;
}

LRESULT ActFrame::handle(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCDESTROY) {
    const WNDPROC original = window.original;
    if (window.swapped) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return CallWindowProcA(original, hwnd, msg, wParam, lParam);
  }
  switch (window.role) {
    case Role::Frame:
      return handleFrame(window, hwnd, msg, wParam, lParam);
    case Role::View:
      return handleView(window, hwnd, msg, wParam, lParam);
    case Role::List:
      return handleList(window, hwnd, msg, wParam, lParam);
    case Role::StatusBar:
      // Buttons report their clicks to their parent, the status bar.
      if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        const auto button = reinterpret_cast<HWND>(lParam);
        if (onButtonClicked) onButtonClicked();
        for (size_t i : {kLayout, kLookup}) {
          if (button == m_buttons[i]) togglePopup(i);
        }
        return 0;
      }
      break;
    case Role::Button:
    case Role::Filler:
      break;
  }
  return CallWindowProcA(window.original, hwnd, msg, wParam, lParam);
}

LRESULT ActFrame::handleFrame(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COPYDATA:
      if (onCopyData && lParam != 0) {
        return onCopyData(win32::toHwnd(static_cast<Hwnd>(wParam)),
                          *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      }
      return 0;
    case kQueuedWorkMessage:
      if (onQueuedWork) onQueuedWork();
      return 0;
    case WM_CLOSE:
      if (onCloseRequested) onCloseRequested();
      return 0;
    case WM_DESTROY:
      if (onDestroyed) onDestroyed();
      break;
    case WM_SIZE:
      layOut();
      return 0;
    case WM_SETFOCUS:
      if (m_view != nullptr) SetFocus(m_view);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == LBN_DBLCLK) {
        const auto list = reinterpret_cast<HWND>(lParam);
        for (size_t i : {kLayout, kLookup}) {
          if (list == m_lists[i] && isPopupOpen(list)) choose(i);
        }
        return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcA(window.original, hwnd, msg, wParam, lParam);
}

LRESULT ActFrame::handleView(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      paintView(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the background
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_KEYDOWN:
      if (onKey) onKey(static_cast<UINT>(wParam));
      return 0;
    default:
      return CallWindowProcA(window.original, hwnd, msg, wParam, lParam);
  }
}

LRESULT ActFrame::handleList(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == LB_FINDSTRINGEXACT && window.index == kLayout && onLayoutSearch) onLayoutSearch();
  if (msg == WM_KEYDOWN && wParam == VK_RETURN) {
    // Enter only means something while the pop-up is open.
    if (isPopupOpen(hwnd)) choose(window.index);
    return 0;
  }
  return CallWindowProcA(window.original, hwnd, msg, wParam, lParam);
}

}  // namespace morvane::hostwin
