#include "platform/win32/com/com_errors.h"

#include <new>

#include "platform/win32/com/com_variant.h"

namespace morvane::win32 {

namespace {

constexpr HRESULT kRpcServerDied = static_cast<HRESULT>(0x80010007);     // RPC_E_SERVER_DIED
constexpr HRESULT kRpcServerDiedDne = static_cast<HRESULT>(0x80010012);  // RPC_E_SERVER_DIED_DNE
constexpr int32_t kServerUnavailable = 462;

bool isControlCode(HRESULT hr) {
  return HRESULT_FACILITY(hr) == FACILITY_CONTROL && FAILED(hr);
}

int32_t controlNumber(HRESULT hr) {
  return static_cast<int32_t>(HRESULT_CODE(hr));
}

HRESULT controlCode(int32_t number) {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number));
}

bool isBasicNumber(int32_t number) {
  return number > 0 && number <= 0xFFFF;
}

}  // namespace

void clearExcepInfo(EXCEPINFO& info) {
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;
}

RuntimeError errorFromHresult(HRESULT hr) {
  switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
      return RuntimeError(err::kNotSupported);
    case DISP_E_BADPARAMCOUNT:
      return RuntimeError(err::kWrongArguments);
    case DISP_E_PARAMNOTOPTIONAL:
      return RuntimeError(449);
    case DISP_E_TYPEMISMATCH:
      return RuntimeError(err::kTypeMismatch);
    case DISP_E_OVERFLOW:
      return RuntimeError(err::kOverflow);
    case kRpcServerUnavailable:
    case kRpcServerDied:
    case kRpcServerDiedDne:
      return RuntimeError(kServerUnavailable);
    default:
      break;
  }
  if (isControlCode(hr)) return RuntimeError(controlNumber(hr));
  return automationError(hr, systemMessage(static_cast<DWORD>(hr)));
}

RuntimeError errorFromInvoke(HRESULT hr, EXCEPINFO& info) {
  if (hr != DISP_E_EXCEPTION) {
    clearExcepInfo(info);
    return errorFromHresult(hr);
  }
  if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  const std::string description = fromBstr(info.bstrDescription);
  const HRESULT scode = info.scode;
  const WORD wCode = info.wCode;
  clearExcepInfo(info);

  if (scode == 0 && wCode != 0) {
    return description.empty() ? RuntimeError(wCode) : RuntimeError(wCode, description);
  }
  if (isControlCode(scode)) {
    const int32_t number = controlNumber(scode);
    return description.empty() ? RuntimeError(number) : RuntimeError(number, description);
  }
  if (!FAILED(scode)) return automationError(DISP_E_EXCEPTION, description);
  if (description.empty()) return errorFromHresult(scode);
  return RuntimeError(scode, description);
}

bool isDisconnection(HRESULT hr) {
  switch (hr) {
    case RPC_E_DISCONNECTED:
    case CO_E_OBJNOTCONNECTED:
    case kRpcServerUnavailable:
    case kRpcCallFailed:
    case kRpcCallFailedDne:
    case kRpcServerDied:
    case kRpcServerDiedDne:
      return true;
    default:
      return false;
  }
}

HRESULT answerError(const RuntimeError& error, EXCEPINFO* info) {
  const int32_t number = error.number();
  const bool standardText = error.description() == standardErrorDescription(number);
  if (standardText && number == err::kNotSupported) return DISP_E_MEMBERNOTFOUND;
  if (standardText && number == err::kWrongArguments) return DISP_E_BADPARAMCOUNT;

  HRESULT scode = E_FAIL;
  if (isBasicNumber(number)) {
    scode = controlCode(number);
  } else if (number < 0) {
    scode = number;
  }
  if (info == nullptr) return scode;
  *info = EXCEPINFO{};
  info->scode = scode;
  info->bstrDescription = toBstr(error.description());
  return DISP_E_EXCEPTION;
}

HRESULT answerCurrentException(EXCEPINFO* info) {
  try {
    throw;
  } catch (const RuntimeError& e) {
    return answerError(e, info);
  } catch (const std::bad_alloc&) {
    return answerError(RuntimeError(err::kOutOfMemory), info);
  } catch (...) {
    return answerError(
        automationError(E_UNEXPECTED, systemMessage(static_cast<DWORD>(E_UNEXPECTED))), info);
  }
}

}  // namespace morvane::win32
