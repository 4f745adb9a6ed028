#include "tests/win32/nubrix_test_support.h"

#include <olectl.h>

namespace morvane::win32::testing {

using Microsoft::WRL::ComPtr;

HRESULT callDllEntry(const std::string& dll, const char* entry) {
  HMODULE module = LoadLibraryW(toWide(dll).c_str());
  if (module == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  const auto call = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, entry)));
  const HRESULT hr = call != nullptr ? call() : E_NOTIMPL;
  FreeLibrary(module);
  return hr;
}

ComPtr<IDispatch> createNubrixByProgId() {
  CLSID clsid{};
  ComPtr<IDispatch> control;
  if (SUCCEEDED(CLSIDFromProgID(L"NubrixControl.Nubrix", &clsid)))
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control));
  return control;
}

namespace {
ComPtr<IDispatch> picture(PICTDESC& description) {
  description.cbSizeofstruct = sizeof description;
  ComPtr<IDispatch> result;
  OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                           reinterpret_cast<void**>(result.GetAddressOf()));
  return result;
}
}  // namespace

ComPtr<IDispatch> iconPicture() {
  PICTDESC description{};
  description.picType = PICTYPE_ICON;
  description.icon.hicon = CopyIcon(LoadIconA(nullptr, IDI_APPLICATION));
  return picture(description);
}

ComPtr<IDispatch> bitmapPicture() {
  PICTDESC description{};
  description.picType = PICTYPE_BITMAP;
  description.bmp.hbitmap = CreateBitmap(16, 16, 1, 32, nullptr);
  return picture(description);
}

}  // namespace morvane::win32::testing
