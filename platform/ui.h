// The user-interface port: forms and their controls as model objects, each with a peer on the
// platform it runs on (windows of the simulated desktop, or real windows on Windows).
//
// The logic sees only the model. A form owns its controls as members and registers them in its
// constructor; geometry is in twips, in the form's client coordinates. Setting a property updates
// the model and tells the peer, which shows it. What the user does reaches the model through the
// same setters the code uses, so events are raised one way whoever made the change (as Basic
// raises Click when code sets a combo box's ListIndex or a check box's Value).
//
// Without a peer (a form that is not loaded) a control is a plain model object: its properties
// hold, its events are raised, and what only a window can answer (a list view's hit test) finds
// nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_system.h"

namespace morvane::ui {

// Position and size in twips.
struct Box {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const Box&, const Box&) = default;
};

struct Font {
  std::string name = "MS Sans Serif";
  double size = 8.25;  // points
  bool bold = false;
  friend bool operator==(const Font&, const Font&) = default;
};

// Mouse buttons and shift keys as Basic's MouseUp reports them.
namespace mouse {
inline constexpr int16_t kLeft = 1;
inline constexpr int16_t kRight = 2;
inline constexpr int16_t kMiddle = 4;
}  // namespace mouse
namespace shift {
inline constexpr int16_t kShift = 1;
inline constexpr int16_t kCtrl = 2;
inline constexpr int16_t kAlt = 4;
}  // namespace shift

// What changed in a model, for its peer to show.
enum class Change {
  Box,
  Visible,
  Enabled,
  Text,  // caption or text
  Font,
  Value,      // check box state
  Items,      // list entries added, removed or cleared
  Selection,  // combo box ListIndex, list view selected row
  Columns,    // list view column headers or widths
  Cells,      // list view row texts, bold, sub-items
  RowHeight,  // list view small-icon list
  Icon,       // form icon
  Menus,      // form menus
};

class Control;
class Form;
class Frame;
class ListView;

// A control's platform side.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  // The control's own window; 0 for windowless controls (label, line).
  virtual Hwnd hwnd() const = 0;
  virtual void update(Change what) = 0;
  virtual void setFocus() = 0;
  // Destroys the window. The peer object itself lives on until the form is loaded again or goes:
  // a control's own event may unload its form.
  virtual void destroy() = 0;
};

// What only the list view's window knows.
class ListViewPeer : public ControlPeer {
 public:
  // The row at a point in twips relative to the list (its scroll position included), or none.
  virtual std::optional<size_t> hitTest(int32_t x, int32_t y) = 0;
  // A row's top in twips relative to the list, as it shows now (scrolled rows included).
  virtual int32_t rowTop(size_t row) = 0;
  // How far the list is scrolled sideways, in twips.
  virtual int32_t scrollLeft() = 0;
  // Scrolls the list where need be: the row then shows whole, and the column as much of it as
  // the list can show, its left edge first.
  virtual void ensureVisible(size_t row, size_t column) = 0;
};

// A form's platform side: its window and the peers of its controls.
class FormPeer {
 public:
  virtual ~FormPeer() = default;
  virtual Hwnd hwnd() const = 0;
  virtual void update(Change what) = 0;
  virtual void show() = 0;
  virtual void hide() = 0;
  // Runs the platform's loop until the form is hidden or unloaded (a modal show).
  virtual void runModal() = 0;
  // Lets the form paint now (Basic's Refresh).
  virtual void refresh() = 0;
  // Destroys the window, after the controls' (see ControlPeer::destroy).
  virtual void destroy() = 0;
};

// The common file dialog: open or save, its filter as Basic writes it ("ini Files (*.ini)|*.ini"),
// the folder it starts in and the file name it shows there.
struct FileDialogRequest {
  bool save = false;
  std::string filter;
  std::string initialFolder;
  std::string fileName;
  friend bool operator==(const FileDialogRequest&, const FileDialogRequest&) = default;
};

// The port: makes peers. Control peers are made when their form loads, in the form's order of
// registration.
class Ui {
 public:
  Ui() = default;
  Ui(const Ui&) = delete;
  Ui& operator=(const Ui&) = delete;
  virtual ~Ui() = default;
  virtual std::unique_ptr<FormPeer> createForm(Form& form) = 0;
  virtual std::unique_ptr<ControlPeer> createControl(Form& form, Control& control) = 0;
  // GetSystemMetrics.
  virtual int32_t systemMetrics(int32_t index) = 0;
  // The screen's twips per pixel.
  virtual int32_t twipsPerPixelX() = 0;
  virtual int32_t twipsPerPixelY() = 0;
  // Shows the file dialog, modal to owner: the full path the user chose, or nullopt when the
  // user cancelled.
  virtual std::optional<std::string> showFileDialog(Form& owner,
                                                    const FileDialogRequest& request) = 0;
};

enum class ControlKind { Label, Button, CheckBox, ComboBox, ListView, TextBox, Frame, Line, Image };

class Control {
 public:
  Control(ControlKind kind, std::string name) : m_kind(kind), m_name(std::move(name)) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  // Takes its window down and leaves its form. A form's controls are members of the form's
  // class, so they go before the form itself does.
  virtual ~Control();

  ControlKind kind() const { return m_kind; }
  const std::string& name() const { return m_name; }
  Form* form() const { return m_form; }

  // Position and size; relative to the control's frame when it sits in one.
  const Box& box() const { return m_box; }
  void setBox(const Box& box);
  // The frame the control sits in, or none; set before the form loads.
  Frame* container() const { return m_container; }
  void setContainer(Frame& frame) { m_container = &frame; }
  // The box in the form's client coordinates, the frames' positions added.
  Box formBox() const;
  void move(int32_t left, int32_t top) { setBox({left, top, m_box.width, m_box.height}); }
  bool visible() const { return m_visible; }
  void setVisible(bool visible);
  bool enabled() const { return m_enabled; }
  void setEnabled(bool enabled);
  // Tab order within the form; -1 for controls that take no focus.
  int32_t tabIndex() const { return m_tabIndex; }
  void setTabIndex(int32_t index) { m_tabIndex = index; }
  // Whether the focus can come to the control now: one with a window of its own that takes the
  // keyboard (not a label, frame or line), shown, enabled and with a tab index.
  bool canTakeFocus() const;
  const Font& font() const { return m_font; }
  void setFont(const Font& font);

  Hwnd hWnd() const { return m_peer ? m_peer->hwnd() : 0; }
  void setFocus();
  // The focus came to this control (by the user or by SetFocus).
  std::function<void()> onGotFocus;

  // Called by the form and its peer.
  void attach(Form* form) { m_form = form; }
  void setPeer(std::unique_ptr<ControlPeer> peer) { m_peer = std::move(peer); }
  std::unique_ptr<ControlPeer> takePeer() { return std::move(m_peer); }
  ControlPeer* peer() const { return m_peer.get(); }
  void gotFocus();

 protected:
  void changed(Change what);

 private:
  ControlKind m_kind;
  std::string m_name;
  Form* m_form = nullptr;
  Frame* m_container = nullptr;
  Box m_box;
  bool m_visible = true;
  bool m_enabled = true;
  int32_t m_tabIndex = -1;
  Font m_font;
  std::unique_ptr<ControlPeer> m_peer;
};

// A control with a caption or text.
class TextControl : public Control {
 public:
  using Control::Control;
  const std::string& text() const { return m_text; }
  void setText(std::string_view text);

 private:
  std::string m_text;
};

class Label : public TextControl {
 public:
  explicit Label(std::string name) : TextControl(ControlKind::Label, std::move(name)) {}
  std::function<void()> onClick;
};

class Frame : public TextControl {
 public:
  explicit Frame(std::string name) : TextControl(ControlKind::Frame, std::move(name)) {}
};

// The access key of a caption: the letter or digit after a single "&" ("&&" shows an ampersand),
// in upper case; 0 when there is none.
char accessKey(std::string_view caption);

// A command button; its caption may carry an access key ("&Save").
class Button : public TextControl {
 public:
  explicit Button(std::string name) : TextControl(ControlKind::Button, std::move(name)) {
    setTabIndex(0);
  }
  bool isDefault = false;  // Enter presses it
  bool isCancel = false;   // Escape presses it
  // A press by the user, the keyboard or the code (Basic's Value = True).
  void click();
  std::function<void()> onClick;
};

class CheckBox : public TextControl {
 public:
  explicit CheckBox(std::string name) : TextControl(ControlKind::CheckBox, std::move(name)) {
    setTabIndex(0);
  }
  // 0 unchecked, 1 checked. A change raises Click.
  int16_t value() const { return m_value; }
  void setValue(int16_t value);
  // The user's click toggles the box.
  void click() { setValue(m_value == 0 ? 1 : 0); }
  std::function<void()> onClick;

 private:
  int16_t m_value = 0;
};

// A text box. Typing into its window takes digits only while the window has the ES_NUMBER style.
class TextBox : public TextControl {
 public:
  explicit TextBox(std::string name) : TextControl(ControlKind::TextBox, std::move(name)) {
    setTabIndex(0);
  }
  bool numberOnly = false;  // set before the form loads
  std::function<void()> onChange;
  // The user's typing replaced the text.
  void typed(std::string_view text);
};

// A drop-down list combo box (no edit field), with item data per entry.
class ComboBox : public Control {
 public:
  explicit ComboBox(std::string name) : Control(ControlKind::ComboBox, std::move(name)) {
    setTabIndex(0);
  }
  struct Item {
    std::string text;
    int32_t data = 0;
  };
  const std::vector<Item>& items() const { return m_items; }
  int32_t listCount() const { return static_cast<int32_t>(m_items.size()); }
  void addItem(std::string_view text);
  void clear();
  // The index the last addItem gave; -1 before any.
  int32_t newIndex() const { return m_newIndex; }
  int32_t itemData(int32_t index) const;
  void setItemData(int32_t index, int32_t data);
  const std::string& list(int32_t index) const;
  // -1: nothing selected. Setting a different index raises Click; an index out of range is
  // error 380.
  int32_t listIndex() const { return m_listIndex; }
  void setListIndex(int32_t index);
  // The selected entry's text; empty when nothing is selected.
  std::string text() const;
  // The user or the code chose an entry.
  std::function<void()> onClick;

 private:
  std::vector<Item> m_items;
  int32_t m_newIndex = -1;
  int32_t m_listIndex = -1;
};

// A list view in report view: column headers, rows of a text and sub-items, a selected row.
class ListView : public Control {
 public:
  explicit ListView(std::string name) : Control(ControlKind::ListView, std::move(name)) {
    setTabIndex(0);
  }
  struct Column {
    std::string key;
    std::string text;
    int32_t width = 1440;  // twips
  };
  struct Row {
    std::string text;
    bool bold = false;
    std::vector<std::string> subItems;  // sub-item 1 is subItems[0]
  };

  const std::vector<Column>& columns() const { return m_columns; }
  void addColumn(std::string_view key, std::string_view text, int32_t width);
  // Basic's ColumnHeader.Left: the widths of the columns before it, in twips.
  int32_t columnLeft(size_t column) const;
  std::optional<size_t> columnByKey(std::string_view key) const;
  void setColumnWidth(size_t column, int32_t width);

  const std::vector<Row>& rows() const { return m_rows; }
  size_t addRow(std::string_view text);
  void clearRows();
  void setBold(size_t row, bool bold);
  // Sub-item n (1 is the second column); empty when never set.
  std::string subItem(size_t row, size_t n) const;
  void setSubItem(size_t row, size_t n, std::string_view text);

  std::optional<size_t> selectedRow() const { return m_selected; }
  void select(std::optional<size_t> row);
  // The user moved the selection to a row, with the mouse or a key: it is selected and
  // onItemSelected raised. (The code's select() raises nothing.)
  void userSelected(size_t row);
  std::function<void()> onItemSelected;

  // The small-icon list's picture height in pixels (0: none); it sets the row height.
  int32_t smallIconHeight() const { return m_smallIconHeight; }
  void setSmallIconHeight(int32_t pixels);

  // Asks the window; nothing without one.
  std::optional<size_t> hitTest(int32_t x, int32_t y) const;
  int32_t rowTop(size_t row) const;
  // A column's left edge as the list shows it now: columnLeft less the sideways scroll.
  int32_t shownColumnLeft(size_t column) const;
  void ensureVisible(size_t row, size_t column);

  // A mouse button came up over the list (twips relative to the list).
  std::function<void(int16_t button, int16_t shift, int32_t x, int32_t y)> onMouseUp;

 private:
  ListViewPeer* listPeer() const { return static_cast<ListViewPeer*>(peer()); }
  std::vector<Column> m_columns;
  std::vector<Row> m_rows;
  std::optional<size_t> m_selected;
  int32_t m_smallIconHeight = 0;
};

// A line drawn on the form, from (x1, y1) to (x2, y2) in twips.
class Line : public Control {
 public:
  explicit Line(std::string name) : Control(ControlKind::Line, std::move(name)) {}
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// A picture on the form (Basic's Image control), drawn by the form in its box. The picture is
// stored with the form: the name of an icon among the resources of the module that shows it.
class Image : public Control {
 public:
  explicit Image(std::string name) : Control(ControlKind::Image, std::move(name)) {}
  std::string picture;  // set before the form loads
};

// A menu entry: a caption with an access key, a separator ("-"), or a sub-menu.
struct Menu {
  std::string name;
  std::string caption;
  std::vector<Menu> items;
  std::function<void()> onClick;
  bool separator() const { return caption == "-"; }
};

enum class BorderStyle { None, FixedSingle, Sizable, FixedDialog };

class Form {
 public:
  Form(Ui& ui, std::string name);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  const std::string& name() const { return m_name; }
  Ui& ui() const { return m_ui; }
  const std::vector<Control*>& controls() const { return m_controls; }

  const std::string& caption() const { return m_caption; }
  void setCaption(std::string_view caption);
  // The client area in twips.
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  BorderStyle borderStyle = BorderStyle::FixedSingle;
  // Centred on the screen, or on its owner when it is shown with one (always on the screen).
  bool centred = true;
  bool showInTaskbar = true;
  Hicon icon() const { return m_icon; }
  void setIcon(Hicon icon);
  std::vector<Menu> menus;

  // Creates the window and the controls', then runs Form_Load. Nothing when already loaded.
  void load();
  bool loaded() const { return m_loaded; }
  // owner: the form that owns the window the show loads (it stays above it, and a centred form
  // is centred on it); none for a top-level form.
  void show(bool modal = false, const Form* owner = nullptr);
  // The same with the owner's window, which need not be one of our forms (the form a control sits
  // on, in another module); 0 for none. A child window stands for the top-level window it lies
  // in, as on Windows.
  void showOwnedBy(Hwnd owner, bool modal = false);
  // The window that owns the form's window; 0 for none.
  Hwnd owner() const { return m_owner; }
  void hide();
  bool visible() const { return m_visible; }
  // Runs Form_Unload with cancel 0; unless it cancels, the windows go. True when unloaded.
  bool unload();
  // Lets the form paint now.
  void refresh();
  Hwnd hWnd() const { return m_peer ? m_peer->hwnd() : 0; }
  int32_t twipsPerPixelX() const { return m_ui.twipsPerPixelX(); }
  int32_t twipsPerPixelY() const { return m_ui.twipsPerPixelY(); }

  // The controls that can take the focus, in tab order.
  std::vector<Control*> tabOrder() const;
  // Alt and a key: the visible and enabled button or check box whose caption has that access
  // key is pressed (a check box toggles). Where several share it, the focus moves to the next of
  // them in tab order after the focused control, and none is pressed. False when none has it (a
  // menu's, perhaps).
  bool pressAccessKey(char key);
  Control* focused() const { return m_focused; }

  // Called by the peers.
  void focusChanged(Control* control);
  // Called by a control that goes.
  void forget(Control* control);
  // The user clicked the form's background.
  std::function<void()> onClick;
  // The user asked to close the window (its close box).
  void closeRequested() { unload(); }

 protected:
  void add(Control& control);
  virtual void Form_Load() {}
  // The form became the program's active form: when it shows. (Another form of the program
  // handing the activation back would run it too; the dialogs that use it are modal, so none
  // can.)
  virtual void Form_Activate() {}
  virtual void Form_Unload(int16_t& /*cancel*/) {}

 private:
  Ui& m_ui;
  std::string m_name;
  std::string m_caption;
  Hicon m_icon = 0;
  std::vector<Control*> m_controls;
  std::unique_ptr<FormPeer> m_peer;
  // Peers of an unload, kept until it is safe to free them.
  std::vector<std::unique_ptr<ControlPeer>> m_retiredControls;
  std::vector<std::unique_ptr<FormPeer>> m_retiredForms;
  int m_modalDepth = 0;
  Control* m_focused = nullptr;
  Hwnd m_owner = 0;
  bool m_loaded = false;
  bool m_visible = false;
};

}  // namespace morvane::ui
