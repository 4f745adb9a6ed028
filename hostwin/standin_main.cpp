// ActStandIn.exe: ACT! for Morvane's tests and demos, with the sample database open.
//   ActStandIn.exe [/fillers N]
// Exit codes: 0 after ACT! closed, 1 when its windows could not be made or it failed, 2 for a
// wrong command line.
#include <cstdio>
#include <exception>

#include "hostwin/act_standin.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

// The single-threaded apartment the program's one thread runs in.
class ComApartment {
 public:
  ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(m_result)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool ok() const { return SUCCEEDED(m_result); }

 private:
  HRESULT m_result;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  using namespace morvane::hostwin;
  std::string error;
  const auto options = parseStandInArguments(commandLine != nullptr ? commandLine : "", error);
  if (!options) {
    std::fprintf(stderr, "ActStandIn: %s\n", error.c_str());
    return 2;
  }
  const ComApartment apartment;
  if (!apartment.ok()) return 1;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  try {
    ActStandIn standIn(instance, *options);
    return standIn.run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ActStandIn: %s\n", e.what());
    return 1;
  }
}
