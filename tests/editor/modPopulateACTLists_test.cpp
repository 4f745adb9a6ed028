// The field and value lists against the simulated ACT!: which fields the editor offers, how a
// field is selected, the rule rows of a drop-down list, and what a failing ACT! leaves behind.
#include "editor/modPopulateACTLists.h"

#include <gtest/gtest.h>

#include <memory>

#include "hostsim/act_automation.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_settings_store.h"

namespace morvane {
namespace {

using hostsim::ActSim;
using namespace hostsim::sample;

// The editor's type list: field types 1 to 4.
const std::string kEditorTypes = std::string("1\0002\0003\0004\000", 8);
const std::string kSupport =
    "\r\rPlease contact support@morvane.example.com with this error message.";

class PopulateTest : public ::testing::Test {
 protected:
  PopulateTest() { hostsim::registerActClasses(automation, act); }
  // Makes the editor's ACT! objects, as the editor's loading does, and the module on them.
  modPopulateACTLists& lists() {
    module1 = std::make_unique<Module1>(ActProgram::Morvane, automation, settings, trap);
    EXPECT_EQ(module1->Create_ACT_Objects(), "Contact");
    populate = std::make_unique<modPopulateACTLists>(*module1, trap);
    return *populate;
  }
  std::vector<std::pair<std::string, int32_t>> entries(const ui::ComboBox& combo) const {
    std::vector<std::pair<std::string, int32_t>> result;
    for (const auto& item : combo.items()) result.emplace_back(item.text, item.data);
    return result;
  }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes.shown()) texts.push_back(b.text);
    return texts;
  }

  ActSim act{hostsim::sampleDatabase()};
  sim::SimAutomation automation;
  sim::SimMessageBoxes boxes;
  sim::SimSettingsStore settings;
  ErrorTrap trap{boxes, "Morvane"};
  std::unique_ptr<Module1> module1;
  std::unique_ptr<modPopulateACTLists> populate;
};

TEST_F(PopulateTest, OffersTheAcceptedFieldsWithListsAndSelectsByNumber) {
  struct Case {
    std::string select;
    int32_t listIndex;
  };
  for (const Case& c : std::vector<Case>{{"", -1},
                                         {"vbTopItem", 0},
                                         {"6", 1},
                                         {"6.0", 1},
                                         {"99", -1},
                                         {"abc", -1},
                                         {"VBTOPITEM", -1}}) {
    ui::ComboBox combo("cboField");
    int clicks = 0;
    combo.onClick = [&] { ++clicks; };
    lists().Populate_cboFields(combo, kEditorTypes, true, c.select);
    // The unused position is skipped; Referred By (type 2) has a list; User 1 (type 2) has none,
    // Region (type 5) is not an accepted type.
    EXPECT_EQ(entries(combo), (std::vector<std::pair<std::string, int32_t>>{
                                  {"ID/Status", kIdStatus}, {"Referred By", kReferredBy}}))
        << c.select;
    EXPECT_EQ(combo.listIndex(), c.listIndex) << c.select;
    EXPECT_EQ(clicks, c.listIndex >= 0 ? 1 : 0) << c.select;
  }
  EXPECT_TRUE(boxes.shown().empty());

  // Without popupOnly every accepted type is offered; the combo box is not cleared first.
  ui::ComboBox combo("cboField");
  combo.addItem("kept");
  lists().Populate_cboFields(combo, kEditorTypes, false, "");
  EXPECT_EQ(combo.listCount(), 6);
  EXPECT_EQ(combo.list(0), "kept");
  EXPECT_EQ(combo.list(5), "User 1");
}

TEST_F(PopulateTest, IncludeFieldSearchesTheTypeListAsText) {
  modPopulateACTLists& l = lists();
  const std::string id = std::to_string(kCompany);  // type 1, no list
  EXPECT_TRUE(l.Include_Field(id, std::string("11\0", 3), false)) << "\"1\\0\" occurs in \"11\\0\"";
  EXPECT_FALSE(l.Include_Field(id, std::string("2\0", 2), false));
  EXPECT_FALSE(l.Include_Field(id, "1", false)) << "the NUL is part of the search";
  EXPECT_FALSE(l.Include_Field(id, kEditorTypes, true)) << "no drop-down list";
  EXPECT_TRUE(l.Include_Field(std::to_string(kReferredBy), kEditorTypes, true));
  EXPECT_FALSE(l.Include_Field(std::to_string(kRegion), kEditorTypes, true));
  EXPECT_TRUE(boxes.shown().empty());

  // The result keeps what was set before the failing step.
  act.faults.failingMembers = {"Fields.HasPopupList"};
  EXPECT_TRUE(l.Include_Field(std::to_string(kIdStatus), kEditorTypes, true));
  act.faults.failingMembers = {"Fields.Type"};
  EXPECT_FALSE(l.Include_Field(std::to_string(kIdStatus), kEditorTypes, false));
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_NE(
      boxTexts()[0].find("\rin modPopulateACTLists: Function Include_Field - Line # 3" + kSupport),
      std::string::npos)
      << boxTexts()[0];
  EXPECT_NE(
      boxTexts()[1].find("\rin modPopulateACTLists: Function Include_Field - Line # 1" + kSupport),
      std::string::npos)
      << boxTexts()[1];
}

TEST_F(PopulateTest, AFailureAtTheFirstPositionIsReportedAndLaterOnesEndTheScanSilently) {
  ui::ComboBox first("cboField");
  act.faults.failingMembers = {"Fields.ID"};
  lists().Populate_cboFields(first, kEditorTypes, true, "vbTopItem");
  EXPECT_EQ(first.listCount(), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_NE(boxTexts()[0].find("\rin modPopulateACTLists: Sub Populate_cboFields - Line # 2\r"),
            std::string::npos)
      << boxTexts()[0];

  // Count is first read after the first position: the scan ends there, and nothing is selected.
  act.faults.failingMembers = {"Fields.Count"};
  ui::ComboBox later("cboField");
  populate->Populate_cboFields(later, kEditorTypes, false, "vbTopItem");
  EXPECT_EQ(entries(later), (std::vector<std::pair<std::string, int32_t>>{{"Company", kCompany}}));
  EXPECT_EQ(later.listIndex(), -1);
  EXPECT_EQ(boxes.shown().size(), 1u);
}

TEST_F(PopulateTest, RuleRowsAreTheDefaultRowThenTheDropDownValues) {
  ui::ListView list("lvwValues");
  lists().Populate_lvwPopupList(list, static_cast<int16_t>(kIdStatus));
  ASSERT_EQ(list.rows().size(), 5u);
  EXPECT_EQ(list.rows()[0].text, "If no layout assigned");
  EXPECT_TRUE(list.rows()[0].bold);
  EXPECT_EQ(list.rows()[1].text, "Customer");
  EXPECT_FALSE(list.rows()[1].bold);
  EXPECT_EQ(list.rows()[4].text, "Supplier");

  // Not cleared first; a field without a list gives the default row only.
  populate->Populate_lvwPopupList(list, static_cast<int16_t>(kUser1));
  EXPECT_EQ(list.rows().size(), 6u);
  EXPECT_TRUE(boxes.shown().empty());

  // A failure keeps the rows added so far.
  ui::ListView failing("lvwValues");
  act.faults.failingMembers = {"PopupInfo.Value"};
  populate->Populate_lvwPopupList(failing, static_cast<int16_t>(kIdStatus));
  ASSERT_EQ(failing.rows().size(), 1u);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_NE(boxTexts()[0].find("\rin modPopulateACTLists: Sub Populate_lvwPopupList - Line # 3\r"),
            std::string::npos);
}

}  // namespace
}  // namespace morvane
