// The control container: its property bag, its pictures, and a control's life on a form, against
// a small control of the test's own that writes down what the container does to it.
#include "platform/win32/com/com_control_host.h"

#include <gtest/gtest.h>

#include "platform/win32/com/com_errors.h"
#include "platform/win32/com/com_variant.h"
#include "tests/platform/error_number.h"
#include "tests/win32/com_test_support.h"

namespace morvane::win32::testing {
namespace {

using Microsoft::WRL::ComPtr;
using morvane::testing::errorNumberOf;
using Journal = std::vector<std::string>;

constexpr Hwnd kFormWindow = 0x10010;

// A control as a container sees it: IOleObject, IPersistPropertyBag, IOleControl and a dispatch
// interface with one property, Tip (dispatch id 1), the tooltip it loaded. What it is asked to do
// goes into the journal, which outlives it ("released" is its last entry).
class FakeControl final
    : public ComObject<IDispatch, IOleObject, IPersistPropertyBag, IOleControl> {
 public:
  FakeControl(std::shared_ptr<Journal> journal, DWORD miscStatus, HRESULT loadResult = S_OK)
      : m_journal(std::move(journal)), m_miscStatus(miscStatus), m_loadResult(loadResult) {}
  ~FakeControl() override { m_journal->push_back("released"); }

  HWND siteWindow = nullptr;
  bool siteUserMode = false;
  std::string tip;
  HICON icon = nullptr;
  ComPtr<IPropertyBag> keptBag;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    *ids = lstrcmpiW(names[0], L"Tip") == 0 ? 1 : DISPID_UNKNOWN;
    return *ids == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (id != 1) return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_BSTR;
    result->bstrVal = toBstr(tip);
    return S_OK;
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    m_journal->push_back(site != nullptr ? "SetClientSite" : "SetClientSite(null)");
    m_site = site;
    if (site == nullptr) return S_OK;
    ComPtr<IOleInPlaceSite> inPlace;
    if (SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&inPlace)))) inPlace->GetWindow(&siteWindow);
    readUserMode();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    return m_site.CopyTo(site);
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD option) override {
    m_journal->push_back(option == OLECLOSE_NOSAVE ? "Close" : "Close(save)");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    *status = m_miscStatus;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IPersistPropertyBag: reads its picture as stored and its tooltip as text, with a default.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitNew() override {
    m_journal->push_back("InitNew");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog*) override {
    m_journal->push_back("Load");
    keptBag = bag;
    ComVariant picture;
    if (SUCCEEDED(bag->Read(L"Icon1", picture.get(), nullptr)) && picture->vt == VT_DISPATCH) {
      ComPtr<IPicture> image;
      OLE_HANDLE handle = 0;
      if (SUCCEEDED(picture->pdispVal->QueryInterface(IID_PPV_ARGS(&image))))
        image->get_Handle(&handle);
      icon = reinterpret_cast<HICON>(static_cast<uintptr_t>(handle));
    }
    ComVariant text;
    text.get()->vt = VT_BSTR;
    tip = SUCCEEDED(bag->Read(L"ToolTipIcon1", text.get(), nullptr)) ? fromBstr(text->bstrVal)
                                                                     : "(default)";
    return m_loadResult;
  }
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override {
    m_journal->push_back(clearDirty && saveAll ? "Save" : "Save(partly)");
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = toBstr(tip);
    bag->Write(L"ToolTipIcon1", &value);
    VariantClear(&value);
    value.vt = VT_I4;
    value.lVal = 500;
    return bag->Write(L"Interval", &value);
  }

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override {
    m_journal->push_back("OnAmbientPropertyChange " + std::to_string(id));
    readUserMode();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

 protected:
  void* find(REFIID riid) override {
    if (riid == IID_IPersist) return static_cast<IPersistPropertyBag*>(this);
    return listed(riid);
  }

 private:
  void readUserMode() {
    ComPtr<IDispatch> ambient;
    if (!m_site || FAILED(m_site.As(&ambient))) return;
    DISPPARAMS none{};
    ComVariant value;
    if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                  value.get(), nullptr, nullptr)) &&
        value->vt == VT_BOOL)
      siteUserMode = value->boolVal != VARIANT_FALSE;
  }

  std::shared_ptr<Journal> m_journal;
  DWORD m_miscStatus;
  HRESULT m_loadResult;
  ComPtr<IOleClientSite> m_site;
};

// A fresh icon of the test's own, destroyed with this unless a picture took it.
class TestIcon {
 public:
  TestIcon() : handle(CopyIcon(LoadIconA(nullptr, IDI_APPLICATION))) {}
  ~TestIcon() {
    if (alive()) DestroyIcon(handle);
  }
  bool alive() const {
    ICONINFO parts{};
    if (!GetIconInfo(handle, &parts)) return false;
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    return true;
  }
  const HICON handle;
};

HICON handleOf(IUnknown* picture) {
  ComPtr<IPicture> image;
  OLE_HANDLE handle = 0;
  if (picture == nullptr || FAILED(picture->QueryInterface(IID_PPV_ARGS(&image))) ||
      FAILED(image->get_Handle(&handle)))
    return nullptr;
  return reinterpret_cast<HICON>(static_cast<uintptr_t>(handle));
}

class ErrorLog final : public IErrorLog {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    *object = riid == IID_IUnknown || riid == IID_IErrorLog ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR name, EXCEPINFO* error) override {
    logged.emplace_back(toAnsi(name), error->scode);
    return S_OK;
  }
  std::vector<std::pair<std::string, SCODE>> logged;
};

TEST(PropertyBagObject, EveryKindComesBackAsItWasWritten) {
  ComApartment apartment;
  TestIcon icon;
  struct Case {
    Variant value;
    VARTYPE type;
  };
  const Case cases[] = {
      {Variant(), VT_EMPTY},
      {Variant(true), VT_BOOL},
      {Variant(int16_t{-3}), VT_I2},
      {Variant(int32_t{70000}), VT_I4},
      {Variant(1.5f), VT_R4},
      {Variant(2.25), VT_R8},
      {Variant("D\351faut"), VT_BSTR},
      {Variant(ObjectRef()), VT_DISPATCH},
      {pictureVariant(icon.handle, IconOwner::Caller), VT_DISPATCH},
  };
  MemoryPropertyBag memory;
  const ComPtr<PropertyBagObject> bag = PropertyBagObject::make(memory);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::wstring name = L"P" + std::to_wstring(i);
    ComVariant written;
    toVariant(cases[i].value, *written.get());
    ASSERT_EQ(bag->Write(name.c_str(), written.get()), S_OK) << i;
    EXPECT_EQ(memory.values().at(toAnsi(name)), cases[i].value) << i;

    ComVariant read;
    ASSERT_EQ(bag->Read(name.c_str(), read.get(), nullptr), S_OK) << i;
    EXPECT_EQ(read->vt, cases[i].type) << i;
    EXPECT_EQ(fromVariant(*read), cases[i].value) << i;
  }
  // The picture reaches the control as a picture of the same icon.
  ComVariant picture;
  ASSERT_EQ(bag->Read(L"P8", picture.get(), nullptr), S_OK);
  EXPECT_EQ(handleOf(picture->pdispVal), icon.handle);
}

TEST(PropertyBagObject, ReadsAsTheCallerAsksAndLeavesTheDefaultWhenItCannot) {
  ComApartment apartment;
  MemoryPropertyBag memory;
  memory.set("Interval", Variant(int32_t{500}));
  memory.set("Digits", Variant("12"));
  memory.set("Words", Variant("abc"));
  const ComPtr<PropertyBagObject> bag = PropertyBagObject::make(memory);
  ErrorLog log;

  ComVariant text;
  text.get()->vt = VT_BSTR;
  ASSERT_EQ(bag->Read(L"Interval", text.get(), &log), S_OK);
  EXPECT_EQ(fromVariant(*text), Variant("500"));
  ComVariant number;
  number.get()->vt = VT_I2;
  ASSERT_EQ(bag->Read(L"Digits", number.get(), &log), S_OK);
  EXPECT_EQ(fromVariant(*number), Variant(int16_t{12}));

  // The caller's default stays where it was.
  VARIANT kept;
  kept.vt = VT_I4;
  kept.lVal = 42;
  EXPECT_EQ(bag->Read(L"Missing", &kept, &log), E_INVALIDARG);
  EXPECT_EQ(bag->Read(L"Words", &kept, &log), E_FAIL);
  EXPECT_EQ(kept.vt, VT_I4);
  EXPECT_EQ(kept.lVal, 42);
  EXPECT_EQ(log.logged,
            (std::vector<std::pair<std::string, SCODE>>{{"Words", DISP_E_TYPEMISMATCH}}));

  // A bag closed after loading answers no more.
  bag->close();
  EXPECT_EQ(bag->Read(L"Interval", text.get(), nullptr), E_FAIL);
}

TEST(PictureFromIcon, GivesTheSameIconBackAndDestroysItOnlyWhenItOwnsIt) {
  ComApartment apartment;
  TestIcon borrowed;
  ComPtr<IPictureDisp> picture = pictureFromIcon(borrowed.handle, IconOwner::Caller);
  ComPtr<IPicture> image;
  ASSERT_TRUE(SUCCEEDED(picture.As(&image)));
  SHORT type = PICTYPE_UNINITIALIZED;
  image->get_Type(&type);
  EXPECT_EQ(type, PICTYPE_ICON);
  EXPECT_EQ(handleOf(picture.Get()), borrowed.handle);
  image.Reset();
  picture.Reset();
  EXPECT_TRUE(borrowed.alive());

  TestIcon given;
  picture = pictureFromIcon(given.handle, IconOwner::Picture);
  EXPECT_EQ(handleOf(picture.Get()), given.handle);
  picture.Reset();
  EXPECT_FALSE(given.alive());
}

class ComControlTest : public ::testing::Test {
 protected:
  // Places a new fake control; the test keeps a pointer to it for as long as the container does.
  std::shared_ptr<ComControl> place(DWORD miscStatus, PropertyBag* saved,
                                    HRESULT loadResult = S_OK) {
    auto* fake = new FakeControl(journal, miscStatus, loadResult);
    control = fake;
    return ComControl::place(takeNew<IUnknown>(static_cast<IDispatch*>(fake)), container, saved);
  }

  ComApartment apartment;
  std::shared_ptr<Journal> journal = std::make_shared<Journal>();
  ControlContainer container{[] { return kFormWindow; }, true};
  FakeControl* control = nullptr;
};

TEST_F(ComControlTest, IsSitedThenLoadedFromTheFormAndTakenDownInOrder) {
  TestIcon icon;
  MemoryPropertyBag saved;
  saved.set("Icon1", pictureVariant(icon.handle, IconOwner::Caller));
  saved.set("ToolTipIcon1", Variant("Saved tip"));
  auto placed = place(OLEMISC_SETCLIENTSITEFIRST, &saved);

  EXPECT_EQ(*journal, (Journal{"SetClientSite", "Load"}));
  EXPECT_EQ(control->siteWindow, toHwnd(kFormWindow));
  EXPECT_TRUE(control->siteUserMode);
  EXPECT_EQ(control->icon, icon.handle);
  EXPECT_EQ(control->tip, "Saved tip");
  // The bag was the form's only while the control loaded.
  ComVariant late;
  EXPECT_EQ(control->keptBag->Read(L"ToolTipIcon1", late.get(), nullptr), E_FAIL);
  // From here on it is an automation object like any other.
  EXPECT_EQ(getProperty(placed, "Tip"), Variant("Saved tip"));
  EXPECT_EQ(objectFromDispatch(placed->get()), ObjectRef(placed));

  journal->clear();
  placed.reset();
  EXPECT_EQ(*journal, (Journal{"Close", "SetClientSite(null)", "released"}));
}

TEST_F(ComControlTest, AControlThatLoadsFirstIsSitedAfterwardsAndWithoutStateStartsNew) {
  auto placed = place(0, nullptr);
  EXPECT_EQ(*journal, (Journal{"InitNew", "SetClientSite"}));
}

TEST_F(ComControlTest, HearsWhenADesignerTurnsUserModeOffAndSavesIntoTheFormsBag) {
  MemoryPropertyBag saved;
  saved.set("ToolTipIcon1", Variant("Tip"));
  auto placed = place(OLEMISC_SETCLIENTSITEFIRST, &saved);
  journal->clear();

  placed->setUserMode(false);
  EXPECT_FALSE(placed->userMode());
  EXPECT_FALSE(control->siteUserMode);
  placed->setUserMode(false);
  EXPECT_EQ(*journal, (Journal{"OnAmbientPropertyChange -709"}));

  MemoryPropertyBag form;
  placed->save(form);
  using Values = std::map<std::string, Variant, std::less<>>;
  EXPECT_EQ(form.values(),
            (Values{{"ToolTipIcon1", Variant("Tip")}, {"Interval", Variant(int32_t{500})}}));
}

TEST_F(ComControlTest, AControlThatFailsToLoadIsTakenDownAndItsErrorGoesOn) {
  MemoryPropertyBag saved;
  // CTL_E_INVALIDPROPERTYVALUE: error 380 as a control raises it.
  const HRESULT invalidValue = static_cast<HRESULT>(0x800A017C);
  EXPECT_EQ(errorNumberOf([&] { place(OLEMISC_SETCLIENTSITEFIRST, &saved, invalidValue); }), 380);
  EXPECT_EQ(*journal,
            (Journal{"SetClientSite", "Load", "Close", "SetClientSite(null)", "released"}));
}

TEST_F(ComControlTest, AControlWhoseClassIsNotRegisteredCannotBeCreated) {
  ComAutomation automation;
  automation.registerLocalClass("Morvane.NoSuchControl",
                                controlFactory("Morvane.NoSuchControl", container, nullptr));
  EXPECT_EQ(errorNumberOf([&] { automation.createObject("Morvane.NoSuchControl"); }),
            err::kCantCreateObject);
}

}  // namespace
}  // namespace morvane::win32::testing
