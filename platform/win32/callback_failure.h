// Keeps a C++ exception away from user32's frames: a callback that the system calls (a window
// procedure, an enumeration callback, a timer tick) runs its body through run(), which holds the
// first exception instead of letting it unwind through C code; the caller rethrows it once the
// system call has returned.
#pragma once

#include <exception>
#include <utility>

namespace morvane::win32 {

class CallbackFailure {
 public:
  // False when body threw; the exception is kept (only the first of several).
  template <class Body>
  bool run(Body&& body) noexcept {
    try {
      body();
      return true;
    } catch (...) {
      if (!m_error) m_error = std::current_exception();
      return false;
    }
  }

  bool pending() const { return m_error != nullptr; }

  // Throws the kept exception, if any, and forgets it.
  void rethrow() {
    if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
  }

 private:
  std::exception_ptr m_error;
};

}  // namespace morvane::win32
