// VARIANTs as a Basic client reads and writes them, and failed calls as run-time errors.
#include "platform/win32/com/com_variant.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_automation.h"
#include "platform/win32/com/com_automation.h"
#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_server.h"
#include "tests/platform/error_number.h"

namespace morvane::win32 {
namespace {

using Microsoft::WRL::ComPtr;
using morvane::testing::errorOf;

// "Défaut" in code page 1252, the system code page of the test prefix.
const std::string kDefaut = "D\351faut";

class Thing : public sim::SimDispatch {
 public:
  Thing() : SimDispatch("Thing") {}
};

TEST(ComVariantTest, OurKindsGoOutAsTheirVariantTypes) {
  ASSERT_EQ(GetACP(), 1252u) << "the tests expect the Windows-1252 code page";
  struct Case {
    Variant value;
    VARTYPE type;
  };
  const Case cases[] = {
      {Variant(), VT_EMPTY},         {Variant(true), VT_BOOL},
      {Variant(int16_t{-7}), VT_I2}, {Variant(int32_t{100000}), VT_I4},
      {Variant(1.5f), VT_R4},        {Variant(2.25), VT_R8},
      {Variant(kDefaut), VT_BSTR},   {Variant(ObjectRef()), VT_DISPATCH},
  };
  for (const Case& c : cases) {
    ComVariant v;
    toVariant(c.value, *v.get());
    EXPECT_EQ(v->vt, c.type);
    EXPECT_EQ(fromVariant(*v), c.value) << "kind " << c.value.value().index();
  }

  ComVariant on, text, empty, nothing;
  toVariant(Variant(true), *on.get());
  EXPECT_EQ(on->boolVal, VARIANT_TRUE);
  toVariant(Variant(kDefaut), *text.get());
  EXPECT_EQ(std::wstring(text->bstrVal, SysStringLen(text->bstrVal)), L"D\u00e9faut");
  toVariant(Variant(""), *empty.get());
  ASSERT_NE(empty->bstrVal, nullptr);
  EXPECT_EQ(SysStringLen(empty->bstrVal), 0u);
  toVariant(Variant(ObjectRef()), *nothing.get());
  EXPECT_EQ(nothing->pdispVal, nullptr);
}

TEST(ComVariantTest, ServerTypesComeInAsABasicClientHoldsThem) {
  auto make = [](VARTYPE type, auto setter) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    setter(v);
    return v;
  };
  CY money{};
  money.int64 = 125000;  // 12.5
  struct Case {
    VARIANT in;
    Variant expected;
  };
  const Case cases[] = {
      {make(VT_NULL, [](VARIANT&) {}), Variant()},
      {make(VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; }), Variant()},
      {make(VT_I1, [](VARIANT& v) { v.cVal = -5; }), Variant(int16_t{-5})},
      {make(VT_UI1, [](VARIANT& v) { v.bVal = 200; }), Variant(int16_t{200})},
      {make(VT_UI2, [](VARIANT& v) { v.uiVal = 65535; }), Variant(int32_t{65535})},
      {make(VT_INT, [](VARIANT& v) { v.intVal = -3; }), Variant(int32_t{-3})},
      {make(VT_UI4, [](VARIANT& v) { v.ulVal = 7; }), Variant(int32_t{7})},
      {make(VT_UI4, [](VARIANT& v) { v.ulVal = 3000000000u; }), Variant(3000000000.0)},
      {make(VT_CY, [&](VARIANT& v) { v.cyVal = money; }), Variant(12.5)},
      {make(VT_DATE, [](VARIANT& v) { v.date = 45000.5; }), Variant(45000.5)},
      {make(VT_BOOL, [](VARIANT& v) { v.boolVal = 1; }), Variant(true)},
      {make(VT_BSTR, [](VARIANT& v) { v.bstrVal = nullptr; }), Variant("")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fromVariant(c.in), c.expected) << "VARTYPE " << c.in.vt;
  }

  // References are read through, a referenced VARIANT as well.
  int16_t small = 42;
  ComVariant inner;
  toVariant(Variant(kDefaut), *inner.get());
  VARIANT refSmall = make(VT_BYREF | VT_I2, [&](VARIANT& v) { v.piVal = &small; });
  VARIANT refVariant = make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { v.pvarVal = inner.get(); });
  EXPECT_EQ(fromVariant(refSmall), Variant(int16_t{42}));
  EXPECT_EQ(fromVariant(refVariant), Variant(kDefaut));

  // Arrays are nothing the port holds.
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
  VARIANT arrayValue = make(VT_ARRAY | VT_I4, [&](VARIANT& v) { v.parray = array; });
  EXPECT_EQ(errorOf([&] { fromVariant(arrayValue); }).number(), 458);
  VariantClear(&arrayValue);
}

// An object without IDispatch can be held and handed back, not called.
TEST(ComVariantTest, ObjectWithoutDispatchIsHeldNotCalled) {
  ComApartment apartment;
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  ComVariant unknown;
  unknown.get()->vt = VT_UNKNOWN;
  unknown.get()->punkVal = stream.Get();
  stream->AddRef();
  const Variant held = fromVariant(*unknown);
  ASSERT_TRUE(held.isObject());
  EXPECT_EQ(errorOf([&] { callMethod(held.get<ObjectRef>(), "Read"); }).number(), 438);
  ComVariant back;
  toVariant(held, *back.get());
  EXPECT_EQ(back->vt, VT_UNKNOWN);
  EXPECT_EQ(back->punkVal, static_cast<IUnknown*>(stream.Get()));
}

TEST(ComVariantTest, ReferencesTakeValuesInTheirOwnType) {
  int16_t small = 1;
  BSTR text = SysAllocString(L"old");
  VARIANT refSmall;
  VariantInit(&refSmall);
  refSmall.vt = VT_BYREF | VT_I2;
  refSmall.piVal = &small;
  VARIANT refText;
  VariantInit(&refText);
  refText.vt = VT_BYREF | VT_BSTR;
  refText.pbstrVal = &text;

  writeThrough(refSmall, Variant("12"));
  EXPECT_EQ(small, 12);
  writeThrough(refText, Variant(int32_t{5}));
  EXPECT_EQ(std::wstring(text), L"5");
  EXPECT_EQ(errorOf([&] { writeThrough(refSmall, Variant(int32_t{40000})); }).number(), 6);
  EXPECT_EQ(errorOf([&] { writeThrough(refSmall, Variant("abc")); }).number(), 13);
  EXPECT_EQ(small, 12);
  SysFreeString(text);

  // An object reference set to Nothing lets go of the object it held.
  ComApartment apartment;
  IDispatch* object = exposeObject(std::make_shared<Thing>()).Detach();
  VARIANT refObject;
  VariantInit(&refObject);
  refObject.vt = VT_BYREF | VT_DISPATCH;
  refObject.ppdispVal = &object;
  writeThrough(refObject, Variant(ObjectRef()));
  EXPECT_EQ(object, nullptr);
}

TEST(ComErrorsTest, HresultsBecomeTheErrorsABasicClientReports) {
  struct Case {
    HRESULT hr;
    int32_t number;
  };
  const Case cases[] = {
      {DISP_E_UNKNOWNNAME, 438},
      {DISP_E_MEMBERNOTFOUND, 438},
      {DISP_E_BADPARAMCOUNT, 450},
      {DISP_E_PARAMNOTOPTIONAL, 449},
      {DISP_E_TYPEMISMATCH, 13},
      {DISP_E_OVERFLOW, 6},
      {static_cast<HRESULT>(0x800A005B), 91},
      {kRpcServerUnavailable, 462},
      {static_cast<HRESULT>(0x80010007), 462},
      {RPC_E_DISCONNECTED, static_cast<int32_t>(RPC_E_DISCONNECTED)},
      {E_FAIL, static_cast<int32_t>(E_FAIL)},
  };
  for (const Case& c : cases) {
    const RuntimeError e = errorFromHresult(c.hr);
    EXPECT_EQ(e.number(), c.number) << std::hex << c.hr;
    if (c.number > 0) {
      EXPECT_EQ(e.description(), standardErrorDescription(c.number));
    }
  }
  EXPECT_EQ(errorFromHresult(RPC_E_DISCONNECTED).description().rfind("Automation error", 0), 0u);
  EXPECT_EQ(errorFromHresult(kRpcServerUnavailable).description(),
            "The remote server machine does not exist or is unavailable");
}

HRESULT STDMETHODCALLTYPE fillInObjectRequired(EXCEPINFO* info) {
  info->scode = static_cast<HRESULT>(0x800A01A8);  // 424
  return S_OK;
}

TEST(ComErrorsTest, ExceptionInformationGivesNumberAndDescription) {
  auto exception = [](HRESULT scode, WORD wCode, const wchar_t* text) {
    EXCEPINFO info{};
    info.scode = scode;
    info.wCode = wCode;
    info.bstrDescription = text != nullptr ? SysAllocString(text) : nullptr;
    info.bstrSource = SysAllocString(L"Probe");
    return errorFromInvoke(DISP_E_EXCEPTION, info);
  };
  const RuntimeError control = exception(static_cast<HRESULT>(0x800A0005), 0, L"Bad value");
  EXPECT_EQ(control.number(), 5);
  EXPECT_EQ(control.description(), "Bad value");
  EXPECT_EQ(exception(static_cast<HRESULT>(0x800A017C), 0, nullptr).description(),
            "Invalid property value");
  EXPECT_EQ(exception(0, 53, nullptr).number(), 53);

  const RuntimeError own = exception(E_FAIL, 0, L"Presentation: invalid request");
  EXPECT_EQ(own.number(), static_cast<int32_t>(E_FAIL));
  EXPECT_EQ(own.description(), "Presentation: invalid request");
  const RuntimeError plain = exception(E_FAIL, 0, nullptr);
  EXPECT_EQ(plain.description(), automationError(E_FAIL, systemMessage(E_FAIL)).description());

  // A server may leave the information to be filled in on demand.
  EXCEPINFO deferred{};
  deferred.pfnDeferredFillIn = fillInObjectRequired;
  EXPECT_EQ(errorFromInvoke(DISP_E_EXCEPTION, deferred).number(), 424);
}

}  // namespace
}  // namespace morvane::win32
