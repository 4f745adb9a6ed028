// What the window tests and window_lab.exe, the second process that makes their windows, say to
// each other. Requests go as WM_COPYDATA to the lab's request window, with the sender's reply
// window in wParam; the answer is the message's result, or a WM_COPYDATA back to that window.
#pragma once

#include <cstdint>

namespace morvane::lab {

// WM_COPYDATA kinds (dwData).
inline constexpr uint32_t kCreate = 1;    // CreateRequest; result: the new window, 0 on failure
inline constexpr uint32_t kDestroy = 2;   // uint32_t window; result: DestroyWindow's
inline constexpr uint32_t kCommands = 3;  // uint32_t window; result: the number of entries,
                                          // which come back first as a kCommandList
inline constexpr uint32_t kReady = 100;   // lab to test: uint32_t, the lab's request window
inline constexpr uint32_t kCommandList = 101;  // lab to test: CommandEntry[]

// Sent to the request window: the lab sleeps wParam milliseconds, reading no messages.
inline constexpr uint32_t kHangMessage = 0x8000 + 1;  // WM_APP + 1

struct CreateRequest {
  uint32_t parent;
  uint32_t style;
  int32_t x, y, width, height;
  int32_t id;
  char className[64];
  char text[64];
};

struct CommandEntry {
  uint32_t wParam;
  uint32_t lParam;
};

}  // namespace morvane::lab
