// Nubrix.dll as a COM server: what regsvr32 enters into the registry and removes again, the type
// library it carries read back against the control's own tables, and when it may be unloaded.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/sim/sim_automation.h"
#include "tests/win32/support/fake_notification_area.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/wait.h"
#include "trayicon/nubrix_members.h"

// The Win32 side last: windows.h defines macros named like the ports' constants.
#include "platform/win32/com/com_automation.h"
#include "platform/win32/com/com_variant.h"
#include "tests/win32/com_test_support.h"
#include "tests/win32/nubrix_test_support.h"

namespace morvane::win32::testing {
namespace {

using Microsoft::WRL::ComPtr;
using nubrix::MemberKind;
using nubrix::ValueType;

// regsvr32 of one bitness, as a process of this bitness starts it.
std::string regsvr32(bool sixtyFour) {
  wchar_t folder[MAX_PATH] = {};
  if (sixtyFour == (sizeof(void*) == 8)) {
    GetSystemDirectoryW(folder, MAX_PATH);
    return toAnsi(folder) + "\\regsvr32.exe";
  }
  if (sixtyFour) {  // from a 32-bit process, past the redirection of system32
    GetWindowsDirectoryW(folder, MAX_PATH);
    return toAnsi(folder) + "\\Sysnative\\regsvr32.exe";
  }
  GetSystemWow64DirectoryW(folder, MAX_PATH);
  return toAnsi(folder) + "\\regsvr32.exe";
}

TEST(NubrixDll, Regsvr32EntersTheClassInTheDllsOwnViewAndRemovesEverythingAgain) {
  const std::string clsid = "CLSID\\" + guidText(CLSID_Nubrix);
  const std::string libid = guidText(LIBID_NubrixControl);
  const std::string typeLib = "TypeLib\\" + libid;
  const std::string interfaces[] = {"Interface\\" + guidText(DIID__Nubrix),
                                    "Interface\\" + guidText(DIID___Nubrix)};
  int registered = 0;
  for (const bool other : {false, true}) {
    const std::string dll = nubrixDllPath(other);
    if (dll.empty()) continue;  // the other bitness is not built
    if (other && !otherBitnessCannotRun().empty()) {
      // The half of this bitness has run; the skip says the other half did not.
      ASSERT_EQ(registered, 1);
      GTEST_SKIP() << "regsvr32 of the other bitness: " << otherBitnessCannotRun();
    }
    SCOPED_TRACE(dll);
    const bool sixtyFour = (sizeof(void*) == 8) != other;
    const REGSAM view = sixtyFour ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const REGSAM otherView = sixtyFour ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    ASSERT_EQ(runProgram(regsvr32(sixtyFour), "/s " + wintest::quotedPath(dll)), 0u);
    ++registered;

    const std::tuple<std::string, std::string, std::string> expected[] = {
        {clsid, "", "Nubrix Control"},
        {clsid + "\\InprocServer32", "", dll},
        {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid + "\\ProgID", "", "NubrixControl.Nubrix"},
        {clsid + "\\Control", "", ""},
        {clsid + "\\TypeLib", "", libid},
        {clsid + "\\Version", "", "1.1"},
        {clsid + "\\MiscStatus", "", "0"},
        {clsid + "\\MiscStatus\\1", "",
         std::to_string(OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST |
                        OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE)},
        {"NubrixControl.Nubrix", "", "Nubrix Control"},
        {"NubrixControl.Nubrix\\CLSID", "", guidText(CLSID_Nubrix)},
        {typeLib + "\\1.1", "", "Olund Nubrix Control"},
        {typeLib + "\\1.1\\0\\" + (sixtyFour ? "win64" : "win32"), "", dll},
        {interfaces[0] + "\\TypeLib", "", libid},
        {interfaces[1] + "\\TypeLib", "", libid},
    };
    for (const auto& [key, name, value] : expected) {
      // A ProgID is one key for both bitnesses (Windows 7 on; Wine keeps it in the 64-bit view).
      const bool shared = key.rfind("NubrixControl.Nubrix", 0) == 0;
      EXPECT_EQ(classesValue(key, shared ? KEY_WOW64_64KEY : view, name), value) << key << name;
    }
    EXPECT_EQ(classesValue(clsid, otherView), "<none>") << "classes are per bitness";

    ASSERT_EQ(runProgram(regsvr32(sixtyFour), "/s /u " + wintest::quotedPath(dll)), 0u);
    for (const REGSAM v : {view, otherView}) {
      for (const std::string& key :
           {clsid, std::string("NubrixControl.Nubrix"), typeLib, interfaces[0], interfaces[1]})
        EXPECT_EQ(classesValue(key, v), "<none>") << key;
    }
  }
  EXPECT_GE(registered, 1);
}

std::string text(BSTR value) {
  std::string result = fromBstr(value);
  SysFreeString(value);
  return result;
}

// Name and help string of a member (or of the type itself for MEMBERID_NIL).
std::pair<std::string, std::string> documentation(ITypeInfo* info, MEMBERID id) {
  BSTR name = nullptr;
  BSTR help = nullptr;
  info->GetDocumentation(id, &name, &help, nullptr, nullptr);
  return {text(name), text(help)};
}

// What a member's type looks like in the library: "IPictureDisp*", "BSTR", "long", ...
std::string typeName(ITypeInfo* info, const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR:
      return typeName(info, *type.lptdesc) + "*";
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> referenced;
      if (FAILED(info->GetRefTypeInfo(type.hreftype, &referenced))) return "?";
      return documentation(referenced.Get(), MEMBERID_NIL).first;
    }
    case VT_VOID:
      return "void";
    case VT_BSTR:
      return "BSTR";
    case VT_I4:
      return "long";
    case VT_I2:
      return "short";
    case VT_BOOL:
      return "VARIANT_BOOL";
    case VT_VARIANT:
      return "VARIANT";
    default:
      return "vt " + std::to_string(type.vt);
  }
}

std::string typeOf(ValueType type) {
  switch (type) {
    case ValueType::Picture:
      return "IPictureDisp*";
    case ValueType::Text:
      return "BSTR";
    case ValueType::Long:
      return "long";
    case ValueType::Boolean:
      return "VARIANT_BOOL";
    case ValueType::VariantText:
      return "VARIANT";
    case ValueType::None:
      break;
  }
  return "void";
}

struct Function {
  std::string name;
  MEMBERID id;
  INVOKEKIND kind;
  std::string help;
  bool hidden;
  std::string type;                     // the result, or for a put the value's type
  std::vector<std::string> parameters;  // name and type of each: "Button short*"

  friend bool operator==(const Function&, const Function&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Function& f) {
    os << f.name << " " << f.id << " kind " << f.kind << " \"" << f.help << "\" "
       << (f.hidden ? "hidden " : "") << f.type;
    for (const auto& p : f.parameters) os << " (" << p << ")";
    return os;
  }
};

std::vector<Function> functionsOf(ITypeInfo* info) {
  std::vector<Function> functions;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return functions;
  const WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (WORD i = 0; i < count; ++i) {
    FUNCDESC* desc = nullptr;
    info->GetFuncDesc(i, &desc);
    BSTR names[4] = {};
    UINT named = 0;
    info->GetNames(desc->memid, names, 4, &named);
    Function f{text(names[0]),
               desc->memid,
               desc->invkind,
               documentation(info, desc->memid).second,
               (desc->wFuncFlags & FUNCFLAG_FHIDDEN) != 0,
               typeName(info, desc->elemdescFunc.tdesc),
               {}};
    const bool put = desc->invkind == INVOKE_PROPERTYPUT || desc->invkind == INVOKE_PROPERTYPUTREF;
    for (SHORT p = 0; p < desc->cParams; ++p) {
      const ELEMDESC& param = desc->lprgelemdescParam[p];
      const std::string type = typeName(info, param.tdesc);
      if (put) {
        f.type = type;
        continue;
      }
      std::string flags;
      if (param.paramdesc.wParamFlags & PARAMFLAG_FIN) flags += " in";
      if (param.paramdesc.wParamFlags & PARAMFLAG_FOUT) flags += " out";
      f.parameters.push_back(text(static_cast<UINT>(p) + 1 < named ? names[p + 1] : nullptr) + " " +
                             type + flags);
    }
    for (UINT n = 1; n < named; ++n) SysFreeString(names[n]);
    info->ReleaseFuncDesc(desc);
    functions.push_back(std::move(f));
  }
  return functions;
}

struct TypeFacts {
  TYPEKIND kind;
  WORD flags;
  std::vector<std::pair<std::string, int>> implemented;  // name and IMPLTYPEFLAGS
};

TypeFacts factsOf(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  TypeFacts facts{attr->typekind, attr->wTypeFlags, {}};
  const WORD count = attr->cImplTypes;
  info->ReleaseTypeAttr(attr);
  if (facts.kind != TKIND_COCLASS) return facts;
  for (UINT i = 0; i < count; ++i) {
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> implemented;
    INT flags = 0;
    info->GetRefTypeOfImplType(i, &reference);
    info->GetRefTypeInfo(reference, &implemented);
    info->GetImplTypeFlags(i, &flags);
    facts.implemented.emplace_back(documentation(implemented.Get(), MEMBERID_NIL).first, flags);
  }
  return facts;
}

TEST(NubrixDll, TypeLibraryAndVersionDescribeTheControlAsItsTablesDo) {
  const std::wstring dll = toWide(nubrixDllPath());
  ComPtr<ITypeLib> library;
  ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(dll.c_str(), REGKIND_NONE, &library));
  BSTR name = nullptr;
  BSTR description = nullptr;
  library->GetDocumentation(-1, &name, &description, nullptr, nullptr);
  EXPECT_EQ(text(name), nubrix::kLibraryName);
  EXPECT_EQ(text(description), nubrix::kLibraryDescription);
  TLIBATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(library->GetLibAttr(&attr));
  EXPECT_EQ(attr->guid, LIBID_NubrixControl);
  EXPECT_EQ(attr->wMajorVerNum, nubrix::kVersionMajor);
  EXPECT_EQ(attr->wMinorVerNum, nubrix::kVersionMinor);
  library->ReleaseTLibAttr(attr);

  ComPtr<ITypeInfo> members;
  ComPtr<ITypeInfo> events;
  ComPtr<ITypeInfo> coclass;
  ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(DIID__Nubrix, &members));
  ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(DIID___Nubrix, &events));
  ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(CLSID_Nubrix, &coclass));
  EXPECT_EQ(documentation(members.Get(), MEMBERID_NIL).first, nubrix::kInterfaceName);
  EXPECT_EQ(documentation(events.Get(), MEMBERID_NIL).first, nubrix::kEventInterfaceName);
  EXPECT_EQ(documentation(coclass.Get(), MEMBERID_NIL).first, "Nubrix");

  std::vector<Function> expected;
  for (const auto& m : nubrix::kMembers) {
    const auto add = [&](INVOKEKIND kind) {
      expected.push_back(
          {std::string(m.name), m.id, kind, std::string(m.help), m.hidden, typeOf(m.type), {}});
    };
    if (m.kind == MemberKind::Method || m.kind == MemberKind::Function) {
      add(INVOKE_FUNC);
      continue;
    }
    add(INVOKE_PROPERTYGET);
    if (m.kind == MemberKind::PropertyGetSet) add(INVOKE_PROPERTYPUTREF);
    if (m.kind == MemberKind::PropertyGetLet) add(INVOKE_PROPERTYPUT);
  }
  EXPECT_EQ(functionsOf(members.Get()), expected);

  expected.clear();
  for (const auto& e : nubrix::kEvents) {
    std::vector<std::string> parameters;
    if (!e.argument.empty()) parameters.push_back(std::string(e.argument) + " short* in out");
    expected.push_back(
        {std::string(e.name), e.id, INVOKE_FUNC, std::string(e.help), false, "void", parameters});
  }
  EXPECT_EQ(functionsOf(events.Get()), expected);

  const TypeFacts facts = factsOf(coclass.Get());
  EXPECT_EQ(facts.kind, TKIND_COCLASS);
  EXPECT_EQ(facts.flags & (TYPEFLAG_FCONTROL | TYPEFLAG_FCANCREATE),
            TYPEFLAG_FCONTROL | TYPEFLAG_FCANCREATE);
  const std::vector<std::pair<std::string, int>> implemented = {
      {std::string(nubrix::kInterfaceName), IMPLTYPEFLAG_FDEFAULT},
      {std::string(nubrix::kEventInterfaceName), IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  EXPECT_EQ(facts.implemented, implemented);
  EXPECT_EQ(factsOf(members.Get()).kind, TKIND_DISPATCH);
  EXPECT_TRUE(factsOf(members.Get()).flags & TYPEFLAG_FHIDDEN);
  EXPECT_EQ(factsOf(events.Get()).kind, TKIND_DISPATCH);

  // The file's version is the project's, 1.1.0.0.
  DWORD ignored = 0;
  std::vector<char> version(GetFileVersionInfoSizeW(dll.c_str(), &ignored));
  ASSERT_FALSE(version.empty());
  ASSERT_TRUE(
      GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  wchar_t* fileVersion = nullptr;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904E4\\FileVersion",
                             reinterpret_cast<void**>(&fileVersion), &size));
  EXPECT_EQ(toAnsi(fileVersion), "1.1.0.0");
}

using DllCanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();
using DllGetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// The DLL's class registered, and the entry points of the copy COM loaded.
class NubrixUnloadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisteredNubrix::registerClass(); }
  static void TearDownTestSuite() { RegisteredNubrix::unregisterClass(); }

  bool loaded() const { return GetModuleHandleW(L"Nubrix.dll") != nullptr; }
  void findEntries() {
    const HMODULE dll = GetModuleHandleW(L"Nubrix.dll");
    ASSERT_NE(dll, nullptr);
    canUnloadNow = reinterpret_cast<DllCanUnloadNowFunction>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    getClassObject = reinterpret_cast<DllGetClassObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_TRUE(canUnloadNow != nullptr && getClassObject != nullptr);
  }

  ComApartment apartment;
  DllCanUnloadNowFunction canUnloadNow = nullptr;
  DllGetClassObjectFunction getClassObject = nullptr;
};

TEST_F(NubrixUnloadTest, StaysWhileAControlAFactoryOrALockIsLeftAndGoesAfter) {
  ComPtr<IDispatch> control = createNubrixByProgId();
  ASSERT_TRUE(control);
  findEntries();
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(getClassObject(LIBID_NubrixControl, IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_HRESULT_SUCCEEDED(getClassObject(CLSID_Nubrix, IID_PPV_ARGS(&factory)));
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a control";
  control.Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a factory";
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a lock";
  ASSERT_HRESULT_SUCCEEDED(getClassObject(CLSID_Nubrix, IID_PPV_ARGS(&factory)));
  factory->LockServer(FALSE);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(loaded());
}

TEST_F(NubrixUnloadTest, AControlLetGoInItsOwnClickTakesItsIconAlongAndLetsTheDllGo) {
  wintest::FakeNotificationArea area;
  ASSERT_TRUE(area.ready());
  auto control = std::make_shared<ComDispatch>(createNubrixByProgId());
  findEntries();
  const auto hwnd = static_cast<Hwnd>(getProperty(control, "hWnd").get<int32_t>());
  putProperty(control, "ToolTipIcon1", "Morvane in Stealth Mode. Click to open.");
  callMethod(control, "AddIcon");
  ASSERT_EQ(area.icons().size(), 1u);

  // The switcher's hand-over, short of RemoveIcon: on the first Click it lets the control go.
  auto sink = std::make_shared<sim::RecordingSink>();
  control->advise(sink);
  sink->onReceive = [&](const sim::RecordingSink::Received& r) {
    if (r.position == nubrix::event::kClick) control.reset();
  };
  EXPECT_TRUE(area.click(hwnd, 100));
  EXPECT_FALSE(control);
  EXPECT_TRUE(area.icons().empty()) << "the icon goes with the control";
  EXPECT_TRUE(wintest::waitUntil([&] { return !IsWindow(toHwnd(hwnd)); }));
  EXPECT_EQ(canUnloadNow(), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(loaded());
}

}  // namespace
}  // namespace morvane::win32::testing
