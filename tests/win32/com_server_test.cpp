// Creating objects, registering a local server's classes, and events by their position in an
// object's type information.
#include "platform/win32/com/com_server.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/sim/sim_automation.h"
#include "platform/win32/com/com_automation.h"
#include "tests/platform/error_number.h"
#include "tests/win32/com_probe.h"
#include "tests/win32/com_test_support.h"

namespace morvane::win32::testing {
namespace {

using Microsoft::WRL::ComPtr;
using morvane::testing::errorNumberOf;

constexpr CLSID kMissingClsid = {
    0x15fe7c36, 0x96a9, 0x4081, {0xbb, 0x0a, 0xcd, 0x1d, 0xe5, 0xe9, 0x46, 0xac}};
constexpr IID kTypedEventsIid = {
    0x498676ad, 0xf4ea, 0x4a09, {0x88, 0xf0, 0x2c, 0xd0, 0x3b, 0x10, 0x21, 0x78}};

class Thing : public sim::SimDispatch {
 public:
  Thing() : SimDispatch("Thing") {}
};

// An object whose events have dispatch identifiers other than their positions, as a control's do.
class Control : public sim::SimDispatch {
 public:
  Control() : SimDispatch("Control") {
    addEvent(1, -600, "Click");
    addEvent(2, 1, "IconAdd");
    addEvent(3, 7, "Blink");
  }
};

TEST(ComServerTest, RegistrationWritesBothViewsAndRemovesEveryKey) {
  const std::string server = testServerPath();
  const std::string clsid = guidText(kProbeClsid);
  const std::string keys[] = {std::string(kProbeProgId), std::string(kProbeProgId) + "\\CLSID",
                              "CLSID\\" + clsid, "CLSID\\" + clsid + "\\LocalServer32",
                              "CLSID\\" + clsid + "\\ProgID"};

  ASSERT_EQ(runProgram(server, "/regserver"), 0u);
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    EXPECT_EQ(classesValue(std::string(kProbeProgId) + "\\CLSID", view), clsid);
    EXPECT_EQ(classesValue("CLSID\\" + clsid + "\\LocalServer32", view), "\"" + server + "\"");
    EXPECT_EQ(classesValue("CLSID\\" + clsid + "\\ProgID", view), kProbeProgId);
  }

  ASSERT_EQ(runProgram(server, "/unregserver"), 0u);
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    for (const std::string& key : keys) EXPECT_EQ(classesValue(key, view), "<none>") << key;
  }
}

void CALLBACK quitWithSeven(HWND, UINT, UINT_PTR, DWORD) {
  PostQuitMessage(7);
}

// A server's last object can go on a thread that made a call for the program: its end still
// reaches the loop of the server's own thread.
TEST(ComServerTest, TheLastUnlockOnAnotherThreadEndsTheServersLoop) {
  ComApartment apartment;
  LocalServer server(true);
  server.lock();
  std::thread([&] { server.unlock(); }).join();
  // Should the end not reach this loop, the timer ends it with another code.
  const UINT_PTR timer = SetTimer(nullptr, 0, 10000, &quitWithSeven);
  EXPECT_EQ(server.run(), 0);
  KillTimer(nullptr, timer);
}

TEST(ComServerTest, ClassesThatCannotBeCreatedGive429) {
  ComApartment apartment;
  ComAutomation automation;
  EXPECT_EQ(errorNumberOf([&] { automation.createObject("MorvaneTest.NoSuchClass"); }), 429);

  const LocalServerClass missing{kMissingClsid, "MorvaneTest.Missing", "Server that is not there"};
  registerLocalServerClass(missing, "C:\\Nowhere\\missing_server.exe");
  EXPECT_EQ(errorNumberOf([&] { automation.createObject("MorvaneTest.Missing"); }), 429);
  unregisterLocalServerClass(missing);
}

TEST(ComServerTest, LocalClassesComeBeforeTheRegistry) {
  ComApartment apartment;
  ComAutomation automation;
  ObjectRef thing = std::make_shared<Thing>();
  automation.registerLocalClass("MorvaneTest.Local", [&] { return thing; });
  EXPECT_EQ(automation.createObject("morvanetest.LOCAL"), thing);
  automation.registerLocalClass("MorvaneTest.Local", [] { return ObjectRef(); });
  EXPECT_EQ(errorNumberOf([&] { automation.createObject("MorvaneTest.Local"); }), 429);
}

TEST(ComServerTest, ObjectWithoutEventsRefusesSinksWith438) {
  ComApartment apartment;
  auto plain = std::make_shared<ComDispatch>(exposeObject(std::make_shared<Thing>()));
  EXPECT_EQ(errorNumberOf([&] { plain->advise(std::make_shared<sim::RecordingSink>()); }), 438);
}

// The type information of a control: a coclass whose default source is a dispinterface with the
// Control's three events, built in memory.
ComPtr<ITypeInfo> controlClassInfo() {
  ComPtr<ICreateTypeLib2> library;
  const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  if (FAILED(CreateTypeLib2(kind, L"control.tlb", &library))) return nullptr;
  ComPtr<ITypeLib> standard;
  ComPtr<ITypeInfo> dispatch;
  if (FAILED(LoadTypeLib(L"stdole2.tlb", &standard)) ||
      FAILED(standard->GetTypeInfoOfGuid(IID_IDispatch, &dispatch))) {
    return nullptr;
  }

  ComPtr<ICreateTypeInfo> events;
  library->CreateTypeInfo(const_cast<LPOLESTR>(L"ControlEvents"), TKIND_DISPATCH, &events);
  events->SetGuid(kTypedEventsIid);
  HREFTYPE base = 0;
  events->AddRefTypeInfo(dispatch.Get(), &base);
  events->AddImplType(0, base);
  const std::pair<DISPID, const wchar_t*> functions[] = {
      {-600, L"Click"}, {1, L"IconAdd"}, {7, L"Blink"}};
  UINT index = 0;
  for (const auto& [id, name] : functions) {
    FUNCDESC desc{};
    desc.memid = id;
    desc.funckind = FUNC_DISPATCH;
    desc.invkind = INVOKE_FUNC;
    desc.callconv = CC_STDCALL;
    desc.elemdescFunc.tdesc.vt = VT_VOID;
    events->AddFuncDesc(index, &desc);
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    events->SetFuncAndParamNames(index, names, 1);
    ++index;
  }
  if (FAILED(events->LayOut())) return nullptr;

  ComPtr<ITypeInfo> eventsInfo;
  ComPtr<ICreateTypeInfo> coclass;
  events.As(&eventsInfo);
  library->CreateTypeInfo(const_cast<LPOLESTR>(L"Control"), TKIND_COCLASS, &coclass);
  HREFTYPE source = 0;
  coclass->AddRefTypeInfo(eventsInfo.Get(), &source);
  coclass->AddImplType(0, source);
  coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  if (FAILED(coclass->LayOut())) return nullptr;
  ComPtr<ITypeInfo> info;
  coclass.As(&info);
  return info;
}

// An exposed object that also tells its class through IProvideClassInfo.
class ClassInfoObject final : public ComObject<IDispatch, IProvideClassInfo> {
 public:
  ClassInfoObject(ComPtr<IDispatch> inner, ComPtr<ITypeInfo> info)
      : m_inner(std::move(inner)), m_info(std::move(info)) {}

  // The rest of the exposed object's interfaces are the inner one's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    const HRESULT hr = ComObject::QueryInterface(riid, object);
    return hr == E_NOINTERFACE ? m_inner->QueryInterface(riid, object) : hr;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return m_inner->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
    return m_inner->GetTypeInfo(i, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    return m_inner->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                   UINT* argError) override {
    return m_inner->Invoke(id, riid, lcid, flags, params, result, info, argError);
  }
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
    *info = m_info.Get();
    (*info)->AddRef();
    return S_OK;
  }

 private:
  ComPtr<IDispatch> m_inner;
  ComPtr<ITypeInfo> m_info;
};

TEST(ComServerTest, EventsArriveByTheirPositionInTheTypeInformation) {
  ComApartment apartment;
  ComPtr<ITypeInfo> info = controlClassInfo();
  ASSERT_TRUE(info) << "could not build the type information";
  auto control = std::make_shared<Control>();
  ComPtr<IDispatch> object =
      takeNew<IDispatch>(new ClassInfoObject(exposeObject(control, &kTypedEventsIid), info));
  auto client = std::make_shared<ComDispatch>(object);

  auto sink = std::make_shared<sim::RecordingSink>();
  client->advise(sink);
  control->raiseEvent(3);
  control->raiseEvent(1);
  control->raiseEvent(2);
  ASSERT_EQ(sink->positions(), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(sink->received()[0].id, 7);
  EXPECT_EQ(sink->received()[1].id, -600);
}

}  // namespace
}  // namespace morvane::win32::testing
