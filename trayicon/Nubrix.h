// The notification-area icon control: two image slots with tooltips, an icon in the notification
// area owned by the control's window, an optional animation between the slots, and the shell's
// mouse notifications turned into Click, DblClick and MouseOver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/automation.h"
#include "platform/property_bag.h"
#include "platform/timers.h"
#include "trayicon/control_site.h"
#include "trayicon/picture.h"

namespace morvane {

// The graphical push button that is the control's face on a form (twips).
struct FaceButton {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 480;
  int32_t height = 480;
  std::string picture = "NUBRIX_FACE";  // the control's own icon, stored with it
};

class Nubrix {
 public:
  // The window class of the control's own window.
  static constexpr std::string_view kWindowClass = "NubrixControlWindow";
  static constexpr std::string_view kDesignTimeMessage =
      "This property can not be set at Design Time.";

  // Creates the control's window (a child of the container's window) and its timer, disabled
  // with interval 0.
  explicit Nubrix(const ControlHost& host);
  Nubrix(const Nubrix&) = delete;
  Nubrix& operator=(const Nubrix&) = delete;
  // Destroys the control's window; the icon, if shown, is the host's to remove first.
  ~Nubrix();

  // --- The default interface, in its order ---
  // The about box, modal over the container's form; unloaded however it closes.
  void showAbout();
  const Picture& Icon1() const { return m_icon[0]; }
  void setIcon1(const Picture& picture);
  const std::string& ToolTipIcon1() const { return m_toolTip[0]; }
  void setToolTipIcon1(std::string text);
  const Picture& Icon2() const { return m_icon[1]; }
  void setIcon2(const Picture& picture);
  const std::string& ToolTipIcon2() const { return m_toolTip[1]; }
  void setToolTipIcon2(std::string text);
  Hwnd hWnd() const { return m_hwnd; }
  bool IconAnimation() const { return TMR.enabled(); }
  // In a designer: refused with a message box, the timer stays off. At run time, stopping while
  // slot 2 shows steps back to slot 1 first.
  void setIconAnimation(bool value);
  int32_t Interval() const { return TMR.interval(); }
  void setInterval(int32_t ms);  // error 380 below 0
  // "major.minor" of the running system, "0.0" when it cannot be read.
  Variant OsVersion();
  void AddIcon();
  // One animation step.
  void ChangeIcon();
  void RefreshToolTip();
  void RemoveIcon();

  // --- Events (raised synchronously) ---
  std::function<void()> onMouseOver;
  std::function<void(int16_t& button)> onClick;
  std::function<void(int16_t& button)> onDblClick;
  std::function<void()> onIconAdd;
  std::function<void()> onIconRemove;
  std::function<void()> onBlink;

  // --- The container's side ---
  // A new control placed on a form.
  void InitProperties();
  // Loading the saved state: values go straight to the slots and the timer. A saved value that
  // does not suit its property (garbage, another type) loads as that property's default.
  void ReadProperties(PropertyBag& bag);
  void WriteProperties(PropertyBag& bag);
  // The container sets the control's size (twips); the control keeps its face's size.
  void setExtent(int32_t width, int32_t height);
  int32_t width() const { return m_width; }
  int32_t height() const { return m_height; }
  // A mouse move over the control window, coordinates in twips. The shell's notifications arrive
  // this way, with the mouse message's number as x in pixels.
  void MouseMove(int16_t button, int16_t shift, float x, float y);

  // While the control handles a window message or a timer tick, the owner may be kept alive
  // through this (an event handler may release the last reference to the control).
  std::function<std::shared_ptr<void>()> holdWhileBusy;

  // --- Controls on the control ---
  FaceButton cmdTray;
  Timer TMR;

 private:
  void Resize();
  void TMR_Timer();
  LResult windowProc(Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam);
  int32_t twipsPerPixelX() const;
  int32_t twipsPerPixelY() const;
  void changed(std::string_view name) { m_host.site.propertyChanged(name); }

  ControlHost m_host;
  Hwnd m_hwnd = 0;
  Picture m_icon[2];  // the image slots, Icon index 0 and 1
  std::string m_toolTip[2];
  int32_t m_width = 0;
  int32_t m_height = 0;
};

}  // namespace morvane
