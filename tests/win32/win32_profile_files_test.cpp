// Our INI engine (the simulation's profile functions) against kernel32's GetPrivateProfileStringA
// on the same files, reads only: the GET rows of the case table and many generated files. Where
// Wine is known to read differently from Windows, the case is skipped with the difference named;
// the engine keeps Windows' rules.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/ini_engine.h"
#include "platform/win32/win32_profile_files.h"
#include "tests/platform/profile_case_table.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/scratch.h"

#include "platform/win32/win32_base.h"

namespace morvane::win32 {
namespace {

using morvane::testing::ProfileCase;

// What one read gives: the characters copied and the buffer up to the count.
struct Read {
  uint32_t count = 0;
  std::string text;
  bool untouched = false;
  friend bool operator==(const Read&, const Read&) = default;
};

// Text with its control characters and non-ASCII bytes as \xHH.
std::string printable(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) {
      out += "\\x";
      out += kDigits[u >> 4];
      out += kDigits[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::ostream& operator<<(std::ostream& os, const Read& r) {
  return os << r.count << " \"" << printable(r.text) << "\""
            << (r.untouched ? " (buffer untouched)" : "");
}

constexpr char kSentinel[] = "~untouched~";

Read readWithEngine(const std::optional<std::string>& file, const std::string& section,
                    const std::string& key, const std::string& fallback, uint32_t size) {
  char buffer[512];
  std::memcpy(buffer, kSentinel, sizeof kSentinel);
  std::optional<std::string_view> content;
  if (file) content = *file;
  // The simulation reads a file with the UTF-16 byte-order mark through the same engine in
  // UTF-16; the table's UTF-16 rows go through kernel32 only and are compared to the table.
  const uint32_t count =
      ini::copyToBuffer(ini::readValue(content, section, key, fallback), buffer, size);
  return {count, std::string(buffer, count), std::strcmp(buffer, kSentinel) == 0};
}

Read readWithKernel32(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& fallback, uint32_t size) {
  char buffer[512];
  std::memcpy(buffer, kSentinel, sizeof kSentinel);
  Win32ProfileFiles profile;
  const uint32_t count = profile.getPrivateProfileStringA(
      section.c_str(), key.c_str(), fallback.c_str(), buffer, size, path.c_str());
  return {count, std::string(buffer, count), std::strcmp(buffer, kSentinel) == 0};
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(toWide(path)), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string besideTheTest(std::string_view name) {
  std::string path = wintest::selfPath();
  path.resize(path.find_last_of('\\') + 1);
  return path + std::string(name);
}

// ---------------------------------------------------------------------------------------------
// The case table.

// Rows where Wine reads differently from Windows, by id: the table holds Windows' answer, which
// the engine gives (the Linux tests check that); Wine's own differs.
const std::map<std::string, std::string>& knownTableDifferences() {
  static const std::map<std::string, std::string> rows = {
      {"R17", "Wine trims TAB from the section parameter; Windows only spaces"},
      {"R18", "Wine trims TAB from the key parameter; Windows only spaces"},
      {"R29", "Wine finds a comment line ';k=v' as the key ';k'; Windows never matches comments"},
      {"R31", "Wine finds a comment line ';k=v' as the key ';k'; Windows never matches comments"},
      {"R35", "Wine ends a section name at the last ']'; Windows at the first"},
      {"R36", "Wine ends a section name at the last ']'; Windows at the first"},
      {"R38", "Wine's section \"\" holds the keys before the first header; Windows' is \"[]\""},
      {"R40", "Wine does not take a '[' line without ']' as a header; Windows does"},
      {"R42", "Wine recognises a UTF-8 byte-order mark; Windows reads it as text"},
      {"R47", "Wine's section \"\" holds the keys before the first header; Windows' is \"[]\""},
      {"R55", "Wine strips quotes from the default; Windows copies it as given"},
      // Where Windows' answer is not confirmed, the engine's choice is not Wine's:
      {"R53", "Wine matches non-ASCII letters of names only in the same case (Windows unverified)"},
      {"U06", "Wine matches non-ASCII letters of names only in the same case (Windows unverified)"},
      {"R56", "Wine's value ends at a NUL byte (Windows unverified)"},
  };
  return rows;
}

std::vector<ProfileCase> tableReads() {
  std::vector<ProfileCase> reads;
  for (ProfileCase& c : morvane::testing::loadProfileCases(besideTheTest("profile_cases.tsv"))) {
    if (c.operation.rfind("GET ", 0) == 0) reads.push_back(std::move(c));
  }
  return reads;
}

class TableRead : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(TableRead, EngineReadsAsKernel32) {
  const ProfileCase& c = GetParam();
  if (const auto known = knownTableDifferences().find(c.id);
      known != knownTableDifferences().end()) {
    GTEST_SKIP() << known->second;
  }
  const auto words = morvane::testing::splitProfileOperation(c.operation);
  ASSERT_EQ(words.size(), 5u);
  ASSERT_TRUE(words[1] && words[2] && words[3]) << "the programs never pass NULL names";
  wintest::ScratchFolder folder;
  const std::string path = folder.file("case.ini");
  std::optional<std::string> content;
  if (c.initial != "<none>") {
    content = c.initial == "<empty>" ? "" : morvane::testing::unescapeProfileText(c.initial);
    ASSERT_TRUE(writeFile(path, *content));
  }
  const auto size = static_cast<uint32_t>(std::stoul(*words[4]));
  const Read wine = readWithKernel32(path, *words[1], *words[2], *words[3], size);
  const bool unicode = content && content->rfind("\xFF\xFE", 0) == 0;
  if (unicode) {
    // Not an engine input here (see readWithEngine): kernel32 against the table.
    const std::string expected =
        c.expected == "<empty>" ? "" : morvane::testing::unescapeProfileText(c.expected);
    EXPECT_EQ(wine, (Read{static_cast<uint32_t>(c.count), expected, false}));
    return;
  }
  EXPECT_EQ(readWithEngine(content, *words[1], *words[2], *words[3], size), wine)
      << (c.uncertain ? "(a row Windows has not confirmed)" : "");
}

INSTANTIATE_TEST_SUITE_P(ProfileCases, TableRead, ::testing::ValuesIn(tableReads()),
                         [](const auto& info) { return info.param.id; });

TEST(TableReads, AreAllThere) {
  EXPECT_GE(tableReads().size(), 55u);
}

// ---------------------------------------------------------------------------------------------
// Generated files.

struct Query {
  std::string section;
  std::string key;
  std::string fallback;
};

// Odd INI text from a seed: blanks and tabs around names and values, quotes, duplicate sections
// and keys, letter case, comments, lines without "=", CR-only and LF-only line ends, a missing
// last line break, and values longer than the programs' buffer.
class IniGenerator {
 public:
  explicit IniGenerator(uint32_t seed) : m_random(seed) {}

  std::string file() {
    static const char* const kEnds[] = {"\r\n", "\n", "\r"};
    const int endMode = static_cast<int>(pick(4));  // one of kEnds for the whole file, or mixed (3)
    std::string text;
    m_sections.clear();
    m_keys.clear();
    m_pairs.clear();
    if (chance(10)) text += std::string("before=the first header") + end(endMode, kEnds);
    const int lines = 1 + static_cast<int>(pick(25));
    for (int i = 0; i < lines; ++i) {
      const int kind = static_cast<int>(pick(100));
      if (kind < 18) {
        text += header();
      } else if (kind < 75) {
        text += keyLine();
      } else if (kind < 83) {
        text += blanks() + ";" + word() + "=" + value();
      } else if (kind < 90) {
        text += blanks() + word();
      } else {
        text += blanks();
      }
      if (i + 1 < lines || !chance(30)) text += end(endMode, kEnds);
    }
    return text;
  }

  // Names of the file's keys with their section, or names near them, in any letter case,
  // sometimes padded with spaces.
  Query query() {
    Query q;
    const size_t kind = pick(100);
    if (kind < 60 && !m_pairs.empty()) {
      const auto& [section, key] = m_pairs[pick(m_pairs.size())];
      q.section = section;
      q.key = key;
    } else if (kind < 85 && !m_sections.empty() && !m_keys.empty()) {
      q.section = m_sections[pick(m_sections.size())];
      q.key = m_keys[pick(m_keys.size())];
    } else {
      q.section = sectionName();
      q.key = keyName();
    }
    q.section = variant(q.section);
    q.key = variant(q.key);
    static const char* const kDefaults[] = {"", "def", "def   ", "  lead", "If no layout"};
    q.fallback = kDefaults[pick(5)];
    return q;
  }

 private:
  size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_random); }
  bool chance(int percent) { return static_cast<int>(pick(100)) < percent; }

  std::string end(int mode, const char* const* ends) { return ends[mode < 3 ? mode : pick(3)]; }
  std::string blanks() {
    static const char* const kBlanks[] = {"", "", "", " ", "  ", "\t", " \t ", "\v"};
    return kBlanks[pick(8)];
  }
  std::string sectionName() {
    static const char* const kNames[] = {"Sales-Contact", "Sales-Group", "My",   "a b", "S",
                                         "Settings",      "x;y",         "\"q\""};
    return kNames[pick(8)];
  }
  std::string keyName() {
    static const char* const kNames[] = {
        "_Reference_Field_", "If no layout assigned", "Customer", "k", "a b", "#h", "\"k\"", "'k'",
        "Prospect Lead"};
    return kNames[pick(9)];
  }
  std::string word() {
    static const char* const kWords[] = {"note", "name3", "x", "Customer", "D\351faut"};
    return kWords[pick(5)];
  }
  std::string value() {
    static const char* const kValues[] = {"",    "Layout 1", "Customer Layout",    "v ;x",
                                          "a=b", "#x",       "D\351faut \304rger", "\"mismatched'",
                                          "\""};
    constexpr size_t kCount = sizeof kValues / sizeof kValues[0];
    std::string core;
    const size_t choice = pick(kCount + 3);
    if (choice < kCount) {
      core = kValues[choice];
    } else {
      // Around the programs' limit of 254 characters.
      const size_t length = 200 + pick(120);
      for (size_t i = 0; i < length; ++i) core += "abc XYZ-0123"[pick(12)];
    }
    if (chance(25)) {
      const char quote = chance(50) ? '"' : '\'';
      core = quote + blanks() + core + blanks() + quote;
    }
    return core;
  }
  std::string variant(std::string name) {
    for (char& c : name) {
      if (std::isalpha(static_cast<unsigned char>(c)) && chance(30)) c ^= 0x20;
    }
    if (chance(15)) name = " " + name;
    if (chance(15)) name += "  ";
    return name;
  }
  std::string header() {
    const std::string name = sectionName();
    m_sections.push_back(name);
    std::string tail;
    switch (pick(10)) {
      case 0:
        tail = " k=v";
        break;
      case 1:
        tail = " ; c";
        break;
      default:
        break;
    }
    return blanks() + "[" + blanks() + name + blanks() + "]" + tail + blanks();
  }
  std::string keyLine() {
    const std::string name = keyName();
    m_keys.push_back(name);
    if (!m_sections.empty()) m_pairs.emplace_back(m_sections.back(), name);
    return blanks() + name + blanks() + "=" + blanks() + value() + blanks();
  }

  std::mt19937 m_random;
  std::vector<std::string> m_sections;
  std::vector<std::string> m_keys;
  std::vector<std::pair<std::string, std::string>> m_pairs;  // section, key
};

uint32_t seed() {
  if (const char* text = std::getenv("MORVANE_INI_SEED"); text && *text) {
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
  }
  return 20261207;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

// Whether a line without "=" spells the key: Wine keeps such a line as a key without a value,
// which hides a later line of the same key (Windows unverified; the engine skips the line).
bool hasLineWithoutValueNamed(const std::string& file, std::string_view key) {
  while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
  while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
  size_t begin = 0;
  while (begin < file.size()) {
    size_t end = file.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = file.size();
    std::string_view line(file.data() + begin, end - begin);
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
    if (!line.empty() && line.front() != '[' && line.front() != ';' &&
        line.find('=') == std::string_view::npos && ini::namesEqual(line, key)) {
      return true;
    }
    begin = end + 1;
  }
  return false;
}

// Why Wine may read this query differently from Windows, or nothing.
std::optional<std::string> knownDifference(const std::string& file, const Query& q,
                                           const Read& engine) {
  if (hasLineWithoutValueNamed(file, q.key)) {
    return "Wine takes a line without '=' as a key without a value (Windows unverified)";
  }
  // A value of exactly the programs' 254 characters between quotes: Wine cuts the quotes after
  // the buffer limit and loses the last character.
  if (engine.count == 254 && (file.find('"' + engine.text + '"') != std::string::npos ||
                              file.find('\'' + engine.text + '\'') != std::string::npos)) {
    return "Wine strips quotes after cutting to the buffer";
  }
  return std::nullopt;
}

TEST(GeneratedFiles, EngineReadsAsKernel32) {
  constexpr int kFiles = 400;
  constexpr int kQueriesPerFile = 12;
  // As the programs read: a buffer of 255 characters, for values of up to 254.
  constexpr uint32_t kSize = 255;
  IniGenerator generator(seed());
  wintest::ScratchFolder folder;
  ASSERT_FALSE(folder.path().empty());
  std::map<std::string, int> skipped;
  int compared = 0;
  int found = 0;  // reads that found a value rather than falling back to the default
  int failures = 0;
  for (int f = 0; f < kFiles && failures < 10; ++f) {
    const std::string text = generator.file();
    // A new name for every file: Wine keeps recently read files and looks only at their time.
    const std::string path = folder.file("generated" + std::to_string(f) + ".ini");
    ASSERT_TRUE(writeFile(path, text));
    for (int i = 0; i < kQueriesPerFile; ++i) {
      const Query q = generator.query();
      const Read engine = readWithEngine(text, q.section, q.key, q.fallback, kSize);
      if (const auto reason = knownDifference(text, q, engine)) {
        ++skipped[*reason];
        continue;
      }
      const Read wine = readWithKernel32(path, q.section, q.key, q.fallback, kSize);
      ++compared;
      if (engine.text != ini::readValue(std::nullopt, "", "", q.fallback).substr(0, kSize - 1)) {
        ++found;
      }
      if (engine != wine) {
        ++failures;
        ADD_FAILURE() << "seed " << seed() << ", file " << f << ": \"" << printable(text)
                      << "\"\n  GET \"" << printable(q.section) << "\" \"" << printable(q.key)
                      << "\" \"" << printable(q.fallback) << "\"\n  engine " << engine
                      << "\n  kernel32 " << wine;
      }
    }
  }
  std::cout << "compared " << compared << " reads, " << found << " of them found a value";
  for (const auto& [reason, count] : skipped) std::cout << "; skipped " << count << ": " << reason;
  std::cout << "\n";
  EXPECT_GT(compared, kFiles * kQueriesPerFile * 9 / 10);
  EXPECT_GT(found, compared / 3) << "the generated names should mostly meet";
}

}  // namespace
}  // namespace morvane::win32
