// The number of the RuntimeError a call throws, or 0 when it throws none.
#pragma once

#include "platform/runtime_error.h"

namespace morvane::testing {

template <class Call>
int errorNumberOf(Call&& call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace morvane::testing
