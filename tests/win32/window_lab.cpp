// window_lab.exe: a second process that makes windows for the window tests, as ACT! has its
// windows in a process of its own. Started by the tests with their reply window and process id;
// it ends on WM_CLOSE to its request window, or when the test process goes.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "tests/win32/window_lab_protocol.h"

namespace {

using namespace morvane::lab;

// The WM_COMMAND messages each window of the lab's own classes received.
std::map<HWND, std::vector<CommandEntry>> commandLog;

HWND asHwnd(uint32_t h) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(h)));
}
uint32_t fromHwnd(HWND h) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
}

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND)
    commandLog[hwnd].push_back(
        CommandEntry{static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)});
  if (msg == WM_NCDESTROY) commandLog.erase(hwnd);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The system's classes are used as they are; any other name becomes a class of the lab's.
bool ensureClass(const char* name) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(instance, name, &wc)) return true;
  wc.lpfnWndProc = recordingProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  return RegisterClassExA(&wc) != 0;
}

LRESULT create(const CreateRequest& r) {
  if (!ensureClass(r.className)) return 0;
  const auto menu =
      (r.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<intptr_t>(r.id)) : nullptr;
  const HWND h = CreateWindowExA(0, r.className, r.text, r.style, r.x, r.y, r.width, r.height,
                                 asHwnd(r.parent), menu, GetModuleHandleA(nullptr), nullptr);
  return static_cast<LRESULT>(fromHwnd(h));
}

LRESULT answer(HWND replyTo, const COPYDATASTRUCT& request) {
  switch (request.dwData) {
    case kCreate:
      if (request.cbData != sizeof(CreateRequest)) return 0;
      return create(*static_cast<const CreateRequest*>(request.lpData));
    case kDestroy:
      return DestroyWindow(asHwnd(*static_cast<const uint32_t*>(request.lpData)));
    case kCommands: {
      const std::vector<CommandEntry> entries =
          commandLog[asHwnd(*static_cast<const uint32_t*>(request.lpData))];
      COPYDATASTRUCT reply{kCommandList, static_cast<DWORD>(entries.size() * sizeof(CommandEntry)),
                           const_cast<CommandEntry*>(entries.data())};
      SendMessageA(replyTo, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&reply));
      return static_cast<LRESULT>(entries.size());
    }
    default:
      return 0;
  }
}

LRESULT CALLBACK requestProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COPYDATA:
      return answer(reinterpret_cast<HWND>(wParam), *reinterpret_cast<COPYDATASTRUCT*>(lParam));
    case kHangMessage:
      Sleep(static_cast<DWORD>(wParam));
      return 0;
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  unsigned long replyTo = 0, testProcess = 0;
  if (std::sscanf(commandLine, "%lu %lu", &replyTo, &testProcess) != 2) return 2;
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = requestProc;
  wc.hInstance = instance;
  wc.lpszClassName = "MorvaneWindowLab";
  RegisterClassExA(&wc);
  const HWND requests = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, instance, nullptr);
  const HANDLE test = OpenProcess(SYNCHRONIZE, FALSE, testProcess);
  if (requests == nullptr || test == nullptr) return 3;

  uint32_t handle = fromHwnd(requests);
  COPYDATASTRUCT ready{kReady, sizeof handle, &handle};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(asHwnd(static_cast<uint32_t>(replyTo)), WM_COPYDATA, 0,
                      reinterpret_cast<LPARAM>(&ready), SMTO_NORMAL, 10000, &ignored);

  for (;;) {
    if (MsgWaitForMultipleObjects(1, &test, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0)
      break;  // the test process is gone
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        CloseHandle(test);
        return 0;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  CloseHandle(test);
  return 0;
}
