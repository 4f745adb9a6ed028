// The simulated machine: program folders, the running-instance check and shell starts.
#include "platform/sim/sim_system.h"

#include <gtest/gtest.h>

namespace morvane::sim {
namespace {

TEST(SimSystem, ProgramFolderAndPreviousInstance) {
  SimSystem system;
  const int first = system.startProcess("C:\\Program Files\\Morvane\\MorvaneAuto.exe", "");
  const int second = system.startProcess("C:\\Other\\MORVANEAUTO.EXE", "x");
  const int root = system.startProcess("C:\\Morvane.exe", "0");
  SimHost a(system, first), b(system, second), c(system, root);
  EXPECT_EQ(a.programFolder(), "C:\\Program Files\\Morvane");
  EXPECT_EQ(c.programFolder(), "C:\\");
  EXPECT_EQ(c.commandLine(), "0");
  EXPECT_FALSE(a.previousInstance());
  EXPECT_TRUE(b.previousInstance());  // same program file, letter case ignored
  EXPECT_FALSE(c.previousInstance());
  system.endProcess(first);
  EXPECT_FALSE(b.previousInstance());
  EXPECT_EQ(system.runningCount("morvaneauto.exe"), 1);
}

TEST(SimSystem, ShellStartsInstalledProgramsLaterAndRecordsEveryCall) {
  SimSystem system;
  std::vector<std::string> started;
  system.install("C:\\App\\Morvane.exe", [&](SimSystem& s, int id, const std::string& args) {
    started.push_back(s.exePathOf(id) + " " + args);
  });
  SimShell shell(system);
  EXPECT_GT(shell.shellExecuteA(7, "Open", "c:\\app\\morvane.exe", "0", "C:\\App", 5), 32);
  EXPECT_TRUE(started.empty());  // not before the caller has returned
  EXPECT_EQ(shell.shellExecuteA(7, "Open", "C:\\App\\Missing.exe", "", "C:\\App", 5), 2);
  EXPECT_EQ(system.runPending(), 1);
  EXPECT_EQ(started, std::vector<std::string>{"c:\\app\\morvane.exe 0"});
  ASSERT_EQ(system.shellCalls().size(), 2u);
  EXPECT_EQ(system.shellCalls()[0].verb, "Open");
  EXPECT_EQ(system.shellCalls()[0].showCommand, 5);
  EXPECT_EQ(system.shellCalls()[1].result, 2);
}

TEST(SimSystem, VersionCallNeedsTheRecordSize) {
  SimSystem system;
  SimHost host(system, system.startProcess("C:\\a.exe", ""));
  OsVersionInfo info;
  EXPECT_TRUE(host.getVersionExA(148, info));
  EXPECT_EQ(info.major, 5u);
  EXPECT_EQ(info.minor, 1u);
  OsVersionInfo none;
  EXPECT_FALSE(host.getVersionExA(100, none));
  EXPECT_EQ(none.major, 0u);
}

}  // namespace
}  // namespace morvane::sim
