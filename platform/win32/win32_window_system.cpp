#include "platform/win32/win32_window_system.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include "platform/win32/win32_base.h"

#include <commctrl.h>

namespace morvane::win32 {

namespace {

// GWL_WNDPROC, which the 64-bit windows.h leaves out: the port's procedure values are tokens.
constexpr int32_t kWndProcIndex = -4;

// The window property that names the window system running a window's procedure.
constexpr char kOwnerProperty[] = "Morvane.WindowSystem";

// The window system whose createWindowA is running on this thread: the creation hook has no
// other way to find it.
thread_local Win32WindowSystem* tCreatingSystem = nullptr;

// On 64-bit Windows these indexes hold pointer-sized values and need the Ptr functions; the
// 32-bit build uses GetWindowLongA itself for every index.
bool pointerSizedIndex([[maybe_unused]] int32_t index) {
#ifdef _WIN64
  return index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT || index == GWLP_ID ||
         index == GWLP_USERDATA;
#else
  return false;
#endif
}

struct EnumContext {
  const EnumProc& proc;
  LParam lParam;
  CallbackFailure failure;
  bool called = false;
  bool stopped = false;
};

}  // namespace

struct Win32WindowSystemNative {
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Win32WindowSystem*>(GetPropA(hwnd, kOwnerProperty));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->dispatch(fromHwnd(hwnd), msg, wParam, lParam);
  }

  // Binds the window createWindowA is making before its first message (WM_GETMINMAXINFO,
  // WM_NCCREATE ...), so its procedure sees every message.
  static LRESULT CALLBACK creationHook(int code, WPARAM wParam, LPARAM lParam) {
    Win32WindowSystem* self = tCreatingSystem;
    if (code == HCBT_CREATEWND && self != nullptr && self->m_creating != nullptr &&
        !self->m_creating->bound) {
      self->m_creating->bound = true;
      self->bind(fromHwnd(reinterpret_cast<HWND>(wParam)), self->m_creating->proc);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static BOOL CALLBACK enumProc(HWND hwnd, LPARAM context) {
    auto& c = *reinterpret_cast<EnumContext*>(context);
    c.called = true;
    int32_t result = 0;
    if (!c.failure.run([&] { result = c.proc(fromHwnd(hwnd), c.lParam); }) || result == 0) {
      c.stopped = true;
      return FALSE;
    }
    return TRUE;
  }
};

namespace {
const intptr_t kTrampoline = reinterpret_cast<intptr_t>(&Win32WindowSystemNative::windowProc);
}  // namespace

Win32WindowSystem::Win32WindowSystem(std::chrono::milliseconds sendTimeout,
                                     CallbackFailures failures)
    : m_sendTimeoutMs(static_cast<uint32_t>(std::max<int64_t>(sendTimeout.count(), 1))),
      m_failure(failures) {
  // The common controls (the status bar) register their classes here.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  m_defaultProc = nativeToken(reinterpret_cast<intptr_t>(&DefWindowProcA));
}

Win32WindowSystem::~Win32WindowSystem() {
  // The procedures go first, so destroying the windows calls none of them; then the windows
  // made here, and their classes.
  while (!m_bindings.empty()) unbind(m_bindings.begin()->first, true);
  for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
    const HWND w = toHwnd(*it);
    if (IsWindow(w) && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId())
      DestroyWindow(w);
  }
  // Fails, harmlessly, for a class whose windows another window system of the module still has.
  // Classes of a DLL must not outlive it: the system keeps them, with their procedure, after the
  // DLL has gone.
  const HINSTANCE module = thisModule();
  for (const std::string& name : m_classes) UnregisterClassA(name.c_str(), module);
}

// --- Procedure tokens ------------------------------------------------------------------------

WndProcValue Win32WindowSystem::makeWndProcValue(WndProc proc) {
  const WndProcValue token = m_nextToken;
  m_nextToken += 0x10;
  m_procedures[token] = Procedure{std::make_shared<WndProc>(std::move(proc)), 0};
  return token;
}

WndProcValue Win32WindowSystem::nativeToken(intptr_t native) {
  const auto it = m_nativeTokens.find(native);
  if (it != m_nativeTokens.end()) return it->second;
  const WndProcValue token = m_nextToken;
  m_nextToken += 0x10;
  m_procedures[token] = Procedure{nullptr, native};
  m_nativeTokens[native] = token;
  return token;
}

bool Win32WindowSystem::bind(Hwnd hwnd, WndProcValue current) {
  const HWND w = toHwnd(hwnd);
  Binding binding{current, m_defaultProc, false};
  const intptr_t native = GetWindowLongPtrA(w, GWLP_WNDPROC);
  if (native == 0) return false;  // no window, or another process's
  if (native != kTrampoline) {
    SetLastError(0);
    if (SetWindowLongPtrA(w, GWLP_WNDPROC, kTrampoline) == 0 && GetLastError() != 0) return false;
    binding.classProc = nativeToken(native);
    binding.subclassed = true;
  }
  SetPropA(w, kOwnerProperty, this);
  m_bindings[hwnd] = binding;
  return true;
}

void Win32WindowSystem::unbind(Hwnd hwnd, bool restoreClassProc) {
  const auto it = m_bindings.find(hwnd);
  if (it == m_bindings.end()) return;
  const Binding binding = it->second;
  m_bindings.erase(it);
  const HWND w = toHwnd(hwnd);
  RemovePropA(w, kOwnerProperty);
  if (restoreClassProc && binding.subclassed && GetWindowLongPtrA(w, GWLP_WNDPROC) == kTrampoline)
    SetWindowLongPtrA(w, GWLP_WNDPROC, m_procedures.at(binding.classProc).native);
}

LResult Win32WindowSystem::invoke(WndProcValue proc, Hwnd hwnd, uint32_t msg, WParam wParam,
                                  LParam lParam) {
  const auto it = m_procedures.find(proc);
  if (it == m_procedures.end()) return 0;
  if (it->second.function) {
    // Held here: the procedure may replace itself or destroy its window meanwhile.
    const std::shared_ptr<WndProc> function = it->second.function;
    return (*function)(hwnd, msg, wParam, lParam);
  }
  return CallWindowProcA(reinterpret_cast<WNDPROC>(it->second.native), toHwnd(hwnd), msg, wParam,
                         lParam);
}

LResult Win32WindowSystem::dispatch(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  const auto it = m_bindings.find(hwnd);
  if (it == m_bindings.end()) return DefWindowProcA(toHwnd(hwnd), msg, wParam, lParam);
  const WndProcValue current = it->second.current;
  LResult result = 0;
  m_failure.run([&] { result = invoke(current, hwnd, msg, wParam, lParam); });
  if (msg == WM_NCDESTROY) {
    unbind(hwnd, false);
    std::erase(m_created, hwnd);
  }
  return result;
}

LResult Win32WindowSystem::callWindowProcA(WndProcValue proc, Hwnd hwnd, uint32_t msg,
                                           WParam wParam, LParam lParam) {
  const LResult result = invoke(proc, hwnd, msg, wParam, lParam);
  m_failure.rethrow();
  return result;
}

LResult Win32WindowSystem::callClassProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  const auto it = m_bindings.find(hwnd);
  LResult result = 0;
  if (it != m_bindings.end()) {
    result = invoke(it->second.classProc, hwnd, msg, wParam, lParam);
  } else {
    const auto native = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(toHwnd(hwnd), GWLP_WNDPROC));
    if (native != nullptr) result = CallWindowProcA(native, toHwnd(hwnd), msg, wParam, lParam);
  }
  m_failure.rethrow();
  return result;
}

// --- Enumeration -----------------------------------------------------------------------------

bool Win32WindowSystem::enumWindows(const EnumProc& proc, LParam lParam) {
  EnumContext context{proc, lParam, {}};
  EnumWindows(&Win32WindowSystemNative::enumProc, reinterpret_cast<LPARAM>(&context));
  context.failure.rethrow();
  m_failure.rethrow();
  // As Windows reports it: every callback said go on (Wine returns the last callback's result).
  return !context.stopped;
}

bool Win32WindowSystem::enumChildWindows(Hwnd parent, const EnumProc& proc, LParam lParam) {
  if (parent == 0) return enumWindows(proc, lParam);
  EnumContext context{proc, lParam, {}};
  EnumChildWindows(toHwnd(parent), &Win32WindowSystemNative::enumProc,
                   reinterpret_cast<LPARAM>(&context));
  context.failure.rethrow();
  m_failure.rethrow();
  // A window without children gives false, as on Windows.
  return context.called && !context.stopped;
}

// --- Inspection ------------------------------------------------------------------------------

int32_t Win32WindowSystem::getClassNameA(Hwnd hwnd, char* buffer, int32_t maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  return GetClassNameA(toHwnd(hwnd), buffer, maxCount);
}

Hwnd Win32WindowSystem::getParent(Hwnd hwnd) {
  return fromHwnd(GetParent(toHwnd(hwnd)));
}

bool Win32WindowSystem::getWindowRect(Hwnd hwnd, Rect& rect) {
  RECT r;
  if (!GetWindowRect(toHwnd(hwnd), &r)) return false;
  rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

bool Win32WindowSystem::isWindowVisible(Hwnd hwnd) {
  return IsWindowVisible(toHwnd(hwnd)) != 0;
}

NotifyHeader Win32WindowSystem::copyNotifyHeader(LParam lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  return {fromHwnd(header->hwndFrom), static_cast<uint32_t>(header->idFrom),
          static_cast<int32_t>(header->code)};
}

bool Win32WindowSystem::isWindow(Hwnd hwnd) {
  return IsWindow(toHwnd(hwnd)) != 0;
}

int32_t Win32WindowSystem::getWindowLongA(Hwnd hwnd, int32_t index) {
  const HWND w = toHwnd(hwnd);
  if (index == kWndProcIndex) {
    const intptr_t native = GetWindowLongPtrA(w, GWLP_WNDPROC);
    if (native == 0) return 0;
    if (native == kTrampoline) {
      const auto it = m_bindings.find(hwnd);
      if (it != m_bindings.end()) return it->second.current;
    }
    return nativeToken(native);
  }
  if (pointerSizedIndex(index)) return static_cast<int32_t>(GetWindowLongPtrA(w, index));
  return GetWindowLongA(w, index);
}

int32_t Win32WindowSystem::setWindowLongA(Hwnd hwnd, int32_t index, int32_t value) {
  const HWND w = toHwnd(hwnd);
  if (index != kWndProcIndex) {
    int32_t previous = 0;
    if (pointerSizedIndex(index))
      previous = static_cast<int32_t>(SetWindowLongPtrA(w, index, value));
    else
      previous = SetWindowLongA(w, index, value);
    m_failure.rethrow();  // a style change sends WM_STYLECHANGING and WM_STYLECHANGED
    return previous;
  }
  const auto proc = m_procedures.find(value);
  if (proc == m_procedures.end()) return 0;  // not a procedure
  const WndProcValue previous = getWindowLongA(hwnd, kWndProcIndex);
  if (previous == 0) return 0;
  const auto binding = m_bindings.find(hwnd);
  const bool bound =
      binding != m_bindings.end() && GetWindowLongPtrA(w, GWLP_WNDPROC) == kTrampoline;
  if (proc->second.function) {
    if (bound)
      binding->second.current = value;
    else if (!bind(hwnd, value))
      return 0;
  } else if (bound && !binding->second.subclassed) {
    // A class of ours keeps the trampoline as its procedure; it calls the native one.
    binding->second.current = value;
  } else {
    // Putting a native procedure back ends the subclass altogether.
    unbind(hwnd, false);
    SetWindowLongPtrA(w, GWLP_WNDPROC, proc->second.native);
  }
  return previous;
}

// --- Messages --------------------------------------------------------------------------------

LResult Win32WindowSystem::sendTimeout(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam,
                                       bool wide, bool& ok) {
  DWORD_PTR result = 0;
  SetLastError(0);
  const UINT flags = SMTO_NORMAL | SMTO_ABORTIFHUNG;
  const LRESULT sent =
      wide
          ? SendMessageTimeoutW(toHwnd(hwnd), msg, wParam, lParam, flags, m_sendTimeoutMs, &result)
          : SendMessageTimeoutA(toHwnd(hwnd), msg, wParam, lParam, flags, m_sendTimeoutMs, &result);
  ok = sent != 0;
  if (!ok) {
    if (GetLastError() == ERROR_TIMEOUT) ++m_timedOutSends;
    result = 0;
  }
  return static_cast<LResult>(result);
}

std::optional<LResult> Win32WindowSystem::sendMessageTimeoutA(Hwnd hwnd, uint32_t msg,
                                                              WParam wParam, LParam lParam) {
  std::optional<LResult> result;
  if ((msg == LB_GETTEXT && lParam != 0) || msg == LB_GETTEXTLEN) {
    result = listBoxText(hwnd, msg, wParam, lParam);
  } else {
    bool ok = false;
    const LResult answer = sendTimeout(hwnd, msg, wParam, lParam, false, ok);
    if (ok) result = answer;
  }
  if (!result && msg == WM_SETREDRAW && wParam != 0 && IsWindow(toHwnd(hwnd))) {
    // Redraw switched back on must not be lost with a program that did not answer in time: its
    // window would stay unpainted (and, through DefWindowProc, hidden) for good. It goes without
    // waiting, and the window gets it when its program reads its messages again.
    SendNotifyMessageA(toHwnd(hwnd), msg, wParam, lParam);
  }
  m_failure.rethrow();
  return result;
}

std::optional<LResult> Win32WindowSystem::listBoxText(Hwnd hwnd, uint32_t msg, WParam index,
                                                      LParam buffer) {
  bool ok = false;
  // An owner-drawn list box without strings keeps item data, not text: no conversion.
  const auto style = static_cast<uint32_t>(GetWindowLongA(toHwnd(hwnd), GWL_STYLE));
  if ((style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) && !(style & LBS_HASSTRINGS)) {
    const LResult data = sendTimeout(hwnd, msg, index, buffer, false, ok);
    if (!ok) return std::nullopt;
    return data;
  }

  const LResult length = sendTimeout(hwnd, LB_GETTEXTLEN, index, 0, true, ok);
  if (!ok) return std::nullopt;
  if (length < 0) return length;  // LB_ERR: no such item
  // Room for the item's length and then some, should the item change between the two sends.
  std::wstring wide(std::max<size_t>(static_cast<size_t>(length), 256) + 1, L'\0');
  const LResult copied =
      sendTimeout(hwnd, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide.data()), true, ok);
  if (!ok) return std::nullopt;
  if (copied < 0) return copied;
  wide.resize(std::min(static_cast<size_t>(copied), wcsnlen(wide.data(), wide.size())));
  const std::string ansi = toAnsi(wide);
  if (msg == LB_GETTEXT)
    std::memcpy(reinterpret_cast<char*>(buffer), ansi.c_str(), ansi.size() + 1);
  return static_cast<LResult>(ansi.size());
}

bool Win32WindowSystem::postMessageA(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  return PostMessageA(toHwnd(hwnd), msg, wParam, lParam) != 0;
}

bool Win32WindowSystem::moveWindow(Hwnd hwnd, int32_t x, int32_t y, int32_t width, int32_t height,
                                   bool repaint) {
  const HWND window = toHwnd(hwnd);
  // Moving another thread's window waits for that thread without a time limit. A hung ACT! must
  // not hold the program for good, so its window is moved only once its thread has answered a
  // message within the time a send may take.
  if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
    bool answered = false;
    sendTimeout(hwnd, WM_NULL, 0, 0, false, answered);
    if (!answered) return false;
  }
  const bool moved = MoveWindow(window, x, y, width, height, repaint) != 0;
  m_failure.rethrow();
  return moved;
}

bool Win32WindowSystem::lockWindowUpdate(Hwnd hwnd) {
  return LockWindowUpdate(toHwnd(hwnd)) != 0;
}

bool Win32WindowSystem::invalidateRgn(Hwnd hwnd, uintptr_t region, bool erase) {
  return InvalidateRgn(toHwnd(hwnd), reinterpret_cast<HRGN>(region), erase) != 0;
}

// --- Creation --------------------------------------------------------------------------------

bool Win32WindowSystem::registerClass(const std::string& className) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &Win32WindowSystemNative::windowProc;
  wc.hInstance = thisModule();
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className.c_str();
  if (RegisterClassExA(&wc) == 0) return false;
  m_classes.insert(className);
  return true;
}

Hwnd Win32WindowSystem::createWindowA(std::string_view className, std::string_view text,
                                      uint32_t style, int32_t x, int32_t y, int32_t width,
                                      int32_t height, Hwnd parent, WndProc proc) {
  const std::string name(className);
  const HINSTANCE module = thisModule();
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  bool ours = false;
  if (GetClassInfoExA(module, name.c_str(), &existing)) {
    ours = existing.lpfnWndProc == &Win32WindowSystemNative::windowProc;
    if (ours) m_classes.insert(name);  // another window system of the module registered it
  } else if (GetClassInfoExA(nullptr, name.c_str(), &existing)) {
    ours = existing.lpfnWndProc == &Win32WindowSystemNative::windowProc;
  } else {
    if (!registerClass(name)) return 0;
    ours = true;
  }

  // Windows of our classes always run the trampoline; a system class only when given a proc.
  Creation creation;
  if (proc)
    creation.proc = makeWndProcValue(std::move(proc));
  else if (ours)
    creation.proc = m_defaultProc;
  else
    creation.bound = true;  // nothing to bind

  Creation* const outerCreation = std::exchange(m_creating, &creation);
  Win32WindowSystem* const outerSystem = std::exchange(tCreatingSystem, this);
  HHOOK hook = creation.bound ? nullptr
                              : SetWindowsHookExA(WH_CBT, &Win32WindowSystemNative::creationHook,
                                                  nullptr, GetCurrentThreadId());
  const std::string title(text);
  const HWND w = CreateWindowExA(0, name.c_str(), title.c_str(), style, x, y, width, height,
                                 toHwnd(parent), nullptr, module, nullptr);
  if (hook != nullptr) UnhookWindowsHookEx(hook);
  tCreatingSystem = outerSystem;
  m_creating = outerCreation;

  if (m_failure.pending() && w != nullptr) DestroyWindow(w);  // its procedure failed midway
  m_failure.rethrow();
  if (w != nullptr) m_created.push_back(fromHwnd(w));
  return fromHwnd(w);
}

bool Win32WindowSystem::destroyWindow(Hwnd hwnd) {
  const bool destroyed = DestroyWindow(toHwnd(hwnd)) != 0;
  if (destroyed) std::erase(m_created, hwnd);
  m_failure.rethrow();
  return destroyed;
}

bool Win32WindowSystem::showWindow(Hwnd hwnd, int command) {
  const bool wasVisible = ShowWindow(toHwnd(hwnd), command) != 0;
  m_failure.rethrow();
  return wasVisible;
}

}  // namespace morvane::win32
