// The user-interface port on real windows: a form is a top-level window of its own class, its
// controls are the system's standard and common controls, and their messages become the model's
// events through the model's setters.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/callback_failure.h"

namespace morvane::win32 {

class Win32WindowSystem;
class Win32FormPeer;

// One per user-interface thread. Geometry goes from twips to pixels with the screen's twips per
// pixel (1440 / its logical DPI).
//
// Keyboard navigation works in every message loop of the thread (the program's, a modal form's,
// a test's): a message hook takes Tab and Shift+Tab (the model's tab order), Enter (the focused
// or the default button), Escape (the cancel button) and Alt with a button's or check box's access
// key before they reach the focused control.
//
// Events run inside user32's dispatch: an exception they raise is held and rethrown by
// rethrowPending() (a program's loop calls it after DispatchMessage) or from runModal().
class Win32Ui : public ui::Ui {
 public:
  // windows: the window system whose subclasses may run inside this thread's dispatch; a modal
  // loop rethrows their failures too.
  explicit Win32Ui(Win32WindowSystem& windows);
  ~Win32Ui() override;

  std::unique_ptr<ui::FormPeer> createForm(ui::Form& form) override;
  std::unique_ptr<ui::ControlPeer> createControl(ui::Form& form, ui::Control& control) override;
  int32_t systemMetrics(int32_t index) override;
  int32_t twipsPerPixelX() override { return m_twipsX; }
  int32_t twipsPerPixelY() override { return m_twipsY; }
  // GetOpenFileNameA or GetSaveFileNameA with comdlg32's default flags.
  std::optional<std::string> showFileDialog(ui::Form& owner,
                                            const ui::FileDialogRequest& request) override;

  void rethrowPending();

  // Runs once inside each modal loop, as the loop starts (a test's user acts on the modal form).
  std::function<void(ui::Form&)> onModalLoop;

  // Used by the peers.
  template <class Body>
  void run(Body&& body) {
    m_failure.run(std::forward<Body>(body));
  }
  void* font(const ui::Font& font, bool bold);  // HFONT, kept while this object lives
  int32_t toPixelsX(int32_t twips) const;
  int32_t toPixelsY(int32_t twips) const;
  void formCreated(Win32FormPeer* peer);
  void formDestroyed(Win32FormPeer* peer);
  Win32FormPeer* formOf(void* hwnd) const;  // the form a window belongs to, or null
  void runModalLoop(Win32FormPeer& peer);

 private:
  friend struct Win32UiNative;
  bool handleKey(void* hwnd, unsigned key);
  bool handleAccessKey(void* hwnd, char key);  // Alt and a button's or check box's letter

  Win32WindowSystem& m_windows;
  int32_t m_twipsX = 15;
  int32_t m_twipsY = 15;
  void* m_hook = nullptr;  // HHOOK
  struct CachedFont {
    ui::Font font;
    bool bold;
    void* handle;  // HFONT
  };
  std::vector<CachedFont> m_fonts;
  std::vector<Win32FormPeer*> m_forms;
  CallbackFailure m_failure;
};

}  // namespace morvane::win32
