// Failed automation calls as run-time errors, and run-time errors as the answer of a COM object of
// ours, so that an error crosses a COM boundary with its number and description unchanged.
//
// What a client makes of an HRESULT (errorFromHresult), as a Basic client reports it:
//
//   DISP_E_UNKNOWNNAME, DISP_E_MEMBERNOTFOUND   -> 438
//   DISP_E_BADPARAMCOUNT                        -> 450
//   DISP_E_PARAMNOTOPTIONAL                     -> 449
//   DISP_E_TYPEMISMATCH                         -> 13
//   DISP_E_OVERFLOW                             -> 6
//   0x800A.... (FACILITY_CONTROL)               -> its low word
//   RPC_S_SERVER_UNAVAILABLE, RPC_E_SERVER_DIED,
//   RPC_E_SERVER_DIED_DNE                       -> 462
//   anything else (RPC_E_DISCONNECTED, RPC_S_CALL_FAILED when a server dies during the call,
//   E_FAIL ...)                                 -> automationError(hr, the system's text)
// Basic errors come with the runtime's standard text.
//
// DISP_E_EXCEPTION carries the error in EXCEPINFO (errorFromInvoke, after the deferred fill-in): an
// scode in FACILITY_CONTROL is the Basic error of its low word, with the description given or else
// the standard text; a wCode is a Basic error number as it is; any other scode keeps the HRESULT as
// the number, with the server's description as it is, or else automationError's text.
//
// What our objects answer (answerError): 438 and 450 with their standard texts are
// DISP_E_MEMBERNOTFOUND and DISP_E_BADPARAMCOUNT, as any automation client expects them; every
// other error is DISP_E_EXCEPTION with EXCEPINFO: a Basic error (1 to 65535) as the
// FACILITY_CONTROL scode of its number, an automation error with its HRESULT as the scode; the
// description as it is.
#pragma once

#include "platform/runtime_error.h"
#include "platform/win32/win32_base.h"

#include <oaidl.h>

namespace morvane::win32 {

inline constexpr HRESULT kRpcServerUnavailable = static_cast<HRESULT>(0x800706BA);
inline constexpr HRESULT kRpcCallFailed = static_cast<HRESULT>(0x800706BE);
inline constexpr HRESULT kRpcCallFailedDne = static_cast<HRESULT>(0x800706BF);

// The run-time error for a failed call's HRESULT (see above).
RuntimeError errorFromHresult(HRESULT hr);
// The run-time error for a failed IDispatch::Invoke; frees info's strings.
RuntimeError errorFromInvoke(HRESULT hr, EXCEPINFO& info);

// Frees the strings of an EXCEPINFO that is not looked at.
void clearExcepInfo(EXCEPINFO& info);

// Whether an HRESULT says that the object on the other side is gone (its process ended, or it was
// disconnected from its clients).
bool isDisconnection(HRESULT hr);

// The HRESULT an object of ours answers a failed call with, filling info (when given) for
// DISP_E_EXCEPTION. Without info a Basic error is answered with its FACILITY_CONTROL code.
HRESULT answerError(const RuntimeError& error, EXCEPINFO* info);
// The same for the exception being handled, inside a catch block: a RuntimeError as above, running
// out of memory as error 7, anything else as E_UNEXPECTED. No C++ exception crosses a COM boundary.
HRESULT answerCurrentException(EXCEPINFO* info);

}  // namespace morvane::win32
