// The simulated desktop's trace as text, the way morvane-sim shows it: handles in hexadecimal as
// Windows tools print them, messages by name, every argument of the call.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sim/sim_desktop.h"

namespace morvane::simulator {

// A window or icon handle: "0x" and eight hexadecimal digits, e.g. 0x00010010.
std::string hexHandle(uint32_t handle);
// The message's name (BM_CLICK, LB_FINDSTRINGEXACT, ...), or "message N" for one without.
std::string messageName(uint32_t msg);
// One traced call, e.g. SendMessage LB_FINDSTRINGEXACT to 0x00010034 (-1, "Client").
std::string describe(const sim::TraceEntry& entry);

}  // namespace morvane::simulator
