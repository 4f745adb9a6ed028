// The icon control of Nubrix.dll as a container meets it: IDispatch through its type information,
// its icon in the notification area and its events, its saved state in the container's property
// bag, and its site's ambient user mode.
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/error_trap.h"
#include "platform/sim/sim_automation.h"
#include "tests/platform/error_number.h"
#include "tests/win32/support/fake_notification_area.h"
#include "tests/win32/support/message_box_answerer.h"
#include "tests/win32/support/processes.h"
#include "trayicon/Nubrix.h"
#include "trayicon/nubrix_members.h"

// The Win32 side last: windows.h defines macros named like the ports' constants.
#include "platform/win32/com/com_automation.h"
#include "platform/win32/com/com_variant.h"
#include "platform/win32/win32_host.h"
#include "tests/win32/com_test_support.h"
#include "tests/win32/nubrix_test_support.h"

#include <olectl.h>

namespace morvane::win32::testing {
namespace {

using Microsoft::WRL::ComPtr;
using morvane::testing::errorNumberOf;
namespace d = nubrix::dispid;

class NubrixControlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisteredNubrix::registerClass(); }
  static void TearDownTestSuite() { RegisteredNubrix::unregisterClass(); }

  void SetUp() override {
    ASSERT_TRUE(area.ready());
    control = createNubrixByProgId();
    ASSERT_TRUE(control) << "the class is not registered";
    client = std::make_shared<ComDispatch>(control);
  }

  // IDispatch::Invoke with one argument, as a client that gives the value as it has it.
  HRESULT put(DISPID id, WORD flags, VARIANT value, UINT* argError = nullptr) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    UINT ignored = 0;
    const HRESULT hr = control->Invoke(id, IID_NULL, 0, flags, &params, nullptr, nullptr,
                                       argError != nullptr ? argError : &ignored);
    VariantClear(&value);
    return hr;
  }
  Hwnd hwnd() { return static_cast<Hwnd>(getPropertyById(client, d::kHWnd).get<int32_t>()); }

  ComApartment apartment;
  wintest::FakeNotificationArea area;
  ComPtr<IDispatch> control;
  std::shared_ptr<ComDispatch> client;
};

VARIANT text(const wchar_t* value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(value);
  return v;
}

VARIANT number(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

ObjectRef object(const ComPtr<IDispatch>& dispatch) {
  return objectFromDispatch(dispatch.Get());
}

bool sameObject(const Variant& value, const ComPtr<IDispatch>& expected) {
  const auto* com =
      value.isObject() ? dynamic_cast<ComDispatch*>(value.get<ObjectRef>().get()) : nullptr;
  ComPtr<IUnknown> a;
  ComPtr<IUnknown> b;
  return com != nullptr && SUCCEEDED(com->get()->QueryInterface(IID_PPV_ARGS(&a))) &&
         SUCCEEDED(expected.As(&b)) && a == b;
}

TEST_F(NubrixControlTest, DispatchGoesThroughTheTypeInformationAndConvertsWhatIsGiven) {
  UINT count = 0;
  ComPtr<ITypeInfo> info;
  ASSERT_HRESULT_SUCCEEDED(control->GetTypeInfoCount(&count));
  EXPECT_EQ(count, 1u);
  ASSERT_HRESULT_SUCCEEDED(control->GetTypeInfo(0, 0, &info));
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(fromBstr(name), "_Nubrix");
  SysFreeString(name);
  const wchar_t* names[] = {L"tooltipicon1", L"Blink"};
  DISPID id = 0;
  EXPECT_EQ(control->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[0]), 1, 0, &id), S_OK);
  EXPECT_EQ(id, d::kToolTipIcon1);
  EXPECT_EQ(control->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[1]), 1, 0, &id),
            DISP_E_UNKNOWNNAME);

  // Values convert to the declared types; what does not convert is a type mismatch.
  EXPECT_EQ(put(d::kInterval, DISPATCH_PROPERTYPUT, text(L"250")), S_OK);
  EXPECT_EQ(getPropertyById(client, d::kInterval), Variant(int32_t{250}));
  EXPECT_EQ(put(d::kToolTipIcon2, DISPATCH_PROPERTYPUT, number(42)), S_OK);
  EXPECT_EQ(getPropertyById(client, d::kToolTipIcon2), Variant("42"));
  UINT argError = 99;
  EXPECT_EQ(put(d::kInterval, DISPATCH_PROPERTYPUT, text(L"soon"), &argError), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 0u);
  EXPECT_EQ(put(d::kIconAnimation, DISPATCH_PROPERTYPUT, text(L"maybe")), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(put(d::kIcon1, DISPATCH_PROPERTYPUTREF, text(L"picture")), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(errorNumberOf([&] { putPropertyById(client, d::kInterval, int32_t{-5}); }), 380);
  EXPECT_EQ(errorNumberOf([&] { putPropertyById(client, d::kHWnd, int32_t{1}); }), 438);
  EXPECT_EQ(getPropertyById(client, d::kInterval), Variant(int32_t{250}));

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  EXPECT_EQ(callMethod(client, "OsVersion"), Variant(std::to_string(version.dwMajorVersion) + "." +
                                                     std::to_string(version.dwMinorVersion)));

  ComPtr<IProvideClassInfo2> classInfo;
  ASSERT_HRESULT_SUCCEEDED(control.As(&classInfo));
  GUID source{};
  EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_EQ(source, DIID___Nubrix);

  // The control's window is of the DLL's own class.
  char className[64] = {};
  GetClassNameA(toHwnd(hwnd()), className, sizeof className);
  EXPECT_EQ(std::string(className), Nubrix::kWindowClass);
  EXPECT_EQ(reinterpret_cast<HMODULE>(GetClassLongPtrW(toHwnd(hwnd()), GCLP_HMODULE)),
            GetModuleHandleW(L"Nubrix.dll"));
}

TEST_F(NubrixControlTest, ShowsARealIconAndTellsEverySinkOfTheShellsNotifications) {
  const ComPtr<IDispatch> icon = iconPicture();
  ASSERT_TRUE(icon);
  std::vector<Variant> args{Variant(object(icon))};
  client->invoke(d::kIcon1, InvokeKind::PropertyPutRef, args);
  EXPECT_TRUE(sameObject(getPropertyById(client, d::kIcon1), icon)) << "the very picture";
  args = {Variant(object(bitmapPicture()))};
  EXPECT_EQ(errorNumberOf([&] { client->invoke(d::kIcon2, InvokeKind::PropertyPutRef, args); }),
            380)
      << "icons only";
  const std::string tip70 = std::string(60, 'x') + "0123456789";
  putProperty(client, "ToolTipIcon1", tip70);
  callMethod(client, "AddIcon");
  callMethod(client, "AddIcon");
  ASSERT_EQ(area.notifications().size(), 2u);
  const auto& added = area.notifications()[0];
  EXPECT_EQ(added.message, static_cast<uint32_t>(NIM_ADD));
  EXPECT_EQ(added.window, hwnd());
  EXPECT_EQ(added.flags, static_cast<uint32_t>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(added.tip, tip70.substr(0, 63));
  EXPECT_TRUE(added.hasImage);
  EXPECT_TRUE(added.accepted);
  EXPECT_FALSE(area.notifications()[1].accepted) << "the control sends; the shell refuses";

  // Sinks in the order they connect: one that fails, one that leaves at its first event, two
  // that listen.
  auto failing = std::make_shared<sim::RecordingSink>();
  failing->onReceive = [](const auto&) { throw RuntimeError(err::kTypeMismatch); };
  auto leaving = std::make_shared<sim::RecordingSink>();
  uint32_t leavingCookie = 0;
  leaving->onReceive = [&](const auto&) { client->unadvise(leavingCookie); };
  auto first = std::make_shared<sim::RecordingSink>();
  auto second = std::make_shared<sim::RecordingSink>();
  client->advise(failing);
  leavingCookie = client->advise(leaving);
  client->advise(first);
  client->advise(second);

  ASSERT_TRUE(area.doubleClick(hwnd(), 100));
  for (const uint32_t message : {WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONUP})
    ASSERT_TRUE(area.notify(hwnd(), 100, message));
  // Down, up, double-click, up; then the right button's up and double-click, the middle's up.
  using E = std::pair<int, Variant>;
  const std::vector<E> expected = {
      {nubrix::event::kMouseOver, {}},        {nubrix::event::kClick, int16_t{1}},
      {nubrix::event::kDblClick, int16_t{1}}, {nubrix::event::kClick, int16_t{1}},
      {nubrix::event::kClick, int16_t{2}},    {nubrix::event::kDblClick, int16_t{2}},
      {nubrix::event::kMouseOver, {}}};
  for (const auto* sink : {first.get(), second.get()}) {
    std::vector<E> heard;
    for (const auto& r : sink->received())
      heard.emplace_back(r.position, r.args.empty() ? Variant() : r.args[0]);
    EXPECT_EQ(heard, expected);
  }
  EXPECT_EQ(failing->received().size(), expected.size());
  EXPECT_EQ(leaving->received().size(), 1u);

  callMethod(client, "RemoveIcon");
  EXPECT_TRUE(area.icons().empty());
  EXPECT_NO_THROW(callMethod(client, "RemoveIcon")) << "removing what is not there is no failure";
  EXPECT_FALSE(area.notifications().back().accepted);
}

// A property bag of the test's own: values by name, and the names written, in order.
class TestBag final : public ComObject<IPropertyBag> {
 public:
  ~TestBag() override {
    for (auto& [name, value] : values) VariantClear(&value);
  }
  void set(const std::wstring& name, VARIANT value) {
    VariantClear(&values[name]);
    values[name] = value;
  }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    const auto it = values.find(name);
    if (it == values.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
    written.emplace_back(name);
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, value);
    set(name, copy);
    return S_OK;
  }

  std::map<std::wstring, VARIANT> values;
  std::vector<std::wstring> written;
};

TEST_F(NubrixControlTest, SavedStateLoadsWithDefaultsForWhatDoesNotSuitAndSavesInItsOrder) {
  ComPtr<IPersistPropertyBag> persist;
  ASSERT_HRESULT_SUCCEEDED(control.As(&persist));
  const ComPtr<IDispatch> icon = iconPicture();
  ComPtr<TestBag> saved = takeNew(new TestBag);
  VARIANT picture;
  VariantInit(&picture);
  picture.vt = VT_DISPATCH;
  picture.pdispVal = icon.Get();
  icon->AddRef();
  saved->set(L"Icon1", picture);
  saved->set(L"ToolTipIcon1", text(L"one"));
  saved->set(L"ToolTipIcon2", number(7));
  saved->set(L"IconAnimation", text(L"maybe"));
  saved->set(L"Interval", text(L"soon"));
  VARIANT array;
  VariantInit(&array);
  array.vt = VT_ARRAY | VT_I4;
  array.parray = SafeArrayCreateVector(VT_I4, 0, 2);
  saved->set(L"Icon2", array);
  putPropertyById(client, d::kInterval, int32_t{300});
  ASSERT_EQ(persist->Load(saved.Get(), nullptr), S_OK);
  EXPECT_TRUE(sameObject(getPropertyById(client, d::kIcon1), icon));
  EXPECT_EQ(getPropertyById(client, d::kToolTipIcon1), Variant("one"));
  EXPECT_EQ(getProperty(asObject(getPropertyById(client, d::kIcon2)), "Handle"),
            Variant(int32_t{0}));
  EXPECT_EQ(getPropertyById(client, d::kToolTipIcon2), Variant("7"));
  EXPECT_EQ(getPropertyById(client, d::kIconAnimation), Variant(false));
  EXPECT_EQ(getPropertyById(client, d::kInterval), Variant(int32_t{0}));

  const std::vector<std::wstring> all = {L"Icon1",        L"ToolTipIcon1",  L"Icon2",
                                         L"ToolTipIcon2", L"IconAnimation", L"Interval"};
  ComPtr<TestBag> changed = takeNew(new TestBag);
  ASSERT_EQ(persist->Save(changed.Get(), TRUE, FALSE), S_OK);
  EXPECT_EQ(changed->written,
            (std::vector<std::wstring>{L"Icon1", L"ToolTipIcon1", L"ToolTipIcon2"}));
  EXPECT_EQ(changed->values[L"Icon1"].pdispVal, icon.Get());
  ComPtr<TestBag> everything = takeNew(new TestBag);
  ASSERT_EQ(persist->Save(everything.Get(), TRUE, TRUE), S_OK);
  EXPECT_EQ(everything->written, all);

  ASSERT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(getPropertyById(client, d::kToolTipIcon1), Variant(""));
  ComPtr<TestBag> empty = takeNew(new TestBag);
  ASSERT_EQ(persist->Save(empty.Get(), TRUE, FALSE), S_OK);
  EXPECT_TRUE(empty->written.empty());
}

// A container's client site, minimal: its ambient user mode and its form's window.
class TestSite final : public ComObject<IOleClientSite, IDispatch, IOleWindow> {
 public:
  bool userMode = true;
  HWND window = nullptr;

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* result) override {
    *result = window;
    return window != nullptr ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_BOOL;
    result->boolVal = userMode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
};

class TestNotices final : public ComObject<IPropertyNotifySink> {
 public:
  std::vector<DISPID> changed;
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    changed.push_back(id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

// Runs call on this thread while another one answers the message box it shows with OK.
std::optional<wintest::FoundMessageBox> answeredBox(const std::function<void()>& call) {
  auto answered = std::async(std::launch::async, [thread = GetCurrentThreadId()] {
    return wintest::answerMessageBox(wintest::BoxOwner::thread(thread), IDOK);
  });
  call();
  return answered.get();
}

TEST_F(NubrixControlTest, ASiteInDesignModeGetsIconAnimationRefusedUntilItRuns) {
  ComPtr<IOleObject> ole;
  ComPtr<IOleControl> oleControl;
  ASSERT_HRESULT_SUCCEEDED(control.As(&ole));
  ASSERT_HRESULT_SUCCEEDED(control.As(&oleControl));
  DWORD misc = 0;
  ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
  EXPECT_TRUE(misc & OLEMISC_INVISIBLEATRUNTIME);
  EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
  CLSID clsid{};
  ole->GetUserClassID(&clsid);
  EXPECT_EQ(clsid, CLSID_Nubrix);

  // Without a site the control runs.
  putPropertyById(client, d::kIconAnimation, true);
  EXPECT_EQ(getPropertyById(client, d::kIconAnimation), Variant(true));
  putPropertyById(client, d::kIconAnimation, false);

  ComPtr<TestNotices> notices = takeNew(new TestNotices);
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
  ASSERT_HRESULT_SUCCEEDED(control.As(&container));
  ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point));
  ASSERT_HRESULT_SUCCEEDED(point->Advise(notices.Get(), &cookie));

  ComPtr<TestSite> site = takeNew(new TestSite);
  site->userMode = false;
  ASSERT_HRESULT_SUCCEEDED(ole->SetClientSite(site.Get()));
  ComPtr<IOleClientSite> given;
  ole->GetClientSite(&given);
  EXPECT_EQ(given.Get(), static_cast<IOleClientSite*>(site.Get()));
  const auto box = answeredBox([&] { putPropertyById(client, d::kIconAnimation, true); });
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, nubrix::kTitle);
  EXPECT_EQ(box->text, Nubrix::kDesignTimeMessage);
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  EXPECT_EQ(box->icon, MB_ICONHAND);
  EXPECT_EQ(getPropertyById(client, d::kIconAnimation), Variant(false));

  site->userMode = true;
  ASSERT_HRESULT_SUCCEEDED(oleControl->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE));
  putPropertyById(client, d::kIconAnimation, true);
  EXPECT_EQ(getPropertyById(client, d::kIconAnimation), Variant(true));
  putPropertyById(client, d::kToolTipIcon1, "tip");
  EXPECT_EQ(notices->changed,
            (std::vector<DISPID>{d::kIconAnimation, d::kIconAnimation, d::kToolTipIcon1}));

  point->Unadvise(cookie);
  ole->SetClientSite(nullptr);
}

// The about box as the user sees it on the screen, read from another thread while it is up.
struct SeenAbout {
  HWND window = nullptr;
  HWND owner = nullptr;
  bool ownerEnabled = true;        // the form under it takes input meanwhile
  std::vector<std::string> texts;  // of its child windows, in their order
  bool separatorDrawn = false;     // the upper line, across the box
  int pictureDots = 0;             // pixels of the picture's place not of the face's colour
};

std::string textOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK collectVisible(HWND window, LPARAM windows) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

// The visible top-level windows of a thread.
std::vector<HWND> windowsOfThread(DWORD thread) {
  std::vector<HWND> windows;
  EnumThreadWindows(thread, &collectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Waits for the thread's about box, reads it and clicks its OK button as the mouse would. Without
// a box in time, it closes whatever the thread shows, so that the test ends.
SeenAbout pressOkOnAbout(DWORD thread) {
  SeenAbout seen;
  const auto found = [&] {
    for (const HWND w : windowsOfThread(thread))
      if (textOf(w) == "About Nubrix Control") seen.window = w;
    return seen.window != nullptr;
  };
  if (!wintest::waitUntil(found)) {
    for (const HWND w : windowsOfThread(thread))
      if (IsWindowEnabled(w)) PostMessageA(w, WM_CLOSE, 0, 0);
    return seen;
  }
  seen.owner = GetWindow(seen.window, GW_OWNER);
  seen.ownerEnabled = IsWindowEnabled(seen.owner) != FALSE;
  HWND ok = nullptr;
  // From the bottom of the Z order up: the order the form made them in.
  const HWND top = GetWindow(seen.window, GW_CHILD);
  for (HWND child = top != nullptr ? GetWindow(top, GW_HWNDLAST) : nullptr; child != nullptr;
       child = GetWindow(child, GW_HWNDPREV)) {
    seen.texts.push_back(textOf(child));
    if (seen.texts.back() == "OK") ok = child;
  }

  // What the form paints itself: its lines and its picture (twips at the screen's DPI).
  RECT client{};
  GetClientRect(seen.window, &client);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageA(seen.window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
  seen.separatorDrawn = GetPixel(dc, client.right / 2, px(1080)) == GetSysColor(COLOR_WINDOWTEXT);
  for (int y = px(240); y < px(720); ++y)
    for (int x = px(240); x < px(720); ++x)
      if (GetPixel(dc, x, y) != GetSysColor(COLOR_BTNFACE)) ++seen.pictureDots;
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);

  if (ok != nullptr) {
    RECT r{};
    GetClientRect(ok, &r);
    const LPARAM centre = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageA(ok, WM_LBUTTONUP, 0, centre);
  } else {
    PostMessageA(seen.window, WM_CLOSE, 0, 0);
  }
  return seen;
}

TEST_F(NubrixControlTest, ShowAbout_ShowsItsFormOverTheContainersFormUntilTheUserPressesOk) {
  const HWND form = CreateWindowExA(0, "STATIC", "frmAuto", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                    300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(form, nullptr);
  ComPtr<IOleObject> ole;
  ASSERT_HRESULT_SUCCEEDED(control.As(&ole));
  ComPtr<TestSite> site = takeNew(new TestSite);
  site->window = form;
  ASSERT_HRESULT_SUCCEEDED(ole->SetClientSite(site.Get()));

  auto seen = std::async(std::launch::async,
                         [thread = GetCurrentThreadId()] { return pressOkOnAbout(thread); });
  callMethodById(client, d::kShowAbout);
  const SeenAbout about = seen.get();
  ASSERT_NE(about.window, nullptr) << "no about box";
  EXPECT_EQ(about.owner, form) << "over the container's form, not over the control's window";
  EXPECT_FALSE(about.ownerEnabled) << "modal";
  const std::vector<std::string> texts = {"Nubrix Control", "Version 1.1.0",
                                          "Written for Morvane by the Morvane team.",
                                          "Contact: " + std::string(kSupportAddress), "OK"};
  EXPECT_EQ(about.texts, texts);
  EXPECT_TRUE(about.separatorDrawn);
  EXPECT_GT(about.pictureDots, 100) << "its picture, from the DLL's resources";
  EXPECT_FALSE(IsWindow(about.window)) << "gone when the call returns";
  EXPECT_TRUE(IsWindowEnabled(form));

  ole->SetClientSite(nullptr);
  DestroyWindow(form);
}

// How a control comes to hold no pictures.
enum class NoPictures { New, LoadedWithoutThem, SetToNothing };

// The faults emptyPictureFault finds, by number; a slot's count tens (Icon1 10, Icon2 20).
std::string pictureFault(uint32_t code) {
  static const char* const faults[] = {"",
                                       "no object",
                                       "not a picture (no IPicture)",
                                       "its Type is not None",
                                       "its Handle is not 0",
                                       "refused when handed back as a picture"};
  if (code == 0) return "none";
  const uint32_t step = code % 10;
  return "Icon" + std::to_string(code / 10) + ": " +
         (step < std::size(faults) ? faults[step] : "exit code " + std::to_string(code));
}

// Reads Icon1 and Icon2 of a control without pictures as a client does, and hands each back to
// its property: 0 when both are the empty picture that a Basic control's picture property set to
// Nothing gives, otherwise the first fault (pictureFault). The class must be registered.
uint32_t emptyPictureFault(NoPictures how) {
  ComPtr<IDispatch> control = createNubrixByProgId();
  if (!control) return 1;
  const auto putRef = [&](DISPID id, IDispatch* picture) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = picture;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &params, nullptr, nullptr,
                           nullptr);
  };
  if (how == NoPictures::LoadedWithoutThem) {
    ComPtr<IPersistPropertyBag> persist;
    ComPtr<TestBag> empty = takeNew(new TestBag);
    if (FAILED(control.As(&persist)) || FAILED(persist->Load(empty.Get(), nullptr))) return 1;
  } else if (how == NoPictures::SetToNothing) {
    for (const DISPID id : {d::kIcon1, d::kIcon2}) {
      if (FAILED(putRef(id, iconPicture().Get())) || FAILED(putRef(id, nullptr))) return 1;
    }
  }
  const std::pair<uint32_t, DISPID> slots[] = {{10, d::kIcon1}, {20, d::kIcon2}};
  for (const auto& [slot, id] : slots) {
    DISPPARAMS none{};
    ComVariant value;
    if (FAILED(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.get(), nullptr,
                               nullptr)) ||
        value->vt != VT_DISPATCH || value->pdispVal == nullptr) {
      return slot + 1;
    }
    ComPtr<IPicture> picture;
    if (FAILED(value->pdispVal->QueryInterface(IID_PPV_ARGS(&picture)))) return slot + 2;
    SHORT type = -1;
    OLE_HANDLE handle = 1;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_NONE) return slot + 3;
    if (FAILED(picture->get_Handle(&handle)) || handle != 0) return slot + 4;
    if (FAILED(putRef(id, value->pdispVal))) return slot + 5;
  }
  return 0;
}

// The same in a program of the other bitness: its own DLL registered for the while.
MORVANE_CHILD_MODE(empty_pictures) {
  const std::string arguments = commandArguments(GetCommandLineA());
  const auto how = static_cast<NoPictures>(arguments.back() - '0');
  ComApartment apartment;
  RegisteredNubrix::registerClass();
  const uint32_t fault = emptyPictureFault(how);
  RegisteredNubrix::unregisterClass();
  return static_cast<int>(fault);
}

class NubrixEmptyPictureTest
    : public ::testing::TestWithParam<std::tuple<NoPictures, bool /*otherBitness*/>> {
 protected:
  static void SetUpTestSuite() { RegisteredNubrix::registerClass(); }
  static void TearDownTestSuite() { RegisteredNubrix::unregisterClass(); }
  ComApartment apartment;
};

TEST_P(NubrixEmptyPictureTest, NoPictureReadsAsTheEmptyPictureOfABasicControl) {
  const auto [how, otherBitness] = GetParam();
  uint32_t fault = 0;
  if (!otherBitness) {
    fault = emptyPictureFault(how);
  } else {
    const std::string other = builtFile("nubrix_dll_tests.exe", true);
    if (other.empty()) GTEST_SKIP() << "the other bitness is not built";
    if (!otherBitnessCannotRun().empty())
      GTEST_SKIP() << "a client of the other bitness: " << otherBitnessCannotRun();
    const auto code =
        wintest::runToEnd(wintest::quotedPath(other) + " --morvane-child=empty_pictures " +
                          std::to_string(static_cast<int>(how)));
    ASSERT_TRUE(code.has_value()) << "the client of the other bitness did not end";
    fault = *code;
  }
  EXPECT_EQ(fault, 0u) << pictureFault(fault);
}

INSTANTIATE_TEST_SUITE_P(HowAndBitness, NubrixEmptyPictureTest,
                         ::testing::Combine(::testing::Values(NoPictures::New,
                                                              NoPictures::LoadedWithoutThem,
                                                              NoPictures::SetToNothing),
                                            ::testing::Bool()));

}  // namespace
}  // namespace morvane::win32::testing
