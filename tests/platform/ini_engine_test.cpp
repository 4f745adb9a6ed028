// The INI engine with hostile files and names, and sequences of writes.
#include "platform/sim/ini_engine.h"

#include <gtest/gtest.h>

#include <string>

namespace morvane::ini {
namespace {

std::string sectionFile(int keys) {
  std::string file = "; rules\r\n[Other]\r\nx=1\r\n[Sales-Contact]\r\n";
  for (int i = 0; i < keys; ++i) {
    file += "Value" + std::to_string(i) + "=Layout " + std::to_string(i) + "\r\n";
  }
  return file;
}

TEST(IniEngine, HundredThousandLinesReadAndWrite) {
  const std::string file = sectionFile(100000);
  EXPECT_EQ(readValue(file, "sales-contact", "value99999", "-"), "Layout 99999");
  EXPECT_EQ(readValue(file, "sales-contact", "value100000", "-"), "-");
  const std::string after = writeKey(file, "Sales-Contact", "Value5", "New");
  EXPECT_EQ(after.size(), file.size() - std::string("Layout 5").size() + 3);
  EXPECT_EQ(readValue(after, "Sales-Contact", "Value5", ""), "New");
  EXPECT_EQ(readValue(after, "Sales-Contact", "Value99999", ""), "Layout 99999");
}

TEST(IniEngine, MegabyteLinesAreOrdinaryLines) {
  const std::string big(1 << 20, 'v');
  const std::string file =
      "[s]\r\nlong=" + big + "\r\n" + std::string(1 << 20, ';') + "\r\nk=after\r\n";
  EXPECT_EQ(readValue(file, "s", "long", ""), big);
  EXPECT_EQ(readValue(file, "s", "k", ""), "after");
  char buffer[128];
  EXPECT_EQ(copyToBuffer(readValue(file, "s", "long", ""), buffer, 127), 126u);
  EXPECT_EQ(std::string(buffer), big.substr(0, 126));
}

TEST(IniEngine, NulBytesAreKeptAndDoNotEndTheScan) {
  const std::string file("\0junk\0\r\n[s]\r\na=1\0\r\nb=2\r\n", 24);
  EXPECT_EQ(readValue(file, "s", "b", ""), "2");
  const std::string after = writeKey(file, "s", "c", "3");
  EXPECT_EQ(after, file + "c=3\r\n");
  EXPECT_EQ(deleteSection(after, "s"), std::string("\0junk\0\r\n", 8));
}

TEST(IniEngine, Utf8BomHidesOnlyAHeaderOnTheFirstLine) {
  const std::string file = "\xEF\xBB\xBF[s]\r\na=1\r\n";
  EXPECT_EQ(readValue(file, "s", "a", "d"), "d");
  // Writing therefore adds a second [s] at the end, which is the one found from then on.
  const std::string after = writeKey(file, "s", "a", "2");
  EXPECT_EQ(after, file + "[s]\r\na=2\r\n");
  EXPECT_EQ(readValue(after, "s", "a", "d"), "2");
}

// Names and values a caller might pass that the file format cannot hold: written verbatim, they
// read back as Windows reads them back; nothing else in the file is disturbed.
struct OddName {
  const char* section;
  const char* key;
  const char* value;
  const char* readBack;  // what reading the same section and key gives afterwards
};

TEST(IniEngine, OddNamesGiveWindowsResults) {
  const std::string longValue(200, 'x');
  const OddName cases[] = {
      {"a]b", "k", "v", "d"},     // header reads as [a]
      {"s", "k=x", "v", "d"},     // the key line splits at the first '='
      {"s", ";k", "v", "d"},      // a comment line
      {"s", "k\r\nz", "v", "d"},  // the name breaks over two lines
      {"s\nt", "k", "v", "d"},    // the section name breaks
      {"s", "k", "line1\r\nline2", "line1"},
      {"s", "k", " padded ", "padded"},
      {"s", "k", "\"quoted\"", "quoted"},
      {"s", "[x]", "v", "d"},    // starts a section of its own
      {"s", "  k  ", "v", "v"},  // spaces around the name are dropped
      {"s", "k", longValue.c_str(), nullptr},
  };
  const std::string before = "[keep]\r\nk=1\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    const std::string after = writeKey(before, c.section, c.key, c.value);
    ASSERT_EQ(after.compare(0, before.size(), before), 0);
    const std::string expected = c.readBack ? c.readBack : c.value;
    EXPECT_EQ(readValue(after, c.section, c.key, "d"), expected);
    EXPECT_EQ(readValue(after, "keep", "k", ""), "1");
  }
}

TEST(IniEngine, NamesFoldWesternCapitals) {
  EXPECT_TRUE(namesEqual("\xC4rger", "\xE4RGER"));  // Ärger / äRGER
  EXPECT_TRUE(namesEqual("\x8A", "\x9A"));          // Š / š
  EXPECT_FALSE(namesEqual("\xD7", "\xF7"));         // × and ÷ are not a pair
  EXPECT_FALSE(namesEqual("ab", "abc"));
}

}  // namespace
}  // namespace morvane::ini
