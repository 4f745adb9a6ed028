// IniLib on the simulated profile functions: the lookup's fallbacks, the buffer limit, the
// numeric test, its error trap, and the writers' results.
#include "shared/settings/IniLib.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_profile_files.h"
#include "tests/platform/temp_dir.h"

namespace morvane {
namespace {

constexpr const char* kRules = "C:\\Program Files\\Morvane\\Morvane.ini";
constexpr const char* kSection = "Sales-Contact";

class IniLibTest : public ::testing::Test {
 protected:
  IniLibTest() {
    m_files.createDirectory("C:\\Program Files\\Morvane");
    m_ini.RulesFilePath = kRules;
  }
  morvane::testing::TempDir m_dir;
  sim::SimFileSystem m_files{m_dir.path()};
  sim::SimProfileFiles m_profiles{m_files};
  sim::SimMessageBoxes m_boxes;
  ErrorTrap m_trap{m_boxes, "Morvane"};
  IniLib m_ini{m_profiles, m_trap};
};

TEST_F(IniLibTest, MissingFileGivesTheDefaults) {
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "_Reference_Field_", "0"), "0");
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "If no layout assigned", ""), "");
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Customer", "Standard"), "Standard");
  EXPECT_TRUE(m_boxes.shown().empty());
  EXPECT_FALSE(m_files.exists(kRules));
}

TEST_F(IniLibTest, LookupIgnoresLetterCaseAndFallsBackOnEmptyOrBlank) {
  m_ini.SetKeyValue(kSection, "_Reference_Field_", "12");
  m_ini.SetKeyValue(kSection, "If no layout assigned", "Standard");
  m_ini.SetKeyValue(kSection, "Customer", "Customer layout");
  m_ini.SetKeyValue(kSection, "Prospect", " ");
  m_ini.SetKeyValue(kSection, "Vendor", "");
  const std::string fallback = m_ini.GetKeyValue(kSection, "If no layout assigned", "");
  EXPECT_EQ(fallback, "Standard");
  EXPECT_EQ(m_ini.GetKeyValue("sales-contact", "customer", fallback), "Customer layout");
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Prospect", fallback), "Standard");
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Prospect", ""), "");
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Vendor", fallback), "Standard");
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Unknown", fallback), "Standard");
  EXPECT_EQ(m_ini.GetKeyValue("Sales-Group", "Customer", ""), "");
}

// Values read back whole up to ACT!'s longest layout name, 254 characters; longer ones are cut.
TEST_F(IniLibTest, ValuesReadBackWholeUpToActsLongestLayoutName) {
  std::string value;
  for (int i = 0; i < 300; ++i) value += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(m_ini.SetKeyValue(kSection, "Long", value));
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Long", ""), value.substr(0, 254));
  ASSERT_TRUE(m_ini.SetKeyValue(kSection, "Exact", value.substr(0, 254)));
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Exact", ""), value.substr(0, 254));
  ASSERT_TRUE(m_ini.SetKeyValue(kSection, "Short", value.substr(0, 127)));
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Short", ""), value.substr(0, 127));
  // A long default is not cut: it never goes through the call.
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Missing", value), value);
}

TEST_F(IniLibTest, FileArgumentOverridesRulesFilePath) {
  ASSERT_TRUE(m_files.createDirectory("C:\\Other"));
  ASSERT_TRUE(m_ini.SetKeyValue("s", "k", "other", "C:\\Other\\r.ini"));
  ASSERT_TRUE(m_ini.SetKeyValue("s", "k", "rules"));
  EXPECT_EQ(m_ini.GetKeyValue("s", "k", "", "", "", "C:\\Other\\r.ini"), "other");
  EXPECT_EQ(m_ini.GetKeyValue("s", "k", ""), "rules");
  m_ini.RulesFilePath = "C:\\Other\\r.ini";
  EXPECT_EQ(m_ini.GetKeyValue("s", "k", ""), "other");
}

TEST_F(IniLibTest, NumericAndBooleanTypesReplaceNonNumbers) {
  struct Case {
    const char* stored;  // nullptr: key missing
    const char* type;
    const char* invalidDefault;
    const char* expected;
  };
  const Case cases[] = {
      {"12", "Numeric", "0", "12"},     {"abc", "Numeric", "0", "0"},
      {"abc", "Boolean", "-1", "-1"},   {"-1", "Boolean", "0", "-1"},
      {"True", "Boolean", "0", "0"},    {"abc", "numeric", "0", "abc"},
      {"abc", "", "0", "abc"},          {"abc", "Numeric", "", "abc"},
      {nullptr, "Numeric", "7", "7"},  // the default "x" is tested too
      {" 1,5 ", "Numeric", "0", "1,5"}, {"&HFF", "Numeric", "0", "&HFF"},
  };
  for (const auto& c : cases) {
    m_ini.DeleteSection("T");
    if (c.stored) m_ini.SetKeyValue("T", "k", c.stored);
    EXPECT_EQ(m_ini.GetKeyValue("T", "k", "x", c.type, c.invalidDefault), c.expected)
        << (c.stored ? c.stored : "<missing>") << " as " << c.type;
  }
}

TEST_F(IniLibTest, SaveOrderDeletesTheBareDatabaseSectionOnly) {
  m_ini.SetKeyValue("Sales", "Old", "x");
  m_ini.SetKeyValue(kSection, "Removed value", "Layout A");
  m_ini.DeleteSection("Sales");
  m_ini.SetKeyValue(kSection, "_Reference_Field_", "12");
  m_ini.SetKeyValue(kSection, "If no layout assigned", "");
  EXPECT_EQ(m_files.readFile(kRules),
            "[Sales-Contact]\r\nRemoved value=Layout A\r\n_Reference_Field_=12\r\n"
            "If no layout assigned=\r\n");
}

TEST_F(IniLibTest, WritersReportFailureAndKeepTheFile) {
  ASSERT_TRUE(m_ini.SetKeyValue(kSection, "Customer", "A"));
  ASSERT_TRUE(m_files.setReadOnly(kRules, true));
  EXPECT_FALSE(m_ini.SetKeyValue(kSection, "Customer", "B"));
  EXPECT_FALSE(m_ini.DeleteSection(kSection));
  EXPECT_EQ(m_ini.GetKeyValue(kSection, "Customer", ""), "A");
  m_ini.RulesFilePath = "C:\\Missing\\Morvane.ini";
  EXPECT_FALSE(m_ini.SetKeyValue(kSection, "Customer", "B"));
  EXPECT_FALSE(m_ini.DeleteSection(kSection));
  EXPECT_TRUE(m_boxes.shown().empty());
}

// A profile port whose read fails, to reach the trap.
class FailingProfiles : public ProfileFiles {
 public:
  uint32_t getPrivateProfileStringA(const char*, const char*, const char*, char*, uint32_t,
                                    const char*) override {
    throw RuntimeError(err::kPermissionDenied);
  }
  bool writePrivateProfileStringA(const char*, const char*, const char*, const char*) override {
    return false;
  }
};

TEST(IniLibTrap, ErrorShowsTheStandardBoxAndReturnsEmpty) {
  sim::SimMessageBoxes boxes;
  ErrorTrap trap(boxes, "MorvaneAuto");
  FailingProfiles profiles;
  IniLib ini(profiles, trap);
  EXPECT_EQ(ini.GetKeyValue("s", "k", "default"), "");
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, "MorvaneAuto error");
  EXPECT_NE(boxes.shown()[0].text.find("Error 70: 'Permission denied'\rin IniLib: Function "
                                       "GetKeyValue - Line # 3\r\r"),
            std::string::npos)
      << boxes.shown()[0].text;
}

}  // namespace
}  // namespace morvane
