// What only real windows show of the user-interface port: the system's own control classes and
// styles, pixels at the screen's real DPI, the notices a real header sends its list, real keys,
// a real ES_NUMBER edit, the modal loop, and how the list view draws its rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/win32/win32_ui_lab.h"

#include "platform/win32/win32_base.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

namespace morvane::win32 {
namespace {

using contract::Key;

// GWL_WNDPROC, which the 64-bit windows.h leaves out.
constexpr int32_t kGwlWndProc = -4;

class TestForm : public ui::Form {
 public:
  explicit TestForm(ui::Ui& ui) : Form(ui, "frmTest") {
    setCaption("Test form");
    clientWidth = 7500;
    clientHeight = 4725;
    lblField.setText("&Field:");
    lblField.setBox({330, 225, 2000, 285});
    cboField.setBox({330, 510, 2430, 315});
    cboField.setTabIndex(3);
    txtNumber.setBox({3000, 510, 1000, 315});
    txtNumber.numberOnly = true;
    txtNumber.setTabIndex(4);
    lvwValues.setBox({330, 975, 5430, 3000});
    lvwValues.setTabIndex(5);
    lvwValues.addColumn("Value", "If reference field value is:", 2500);
    lvwValues.addColumn("Layout", "Then use this layout:", 2500);
    chkStealth.setText("Stealth");
    chkStealth.setBox({345, 4320, 2000, 255});
    chkStealth.setTabIndex(2);
    cmdOk.setText("&Save");
    cmdOk.setBox({6210, 390, 1000, 525});
    cmdOk.isDefault = true;
    cmdOk.setTabIndex(0);
    cmdCancel.setText("&Close");
    cmdCancel.setBox({6210, 1035, 1000, 325});
    cmdCancel.isCancel = true;
    cmdCancel.setTabIndex(1);
    fraBox.setText("Frame");
    fraBox.setBox({6000, 2000, 1400, 1000});
    menus = {{"mnuOptions",
              "&Options",
              {{"mnuLocation", "&Settings", {}, [this] { ++settingsChosen; }},
               {"mnuSep", "-", {}, nullptr},
               {"mnuIntegrate", "&Integrate with ACT", {}, nullptr}},
              nullptr},
             {"mnuHelp", "&Help", {{"mnuAbout", "&About", {}, nullptr}}, nullptr}};
    // Registered out of tab order, so that the order of the windows cannot stand in for it.
    add(lblField);
    add(lvwValues);
    add(cboField);
    add(txtNumber);
    add(chkStealth);
    add(fraBox);
    add(cmdCancel);
    add(cmdOk);
    cmdOk.onClick = [this] { ++okClicks; };
    cmdCancel.onClick = [this] { ++cancelClicks; };
  }

  ui::Label lblField{"lblField"};
  ui::ComboBox cboField{"cboField"};
  ui::TextBox txtNumber{"txtNumber"};
  ui::ListView lvwValues{"lvwValues"};
  ui::CheckBox chkStealth{"chkStealth"};
  ui::Button cmdOk{"cmdOk"};
  ui::Button cmdCancel{"cmdCancel"};
  ui::Frame fraBox{"fraBox"};
  int okClicks = 0;
  int cancelClicks = 0;
  int settingsChosen = 0;
};

std::string className(Hwnd h) {
  char name[64] = {};
  GetClassNameA(toHwnd(h), name, sizeof name);
  return name;
}

DWORD style(Hwnd h) {
  return static_cast<DWORD>(GetWindowLongA(toHwnd(h), GWL_STYLE));
}

RECT clientRect(Hwnd h) {
  RECT r{};
  GetClientRect(toHwnd(h), &r);
  return r;
}

// A control's rectangle in its form's client coordinates.
RECT placeOf(ui::Control& c) {
  RECT r{};
  GetWindowRect(toHwnd(c.hWnd()), &r);
  MapWindowPoints(nullptr, GetParent(toHwnd(c.hWnd())), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int screenDpi(int axis) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, axis);
  ReleaseDC(nullptr, screen);
  return dpi;
}

class Win32UiTest : public ::testing::Test {
 protected:
  Win32UiTest() : form(lab.ui()) {}
  void SetUp() override {
    form.show();
    lab.pump();
  }
  Win32UiLab lab;
  TestForm form;
};

TEST_F(Win32UiTest, Controls_AreTheSystemsOwnClassesWithTheirStyles) {
  EXPECT_EQ(className(form.hWnd()), "Morvane.Form");
  EXPECT_EQ(lab.windowText(form.hWnd()), "Test form");
  EXPECT_EQ(lstrcmpiA(className(form.lblField.hWnd()).c_str(), "Static"), 0);
  EXPECT_EQ(lstrcmpiA(className(form.cmdOk.hWnd()).c_str(), "Button"), 0);
  EXPECT_EQ(lstrcmpiA(className(form.cboField.hWnd()).c_str(), "ComboBox"), 0);
  EXPECT_EQ(lstrcmpiA(className(form.txtNumber.hWnd()).c_str(), "Edit"), 0);
  EXPECT_EQ(className(form.lvwValues.hWnd()), "SysListView32");

  EXPECT_EQ(style(form.cmdOk.hWnd()) & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
  EXPECT_EQ(style(form.cmdCancel.hWnd()) & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
  EXPECT_EQ(style(form.chkStealth.hWnd()) & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
  EXPECT_EQ(style(form.fraBox.hWnd()) & BS_TYPEMASK, static_cast<DWORD>(BS_GROUPBOX));
  EXPECT_EQ(style(form.cboField.hWnd()) & 3u, static_cast<DWORD>(CBS_DROPDOWNLIST));
  EXPECT_NE(style(form.txtNumber.hWnd()) & ES_NUMBER, 0u);
  EXPECT_EQ(style(form.lvwValues.hWnd()) & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
  EXPECT_NE(SendMessageA(toHwnd(form.lvwValues.hWnd()), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
                LVS_EX_FULLROWSELECT,
            0);
  for (ui::Control* c : form.controls())
    EXPECT_EQ(GetParent(toHwnd(c->hWnd())), toHwnd(form.hWnd())) << c->name();

  // The combo box keeps its entries' data in the window too.
  form.cboField.addItem("Company");
  form.cboField.setItemData(0, 42);
  form.cboField.addItem("City");
  form.cboField.setListIndex(1);
  EXPECT_EQ(SendMessageA(toHwnd(form.cboField.hWnd()), CB_GETITEMDATA, 0, 0), 42);
  EXPECT_EQ(SendMessageA(toHwnd(form.cboField.hWnd()), CB_GETCURSEL, 0, 0), 1);
}

TEST_F(Win32UiTest, Geometry_TwipsBecomePixelsAtTheScreensDpi) {
  const int tppX = (1440 + screenDpi(LOGPIXELSX) / 2) / screenDpi(LOGPIXELSX);
  const int tppY = (1440 + screenDpi(LOGPIXELSY) / 2) / screenDpi(LOGPIXELSY);
  EXPECT_EQ(lab.ui().twipsPerPixelX(), tppX);
  EXPECT_EQ(lab.ui().twipsPerPixelY(), tppY);
  // To the nearest pixel: at 96 DPI a 1000-twip button is 67 pixels wide, not 66.
  const auto pixelsX = [&](int twips) { return (twips + tppX / 2) / tppX; };

  const RECT client = clientRect(form.hWnd());
  EXPECT_EQ(client.right, 7500 / tppX);
  EXPECT_EQ(client.bottom, 4725 / tppY);
  const RECT ok = placeOf(form.cmdOk);
  EXPECT_EQ(ok.left, pixelsX(6210));
  EXPECT_EQ(ok.top, 390 / tppY);
  EXPECT_EQ(ok.right - ok.left, pixelsX(1000));
  EXPECT_EQ(SendMessageA(toHwnd(form.lvwValues.hWnd()), LVM_GETCOLUMNWIDTH, 1, 0), pixelsX(2500));

  // A move in the model moves the window.
  form.cmdOk.setBox({150, 300, 1500, 450});
  const RECT moved = placeOf(form.cmdOk);
  EXPECT_EQ(moved.left, 150 / tppX);
  EXPECT_EQ(moved.bottom - moved.top, 450 / tppY);

  // Centred on the screen's work area.
  RECT area{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  RECT frame{};
  GetWindowRect(toHwnd(form.hWnd()), &frame);
  EXPECT_LE(std::abs((frame.left + frame.right) - (area.left + area.right)), 1);
  EXPECT_LE(std::abs((frame.top + frame.bottom) - (area.top + area.bottom)), 1);
}

TEST_F(Win32UiTest, Menus_AreRealMenusWithAccessKeysAndSeparators) {
  HMENU bar = GetMenu(toHwnd(form.hWnd()));
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  char text[64] = {};
  GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "&Options");
  HMENU options = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(options), 3);
  EXPECT_NE(GetMenuState(options, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);

  lab.chooseMenu(form, {"&Options", "&Settings"});
  EXPECT_EQ(form.settingsChosen, 1);
}

// A pixel of a window's client area as the window paints it.
COLORREF paintedPixel(HWND window, int x, int y) {
  RECT client{};
  GetClientRect(window, &client);
  HDC screen = GetDC(window);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, client.right, client.bottom};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const COLORREF pixel = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(window, screen);
  return pixel;
}

class SplashForm : public ui::Form {
 public:
  explicit SplashForm(ui::Ui& ui) : Form(ui, "frmSplash") {
    borderStyle = ui::BorderStyle::None;
    showInTaskbar = false;
    clientWidth = 4680;
    clientHeight = 1215;
    edge.x2 = 4680;
    edge.y1 = edge.y2 = 600;
    add(edge);
  }
  ui::Line edge{"Line1"};
};

TEST_F(Win32UiTest, Splash_IsABorderlessToolWindowWithItsIconAndLines) {
  SplashForm splash(lab.ui());
  const HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  splash.setIcon(fromHicon(icon));
  splash.show();
  lab.pump();

  const HWND w = toHwnd(splash.hWnd());
  EXPECT_NE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_NE(GetWindowLongA(w, GWL_STYLE) & WS_POPUP, 0);
  EXPECT_EQ(GetWindowLongA(w, GWL_STYLE) & WS_CAPTION, 0);
  RECT frame{};
  GetWindowRect(w, &frame);
  EXPECT_EQ(frame.right - frame.left, 4680 / lab.ui().twipsPerPixelX());
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(w, WM_GETICON, ICON_BIG, 0)), icon);

  const int y = 600 / lab.ui().twipsPerPixelY();
  EXPECT_EQ(paintedPixel(w, 100, y), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(paintedPixel(w, 100, y + 5), GetSysColor(COLOR_BTNFACE));
}

// The codes of the notices a list's header sends it while act() runs, as a subclass of the list
// made with SetWindowLongA(GWL_WNDPROC) sees them (as modListView_w_Combo's window procedure does).
std::vector<int32_t> headerNotices(WindowSystem& ws, HWND list, const std::function<void()>& act) {
  const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  std::vector<int32_t> codes;
  WndProcValue previous = 0;
  const WndProcValue hook = ws.makeWndProcValue([&](Hwnd h, uint32_t msg, WParam w, LParam l) {
    const auto* nm = reinterpret_cast<const NMHDR*>(l);
    if (msg == WM_NOTIFY && nm->hwndFrom == header) codes.push_back(static_cast<int32_t>(nm->code));
    return ws.callWindowProcA(previous, h, msg, w, l);
  });
  previous = ws.setWindowLongA(fromHwnd(list), kGwlWndProc, hook);
  EXPECT_NE(previous, 0);
  act();
  EXPECT_EQ(ws.setWindowLongA(fromHwnd(list), kGwlWndProc, previous), hook);
  return codes;
}

bool has(const std::vector<int32_t>& codes, int32_t code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// A list view made with CreateWindowExA on an ANSI form has, under Wine, a header that sends it
// the Unicode forms of its notices: a divider's press is HDN_BEGINTRACKW (-326), its double click
// HDN_DIVIDERDBLCLICKW (-325). The peer has the header ask its list again, after which it sends
// the ANSI forms the list's subclass looks for: HDN_BEGINTRACKA (-306), HDN_DIVIDERDBLCLICKA
// (-305).
TEST_F(Win32UiTest, Header_DividerNoticesReachTheListsSubclassAsAnsiCodes) {
  constexpr int32_t kBeginTrackA = -306, kBeginTrackW = -326;
  constexpr int32_t kDividerDblClickA = -305, kDividerDblClickW = -325;
  WindowSystem& ws = lab.windows();

  const HWND bare = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0,
                                    300, 100, toHwnd(form.hWnd()), nullptr, nullptr, nullptr);
  LVCOLUMNA column{};
  column.mask = LVCF_WIDTH;
  column.cx = 100;
  SendMessageA(bare, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  const std::vector<int32_t> bareCodes = headerNotices(ws, bare, [&] {
    const HWND header = reinterpret_cast<HWND>(SendMessageA(bare, LVM_GETHEADER, 0, 0));
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(99, 5));
    PostMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(99, 5));
    lab.pump();
  });
  EXPECT_TRUE(has(bareCodes, kBeginTrackW));
  EXPECT_FALSE(has(bareCodes, kBeginTrackA));
  DestroyWindow(bare);

  for (const char* v : {"a", "b", "c"}) form.lvwValues.addRow(v);
  const HWND list = toHwnd(form.lvwValues.hWnd());
  const int32_t tpp = lab.ui().twipsPerPixelX();
  const auto width = [&] {
    return static_cast<int32_t>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
  };
  const int32_t before = width();

  const std::vector<int32_t> drag =
      headerNotices(ws, list, [&] { lab.dragDivider(form.lvwValues, 0, 40 * tpp); });
  EXPECT_TRUE(has(drag, kBeginTrackA));
  EXPECT_FALSE(has(drag, kBeginTrackW));
  EXPECT_EQ(width(), before + 40);
  EXPECT_EQ(form.lvwValues.columns()[0].width, (before + 40) * tpp);  // the model follows

  const std::vector<int32_t> doubleClick =
      headerNotices(ws, list, [&] { lab.doubleClickDivider(form.lvwValues, 0); });
  EXPECT_TRUE(has(doubleClick, kDividerDblClickA));
  EXPECT_FALSE(has(doubleClick, kDividerDblClickW));
  EXPECT_LT(width(), before);  // fitted to the short texts
  EXPECT_EQ(form.lvwValues.columns()[0].width, width() * tpp);
}

TEST_F(Win32UiTest, Keys_TabFollowsTheModelsOrderAndEnterEscapeAndAccessKeysPressButtons) {
  std::vector<std::string> focus;
  for (ui::Control* c : form.controls())
    c->onGotFocus = [&focus, c] { focus.push_back(c->name()); };
  form.cmdOk.setFocus();
  lab.pump();
  focus.clear();
  form.txtNumber.setEnabled(false);  // left out of the order
  lab.press(form, Key::Tab);
  lab.press(form, Key::Tab);
  lab.press(form, Key::Tab);
  lab.press(form, Key::Tab);
  lab.press(form, Key::Tab);
  lab.press(form, Key::ShiftTab);
  EXPECT_EQ(focus, (std::vector<std::string>{"cmdCancel", "chkStealth", "cboField", "lvwValues",
                                             "cmdOk", "lvwValues"}));
  EXPECT_EQ(GetFocus(), toHwnd(form.lvwValues.hWnd()));

  lab.press(form, Key::Enter);  // the default button, the focus being on the list
  EXPECT_EQ(form.okClicks, 1);
  lab.press(form, Key::Escape);
  EXPECT_EQ(form.cancelClicks, 1);

  // Alt with a button's access key presses it.
  const HWND focused = GetFocus();
  PostMessageA(focused, WM_SYSKEYDOWN, 'S', 1 | (1 << 29));
  PostMessageA(focused, WM_SYSKEYUP, 'S', 1 | (1 << 29) | (3u << 30));
  lab.pump();
  EXPECT_EQ(form.okClicks, 2);

  form.chkStealth.setFocus();
  lab.press(form, Key::Space);
  EXPECT_EQ(form.chkStealth.value(), 1);
  EXPECT_EQ(SendMessageA(toHwnd(form.chkStealth.hWnd()), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Win32UiTest, NumberOnlyBox_RefusesATypedLetter) {
  int changes = 0;
  form.txtNumber.onChange = [&] { ++changes; };
  lab.type(form.txtNumber, "12a3");
  EXPECT_EQ(form.txtNumber.text(), "123");
  EXPECT_EQ(lab.windowText(form.txtNumber.hWnd()), "123");
  EXPECT_EQ(changes, 3);
}

// The user on comdlg32's dialog, from a timer of this thread, which the dialog's own loop serves:
// reads the folder and the name it shows, then types a name and presses Open or Save (or
// cancels when there is no name to type).
struct FileDialogUser {
  std::string type;
  std::string folder;
  std::string shownName;
  bool acted = false;
};
FileDialogUser tFileUser;

BOOL CALLBACK findFileDialog(HWND w, LPARAM found) {
  char name[16] = {};
  GetClassNameA(w, name, sizeof name);
  if (IsWindowVisible(w) && std::string(name) == "#32770") *reinterpret_cast<HWND*>(found) = w;
  return TRUE;
}

void CALLBACK actOnFileDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  if (tFileUser.acted) return;
  EnumThreadWindows(GetCurrentThreadId(), &findFileDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) return;
  tFileUser.acted = true;
  char text[MAX_PATH] = {};
  SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof text, reinterpret_cast<LPARAM>(text));
  tFileUser.folder = text;
  text[0] = '\0';
  SendMessageA(dialog, CDM_GETSPEC, sizeof text, reinterpret_cast<LPARAM>(text));
  tFileUser.shownName = text;
  if (tFileUser.type.empty()) {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  // The name box is cmb13 in the explorer-style dialog, edt1 in older templates.
  for (const int box : {cmb13, edt1})
    SendMessageA(dialog, CDM_SETCONTROLTEXT, box, reinterpret_cast<LPARAM>(tFileUser.type.c_str()));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(Win32UiTest, FileDialog_StartsInItsFolderOnItsNameAndTellsTheChoiceOrTheCancel) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "morvane-file-dialog";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string existing = folder + "\\Rules.ini";
  CloseHandle(CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  const auto show = [&](bool save, const std::string& type) {
    tFileUser = {type, {}, {}, false};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &actOnFileDialog);
    const auto chosen = lab.ui().showFileDialog(
        form, ui::FileDialogRequest{save, "ini Files (*.ini)|*.ini", folder, "Rules.ini"});
    KillTimer(nullptr, timer);
    return chosen;
  };

  const auto opened = show(false, existing);
  EXPECT_TRUE(tFileUser.acted);
  EXPECT_EQ(tFileUser.folder, folder);
  EXPECT_EQ(tFileUser.shownName, "Rules.ini");
  EXPECT_EQ(opened, existing);

  EXPECT_EQ(show(false, ""), std::nullopt) << "cancelled";
  EXPECT_EQ(show(true, folder + "\\Copy.ini"), folder + "\\Copy.ini");

  DeleteFileA(existing.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST_F(Win32UiTest, ModalForm_DisablesTheOthersUntilItIsHidden) {
  ui::Form dialog(lab.ui(), "frmDialog");
  dialog.clientWidth = 3000;
  dialog.clientHeight = 2000;
  bool ownerDisabled = false;
  bool ran = false;
  lab.whenModal([&] {
    ran = true;
    ownerDisabled = !IsWindowEnabled(toHwnd(form.hWnd()));
    dialog.hide();
  });
  dialog.show(true);  // returns once the loop has ended
  EXPECT_TRUE(ran);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(toHwnd(form.hWnd())));
  EXPECT_FALSE(IsWindowVisible(toHwnd(dialog.hWnd())));
}

// How much ink the list view puts into a row's label as it paints it.
int inkOfRow(HWND list, int row) {
  RECT r{};
  r.left = LVIR_LABEL;
  SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
  RECT client{};
  GetClientRect(list, &client);
  HDC screen = GetDC(list);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  // Darkness, not a count of dark pixels: the bold face may be smoothed with grey.
  int ink = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      ink += 765 - (GetRValue(c) + GetGValue(c) + GetBValue(c));
    }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(list, screen);
  return ink;
}

TEST_F(Win32UiTest, ListRows_TakeTheHeightOfThePictureListAndBoldRowsDrawBold) {
  const HWND list = toHwnd(form.lvwValues.hWnd());
  form.lvwValues.addRow("Value");
  form.lvwValues.addRow("Value");
  EXPECT_EQ(inkOfRow(list, 0), inkOfRow(list, 1));
  form.lvwValues.setBold(0, true);
  const int32_t plain = form.lvwValues.rowTop(1) - form.lvwValues.rowTop(0);
  EXPECT_LT(plain, 32 * lab.ui().twipsPerPixelY());
  form.lvwValues.setSmallIconHeight(32);
  // Wine's list view pads the picture's height by a pixel.
  EXPECT_EQ(form.lvwValues.rowTop(1) - form.lvwValues.rowTop(0),
            (32 + 1) * lab.ui().twipsPerPixelY());

  const int bold = inkOfRow(list, 0);
  const int regular = inkOfRow(list, 1);
  EXPECT_GT(bold, regular);
}

}  // namespace
}  // namespace morvane::win32
