// The icon control as an ActiveX control of Nubrix.dll: the same control the programs host (its
// automation face, NubrixDispatch), exposed through COM with its type information, its events,
// property notices, its persistence in the container's property bag and the OLE interfaces a
// container sites it through.
#pragma once

#include <cstdint>

#include "platform/win32/win32_base.h"

#include <oaidl.h>
#include <oleidl.h>
#include <wrl/client.h>

namespace morvane::win32 {

// The OLEMISC flags of the control's content, as GetMiscStatus gives them and the registry holds
// them: invisible when the container runs, sited before it loads, never linked into.
inline constexpr uint32_t kNubrixMiscStatus = OLEMISC_INVISIBLEATRUNTIME |
                                              OLEMISC_SETCLIENTSITEFIRST | OLEMISC_CANTLINKINSIDE |
                                              OLEMISC_RECOMPOSEONRESIZE;

// A new control with its properties at their defaults, as a COM object of this module. Throws an
// automation error when the DLL's type library cannot be read.
Microsoft::WRL::ComPtr<IDispatch> createNubrixControl();

}  // namespace morvane::win32
