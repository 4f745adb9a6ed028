// The simulated per-user settings store: exact round trips, defaults, and files that are
// damaged, shared or cannot be written.
#include "platform/sim/sim_settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/runtime_error.h"
#include "platform/sim/sim_files.h"
#include "tests/platform/error_number.h"
#include "tests/platform/settings_store_contract.h"
#include "tests/platform/temp_dir.h"

namespace morvane::sim {
namespace {

class SimSettingsStoreTest : public ::testing::Test {
 protected:
  std::filesystem::path file() const { return m_dir.path() / "morvane" / "settings.ini"; }
  std::string get(std::string_view key, std::string_view fallback = "<default>") {
    return m_store.getSetting("Morvane", "Settings", key, fallback);
  }
  void writeRaw(const std::string& bytes) {
    std::filesystem::create_directories(file().parent_path());
    std::ofstream(file(), std::ios::binary) << bytes;
  }

  morvane::testing::TempDir m_dir;
  SimSettingsStore m_store{file()};
};

TEST_F(SimSettingsStoreTest, MissingFileGivesDefaults) {
  EXPECT_EQ(get("Delay", "1000"), "1000");
  EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(SimSettingsStoreTest, AnyTextRoundTripsExactly) {
  const std::string values[] = {"",
                                " ",
                                "  padded  ",
                                "\"quoted\"",
                                "'x'",
                                "a=b;c[d]",
                                "100%",
                                "%41",
                                "line1\r\nline2",
                                "tab\there",
                                std::string("nul\0byte", 8),
                                "C:\\ACT\\Morvane.ini",
                                std::string(300, 'w'),
                                "\xE4\xF6\xFC"};
  int n = 0;
  for (const auto& value : values) {
    const std::string key = "Key" + std::to_string(n++);
    m_store.saveSetting("Morvane", "Settings", key, value);
    EXPECT_EQ(get(key), value) << key;
  }
  // Earlier keys survive the later writes.
  EXPECT_EQ(get("Key2"), "  padded  ");
}

TEST_F(SimSettingsStoreTest, NamesAreCaseInsensitiveAndKeptApart) {
  m_store.saveSetting("Morvane", "Settings", "Delay", "500");
  m_store.saveSetting("morvane", "SETTINGS", "delay", "700");
  m_store.saveSetting("Other", "Settings", "Delay", "1");
  m_store.saveSetting("Morvane", "Settings\\Nested", "Delay", "2");
  m_store.saveSetting("Morvane", "Settings", "Odd=Key]", "3");
  EXPECT_EQ(get("DELAY"), "700");
  EXPECT_EQ(m_store.getSetting("Other", "Settings", "Delay", ""), "1");
  EXPECT_EQ(m_store.getSetting("Morvane", "Settings\\Nested", "Delay", ""), "2");
  EXPECT_EQ(get("Odd=Key]"), "3");
  EXPECT_EQ(get("Odd"), "<default>");
}

TEST_F(SimSettingsStoreTest, TwoStoresOnOneFileSeeEachOthersWrites) {
  SimSettingsStore other(file());
  m_store.saveSetting("Morvane", "Settings", "Delay", "1500");
  other.saveSetting("Morvane", "Settings", "StealthMode", "1");
  EXPECT_EQ(get("Delay"), "1500");
  EXPECT_EQ(get("StealthMode"), "1");
}

TEST_F(SimSettingsStoreTest, DamagedFileNeitherCrashesNorLosesContent) {
  const std::string damaged[] = {
      std::string("\0\xFF\xFE garbage \0", 13),
      "[Morvane\\Settings]\r\nDelay=\"25",    // cut off mid-value
      "[Morvane\\Settings\r\nWidthCol1=\"1",  // cut off header
      std::string(100000, '['),
      "\xEF\xBB\xBF[Morvane\\Settings]\r\nDelay=\"9\"\r\n",
  };
  for (const auto& bytes : damaged) {
    writeRaw(bytes);
    (void)get("Delay");  // whatever it finds, it must not fail
    m_store.saveSetting("Morvane", "Settings", "ViewType", "3");
    EXPECT_EQ(get("ViewType"), "3");
    const auto after = readHostFile(file());
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->compare(0, bytes.size(), bytes), 0) << "the damaged bytes were not kept";
  }
}

TEST_F(SimSettingsStoreTest, HandEditedValuesAreRead) {
  writeRaw(
      "; by hand\n[morvane\\settings]\nDelay = 2500 \nIniLocation=C:\\Rules\\r.ini\nBad=%zz\n");
  EXPECT_EQ(get("Delay"), "2500");
  EXPECT_EQ(get("IniLocation"), "C:\\Rules\\r.ini");
  EXPECT_EQ(get("Bad"), "%zz");
}

TEST_F(SimSettingsStoreTest, SavesThatCannotHappenThrow5AndKeepTheFile) {
  auto errorOf = [&](std::string_view app, std::string_view section) {
    return morvane::testing::errorNumberOf(
        [&] { m_store.saveSetting(app, section, "Delay", "1"); });
  };
  EXPECT_EQ(errorOf("", "Settings"), 5);
  EXPECT_EQ(errorOf("Morvane", ""), 5);
  EXPECT_EQ(m_store.getSetting("", "Settings", "Delay", "d"), "d");

  m_store.saveSetting("Morvane", "Settings", "Delay", "800");
  std::filesystem::permissions(file(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(errorOf("Morvane", "Settings"), 5);
  EXPECT_EQ(get("Delay"), "800");

  // A folder where the file should be: never replaced.
  SimSettingsStore onFolder(m_dir.path());
  try {
    onFolder.saveSetting("Morvane", "Settings", "Delay", "1");
    ADD_FAILURE() << "saving over a folder succeeded";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), 5);
  }
}

TEST(SimSettingsStoreDefaultFile, FollowsTheEnvironment) {
  const char* savedExplicit = std::getenv("MORVANE_SETTINGS_FILE");
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string keepExplicit = savedExplicit ? savedExplicit : "";
  const std::string keepXdg = savedXdg ? savedXdg : "";

  ::unsetenv("MORVANE_SETTINGS_FILE");
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(SimSettingsStore::defaultFile(), "/tmp/xdg-test/morvane/settings.ini");
  ::setenv("MORVANE_SETTINGS_FILE", "/tmp/elsewhere.ini", 1);
  EXPECT_EQ(SimSettingsStore::defaultFile(), "/tmp/elsewhere.ini");

  if (savedExplicit) {
    ::setenv("MORVANE_SETTINGS_FILE", keepExplicit.c_str(), 1);
  } else {
    ::unsetenv("MORVANE_SETTINGS_FILE");
  }
  if (savedXdg) {
    ::setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

// The store in a fresh temporary folder, for the tests every store passes.
class SimStoreFixture {
 public:
  SettingsStore& store() { return m_store; }

 private:
  morvane::testing::TempDir m_dir;
  SimSettingsStore m_store{m_dir.path() / "settings.ini"};
};

}  // namespace
}  // namespace morvane::sim

namespace morvane::testing {
INSTANTIATE_TYPED_TEST_SUITE_P(Sim, SettingsStoreContract, sim::SimStoreFixture);
}  // namespace morvane::testing
