// The Files port on kernel32, as the settings dialog copies rules files with it.
#include "platform/win32/win32_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/ansi_text.h"
#include "tests/win32/support/scratch.h"

namespace morvane::win32 {
namespace {

std::string contentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// CopyFileA refuses to copy a file onto itself, however the path is spelt (a sharing violation:
// the source is open for reading), and the file stays whole. The simulation does the same.
TEST(Win32Files, ACopyOntoTheFileItselfFailsAndKeepsIt) {
  wintest::ScratchFolder scratch;
  Win32Files files;
  const std::string file = scratch.file("Rules.ini");
  ASSERT_TRUE(files.writeFile(file, "[s]\r\n"));
  EXPECT_FALSE(files.copyFile(file, file));
  EXPECT_FALSE(files.copyFile(file, ansi::foldCase(file)));
  EXPECT_EQ(contentOf(file), "[s]\r\n");
  const std::string other = scratch.file("Other.ini");
  EXPECT_TRUE(files.copyFile(file, other));
  EXPECT_EQ(contentOf(other), "[s]\r\n");
}

}  // namespace
}  // namespace morvane::win32
