// modListView_w_Combo: the rule list's window subclassed, so that the in-place layout chooser
// goes away when the list scrolls (by its scroll bars or the wheel) or a column divider is
// dragged or double-clicked.
#pragma once

#include <cstdint>

#include "platform/error_trap.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace morvane {

// The header's notifications that hide the chooser: a divider drag starts, a divider is
// double-clicked; in the ANSI form and in the Unicode form a list view may ask its header for.
namespace hdn {
inline constexpr int32_t kBeginTrackA = -306;
inline constexpr int32_t kDividerDblClickA = -305;
inline constexpr int32_t kBeginTrackW = -326;
inline constexpr int32_t kDividerDblClickW = -325;
}  // namespace hdn

class modListView_w_Combo {
 public:
  modListView_w_Combo(WindowSystem& windows, const ErrorTrap& trap)
      : m_windows(windows), m_trap(trap) {}
  modListView_w_Combo(const modListView_w_Combo&) = delete;
  modListView_w_Combo& operator=(const modListView_w_Combo&) = delete;

  // Set by the editor before Hook: the rule list's window and the chooser.
  Hwnd lvwHandle = 0;
  ui::ComboBox* cboFloating = nullptr;
  // The rule list's procedure before Hook.
  WndProcValue OldWindowProc = 0;

  void Hook();
  // Gives the rule list its own procedure back; the list must not go while hooked.
  void Unhook();
  // The rule list's procedure while hooked: every message goes on to the previous one.
  LResult WindowProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam);

 private:
  void hideChooser();

  WindowSystem& m_windows;
  const ErrorTrap& m_trap;
  WndProcValue m_ownProc = 0;
};

}  // namespace morvane
