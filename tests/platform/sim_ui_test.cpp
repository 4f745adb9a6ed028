// What only the simulated desktop's forms do: the Basic runtime's window classes, and modal loops
// that return instead of blocking. The behaviour shared with Windows is in tests/contract.
#include "platform/sim/sim_ui.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "platform/sim/sim_system.h"

namespace morvane::sim {
namespace {

using namespace morvane::win;

class ClassForm : public ui::Form {
 public:
  explicit ClassForm(ui::Ui& ui) : Form(ui, "frmClasses") {
    clientWidth = 3000;
    clientHeight = 3000;
    for (ui::Control* c :
         std::array<ui::Control*, 7>{&label, &button, &check, &combo, &text, &frame, &list})
      add(*c);
  }
  ui::Label label{"label"};
  ui::Button button{"button"};
  ui::CheckBox check{"check"};
  ui::ComboBox combo{"combo"};
  ui::TextBox text{"text"};
  ui::Frame frame{"frame"};
  ui::ListView list{"list"};
};

class SimUiTest : public ::testing::Test {
 protected:
  std::string className(Hwnd h) {
    std::array<char, 64> buffer{};
    desktop.getClassNameA(h, buffer.data(), static_cast<int32_t>(buffer.size()));
    return buffer.data();
  }
  SimSystem system;
  SimHost host{system, 1};
  SimDesktop desktop;
  SimUi ui{desktop, host};
};

TEST_F(SimUiTest, FormsAndControlsAreWindowsOfTheBasicRuntimesClasses_GoneWithTheForm) {
  auto owned = std::make_unique<ClassForm>(ui);
  ClassForm& form = *owned;
  form.load();
  EXPECT_EQ(className(form.hWnd()), "ThunderRT6FormDC");
  EXPECT_EQ(form.label.hWnd(), 0u);
  EXPECT_EQ(className(form.button.hWnd()), "ThunderRT6CommandButton");
  EXPECT_EQ(className(form.check.hWnd()), "ThunderRT6CheckBox");
  EXPECT_EQ(className(form.combo.hWnd()), "ThunderRT6ComboBox");
  EXPECT_EQ(className(form.text.hWnd()), "ThunderRT6TextBox");
  EXPECT_EQ(className(form.frame.hWnd()), "ThunderRT6Frame");
  EXPECT_EQ(className(form.list.hWnd()), "ListView20WndClass");
  const auto inList = desktop.children(form.list.hWnd());
  ASSERT_EQ(inList.size(), 1u);
  EXPECT_EQ(className(inList[0]), "msvb_lib_header");
  EXPECT_FALSE(desktop.isWindowVisible(form.hWnd())) << "loaded, not shown";

  // A form that goes without an unload takes every window with it.
  owned.reset();
  EXPECT_EQ(desktop.windowCount(), 0u);
}

TEST_F(SimUiTest, ModalFormWithNoUserLeftReturnsShownAndIsCounted) {
  ClassForm form(ui);
  form.show(true);
  EXPECT_TRUE(form.visible());
  EXPECT_EQ(ui.unansweredModals(), 1);

  ui.whenModal([&] { form.hide(); });
  form.show(true);
  EXPECT_FALSE(form.visible());
  EXPECT_EQ(ui.unansweredModals(), 1);
}

}  // namespace
}  // namespace morvane::sim
