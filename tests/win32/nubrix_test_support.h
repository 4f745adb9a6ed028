// What the tests of Nubrix.dll share: where the DLL is, its class registered for a suite, and
// small COM objects a container would give a control (written here, not taken from a container).
#pragma once

#include <string>

#include "platform/win32/com/com_registration.h"
#include "platform/win32/win32_base.h"
#include "tests/win32/com_test_support.h"

#include <ocidl.h>
#include <wrl/client.h>

#include "nubrix_h.h"

namespace morvane::win32::testing {

// Nubrix.dll beside this program, or the one of the other bitness's build (empty when that is not
// built).
inline std::string nubrixDllPath(bool otherBitness = false) {
  return builtFile("Nubrix.dll", otherBitness);
}

// Calls one of the DLL's entry points, the DLL loaded for the call only.
HRESULT callDllEntry(const std::string& dll, const char* entry);

// The DLL's class in the registry from SetUpTestSuite to TearDownTestSuite.
struct RegisteredNubrix {
  static void registerClass() { callDllEntry(nubrixDllPath(), "DllRegisterServer"); }
  static void unregisterClass() { callDllEntry(nubrixDllPath(), "DllUnregisterServer"); }
};

// A new control by its ProgID, as a container creates it.
Microsoft::WRL::ComPtr<IDispatch> createNubrixByProgId();

// An IPictureDisp of an icon from the system's (owned by the picture), or of a bitmap.
Microsoft::WRL::ComPtr<IDispatch> iconPicture();
Microsoft::WRL::ComPtr<IDispatch> bitmapPicture();

}  // namespace morvane::win32::testing
