#include "platform/ui.h"

#include <cctype>

#include <algorithm>

#include "platform/ansi_text.h"
#include "platform/runtime_error.h"

namespace morvane::ui {

// --- Control ---

Control::~Control() {
  if (m_peer) m_peer->destroy();
  if (m_form != nullptr) m_form->forget(this);
}

void Control::changed(Change what) {
  if (m_peer) m_peer->update(what);
}

void Control::setBox(const Box& box) {
  if (box == m_box) return;
  m_box = box;
  changed(Change::Box);
}

void Control::setVisible(bool visible) {
  if (visible == m_visible) return;
  m_visible = visible;
  changed(Change::Visible);
}

void Control::setEnabled(bool enabled) {
  if (enabled == m_enabled) return;
  m_enabled = enabled;
  changed(Change::Enabled);
}

void Control::setFont(const Font& font) {
  if (font == m_font) return;
  m_font = font;
  changed(Change::Font);
}

bool Control::canTakeFocus() const {
  switch (m_kind) {
    case ControlKind::Label:
    case ControlKind::Frame:
    case ControlKind::Line:
    case ControlKind::Image:
      return false;
    default:
      return m_visible && m_enabled && m_tabIndex >= 0;
  }
}

void Control::setFocus() {
  // Basic refuses the focus to a control that cannot take it.
  if (!canTakeFocus()) throw RuntimeError(err::kInvalidProcedureCall);
  if (m_peer) {
    m_peer->setFocus();
  } else {
    gotFocus();
  }
}

void Control::gotFocus() {
  if (m_form != nullptr) m_form->focusChanged(this);
  if (onGotFocus) onGotFocus();
}

void TextControl::setText(std::string_view text) {
  if (text == m_text) return;
  m_text = std::string(text);
  changed(Change::Text);
}

Box Control::formBox() const {
  Box b = m_box;
  for (const Control* c = m_container; c != nullptr; c = c->container()) {
    b.left += c->box().left;
    b.top += c->box().top;
  }
  return b;
}

char accessKey(std::string_view caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

void Button::click() {
  if (!enabled()) return;
  if (onClick) onClick();
}

void CheckBox::setValue(int16_t value) {
  if (value < 0 || value > 2) throw RuntimeError(err::kInvalidPropertyValue);
  if (value == m_value) return;
  m_value = value;
  changed(Change::Value);
  if (onClick) onClick();
}

void TextBox::typed(std::string_view text) {
  if (text == this->text()) return;
  setText(text);
  if (onChange) onChange();
}

// --- ComboBox ---

void ComboBox::addItem(std::string_view text) {
  m_items.push_back({std::string(text), 0});
  m_newIndex = static_cast<int32_t>(m_items.size()) - 1;
  changed(Change::Items);
}

void ComboBox::clear() {
  if (m_items.empty() && m_listIndex == -1) return;
  m_items.clear();
  m_newIndex = -1;
  m_listIndex = -1;
  changed(Change::Items);
}

int32_t ComboBox::itemData(int32_t index) const {
  if (index < 0 || index >= listCount()) throw RuntimeError(err::kInvalidPropertyValue);
  return m_items[static_cast<size_t>(index)].data;
}

void ComboBox::setItemData(int32_t index, int32_t data) {
  if (index < 0 || index >= listCount()) throw RuntimeError(err::kInvalidPropertyValue);
  m_items[static_cast<size_t>(index)].data = data;
}

const std::string& ComboBox::list(int32_t index) const {
  static const std::string none;
  if (index < 0 || index >= listCount()) return none;
  return m_items[static_cast<size_t>(index)].text;
}

void ComboBox::setListIndex(int32_t index) {
  if (index < -1 || index >= listCount()) throw RuntimeError(err::kInvalidPropertyValue);
  if (index == m_listIndex) return;
  m_listIndex = index;
  changed(Change::Selection);
  if (onClick) onClick();
}

std::string ComboBox::text() const {
  return list(m_listIndex);
}

// --- ListView ---

void ListView::addColumn(std::string_view key, std::string_view text, int32_t width) {
  m_columns.push_back({std::string(key), std::string(text), width});
  changed(Change::Columns);
}

int32_t ListView::columnLeft(size_t column) const {
  int32_t left = 0;
  for (size_t i = 0; i < column && i < m_columns.size(); ++i) left += m_columns[i].width;
  return left;
}

std::optional<size_t> ListView::columnByKey(std::string_view key) const {
  for (size_t i = 0; i < m_columns.size(); ++i)
    if (ansi::foldCase(m_columns[i].key) == ansi::foldCase(key)) return i;
  return std::nullopt;
}

void ListView::setColumnWidth(size_t column, int32_t width) {
  if (column >= m_columns.size()) throw RuntimeError(err::kInvalidPropertyValue);
  width = std::max(width, 0);
  if (m_columns[column].width == width) return;
  m_columns[column].width = width;
  changed(Change::Columns);
}

size_t ListView::addRow(std::string_view text) {
  m_rows.push_back({std::string(text), false, {}});
  changed(Change::Items);
  return m_rows.size() - 1;
}

void ListView::clearRows() {
  if (m_rows.empty()) return;
  m_rows.clear();
  m_selected.reset();
  changed(Change::Items);
}

void ListView::setBold(size_t row, bool bold) {
  if (row >= m_rows.size()) throw RuntimeError(err::kInvalidPropertyValue);
  m_rows[row].bold = bold;
  changed(Change::Cells);
}

std::string ListView::subItem(size_t row, size_t n) const {
  if (row >= m_rows.size() || n == 0) throw RuntimeError(err::kInvalidPropertyValue);
  const auto& subItems = m_rows[row].subItems;
  return n <= subItems.size() ? subItems[n - 1] : std::string();
}

void ListView::setSubItem(size_t row, size_t n, std::string_view text) {
  if (row >= m_rows.size() || n == 0 || n >= std::max<size_t>(m_columns.size(), 2))
    throw RuntimeError(err::kInvalidPropertyValue);
  auto& subItems = m_rows[row].subItems;
  if (subItems.size() < n) subItems.resize(n);
  subItems[n - 1] = std::string(text);
  changed(Change::Cells);
}

void ListView::select(std::optional<size_t> row) {
  if (row && *row >= m_rows.size()) throw RuntimeError(err::kInvalidPropertyValue);
  if (row == m_selected) return;
  m_selected = row;
  changed(Change::Selection);
}

void ListView::userSelected(size_t row) {
  if (row >= m_rows.size() || m_selected == row) return;
  select(row);
  if (onItemSelected) onItemSelected();
}

void ListView::setSmallIconHeight(int32_t pixels) {
  if (pixels == m_smallIconHeight) return;
  m_smallIconHeight = pixels;
  changed(Change::RowHeight);
}

std::optional<size_t> ListView::hitTest(int32_t x, int32_t y) const {
  return listPeer() != nullptr ? listPeer()->hitTest(x, y) : std::nullopt;
}

int32_t ListView::rowTop(size_t row) const {
  return listPeer() != nullptr ? listPeer()->rowTop(row) : 0;
}

int32_t ListView::shownColumnLeft(size_t column) const {
  return columnLeft(column) - (listPeer() != nullptr ? listPeer()->scrollLeft() : 0);
}

void ListView::ensureVisible(size_t row, size_t column) {
  if (listPeer() != nullptr && row < m_rows.size() && column < m_columns.size())
    listPeer()->ensureVisible(row, column);
}

// --- Form ---

Form::Form(Ui& ui, std::string name) : m_ui(ui), m_name(std::move(name)) {}

Form::~Form() {
  // Member controls have gone already, windows and all (~Control); any other control loses its
  // window and its form here, before the form's window goes.
  for (Control* c : m_controls) {
    if (auto peer = c->takePeer()) peer->destroy();
    c->attach(nullptr);
  }
  if (m_peer) m_peer->destroy();
}

void Form::forget(Control* control) {
  std::erase(m_controls, control);
  if (m_focused == control) m_focused = nullptr;
}

void Form::add(Control& control) {
  control.attach(this);
  m_controls.push_back(&control);
}

void Form::setCaption(std::string_view caption) {
  if (caption == m_caption) return;
  m_caption = std::string(caption);
  if (m_peer) m_peer->update(Change::Text);
}

void Form::setIcon(Hicon icon) {
  m_icon = icon;
  if (m_peer) m_peer->update(Change::Icon);
}

void Form::load() {
  if (m_loaded) return;
  if (m_modalDepth == 0) {
    m_retiredControls.clear();
    m_retiredForms.clear();
  }
  m_peer = m_ui.createForm(*this);
  for (Control* c : m_controls) c->setPeer(m_ui.createControl(*this, *c));
  m_loaded = true;
  Form_Load();
}

void Form::show(bool modal, const Form* owner) {
  showOwnedBy(owner != nullptr ? owner->hWnd() : 0, modal);
}

void Form::showOwnedBy(Hwnd owner, bool modal) {
  if (!m_loaded) m_owner = owner;
  load();
  if (!m_loaded) return;  // Form_Load unloaded it
  const bool appearing = !m_visible;
  m_visible = true;
  m_peer->show();
  // Shown, it becomes the program's active form.
  if (appearing) Form_Activate();
  if (!m_loaded) return;
  if (modal) {
    // The loop may unload the form: the peer it runs on stays alive (retired) until it returns.
    FormPeer* peer = m_peer.get();
    struct Depth {
      int& depth;
      ~Depth() { --depth; }
    } depth{++m_modalDepth};
    peer->runModal();
  }
}

void Form::hide() {
  if (!m_loaded || !m_visible) return;
  m_visible = false;
  m_peer->hide();
}

bool Form::unload() {
  if (!m_loaded) return true;
  int16_t cancel = 0;
  Form_Unload(cancel);
  if (cancel != 0) return false;
  if (!m_loaded) return true;  // unloaded again from inside Form_Unload
  m_loaded = false;
  m_visible = false;
  m_focused = nullptr;
  for (Control* c : m_controls) {
    if (auto peer = c->takePeer()) {
      peer->destroy();
      m_retiredControls.push_back(std::move(peer));
    }
  }
  m_peer->destroy();
  m_retiredForms.push_back(std::move(m_peer));
  return true;
}

void Form::refresh() {
  if (m_peer) m_peer->refresh();
}

std::vector<Control*> Form::tabOrder() const {
  std::vector<Control*> order;
  for (Control* c : m_controls)
    if (c->canTakeFocus()) order.push_back(c);
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->tabIndex() < b->tabIndex();
  });
  return order;
}

bool Form::pressAccessKey(char key) {
  key = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
  const auto hasKey = [key](const Control* c) {
    const bool pressable = c->kind() == ControlKind::Button || c->kind() == ControlKind::CheckBox;
    return pressable && c->visible() && c->enabled() &&
           accessKey(static_cast<const TextControl*>(c)->text()) == key;
  };
  const auto count = std::count_if(m_controls.begin(), m_controls.end(), hasKey);
  if (count == 0) return false;
  if (count > 1) {
    // As Windows does with a key that several controls share: the next of them takes the focus.
    const std::vector<Control*> order = tabOrder();
    const auto at = std::find(order.begin(), order.end(), m_focused);
    const size_t from =
        at == order.end() ? order.size() - 1 : static_cast<size_t>(at - order.begin());
    for (size_t step = 1; step <= order.size(); ++step) {
      Control* c = order[(from + step) % order.size()];
      if (!hasKey(c)) continue;
      c->setFocus();
      break;
    }
    return true;
  }
  Control* c = *std::find_if(m_controls.begin(), m_controls.end(), hasKey);
  if (c->kind() == ControlKind::Button)
    static_cast<Button*>(c)->click();
  else
    static_cast<CheckBox*>(c)->click();
  return true;
}

void Form::focusChanged(Control* control) {
  m_focused = control;
}

}  // namespace morvane::ui
