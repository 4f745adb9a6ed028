// Every form of Morvane on real windows, at 96, 120 and 144 DPI: no control cuts its text off,
// neither a caption too wide for its button, box or label nor a label that wraps into more lines
// than it has room for. Each DPI is a copy of this program started after the user's DPI setting
// was changed, as Windows reads it when a program starts. The forms are those the editor shows:
// the splash, the rule editor (against the ACT! stand-in), the settings dialog and the
// integration dialog in English and French. MorvaneAuto shows no form of its own.
//
// The fonts are the system's: under Wine, scripts/wine-session installs fonts with the metrics of
// Windows' dialog font; without them this test shows which captions would be cut.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/frmIntegrate.h"
#include "editor/frmLocations.h"
#include "editor/frmMain.h"
#include "editor/morvane_program.h"
#include "hostwin/standin_client.h"
#include "tests/win32/support/scratch.h"

// windows.h last (see win32_base.h).
#include "apps/win32_program.h"
#include "platform/win32/win32_ui.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/program_settings.h"

namespace morvane::wintest {
namespace {

constexpr const char* kDesktop = "Control Panel\\Desktop";

std::string classOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::wstring textOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The size the text takes in the window's font: on one line, or wrapped at the given width.
SIZE textSize(HWND window, const std::wstring& text, int wrapWidth, UINT prefix) {
  HDC dc = GetDC(window);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
  RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | prefix | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return {r.right - r.left, r.bottom - r.top};
}

// The font a window draws with: its face and size, for the report.
std::string fontOf(HWND window) {
  HDC dc = GetDC(window);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc, sizeof face, face);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return std::string(face) + " " + std::to_string(metrics.tmHeight) + " px high, " +
         std::to_string(metrics.tmAveCharWidth) + " px wide";
}

struct Clipped {
  std::string form;
  std::string text;
  std::string font;
  SIZE needs;
  SIZE has;
};

BOOL CALLBACK collectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// The controls of a form whose text does not fit them.
std::vector<Clipped> clippedIn(HWND form, const std::string& formName) {
  std::vector<Clipped> found;
  std::vector<HWND> children;
  EnumChildWindows(form, &collectChild, reinterpret_cast<LPARAM>(&children));
  const int check = GetSystemMetrics(SM_CXMENUCHECK);
  const int edge = GetSystemMetrics(SM_CXEDGE);
  for (HWND w : children) {
    const std::wstring text = textOf(w);
    if (text.empty() || !IsWindowVisible(w)) continue;
    const std::string cls = classOf(w);
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    RECT client{};
    GetClientRect(w, &client);
    const SIZE has{client.right, client.bottom};
    const UINT prefix = (style & SS_NOPREFIX) != 0 && cls == "Static" ? DT_NOPREFIX : 0;
    SIZE needs{};
    if (cls == "Static") {
      const bool wraps = (style & SS_TYPEMASK) == SS_LEFT || (style & SS_TYPEMASK) == SS_CENTER ||
                         (style & SS_TYPEMASK) == SS_RIGHT;
      needs = textSize(w, text, wraps ? has.cx : 0, prefix);
    } else if (cls == "Button") {
      const LONG kind = style & BS_TYPEMASK;
      if (kind == BS_GROUPBOX) {
        // The caption sits on the frame, a few pixels in from either side.
        needs = textSize(w, text, 0, 0);
        needs.cx += 4 * edge;
        needs.cy = 0;
      } else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
                 kind == BS_AUTORADIOBUTTON) {
        const bool multiline = (style & BS_MULTILINE) != 0;
        needs = textSize(w, text, multiline ? has.cx - check - 2 * edge : 0, 0);
        needs.cx += check + 2 * edge;
      } else {
        // The button's border and the focus rectangle's margin around the caption, which wraps
        // in a multi-line button.
        const bool multiline = (style & BS_MULTILINE) != 0;
        needs = textSize(w, text, multiline ? has.cx - 4 * edge : 0, 0);
        needs.cx += 4 * edge;
        needs.cy += 2 * edge;
      }
    } else {
      continue;  // boxes and lists scroll their text
    }
    if (needs.cx > has.cx || needs.cy > has.cy) {
      char ansi[512] = {};
      WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
      found.push_back({formName, ansi, fontOf(w), needs, has});
    }
  }
  return found;
}

// One DPI: the forms shown one after the other, each checked; the exit code counts the controls
// that cut their text, and each is printed.
MORVANE_CHILD_MODE(fit) {
  const int expectedDpi = std::atoi(std::getenv("MORVANE_FIT_DPI"));
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi != expectedDpi) {
    std::printf("the screen has %d DPI, not %d\n", dpi, expectedDpi);
    return 100;
  }
  win32::Win32Platform platform;
  win32::Win32Ui ui(platform.windows);
  MorvaneProgram program(platform.services, ui);
  std::vector<Clipped> clipped;
  const auto check = [&](ui::Form& form, const std::string& name) {
    form.refresh();
    const auto found = clippedIn(reinterpret_cast<HWND>(form.hWnd()), name);
    clipped.insert(clipped.end(), found.begin(), found.end());
  };
  {
    frmSplash splash(ui);
    splash.show();
    check(splash, "frmSplash");
  }
  frmMain editor(program);
  editor.show();
  check(editor, "frmMain");
  {
    frmLocations settings(program);
    settings.show();
    check(settings, "frmLocations");
  }
  for (const int16_t language : {0, 1}) {
    clsFrmIntegrate integration(program);
    integration.AppName = "Mo&rvane";
    integration.Language = language;
    integration.show();
    check(integration, language == 0 ? "frmIntegrate" : "frmIntegrate (French)");
  }
  for (const Clipped& c : clipped)
    std::printf("%d DPI, %s: \"%s\" needs %ldx%ld pixels, has %ldx%ld (%s)\n", dpi, c.form.c_str(),
                c.text.c_str(), c.needs.cx, c.needs.cy, c.has.cx, c.has.cy, c.font.c_str());
  std::fflush(stdout);
  return static_cast<int>(clipped.size());
}

// The user's DPI setting, changed for the test and put back afterwards.
class UserDpi {
 public:
  UserDpi() {
    DWORD size = sizeof m_old;
    m_had = RegGetValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", RRF_RT_REG_DWORD, nullptr,
                         &m_old, &size) == ERROR_SUCCESS;
  }
  ~UserDpi() {
    if (m_had)
      set(m_old);
    else
      RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels");
  }
  UserDpi(const UserDpi&) = delete;
  UserDpi& operator=(const UserDpi&) = delete;
  static void set(DWORD dpi) {
    RegSetKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
  }

 private:
  DWORD m_old = 96;
  bool m_had = false;
};

TEST(FormTextFit, NoControlCutsItsTextAt96120And144Dpi) {
  ScratchFolder folder("morvane-fit");
  ProgramSettings settings;
  settings.set(settings::kIniLocation, folder.file("Morvane.ini"));
  const std::string standIn =
      quotedPath(selfPath().substr(0, selfPath().find_last_of('\\')) + "\\ActStandIn.exe");
  ASSERT_EQ(runToEnd(standIn + " /regserver"), 0u);
  struct Unregister {
    std::string standIn;
    ~Unregister() { runToEnd(standIn + " /unregserver"); }
  } unregister{standIn};
  hostwin::StandInProcess act;
  UserDpi restore;
  for (const int dpi : {96, 120, 144}) {
    UserDpi::set(static_cast<DWORD>(dpi));
    ScopedEnvironmentVariable expected("MORVANE_FIT_DPI", std::to_string(dpi));
    EXPECT_EQ(runChildMode("fit", {}, std::chrono::seconds(60)), 0u)
        << dpi << " DPI (the controls are listed above)";
  }
}

}  // namespace
}  // namespace morvane::wintest
