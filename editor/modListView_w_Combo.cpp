#include "editor/modListView_w_Combo.h"

#include "platform/win_constants.h"

namespace morvane {

void modListView_w_Combo::Hook() {
  m_trap.run("in modListView_w_Combo: Sub Hook", [&](int& line) {
    line = 1;
    if (m_ownProc == 0) {
      m_ownProc = m_windows.makeWndProcValue(
          [this](Hwnd h, uint32_t msg, WParam w, LParam l) { return WindowProc(h, msg, w, l); });
    }
    OldWindowProc = m_windows.setWindowLongA(lvwHandle, win::GWL_WNDPROC, m_ownProc);
  });
}

void modListView_w_Combo::Unhook() {
  m_trap.run("in modListView_w_Combo: Sub Unhook", [&](int& line) {
    line = 1;
    m_windows.setWindowLongA(lvwHandle, win::GWL_WNDPROC, OldWindowProc);
  });
}

void modListView_w_Combo::hideChooser() {
  if (cboFloating != nullptr && cboFloating->visible()) cboFloating->setVisible(false);
}

LResult modListView_w_Combo::WindowProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  LResult result = 0;
  m_trap.run("in modListView_w_Combo: Function WindowProc", [&](int& line) {
    line = 1;
    if (msg == win::WM_NOTIFY) {
      line = 2;
      const NotifyHeader header = m_windows.copyNotifyHeader(lParam);
      line = 3;
      switch (header.code) {
        case hdn::kBeginTrackA:
        case hdn::kDividerDblClickA:
        case hdn::kBeginTrackW:
        case hdn::kDividerDblClickW:
          hideChooser();
          break;
        default:
          break;
      }
    } else if (msg == win::WM_VSCROLL || msg == win::WM_HSCROLL || msg == win::WM_MOUSEWHEEL) {
      // The rows or the columns move under the chooser (the wheel scrolls without a WM_VSCROLL).
      line = 4;
      hideChooser();
    }
  });
  // The message goes on even when looking at it failed: the list never loses one.
  m_trap.run("in modListView_w_Combo: Function WindowProc", [&](int& line) {
    line = 5;
    result = m_windows.callWindowProcA(OldWindowProc, hwnd, msg, wParam, lParam);
  });
  return result;
}

}  // namespace morvane
