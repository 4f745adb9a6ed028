// Registration of a local server's classes, as its /regserver and /unregserver switches do it.
// The keys go under HKEY_LOCAL_MACHINE\Software\Classes, as installers register classes, in both
// the 32- and the 64-bit view of the registry, so that 32- and 64-bit clients find the class:
//
//   <ProgID>                          (default) = description
//   <ProgID>\CLSID                    (default) = {clsid}
//   CLSID\{clsid}                     (default) = description
//   CLSID\{clsid}\LocalServer32       (default) = "exe path" (quoted) and any arguments
//   CLSID\{clsid}\ProgID              (default) = <ProgID>
//
// A user without the right to write the machine's classes gets them under
// HKEY_CURRENT_USER\Software\Classes instead, which Windows' COM reads as well (Wine's reads only
// the machine's classes, but under Wine every user may write them).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win32/win32_base.h"

#include <guiddef.h>

namespace morvane::win32 {

struct LocalServerClass {
  CLSID clsid;
  std::string progId;
  std::string description;
};

// Writes the class's keys; throws an automation error (with the system's text) when the registry
// refuses. COM starts the server with its arguments followed by -Embedding.
void registerLocalServerClass(const LocalServerClass& cls, std::string_view exePath,
                              std::string_view arguments = {});
// Removes every key registerLocalServerClass adds, in both views and under both roots; keys that
// are not there are no error. A key another program added something to stays, with what it added.
void unregisterLocalServerClass(const LocalServerClass& cls);

// An in-process server's class, as its DLL's DllRegisterServer enters it. Only processes of the
// DLL's own bitness can load it, so its keys go into that view of the registry only (under
// HKEY_LOCAL_MACHINE\Software\Classes, or HKEY_CURRENT_USER\Software\Classes for a user who may
// not write the machine's classes). The ProgID's keys are shared by both views all the same
// (Windows 7 on; Wine keeps them in the 64-bit view): the DLLs of both bitnesses write the same.
//
//   <ProgID>                          (default) = description
//   <ProgID>\CLSID                    (default) = {clsid}
//   CLSID\{clsid}                     (default) = description
//   CLSID\{clsid}\InprocServer32      (default) = DLL path, ThreadingModel = threadingModel
//   CLSID\{clsid}\ProgID              (default) = <ProgID>
// and for a control:
//   CLSID\{clsid}\Control
//   CLSID\{clsid}\TypeLib             (default) = {typeLib}
//   CLSID\{clsid}\Version             (default) = version
//   CLSID\{clsid}\MiscStatus          (default) = "0"
//   CLSID\{clsid}\MiscStatus\1        (default) = miscStatus in decimal
// (the OLEMISC flags of its content).
struct InprocServerClass {
  CLSID clsid;
  std::string progId;
  std::string description;
  std::string threadingModel;  // "Apartment", "Both", ...
  bool control = false;
  GUID typeLib{};
  std::string version;  // of the type library, "1.1"
  uint32_t miscStatus = 0;
};

// Writes the class's keys; throws an automation error (with the system's text) when the registry
// refuses.
void registerInprocServerClass(const InprocServerClass& cls, std::string_view dllPath);
// Removes every key registerInprocServerClass adds, from this bitness's view under both roots;
// keys that are not there are no error. A key another program added something to stays.
void unregisterInprocServerClass(const InprocServerClass& cls);
// The view of the registry that processes of this module's bitness see (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY).
REGSAM ownRegistryView();

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", as the registry names a class.
std::string guidText(const GUID& guid);
// The full path of the running program.
std::string programPath();
// The full path of the module this code is linked into (a program or a DLL).
std::string modulePath();

}  // namespace morvane::win32
