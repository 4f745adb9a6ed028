#include "trayicon/mdlNubrix.h"

#include <algorithm>

namespace morvane::mdlNubrix {

namespace {
// Per thread by contract: controls on one thread share which image is showing.
thread_local Hicon t_currentIcon = 0;
}  // namespace

Hicon currentIcon() {
  return t_currentIcon;
}

void setCurrentIcon(Hicon handle) {
  t_currentIcon = handle;
}

void TrayNotify(TrayShell& shell, uint32_t action, Hwnd hwnd, std::string_view tip) {
  NotifyIconDataA data;
  data.cbSize = win::NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = hwnd;
  data.uID = kIconId;
  data.uFlags = kFlags;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = t_currentIcon;
  const size_t n = std::min(tip.size(), kMaxTipLength);
  std::copy_n(tip.begin(), n, data.szTip);
  data.szTip[n] = '\0';
  shell.shellNotifyIconA(action, data);
}

}  // namespace morvane::mdlNubrix
