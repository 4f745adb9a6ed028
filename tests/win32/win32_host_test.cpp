// The Win32 host and shell: what a program learns about how it was started (through the
// recorder, a real process), the one-copy check across processes, the version call, twips per
// pixel, and starting programs through the shell.
#include "platform/win32/win32_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/win32/support/processes.h"
#include "tests/win32/support/recorded_start.h"
#include "tests/win32/support/scratch.h"

#include "platform/win32/win32_base.h"

// A copy of this test program asks whether another copy runs: exit code 1 when one does.
MORVANE_CHILD_MODE(previous_instance) {
  morvane::win32::Win32Host host;
  return host.previousInstance() ? 1 : 0;
}

namespace morvane::win32 {
namespace {

using wintest::quotedPath;
using wintest::ScratchFolder;

std::string besideTheTest(std::string_view name) {
  std::string path = wintest::selfPath();
  path.resize(path.find_last_of('\\') + 1);
  return path + std::string(name);
}

bool copyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  return std::filesystem::copy_file(std::filesystem::path(toWide(from)),
                                    std::filesystem::path(toWide(to)), ec);
}

TEST(CommandArguments, AreWhatFollowsTheProgramsName) {
  const struct {
    const char* line;
    const char* arguments;
  } cases[] = {
      {"\"C:\\Program Files\\Morvane\\Morvane.exe\" 0", "0"},
      {"C:\\Morvane\\Morvane.exe 0", "0"},
      {"\"C:\\A B\\x.exe\"   two  words ", "two  words "},
      {"x.exe\t \t0", "0"},
      {"\"C:\\A B\\x.exe\"0", "0"},
      {"\"C:\\A B\\x.exe\"", ""},
      {"x.exe", ""},
      {"\"C:\\unterminated 0", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(commandArguments(c.line), c.arguments) << c.line;
}

TEST(ProgramFolderOf, KeepsABackslashOnlyAtADriveRoot) {
  EXPECT_EQ(programFolderOf("C:\\Program Files\\Morvane\\MorvaneAuto.exe"),
            "C:\\Program Files\\Morvane");
  EXPECT_EQ(programFolderOf("C:\\MorvaneAuto.exe"), "C:\\");
  EXPECT_EQ(programFolderOf("\\\\server\\share\\MorvaneAuto.exe"), "\\\\server\\share");
  EXPECT_EQ(programFolderOf("\\\\?\\C:\\Long\\MorvaneAuto.exe"), "C:\\Long");
  EXPECT_EQ(programFolderOf("\\\\?\\UNC\\server\\share\\MorvaneAuto.exe"), "\\\\server\\share");
  EXPECT_EQ(programFolderOf("MorvaneAuto.exe"), "");
}

// The recorder copied as "Morvane.exe" into a folder, started with a command line.
class StartedProgramTest : public ::testing::Test {
 protected:
  std::string install(const std::string& folder) {
    const std::string exe = folder + "\\Morvane.exe";
    EXPECT_TRUE(copyFile(besideTheTest("record_args.exe"), exe));
    return exe;
  }
  ScratchFolder m_scratch;
};

TEST_F(StartedProgramTest, LearnsItsFolderArgumentsAndCurrentFolder) {
  const std::string folder = m_scratch.folder(
      "Program D\xE9j\xE0 \xDC"
      "ber");
  const std::string current = m_scratch.folder("Current Folder");
  const std::string exe = install(folder);
  ASSERT_EQ(wintest::runToEnd(quotedPath(exe) + "   0 \"a b\"", current), 0u);
  const auto starts = wintest::readRecordedStarts(wintest::defaultRecordFile(exe));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].commandLine, quotedPath(exe) + "   0 \"a b\"");
  EXPECT_EQ(starts[0].arguments, "0 \"a b\"");
  EXPECT_EQ(starts[0].programFolder, folder);
  EXPECT_EQ(starts[0].workingDirectory, current);
}

TEST_F(StartedProgramTest, AFolderTheCodePageCannotSpellIsGivenInItsShortForm) {
  // Greek letters: Windows-1252 has no spelling for them.
  const std::filesystem::path greek =
      std::filesystem::path(toWide(m_scratch.path())) / L"\u0394\u03BF\u03BA\u03B9\u03BC\u03AE";
  ASSERT_TRUE(std::filesystem::create_directory(greek));
  const std::filesystem::path exe = greek / L"Morvane.exe";
  ASSERT_TRUE(CopyFileW(toWide(besideTheTest("record_args.exe")).c_str(), exe.c_str(), FALSE));
  const std::string record = m_scratch.file("greek.starts.txt");
  {
    wintest::ScopedEnvironmentVariable variable(wintest::kRecordFileVariable, record);
    ASSERT_EQ(wintest::RunningProcess(L"\"" + exe.wstring() + L"\"").waitForExit(), 0u);
  }
  const auto starts = wintest::readRecordedStarts(record);
  ASSERT_EQ(starts.size(), 1u);
  const std::string& reported = starts[0].programFolder;
  EXPECT_EQ(reported.find('?'), std::string::npos) << reported;
  std::error_code ec;
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(toWide(reported)), greek, ec))
      << reported;
}

TEST(PreviousInstance, IsTrueOnlyForALaterCopyOfTheSameProgram) {
  Win32Host host;
  EXPECT_FALSE(host.previousInstance()) << "is another copy of this test running?";
  EXPECT_FALSE(Win32Host().previousInstance()) << "the process's first answer holds";
  EXPECT_EQ(wintest::runChildMode("previous_instance"), 1u);

  // The program is known by its file name, letter case ignored, wherever it lies.
  ScratchFolder scratch;
  const std::string sameName = scratch.folder("elsewhere") + "\\WIN32_PORTS_TEST.EXE";
  const std::string otherName = scratch.file("other_program.exe");
  ASSERT_TRUE(copyFile(wintest::selfPath(), sameName));
  ASSERT_TRUE(copyFile(wintest::selfPath(), otherName));
  EXPECT_EQ(wintest::runToEnd(quotedPath(sameName) + " --morvane-child=previous_instance"), 1u);
  EXPECT_EQ(wintest::runToEnd(quotedPath(otherName) + " --morvane-child=previous_instance"), 0u);
}

TEST(GetVersionExA, AnswersForTheRecordSizesWindowsKnows) {
  Win32Host host;
  OsVersionInfo info;
  ASSERT_TRUE(host.getVersionExA(148, info));
  EXPECT_GE(info.major, 5u);
  OsVersionInfo extended;
  EXPECT_TRUE(host.getVersionExA(156, extended));
  EXPECT_EQ(extended.major, info.major);
  OsVersionInfo untouched{9, 9, 9};
  EXPECT_FALSE(host.getVersionExA(100, untouched));
  EXPECT_FALSE(host.getVersionExA(4096, untouched));
  EXPECT_EQ(untouched.major, 9u);
}

TEST(TwipsPerPixel, Are15AtWinesDefault96Dpi) {
  Win32Host host;
  EXPECT_EQ(host.twipsPerPixelX(), 15);
  EXPECT_EQ(host.twipsPerPixelY(), 15);
}

TEST_F(StartedProgramTest, ShellStartsAProgramWithParametersInAFolder) {
  const std::string folder = m_scratch.folder("Program Folder");
  const std::string exe = install(folder);
  Win32Shell shell;
  const intptr_t result = shell.shellExecuteA(0, "Open", exe, "0", folder, SW_SHOW);
  EXPECT_GT(result, 32);
  const std::string record = wintest::defaultRecordFile(exe);
  ASSERT_TRUE(wintest::waitUntil([&] { return !wintest::readRecordedStarts(record).empty(); }));
  const auto starts = wintest::readRecordedStarts(record);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].arguments, "0");
  EXPECT_EQ(starts[0].programFolder, folder);
  EXPECT_EQ(starts[0].workingDirectory, folder);
}

TEST_F(StartedProgramTest, ShellReportsAMissingProgram) {
  Win32Shell shell;
  const intptr_t result =
      shell.shellExecuteA(0, "Open", m_scratch.file("Missing.exe"), "0", m_scratch.path(), SW_SHOW);
  EXPECT_LE(result, 32);
}

}  // namespace
}  // namespace morvane::win32
