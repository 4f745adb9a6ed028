// Morvane's installer packages and what they promise: install, installing again, upgrade and
// uninstall leave exactly the files and registry entries listed here, the icon control is
// registered exactly while the product is installed, the user's rules file and settings survive
// all of it, and running programs are closed before their files are replaced. Every check looks at
// the machine (files, registry, processes, the notification area), never at the programs' logs.
//
// Each case runs for the real 32-bit package and for the 64-bit one made for tests; the steps that
// run an installed program are skipped where it cannot run (32-bit programs where Wine runs only
// 64-bit ones), and say so.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "hostwin/standin_client.h"
#include "tests/win32/support/fake_notification_area.h"
#include "tests/win32/support/installation.h"
#include "tests/win32/support/message_box_answerer.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/program_settings.h"
#include "tests/win32/support/scratch.h"
#include "tests/win32/support/wait.h"

#include <shlobj.h>

namespace morvane::wintest {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kProgramFiles = {"Morvane.exe",   "Morvane.ico",     "Morvane.mpr",
                                                "Morvane32.ico", "MorvaneAuto.exe", "Nubrix.dll"};
constexpr const char* kNubrixClsid = "{1B14DE74-3FE8-47EC-9114-97692BF5D4AB}";
constexpr const char* kNubrixIid = "{A2D3B27C-7D9A-4977-B08A-4F503CA6D1C7}";
constexpr const char* kNubrixEventsIid = "{740CD1F3-6721-4175-B6EA-29F4292E8DD6}";
constexpr const char* kRules = "[Sales-Contact]\r\n_Reference_Field_=5\r\nCustomer=Client\r\n";

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(win32::toWide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return written == bytes.size();
}

std::string readFile(const std::string& path) {
  const HANDLE file = CreateFileW(win32::toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(64 * 1024, '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

// MSI's own records of what it installed (its cached package and icon, its product and component
// registrations): they come with an installation and go with it, and are not the package's.
// The containers they are kept in, and the one that holds the classes' interfaces, may be made or
// removed with them when empty.
bool msiBookkeeping(const std::string& entry) {
  const std::string e = lower(entry);
  return e.find("c:\\windows\\installer\\") != std::string::npos ||
         e.find("\\microsoft\\windows\\currentversion\\installer") != std::string::npos ||
         e.find("\\classes\\installer") != std::string::npos ||
         e.find("\\currentversion\\uninstall\\{") != std::string::npos ||
         e.ends_with("\\currentversion\\uninstall") ||
         e.ends_with("\\classes\\wow6432node\\interface");
}

// The differences that are the package's own, in lower case, the 32-bit view's "Wow6432Node\"
// taken out of the paths of a 32-bit package (which writes nothing outside that view but into the
// type libraries' key, which both views share).
std::vector<std::string> packagesOwn(const std::vector<std::string>& all, bool is64,
                                     std::vector<std::string>& outsideTheView) {
  std::vector<std::string> own;
  for (std::string entry : all) {
    if (msiBookkeeping(entry)) continue;
    entry = lower(entry);
    const size_t wow = entry.find("\\wow6432node");
    const bool shared = entry.find("\\classes\\typelib\\") != std::string::npos;
    if (entry.find("hk") == 2 && !shared && is64 == (wow != std::string::npos))
      outsideTheView.push_back(entry);
    if (wow != std::string::npos) entry.erase(wow, 12);
    own.push_back(entry);
  }
  std::sort(own.begin(), own.end());
  return own;
}

class InstallerContract : public testing::TestWithParam<MorvanePackages> {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(runToEnd(standIn("/regserver")), 0u); }
  static void TearDownTestSuite() { runToEnd(standIn("/unregserver")); }
  static std::string standIn(const char* option) {
    return quotedPath(besideMe("ActStandIn.exe")) + " " + option;
  }
  void TearDown() override {
    // Whatever a failure left installed goes, so that the next case starts from a clean machine.
    for (const std::string& package : {packages().current, packages().older})
      msiexec("/x " + quotedPath(package) + " /qn");
    endProcessesNamed("ActStandIn.exe");
  }

  const MorvanePackages& packages() const { return GetParam(); }
  REGSAM view() const { return packages().view(); }
  std::string defaultFolder() const {
    return knownFolder(packages().is64 ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86) +
           "\\Morvane";
  }
  std::string nubrixServer() const {
    return registryText(
               HKEY_LOCAL_MACHINE,
               std::string("Software\\Classes\\CLSID\\") + kNubrixClsid + "\\InprocServer32", "",
               view())
        .value_or("<not registered>");
  }
  // The entry of Programs and Features: the Uninstall key that names Morvane, in the package's
  // view; its values by name.
  std::map<std::string, std::string> programsAndFeatures() const {
    std::map<std::string, std::string> found;
    const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstall.c_str(), 0, KEY_READ | view(), &key) !=
        ERROR_SUCCESS)
      return found;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      const std::string entry = uninstall + "\\" + name;
      if (registryText(HKEY_LOCAL_MACHINE, entry, "DisplayName", view()) != "Morvane") continue;
      for (const char* value : {"DisplayName", "DisplayVersion", "Publisher", "DisplayIcon",
                                "UninstallString", "InstallLocation", "EstimatedSize"})
        found[value] = registryText(HKEY_LOCAL_MACHINE, entry, value, view()).value_or("<none>");
      found["key"] = name;
    }
    RegCloseKey(key);
    return found;
  }

  ProgramSettings settings;
};

// What an installation adds, besides MSI's own records: the program folder and its files, the
// Start-menu entry, the folder remembered for upgrades, and Nubrix.dll's registration.
std::vector<std::string> expectedInstallation(const std::string& folder,
                                              const std::string& shortcut, bool is64) {
  const std::string classes = "+ HKLM\\Software\\Classes\\";
  const std::string clsid = classes + "CLSID\\" + kNubrixClsid;
  const std::string libid = classes + "TypeLib\\{03A34227-A87E-4920-A20A-B80A9F59691B}";
  const std::string dll = folder + "\\Nubrix.dll";
  const std::string dispatchProxy = "{00020420-0000-0000-C000-000000000046}";
  std::vector<std::string> entries = {
      "+ " + folder + "\\",
      "+ " + shortcut,
      classes + "NubrixControl.Nubrix",
      classes + "NubrixControl.Nubrix| = Nubrix Control",
      classes + "NubrixControl.Nubrix\\CLSID",
      classes + "NubrixControl.Nubrix\\CLSID| = " + kNubrixClsid,
      clsid,
      clsid + "| = Nubrix Control",
      clsid + "\\Control",
      clsid + "\\InprocServer32",
      clsid + "\\InprocServer32| = " + dll,
      clsid + "\\InprocServer32|ThreadingModel = Apartment",
      clsid + "\\MiscStatus",
      clsid + "\\MiscStatus| = 0",
      clsid + "\\MiscStatus\\1",
      clsid + "\\MiscStatus\\1| = 132113",
      clsid + "\\ProgID",
      clsid + "\\ProgID| = NubrixControl.Nubrix",
      clsid + "\\TypeLib",
      clsid + "\\TypeLib| = {03A34227-A87E-4920-A20A-B80A9F59691B}",
      clsid + "\\Version",
      clsid + "\\Version| = 1.1",
      libid,
      libid + "\\1.1",
      libid + "\\1.1| = Olund Nubrix Control",
      libid + "\\1.1\\0",
      libid + "\\1.1\\0\\" + (is64 ? "win64" : "win32"),
      libid + "\\1.1\\0\\" + (is64 ? "win64" : "win32") + "| = " + dll,
      libid + "\\1.1\\FLAGS",
      libid + "\\1.1\\FLAGS| = 0",
      libid + "\\1.1\\HELPDIR",
      libid + "\\1.1\\HELPDIR| = " + folder + "\\",
      "+ HKLM\\Software\\Morvane",
      "+ HKLM\\Software\\Morvane|InstallDir = " + folder + "\\",
  };
  for (const auto& [iid, name] :
       {std::pair{"{A2D3B27C-7D9A-4977-B08A-4F503CA6D1C7}", "_Nubrix"},
        std::pair{"{740CD1F3-6721-4175-B6EA-29F4292E8DD6}", "__Nubrix"}}) {
    const std::string key = classes + "Interface\\" + iid;
    entries.insert(entries.end(),
                   {key, key + "| = " + name, key + "\\ProxyStubClsid",
                    key + "\\ProxyStubClsid| = " + dispatchProxy, key + "\\ProxyStubClsid32",
                    key + "\\ProxyStubClsid32| = " + dispatchProxy, key + "\\TypeLib",
                    key + "\\TypeLib| = {03A34227-A87E-4920-A20A-B80A9F59691B}",
                    key + "\\TypeLib|Version = 1.1"});
  }
  for (const std::string& file : kProgramFiles) entries.push_back("+ " + folder + "\\" + file);
  for (std::string& entry : entries) entry = lower(entry);
  std::sort(entries.begin(), entries.end());
  return entries;
}

TEST_P(InstallerContract, InstallAgainAndUninstallLeaveExactlyWhatTheyShould) {
  const MachinePicture before = MachinePicture::take();
  ASSERT_EQ(msiexec("/i " + quotedPath(packages().current) + " /qn"), 0u);
  const MachinePicture installed = MachinePicture::take();
  const std::string folder = defaultFolder();

  std::vector<std::string> outside;
  const auto added = packagesOwn(differences(before, installed), packages().is64, outside);
  EXPECT_EQ(added, expectedInstallation(folder, startMenuEntry(), packages().is64));
  EXPECT_EQ(outside, std::vector<std::string>()) << "written outside the package's registry view";
  EXPECT_EQ(filesIn(folder), kProgramFiles);
  EXPECT_EQ(nubrixServer(), folder + "\\Nubrix.dll");

  const auto entry = programsAndFeatures();
  std::string shown;
  for (const auto& [name, value] : entry) shown += name + "=" + value + "\n";
  SCOPED_TRACE(shown);
  EXPECT_EQ(entry.count("key"), 1u) << "one entry in Programs and Features";
  EXPECT_EQ(entry.at("DisplayVersion"), packages().currentVersion);
  EXPECT_EQ(entry.at("Publisher"), "Morvane");
  EXPECT_EQ(entry.at("InstallLocation"), folder + "\\");
  EXPECT_EQ(entry.at("UninstallString"), "MsiExec.exe /X" + entry.at("key"));
  // DisplayIcon and EstimatedSize come from Windows Installer itself (from the package's
  // ARPPRODUCTICON and its costing); Wine's msiexec leaves the first out and writes 0 for the
  // second.

  // The user's rules in their default place, the program folder, and the user's settings.
  const std::string rules = folder + "\\Morvane.ini";
  ASSERT_TRUE(writeFile(rules, kRules));
  settings.set(settings::kDelay, "750");

  // The same package again: nothing changes.
  const MachinePicture withData = MachinePicture::take();
  ASSERT_EQ(msiexec("/i " + quotedPath(packages().current) + " /qn"), 0u);
  std::vector<std::string> again = differences(withData, MachinePicture::take());
  std::erase_if(again, msiBookkeeping);
  EXPECT_EQ(again, std::vector<std::string>());

  // The package's registration of the icon control is the one the DLL itself makes.
  if (packages().programsRun()) {
    const std::string dll = quotedPath(folder + "\\Nubrix.dll");
    ASSERT_EQ(runToEnd("regsvr32 /s /u " + dll), 0u);
    ASSERT_EQ(nubrixServer(), "<not registered>");
    ASSERT_EQ(runToEnd("regsvr32 /s " + dll), 0u);
    // Alike but for what COM does not read: Wine's RegisterTypeLib marks the library as having a
    // disk image (FLAGS 8, not 0) and writes HELPDIR without its last "\", and it enters the
    // interfaces in the other view too.
    std::vector<std::string> unlike = differences(withData, MachinePicture::take());
    std::erase_if(unlike, [](const std::string& e) {
      return msiBookkeeping(e) ||
             (e.starts_with("~ ") && (e.find("\\1.1\\FLAGS|") != std::string::npos ||
                                      e.find("\\1.1\\HELPDIR|") != std::string::npos)) ||
             (e.find("Wow6432Node\\Interface\\") != std::string::npos);
    });
    EXPECT_EQ(unlike, std::vector<std::string>());
    // The interfaces' entries in the other view are the DLL's, not the package's: they go here.
    HKEY interfaces = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Interface", 0,
                      KEY_ALL_ACCESS | (packages().is64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY),
                      &interfaces) == ERROR_SUCCESS) {
      for (const char* iid : {kNubrixIid, kNubrixEventsIid}) RegDeleteTreeA(interfaces, iid);
      RegCloseKey(interfaces);
    }
  } else {
    std::printf(
        "Skipped the comparison with regsvr32's registration: this machine cannot run "
        "32-bit programs\n");
  }

  ASSERT_EQ(msiexec("/x " + quotedPath(packages().current) + " /qn"), 0u);
  // Only the user's data is left: the folder holds the rules file, the settings are there.
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{"Morvane.ini"});
  EXPECT_EQ(readFile(rules), kRules);
  EXPECT_EQ(settings.get(settings::kDelay), "750");
  DeleteFileW(win32::toWide(rules).c_str());
  RemoveDirectoryW(win32::toWide(folder).c_str());
  const MachinePicture after = MachinePicture::take();
  // The user's settings stay, and so do the empty keys in which MSI keeps its records.
  std::vector<std::string> left = differences(before, after);
  std::erase_if(left, [](const std::string& e) {
    return msiBookkeeping(e) || e.starts_with("+ HKCU\\Software\\VB and VBA Program Settings");
  });
  EXPECT_EQ(left, std::vector<std::string>()) << "everything the package added is gone";
  EXPECT_EQ(nubrixServer(), "<not registered>");
  EXPECT_TRUE(programsAndFeatures().empty());
}

// A visible window of the process with the class.
struct WindowSearch {
  DWORD process;
  const char* cls;
  bool found = false;
};

BOOL CALLBACK checkWindow(HWND w, LPARAM address) {
  auto& search = *reinterpret_cast<WindowSearch*>(address);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (owner == search.process && std::string(cls) == search.cls && IsWindowVisible(w))
    search.found = true;
  return TRUE;
}

bool hasWindow(uint32_t processId, const char* className) {
  WindowSearch search{processId, className};
  EnumWindows(&checkWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_P(InstallerContract, UpgradeKeepsTheFolderAndTheUsersDataAndClosesTheRunningPrograms) {
  const std::string folder = knownFolder(CSIDL_PROGRAM_FILES) + "\\Morvane \xC9t\xE9 2";
  ASSERT_EQ(msiexec("/i " + quotedPath(packages().older) + " /qn INSTALLDIR=" + quotedPath(folder)),
            0u);
  EXPECT_EQ(programsAndFeatures().at("DisplayVersion"), "0.1.0");
  EXPECT_EQ(filesIn(folder), kProgramFiles);
  const std::string rules = folder + "\\Morvane.ini";
  ASSERT_TRUE(writeFile(rules, kRules));
  settings.set(settings::kStealthMode, "0");

  // Both programs run from the folder: MorvaneAuto with its icon, and the editor.
  FakeNotificationArea tray;
  std::unique_ptr<hostwin::StandInProcess> act;
  std::unique_ptr<RunningProcess> switcher, editor;
  if (packages().programsRun()) {
    ASSERT_TRUE(tray.ready());
    act = std::make_unique<hostwin::StandInProcess>();
    switcher = std::make_unique<RunningProcess>(quotedPath(folder + "\\MorvaneAuto.exe"), folder);
    ASSERT_TRUE(waitUntil([&] { return !tray.icons().empty(); }, 20s)) << "MorvaneAuto's icon";
    editor = std::make_unique<RunningProcess>(quotedPath(folder + "\\Morvane.exe") + " 0", folder);
    ASSERT_TRUE(waitUntil([&] { return hasWindow(editor->processId(), "Morvane.Form"); }, 20s));
  } else {
    std::printf(
        "Skipped running the installed programs during the upgrade: this machine cannot "
        "run 32-bit programs\n");
  }

  // The upgrade, with no folder named: it goes where the older version is.
  ASSERT_EQ(msiexec("/i " + quotedPath(packages().current) + " /qn"), 0u);
  const auto entry = programsAndFeatures();
  EXPECT_EQ(entry.at("DisplayVersion"), packages().currentVersion) << "the older one is gone";
  EXPECT_EQ(entry.at("InstallLocation"), folder + "\\");
  std::vector<std::string> files = kProgramFiles;
  files.push_back("Morvane.ini");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(filesIn(folder), files);
  EXPECT_EQ(readFile(rules), kRules);
  EXPECT_EQ(settings.get(settings::kStealthMode), "0");
  EXPECT_EQ(nubrixServer(), folder + "\\Nubrix.dll");
  if (switcher) {
    EXPECT_FALSE(switcher->running()) << "MorvaneAuto was closed";
    EXPECT_FALSE(editor->running()) << "the editor was closed";
    pumpMessages();
    EXPECT_TRUE(tray.icons().empty()) << "MorvaneAuto took its icon away as it closed";
  }

  ASSERT_EQ(msiexec("/x " + quotedPath(packages().current) + " /qn"), 0u);
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{"Morvane.ini"});
  EXPECT_EQ(nubrixServer(), "<not registered>");
  DeleteFileW(win32::toWide(rules).c_str());
  RemoveDirectoryW(win32::toWide(folder).c_str());
}

INSTANTIATE_TEST_SUITE_P(Packages, InstallerContract, testing::Values(packagesX86(), packagesX64()),
                         [](const auto& info) { return info.param.name; });

// A copy of this program named as the editor: it has no form, so no request to close reaches it.
MORVANE_CHILD_MODE(stays_open) {
  Sleep(120000);
  return 0;
}

// The installer's helper that closes the programs, against one that stays: a silent setup stops
// (the helper fails, so the package changes nothing), and a setup with a user tells the user,
// whose Retry goes on once the program has been closed.
TEST(ClosingThePrograms, OneThatStaysStopsASilentSetupAndTheUserIsToldOtherwise) {
  const std::string closer = besideMe("CloseMorvane.exe");
  ScratchFolder folder;
  const std::string copy = folder.file("Morvane.exe");
  ASSERT_TRUE(CopyFileA(selfPath().c_str(), copy.c_str(), FALSE));
  auto staying = std::make_unique<RunningProcess>(quotedPath(copy) + " --morvane-child=stays_open");
  ASSERT_TRUE(staying->started());

  EXPECT_EQ(runToEnd(quotedPath(closer) + " 2", {}, 60s), 1u) << "silent";

  RunningProcess withUser(quotedPath(closer) + " 5");
  const auto box = waitForMessageBox(BoxOwner::process(withUser.processId()), 60s);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, "Morvane Setup");
  EXPECT_EQ(box->text,
            "Morvane is still running.\r\nClose Morvane, then click Retry to go on with the setup.");
  staying.reset();  // the user closes it
  ASSERT_TRUE(pressButton(*box, IDRETRY));
  EXPECT_EQ(withUser.waitForExit(30s), 0u);
}

}  // namespace
}  // namespace morvane::wintest
