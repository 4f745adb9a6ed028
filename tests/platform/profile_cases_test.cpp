// The Windows private-profile cases of profile_cases.tsv, played through SimProfileFiles on a
// sandbox file. Each row gives the file before, one call, and the value read or the file after.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/sim_files.h"
#include "platform/sim/sim_profile_files.h"
#include "tests/platform/temp_dir.h"

namespace morvane::sim {
namespace {

struct ProfileCase {
  std::string id;
  std::string initial;
  std::string operation;
  std::string expected;
  int count = 0;
  bool uncertain = false;
};

void PrintTo(const ProfileCase& c, std::ostream* os) {
  *os << c.id << ": " << c.operation;
}

// \r \n \t \v \0 \\ \" and \xHH.
std::string unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    switch (c) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'v':
        out += '\v';
        break;
      case '0':
        out += '\0';
        break;
      case 'x':
        out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
        i += 2;
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::vector<ProfileCase> loadCases() {
  std::vector<ProfileCase> cases;
  std::ifstream in(std::string(MORVANE_TEST_DATA) + "/profile_cases.tsv", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream row(line);
    std::string field;
    while (std::getline(row, field, '\t')) fields.push_back(field);
    if (fields.size() < 5) continue;
    cases.push_back({fields[0], fields[1], fields[2], fields[3], std::stoi(fields[4]),
                     fields.size() > 5 && fields[5] == "uncertain"});
  }
  return cases;
}

// The words of an operation: its name, then quoted strings (unescaped), NULL (nullopt) or a number.
std::vector<std::optional<std::string>> splitOperation(std::string_view op) {
  std::vector<std::optional<std::string>> words;
  size_t i = 0;
  while (i < op.size()) {
    if (op[i] == ' ') {
      ++i;
    } else if (op[i] == '"') {
      size_t j = i + 1;
      while (j < op.size() && op[j] != '"') j += op[j] == '\\' ? 2 : 1;
      words.push_back(unescape(op.substr(i + 1, j - i - 1)));
      i = j + 1;
    } else {
      const size_t j = std::min(op.find(' ', i), op.size());
      const std::string word(op.substr(i, j - i));
      words.push_back(word == "NULL" ? std::nullopt : std::optional<std::string>(word));
      i = j;
    }
  }
  return words;
}

const char* arg(const std::optional<std::string>& word) {
  return word ? word->c_str() : nullptr;
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
    ASSERT_TRUE(files.writeFile(path, c.initial == "<empty>" ? "" : unescape(c.initial)));
  }
  const auto words = splitOperation(c.operation);
  ASSERT_FALSE(words.empty());
  SCOPED_TRACE(c.id + (c.uncertain ? " (our choice where Windows is unverified)" : ""));

  if (*words[0] == "GET") {
    ASSERT_EQ(words.size(), 5u);
    const char kSentinel[] = "~untouched~";
    char buffer[256];
    std::memcpy(buffer, kSentinel, sizeof kSentinel);
    const auto size = static_cast<uint32_t>(std::stoul(*words[4]));
    const uint32_t count = profile.getPrivateProfileStringA(
        arg(words[1]), arg(words[2]), arg(words[3]), buffer, size, path.c_str());
    EXPECT_EQ(count, static_cast<uint32_t>(c.count));
    if (c.expected == "<unchanged>") {
      EXPECT_STREQ(buffer, kSentinel);
    } else {
      const std::string expected = c.expected == "<empty>" ? "" : unescape(c.expected);
      EXPECT_EQ(std::string(buffer, count), expected);
      EXPECT_EQ(buffer[count], '\0');
    }
    return;
  }

  bool ok = false;
  if (*words[0] == "SET") {
    ASSERT_EQ(words.size(), 4u);
    ok = profile.writePrivateProfileStringA(arg(words[1]), arg(words[2]), arg(words[3]),
                                            path.c_str());
  } else {
    ASSERT_EQ(*words[0], "DELSECTION");
    ok = profile.writePrivateProfileStringA(arg(words[1]), nullptr, nullptr, path.c_str());
  }
  EXPECT_EQ(ok, c.count != 0);
  const auto after = files.readFile(path);
  if (c.expected == "<none>") {
    EXPECT_FALSE(after.has_value());
  } else {
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(*after, c.expected == "<empty>" ? "" : unescape(c.expected));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileCaseTest, ::testing::ValuesIn(loadCases()),
                         [](const auto& info) { return info.param.id; });

TEST(ProfileCases, TableIsPresent) {
  EXPECT_GE(loadCases().size(), 90u);
}

}  // namespace
}  // namespace morvane::sim
