// What the tests of Nubrix.dll share: where the DLL is, its class registered for a suite, and
// small COM objects a container would give a control (written here, not taken from a container).
#pragma once

#include <atomic>
#include <string>

#include "platform/win32/com_registration.h"
#include "platform/win32/win32_base.h"

#include <ocidl.h>
#include <wrl/client.h>

#include "nubrix_h.h"

namespace morvane::win32::testing {

// Nubrix.dll beside this program, or the one of the other bitness's build (empty when that is not
// built).
std::string nubrixDllPath(bool otherBitness = false);

// Calls one of the DLL's entry points, the DLL loaded for the call only.
HRESULT callDllEntry(const std::string& dll, const char* entry);

// The DLL's class in the registry from SetUpTestSuite to TearDownTestSuite.
struct RegisteredNubrix {
  static void registerClass() { callDllEntry(nubrixDllPath(), "DllRegisterServer"); }
  static void unregisterClass() { callDllEntry(nubrixDllPath(), "DllUnregisterServer"); }
};

// A COM object of the tests: reference counting and QueryInterface over the interfaces find
// gives.
template <class... Interfaces>
class TestObject : public Interfaces... {
 public:
  virtual ~TestObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = riid == IID_IUnknown ? identity() : find(riid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

 protected:
  virtual void* find(REFIID riid) = 0;
  virtual IUnknown* identity() = 0;

 private:
  std::atomic<ULONG> m_refs{0};
};

// A new control by its ProgID, as a container creates it.
Microsoft::WRL::ComPtr<IDispatch> createNubrixByProgId();

// An IPictureDisp of an icon from the system's (owned by the picture), or of a bitmap.
Microsoft::WRL::ComPtr<IDispatch> iconPicture();
Microsoft::WRL::ComPtr<IDispatch> bitmapPicture();

}  // namespace morvane::win32::testing
