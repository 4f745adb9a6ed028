// Keeps a C++ exception away from user32's frames: a callback that the system calls (a window
// procedure, an enumeration callback, a timer tick) runs its body through run(), which holds the
// first exception instead of letting it unwind through C code; the caller rethrows it once the
// system call has returned.
#pragma once

#include <exception>
#include <utility>

namespace morvane::win32 {

// What becomes of an exception a callback raised.
enum class CallbackFailures {
  Hold,  // kept for the program's own message loop to rethrow
  // Dropped where it happened: code in a DLL, whose host's message loop knows nothing of ours
  // and would never ask for it.
  Drop,
};

class CallbackFailure {
 public:
  CallbackFailure() = default;
  explicit CallbackFailure(CallbackFailures policy) : m_policy(policy) {}

  // False when body threw; the exception is kept (only the first of several) or dropped.
  template <class Body>
  bool run(Body&& body) noexcept {
    try {
      body();
      return true;
    } catch (...) {
      if (!m_error && m_policy == CallbackFailures::Hold) m_error = std::current_exception();
      return false;
    }
  }

  bool pending() const { return m_error != nullptr; }

  // Throws the kept exception, if any, and forgets it.
  void rethrow() {
    if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
  }

 private:
  CallbackFailures m_policy = CallbackFailures::Hold;
  std::exception_ptr m_error;
};

}  // namespace morvane::win32
