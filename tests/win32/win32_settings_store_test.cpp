// The registry settings store: the tests every store passes, in a scratch key, and what only the
// registry has: the key Basic programs use, values of other types, keys that cannot be made.
#include "platform/win32/win32_settings_store.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/error_number.h"
#include "tests/platform/settings_store_contract.h"
#include "tests/win32/support/scratch.h"

#include "platform/win32/win32_base.h"

namespace morvane::win32 {
namespace {

using wintest::ScratchRegistryKey;

class RegistryStoreFixture {
 public:
  SettingsStore& store() { return m_store; }

 private:
  ScratchRegistryKey m_key;
  Win32SettingsStore m_store{m_key.path()};
};

// Writes a raw value of any type, as another program could have.
void writeRaw(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  RegCloseKey(handle);
}

// The value as the registry holds it: its type and its UTF-16 text.
struct RawValue {
  DWORD type = REG_NONE;
  std::wstring text;
};
RawValue readRaw(const std::string& key, const wchar_t* name) {
  RawValue raw;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, toWide(key).c_str(), 0, KEY_QUERY_VALUE, &handle) !=
      ERROR_SUCCESS) {
    return raw;
  }
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegQueryValueExW(handle, name, nullptr, &raw.type, reinterpret_cast<BYTE*>(buffer), &size) ==
      ERROR_SUCCESS) {
    raw.text = buffer;
  }
  RegCloseKey(handle);
  return raw;
}

TEST(Win32SettingsStore, ValuesOfOtherTypesReadAsMissingUntilSavedAgain) {
  ScratchRegistryKey scratch;
  Win32SettingsStore store(scratch.path());
  const std::string section = store.sectionKey("Morvane", "Settings");
  const DWORD number = 2500;
  const BYTE bytes[] = {'1', '0', '0', 0};
  const char expandable[] = "%TEMP%";
  const char multi[] = "1000\0second\0";
  writeRaw(section, "Dword", REG_DWORD, &number, sizeof number);
  writeRaw(section, "Binary", REG_BINARY, bytes, sizeof bytes);
  writeRaw(section, "Expand", REG_EXPAND_SZ, expandable, sizeof expandable);
  writeRaw(section, "Multi", REG_MULTI_SZ, multi, sizeof multi);
  for (const char* name : {"Dword", "Binary", "Expand", "Multi"}) {
    EXPECT_EQ(store.getSetting("Morvane", "Settings", name, "<default>"), "<default>") << name;
  }
  store.saveSetting("Morvane", "Settings", "Dword", "1500");
  EXPECT_EQ(store.getSetting("Morvane", "Settings", "Dword", ""), "1500");
  EXPECT_EQ(readRaw(section, L"Dword").type, static_cast<DWORD>(REG_SZ));
}

TEST(Win32SettingsStore, TextIsStoredAsTheCharactersNotTheBytes) {
  ScratchRegistryKey scratch;
  Win32SettingsStore store(scratch.path());
  store.saveSetting("Morvane", "Settings", "Layout",
                    "D\xE9"
                    "faut");
  const RawValue raw = readRaw(store.sectionKey("Morvane", "Settings"), L"Layout");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.text, L"D\u00E9faut");
}

TEST(Win32SettingsStore, KeysThatCannotBeMadeThrow5AndReadAsMissing) {
  ScratchRegistryKey scratch;
  Win32SettingsStore store(scratch.path());
  const std::string tooLong(300, 's');  // a key name has at most 255 characters
  EXPECT_EQ(
      morvane::testing::errorNumberOf([&] { store.saveSetting("Morvane", tooLong, "Delay", "1"); }),
      5);
  EXPECT_EQ(store.getSetting("Morvane", tooLong, "Delay", "d"), "d");
}

// The real root, shared with every Basic program of this user: only an application of our own
// is written there, and it is removed again with the root if the test made it.
class BasicRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY root = nullptr;
    m_rootExisted = RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &root) == ERROR_SUCCESS;
    if (root != nullptr) RegCloseKey(root);
  }
  void TearDown() override {
    const std::string application = std::string(kRoot) + "\\" + m_application;
    RegDeleteTreeA(HKEY_CURRENT_USER, application.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, application.c_str());
    if (!m_rootExisted) RegDeleteKeyA(HKEY_CURRENT_USER, kRoot);
  }

  static constexpr const char* kRoot = "Software\\VB and VBA Program Settings";
  const std::string m_application = wintest::uniqueName("Morvane Test");
  bool m_rootExisted = false;
};

TEST_F(BasicRootTest, SettingsLiveWhereBasicProgramsKeepThem) {
  Win32SettingsStore store;
  store.saveSetting(m_application, "Settings", "Delay", "2500");
  const std::string section = std::string(kRoot) + "\\" + m_application + "\\Settings";
  EXPECT_EQ(store.sectionKey(m_application, "Settings"), section);
  const RawValue raw = readRaw(section, L"Delay");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.text, L"2500");
  // A value an existing installation left there is read.
  writeRaw(section, "IniLocation", REG_SZ, "C:\\Rules\\Morvane.ini", 21);
  EXPECT_EQ(store.getSetting(m_application, "Settings", "IniLocation", ""),
            "C:\\Rules\\Morvane.ini");
}

}  // namespace
}  // namespace morvane::win32

namespace morvane::testing {
INSTANTIATE_TYPED_TEST_SUITE_P(Registry, SettingsStoreContract, win32::RegistryStoreFixture);
}  // namespace morvane::testing
