// How long a program waits on another program (ACT!) for one call: a message sent to one of its
// windows, or a call to one of its automation objects. A call that has no answer by then fails;
// the program does not wait on a hung ACT! for as long as it hangs.
#pragma once

#include <chrono>

namespace morvane {

inline constexpr std::chrono::milliseconds kCallLimit{10000};

}  // namespace morvane
