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

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", as the registry names a class.
std::string guidText(const GUID& guid);
// The full path of the running program.
std::string programPath();

}  // namespace morvane::win32
