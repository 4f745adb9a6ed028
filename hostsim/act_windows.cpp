#include "hostsim/act_windows.h"

#include <algorithm>

#include "platform/win_constants.h"

namespace morvane::hostsim {

using namespace morvane::win;

using namespace shape;

ActWindows::ActWindows(sim::SimDesktop& desktop, ActLayoutState& layouts, ActWindowOptions options)
    : m_desktop(desktop), m_layouts(layouts), m_options(std::move(options)) {}

ActWindows::~ActWindows() { close(); }

size_t ActWindows::layoutIndex() const {
  if (m_options.layoutButton >= 0) return static_cast<size_t>(m_options.layoutButton);
  size_t best = 0;
  for (size_t i = 1; i < m_options.buttonLefts.size(); ++i)
    if (m_options.buttonLefts[i] <= m_options.buttonLefts[best]) best = i;
  return best;
}

Hwnd ActWindows::layoutButton() const {
  const size_t i = layoutIndex();
  return i < m_buttons.size() ? m_buttons[i] : 0;
}

Hwnd ActWindows::layoutList() const {
  const size_t i = layoutIndex();
  return i < m_lists.size() ? m_lists[i] : 0;
}

uint32_t ActWindows::layoutListStyle() const {
  return shape::layoutListStyle(m_layouts.names.size(), m_options.visibleEntries) |
         m_options.extraLayoutListStyle;
}

void ActWindows::open() {
  if (isOpen()) return;
  m_buttons.clear();
  m_lists.clear();
  m_frame = m_desktop.createWindowA(
      m_options.frameClass, frameTitle(m_layouts.current), kFrameStyle, m_options.frameLeft,
      m_options.frameTop, kFrameWidth, kFrameHeight, 0,
      [this](Hwnd h, uint32_t msg, WParam w, LParam l) { return frameProc(h, msg, w, l); });

  // The record view: a window with fields, as the bulk of ACT!'s window tree.
  const Hwnd view = m_desktop.createWindowA(kViewClass, "", kChildStyle, 0, 0, kFrameWidth,
                                            kFrameHeight - kStatusBarHeight, m_frame, nullptr);
  for (int i = 0; i < m_options.fillerWindows; ++i) {
    const FillerPlace f = fillerPlace(i);
    m_desktop.createWindowA(f.className, "", kChildStyle, f.x, f.y, f.width, f.height, view,
                            nullptr);
  }

  if (m_options.statusBar) {
    const uint32_t style = WS_CHILD | (m_options.statusBarVisible ? WS_VISIBLE : 0);
    m_statusBar = m_desktop.createWindowA(
        kStatusBarClass, "", style, 0, kFrameHeight - kStatusBarHeight, kFrameWidth,
        kStatusBarHeight, m_frame,
        [this](Hwnd h, uint32_t msg, WParam w, LParam l) { return statusBarProc(h, msg, w, l); });
    for (size_t i = 0; i < m_options.buttonLefts.size(); ++i) {
      const std::string text =
          i == layoutIndex() ? m_layouts.current : std::string(kLookupButtonText);
      const Hwnd b =
          m_desktop.createWindowA(kButtonClass, text, kChildStyle, m_options.buttonLefts[i],
                                  kButtonTop, kButtonWidth, kButtonHeight, m_statusBar, nullptr);
      m_desktop.setWindowLongA(b, GWL_ID, kFirstButtonId + static_cast<int32_t>(i));
      m_buttons.push_back(b);
    }
  }

  // The pop-ups, hidden and not yet placed. The layout list is made last, so it is the last
  // list box in the tree.
  m_lists.resize(m_buttons.size(), 0);
  std::vector<size_t> order;
  for (size_t i = 0; i < m_buttons.size(); ++i)
    if (i != layoutIndex()) order.push_back(i);
  if (layoutIndex() < m_buttons.size()) order.push_back(layoutIndex());
  for (size_t i : order) {
    const bool isLayout = i == layoutIndex();
    const uint32_t style = isLayout ? layoutListStyle() : kPopupStyle;
    const Hwnd list = m_desktop.createWindowA(
        kListClass, "", style, -m_options.frameLeft, 0, kButtonWidth, kLookupListHeight, m_frame,
        [this, i](Hwnd h, uint32_t msg, WParam w, LParam l) { return listProc(i, h, msg, w, l); });
    m_lists[i] = list;
    if (!isLayout) {
      for (std::string_view entry : kLookupEntries)
        m_desktop.deliver(list, LB_ADDSTRING, 0, reinterpret_cast<LParam>(entry.data()));
    }
  }
  refreshLayoutList();
}

void ActWindows::close() {
  if (m_frame != 0 && m_desktop.isWindow(m_frame)) m_desktop.destroyWindow(m_frame);
  m_frame = m_statusBar = 0;
  m_buttons.clear();
  m_lists.clear();
}

void ActWindows::refreshLayoutList() {
  const Hwnd list = layoutList();
  if (!m_desktop.isWindow(list)) return;
  m_desktop.deliver(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : m_layouts.names)
    m_desktop.deliver(list, LB_ADDSTRING, 0, reinterpret_cast<LParam>(name.c_str()));
  const auto style = static_cast<uint32_t>(m_desktop.getWindowLongA(list, GWL_STYLE));
  m_desktop.setWindowLongA(list, GWL_STYLE,
                           static_cast<int32_t>((style & WS_VISIBLE) | layoutListStyle()));
  const int32_t height = layoutListHeight(m_layouts.names.size(), m_options.visibleEntries);
  Rect r;
  m_desktop.getWindowRect(list, r);
  m_desktop.place(list, r.left - m_options.frameLeft, r.top - m_options.frameTop, kButtonWidth,
                  height);
}

bool ActWindows::isPopupOpen(Hwnd list) const {
  return (static_cast<uint32_t>(m_desktop.getWindowLongA(list, GWL_STYLE)) & WS_VISIBLE) != 0;
}

void ActWindows::paint(Hwnd what) {
  if (m_desktop.isPaintSuppressed(what))
    ++m_heldBackPaints;
  else
    ++m_visiblePaints;
}

void ActWindows::togglePopup(size_t index) {
  if (index >= m_lists.size()) return;
  const Hwnd list = m_lists[index];
  if (!m_desktop.isWindow(list)) return;
  if (isPopupOpen(list)) {
    m_desktop.showWindow(list, SW_HIDE);
    paint(m_frame);
    return;
  }
  // Open the pop-up just above its button.
  Rect button, bar, current;
  m_desktop.getWindowRect(m_buttons[index], button);
  m_desktop.getWindowRect(m_statusBar, bar);
  m_desktop.getWindowRect(list, current);
  const int32_t height = current.bottom - current.top;
  int32_t left = button.left;
  if (index == layoutIndex() && m_options.layoutListAtLeftZero) left = 0;
  // Frame client coordinates; the frame has no border here.
  m_desktop.place(list, left - m_options.frameLeft, bar.top - height - m_options.frameTop,
                  kButtonWidth, height);
  if (index == layoutIndex()) {
    const auto& items = m_layouts.names;
    const auto it = std::find(items.begin(), items.end(), m_layouts.current);
    // ACT! marks the shown layout itself, without going through its own message handling.
    m_desktop.callClassProc(
        list, LB_SETCURSEL,
        it == items.end() ? static_cast<WParam>(-1) : static_cast<WParam>(it - items.begin()), 0);
  }
  m_desktop.showWindow(list, SW_SHOW);
  paint(list);
}

LResult ActWindows::frameProc(Hwnd h, uint32_t msg, WParam w, LParam l) {
  if (msg == WM_PAINT) ++m_framePaints;
  return m_desktop.callClassProc(h, msg, w, l);
}

LResult ActWindows::statusBarProc(Hwnd h, uint32_t msg, WParam w, LParam l) {
  if (msg == WM_COMMAND && (w >> 16) == BN_CLICKED) {
    const auto button = static_cast<Hwnd>(l);
    const auto it = std::find(m_buttons.begin(), m_buttons.end(), button);
    if (it != m_buttons.end()) togglePopup(static_cast<size_t>(it - m_buttons.begin()));
    return 0;
  }
  return m_desktop.callClassProc(h, msg, w, l);
}

LResult ActWindows::listProc(size_t index, Hwnd h, uint32_t msg, WParam w, LParam l) {
  const bool isLayout = index == layoutIndex();
  if (isLayout && msg == LB_SETCURSEL && m_options.destroyListOnSelect) {
    const LResult r = m_desktop.callClassProc(h, msg, w, l);
    m_desktop.destroyWindow(h);
    return r;
  }
  if (msg == WM_KEYDOWN && w == VK_RETURN) {
    // Enter only means something while the pop-up is open.
    if (!isPopupOpen(h)) return 0;
    const int32_t sel = m_desktop.listCurSel(h);
    if (isLayout && sel >= 0) {
      const auto items = m_desktop.listItems(h);
      m_layouts.current = items[static_cast<size_t>(sel)];
      m_layouts.applied.push_back(m_layouts.current);
      m_desktop.setWindowText(m_buttons[index], m_layouts.current);
      m_desktop.setWindowText(m_frame, frameTitle(m_layouts.current));
      paint(m_frame);
      if (m_layouts.onApplied) m_layouts.onApplied();
    }
    m_desktop.showWindow(h, SW_HIDE);
    return 0;
  }
  return m_desktop.callClassProc(h, msg, w, l);
}

}  // namespace morvane::hostsim
