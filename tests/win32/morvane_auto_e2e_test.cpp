// MorvaneAuto.exe end to end on Windows: the ACT! stand-in in one process, MorvaneAuto in another,
// the test as the user, with a notification area of its own and Morvane.exe played by the
// recorder. The icon control is Nubrix.dll, registered with regsvr32. MorvaneAuto is installed in
// a folder whose name has blanks and an accented letter, and reads its rules from such a folder
// too.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "hostwin/standin_client.h"
#include "platform/win32/win32_profile_files.h"
#include "tests/win32/support/fake_notification_area.h"
#include "tests/win32/support/message_box_answerer.h"
#include "tests/win32/support/processes.h"
#include "tests/win32/support/program_settings.h"
#include "tests/win32/support/recorded_start.h"
#include "tests/win32/support/scratch.h"
#include "tests/win32/support/wait.h"

namespace morvane::wintest {
namespace {

using hostwin::StandInProcess;
using namespace std::chrono_literals;

constexpr const char* kToolTip = "Morvane in Stealth Mode. Click to open.";
// MorvaneAuto waits this long before a deferred update; short, so the tests need not wait long.
constexpr const char* kDelay = "800";

class MorvaneAutoEndToEnd : public testing::Test {
 protected:
  // ACT!'s stand-in and the icon control's library, registered as their installers would.
  static std::string registerStandIn() {
    return quotedPath(besideMe("ActStandIn.exe")) + " /regserver";
  }
  static std::string unregisterStandIn() {
    return quotedPath(besideMe("ActStandIn.exe")) + " /unregserver";
  }
  static std::string registerNubrix() {
    return "regsvr32 /s " + quotedPath(besideMe("Nubrix.dll"));
  }
  static std::string unregisterNubrix() {
    return "regsvr32 /s /u " + quotedPath(besideMe("Nubrix.dll"));
  }
  static void SetUpTestSuite() {
    ASSERT_EQ(runToEnd(registerStandIn()), 0u);
    ASSERT_EQ(runToEnd(registerNubrix()), 0u);
  }
  static void TearDownTestSuite() {
    runToEnd(unregisterNubrix());
    runToEnd(unregisterStandIn());
  }

  // A stand-in that COM started for a client while no ACT! ran would hold ACT!'s classes and
  // keep the next test's stand-in from serving them.
  void TearDown() override {
    if (const size_t strays = endProcessesNamed("ActStandIn.exe"))
      std::fprintf(stderr, "ended %zu ActStandIn.exe left running by the test\n", strays);
  }

  void SetUp() override {
    ASSERT_TRUE(tray.ready());
    program = install.folder("Morvane Programme \xE9");  // "é" in the ANSI code page
    ASSERT_TRUE(CopyFileA(besideMe("MorvaneAuto.exe").c_str(), autoExe().c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(besideMe("record_args.exe").c_str(), morvaneExe().c_str(), FALSE));
    rulesFile = install.folder(
                    "R\xE8gles partag\xE9"
                    "es") +
                "\\Mes r\xE8gles.ini";
    settings.set(settings::kDelay, kDelay);
    settings.set(settings::kIniLocation, rulesFile);
    writeSampleRules();
  }

  std::string autoExe() const { return program + "\\MorvaneAuto.exe"; }
  std::string morvaneExe() const { return program + "\\Morvane.exe"; }

  void rule(const char* section, const char* key, const char* value) {
    ASSERT_TRUE(profiles.writePrivateProfileStringA(section, key, value, rulesFile.c_str()));
  }
  // Contacts by ID/Status (field 5), groups by Group Type (field 102).
  void writeSampleRules() {
    rule("Sales-Contact", "_Reference_Field_", "5");
    rule("Sales-Contact", "If no layout assigned", "Standard");
    rule("Sales-Contact", "Customer", "Client");
    rule("Sales-Contact", "Prospect", "Prospect Layout");
    rule("Sales-Contact", "Vendor", "Vendor Layout");
    rule("Sales-Group", "_Reference_Field_", "102");
    rule("Sales-Group", "Team", "Group Layout");
  }

  // Starts MorvaneAuto from its folder, as Explorer would.
  std::unique_ptr<RunningProcess> startMorvaneAuto() {
    return std::make_unique<RunningProcess>(quotedPath(autoExe()), program);
  }

  // The unload takes down an icon that was never put up; the shell refuses that, and nothing shows.
  bool neverAddedAnIcon() const {
    for (const TrayNotification& n : tray.notifications())
      if (n.message == NIM_ADD) return false;
    return tray.icons().empty();
  }
  const FakeTrayIcon* icon() const {
    return tray.icons().empty() ? nullptr : &tray.icons().front();
  }
  bool waitForIcon() {
    return waitUntil([&] { return icon() != nullptr; }, 20s);
  }
  // True when ACT! shows the layout within the patience; otherwise a failure says what ACT! shows.
  testing::AssertionResult waitForLayout(StandInProcess& act, const std::string& layout) {
    if (waitUntil([&] { return act.currentLayout() == layout; }))
      return testing::AssertionSuccess();
    const hostwin::StandInState state = act.state();
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << "ACT! shows \"" << state.layout << "\" on \"" << state.record << "\" in view "
            << state.view << "; applied:";
    for (const std::string& a : state.applied) failure << " \"" << a << "\"";
    failure << "; events:";
    for (const auto& e : state.events) failure << " " << e.position;
    return failure;
  }

  ScratchFolder install{"morvane-e2e"};
  std::string program;
  std::string rulesFile;
  ProgramSettings settings;
  win32::Win32ProfileFiles profiles;
  FakeNotificationArea tray;
};

// What Windows shows of the program file: its version, its icon in both sizes, and a manifest
// asking for the version 6 common controls and for DPI awareness.
TEST(MorvaneAutoProgramFile, CarriesVersionIconAndManifest) {
  const std::string exe = besideMe("MorvaneAuto.exe");
  DWORD ignored = 0;
  std::vector<char> info(GetFileVersionInfoSizeA(exe.c_str(), &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  auto text = [&](const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    return VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)
               ? std::string(value)
               : std::string("<none>");
  };
  EXPECT_EQ(text("FileVersion"), "1.1.0.0");
  EXPECT_EQ(text("ProductVersion"), "1.1.0");
  EXPECT_EQ(text("OriginalFilename"), "MorvaneAuto.exe");

  const HMODULE file = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(file, nullptr);
  for (const int size : {16, 32}) {
    const HICON icon = static_cast<HICON>(
        LoadImageA(file, MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    ICONINFO parts{};
    ASSERT_TRUE(icon != nullptr && GetIconInfo(icon, &parts)) << size;
    BITMAP bitmap{};
    GetObjectA(parts.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    DestroyIcon(icon);
  }
  const HRSRC found = FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(file, found))),
                             SizeofResource(file, found));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
  FreeLibrary(file);
}

TEST_F(MorvaneAutoEndToEnd, StartsWithTheRecordsLayoutAndOneIconWhateverTheCopies) {
  StandInProcess act;
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());
  EXPECT_EQ(icon()->tip, kToolTip);
  EXPECT_TRUE(icon()->hasImage);
  // Alice Martin is a Customer: her layout was applied before the icon went up.
  EXPECT_TRUE(waitForLayout(act, "Client"));

  auto second = startMorvaneAuto();
  EXPECT_TRUE(second->waitForExit().has_value());
  EXPECT_TRUE(morvaneAuto->running());
  EXPECT_EQ(tray.icons().size(), 1u);

  // Explorer restarts: the icon comes back.
  tray.restart();
  EXPECT_TRUE(waitForIcon());
  EXPECT_EQ(icon()->tip, kToolTip);
}

TEST_F(MorvaneAutoEndToEnd, EveryRecordChangeGetsTheLayoutItsValueNames) {
  StandInProcess act;
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());
  ASSERT_TRUE(waitForLayout(act, "Client"));

  struct Step {
    const char* command;
    const char* layout;
  };
  const Step steps[] = {
      {"next", "Prospect Layout"},  // Bob Durand, Prospect
      {"next", "Vendor Layout"},    // Carla Nunes, Vendor
      {"next", "Standard"},         // David Li, no value: the default layout
      {"next", "Client"},           // Eve Moreau, "customer": letter case does not matter
      {"field 5 Vendor", "Vendor Layout"},
      {"view group", "Group Layout"},  // Sales Team, Team
  };
  for (const Step& step : steps) {
    ASSERT_EQ(act.command(step.command).result, hostwin::protocol::Result::Done) << step.command;
    EXPECT_TRUE(waitForLayout(act, step.layout))
        << step.command << " shows " << act.currentLayout();
  }
  // The committee has no layout of its own and the groups no default: the layout stays.
  act.command("next");
  act.command("state");
  EXPECT_EQ(act.currentLayout(), "Group Layout");
}

TEST_F(MorvaneAutoEndToEnd, TheContactListGetsOneDeferredUpdate) {
  StandInProcess act;
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());
  ASSERT_TRUE(waitForLayout(act, "Client"));

  // Nothing is selected in the list; a delay later MorvaneAuto looks at ACT! once more, with as
  // many calls as the update the event made at once. An event that comes while that update runs
  // arms no second one, and one that comes during its last call would run inside it, so the next
  // command waits for all of it. Nothing outside MorvaneAuto shows when its last call has come
  // back, which takes it well under the short pause at the end.
  const auto deferredUpdateAfter = [&](const char* command) {
    act.resetCounters();
    act.command(command);
    const uint64_t oneUpdate = act.counters().automationCalls;
    act.resetCounters();
    const bool updated =
        oneUpdate > 0 && waitUntil([&] { return act.counters().automationCalls >= oneUpdate; });
    Sleep(100);
    return updated;
  };
  EXPECT_TRUE(deferredUpdateAfter("view list"));
  EXPECT_TRUE(deferredUpdateAfter("next"));  // Bob Durand, a Prospect
  EXPECT_EQ(act.currentLayout(), "Client");

  // Back in the contact view, the record's layout comes at once.
  act.command("view contact");
  EXPECT_TRUE(waitForLayout(act, "Prospect Layout"));
}

TEST_F(MorvaneAutoEndToEnd, AClickStartsMorvaneWithZeroAndEndsMorvaneAuto) {
  StandInProcess act;
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());

  ASSERT_TRUE(tray.click(icon()->window, icon()->id));
  EXPECT_TRUE(morvaneAuto->waitForExit().has_value());
  EXPECT_TRUE(waitUntil([&] { return tray.icons().empty(); }));
  std::vector<RecordedStart> starts;
  ASSERT_TRUE(waitUntil([&] {
    starts = readRecordedStarts(defaultRecordFile(morvaneExe()));
    return !starts.empty();
  }));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].arguments, "0");
  EXPECT_EQ(starts[0].workingDirectory, program);
  EXPECT_EQ(starts[0].programFolder, program);
}

TEST_F(MorvaneAutoEndToEnd, WithoutMorvaneTheIconStaysAndADoubleClickTellsOnce) {
  StandInProcess act;
  DeleteFileA(morvaneExe().c_str());
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());

  // The shell's double-click: the first click already tries; the rest waits for the box.
  ASSERT_TRUE(tray.doubleClick(icon()->window, icon()->id));
  const auto box = waitForMessageBox(BoxOwner::process(morvaneAuto->processId()));
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, "MorvaneAuto");
  EXPECT_EQ(box->text, "Unable to start " + morvaneExe());
  ASSERT_TRUE(pressButton(*box, IDOK));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(win32::toHwnd(box->window)); }));
  EXPECT_FALSE(waitForMessageBox(BoxOwner::process(morvaneAuto->processId()), 1s).has_value())
      << "one box for one double-click";
  EXPECT_TRUE(morvaneAuto->running());
  EXPECT_EQ(tray.icons().size(), 1u);
}

TEST_F(MorvaneAutoEndToEnd, ActClosingEndsMorvaneAutoAndTakesItsIconAway) {
  StandInProcess act;
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());

  EXPECT_TRUE(act.stop());
  EXPECT_TRUE(morvaneAuto->waitForExit().has_value());
  EXPECT_TRUE(tray.icons().empty());
}

TEST_F(MorvaneAutoEndToEnd, AnActThatCannotBeReachedIsReportedAndNoIconShows) {
  StandInProcess act;
  act.command("unlinked on");
  auto morvaneAuto = startMorvaneAuto();

  const auto box = answerMessageBox(BoxOwner::process(morvaneAuto->processId()), IDOK, 20s);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, "MorvaneAuto");
  EXPECT_EQ(box->text,
            "Unable to communicate with ACT!\r\nPlease run actreg.exe located in the ACT folder "
            "and try again");
  EXPECT_TRUE(morvaneAuto->waitForExit().has_value());
  EXPECT_TRUE(neverAddedAnIcon());
}

// A control of the form that is not installed, ACT!'s event control or the icon control's library:
// the form does not load, the failure is reported, and MorvaneAuto ends without an icon.
TEST_F(MorvaneAutoEndToEnd, AMissingControlIsReportedAndMorvaneAutoEnds) {
  StandInProcess act;
  const struct {
    std::string remove;
    std::string restore;
  } missing[] = {{unregisterStandIn(), registerStandIn()}, {unregisterNubrix(), registerNubrix()}};
  for (const auto& m : missing) {
    ASSERT_EQ(runToEnd(m.remove), 0u);
    auto morvaneAuto = startMorvaneAuto();
    const auto box = answerMessageBox(BoxOwner::process(morvaneAuto->processId()), IDOK, 20s);
    ASSERT_EQ(runToEnd(m.restore), 0u);
    ASSERT_TRUE(box.has_value()) << m.remove;
    EXPECT_EQ(box->caption, "MorvaneAuto error");
    EXPECT_EQ(box->text.rfind("Error 429: 'ActiveX component can't create object'\r"
                              "in frmAuto: Sub Form_Load - Line # 1\r",
                              0),
              0u)
        << box->text;
    EXPECT_TRUE(morvaneAuto->waitForExit().has_value());
    EXPECT_TRUE(neverAddedAnIcon());
  }
}

// ACT! dies without closing while MorvaneAuto waits for its events: no event tells it, but ACT!'s
// windows go with its process. MorvaneAuto says so once, in the standard box, and ends as when
// ACT! closes; ACT! and MorvaneAuto started again switch layouts.
TEST_F(MorvaneAutoEndToEnd, AnActThatDiesIsToldOnceAndAgainStartedWorksWithANewMorvaneAuto) {
  auto act = std::make_unique<StandInProcess>();
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());
  ASSERT_TRUE(waitForLayout(*act, "Client"));

  act->command("die");
  ASSERT_TRUE(act->waitForExit(hostwin::kStandInTimeoutMs));
  const auto box = answerMessageBox(BoxOwner::process(morvaneAuto->processId()), IDOK, 20s);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, "MorvaneAuto error");
  EXPECT_EQ(box->text.rfind(
                "Error 462: 'The remote server machine does not exist or is unavailable'\r", 0),
            0u)
      << box->text;
  // One box, then the end: the process goes and takes its icon with it.
  EXPECT_TRUE(morvaneAuto->waitForExit().has_value());
  EXPECT_TRUE(tray.icons().empty());

  act = std::make_unique<StandInProcess>();
  auto again = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());
  EXPECT_TRUE(waitForLayout(*act, "Client"));
  ASSERT_EQ(act->command("next").result, hostwin::protocol::Result::Done);
  EXPECT_TRUE(waitForLayout(*act, "Prospect Layout"));
}

// ACT! stops answering for half a minute while an update is due: the update's first call to it
// gives up at the call limit with the standard box, while ACT! still hangs; MorvaneAuto takes its
// messages all along, and carries on once ACT! answers again.
TEST_F(MorvaneAutoEndToEnd, AHungAutomationCallEndsAtTheLimitWithTheErrorBox) {
  StandInProcess act;
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());
  ASSERT_TRUE(waitForLayout(act, "Client"));

  ASSERT_EQ(act.command("view list").result, hostwin::protocol::Result::Done);
  ASSERT_EQ(act.command("hang 30000").result, hostwin::protocol::Result::Done);
  // Until the box comes, MorvaneAuto's thread answers what is sent to its icon's window.
  const Hwnd iconWindow = icon()->window;
  const BoxOwner owner = BoxOwner::process(morvaneAuto->processId());
  const BoxWhileAnswering waited = waitForMessageBoxAnswering(owner, iconWindow, 25s);
  const std::optional<FoundMessageBox>& box = waited.box;
  ASSERT_TRUE(box.has_value());
  DWORD_PTR ignored = 0;
  EXPECT_EQ(SendMessageTimeoutA(act.frame(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored), 0)
      << "the box should come while ACT! still hangs";
  EXPECT_EQ(waited.unanswered, 0) << "of " << waited.sends;
  EXPECT_EQ(box->caption, "MorvaneAuto error");
  EXPECT_EQ(box->text.rfind("Error -2147417825: 'Automation error\r\nThis operation returned "
                            "because the timeout period expired.'\r"
                            "in frmAuto: Function Get_DB_Name - Line # 2\r",
                            0),
            0u)
      << box->text;
  ASSERT_TRUE(pressButton(*box, IDOK));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(win32::toHwnd(box->window)); }));

  act.wake();  // instead of sleeping out the rest of the hang
  ASSERT_EQ(act.command("view contact").result, hostwin::protocol::Result::Done);
  ASSERT_EQ(act.command("next").result, hostwin::protocol::Result::Done);
  EXPECT_TRUE(waitForLayout(act, "Prospect Layout"));
  EXPECT_TRUE(morvaneAuto->running());
  EXPECT_FALSE(findMessageBox(owner).has_value()) << "one box for the update";
}

TEST_F(MorvaneAutoEndToEnd, AHungActDoesNotFreezeMorvaneAutoForGood) {
  StandInProcess act;
  auto morvaneAuto = startMorvaneAuto();
  ASSERT_TRUE(waitForIcon());
  ASSERT_TRUE(waitForLayout(act, "Client"));

  // ACT! stops answering in the middle of the next layout switch, for longer than MorvaneAuto
  // waits on one of its windows.
  ASSERT_EQ(act.command("hang-on-click 25000").result, hostwin::protocol::Result::Done);
  act.command("next", 60000);
  // MorvaneAuto gave up on the hung window and is itself answering again while ACT! still hangs.
  const HWND form = FindWindowA("ThunderRT6FormDC", "MorvaneAuto");
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(waitUntil(
      [&] {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &ignored) != 0;
      },
      20s));
  EXPECT_TRUE(morvaneAuto->running());

  // Once ACT! answers again, the next record gets its layout as usual.
  ASSERT_EQ(act.command("next", 60000).result, hostwin::protocol::Result::Done);
  EXPECT_TRUE(waitForLayout(act, "Vendor Layout"));
}

}  // namespace
}  // namespace morvane::wintest
