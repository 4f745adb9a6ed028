// The whole product as its users get it: the package installed silently into a folder whose name
// has blanks and an accent, the ACT! stand-in as ACT!, and the test as the user. Every step is
// checked from outside the programs: the stand-in's state through its control channel, the
// notification area, the processes and their program files, the registry and the files.
//
// The installed programs are those of the real 32-bit package where this machine runs 32-bit
// programs; elsewhere those of the 64-bit package made for tests only (and the test says so).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "hostwin/standin_client.h"
#include "platform/win32/win32_profile_files.h"
#include "tests/win32/support/fake_notification_area.h"
#include "tests/win32/support/installation.h"
#include "tests/win32/support/other_windows.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/program_settings.h"
#include "tests/win32/support/wait.h"

#include <shellapi.h>
#include <shlobj.h>

namespace morvane::wintest {
namespace {

using hostwin::StandInProcess;
using namespace std::chrono_literals;

constexpr const char* kToolTip = "Morvane in Stealth Mode. Click to open.";

// ACT!'s sample database as a file, for the stand-in to keep its preferences (the start-up macro)
// beside it from one start to the next.
struct DatabaseFile {
  const std::string path = "C:\\ACT\\Database\\Sales.dbf";
  DatabaseFile() {
    CreateDirectoryA("C:\\ACT", nullptr);
    CreateDirectoryA("C:\\ACT\\Database", nullptr);
    CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  ~DatabaseFile() {
    DeleteFileA((path + ".prefs").c_str());
    DeleteFileA(path.c_str());
  }
  DatabaseFile(const DatabaseFile&) = delete;
  DatabaseFile& operator=(const DatabaseFile&) = delete;
};

// The one running copy of a program, started from the folder; 0 while there is none.
uint32_t runningFrom(const std::string& folder, std::string_view exe) {
  for (const uint32_t id : processesNamed(exe))
    if (programFileOf(id) == folder + "\\" + std::string(exe)) return id;
  return 0;
}

class ProductFromTheInstalledFolder : public testing::Test {
 protected:
  static std::string standIn(const char* option) {
    return quotedPath(besideMe("ActStandIn.exe")) + " " + option;
  }
  void SetUp() override {
    if (!machineRuns32BitPrograms())
      std::printf(
          "This machine cannot run 32-bit programs: the product is installed from the "
          "64-bit package made for tests.\n");
    ASSERT_TRUE(tray.ready());
    ASSERT_EQ(runToEnd(standIn("/regserver")), 0u);
  }
  void TearDown() override {
    msiexec("/x " + quotedPath(packages.current) + " /qn");
    endProcessesNamed("MorvaneAuto.exe");
    endProcessesNamed("Morvane.exe");
    runToEnd(standIn("/unregserver"));
    endProcessesNamed("ActStandIn.exe");
    for (const std::string& file : {rules, sharedRules}) DeleteFileW(win32::toWide(file).c_str());
    for (const std::string& f : {folder, shared}) RemoveDirectoryW(win32::toWide(f).c_str());
  }

  // The editor of the Morvane that runs from the folder, once it is the program's only window.
  HWND waitForEditor() {
    HWND form = nullptr;
    waitUntil(
        [&] {
          const uint32_t id = runningFrom(folder, "Morvane.exe");
          form = id != 0 ? windowOf(id, "Morvane") : nullptr;
          return form != nullptr && visibleWindowsOf(id).size() == 1;
        },
        30s);
    return form;
  }
  testing::AssertionResult showsLayout(StandInProcess& act, const std::string& layout) {
    if (waitUntil([&] { return act.currentLayout() == layout; }))
      return testing::AssertionSuccess();
    return testing::AssertionFailure() << "ACT! shows " << act.currentLayout();
  }
  const FakeTrayIcon* icon() const {
    return tray.icons().empty() ? nullptr : &tray.icons().front();
  }

  const MorvanePackages packages = machineRuns32BitPrograms() ? packagesX86() : packagesX64();
  const std::string folder =
      knownFolder(packages.is64 ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86) +
      "\\Morvane Pr\xE9sent 2";
  const std::string rules = folder + "\\Morvane.ini";
  const std::string shared = "C:\\Partage r\xE8gles";
  const std::string sharedRules = shared + "\\Morvane.ini";
  FakeNotificationArea tray;
  ProgramSettings settings;
  win32::Win32ProfileFiles profiles;
  DatabaseFile database;
};

TEST_F(ProductFromTheInstalledFolder, InstallUseUpgradeAndUninstall) {
  // Installed silently, an older version first.
  ASSERT_EQ(msiexec("/i " + quotedPath(packages.older) + " /qn INSTALLDIR=" + quotedPath(folder)),
            0u);
  ASSERT_TRUE(folderExists(folder));
  const std::string startMenu = startMenuEntry();

  // The user's rules, in their default place, and a short delay for MorvaneAuto.
  for (const auto& [key, value] : {std::pair{"_Reference_Field_", "5"},
                                   {"If no layout assigned", "Standard"},
                                   {"Customer", "Client"},
                                   {"Prospect", "Prospect Layout"},
                                   {"Vendor", "Vendor Layout"}})
    ASSERT_TRUE(profiles.writePrivateProfileStringA("Sales-Contact", key, value, rules.c_str()));
  settings.set(settings::kStealthMode, "0");
  settings.set(settings::kDelay, "500");

  // ACT! runs; Morvane from the Start menu; its settings dialog installs the macro.
  auto act = std::make_unique<StandInProcess>();
  ASSERT_GT(reinterpret_cast<INT_PTR>(
                ShellExecuteA(nullptr, "open", startMenu.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
            32);
  HWND editor = waitForEditor();
  ASSERT_NE(editor, nullptr) << "Morvane from the Start menu";
  uint32_t morvane = runningFrom(folder, "Morvane.exe");
  HWND dialog = openMenuEntry(morvane, editor, 'o', 's', "Settings");
  ASSERT_NE(dialog, nullptr);
  clickButton(childWindow(dialog, "Button", "Install macro"));
  EXPECT_TRUE(waitUntil([&] { return act->state().startupMacro == folder + "\\Morvane.mpr"; }));
  clickButton(childWindow(dialog, "Button", "&OK"));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  PostMessageA(editor, WM_CLOSE, 0, 0);
  ASSERT_TRUE(waitUntil([&] { return runningFrom(folder, "Morvane.exe") == 0; }));

  // ACT! started again runs the macro, which starts the installed Morvane.
  ASSERT_TRUE(act->stop());
  act = std::make_unique<StandInProcess>();
  editor = waitForEditor();
  ASSERT_NE(editor, nullptr) << "Morvane started by ACT!'s start-up macro";

  // Stealth Mode hands over to the installed MorvaneAuto, whose icon shows; the records switch.
  clickButton(childWindow(editor, "Button", "Stealth &Mode"));
  ASSERT_TRUE(waitUntil([&] { return icon() != nullptr; }, 30s)) << "MorvaneAuto's icon";
  EXPECT_EQ(icon()->tip, kToolTip);
  EXPECT_NE(runningFrom(folder, "MorvaneAuto.exe"), 0u);
  EXPECT_EQ(runningFrom(folder, "Morvane.exe"), 0u);
  EXPECT_TRUE(showsLayout(*act, "Client"));  // Alice Martin, a Customer
  act->command("next");
  EXPECT_TRUE(showsLayout(*act, "Prospect Layout"));
  act->command("next");
  EXPECT_TRUE(showsLayout(*act, "Vendor Layout"));

  // Explorer restarts: the icon comes back. A click on it hands back to the editor.
  tray.restart();
  ASSERT_TRUE(waitUntil([&] { return icon() != nullptr; })) << "the icon after TaskbarCreated";
  ASSERT_TRUE(tray.click(icon()->window, icon()->id));
  EXPECT_TRUE(waitUntil([&] { return tray.icons().empty(); }));
  editor = waitForEditor();
  ASSERT_NE(editor, nullptr) << "the editor after a click on the icon";
  EXPECT_TRUE(waitUntil([&] { return runningFrom(folder, "MorvaneAuto.exe") == 0; }));

  // The settings dialog copies the rules to a shared folder and uses them from there.
  CreateDirectoryW(win32::toWide(shared).c_str(), nullptr);
  morvane = runningFrom(folder, "Morvane.exe");
  dialog = openMenuEntry(morvane, editor, 'o', 's', "Settings");
  ASSERT_NE(dialog, nullptr);
  clickButton(childWindow(dialog, "Button", "Copy to another location"));
  ASSERT_TRUE(answerFileDialog(morvane, sharedRules));
  EXPECT_TRUE(waitUntil([&] { return childWindow(dialog, "Edit", sharedRules) != nullptr; }));
  clickButton(childWindow(dialog, "Button", "&OK"));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(settings.get(settings::kIniLocation), sharedRules);

  // MorvaneAuto follows: the shared rules give customers another layout than the old file.
  ASSERT_TRUE(profiles.writePrivateProfileStringA("Sales-Contact", "Customer", "Group Layout",
                                                  sharedRules.c_str()));
  clickButton(childWindow(editor, "Button", "Stealth &Mode"));
  ASSERT_TRUE(waitUntil([&] { return icon() != nullptr; }, 30s));
  act->command("first");
  EXPECT_TRUE(showsLayout(*act, "Group Layout"));

  // An upgrade while MorvaneAuto runs: it is closed, the folder is the same, the rules and the
  // settings stay.
  ASSERT_EQ(msiexec("/i " + quotedPath(packages.current) + " /qn"), 0u);
  EXPECT_TRUE(waitUntil([&] { return tray.icons().empty(); })) << "MorvaneAuto was closed";
  EXPECT_EQ(runningFrom(folder, "MorvaneAuto.exe"), 0u);
  EXPECT_EQ(registryText(HKEY_LOCAL_MACHINE, "Software\\Morvane", "InstallDir", packages.view()),
            folder + "\\");
  EXPECT_EQ(settings.get(settings::kIniLocation), sharedRules);
  std::vector<std::string> files = filesIn(folder);
  EXPECT_NE(std::find(files.begin(), files.end(), "Morvane.exe"), files.end());
  EXPECT_NE(std::find(files.begin(), files.end(), "Morvane.ini"), files.end());

  // Uninstalled: only the user's data is left.
  act.reset();
  ASSERT_EQ(msiexec("/x " + quotedPath(packages.current) + " /qn"), 0u);
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{"Morvane.ini"});
  EXPECT_EQ(filesIn(shared), std::vector<std::string>{"Morvane.ini"});
  EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Morvane", packages.view()));
  EXPECT_EQ(settings.get(settings::kIniLocation), sharedRules);
  char value[64] = {};
  GetPrivateProfileStringA("Sales-Contact", "Customer", "", value, sizeof value, rules.c_str());
  EXPECT_STREQ(value, "Client");
  GetPrivateProfileStringA("Sales-Contact", "Customer", "", value, sizeof value,
                           sharedRules.c_str());
  EXPECT_STREQ(value, "Group Layout");
}

}  // namespace
}  // namespace morvane::wintest
