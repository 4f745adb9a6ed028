#include "switcher/frmAuto.h"

#include "platform/conversions.h"
#include "platform/win_constants.h"
#include "shared/act/database_name.h"
#include "shared/settings/settings_keys.h"
#include "switcher/morvane_auto_program.h"
#include "trayicon/nubrix_members.h"

namespace morvane {

namespace {
constexpr std::string_view kToolTip = "Morvane in Stealth Mode. Click to open.";
constexpr std::string_view kMorvaneExe = "\\Morvane.exe";
constexpr std::string_view kFormLoadPlace = "in frmAuto: Sub Form_Load";
}  // namespace

// Passes a control's events to the form while it is loaded. Events that arrive after the form
// has unloaded (the control is still unwinding the call that unloaded it) are dropped.
class frmAuto::EventSinkFor : public EventSink {
 public:
  using Handler = std::function<void(int position, DispId id, std::vector<Variant>& args)>;
  EventSinkFor(frmAuto& form, Handler handler) : m_form(form), m_handler(std::move(handler)) {}
  void onEvent(int position, DispId id, std::vector<Variant>& args) override {
    if (m_form.m_loaded) m_handler(position, id, args);
  }

 private:
  frmAuto& m_form;
  Handler m_handler;
};

frmAuto::frmAuto(MorvaneAutoProgram& program)
    : tmr1(program.platform.timers),
      m_program(program),
      m_actWatch(program.platform.windows, program.platform.timers) {
  tmr1.onTimer = [this] { tmr1_Timer(); };
  program.trap.onReported = [this](const RuntimeError& error) { onTrappedError(error); };
}

frmAuto::~frmAuto() {
  m_program.trap.onReported = nullptr;
  tmr1.setInterval(0);
  if (m_hwnd != 0) m_program.platform.windows.destroyWindow(m_hwnd);
}

void frmAuto::placeControls() {
  auto& platform = m_program.platform;
  // The hidden form's own window: it owns the icon's window and the programs it starts. A close
  // request (WM_CLOSE, as the installer sends before it replaces the program) unloads the form as
  // the close box would: the icon goes and the program ends.
  m_hwnd = platform.windows.createWindowA(
      "ThunderRT6FormDC", MorvaneAutoProgram::kTitle, 0, 0, 0, 120, 90, 0,
      [this](Hwnd hwnd, uint32_t msg, WParam wParam, LParam lParam) -> LResult {
        if (msg != win::WM_CLOSE)
          return m_program.platform.windows.callClassProc(hwnd, msg, wParam, lParam);
        Unload();
        return 0;
      });
  ActEvent1 = platform.automation.createObject(kActEventProgId);
  m_actSink = std::make_shared<EventSinkFor>(
      *this, [this](int position, DispId, std::vector<Variant>& args) {
        ActEvent1_Event(position, args);
      });
  ActEvent1->advise(m_actSink);
  OlundNubrix1 = platform.automation.createObject(nubrix::kProgId);
  m_iconSink =
      std::make_shared<EventSinkFor>(*this, [this](int, DispId id, std::vector<Variant>& args) {
        int16_t button = args.empty() ? int16_t{0} : conv::toInteger(args[0]);
        if (id == nubrix::dispid::kClick) OlundNubrix1_Click(button);
        if (id == nubrix::dispid::kDblClick) OlundNubrix1_DblClick(button);
        if (!args.empty()) args[0] = Variant(button);
      });
  OlundNubrix1->advise(m_iconSink);
}

bool frmAuto::Load() {
  m_loaded = true;
  // The controls are part of the form: when one cannot be made, the form does not load.
  const bool placed = m_program.trap.run(kFormLoadPlace, [&](int& line) {
    line = 1;
    placeControls();
  });
  if (!placed) {
    Unload();
    return false;
  }
  Form_Load();
  return m_loaded;
}

void frmAuto::Form_Load() {
  auto& platform = m_program.platform;
  // Every step that waits on ACT! lets ACT!'s events in, and event 14 unloads the form: once it
  // has, start-up ends there.
  const bool ok = m_program.trap.run(kFormLoadPlace, [&](int& line) {
    line = 2;
    m_program.delay = settings::readDelay(platform.settings);
    line = 3;
    if (platform.host.previousInstance()) {
      // A copy already runs: this one goes at once, without a word.
      m_loaded = false;
      m_program.end();
      return;
    }
    line = 4;
    Loading = true;
    line = 5;
    int32_t linked = 0;
    // A link call that fails outright counts as no link; member 3 then tells why.
    ignoreErrors([&] {
      linked = conv::toLong(callMethodById(ActEvent1, kActEventLink, {Variant(int32_t{0})}));
    });
    if (!m_loaded) return;
    line = 6;
    if (linked < 1) {
      line = 7;
      const bool available = conv::toBoolean(callMethodById(ActEvent1, kActEventAvailable));
      platform.boxes.show(actNotLinkedMessage(available, MorvaneAutoProgram::kTitle, "\r\n"),
                          MorvaneAutoProgram::kTitle, MsgButtons::Ok, MsgIcon::None);
      Unload();
      return;
    }
    line = 8;
    m_program.module1.Create_ACT_Objects();
  });
  if (!m_loaded) return;
  if (!ok) {
    // Nothing after a failed start-up would ever show an icon or be reachable: end instead of
    // staying loaded as an invisible process.
    Unload();
    return;
  }
  ignoreErrors([&] { DatabaseName = Get_DB_Name(); });
  if (!m_loaded) return;
  ignoreErrors([&] { Update_Layout(); });
  if (!m_loaded) return;
  Loading = false;
  ignoreErrors([&] {
    putPropertyById(OlundNubrix1, nubrix::dispid::kToolTipIcon1, Variant(std::string(kToolTip)));
  });
  if (!m_loaded) return;
  ignoreErrors([&] { callMethodById(OlundNubrix1, nubrix::dispid::kAddIcon); });
  // Unloaded while the icon went up: Form_Unload may have come before the shell had the icon.
  if (!m_loaded) {
    ignoreErrors([&] { callMethodById(OlundNubrix1, nubrix::dispid::kRemoveIcon); });
    return;
  }
  m_actWatch.start([this] { actWatch_Gone(); });
}

void frmAuto::Unload() {
  if (!m_loaded && m_program.ended()) return;
  const bool wasLoaded = m_loaded;
  m_loaded = false;
  if (wasLoaded) Form_Unload();
  tmr1.setInterval(0);
  m_actWatch.stop();
  m_program.end();
}

void frmAuto::Form_Unload() {
  ignoreErrors([&] { callMethodById(OlundNubrix1, nubrix::dispid::kRemoveIcon); });
}

void frmAuto::ActEvent1_Event(int position, std::vector<Variant>&) {
  switch (position) {
    case 1:
      if (!Loading) {
        DatabaseName = Get_DB_Name();
        armDelayTimer();
      }
      break;
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
      Update_Layout();
      break;
    case 14:
      endWithAct();
      break;
    default:  // 2 and 7: nothing to do
      break;
  }
}

void frmAuto::endWithAct() {
  if (!m_loaded) return;
  // ACT!'s control may already be gone; the switcher ends either way.
  ignoreErrors([&] { callMethodById(ActEvent1, kActEventRelease); });
  Unload();
}

void frmAuto::onTrappedError(const RuntimeError& error) {
  if (isServerGone(error)) {
    // ACT! went without closing: the box just shown was the one word about it.
    endWithAct();
  } else if (error.number() == kCallTimedOut) {
    m_actNotAnswering = true;
  }
}

void frmAuto::actWatch_Gone() {
  // A dead ACT! cannot answer: the failure's box ends the switcher (onTrappedError).
  m_program.module1.Check_ACT();
}

void frmAuto::tmr1_Timer() {
  Update_Layout();
  tmr1.setInterval(0);
}

void frmAuto::armIfIdle() {
  if (tmr1.interval() == 0) armDelayTimer();
}

void frmAuto::armDelayTimer() {
  // A call that was waiting on ACT! when ACT! closed comes back after the unload: a timer armed
  // then would run an update on a form that has gone.
  if (m_loaded) tmr1.setInterval(m_program.delay);
}

void frmAuto::Update_Layout() {
  auto& program = m_program;
  // The update ends at a call to ACT! that failed for good (ACT! gone: the switcher has unloaded)
  // or got no answer: the user has been told once, and every further call would wait on ACT!.
  m_actNotAnswering = false;
  const auto actFailed = [&] { return !m_loaded || m_actNotAnswering; };
  program.trap.run("in frmAuto: Sub Update_Layout", [&](int& line) {
    line = 2;
    DatabaseName = Get_DB_Name();
    if (actFailed()) return;
    line = 3;
    CurrentView = program.module1.GetView(*this);
    if (actFailed()) return;
    line = 4;
    if (CurrentView == kViewContactList) return;
    line = 5;
    program.iniLib.RulesFilePath =
        settings::readIniLocation(program.platform.settings, program.platform.host.programFolder());
    line = 6;
    const std::string section = DatabaseName + "-" + CurrentView;
    line = 7;
    ReferenceField = conv::toInteger(program.iniLib.GetKeyValue(section, kReferenceFieldKey, "0"));
    line = 8;
    const std::string value = Get_Field_Value(ReferenceField);
    if (actFailed()) return;
    line = 9;
    const std::string defaultLayout = program.iniLib.GetKeyValue(section, kNoLayoutAssignedKey, "");
    line = 10;
    const std::string layout = program.iniLib.GetKeyValue(section, value, defaultLayout);
    line = 11;
    if (!layout.empty()) program.layouts.SelectLayout(layout);
  });
}

std::string frmAuto::Get_DB_Name() {
  std::string name;
  m_program.trap.run("in frmAuto: Function Get_DB_Name", [&](int& line) {
    line = 2;
    name = conv::toString(callMethod(m_program.module1.ActApp, "GetOpenDBName"));
    line = 3;
    name = databaseNameFromPath(name);
  });
  return name;
}

std::string frmAuto::Get_Field_Value(int16_t fieldNumber) {
  std::string result;
  if (CurrentView == kViewContact || CurrentView == kViewGroup) {
    try {
      result = conv::toString(
          callMethod(m_program.module1.ActCurrentView, "GetField", {Variant(fieldNumber)}));
    } catch (const RuntimeError& e) {
      // Errors are passed over, but a call ACT! did not answer is no empty value: the update
      // that asked stops (it would take the default layout for it).
      if (e.number() == kCallTimedOut || isServerGone(e)) m_actNotAnswering = true;
    }
  }
  return result;
}

void frmAuto::OlundNubrix1_Click(int16_t&) {
  handOverToMorvane();
}

void frmAuto::OlundNubrix1_DblClick(int16_t&) {
  handOverToMorvane();
}

void frmAuto::handOverToMorvane() {
  // The shell reports a double-click as click, double-click, click, and the later ones arrive
  // while the first is still starting Morvane or showing why it could not: one attempt only.
  if (m_handingOver) return;
  struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) { flag = true; }
    ~Busy() { flag = false; }
  } busy(m_handingOver);
  auto& platform = m_program.platform;
  const std::string folder = platform.host.programFolder();
  const std::string file = folder + std::string(kMorvaneExe);
  const intptr_t started =
      platform.shell.shellExecuteA(m_hwnd, "Open", file, "0", folder, win::SW_SHOW);
  if (started <= 32) {
    // Ending now would leave the user with neither program: keep the icon and say why.
    const std::string title(MorvaneAutoProgram::kTitle);
    platform.boxes.show("Unable to start " + file, title, MsgButtons::Ok, MsgIcon::Exclamation);
    return;
  }
  Unload();
}

}  // namespace morvane
