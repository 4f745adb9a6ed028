#include "platform/win32/com/com_variant.h"

#include <limits>

#include "platform/runtime_error.h"
#include "platform/win32/com/com_automation.h"
#include "platform/win32/com/com_server.h"

namespace morvane::win32 {

namespace {

// An object that has no IDispatch: a Basic client may hold it and hand it on, but not call it.
class UnknownObject : public Dispatch {
 public:
  explicit UnknownObject(Microsoft::WRL::ComPtr<IUnknown> object) : m_object(std::move(object)) {}
  IUnknown* get() const { return m_object.Get(); }
  DispId idOfName(std::string_view) override { throw RuntimeError(err::kNotSupported); }
  Variant invoke(DispId, InvokeKind, std::vector<Variant>&) override {
    throw RuntimeError(err::kNotSupported);
  }

 private:
  Microsoft::WRL::ComPtr<IUnknown> m_object;
};

RuntimeError unsupportedType() {
  return RuntimeError(458, "Variable uses an Automation type not supported in Visual Basic");
}

template <class Integer>
Variant fromWideInteger(Integer value) {
  if (value >= static_cast<Integer>(std::numeric_limits<int32_t>::min()) &&
      value <= static_cast<Integer>(std::numeric_limits<int32_t>::max())) {
    return Variant(static_cast<int32_t>(value));
  }
  return Variant(static_cast<double>(value));
}

// Unsigned values compare without a negative lower bound.
template <class Unsigned>
Variant fromUnsigned(Unsigned value) {
  if (value <= static_cast<Unsigned>(std::numeric_limits<int32_t>::max())) {
    return Variant(static_cast<int32_t>(value));
  }
  return Variant(static_cast<double>(value));
}

ObjectRef objectFromUnknown(IUnknown* object) {
  if (object == nullptr) return {};
  Microsoft::WRL::ComPtr<IDispatch> dispatch;
  if (SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&dispatch)))) {
    return objectFromDispatch(dispatch.Get());
  }
  return std::make_shared<UnknownObject>(Microsoft::WRL::ComPtr<IUnknown>(object));
}

void objectToVariant(const ObjectRef& object, VARIANT& out) {
  out.vt = VT_DISPATCH;
  out.pdispVal = nullptr;
  if (!object) return;
  if (auto* com = dynamic_cast<ComDispatch*>(object.get())) {
    out.pdispVal = com->get();
    out.pdispVal->AddRef();
  } else if (auto* unknown = dynamic_cast<UnknownObject*>(object.get())) {
    out.vt = VT_UNKNOWN;
    out.punkVal = unknown->get();
    out.punkVal->AddRef();
  } else {
    out.pdispVal = exposeObject(object).Detach();
  }
}

}  // namespace

ObjectRef objectFromDispatch(IDispatch* object) {
  if (object == nullptr) return {};
  if (ObjectRef own = exposedObject(object)) return own;
  return ComDispatch::wrap(Microsoft::WRL::ComPtr<IDispatch>(object));
}

BSTR toBstr(std::string_view text) {
  const std::wstring wide = toWide(text);
  BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (result == nullptr) throw RuntimeError(err::kOutOfMemory);
  return result;
}

std::string fromBstr(const BSTR text) {
  if (text == nullptr) return {};
  return toAnsi(std::wstring_view(text, SysStringLen(text)));
}

void toVariant(const Variant& value, VARIANT& out) {
  struct Visitor {
    VARIANT& out;
    void operator()(Empty) const { out.vt = VT_EMPTY; }
    void operator()(bool v) const {
      out.vt = VT_BOOL;
      out.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    }
    void operator()(int16_t v) const {
      out.vt = VT_I2;
      out.iVal = v;
    }
    void operator()(int32_t v) const {
      out.vt = VT_I4;
      out.lVal = v;
    }
    void operator()(float v) const {
      out.vt = VT_R4;
      out.fltVal = v;
    }
    void operator()(double v) const {
      out.vt = VT_R8;
      out.dblVal = v;
    }
    void operator()(const std::string& v) const {
      out.bstrVal = toBstr(v);
      out.vt = VT_BSTR;
    }
    void operator()(const ObjectRef& v) const { objectToVariant(v, out); }
  };
  std::visit(Visitor{out}, value.value());
}

Variant fromVariant(const VARIANT& value) {
  if ((value.vt & VT_BYREF) != 0) {
    ComVariant copy;
    if (FAILED(VariantCopyInd(copy.get(), const_cast<VARIANT*>(&value)))) throw unsupportedType();
    return fromVariant(*copy);
  }
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_ERROR:
      return {};
    case VT_I1:
      return Variant(static_cast<int16_t>(static_cast<signed char>(value.cVal)));
    case VT_UI1:
      return Variant(static_cast<int16_t>(value.bVal));
    case VT_I2:
      return Variant(static_cast<int16_t>(value.iVal));
    case VT_UI2:
      return Variant(static_cast<int32_t>(value.uiVal));
    case VT_I4:
      return Variant(static_cast<int32_t>(value.lVal));
    case VT_INT:
      return Variant(static_cast<int32_t>(value.intVal));
    case VT_UI4:
      return fromUnsigned(value.ulVal);
    case VT_UINT:
      return fromUnsigned(value.uintVal);
    case VT_I8:
      return fromWideInteger(value.llVal);
    case VT_UI8:
      return fromUnsigned(value.ullVal);
    case VT_R4:
      return Variant(value.fltVal);
    case VT_R8:
      return Variant(value.dblVal);
    case VT_DATE:
      return Variant(static_cast<double>(value.date));
    case VT_CY: {
      double d = 0;
      VarR8FromCy(value.cyVal, &d);
      return Variant(d);
    }
    case VT_DECIMAL: {
      double d = 0;
      DECIMAL decimal = value.decVal;
      if (FAILED(VarR8FromDec(&decimal, &d))) throw RuntimeError(err::kOverflow);
      return Variant(d);
    }
    case VT_BOOL:
      return Variant(value.boolVal != VARIANT_FALSE);
    case VT_BSTR:
      return Variant(fromBstr(value.bstrVal));
    case VT_DISPATCH:
      return Variant(objectFromDispatch(value.pdispVal));
    case VT_UNKNOWN:
      return Variant(objectFromUnknown(value.punkVal));
    default:
      throw unsupportedType();
  }
}

void writeThrough(const VARIANT& reference, const Variant& value) {
  if ((reference.vt & VT_BYREF) == 0) return;
  const VARTYPE type = reference.vt & ~VT_BYREF;
  ComVariant converted;
  toVariant(value, *converted.get());
  if (type == VT_VARIANT) {
    VariantClear(reference.pvarVal);
    *reference.pvarVal = converted.release();
    return;
  }
  const HRESULT changed = VariantChangeType(converted.get(), converted.get(), 0, type);
  if (FAILED(changed)) {
    throw RuntimeError(changed == DISP_E_OVERFLOW ? err::kOverflow : err::kTypeMismatch);
  }
  VARIANT v = converted.release();
  switch (type) {
    case VT_I1:
      *reference.pcVal = v.cVal;
      return;
    case VT_UI1:
      *reference.pbVal = v.bVal;
      return;
    case VT_I2:
      *reference.piVal = v.iVal;
      return;
    case VT_UI2:
      *reference.puiVal = v.uiVal;
      return;
    case VT_I4:
      *reference.plVal = v.lVal;
      return;
    case VT_UI4:
      *reference.pulVal = v.ulVal;
      return;
    case VT_INT:
      *reference.pintVal = v.intVal;
      return;
    case VT_UINT:
      *reference.puintVal = v.uintVal;
      return;
    case VT_I8:
      *reference.pllVal = v.llVal;
      return;
    case VT_UI8:
      *reference.pullVal = v.ullVal;
      return;
    case VT_R4:
      *reference.pfltVal = v.fltVal;
      return;
    case VT_R8:
      *reference.pdblVal = v.dblVal;
      return;
    case VT_DATE:
      *reference.pdate = v.date;
      return;
    case VT_CY:
      *reference.pcyVal = v.cyVal;
      return;
    case VT_DECIMAL:
      *reference.pdecVal = v.decVal;
      return;
    case VT_BOOL:
      *reference.pboolVal = v.boolVal;
      return;
    case VT_BSTR:
      SysFreeString(*reference.pbstrVal);
      *reference.pbstrVal = v.bstrVal;
      return;
    case VT_DISPATCH:
      if (*reference.ppdispVal != nullptr) (*reference.ppdispVal)->Release();
      *reference.ppdispVal = v.pdispVal;
      return;
    case VT_UNKNOWN:
      if (*reference.ppunkVal != nullptr) (*reference.ppunkVal)->Release();
      *reference.ppunkVal = v.punkVal;
      return;
    default:
      VariantClear(&v);
      throw RuntimeError(err::kTypeMismatch);
  }
}

// --- ByRefArguments ---

ByRefArguments::ByRefArguments(const std::vector<Variant>& args)
    : m_values(args.size()), m_refs(args.size()) {
  const size_t n = args.size();
  for (VARIANT& v : m_values) VariantInit(&v);
  try {
    for (size_t i = 0; i < n; ++i) {
      VARIANT& value = m_values[i];
      toVariant(args[i], value);
      VARIANT& ref = m_refs[n - 1 - i];
      VariantInit(&ref);
      if (value.vt == VT_EMPTY) {
        ref.vt = VT_BYREF | VT_VARIANT;
        ref.pvarVal = &value;
      } else {
        // Every member of the value union but DECIMAL starts at the same place.
        ref.vt = VT_BYREF | value.vt;
        ref.byref = &value.lVal;
      }
    }
  } catch (...) {
    for (VARIANT& v : m_values) VariantClear(&v);
    throw;
  }
  m_params.rgvarg = m_refs.data();
  m_params.cArgs = static_cast<UINT>(n);
}

ByRefArguments::~ByRefArguments() {
  for (VARIANT& v : m_values) VariantClear(&v);
}

void ByRefArguments::writeBack(std::vector<Variant>& args) const {
  for (size_t i = 0; i < m_values.size() && i < args.size(); ++i) {
    args[i] = fromVariant(m_values[i]);
  }
}

// --- ByValueArguments ---

ByValueArguments::ByValueArguments(const std::vector<Variant>& args, bool propertyPut)
    : m_values(args.size()) {
  const size_t n = args.size();
  for (VARIANT& v : m_values) VariantInit(&v);
  try {
    for (size_t i = 0; i < n; ++i) toVariant(args[i], m_values[n - 1 - i]);
  } catch (...) {
    for (VARIANT& v : m_values) VariantClear(&v);
    throw;
  }
  m_params.rgvarg = m_values.data();
  m_params.cArgs = static_cast<UINT>(n);
  if (propertyPut && n > 0) {
    m_params.rgdispidNamedArgs = &m_putId;
    m_params.cNamedArgs = 1;
  }
}

ByValueArguments::~ByValueArguments() {
  for (VARIANT& v : m_values) VariantClear(&v);
}

// --- IncomingArguments ---

IncomingArguments::IncomingArguments(const DISPPARAMS* params, bool propertyPut) {
  if (params == nullptr || params->cArgs == 0) return;
  const UINT named = params->cNamedArgs;
  const bool putValueNamed =
      propertyPut && named == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
  if (named != 0 && !putValueNamed) {
    throw RuntimeError(446, "Object doesn't support named arguments");
  }
  // Positional arguments come last first; a property put's named value is rgvarg[0], which the
  // reversal puts last as well.
  for (UINT k = params->cArgs; k-- > named;) m_sources.push_back(&params->rgvarg[k]);
  if (named == 1) m_sources.push_back(&params->rgvarg[0]);
  for (const VARIANT* source : m_sources) m_values.push_back(fromVariant(*source));
  m_received = m_values;
}

void IncomingArguments::writeBack() const {
  for (size_t i = 0; i < m_sources.size(); ++i) {
    if ((m_sources[i]->vt & VT_BYREF) != 0 && !(m_values[i] == m_received[i])) {
      writeThrough(*m_sources[i], m_values[i]);
    }
  }
}

}  // namespace morvane::win32
