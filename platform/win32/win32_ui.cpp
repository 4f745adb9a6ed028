#include "platform/win32/win32_ui.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime_error.h"
#include "platform/win32/win32_base.h"
#include "platform/win32/win32_window_system.h"

#include <commctrl.h>
#include <commdlg.h>

namespace morvane::win32 {

namespace {

constexpr char kFormClass[] = "Morvane.Form";
constexpr UINT_PTR kSubclassId = 1;
// The window property that names a control window's peer.
constexpr char kPeerProperty[] = "Morvane.UiPeer";
constexpr int kFirstControlId = 100;
constexpr UINT kFirstMenuId = 1000;
// Posted to a modal form as its loop starts.
constexpr UINT kModalStarted = WM_APP + 1;
// The dropped list of a drop-down combo box: so many rows below the closed box.
constexpr int kDroppedRows = 8;

// This thread's Win32Ui objects. Only a trivially destructible thread-local: one with a destructor
// would have the C++ runtime hold a DLL that shows forms loaded until the thread ends.
thread_local std::vector<Win32Ui*>* tUis = nullptr;

HWND asHwnd(void* p) {
  return static_cast<HWND>(p);
}

int16_t shiftFromKeys(WPARAM keys) {
  int16_t shift = 0;
  if (keys & MK_SHIFT) shift |= ui::shift::kShift;
  if (keys & MK_CONTROL) shift |= ui::shift::kCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= ui::shift::kAlt;
  return shift;
}

std::string windowText(HWND hwnd) {
  const int n = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
  const int copied = GetWindowTextA(hwnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

}  // namespace

class Win32ControlPeer;

// --- Form ------------------------------------------------------------------------------------

class Win32FormPeer final : public ui::FormPeer {
 public:
  Win32FormPeer(Win32Ui& ui, ui::Form& form);
  ~Win32FormPeer() override { destroy(); }

  Hwnd hwnd() const override { return fromHwnd(m_hwnd); }
  void update(ui::Change what) override;
  void show() override;
  void hide() override;
  void runModal() override { m_ui.runModalLoop(*this); }
  void refresh() override;
  void destroy() override;

  ui::Form& form() const { return m_form; }
  HWND window() const { return m_hwnd; }
  // A modal loop runs while this holds.
  bool open() const { return m_hwnd != nullptr && m_shown; }
  int nextControlId() { return m_nextControlId++; }
  void focusedChild(HWND child) { m_focusChild = child; }

  LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  HMENU buildMenu(const std::vector<ui::Menu>& menus, bool bar, std::vector<size_t>& path);
  void menuChosen(UINT id);
  void paintLines(HDC dc);
  void paintImages(HDC dc);

  Win32Ui& m_ui;
  ui::Form& m_form;
  HWND m_hwnd = nullptr;
  bool m_shown = false;
  int m_nextControlId = kFirstControlId;
  HWND m_focusChild = nullptr;
  UINT m_nextMenuId = kFirstMenuId;
  std::vector<std::pair<UINT, std::vector<size_t>>> m_menuPaths;
};

// --- Controls --------------------------------------------------------------------------------

class Win32ControlPeer final : public ui::ListViewPeer {
 public:
  Win32ControlPeer(Win32Ui& ui, Win32FormPeer& form, ui::Control& control);
  ~Win32ControlPeer() override;

  Hwnd hwnd() const override { return fromHwnd(m_hwnd); }
  void update(ui::Change what) override;
  void setFocus() override;
  void destroy() override;
  std::optional<size_t> hitTest(int32_t x, int32_t y) override;
  int32_t rowTop(size_t row) override;
  int32_t scrollLeft() override;
  void ensureVisible(size_t row, size_t column) override;

  // WM_COMMAND and WM_NOTIFY that its window sent to the form.
  void command(WORD code);
  LRESULT notify(NMHDR& header, bool& handled);
  // Its window's own messages.
  LRESULT subclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  static Win32ControlPeer* of(HWND hwnd);

 private:
  static LRESULT CALLBACK subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
  void applyBox();
  void applyItems();
  void applySelection();
  void applyColumns();
  void applyCells();
  void applyRowHeight();
  void insertRow(size_t row);
  void setCell(size_t row, size_t column, const std::string& text);
  void syncColumnWidths();
  void mouseUp(int16_t button, int16_t shift, POINT at);
  LRESULT customDraw(NMLVCUSTOMDRAW& draw);
  ui::ListView& list() const { return static_cast<ui::ListView&>(m_control); }
  ui::ComboBox& combo() const { return static_cast<ui::ComboBox&>(m_control); }
  // Lines and images have no window: the form draws them.
  bool drawnByForm() const {
    return m_control.kind() == ui::ControlKind::Line || m_control.kind() == ui::ControlKind::Image;
  }

 public:
  // An image's picture, loaded from the module's resources; null for none.
  HICON picture() const { return m_picture; }

 private:
  Win32Ui& m_ui;
  ui::Form& m_form;
  ui::Control& m_control;
  HWND m_formWindow;
  HWND m_hwnd = nullptr;
  HIMAGELIST m_images = nullptr;
  HICON m_picture = nullptr;
  bool m_applying = false;  // our own change of the window: its notifications are ours too
  int16_t m_pressed = 0;    // a list's mouse button that went down and is not yet reported up
};

// --- Native entry points ---------------------------------------------------------------------

struct Win32UiNative {
  static LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* peer = reinterpret_cast<Win32FormPeer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (peer == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    return peer->handle(hwnd, msg, wParam, lParam);
  }

  static BOOL CALLBACK collectEnabled(HWND w, LPARAM windows) {
    if (IsWindowVisible(w) && IsWindowEnabled(w))
      reinterpret_cast<std::vector<HWND>*>(windows)->push_back(w);
    return TRUE;
  }

  // Tab, Enter and Escape reach the form before the control that has the focus, whatever loop
  // took them from the queue.
  static LRESULT CALLBACK keyHook(int code, WPARAM removed, LPARAM lParam) {
    if (code == HC_ACTION && removed == PM_REMOVE) {
      auto& msg = *reinterpret_cast<MSG*>(lParam);
      const bool navigation =
          msg.message == WM_KEYDOWN &&
          (msg.wParam == VK_TAB || msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE);
      const bool accessKey =
          msg.message == WM_SYSKEYDOWN &&
          ((msg.wParam >= 'A' && msg.wParam <= 'Z') || (msg.wParam >= '0' && msg.wParam <= '9'));
      if ((navigation || accessKey) && tUis != nullptr) {
        for (Win32Ui* ui : *tUis) {
          if (accessKey ? ui->handleAccessKey(msg.hwnd, static_cast<char>(msg.wParam))
                        : ui->handleKey(msg.hwnd, static_cast<unsigned>(msg.wParam))) {
            msg.message = WM_NULL;
            break;
          }
        }
      }
    }
    return CallNextHookEx(nullptr, code, removed, lParam);
  }
};

// --- Win32Ui ---------------------------------------------------------------------------------

Win32Ui::Win32Ui(Win32WindowSystem& windows) : m_windows(windows) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (HDC screen = GetDC(nullptr)) {
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpiX > 0) m_twipsX = (1440 + dpiX / 2) / dpiX;
    if (dpiY > 0) m_twipsY = (1440 + dpiY / 2) / dpiY;
  }
  const HINSTANCE module = thisModule();
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(module, kFormClass, &wc)) {
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Win32UiNative::formProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    RegisterClassExA(&wc);
  }
  m_hook = SetWindowsHookExA(WH_GETMESSAGE, &Win32UiNative::keyHook, nullptr, GetCurrentThreadId());
  if (tUis == nullptr) tUis = new std::vector<Win32Ui*>;
  tUis->push_back(this);
}

Win32Ui::~Win32Ui() {
  std::erase(*tUis, this);
  if (tUis->empty()) delete std::exchange(tUis, nullptr);
  if (m_hook != nullptr) UnhookWindowsHookEx(static_cast<HHOOK>(m_hook));
  for (const CachedFont& f : m_fonts) DeleteObject(static_cast<HFONT>(f.handle));
  // Fails, harmlessly, while another Win32Ui of the module still has forms.
  UnregisterClassA(kFormClass, thisModule());
}

std::unique_ptr<ui::FormPeer> Win32Ui::createForm(ui::Form& form) {
  auto peer = std::make_unique<Win32FormPeer>(*this, form);
  rethrowPending();
  return peer;
}

std::unique_ptr<ui::ControlPeer> Win32Ui::createControl(ui::Form& form, ui::Control& control) {
  Win32FormPeer* formPeer = formOf(toHwnd(form.hWnd()));
  if (formPeer == nullptr) throw RuntimeError(err::kInvalidProcedureCall);
  auto peer = std::make_unique<Win32ControlPeer>(*this, *formPeer, control);
  rethrowPending();
  return peer;
}

int32_t Win32Ui::systemMetrics(int32_t index) {
  return GetSystemMetrics(index);
}

void Win32Ui::rethrowPending() {
  m_failure.rethrow();
}

void* Win32Ui::font(const ui::Font& font, bool bold) {
  for (const CachedFont& f : m_fonts)
    if (f.font == font && f.bold == bold) return f.handle;
  LOGFONTA lf{};
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  lf.lfHeight = -static_cast<LONG>(std::lround(font.size * dpi / 72.0));
  lf.lfWeight = (font.bold || bold) ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  font.name.copy(lf.lfFaceName, LF_FACESIZE - 1);
  HFONT handle = CreateFontIndirectA(&lf);
  m_fonts.push_back({font, bold, handle});
  return handle;
}

int32_t Win32Ui::toPixelsX(int32_t twips) const {
  return static_cast<int32_t>(std::lround(static_cast<double>(twips) / m_twipsX));
}

int32_t Win32Ui::toPixelsY(int32_t twips) const {
  return static_cast<int32_t>(std::lround(static_cast<double>(twips) / m_twipsY));
}

void Win32Ui::formCreated(Win32FormPeer* peer) {
  m_forms.push_back(peer);
}

void Win32Ui::formDestroyed(Win32FormPeer* peer) {
  std::erase(m_forms, peer);
}

Win32FormPeer* Win32Ui::formOf(void* hwnd) const {
  if (hwnd == nullptr) return nullptr;
  const HWND root = GetAncestor(asHwnd(hwnd), GA_ROOT);
  for (Win32FormPeer* f : m_forms)
    if (f->window() == root || f->window() == asHwnd(hwnd)) return f;
  return nullptr;
}

bool Win32Ui::handleKey(void* target, unsigned key) {
  Win32FormPeer* peer = formOf(target);
  if (peer == nullptr || !IsWindowEnabled(peer->window())) return false;
  ui::Form& form = peer->form();
  const HWND focus = GetFocus();
  Win32ControlPeer* focused = Win32ControlPeer::of(focus);
  // An open drop-down list takes its own Enter, Escape and Tab (they close it).
  char cls[32] = {};
  if (focus != nullptr && GetClassNameA(focus, cls, sizeof cls) > 0 &&
      lstrcmpiA(cls, "ComboBox") == 0 && SendMessageA(focus, CB_GETDROPPEDSTATE, 0, 0) != 0)
    return false;

  ui::Control* current = nullptr;
  for (ui::Control* c : form.controls())
    if (focused != nullptr && c->peer() == focused) current = c;

  if (key == VK_TAB) {
    const std::vector<ui::Control*> order = form.tabOrder();
    if (order.empty()) return true;
    const bool back = GetKeyState(VK_SHIFT) < 0;
    const auto at = std::find(order.begin(), order.end(), current);
    size_t next = 0;
    if (at == order.end())
      next = back ? order.size() - 1 : 0;
    else if (back)
      next = (static_cast<size_t>(at - order.begin()) + order.size() - 1) % order.size();
    else
      next = (static_cast<size_t>(at - order.begin()) + 1) % order.size();
    run([&] { order[next]->setFocus(); });
    return true;
  }

  // Enter presses the focused button, else the default one; Escape the cancel button.
  ui::Button* press = nullptr;
  if (key == VK_RETURN && current != nullptr && current->kind() == ui::ControlKind::Button)
    press = static_cast<ui::Button*>(current);
  for (ui::Control* c : form.controls()) {
    if (press != nullptr) break;
    if (c->kind() != ui::ControlKind::Button || !c->visible() || !c->enabled()) continue;
    auto* button = static_cast<ui::Button*>(c);
    if ((key == VK_RETURN && button->isDefault) || (key == VK_ESCAPE && button->isCancel))
      press = button;
  }
  if (press == nullptr) return false;
  run([&] { press->click(); });
  return true;
}

std::optional<std::string> Win32Ui::showFileDialog(ui::Form& owner,
                                                   const ui::FileDialogRequest& request) {
  // Basic's filter "name|pattern|..." becomes comdlg32's NUL-separated pairs, ended by two NULs.
  std::string filter = request.filter;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  char file[2 * MAX_PATH] = {};
  request.fileName.copy(file, sizeof file - 1);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = toHwnd(owner.hWnd());
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  const BOOL chosen = request.save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen) return std::nullopt;
  return std::string(file);
}

bool Win32Ui::handleAccessKey(void* target, char key) {
  Win32FormPeer* peer = formOf(target);
  if (peer == nullptr || !IsWindowEnabled(peer->window())) return false;
  bool pressed = false;
  run([&] { pressed = peer->form().pressAccessKey(key); });
  return pressed;  // if not, perhaps a menu's: the system opens it
}

void Win32Ui::runModalLoop(Win32FormPeer& peer) {
  const HWND self = peer.window();
  // The other windows of the thread take no input while the modal form is up.
  struct Disabled {
    std::vector<HWND> windows;
    HWND self;
    ~Disabled() {
      for (HWND w : windows)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    }
  } disabled{{}, self};
  EnumThreadWindows(GetCurrentThreadId(), &Win32UiNative::collectEnabled,
                    reinterpret_cast<LPARAM>(&disabled.windows));
  std::erase(disabled.windows, self);
  for (HWND w : disabled.windows) EnableWindow(w, FALSE);

  PostMessageA(self, kModalStarted, 0, 0);
  MSG msg;
  while (peer.open()) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the program's own loop
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    m_windows.rethrowPending();
    rethrowPending();
  }
}

// --- Win32FormPeer ---------------------------------------------------------------------------

Win32FormPeer::Win32FormPeer(Win32Ui& ui, ui::Form& form) : m_ui(ui), m_form(form) {
  DWORD style = WS_CLIPCHILDREN;
  DWORD exStyle = form.showInTaskbar ? 0 : WS_EX_TOOLWINDOW;
  switch (form.borderStyle) {
    case ui::BorderStyle::None:
      style |= WS_POPUP;
      break;
    case ui::BorderStyle::FixedSingle:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
      break;
    case ui::BorderStyle::Sizable:
      style |= WS_OVERLAPPEDWINDOW;
      break;
    case ui::BorderStyle::FixedDialog:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      exStyle |= WS_EX_DLGMODALFRAME;
      break;
  }
  std::vector<size_t> path;
  HMENU menu = form.menus.empty() ? nullptr : buildMenu(form.menus, true, path);
  const int clientWidth = m_ui.toPixelsX(form.clientWidth);
  const int clientHeight = m_ui.toPixelsY(form.clientHeight);
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, style, menu != nullptr, exStyle);
  // An owned window stays above its owner and goes with it.
  const HWND owner = toHwnd(form.owner());
  m_ui.formCreated(this);
  const HWND w =
      CreateWindowExA(exStyle, kFormClass, form.caption().c_str(), style, 0, 0, r.right - r.left,
                      r.bottom - r.top, owner, menu, thisModule(), this);
  if (w == nullptr) {
    if (menu != nullptr) DestroyMenu(menu);
    m_ui.formDestroyed(this);
    throw RuntimeError(err::kOutOfMemory);
  }
  m_hwnd = w;
  // The frame the system really draws (a menu bar that wraps, say) may differ from the estimate.
  RECT client;
  GetClientRect(w, &client);
  RECT frame;
  GetWindowRect(w, &frame);
  int width = frame.right - frame.left + clientWidth - client.right;
  int height = frame.bottom - frame.top + clientHeight - client.bottom;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  int x = area.left;
  int y = area.top;
  if (form.centred) {
    // On the owner when there is one, and never off the work area.
    RECT centre = area;
    if (owner != nullptr) GetWindowRect(owner, &centre);
    x = std::clamp<int>(centre.left + (centre.right - centre.left - width) / 2, area.left,
                        std::max<int>(area.right - width, area.left));
    y = std::clamp<int>(centre.top + (centre.bottom - centre.top - height) / 2, area.top,
                        std::max<int>(area.bottom - height, area.top));
  }
  SetWindowPos(w, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (form.icon() != 0) update(ui::Change::Icon);
}

void Win32FormPeer::update(ui::Change what) {
  if (m_hwnd == nullptr) return;
  switch (what) {
    case ui::Change::Text:
      SetWindowTextA(m_hwnd, m_form.caption().c_str());
      break;
    case ui::Change::Icon:
      SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(toHicon(m_form.icon())));
      SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(toHicon(m_form.icon())));
      break;
    case ui::Change::Menus: {
      HMENU old = GetMenu(m_hwnd);
      m_menuPaths.clear();
      m_nextMenuId = kFirstMenuId;
      std::vector<size_t> path;
      SetMenu(m_hwnd, m_form.menus.empty() ? nullptr : buildMenu(m_form.menus, true, path));
      if (old != nullptr) DestroyMenu(old);
      DrawMenuBar(m_hwnd);
      break;
    }
    default:
      InvalidateRect(m_hwnd, nullptr, TRUE);
      break;
  }
}

HMENU Win32FormPeer::buildMenu(const std::vector<ui::Menu>& menus, bool bar,
                               std::vector<size_t>& path) {
  HMENU menu = bar ? CreateMenu() : CreatePopupMenu();
  for (size_t i = 0; i < menus.size(); ++i) {
    const ui::Menu& entry = menus[i];
    path.push_back(i);
    if (entry.separator()) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    } else if (!entry.items.empty()) {
      HMENU sub = buildMenu(entry.items, false, path);
      AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                  entry.caption.c_str());
    } else {
      const UINT id = m_nextMenuId++;
      m_menuPaths.emplace_back(id, path);
      AppendMenuA(menu, MF_STRING, id, entry.caption.c_str());
    }
    path.pop_back();
  }
  return menu;
}

void Win32FormPeer::menuChosen(UINT id) {
  for (const auto& [menuId, path] : m_menuPaths) {
    if (menuId != id) continue;
    const std::vector<ui::Menu>* level = &m_form.menus;
    const ui::Menu* entry = nullptr;
    for (size_t i : path) {
      if (i >= level->size()) return;
      entry = &(*level)[i];
      level = &entry->items;
    }
    if (entry == nullptr || !entry->onClick) return;
    const std::function<void()> onClick = entry->onClick;  // it may change the menus
    m_ui.run([&] { onClick(); });
    return;
  }
}

void Win32FormPeer::show() {
  if (m_hwnd == nullptr) return;
  m_shown = true;
  ShowWindow(m_hwnd, SW_SHOW);
  UpdateWindow(m_hwnd);
  // As a form shows, the first control of the tab order takes the focus.
  const HWND focus = GetFocus();
  if (focus == nullptr || (focus != m_hwnd && !IsChild(m_hwnd, focus))) {
    const std::vector<ui::Control*> order = m_form.tabOrder();
    if (!order.empty() && order.front()->peer() != nullptr) {
      m_ui.run([&] { order.front()->peer()->setFocus(); });
    }
  }
  m_ui.rethrowPending();
}

void Win32FormPeer::hide() {
  m_shown = false;
  if (m_hwnd != nullptr) ShowWindow(m_hwnd, SW_HIDE);
  m_ui.rethrowPending();  // the focus moved on, maybe into another form
}

void Win32FormPeer::refresh() {
  if (m_hwnd != nullptr)
    RedrawWindow(m_hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Win32FormPeer::destroy() {
  m_shown = false;
  if (m_hwnd == nullptr) return;
  const HWND w = std::exchange(m_hwnd, nullptr);
  m_ui.formDestroyed(this);
  SetWindowLongPtrA(w, GWLP_USERDATA, 0);
  DestroyWindow(w);
}

void Win32FormPeer::paintLines(HDC dc) {
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  for (const ui::Control* c : m_form.controls()) {
    if (c->kind() != ui::ControlKind::Line || !c->visible()) continue;
    const auto& line = static_cast<const ui::Line&>(*c);
    MoveToEx(dc, m_ui.toPixelsX(line.x1), m_ui.toPixelsY(line.y1), nullptr);
    LineTo(dc, m_ui.toPixelsX(line.x2), m_ui.toPixelsY(line.y2));
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void Win32FormPeer::paintImages(HDC dc) {
  for (const ui::Control* c : m_form.controls()) {
    if (c->kind() != ui::ControlKind::Image || !c->visible()) continue;
    const auto* peer = dynamic_cast<const Win32ControlPeer*>(c->peer());
    if (peer == nullptr || peer->picture() == nullptr) continue;
    const ui::Box box = c->formBox();
    DrawIconEx(dc, m_ui.toPixelsX(box.left), m_ui.toPixelsY(box.top), peer->picture(),
               m_ui.toPixelsX(box.width), m_ui.toPixelsY(box.height), 0, nullptr, DI_NORMAL);
  }
}

LRESULT Win32FormPeer::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (lParam != 0) {
        if (Win32ControlPeer* peer = Win32ControlPeer::of(reinterpret_cast<HWND>(lParam)))
          peer->command(HIWORD(wParam));
        return 0;
      }
      if (HIWORD(wParam) == 0) menuChosen(LOWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      auto& header = *reinterpret_cast<NMHDR*>(lParam);
      if (Win32ControlPeer* peer = Win32ControlPeer::of(header.hwndFrom)) {
        bool handled = false;
        const LRESULT result = peer->notify(header, handled);
        if (handled) return result;
      }
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      paintImages(dc);
      paintLines(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      paintImages(reinterpret_cast<HDC>(wParam));
      paintLines(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_LBUTTONUP:
      if (m_form.onClick) m_ui.run([&] { m_form.onClick(); });
      return 0;
    case WM_CLOSE:
      m_ui.run([&] { m_form.closeRequested(); });
      return 0;
    case WM_SETFOCUS:
      // Back to the control that had the focus when the form was last active.
      if (m_focusChild != nullptr && IsWindow(m_focusChild) && IsChild(hwnd, m_focusChild)) {
        SetFocus(m_focusChild);
        return 0;
      }
      break;
    case kModalStarted:
      if (m_ui.onModalLoop) {
        const auto onModalLoop = m_ui.onModalLoop;  // it may replace itself
        m_ui.run([&] { onModalLoop(m_form); });
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// --- Win32ControlPeer ------------------------------------------------------------------------

Win32ControlPeer::Win32ControlPeer(Win32Ui& ui, Win32FormPeer& form, ui::Control& control)
    : m_ui(ui), m_form(form.form()), m_control(control), m_formWindow(form.window()) {
  const char* cls = nullptr;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  switch (control.kind()) {
    case ui::ControlKind::Line:
      return;  // drawn by the form
    case ui::ControlKind::Image: {
      // Drawn by the form, at the size of its box.
      const ui::Box box = control.formBox();
      const auto& image = static_cast<ui::Image&>(control);
      m_picture = static_cast<HICON>(LoadImageA(thisModule(), image.picture.c_str(), IMAGE_ICON,
                                                m_ui.toPixelsX(box.width),
                                                m_ui.toPixelsY(box.height), LR_DEFAULTCOLOR));
      return;
    }
    case ui::ControlKind::Label:
      cls = "STATIC";
      style |= SS_LEFT | SS_NOTIFY;
      break;
    case ui::ControlKind::Frame:
      cls = "BUTTON";
      style |= BS_GROUPBOX;
      break;
    case ui::ControlKind::Button:
      // A Basic form's buttons and check boxes wrap a caption that is too long for one line.
      cls = "BUTTON";
      style |= WS_TABSTOP | BS_MULTILINE |
               (static_cast<ui::Button&>(control).isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case ui::ControlKind::CheckBox:
      cls = "BUTTON";
      style |= WS_TABSTOP | BS_MULTILINE | BS_AUTOCHECKBOX;
      break;
    case ui::ControlKind::ComboBox:
      cls = "COMBOBOX";
      style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
      break;
    case ui::ControlKind::TextBox:
      cls = "EDIT";
      style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
      if (static_cast<ui::TextBox&>(control).numberOnly) style |= ES_NUMBER;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case ui::ControlKind::ListView:
      cls = WC_LISTVIEWA;
      style |= WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHAREIMAGELISTS;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
  }
  if (control.visible()) style |= WS_VISIBLE;
  if (!control.enabled()) style |= WS_DISABLED;
  std::string text;
  if (auto* t = dynamic_cast<ui::TextControl*>(&control)) text = t->text();
  const int id = form.nextControlId();
  m_hwnd =
      CreateWindowExA(exStyle, cls, text.c_str(), style, 0, 0, 0, 0, m_formWindow,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), thisModule(), nullptr);
  if (m_hwnd == nullptr) throw RuntimeError(err::kOutOfMemory);
  SetWindowSubclass(m_hwnd, &Win32ControlPeer::subclassProc, kSubclassId,
                    reinterpret_cast<DWORD_PTR>(this));
  SetPropA(m_hwnd, kPeerProperty, this);
  // Controls made later lie above those made before (the chooser over its list).
  SetWindowPos(m_hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageA(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_ui.font(control.font(), false)), 0);
  applyBox();
  switch (control.kind()) {
    case ui::ControlKind::CheckBox:
      update(ui::Change::Value);
      break;
    case ui::ControlKind::ComboBox:
      applyItems();
      break;
    case ui::ControlKind::ListView:
      SendMessageA(m_hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                   LVS_EX_FULLROWSELECT);
      // The header picks its notices' format as the list makes it, before the list has asked
      // the form: under Wine it then sends the Unicode forms (HDN_BEGINTRACKW ...). Asked again,
      // it takes the form's ANSI, which a subclass of the list expects (HDN_BEGINTRACKA ...).
      if (const auto header = reinterpret_cast<HWND>(SendMessageA(m_hwnd, LVM_GETHEADER, 0, 0)))
        SendMessageA(header, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(m_hwnd), NF_REQUERY);
      applyColumns();
      applyItems();
      applyRowHeight();
      break;
    default:
      break;
  }
}

Win32ControlPeer::~Win32ControlPeer() {
  destroy();
}

Win32ControlPeer* Win32ControlPeer::of(HWND hwnd) {
  return hwnd != nullptr ? static_cast<Win32ControlPeer*>(GetPropA(hwnd, kPeerProperty)) : nullptr;
}

LRESULT CALLBACK Win32ControlPeer::subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                                UINT_PTR id, DWORD_PTR self) {
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &Win32ControlPeer::subclassProc, id);
    RemovePropA(hwnd, kPeerProperty);
    return DefSubclassProc(hwnd, msg, wParam, lParam);
  }
  return reinterpret_cast<Win32ControlPeer*>(self)->subclass(hwnd, msg, wParam, lParam);
}

void Win32ControlPeer::destroy() {
  if (m_hwnd != nullptr) {
    const HWND w = std::exchange(m_hwnd, nullptr);
    RemoveWindowSubclass(w, &Win32ControlPeer::subclassProc, kSubclassId);
    RemovePropA(w, kPeerProperty);
    DestroyWindow(w);
  } else if (drawnByForm() && IsWindow(m_formWindow)) {
    InvalidateRect(m_formWindow, nullptr, TRUE);
  }
  if (m_picture != nullptr) DestroyIcon(std::exchange(m_picture, nullptr));
  if (m_images != nullptr) ImageList_Destroy(std::exchange(m_images, nullptr));
}

void Win32ControlPeer::setFocus() {
  if (m_hwnd == nullptr) return;
  SetFocus(m_hwnd);
  m_ui.rethrowPending();  // from the focus events it raised
}

void Win32ControlPeer::update(ui::Change what) {
  if (m_hwnd == nullptr) {
    if (drawnByForm()) InvalidateRect(m_formWindow, nullptr, TRUE);
    return;
  }
  m_applying = true;
  switch (what) {
    case ui::Change::Box:
      applyBox();
      break;
    case ui::Change::Visible:
      ShowWindow(m_hwnd, m_control.visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case ui::Change::Enabled:
      EnableWindow(m_hwnd, m_control.enabled());
      break;
    case ui::Change::Text:
      if (auto* t = dynamic_cast<ui::TextControl*>(&m_control);
          t != nullptr && windowText(m_hwnd) != t->text())
        SetWindowTextA(m_hwnd, t->text().c_str());
      break;
    case ui::Change::Font:
      SendMessageA(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_ui.font(m_control.font(), false)),
                   TRUE);
      break;
    case ui::Change::Value: {
      const int16_t value = static_cast<ui::CheckBox&>(m_control).value();
      SendMessageA(m_hwnd, BM_SETCHECK,
                   value == 1 ? BST_CHECKED : (value == 2 ? BST_INDETERMINATE : BST_UNCHECKED), 0);
      break;
    }
    case ui::Change::Items:
      applyItems();
      break;
    case ui::Change::Selection:
      applySelection();
      break;
    case ui::Change::Columns:
      applyColumns();
      break;
    case ui::Change::Cells:
      applyCells();
      break;
    case ui::Change::RowHeight:
      applyRowHeight();
      break;
    default:
      break;
  }
  m_applying = false;
}

void Win32ControlPeer::applyBox() {
  const ui::Box box = m_control.formBox();
  int height = m_ui.toPixelsY(box.height);
  if (m_control.kind() == ui::ControlKind::ComboBox) {
    // The window's height holds the dropped list too; the closed box takes the font's height.
    const LRESULT item = SendMessageA(m_hwnd, CB_GETITEMHEIGHT, 0, 0);
    height += kDroppedRows * static_cast<int>(item > 0 ? item : 16) + 2;
  }
  MoveWindow(m_hwnd, m_ui.toPixelsX(box.left), m_ui.toPixelsY(box.top), m_ui.toPixelsX(box.width),
             height, TRUE);
}

void Win32ControlPeer::applyItems() {
  if (m_control.kind() == ui::ControlKind::ComboBox) {
    const auto& items = combo().items();
    const auto count =
        static_cast<size_t>(std::max<LRESULT>(SendMessageA(m_hwnd, CB_GETCOUNT, 0, 0), 0));
    size_t from = count;
    if (items.size() != count + 1) {
      SendMessageA(m_hwnd, CB_RESETCONTENT, 0, 0);
      from = 0;
    }
    for (size_t i = from; i < items.size(); ++i)
      SendMessageA(m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i].text.c_str()));
    applySelection();
  } else if (m_control.kind() == ui::ControlKind::ListView) {
    const auto& rows = list().rows();
    const auto count =
        static_cast<size_t>(std::max<LRESULT>(SendMessageA(m_hwnd, LVM_GETITEMCOUNT, 0, 0), 0));
    size_t from = count;
    if (rows.size() != count + 1) {
      SendMessageA(m_hwnd, LVM_DELETEALLITEMS, 0, 0);
      from = 0;
    }
    for (size_t i = from; i < rows.size(); ++i) insertRow(i);
    applySelection();
  }
}

void Win32ControlPeer::applySelection() {
  if (m_control.kind() == ui::ControlKind::ComboBox) {
    // The item data may have changed since the entries went in.
    const auto& items = combo().items();
    for (size_t i = 0; i < items.size(); ++i)
      SendMessageA(m_hwnd, CB_SETITEMDATA, i, items[i].data);
    SendMessageA(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(combo().listIndex()), 0);
  } else if (m_control.kind() == ui::ControlKind::ListView) {
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendMessageA(m_hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&state));
    if (const auto row = list().selectedRow()) {
      state.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageA(m_hwnd, LVM_SETITEMSTATE, *row, reinterpret_cast<LPARAM>(&state));
    }
  }
}

void Win32ControlPeer::insertRow(size_t row) {
  const ui::ListView::Row& r = list().rows()[row];
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(row);
  item.pszText = const_cast<char*>(r.text.c_str());
  SendMessageA(m_hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  for (size_t n = 1; n <= r.subItems.size(); ++n) setCell(row, n, r.subItems[n - 1]);
}

void Win32ControlPeer::setCell(size_t row, size_t column, const std::string& text) {
  LVITEMA item{};
  item.iSubItem = static_cast<int>(column);
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(m_hwnd, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void Win32ControlPeer::applyCells() {
  const auto& rows = list().rows();
  const size_t columns = std::max<size_t>(list().columns().size(), 1);
  for (size_t row = 0; row < rows.size(); ++row) {
    setCell(row, 0, rows[row].text);
    for (size_t n = 1; n < columns; ++n)
      setCell(row, n, n <= rows[row].subItems.size() ? rows[row].subItems[n - 1] : std::string());
  }
  InvalidateRect(m_hwnd, nullptr, TRUE);  // bold rows
}

void Win32ControlPeer::applyColumns() {
  const auto& columns = list().columns();
  const HWND header = reinterpret_cast<HWND>(SendMessageA(m_hwnd, LVM_GETHEADER, 0, 0));
  const auto count = static_cast<size_t>(
      std::max<LRESULT>(header != nullptr ? SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : 0, 0));
  if (count != columns.size()) {
    for (size_t i = count; i > 0; --i) SendMessageA(m_hwnd, LVM_DELETECOLUMN, i - 1, 0);
    for (size_t i = 0; i < columns.size(); ++i) {
      LVCOLUMNA column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.cx = m_ui.toPixelsX(columns[i].width);
      column.pszText = const_cast<char*>(columns[i].text.c_str());
      column.iSubItem = static_cast<int>(i);
      SendMessageA(m_hwnd, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    applyCells();
    return;
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<char*>(columns[i].text.c_str());
    SendMessageA(m_hwnd, LVM_SETCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    const int pixels = m_ui.toPixelsX(columns[i].width);
    if (SendMessageA(m_hwnd, LVM_GETCOLUMNWIDTH, i, 0) != pixels)
      SendMessageA(m_hwnd, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(pixels, 0));
  }
}

void Win32ControlPeer::applyRowHeight() {
  const int32_t pixels = list().smallIconHeight();
  HIMAGELIST images = nullptr;
  // An empty list of pictures of that size: rows take its height and show no picture.
  if (pixels > 0) images = ImageList_Create(pixels, pixels, ILC_COLOR32 | ILC_MASK, 1, 1);
  SendMessageA(m_hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  if (m_images != nullptr) ImageList_Destroy(m_images);
  m_images = images;
}

void Win32ControlPeer::syncColumnWidths() {
  if (m_applying) return;
  auto& view = list();
  for (size_t i = 0; i < view.columns().size(); ++i) {
    const auto pixels = static_cast<int32_t>(SendMessageA(m_hwnd, LVM_GETCOLUMNWIDTH, i, 0));
    if (pixels != m_ui.toPixelsX(view.columns()[i].width))
      view.setColumnWidth(i, pixels * m_ui.twipsPerPixelX());
  }
}

std::optional<size_t> Win32ControlPeer::hitTest(int32_t x, int32_t y) {
  if (m_hwnd == nullptr || m_control.kind() != ui::ControlKind::ListView) return std::nullopt;
  LVHITTESTINFO hit{};
  hit.pt = POINT{m_ui.toPixelsX(x), m_ui.toPixelsY(y)};
  // The header lies over the top of the list: a point there is the header's, never a row's
  // (Wine's hit test would give the first row).
  RECT header{};
  const HWND bar = ListView_GetHeader(m_hwnd);
  if (bar != nullptr && IsWindowVisible(bar) && GetWindowRect(bar, &header) &&
      hit.pt.y < header.bottom - header.top)
    return std::nullopt;
  SendMessageA(m_hwnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (hit.iItem < 0 || static_cast<size_t>(hit.iItem) >= list().rows().size()) return std::nullopt;
  return static_cast<size_t>(hit.iItem);
}

int32_t Win32ControlPeer::rowTop(size_t row) {
  if (m_hwnd == nullptr || m_control.kind() != ui::ControlKind::ListView) return 0;
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (!SendMessageA(m_hwnd, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r))) return 0;
  return r.top * m_ui.twipsPerPixelY();
}

int32_t Win32ControlPeer::scrollLeft() {
  if (m_hwnd == nullptr || m_control.kind() != ui::ControlKind::ListView) return 0;
  // A report view scrolls sideways by pixels.
  return GetScrollPos(m_hwnd, SB_HORZ) * m_ui.twipsPerPixelX();
}

void Win32ControlPeer::ensureVisible(size_t row, size_t column) {
  if (m_hwnd == nullptr || m_control.kind() != ui::ControlKind::ListView) return;
  RECT client{};
  GetClientRect(m_hwnd, &client);
  RECT item{};
  item.left = LVIR_BOUNDS;
  if (!SendMessageA(m_hwnd, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item))) return;
  // Rows show below the header, and a report view scrolls by whole rows: LVM_SCROLL takes pixels
  // and rounds them to rows.
  int top = 0;
  RECT bar{};
  const HWND header = ListView_GetHeader(m_hwnd);
  if (header != nullptr && IsWindowVisible(header) && GetWindowRect(header, &bar))
    top = bar.bottom - bar.top;
  const int rowHeight = std::max<int>(item.bottom - item.top, 1);
  int dy = 0;
  if (item.top < top)
    dy = item.top - top;
  else if (item.bottom > client.bottom)
    dy = std::min<int>((item.bottom - client.bottom + rowHeight - 1) / rowHeight * rowHeight,
                       item.top - top);
  // The column's edges as they show now.
  int left = -GetScrollPos(m_hwnd, SB_HORZ);
  for (size_t i = 0; i < column; ++i)
    left += static_cast<int>(SendMessageA(m_hwnd, LVM_GETCOLUMNWIDTH, i, 0));
  const int right = left + static_cast<int>(SendMessageA(m_hwnd, LVM_GETCOLUMNWIDTH, column, 0));
  int dx = 0;
  if (left < 0)
    dx = left;
  else if (right > client.right)
    dx = std::min<int>(left, right - client.right);
  if (dx != 0 || dy != 0) SendMessageA(m_hwnd, LVM_SCROLL, static_cast<WPARAM>(dx), dy);
}

void Win32ControlPeer::command(WORD code) {
  if (m_applying) return;
  m_ui.run([&] {
    switch (m_control.kind()) {
      case ui::ControlKind::Button:
        if (code == BN_CLICKED) static_cast<ui::Button&>(m_control).click();
        break;
      case ui::ControlKind::CheckBox:
        if (code == BN_CLICKED) {
          const LRESULT state = SendMessageA(m_hwnd, BM_GETCHECK, 0, 0);
          static_cast<ui::CheckBox&>(m_control).setValue(
              state == BST_CHECKED ? 1 : (state == BST_INDETERMINATE ? 2 : 0));
        }
        break;
      case ui::ControlKind::Label:
        if (code == STN_CLICKED) {
          auto& label = static_cast<ui::Label&>(m_control);
          if (label.onClick) label.onClick();
        }
        break;
      case ui::ControlKind::ComboBox:
        if (code == CBN_SELCHANGE)
          combo().setListIndex(static_cast<int32_t>(SendMessageA(m_hwnd, CB_GETCURSEL, 0, 0)));
        break;
      case ui::ControlKind::TextBox:
        if (code == EN_CHANGE) static_cast<ui::TextBox&>(m_control).typed(windowText(m_hwnd));
        break;
      default:
        break;
    }
  });
}

LRESULT Win32ControlPeer::notify(NMHDR& header, bool& handled) {
  if (m_control.kind() != ui::ControlKind::ListView) return 0;
  switch (header.code) {
    case NM_CUSTOMDRAW:
      handled = true;
      return customDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    case NM_CLICK:
    case NM_RCLICK: {
      const int16_t button = header.code == NM_CLICK ? ui::mouse::kLeft : ui::mouse::kRight;
      if (m_pressed == button) {
        const auto& activate = reinterpret_cast<NMITEMACTIVATE&>(header);
        int16_t shift = 0;
        if (activate.uKeyFlags & LVKF_SHIFT) shift |= ui::shift::kShift;
        if (activate.uKeyFlags & LVKF_CONTROL) shift |= ui::shift::kCtrl;
        if (activate.uKeyFlags & LVKF_ALT) shift |= ui::shift::kAlt;
        mouseUp(button, shift, activate.ptAction);
      }
      return 0;
    }
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
      if (m_applying || !(change.uChanged & LVIF_STATE) || change.iItem < 0 ||
          !((change.uNewState ^ change.uOldState) & LVIS_SELECTED))
        return 0;
      const auto row = static_cast<size_t>(change.iItem);
      if (row >= list().rows().size()) return 0;
      m_ui.run([&] {
        if (change.uNewState & LVIS_SELECTED)
          list().userSelected(row);
        else if (list().selectedRow() == row)
          list().select(std::nullopt);
      });
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT Win32ControlPeer::customDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const auto row = static_cast<size_t>(draw.nmcd.dwItemSpec);
      if (row < list().rows().size() && list().rows()[row].bold) {
        SelectObject(draw.nmcd.hdc, static_cast<HFONT>(m_ui.font(m_control.font(), true)));
        return CDRF_NEWFONT;
      }
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

void Win32ControlPeer::mouseUp(int16_t button, int16_t shift, POINT at) {
  m_pressed = 0;
  auto& view = list();
  if (!view.onMouseUp) return;
  const int32_t x = at.x * m_ui.twipsPerPixelX();
  const int32_t y = at.y * m_ui.twipsPerPixelY();
  m_ui.run([&] { view.onMouseUp(button, shift, x, y); });
}

LRESULT Win32ControlPeer::subclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      // A group box paints only its line and caption, and the form, which clips its children,
      // does not paint under it: the frame fills its own inside, as a frame of Basic does.
      if (m_control.kind() != ui::ControlKind::Frame) break;
      {
        RECT inside{};
        GetClientRect(hwnd, &inside);
        FillRect(reinterpret_cast<HDC>(wParam), &inside, GetSysColorBrush(COLOR_BTNFACE));
      }
      return 1;
    case WM_SETFOCUS: {
      const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
      if (Win32FormPeer* form = m_ui.formOf(m_formWindow)) form->focusedChild(hwnd);
      m_ui.run([&] { m_control.gotFocus(); });
      return result;
    }
    case WM_NOTIFY: {
      // The header's notices to its list: a width the user changed goes to the model.
      const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (m_control.kind() == ui::ControlKind::ListView &&
          (header.code == HDN_ITEMCHANGEDA || header.code == HDN_ITEMCHANGEDW ||
           header.code == HDN_ENDTRACKA || header.code == HDN_ENDTRACKW ||
           header.code == HDN_DIVIDERDBLCLICKA || header.code == HDN_DIVIDERDBLCLICKW))
        m_ui.run([&] { syncColumnWidths(); });
      return result;
    }
    default:
      break;
  }
  if (m_control.kind() != ui::ControlKind::ListView)
    return DefSubclassProc(hwnd, msg, wParam, lParam);

  int16_t down = 0;
  int16_t up = 0;
  switch (msg) {
    case WM_LBUTTONDOWN:
      down = ui::mouse::kLeft;
      break;
    case WM_RBUTTONDOWN:
      down = ui::mouse::kRight;
      break;
    case WM_MBUTTONDOWN:
      down = ui::mouse::kMiddle;
      break;
    case WM_LBUTTONUP:
      up = ui::mouse::kLeft;
      break;
    case WM_RBUTTONUP:
      up = ui::mouse::kRight;
      break;
    case WM_MBUTTONUP:
      up = ui::mouse::kMiddle;
      break;
    default:
      break;
  }
  // The list's own handling of a press may take the release from the queue itself (while it
  // watches for a drag): the release is reported by its click notice then.
  if (down != 0) m_pressed = down;
  const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
  if (up != 0 && m_pressed == up) {
    mouseUp(up, shiftFromKeys(wParam),
            POINT{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))});
  }
  return result;
}

}  // namespace morvane::win32
