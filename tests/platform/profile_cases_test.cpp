// The Windows private-profile cases of profile_cases.tsv, played through SimProfileFiles on a
// sandbox file. Each row gives the file before, one call, and the value read or the file after.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/sim_files.h"
#include "platform/sim/sim_profile_files.h"
#include "tests/platform/profile_case_table.h"
#include "tests/platform/temp_dir.h"

namespace morvane::sim {
namespace {

using morvane::testing::profileArgument;
using morvane::testing::ProfileCase;
using morvane::testing::splitProfileOperation;
using morvane::testing::unescapeProfileText;

std::vector<ProfileCase> loadCases() {
  return morvane::testing::loadProfileCases(std::string(MORVANE_TEST_DATA) + "/profile_cases.tsv");
}

class ProfileCaseTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileCaseTest, MatchesWindows) {
  const ProfileCase& c = GetParam();
  morvane::testing::TempDir dir;
  SimFileSystem files(dir.path());
  SimProfileFiles profile(files);
  const std::string path = "C:\\Test\\Case.ini";
  ASSERT_TRUE(files.createDirectory("C:\\Test"));
  if (c.initial != "<none>") {
    ASSERT_TRUE(
        files.writeFile(path, c.initial == "<empty>" ? "" : unescapeProfileText(c.initial)));
  }
  const auto words = splitProfileOperation(c.operation);
  ASSERT_FALSE(words.empty());
  SCOPED_TRACE(c.id + (c.uncertain ? " (our choice where Windows is unverified)" : ""));

  if (*words[0] == "GET") {
    ASSERT_EQ(words.size(), 5u);
    const char kSentinel[] = "~untouched~";
    char buffer[256];
    std::memcpy(buffer, kSentinel, sizeof kSentinel);
    const auto size = static_cast<uint32_t>(std::stoul(*words[4]));
    const uint32_t count =
        profile.getPrivateProfileStringA(profileArgument(words[1]), profileArgument(words[2]),
                                         profileArgument(words[3]), buffer, size, path.c_str());
    EXPECT_EQ(count, static_cast<uint32_t>(c.count));
    if (c.expected == "<unchanged>") {
      EXPECT_STREQ(buffer, kSentinel);
    } else {
      const std::string expected = c.expected == "<empty>" ? "" : unescapeProfileText(c.expected);
      EXPECT_EQ(std::string(buffer, count), expected);
      EXPECT_EQ(buffer[count], '\0');
    }
    return;
  }

  bool ok = false;
  if (*words[0] == "SET") {
    ASSERT_EQ(words.size(), 4u);
    ok = profile.writePrivateProfileStringA(profileArgument(words[1]), profileArgument(words[2]),
                                            profileArgument(words[3]), path.c_str());
  } else {
    ASSERT_EQ(*words[0], "DELSECTION");
    ok = profile.writePrivateProfileStringA(profileArgument(words[1]), nullptr, nullptr,
                                            path.c_str());
  }
  EXPECT_EQ(ok, c.count != 0);
  const auto after = files.readFile(path);
  if (c.expected == "<none>") {
    EXPECT_FALSE(after.has_value());
  } else {
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(*after, c.expected == "<empty>" ? "" : unescapeProfileText(c.expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileCaseTest, ::testing::ValuesIn(loadCases()),
                         [](const auto& info) { return info.param.id; });

TEST(ProfileCases, TableIsPresent) {
  EXPECT_GE(loadCases().size(), 90u);
}

}  // namespace
}  // namespace morvane::sim
