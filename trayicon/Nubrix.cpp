#include "trayicon/Nubrix.h"

#include <utility>

#include "platform/conversions.h"
#include "platform/runtime_error.h"
#include "platform/win_constants.h"
#include "trayicon/frmAbout.h"
#include "trayicon/mdlNubrix.h"
#include "trayicon/nubrix_members.h"

namespace morvane {

namespace {

// The mouse messages the shell reports for the icon, as the x coordinate of its callback.
constexpr int32_t kLeftButtonUp = 514;
constexpr int32_t kLeftButtonDblClk = 515;
constexpr int32_t kRightButtonUp = 517;
constexpr int32_t kRightButtonDblClk = 518;

// MK_* key state of a mouse message as Basic's Button and Shift masks.
constexpr WParam kMkLButton = 0x01, kMkRButton = 0x02, kMkShift = 0x04, kMkControl = 0x08,
                 kMkMButton = 0x10;

int16_t buttonMask(WParam keys) {
  return static_cast<int16_t>(((keys & kMkLButton) ? 1 : 0) | ((keys & kMkRButton) ? 2 : 0) |
                              ((keys & kMkMButton) ? 4 : 0));
}

int16_t shiftMask(WParam keys) {
  return static_cast<int16_t>(((keys & kMkShift) ? 1 : 0) | ((keys & kMkControl) ? 2 : 0));
}

// Reads one saved property and applies it. This is the one place where saved values meet the
// properties' types: a value the property cannot take (garbage, another type, one it refuses)
// loads as the property's default, so a damaged form still loads.
void loadSaved(PropertyBag& bag, std::string_view name, const Variant& defaultValue,
               const std::function<void(const Variant&)>& apply) {
  try {
    apply(bag.readProperty(name, defaultValue));
    return;
  } catch (const RuntimeError&) {
  }
  apply(defaultValue);
}

}  // namespace

Nubrix::Nubrix(const ControlHost& host) : TMR(host.timers), m_host(host) {
  TMR.setEnabled(false);
  TMR.setInterval(0);
  TMR.onTimer = [this] { TMR_Timer(); };
  const Hwnd parent = m_host.site.containerWindow();
  const uint32_t style = parent != 0 ? win::WS_CHILD : win::WS_POPUP;
  m_hwnd =
      m_host.windows.createWindowA(kWindowClass, "", style, 0, 0, cmdTray.width / twipsPerPixelX(),
                                   cmdTray.height / twipsPerPixelY(), parent,
                                   [this](Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
                                     return windowProc(hwnd, msg, wParam, lParam);
                                   });
  Resize();
}

Nubrix::~Nubrix() {
  TMR.onTimer = nullptr;
  if (m_hwnd != 0) m_host.windows.destroyWindow(m_hwnd);
}

int32_t Nubrix::twipsPerPixelX() const {
  // A host that cannot tell gives the usual 96-DPI value rather than a division by zero.
  const int32_t tpp = m_host.host.twipsPerPixelX();
  return tpp > 0 ? tpp : 15;
}

int32_t Nubrix::twipsPerPixelY() const {
  const int32_t tpp = m_host.host.twipsPerPixelY();
  return tpp > 0 ? tpp : 15;
}

LResult Nubrix::windowProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) {
  if (msg != win::WM_MOUSEMOVE) return m_host.windows.callClassProc(hwnd, msg, wParam, lParam);
  const std::shared_ptr<void> hold = holdWhileBusy ? holdWhileBusy() : nullptr;
  // The point is in client pixels, x in the low word and y in the high word, both signed.
  const auto lp = static_cast<uint32_t>(lParam);
  const auto xPixels = static_cast<int16_t>(lp & 0xFFFF);
  const auto yPixels = static_cast<int16_t>((lp >> 16) & 0xFFFF);
  MouseMove(buttonMask(wParam), shiftMask(wParam),
            static_cast<float>(xPixels) * static_cast<float>(twipsPerPixelX()),
            static_cast<float>(yPixels) * static_cast<float>(twipsPerPixelY()));
  return 0;
}

void Nubrix::MouseMove(int16_t, int16_t, float x, float) {
  const int32_t message = conv::toLong(static_cast<double>(x) / twipsPerPixelX());
  int16_t button = 0;
  switch (message) {
    case kLeftButtonUp:
      button = 1;
      if (onClick) onClick(button);
      break;
    case kLeftButtonDblClk:
      button = 1;
      if (onDblClick) onDblClick(button);
      break;
    case kRightButtonUp:
      button = 2;
      if (onClick) onClick(button);
      break;
    case kRightButtonDblClk:
      button = 2;
      if (onDblClick) onDblClick(button);
      break;
    default:
      if (onMouseOver) onMouseOver();
      break;
  }
}

void Nubrix::Resize() {
  cmdTray.left = 0;
  cmdTray.top = 0;
  m_width = cmdTray.width;
  m_height = cmdTray.height;
}

void Nubrix::setExtent(int32_t width, int32_t height) {
  m_width = width;
  m_height = height;
  Resize();
}

void Nubrix::setIcon1(const Picture& picture) {
  m_icon[0] = picture;
  changed("Icon1");
}

void Nubrix::setToolTipIcon1(std::string text) {
  m_toolTip[0] = std::move(text);
  changed("ToolTipIcon1");
}

void Nubrix::setIcon2(const Picture& picture) {
  m_icon[1] = picture;
  changed("Icon2");
}

void Nubrix::setToolTipIcon2(std::string text) {
  m_toolTip[1] = std::move(text);
  changed("ToolTipIcon2");
}

void Nubrix::setIconAnimation(bool value) {
  if (!m_host.site.userMode()) {
    m_host.boxes.show(kDesignTimeMessage, nubrix::kTitle, MsgButtons::Ok, MsgIcon::Critical);
    TMR.setEnabled(false);
    changed("IconAnimation");
    return;
  }
  // Stopping while the second image shows steps back, so the first one stays up.
  if (mdlNubrix::currentIcon() == m_icon[1].handle && TMR.enabled() && !value) ChangeIcon();
  TMR.setEnabled(value);
  changed("IconAnimation");
}

void Nubrix::setInterval(int32_t ms) {
  TMR.setInterval(ms);
  changed("Interval");
}

Variant Nubrix::OsVersion() {
  constexpr uint32_t kOsVersionInfoSize = 148;  // OSVERSIONINFOA
  OsVersionInfo info;
  if (!m_host.host.getVersionExA(kOsVersionInfoSize, info)) info = OsVersionInfo{};
  return Variant(std::to_string(info.major) + "." + std::to_string(info.minor));
}

void Nubrix::AddIcon() {
  if (onIconAdd) onIconAdd();
  mdlNubrix::setCurrentIcon(m_icon[0].handle);
  mdlNubrix::TrayNotify(m_host.tray, win::NIM_ADD, m_hwnd, m_toolTip[0]);
}

void Nubrix::RemoveIcon() {
  if (onIconRemove) onIconRemove();
  const std::string& tip =
      mdlNubrix::currentIcon() == m_icon[0].handle ? m_toolTip[0] : m_toolTip[1];
  mdlNubrix::TrayNotify(m_host.tray, win::NIM_DELETE, m_hwnd, tip);
}

void Nubrix::RefreshToolTip() {
  const Hicon current = mdlNubrix::currentIcon();
  if (current == m_icon[0].handle) {
    mdlNubrix::TrayNotify(m_host.tray, win::NIM_MODIFY, m_hwnd, m_toolTip[0]);
  } else if (current == m_icon[1].handle) {
    // With one image and two texts, slot 2's text shows on slot 1's image while the handle is
    // 0; re-sending with handle 0 would blank the icon, so the image goes along as it showed.
    const bool onLoan = current == 0 && m_icon[1].none() && !m_icon[0].none();
    if (onLoan) mdlNubrix::setCurrentIcon(m_icon[0].handle);
    mdlNubrix::TrayNotify(m_host.tray, win::NIM_MODIFY, m_hwnd, m_toolTip[1]);
    if (onLoan) mdlNubrix::setCurrentIcon(0);
  }
}

void Nubrix::ChangeIcon() {
  bool borrowed = false;
  // What slot 2 holds without an image (nothing, or a picture object of no image) comes back
  // after a borrowed step.
  Picture ownSecond;
  if (m_icon[1].none()) {
    if (m_toolTip[1].empty()) return;  // nothing to alternate with
    // One image and two texts: slot 2 borrows slot 1's image for this step.
    ownSecond = std::exchange(m_icon[1], m_icon[0]);
    borrowed = true;
  }
  if (m_toolTip[1].empty()) m_toolTip[1] = m_toolTip[0];
  if (mdlNubrix::currentIcon() == m_icon[0].handle) {
    mdlNubrix::setCurrentIcon(m_icon[1].handle);
    mdlNubrix::TrayNotify(m_host.tray, win::NIM_MODIFY, m_hwnd, m_toolTip[1]);
    if (borrowed) {
      // No handle matches slot 1 now, so the next step shows slot 1 again.
      mdlNubrix::setCurrentIcon(0);
      m_icon[1] = std::move(ownSecond);
    }
  } else {
    mdlNubrix::setCurrentIcon(m_icon[0].handle);
    mdlNubrix::TrayNotify(m_host.tray, win::NIM_MODIFY, m_hwnd, m_toolTip[0]);
    if (borrowed) m_icon[1] = std::move(ownSecond);
  }
}

void Nubrix::TMR_Timer() {
  const std::shared_ptr<void> hold = holdWhileBusy ? holdWhileBusy() : nullptr;
  if (onBlink) onBlink();
  ChangeIcon();
}

void Nubrix::showAbout() {
  frmAbout form(m_host.ui);
  // Over the form the control sits on. The control's window may have been made before the
  // control was sited, so it is no child of that form: it owns the box only without a container.
  const Hwnd container = m_host.site.containerWindow();
  form.showOwnedBy(container != 0 ? container : m_hwnd, true);
}  // released, and its windows with it, however it closed

void Nubrix::InitProperties() {
  m_icon[0] = m_icon[1] = Picture{};
  m_toolTip[0].clear();
  m_toolTip[1].clear();
  TMR.setEnabled(false);
  TMR.setInterval(0);
}

void Nubrix::ReadProperties(PropertyBag& bag) {
  const Variant nothing{ObjectRef()};
  const Variant noText{std::string()};
  loadSaved(bag, "Icon1", nothing, [&](const Variant& v) { m_icon[0] = pictureFromVariant(v); });
  loadSaved(bag, "ToolTipIcon1", noText,
            [&](const Variant& v) { m_toolTip[0] = conv::toString(v); });
  loadSaved(bag, "Icon2", nothing, [&](const Variant& v) { m_icon[1] = pictureFromVariant(v); });
  loadSaved(bag, "ToolTipIcon2", noText,
            [&](const Variant& v) { m_toolTip[1] = conv::toString(v); });
  loadSaved(bag, "IconAnimation", Variant(false),
            [&](const Variant& v) { TMR.setEnabled(conv::toBoolean(v)); });
  loadSaved(bag, "Interval", Variant(int32_t{0}),
            [&](const Variant& v) { TMR.setInterval(conv::toLong(v)); });
}

void Nubrix::WriteProperties(PropertyBag& bag) {
  const Variant nothing{ObjectRef()};
  auto picture = [&](const Picture& p) { return p.none() ? nothing : pictureToVariant(p); };
  bag.writeProperty("Icon1", picture(m_icon[0]), nothing);
  bag.writeProperty("ToolTipIcon1", Variant(m_toolTip[0]), Variant(std::string()));
  bag.writeProperty("Icon2", picture(m_icon[1]), nothing);
  bag.writeProperty("ToolTipIcon2", Variant(m_toolTip[1]), Variant(std::string()));
  bag.writeProperty("IconAnimation", Variant(TMR.enabled()), Variant(false));
  bag.writeProperty("Interval", Variant(TMR.interval()), Variant(int32_t{0}));
}

}  // namespace morvane
