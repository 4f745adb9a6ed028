// What RuntimeError a call throws: its number (0 when it throws none), or the whole error.
#pragma once

#include <gtest/gtest.h>

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

// The error the call throws; a call that throws none fails the test.
template <class Call>
RuntimeError errorOf(Call&& call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e;
  }
  ADD_FAILURE() << "no run-time error";
  return RuntimeError(0, "none");
}

}  // namespace morvane::testing
