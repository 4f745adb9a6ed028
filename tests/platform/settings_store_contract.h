// What every SettingsStore does, whether it keeps its values in a file (the simulation) or in the
// registry (Windows). A backend's test instantiates the suite with a fixture type that makes a
// fresh, empty store and has `SettingsStore& store()`:
//   INSTANTIATE_TYPED_TEST_SUITE_P(Registry, SettingsStoreContract, RegistryStoreFixture);
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/settings_store.h"
#include "tests/platform/error_number.h"

namespace morvane::testing {

template <class Fixture>
class SettingsStoreContract : public ::testing::Test {
 protected:
  SettingsStore& store() { return m_fixture.store(); }
  std::string get(std::string_view key, std::string_view fallback = "<default>") {
    return store().getSetting("Morvane", "Settings", key, fallback);
  }

 private:
  Fixture m_fixture;
};

TYPED_TEST_SUITE_P(SettingsStoreContract);

TYPED_TEST_P(SettingsStoreContract, MissingApplicationSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(this->get("Delay", "1000"), "1000");
  this->store().saveSetting("Morvane", "Settings", "Delay", "2500");
  EXPECT_EQ(this->store().getSetting("Other", "Settings", "Delay", "d"), "d");
  EXPECT_EQ(this->store().getSetting("Morvane", "Other", "Delay", "d"), "d");
  EXPECT_EQ(this->get("StealthMode", "0"), "0");
  EXPECT_EQ(this->get("Delay", "1000"), "2500");
}

TYPED_TEST_P(SettingsStoreContract, TextRoundTripsExactly) {
  const std::string values[] = {"",
                                " ",
                                "  padded  ",
                                "\"quoted\"",
                                "a=b;c[d]",
                                "100%",
                                "line1\r\nline2",
                                "tab\there",
                                "C:\\ACT\\Morvane.ini",
                                "D\xE9"
                                "faut \xC4\xD6\xDC\xDF",
                                std::string(70000, 'w')};
  int n = 0;
  for (const auto& value : values) {
    const std::string key = "Key" + std::to_string(n++);
    this->store().saveSetting("Morvane", "Settings", key, value);
    EXPECT_EQ(this->get(key), value) << key;
  }
  EXPECT_EQ(this->get("Key2"), "  padded  ");  // earlier keys survive later writes
  this->store().saveSetting("Morvane", "Settings", "Key2", "replaced");
  EXPECT_EQ(this->get("Key2"), "replaced");
}

TYPED_TEST_P(SettingsStoreContract, NamesIgnoreLetterCaseAndNestedSectionsStayApart) {
  SettingsStore& store = this->store();
  store.saveSetting("Morvane", "Settings", "Delay", "500");
  store.saveSetting("morvane", "SETTINGS", "delay", "700");
  store.saveSetting("Morvane", "Settings\\Nested", "Delay", "2");
  store.saveSetting("Morvane", "Settings", "Odd=Key]", "3");
  EXPECT_EQ(this->get("DELAY"), "700");
  EXPECT_EQ(store.getSetting("Morvane", "Settings\\Nested", "Delay", ""), "2");
  EXPECT_EQ(this->get("Odd=Key]"), "3");
  EXPECT_EQ(this->get("Odd"), "<default>");
}

TYPED_TEST_P(SettingsStoreContract, EmptyApplicationOrSectionReadsMissingAndSaveThrows5) {
  SettingsStore& store = this->store();
  EXPECT_EQ(errorNumberOf([&] { store.saveSetting("", "Settings", "Delay", "1"); }), 5);
  EXPECT_EQ(errorNumberOf([&] { store.saveSetting("Morvane", "", "Delay", "1"); }), 5);
  EXPECT_EQ(store.getSetting("", "Settings", "Delay", "d"), "d");
  EXPECT_EQ(store.getSetting("Morvane", "", "Delay", "d"), "d");
}

REGISTER_TYPED_TEST_SUITE_P(SettingsStoreContract, MissingApplicationSectionOrKeyGivesTheDefault,
                            TextRoundTripsExactly, NamesIgnoreLetterCaseAndNestedSectionsStayApart,
                            EmptyApplicationOrSectionReadsMissingAndSaveThrows5);

}  // namespace morvane::testing
