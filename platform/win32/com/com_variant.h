// Our Variant and COM's VARIANT, both ways, as a Basic client sees the values; and the argument
// lists of IDispatch::Invoke in both directions.
//
// Going out (toVariant):
//   Empty -> VT_EMPTY            bool -> VT_BOOL (VARIANT_TRUE / VARIANT_FALSE)
//   int16_t -> VT_I2             int32_t -> VT_I4
//   float -> VT_R4               double -> VT_R8
//   std::string -> VT_BSTR, the ANSI text read in the system's code page (CP_ACP)
//   ObjectRef -> VT_DISPATCH: a null ObjectRef is a null pointer (Nothing); an object that wraps a
//   COM object is that same IDispatch (or IUnknown); any other object of ours is exposed through
//   exposeObject, the same COM object for as long as it lives.
//
// Coming in (fromVariant), as a Basic client holding the value in a Variant uses it:
//   VT_EMPTY, VT_NULL, VT_ERROR -> Empty. The port has no Null and no Error value; a missing
//   optional argument (VT_ERROR DISP_E_PARAMNOTFOUND) is Empty as well.
//   VT_I1, VT_UI1, VT_I2 -> int16_t      VT_UI2, VT_I4, VT_INT -> int32_t
//   VT_UI4, VT_UINT, VT_I8, VT_UI8 -> int32_t when the value fits, else double
//   VT_R4 -> float    VT_R8 -> double    VT_CY, VT_DECIMAL -> double
//   VT_DATE -> double, the day number (what CDbl of the date gives)
//   VT_BOOL -> bool (any value but 0 is True)
//   VT_BSTR -> std::string in CP_ACP (a null BSTR is ""); characters the code page lacks become "?"
//   VT_DISPATCH -> ObjectRef: null is a null ObjectRef; one of our own exposed objects is its
//   original ObjectRef; any other is its ComDispatch (ComDispatch::wrap: one per COM object).
//   VT_UNKNOWN -> its IDispatch as above; without one, an object whose members all give 438
//   (and which goes back out as the same IUnknown).
//   VT_BYREF forms -> the value referred to.
//   Anything else (arrays, records, interface types the port cannot hold) -> error 458.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/automation.h"
#include "platform/win32/win32_base.h"

#include <oaidl.h>

namespace morvane::win32 {

// A VARIANT that clears itself.
class ComVariant {
 public:
  ComVariant() { VariantInit(&m_value); }
  ~ComVariant() { VariantClear(&m_value); }
  ComVariant(const ComVariant&) = delete;
  ComVariant& operator=(const ComVariant&) = delete;

  VARIANT* get() { return &m_value; }
  const VARIANT& operator*() const { return m_value; }
  const VARIANT* operator->() const { return &m_value; }
  // Hands the value over to the caller, who clears it; this one is empty afterwards.
  VARIANT release() {
    VARIANT value = m_value;
    VariantInit(&m_value);
    return value;
  }

 private:
  VARIANT m_value;
};

// ANSI text (CP_ACP) as a new BSTR the caller frees, and a BSTR as ANSI text (null is "").
BSTR toBstr(std::string_view text);
std::string fromBstr(const BSTR text);

// Writes value into out, which must be empty; the caller clears it.
void toVariant(const Variant& value, VARIANT& out);
Variant fromVariant(const VARIANT& value);
// The object behind an IDispatch, as fromVariant makes it of VT_DISPATCH.
ObjectRef objectFromDispatch(IDispatch* object);

// Stores value through a VT_BYREF VARIANT: a referenced VARIANT takes it as it is, a typed
// reference takes it converted to its type (6 when out of its range, 13 when it does not convert).
void writeThrough(const VARIANT& reference, const Variant& value);

// Arguments in call order passed by reference, as a Basic client passes its variables: VT_BYREF
// with the value's type (a referenced VARIANT for Empty), last argument first as DISPPARAMS has
// them. The callee's changes come back with writeBack.
class ByRefArguments {
 public:
  explicit ByRefArguments(const std::vector<Variant>& args);
  ~ByRefArguments();
  ByRefArguments(const ByRefArguments&) = delete;
  ByRefArguments& operator=(const ByRefArguments&) = delete;

  DISPPARAMS* params() { return &m_params; }
  // Replaces args (the list given to the constructor) by the values as the callee left them.
  void writeBack(std::vector<Variant>& args) const;
  // The value argument i (call order) refers to.
  VARIANT& value(size_t i) { return m_values.at(i); }

 private:
  std::vector<VARIANT> m_values;  // in call order: what the references point at
  std::vector<VARIANT> m_refs;    // last argument first
  DISPPARAMS m_params{};
};

// Arguments passed by value, last argument first; a property put's value goes first and is named
// DISPID_PROPERTYPUT.
class ByValueArguments {
 public:
  ByValueArguments(const std::vector<Variant>& args, bool propertyPut);
  ~ByValueArguments();
  ByValueArguments(const ByValueArguments&) = delete;
  ByValueArguments& operator=(const ByValueArguments&) = delete;

  DISPPARAMS* params() { return &m_params; }
  // Argument i, in call order.
  VARIANT& value(size_t i) { return m_values.at(m_values.size() - 1 - i); }

 private:
  std::vector<VARIANT> m_values;
  DISPID m_putId = DISPID_PROPERTYPUT;
  DISPPARAMS m_params{};
};

// The arguments of an incoming Invoke in call order, a property put's value last. Named arguments
// other than that value give 446. writeBack stores the values of by-reference arguments that the
// callee changed.
class IncomingArguments {
 public:
  IncomingArguments(const DISPPARAMS* params, bool propertyPut);

  std::vector<Variant>& values() { return m_values; }
  void writeBack() const;

 private:
  std::vector<Variant> m_values;
  std::vector<Variant> m_received;
  std::vector<const VARIANT*> m_sources;  // the VARIANT each value came from
};

}  // namespace morvane::win32
