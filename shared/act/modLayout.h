// Finding ACT!'s windows and choosing a layout through ACT!'s own layout pop-up.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/error_trap.h"
#include "platform/window_system.h"

namespace morvane {

// The handles of ACT!'s windows, valid only right after FindWindows; 0 means not found.
struct WindowSet {
  Hwnd MainHandle = 0;
  Hwnd StatusBarHandle = 0;
  Hwnd ButtonHandle = 0;
  Hwnd ListHandle = 0;
  std::vector<Hwnd> StatusButtons;
  // Working lists of a search; entry k of one belongs to entry k of the other.
  std::vector<Rect> CandidateRects;
  std::vector<Hwnd> CandidateHandles;
};

// A window under ACT!'s frame as one search saw it. A window's class never changes, so the class
// read once serves every pass of the search.
struct ChildWindow {
  Hwnd hwnd = 0;
  std::string className;
};

// The four complete styles of ACT!'s layout pop-up list box.
bool isLayoutListStyle(int32_t style);
// Whether a top-level window of this class is ACT!'s main frame: "ACT3.0FrameClass" anywhere in
// the name, letter case ignored.
bool isActFrameClass(std::string_view className);

class modLayout {
 public:
  modLayout(WindowSystem& windows, const ErrorTrap& trap) : m_windows(windows), m_trap(trap) {}
  modLayout(const modLayout&) = delete;
  modLayout& operator=(const modLayout&) = delete;

  // Each program's record of ACT!'s windows, rebuilt by every FindWindows.
  WindowSet ActWindowSet;

  // Selects the layout by name: "" on success, otherwise a complete message for the user.
  std::string SelectLayout(std::string name);
  // The names in ACT!'s layout list, in its order.
  std::vector<std::string> EnumLayouts();

  void FindWindows();
  int32_t EnumMain(Hwnd hwnd, LParam lParam);
  // The passes over the windows under the frame, each called with a window and its class; 0
  // ends the pass.
  int32_t EnumStatusBar(Hwnd hwnd, const std::string& windowClass);
  int32_t EnumButton(Hwnd hwnd, const std::string& windowClass);
  int32_t EnumList(Hwnd hwnd, const std::string& windowClass);
  static Hwnd GetButtonHandle(const std::vector<Rect>& rects, const std::vector<Hwnd>& handles);
  Hwnd GetListHandle(std::vector<Hwnd> handles);
  void RefreshList();
  void LockWindow();
  void UnLockWindow();

 private:
  using Pass = int32_t (modLayout::*)(Hwnd, const std::string&);

  std::string className(Hwnd hwnd);
  // Every window under the frame with its class, in EnumChildWindows' order: one walk of the tree
  // and one class read per window, however many passes follow.
  std::vector<ChildWindow> childWindows(Hwnd frame);
  // Runs a pass over the windows in order until it returns 0, as EnumChildWindows runs its
  // callback.
  void runPass(const std::vector<ChildWindow>& children, Pass pass);
  // Appends the window and its screen rectangle to the candidate lists.
  void addCandidate(Hwnd hwnd);

  WindowSystem& m_windows;
  const ErrorTrap& m_trap;
};

}  // namespace morvane
