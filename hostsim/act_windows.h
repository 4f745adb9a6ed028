// ACT!'s windows on the simulated desktop: the main frame, its status bar with the layout
// button and further buttons, and one pop-up list box per button. A click on a button opens its
// pop-up and the next click closes it; Enter in the open layout list applies the selected layout.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hostsim/act_window_shape.h"
#include "platform/sim/sim_desktop.h"

namespace morvane::hostsim {

// The layouts ACT! offers and the one it shows; shared with ACT!'s automation side.
struct ActLayoutState {
  std::vector<std::string> names;
  std::string current;
  std::vector<std::string> applied;  // every layout applied, in order
  // Told after each layout is applied (ACT! then raises its layout event).
  std::function<void()> onApplied = nullptr;
};

// The odd shapes ACT!'s windows can take, for tests.
struct ActWindowOptions {
  std::string frameClass{shape::kFrameClass};
  bool statusBar = true;
  bool statusBarVisible = true;
  // Left edges (status-bar client coordinates) of the status-bar buttons, in creation order.
  std::vector<int32_t> buttonLefts{shape::kButtonLefts.begin(), shape::kButtonLefts.end()};
  // Which button the layout pop-up belongs to; -1 means the leftmost (the later one on a tie).
  int layoutButton = -1;
  // Added to the layout list's style (e.g. LBS_SORT), which takes it out of the accepted styles.
  uint32_t extraLayoutListStyle = 0;
  // The layout pop-up opens at screen left 0 instead of above its button.
  bool layoutListAtLeftZero = false;
  // More layouts than this give the list a vertical scroll bar.
  size_t visibleEntries = shape::kVisibleEntries;
  // ACT! destroys its layout list as soon as an entry is selected, so posting to it fails.
  bool destroyListOnSelect = false;
  // Filler child windows (a view with controls) to make the tree as large as a real one.
  int fillerWindows = shape::kDefaultFillers;
  // Where the frame sits on the screen.
  int32_t frameLeft = 0;
  int32_t frameTop = 0;
};

class ActWindows {
 public:
  ActWindows(sim::SimDesktop& desktop, ActLayoutState& layouts, ActWindowOptions options = {});
  ~ActWindows();
  ActWindows(const ActWindows&) = delete;
  ActWindows& operator=(const ActWindows&) = delete;

  // Creates ACT!'s windows (ACT! starts) / destroys them (ACT! closes).
  void open();
  void close();
  bool isOpen() const { return m_frame != 0 && m_desktop.isWindow(m_frame); }

  sim::SimDesktop& desktop() { return m_desktop; }
  Hwnd frame() const { return m_frame; }
  Hwnd statusBar() const { return m_statusBar; }
  const std::vector<Hwnd>& buttons() const { return m_buttons; }
  Hwnd layoutButton() const;
  Hwnd layoutList() const;
  const std::vector<Hwnd>& popupLists() const { return m_lists; }
  bool isPopupOpen(Hwnd list) const;

  // Refills the layout list from the shared names (after they change).
  void refreshLayoutList();
  const std::string& currentLayout() const { return m_layouts.current; }

  // Paints ACT! made while painting was allowed, paints it had to hold back, and full repaints
  // of the main window.
  int visiblePaints() const { return m_visiblePaints; }
  int heldBackPaints() const { return m_heldBackPaints; }
  int framePaints() const { return m_framePaints; }

 private:
  LResult frameProc(Hwnd h, uint32_t msg, WParam w, LParam l);
  LResult statusBarProc(Hwnd h, uint32_t msg, WParam w, LParam l);
  LResult listProc(size_t index, Hwnd h, uint32_t msg, WParam w, LParam l);
  void togglePopup(size_t index);
  void paint(Hwnd what);
  uint32_t layoutListStyle() const;
  size_t layoutIndex() const;

  sim::SimDesktop& m_desktop;
  ActLayoutState& m_layouts;
  ActWindowOptions m_options;
  Hwnd m_frame = 0;
  Hwnd m_statusBar = 0;
  std::vector<Hwnd> m_buttons;
  std::vector<Hwnd> m_lists;  // m_lists[i] is the pop-up of m_buttons[i]
  int m_visiblePaints = 0;
  int m_heldBackPaints = 0;
  int m_framePaints = 0;
};

}  // namespace morvane::hostsim
