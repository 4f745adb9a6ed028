// What only the user32 backend has: send timeouts against a hung process, window procedures as
// tokens in 32- and 64-bit programs, exceptions kept out of user32, and timers on the message
// loop. The behaviour both backends share is in tests/contract.
#include "platform/win32/win32_window_system.h"
#include "platform/win32/win32_timers.h"
#include "tests/win32/support/wait.h"
#include "tests/win32/win32_window_lab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/timers.h"
#include "platform/win32/win32_base.h"

namespace morvane::win32 {
namespace {

using namespace std::chrono_literals;

// GWL_WNDPROC, which the 64-bit windows.h leaves out; the port's value is a token in both.
constexpr int32_t kGwlWndProc = -4;

LParam text(const char* s) {
  return reinterpret_cast<LParam>(s);
}

using wintest::waitUntil;

void pumpFor(std::chrono::milliseconds duration) {
  waitUntil([] { return false; }, duration);
}

// A procedure that notes every message and leaves it to the class's behaviour.
WndProc noting(Win32WindowSystem& ws, std::vector<uint32_t>& seen) {
  return [&ws, &seen](Hwnd h, uint32_t msg, WParam w, LParam l) {
    seen.push_back(msg);
    return ws.callClassProc(h, msg, w, l);
  };
}

bool saw(const std::vector<uint32_t>& seen, uint32_t msg) {
  return std::find(seen.begin(), seen.end(), msg) != seen.end();
}

TEST(Win32WindowSystem, HungTarget_SendsAndMovesGiveUpAfterTheTimeout) {
  Win32WindowLab lab(300ms);
  const Hwnd f = lab.create({"LabFrame", WS_POPUP, 0, 0, 200, 200, 0, 0, ""});
  const Hwnd lb = lab.create({"ListBox", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, f, 0, ""});
  WindowSystem& ws = lab.windows();
  ws.sendMessageA(lb, LB_ADDSTRING, 0, text("Standard"));
  ws.sendMessageA(lb, LB_ADDSTRING, 0, text("Sales"));

  lab.hang(5000ms);
  EXPECT_EQ(ws.sendMessageTimeoutA(lb, LB_GETCOUNT, 0, 0), std::nullopt);
  EXPECT_EQ(ws.sendMessageTimeoutA(lb, LB_GETTEXTLEN, 0, 0), std::nullopt);
  // MoveWindow itself would wait for the hung thread as long as it hangs.
  EXPECT_FALSE(ws.moveWindow(lb, 5000, 0, 0, 0, false));
  EXPECT_EQ(lab.win32().timedOutSends(), 3u);
  // All three gave up while the lab still hangs.
  EXPECT_FALSE(lab.waitUntilResponsive(200ms));

  ASSERT_TRUE(lab.waitUntilResponsive(10s));
  EXPECT_EQ(ws.sendMessageTimeoutA(lb, LB_GETCOUNT, 0, 0), 2);
  EXPECT_TRUE(ws.moveWindow(lb, 5000, 0, 0, 0, false));
  EXPECT_EQ(lab.win32().timedOutSends(), 3u);
}

TEST(Win32WindowSystem, HungTarget_RedrawSwitchedBackOnStillArrives) {
  Win32WindowLab lab(300ms);
  const Hwnd f = lab.create({"LabFrame", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, 0, 0, ""});
  WindowSystem& ws = lab.windows();
  auto visibleBit = [&] { return (ws.getWindowLongA(f, GWL_STYLE) & WS_VISIBLE) != 0; };

  // A lock as SelectLayout takes one: redraw off takes the visible bit away (DefWindowProc).
  ws.sendMessageA(f, WM_SETREDRAW, FALSE, 0);
  ASSERT_FALSE(visibleBit());
  lab.hang(2000ms);
  ws.sendMessageA(f, WM_SETREDRAW, TRUE, 0);
  EXPECT_EQ(lab.win32().timedOutSends(), 1u);
  EXPECT_FALSE(visibleBit());

  ASSERT_TRUE(lab.waitUntilResponsive(10s));
  EXPECT_TRUE(waitUntil([&] { return visibleBit(); }, 5s));
}

TEST(Win32WindowSystem, Subclassing_TokensInstallAndRestoreTheRealProcedure) {
  Win32WindowSystem ws;
  const Hwnd f = ws.createWindowA("MorvaneTestFrame", "", WS_POPUP, 0, 0, 200, 200, 0, nullptr);
  const Hwnd lb =
      ws.createWindowA("ListBox", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, f, nullptr);
  const HWND native = toHwnd(lb);
  const LONG_PTR original = GetWindowLongPtrA(native, GWLP_WNDPROC);

  const WndProcValue old = ws.getWindowLongA(lb, kGwlWndProc);
  ASSERT_NE(old, 0);
  EXPECT_EQ(ws.getWindowLongA(lb, kGwlWndProc), old);  // one token per procedure
  std::vector<uint32_t> seen;
  const WndProcValue mine =
      ws.makeWndProcValue([&](Hwnd h, uint32_t msg, WParam w, LParam l) -> LResult {
        if (msg == LB_ADDSTRING || msg == LB_GETCOUNT) seen.push_back(msg);
        const LResult result = ws.callWindowProcA(old, h, msg, w, l);
        return msg == LB_GETCOUNT ? result + 100 : result;
      });
  EXPECT_EQ(ws.setWindowLongA(lb, kGwlWndProc, mine), old);
  EXPECT_EQ(ws.getWindowLongA(lb, kGwlWndProc), mine);
  EXPECT_EQ(ws.sendMessageA(lb, LB_ADDSTRING, 0, text("x")), 0);
  EXPECT_EQ(SendMessageA(native, LB_GETCOUNT, 0, 0), 101);  // user32 itself calls it now
  EXPECT_EQ(seen, (std::vector<uint32_t>{LB_ADDSTRING, LB_GETCOUNT}));

  EXPECT_EQ(ws.setWindowLongA(lb, kGwlWndProc, old), mine);
  EXPECT_EQ(GetWindowLongPtrA(native, GWLP_WNDPROC), original);
  EXPECT_EQ(ws.sendMessageA(lb, LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(ws.setWindowLongA(lb, kGwlWndProc, 12345), 0);  // not a procedure
  EXPECT_EQ(ws.getWindowLongA(lb, kGwlWndProc), old);
}

TEST(Win32WindowSystem, Subclassing_AProcedureOverAProcedureOfOurOwn) {
  Win32WindowSystem ws;
  std::vector<uint32_t> inner, outer;
  const Hwnd f =
      ws.createWindowA("MorvaneTestFrame", "", WS_POPUP, 0, 0, 200, 200, 0, noting(ws, inner));
  const WndProcValue first = ws.getWindowLongA(f, kGwlWndProc);
  const WndProcValue second = ws.makeWndProcValue([&](Hwnd h, uint32_t msg, WParam w, LParam l) {
    outer.push_back(msg);
    return ws.callWindowProcA(first, h, msg, w, l);
  });
  EXPECT_EQ(ws.setWindowLongA(f, kGwlWndProc, second), first);
  inner.clear();
  SendMessageA(toHwnd(f), WM_APP, 0, 0);
  EXPECT_EQ(outer, std::vector<uint32_t>{WM_APP});
  EXPECT_EQ(inner, std::vector<uint32_t>{WM_APP});
  EXPECT_EQ(ws.setWindowLongA(f, kGwlWndProc, first), second);
  SendMessageA(toHwnd(f), WM_APP + 1, 0, 0);
  EXPECT_EQ(outer.size(), 1u);
  EXPECT_TRUE(saw(inner, WM_APP + 1));
}

TEST(Win32WindowSystem, CreateWindow_ProcedureSeesCreationAndReachesTheClass) {
  Win32WindowSystem ws;
  std::vector<uint32_t> frameSeen, listSeen;
  const Hwnd f = ws.createWindowA("MorvaneTestFrame", "Morvane", WS_POPUP, 0, 0, 200, 200, 0,
                                  noting(ws, frameSeen));
  ASSERT_NE(f, 0u);
  // Messages that came before CreateWindowEx returned reached the procedure too.
  ASSERT_TRUE(saw(frameSeen, WM_NCCREATE) && saw(frameSeen, WM_CREATE));
  EXPECT_LT(std::find(frameSeen.begin(), frameSeen.end(), WM_NCCREATE),
            std::find(frameSeen.begin(), frameSeen.end(), WM_CREATE));
  char title[32] = {};
  GetWindowTextA(toHwnd(f), title, sizeof title);
  EXPECT_STREQ(title, "Morvane");  // the default procedure handled WM_NCCREATE

  const Hwnd lb = ws.createWindowA("ListBox", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, f,
                                   [&](Hwnd h, uint32_t msg, WParam w, LParam l) -> LResult {
                                     listSeen.push_back(msg);
                                     if (msg == LB_GETCOUNT)
                                       return 77;  // answered here, not by the list box
                                     return ws.callClassProc(h, msg, w, l);
                                   });
  ASSERT_NE(lb, 0u);
  EXPECT_TRUE(saw(listSeen, WM_NCCREATE) && saw(listSeen, WM_CREATE));
  EXPECT_EQ(ws.sendMessageA(lb, LB_ADDSTRING, 0, text("a")), 0);
  EXPECT_EQ(ws.sendMessageA(lb, LB_ADDSTRING, 0, text("b")), 1);
  EXPECT_EQ(ws.sendMessageA(lb, LB_GETCOUNT, 0, 0), 77);
  EXPECT_EQ(ws.sendMessageA(lb, LB_FINDSTRINGEXACT, static_cast<WParam>(-1), text("B")), 1);

  // A message-only window of our own class.
  const Hwnd hidden =
      ws.createWindowA("MorvaneTestFrame", "", WS_VISIBLE, 0, 0, 0, 0, 0xFFFFFFFD, nullptr);
  ASSERT_NE(hidden, 0u);
  EXPECT_FALSE(ws.isWindowVisible(hidden));
  EXPECT_TRUE(ws.destroyWindow(hidden));
  EXPECT_TRUE(ws.destroyWindow(f));
  EXPECT_FALSE(ws.isWindow(lb));
}

TEST(Win32WindowSystem, Exceptions_LeaveUser32FirstAndComeOutOfTheCall) {
  Win32WindowSystem ws;
  const Hwnd thrower = ws.createWindowA("MorvaneTestFrame", "", WS_POPUP, 0, 0, 10, 10, 0,
                                        [&](Hwnd h, uint32_t msg, WParam w, LParam l) -> LResult {
                                          if (msg == WM_APP)
                                            throw std::runtime_error("from the procedure");
                                          return ws.callClassProc(h, msg, w, l);
                                        });
  // Sent to a procedure that sends on to the thrower: the exception crosses both sends.
  const Hwnd relay = ws.createWindowA("MorvaneTestFrame", "", WS_POPUP, 0, 0, 10, 10, 0,
                                      [&](Hwnd h, uint32_t msg, WParam w, LParam l) -> LResult {
                                        if (msg == WM_APP)
                                          return ws.sendMessageA(thrower, WM_APP, 0, 0);
                                        return ws.callClassProc(h, msg, w, l);
                                      });
  try {
    ws.sendMessageA(relay, WM_APP, 0, 0);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "from the procedure");
  }
  EXPECT_EQ(ws.sendMessageA(relay, WM_APP + 1, 0, 0), 0);  // nothing left over

  // Through the message loop: the loop rethrows after DispatchMessage.
  ASSERT_TRUE(ws.postMessageA(thrower, WM_APP, 0, 0));
  pumpFor(50ms);
  EXPECT_THROW(ws.rethrowPending(), std::runtime_error);
  EXPECT_NO_THROW(ws.rethrowPending());

  int calls = 0;
  EXPECT_THROW(ws.enumWindows(
                   [&](Hwnd, LParam) -> int32_t {
                     ++calls;
                     throw std::runtime_error("from the callback");
                   },
                   0),
               std::runtime_error);
  EXPECT_EQ(calls, 1);  // the enumeration stopped there
}

TEST(Win32Timers, TicksComeThroughTheMessageLoopUntilKilled) {
  Win32Timers timers;
  int ticks = 0;
  TimerId id = 0;
  id = timers.setTimer(20, [&] {
    if (++ticks == 3) timers.killTimer(id);
  });
  EXPECT_NE(id, 0u);
  Sleep(100);
  EXPECT_EQ(ticks, 0);  // nothing without the message loop
  EXPECT_TRUE(waitUntil([&] { return ticks >= 3; }, 5s));
  pumpFor(200ms);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(timers.activeTimers(), 0u);

  // The form's Timer control on the real timers; a failing tick surfaces after the dispatch.
  Timer control(timers);
  control.onTimer = [] { throw std::runtime_error("from the tick"); };
  control.setInterval(20);
  pumpFor(150ms);
  EXPECT_THROW(timers.rethrowPending(), std::runtime_error);
  control.setInterval(0);
  EXPECT_EQ(timers.activeTimers(), 0u);
}

// Code in a DLL: the host's message loop never asks for a failure, so none may be left over for a
// later call of ours (a destructor) to throw.
TEST(Win32WindowSystem, Exceptions_InADllAreDroppedWhereTheyHappen) {
  Win32WindowSystem ws(10s, CallbackFailures::Drop);
  Win32Timers timers(CallbackFailures::Drop);
  const Hwnd thrower = ws.createWindowA("MorvaneTestFrame", "", WS_POPUP, 0, 0, 10, 10, 0,
                                        [&](Hwnd h, uint32_t msg, WParam w, LParam l) -> LResult {
                                          if (msg == WM_APP) throw std::runtime_error("dropped");
                                          return ws.callClassProc(h, msg, w, l);
                                        });
  int ticks = 0;
  const TimerId id = timers.setTimer(20, [&] {
    ++ticks;
    throw std::runtime_error("dropped");
  });
  ASSERT_TRUE(ws.postMessageA(thrower, WM_APP, 0, 0));
  EXPECT_TRUE(waitUntil([&] { return ticks >= 2; }, 5s)) << "a failing tick keeps its timer";
  EXPECT_NO_THROW(ws.rethrowPending());
  EXPECT_NO_THROW(timers.rethrowPending());
  EXPECT_NO_THROW(ws.sendMessageA(thrower, WM_APP, 0, 0));
  EXPECT_TRUE(ws.destroyWindow(thrower));
  timers.killTimer(id);
}

}  // namespace
}  // namespace morvane::win32
