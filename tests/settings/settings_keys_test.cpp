// The settings keys on the simulated per-user store: defaults, the typed readers' rules, and
// what the writers store.
#include "shared/settings/settings_keys.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "platform/sim/sim_settings_store.h"
#include "tests/platform/error_number.h"
#include "tests/platform/temp_dir.h"

namespace morvane::settings {
namespace {

class SettingsKeysTest : public ::testing::Test {
 protected:
  std::string raw(std::string_view key) {
    return m_store.getSetting("Morvane", "Settings", key, "<missing>");
  }
  morvane::testing::TempDir m_dir;
  sim::SimSettingsStore m_store{m_dir.path() / "settings.ini"};
};

TEST_F(SettingsKeysTest, DelayReadsRoundedAndWithinTheTimersRange) {
  EXPECT_EQ(readDelay(m_store), 1000);  // missing
  struct Case {
    const char* stored;
    int32_t delay;
  };
  const Case cases[] = {
      {"abc", 1000},          {"", 1000},       {"2500", 2500},   {" 700 ", 700},
      {"1500.5", 1500},       {"1501.5", 1502}, {"2.5e3", 2500},  {"1,200", 1200},
      {"&H1F4", 500},         {"0", 1},         {"0.4", 1},       {"0.5", 1},
      {"0.6", 1},             {"1.5", 2},       {"-0.4", 1},      {"-0.6", 1000},
      {"-5", 1000},           {"-1e300", 1000}, {"65535", 65535}, {"70000", 65535},
      {"99999999999", 65535}, {"1e300", 65535}, {"1e999", 1000},  {"12ms", 1000},
  };
  for (const auto& c : cases) {
    saveDelayText(m_store, c.stored);
    EXPECT_EQ(readDelay(m_store), c.delay) << '"' << c.stored << '"';
    EXPECT_EQ(readDelayText(m_store), c.stored);
  }
}

TEST_F(SettingsKeysTest, IniLocationDefaultsToTheProgramFolder) {
  EXPECT_EQ(readIniLocation(m_store, "C:\\Program Files\\Morvane"),
            "C:\\Program Files\\Morvane\\Morvane.ini");
  EXPECT_EQ(readIniLocation(m_store, "C:\\"), "C:\\Morvane.ini");
  // Worked out at each read: another folder gives another default.
  EXPECT_EQ(readIniLocation(m_store, "D:\\Apps"), "D:\\Apps\\Morvane.ini");

  saveIniLocation(m_store, "\\\\Server\\Share\\Rules\\Team.ini");
  EXPECT_EQ(readIniLocation(m_store, "C:\\Program Files\\Morvane"),
            "\\\\Server\\Share\\Rules\\Team.ini");
  EXPECT_EQ(raw("IniFolder"), "\\\\Server\\Share\\Rules\\");
  saveIniLocation(m_store, "Team.ini");
  EXPECT_EQ(raw("IniFolder"), "");
}

TEST_F(SettingsKeysTest, ColumnWidthsRoundTripAsSingleText) {
  EXPECT_EQ(columnWidthKey(1), "WidthCol1");
  EXPECT_EQ(columnWidthKey(2), "WidthCol2");
  EXPECT_EQ(readColumnWidth(m_store, 1), 2500.0f);
  saveColumnWidth(m_store, 1, 1234.5f);
  saveColumnWidth(m_store, 2, 1.0e8f);
  EXPECT_EQ(raw("WidthCol1"), "1234.5");
  EXPECT_EQ(raw("WidthCol2"), "1E+08");
  EXPECT_EQ(readColumnWidth(m_store, 1), 1234.5f);
  EXPECT_EQ(readColumnWidth(m_store, 2), 1.0e8f);
  for (const char* bad : {"abc", "-5", "1e39", ""}) {
    save(m_store, "WidthCol1", bad);
    EXPECT_EQ(readColumnWidth(m_store, 1), 2500.0f) << bad;
  }
}

TEST_F(SettingsKeysTest, StealthModeCountsOnlyTheNumberOne) {
  EXPECT_EQ(readStealthModeText(m_store), "0");
  EXPECT_FALSE(readStealthMode(m_store));
  saveStealthMode(m_store, 1);
  EXPECT_EQ(raw("StealthMode"), "1");
  EXPECT_TRUE(readStealthMode(m_store));
  save(m_store, "StealthMode", "1.0");
  EXPECT_TRUE(readStealthMode(m_store));
  save(m_store, "StealthMode", "2");
  EXPECT_FALSE(readStealthMode(m_store));
  save(m_store, "StealthMode", "");
  EXPECT_EQ(morvane::testing::errorNumberOf([&] { readStealthMode(m_store); }), 13);
}

TEST_F(SettingsKeysTest, ViewTypeIsA16BitInteger) {
  EXPECT_EQ(readViewType(m_store), 1);
  saveViewType(m_store, 3);
  EXPECT_EQ(raw("ViewType"), "3");
  EXPECT_EQ(readViewType(m_store), 3);
  save(m_store, "ViewType", "abc");
  EXPECT_EQ(morvane::testing::errorNumberOf([&] { readViewType(m_store); }), 13);
  save(m_store, "ViewType", "40000");
  EXPECT_EQ(morvane::testing::errorNumberOf([&] { readViewType(m_store); }), 6);
}

TEST_F(SettingsKeysTest, EveryKeyLivesUnderMorvaneSettings) {
  saveDelayText(m_store, "900");
  EXPECT_EQ(m_store.getSetting("Morvane", "Settings", "Delay", ""), "900");
  EXPECT_EQ(m_store.getSetting("MorvaneAuto", "Settings", "Delay", "none"), "none");
}

}  // namespace
}  // namespace morvane::settings
