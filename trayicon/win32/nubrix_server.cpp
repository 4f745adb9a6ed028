// Nubrix.dll's entry points: the in-process server of the icon control, registering itself with
// regsvr32.
#include <string>

#include "trayicon/nubrix_members.h"
#include "trayicon/win32/nubrix_control.h"

#include "platform/win32/com/com_registration.h"
#include "platform/win32/com/com_server.h"

#include "nubrix_h.h"

#include <olectl.h>

namespace {

using namespace morvane;
using namespace morvane::win32;

InprocServerClass nubrixClass() {
  InprocServerClass cls;
  cls.clsid = CLSID_Nubrix;
  cls.progId = std::string(nubrix::kProgId);
  cls.description = std::string(nubrix::kTitle);
  cls.threadingModel = "Apartment";
  cls.control = true;
  cls.typeLib = LIBID_NubrixControl;
  cls.version = std::to_string(nubrix::kVersionMajor) + "." + std::to_string(nubrix::kVersionMinor);
  cls.miscStatus = kNubrixMiscStatus;
  return cls;
}

constexpr SYSKIND kOwnSystem = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_Nubrix) return CLASS_E_CLASSNOTAVAILABLE;
  try {
    return makeClassFactory(&createNubrixControl)->QueryInterface(riid, object);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllCanUnloadNow() {
  return moduleUseCount() == 0 ? S_OK : S_FALSE;
}

// The class under the machine's classes in this DLL's view of the registry, and the type library
// from the DLL's own resource (its interfaces with it).
STDAPI DllRegisterServer() {
  std::wstring path;
  try {
    path = toWide(modulePath());
    registerInprocServerClass(nubrixClass(), toAnsi(path));
  } catch (...) {
    return SELFREG_E_CLASS;
  }
  Microsoft::WRL::ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (SUCCEEDED(hr)) hr = RegisterTypeLib(library.Get(), path.data(), nullptr);
  return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
}

// Removes what DllRegisterServer added; what is not there is no error.
STDAPI DllUnregisterServer() {
  try {
    unregisterInprocServerClass(nubrixClass());
  } catch (...) {
    return SELFREG_E_CLASS;
  }
  UnRegisterTypeLib(LIBID_NubrixControl, nubrix::kVersionMajor, nubrix::kVersionMinor, LANG_NEUTRAL,
                    kOwnSystem);
  return S_OK;
}
