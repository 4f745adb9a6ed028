// A local server for the COM tests: serves Probe objects ("MorvaneTest.Probe", or with
// /victim {clsid} that class). /regserver and /unregserver register and remove the probe's class
// for the current user; started by COM (-Embedding) it ends when its clients have released
// everything.
#include "platform/win32/com/com_automation.h"
#include "platform/win32/com/com_registration.h"
#include "platform/win32/com/com_server.h"
#include "tests/win32/com_probe.h"

#include <cstring>

using namespace morvane;
using namespace morvane::win32;

int main(int argc, char** argv) {
  try {
    if (argc > 1 && _stricmp(argv[1], "/regserver") == 0) {
      registerLocalServerClass(testing::probeClass(), programPath());
      return 0;
    }
    if (argc > 1 && _stricmp(argv[1], "/unregserver") == 0) {
      unregisterLocalServerClass(testing::probeClass());
      return 0;
    }
    // /victim {clsid}: serve that class instead.
    CLSID clsid = testing::kProbeClsid;
    if (argc > 2 && _stricmp(argv[1], "/victim") == 0) {
      if (FAILED(CLSIDFromString(toWide(argv[2]).c_str(), &clsid))) return 2;
    }
    ComApartment apartment;
    LocalServer server(startedByCom(GetCommandLineA()));
    ClassObjectRegistration probe(
        clsid, makeClassFactory([] { return std::make_shared<testing::Probe>(); },
                                &testing::kProbeEventsIid));
    return server.run();
  } catch (const RuntimeError&) {
    return 2;
  }
}
