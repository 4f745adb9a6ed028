// The editor on the simulated desktop for tests: a world with ACT! running on the sample
// database and its rules, a simulated user, and what the user would read off the screen.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "editor/frmMain.h"
#include "editor/morvane_program.h"
#include "hostsim/act_sim.h"
#include "platform/sim/sim_user.h"
#include "simulator/sim_world.h"

namespace morvane::testing_editor {

using hostsim::sample::kIdStatus;
using hostsim::sample::kReferredBy;
using simulator::SimWorld;

constexpr const char* kRules = "C:\\Program Files\\Morvane\\Morvane.ini";

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world.writeSampleRules();
    world.startAct();
  }
  frmMain& open(const std::string& commandLine = "0") {
    world.runMorvane(commandLine);
    MorvaneProgram* p = world.morvane();
    if (p == nullptr || !p->main.loaded()) throw std::runtime_error("the editor did not open");
    return p->main;
  }
  std::string rule(const std::string& section, const std::string& key) {
    char buffer[256] = {};
    world.profiles.getPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", buffer,
                                            sizeof buffer, kRules);
    return buffer;
  }
  std::vector<std::pair<std::string, std::string>> rows(const frmMain& f) const {
    std::vector<std::pair<std::string, std::string>> r;
    for (size_t i = 0; i < f.lvwValues.rows().size(); ++i)
      r.emplace_back(f.lvwValues.rows()[i].text, f.lvwValues.subItem(i, 1));
    return r;
  }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : world.boxes.shown()) texts.push_back(b.text);
    return texts;
  }
  // A click in the middle of a row's layout cell, where it shows.
  void clickLayoutCell(frmMain& f, size_t row) {
    const int32_t x = f.lvwValues.shownColumnLeft(1) + f.lvwValues.columns()[1].width / 2;
    user.clickAt(f.lvwValues, ui::mouse::kLeft, x, f.lvwValues.rowTop(row) + 100);
    world.settle();
  }
  int32_t entryOf(const ui::ComboBox& combo, const std::string& text) const {
    for (int32_t i = 0; i < combo.listCount(); ++i)
      if (combo.list(i) == text) return i;
    return -1;
  }

  // Opens a dialog from the editor's Options menu; work runs while it is up, on the dialog the
  // user sees, and closes it.
  template <class Dialog>
  void withDialog(frmMain& f, const std::string& entry, const std::function<void(Dialog&)>& work) {
    bool shown = false;
    world.ui().whenModal([&] {
      auto* dialog = dynamic_cast<Dialog*>(world.ui().modalForm());
      ASSERT_NE(dialog, nullptr);
      shown = true;
      work(*dialog);
    });
    user.chooseMenu(f, {"&Options", entry});
    world.settle();
    EXPECT_TRUE(shown);
    EXPECT_EQ(world.ui().unansweredModals(), 0) << "the dialog was left open";
  }

  SimWorld world;
  sim::SimUser user{world.desktop, world.ui()};
};

}  // namespace morvane::testing_editor
