// The user-interface port on the simulated desktop. Every form is a top-level window and every
// windowed control a child window of it, under the class names the Basic runtime gives them, so
// handles, styles and subclassing are real. The windows' own procedures play the controls: they
// turn the mouse and keyboard messages a simulated user sends into the model's events, and send
// the notifications Windows would (a list view's header tells the list of divider drags).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/sim/sim_desktop.h"
#include "platform/ui.h"
#include "platform/win_constants.h"

namespace morvane::sim {

// What a combo box's dropped-down list tells its combo box when the user clicks an entry (wParam:
// the entry's index). Only the simulated combo box understands it.
inline constexpr uint32_t kComboListPicked = 0x8000 + 0x101;  // WM_APP + 0x101

// The notification a header sends its list view in WM_NOTIFY, in the 32-bit layout: the 12-byte
// NMHDR (header window, control id, code) and then the column and the mouse button.
struct HeaderNotification {
  uint32_t hwndFrom = 0;
  uint32_t idFrom = 0;
  int32_t code = 0;
  int32_t item = 0;
  int32_t button = 0;
  uint32_t itemInfo = 0;  // no HDITEM is passed
};
static_assert(sizeof(HeaderNotification) == 24);

class SimUi : public ui::Ui {
 public:
  SimUi(SimDesktop& desktop, Host& host);
  ~SimUi() override;

  std::unique_ptr<ui::FormPeer> createForm(ui::Form& form) override;
  std::unique_ptr<ui::ControlPeer> createControl(ui::Form& form, ui::Control& control) override;
  // The metrics of a classic Windows desktop at 96 DPI, 1024 x 768.
  int32_t systemMetrics(int32_t index) override;
  int32_t twipsPerPixelX() override { return m_host.twipsPerPixelX(); }
  int32_t twipsPerPixelY() override { return m_host.twipsPerPixelY(); }
  // Answered from answerFileDialog; cancelled when no answer is queued.
  std::optional<std::string> showFileDialog(ui::Form& owner,
                                            const ui::FileDialogRequest& request) override;

  // --- Simulation control; not part of the port ---
  SimDesktop& desktop() { return m_desktop; }
  // The next modal loop to start runs this once inside it: the user acting on the modal form.
  void whenModal(std::function<void()> user) { m_modalUsers.push_back(std::move(user)); }
  // The form whose modal loop runs now (the innermost), as the user sees it; nullptr for none.
  ui::Form* modalForm() const { return m_modalForms.empty() ? nullptr : m_modalForms.back(); }
  // The user's answer to the next file dialog: a full path, or nullopt to cancel.
  void answerFileDialog(std::optional<std::string> path) {
    m_fileAnswers.push_back(std::move(path));
  }
  // Every file dialog shown, in order.
  const std::vector<ui::FileDialogRequest>& fileDialogs() const { return m_fileDialogs; }
  // Modal loops that found no user action left and returned with their form still shown.
  int unansweredModals() const { return m_unansweredModals; }
  // The window with the keyboard focus; 0 for none.
  Hwnd focus() const { return m_focus; }
  // SetFocus: WM_KILLFOCUS to the window that loses the focus, WM_SETFOCUS to the one that gets it.
  void setFocus(Hwnd hwnd);
  // The shift keys the user holds down (ui::shift bits), as the windows read them from the
  // keyboard.
  int16_t heldKeys = 0;
  // The clipboard's text, which WM_PASTE puts into a text box.
  std::string clipboard;

  // Screen conversions: a length in twips to whole pixels (nearest), and the pixel a point in
  // twips lies in.
  int32_t pixelsX(int32_t twips) { return toPixels(twips, twipsPerPixelX()); }
  int32_t pixelsY(int32_t twips) { return toPixels(twips, twipsPerPixelY()); }
  static int32_t toPixels(int32_t twips, int32_t perPixel);
  static int32_t pixelAt(int32_t twips, int32_t perPixel);

  // Called by the peers. A key the form handles itself: Tab and Shift+Tab move the focus in tab
  // order, Enter presses the focused or the default button, Escape the cancel button.
  void formKey(ui::Form& form, uint32_t virtualKey);
  std::optional<std::function<void()>> takeModalUser();
  void modalStarted(ui::Form& form) { m_modalForms.push_back(&form); }
  void modalEnded(bool answered);
  void formCreated(Hwnd hwnd) { m_forms.push_back(hwnd); }
  void formDestroyed(Hwnd hwnd);
  void windowDestroyed(Hwnd hwnd);
  // Disables the other forms' windows for a modal form; returns those it disabled.
  std::vector<Hwnd> disableOtherForms(Hwnd modal);
  void enableForms(const std::vector<Hwnd>& forms);

 private:
  SimDesktop& m_desktop;
  Host& m_host;
  std::deque<std::function<void()>> m_modalUsers;
  std::vector<ui::Form*> m_modalForms;
  std::deque<std::optional<std::string>> m_fileAnswers;
  std::vector<ui::FileDialogRequest> m_fileDialogs;
  int m_unansweredModals = 0;
  Hwnd m_focus = 0;
  std::vector<Hwnd> m_forms;
};

// A menu entry's command identifier in its form (WM_COMMAND's low word), found by the captions on
// the way to it; none when no entry has those captions.
std::optional<uint32_t> menuCommand(const ui::Form& form, const std::vector<std::string>& captions);
const ui::Menu* menuByCommand(const ui::Form& form, uint32_t command);

// The list view's window: a report view with a header child window, a top row and a horizontal
// scroll offset. Geometry here is in pixels of the list's client area.
class SimListViewPeer : public ui::ListViewPeer {
 public:
  SimListViewPeer(SimUi& ui, ui::Form& form, ui::ListView& list);
  ~SimListViewPeer() override;

  Hwnd hwnd() const override { return m_hwnd; }
  void update(ui::Change what) override;
  void setFocus() override;
  void destroy() override;
  std::optional<size_t> hitTest(int32_t x, int32_t y) override;
  int32_t rowTop(size_t row) override;
  int32_t scrollLeft() override;
  void ensureVisible(size_t row, size_t column) override;

  Hwnd headerHwnd() const { return m_header; }
  size_t topRow() const { return m_top; }
  int32_t scrollX() const { return m_scrollX; }
  int32_t rowHeight() const;
  int32_t headerHeight() const;
  // Where the divider at the right of a column shows now, in the header's (and list's) x.
  int32_t dividerX(size_t column) const;

 private:
  struct Binding;
  LResult listProc(Hwnd h, uint32_t msg, WParam wParam, LParam lParam);
  LResult headerProc(Hwnd h, uint32_t msg, WParam wParam, LParam lParam);
  LResult notifyList(int32_t code, size_t column);
  int32_t columnPixels(size_t column) const;
  int32_t clientWidth() const;
  int32_t clientHeight() const;
  // The scroll bars the rows and columns call for; each takes room from the other's way.
  struct Bars {
    bool vertical = false;
    bool horizontal = false;
  };
  Bars bars() const;
  // The part of the client area the rows show in: without the scroll bars (and the header).
  int32_t viewWidth() const;
  int32_t viewHeight() const;
  size_t visibleRows() const;
  size_t maxTop() const;
  // The top row that shows the row whole, moving as little as can be.
  size_t topShowing(size_t row) const;
  int32_t maxScrollX() const;
  void scrollTo(size_t top, int32_t x);
  void autoSize(size_t column);
  std::optional<size_t> dividerAt(int32_t x) const;
  void placeWindows();

  SimUi& m_ui;
  ui::Form& m_form;
  ui::ListView& m_list;
  Hwnd m_hwnd = 0;
  Hwnd m_header = 0;
  size_t m_top = 0;
  int32_t m_scrollX = 0;
  struct Track {
    size_t column = 0;
    int32_t startX = 0;
    int32_t startWidth = 0;
  };
  std::optional<Track> m_track;
  std::shared_ptr<Binding> m_binding;
};

}  // namespace morvane::sim
