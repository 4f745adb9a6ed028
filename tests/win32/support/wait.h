// Waiting in Windows tests: while a test waits for another window, thread or process, its own
// thread keeps handling messages, since the other side may be sending to one of its windows (a
// program's Shell_NotifyIcon call ends in the fake notification area's window procedure).
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace morvane::wintest {

// How long a test waits for something that should happen at once before it gives up.
inline constexpr std::chrono::milliseconds kPatience{10000};

// Handles every message waiting for this thread, sent and posted. A WM_QUIT is left for the
// caller's own loop.
void pumpMessages();

// Handles this thread's messages until condition() holds or the timeout passes; true when it
// held. It looks again after every message, at least every 10 ms, and when wakeOn (a process,
// say) is signalled.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = kPatience, void* wakeOn = nullptr);

}  // namespace morvane::wintest
