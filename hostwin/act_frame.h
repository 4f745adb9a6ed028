// ACT!'s windows as real Win32 windows, in the shapes of the simulated ACT!'s
// (hostsim::ActWindows): the frame, the record view with its filler fields, the status bar with the
// layout and lookup buttons, and one pop-up list box per button. A click on a button opens its
// pop-up above it and the next click closes it; Enter in the open layout list applies the selected
// layout.
//
// Every window of the tree runs through one window procedure, which counts the messages other
// processes send or post to the tree (the benchmark's measure of how hard a client works ACT!).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>

#include "hostsim/act_sim.h"
#include "hostsim/act_window_shape.h"

// windows.h last (see win32_base.h).
#include "platform/win32/win32_base.h"

namespace morvane::hostwin {

// Messages the tree received from other processes since the last reset.
struct MessageCounts {
  uint64_t sent = 0;    // by another thread through SendMessage and its variants
  uint64_t posted = 0;  // taken from the queue; the system's own (paint, timers, mouse) excluded
};

class ActFrame {
 public:
  // The windows show act's layouts and current record; fillers is the number of filler fields.
  ActFrame(HINSTANCE instance, hostsim::ActSim& act, int fillers);
  ~ActFrame();
  ActFrame(const ActFrame&) = delete;
  ActFrame& operator=(const ActFrame&) = delete;

  // What the windows hand to the program.
  std::function<LRESULT(HWND sender, const COPYDATASTRUCT& data)> onCopyData;
  std::function<void()> onCloseRequested;  // WM_CLOSE: the user closes ACT!
  std::function<void()> onDestroyed;       // the frame is gone
  std::function<void(UINT key)> onKey;     // a key pressed in the record view
  std::function<void()> onQueuedWork;      // what postQueuedWork announced
  std::function<void()> onButtonClicked;   // a status-bar button was clicked, before it acts
  std::function<void()> onLayoutSearch;    // the layout list is searched, before it answers

  // Has the frame call onQueuedWork from the message loop, after what is queued before it.
  void postQueuedWork();

  // Creates the windows, hidden (ACT! starts), shows them once the program is ready for clients,
  // and destroys them (ACT! closes). destroy may run inside one of the windows' own message
  // handlers.
  void create();
  void show();
  void destroy();
  bool isOpen() const { return m_frame != nullptr && IsWindow(m_frame); }

  HWND frame() const { return m_frame; }

  // Shows the current layout on the layout button and in the title.
  void showLayout();
  // Refills the layout list from act's layouts (after they change).
  void refreshLayoutList();
  // Repaints the record view (after the record, the view or the database changed).
  void showRecord();

  // Called by the message loop for each message it takes from the queue.
  void notePosted(const MSG& msg);
  const MessageCounts& counts() const { return m_counts; }
  void resetCounts() { m_counts = {}; }

 private:
  enum class Role { Frame, View, StatusBar, Button, List, Filler };
  // One window of the tree: its role and the procedure it had before it was subclassed.
  struct Subclass {
    ActFrame* owner = nullptr;
    Role role = Role::Filler;
    size_t index = 0;  // buttons and lists: kLayout or kLookup
    WNDPROC original = nullptr;
    bool swapped = false;  // the window procedure was replaced (and is put back on destruction)
  };
  static constexpr UINT kQueuedWorkMessage = WM_APP + 1;
  static constexpr size_t kLayout = 0;  // the layout button and its list
  static constexpr size_t kLookup = 1;

  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handle(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handleFrame(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handleView(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handleList(Subclass& window, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  void registerClasses();
  HWND createChild(const char* className, const char* text, DWORD style, int x, int y, int width,
                   int height, HWND parent, int id);
  void attach(HWND hwnd, Role role, size_t index = 0);
  bool isOwnWindow(HWND hwnd) const;
  void layOut();
  bool isPopupOpen(HWND list) const;
  void togglePopup(size_t index);
  void choose(size_t index);
  void paintView(HWND view);

  HINSTANCE m_instance;
  hostsim::ActSim& m_act;
  int m_fillers;
  ATOM m_frameClass = 0;
  ATOM m_viewClass = 0;
  HFONT m_font = nullptr;  // a stock font, not deleted
  HWND m_frame = nullptr;
  HWND m_view = nullptr;
  HWND m_statusBar = nullptr;
  std::array<HWND, 2> m_buttons{};
  std::array<HWND, 2> m_lists{};
  // Stable addresses: each window keeps a pointer to its entry. Entries outlive their windows
  // until the next create, because destroy can run inside a window's own handler.
  std::deque<Subclass> m_subclasses;
  bool m_inForeignSend = false;  // handling a message another program sent
  MessageCounts m_counts;
};

}  // namespace morvane::hostwin
