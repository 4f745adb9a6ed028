// The simulated file system's path mapping and its atomic, failure-safe writes, and the profile
// functions on top of it.
#include "platform/sim/sim_files.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/sim/sim_profile_files.h"
#include "tests/platform/temp_dir.h"

namespace morvane::sim {
namespace {

class SimFilesTest : public ::testing::Test {
 protected:
  morvane::testing::TempDir m_dir;
  SimFileSystem m_files{m_dir.path()};
};

TEST_F(SimFilesTest, MapsWindowsPathsIntoTheSandbox) {
  struct Case {
    const char* windows;
    const char* host;  // relative to the root; nullptr when invalid
  };
  const Case cases[] = {
      {"C:\\ACT\\Morvane.ini", "c/act/morvane.ini"},
      {"c:/act/MORVANE.INI", "c/act/morvane.ini"},
      {"C:\\ACT\\\\.\\Data\\..\\Morvane.ini", "c/act/morvane.ini"},
      {"C:\\..\\..\\x.ini", "c/x.ini"},
      {"C:\\ACT\\name. . ", "c/act/name"},
      {"D:\\", "d"},
      {"\\\\Server\\Share\\Rules.ini", "unc/server/share/rules.ini"},
      {"\\\\Server\\Share\\..\\..\\x", "unc/server/share/x"},
      {"\\\\Server", nullptr},
      {"Morvane.ini", nullptr},
      {"C:Morvane.ini", nullptr},
      {"\\ACT\\Morvane.ini", nullptr},
      {"C:\\a<b", nullptr},
      {"C:\\a?b", nullptr},
      {"C:\\a\nb", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    const auto host = m_files.hostPath(c.windows);
    if (c.host) {
      ASSERT_TRUE(host.has_value()) << c.windows;
      EXPECT_EQ(*host, m_dir.path() / c.host) << c.windows;
    } else {
      EXPECT_FALSE(host.has_value()) << c.windows;
    }
  }
}

TEST_F(SimFilesTest, LetterCaseNamesTheSameFile) {
  ASSERT_TRUE(m_files.createDirectory("C:\\Program Files\\Morvane"));
  ASSERT_TRUE(m_files.writeFile("C:\\PROGRAM FILES\\MORVANE\\Morvane.ini", "x"));
  EXPECT_EQ(m_files.readFile("c:\\program files\\morvane\\morvane.INI"), "x");
  EXPECT_TRUE(m_files.isDirectory("C:\\Program Files"));
  EXPECT_FALSE(m_files.isFile("C:\\Program Files"));
}

TEST_F(SimFilesTest, WriteNeedsAnExistingFolderAndNeverReplacesOne) {
  EXPECT_FALSE(m_files.writeFile("C:\\Missing\\a.ini", "x"));
  EXPECT_FALSE(m_files.exists("C:\\Missing"));
  EXPECT_FALSE(m_files.writeFile("relative.ini", "x"));
  ASSERT_TRUE(m_files.createDirectory("C:\\ACT\\a.ini"));
  EXPECT_FALSE(m_files.writeFile("C:\\ACT\\a.ini", "x"));  // a folder is not replaced
  EXPECT_FALSE(m_files.readFile("C:\\ACT\\a.ini").has_value());
}

TEST_F(SimFilesTest, ReadOnlyFileIsNeitherReplacedNorRemoved) {
  ASSERT_TRUE(m_files.createDirectory("C:\\ACT"));
  ASSERT_TRUE(m_files.writeFile("C:\\ACT\\a.ini", "old"));
  ASSERT_TRUE(m_files.setReadOnly("C:\\ACT\\a.ini", true));
  EXPECT_TRUE(m_files.isReadOnly("C:\\ACT\\A.INI"));
  EXPECT_FALSE(m_files.writeFile("C:\\ACT\\a.ini", "new"));
  EXPECT_FALSE(m_files.removeFile("C:\\ACT\\a.ini"));
  EXPECT_EQ(m_files.readFile("C:\\ACT\\a.ini"), "old");
  ASSERT_TRUE(m_files.setReadOnly("C:\\ACT\\a.ini", false));
  EXPECT_TRUE(m_files.writeFile("C:\\ACT\\a.ini", "new"));
  EXPECT_EQ(m_files.readFile("C:\\ACT\\a.ini"), "new");
}

TEST_F(SimFilesTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  ASSERT_TRUE(m_files.createDirectory("C:\\ACT"));
  ASSERT_TRUE(m_files.writeFile("C:\\ACT\\a.ini", "old content"));
  m_files.setFreeSpace(4);
  EXPECT_FALSE(m_files.writeFile("C:\\ACT\\a.ini", "new content, longer"));
  EXPECT_EQ(m_files.readFile("C:\\ACT\\a.ini"), "old content");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e :
       std::filesystem::directory_iterator(m_dir.path() / "c/act")) {
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
  m_files.setFreeSpace(std::nullopt);
  EXPECT_TRUE(m_files.writeFile("C:\\ACT\\a.ini", "new"));
}

TEST_F(SimFilesTest, CopyFileReplacesTheTarget) {
  ASSERT_TRUE(m_files.createDirectory("C:\\A"));
  ASSERT_TRUE(m_files.createDirectory("C:\\B"));
  ASSERT_TRUE(m_files.writeFile("C:\\A\\r.ini", "[s]\r\n"));
  ASSERT_TRUE(m_files.writeFile("C:\\B\\r.ini", "old"));
  EXPECT_TRUE(m_files.copyFile("C:\\A\\r.ini", "C:\\B\\r.ini"));
  EXPECT_EQ(m_files.readFile("C:\\B\\r.ini"), "[s]\r\n");
  EXPECT_FALSE(m_files.copyFile("C:\\A\\none.ini", "C:\\B\\r.ini"));
  // Onto itself, however spelt, a copy fails as CopyFileA does (a sharing violation).
  EXPECT_FALSE(m_files.copyFile("C:\\A\\r.ini", "c:\\a\\.\\R.INI"));
  EXPECT_EQ(m_files.readFile("C:\\A\\r.ini"), "[s]\r\n");
}

class SimProfileFilesTest : public SimFilesTest {
 protected:
  SimProfileFiles m_profile{m_files};
  std::string get(const char* section, const char* key, const char* file) {
    char buffer[128];
    const uint32_t n = m_profile.getPrivateProfileStringA(section, key, "", buffer, 127, file);
    return std::string(buffer, n);
  }
};

TEST_F(SimProfileFilesTest, WriteFailuresReportFalseAndLoseNothing) {
  EXPECT_FALSE(m_profile.writePrivateProfileStringA("s", "k", "v", "C:\\Missing\\r.ini"));
  ASSERT_TRUE(m_files.createDirectory("C:\\ACT"));
  ASSERT_TRUE(m_profile.writePrivateProfileStringA("s", "k", "v", "C:\\ACT\\r.ini"));
  ASSERT_TRUE(m_files.setReadOnly("C:\\ACT\\r.ini", true));
  EXPECT_FALSE(m_profile.writePrivateProfileStringA("s", "k", "w", "C:\\ACT\\r.ini"));
  EXPECT_FALSE(m_profile.writePrivateProfileStringA("s", nullptr, nullptr, "C:\\ACT\\r.ini"));
  EXPECT_EQ(get("s", "k", "C:\\ACT\\r.ini"), "v");
  m_files.setFreeSpace(0);
  ASSERT_TRUE(m_files.setReadOnly("C:\\ACT\\r.ini", false));
  EXPECT_FALSE(m_profile.writePrivateProfileStringA("s", "k", "w", "C:\\ACT\\r.ini"));
  EXPECT_EQ(m_files.readFile("C:\\ACT\\r.ini"), "[s]\r\nk=v\r\n");
}

TEST_F(SimProfileFilesTest, ChangesByAnotherWriterAreSeenAtOnce) {
  ASSERT_TRUE(m_files.createDirectory("C:\\ACT"));
  SimProfileFiles other(m_files);
  EXPECT_EQ(get("s", "k", "C:\\ACT\\r.ini"), "");
  ASSERT_TRUE(other.writePrivateProfileStringA("s", "k", "1", "C:\\act\\R.INI"));
  EXPECT_EQ(get("S", "K", "C:\\ACT\\r.ini"), "1");
}

TEST_F(SimProfileFilesTest, BareFileNameLivesInTheWindowsFolder) {
  ASSERT_TRUE(m_files.createDirectory("C:\\Windows"));
  ASSERT_TRUE(m_profile.writePrivateProfileStringA("s", "k", "v", "rules.ini"));
  EXPECT_EQ(m_files.readFile("C:\\Windows\\rules.ini"), "[s]\r\nk=v\r\n");
}

TEST_F(SimProfileFilesTest, UnchangedDeleteDoesNotRewriteAReadOnlyFile) {
  ASSERT_TRUE(m_files.createDirectory("C:\\ACT"));
  ASSERT_TRUE(m_files.writeFile("C:\\ACT\\r.ini", "[a]\r\nk=1\r\n"));
  ASSERT_TRUE(m_files.setReadOnly("C:\\ACT\\r.ini", true));
  EXPECT_TRUE(m_profile.writePrivateProfileStringA("Sales", nullptr, nullptr, "C:\\ACT\\r.ini"));
  EXPECT_EQ(m_files.readFile("C:\\ACT\\r.ini"), "[a]\r\nk=1\r\n");
}

}  // namespace
}  // namespace morvane::sim
