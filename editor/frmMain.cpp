#include "editor/frmMain.h"

#include <algorithm>
#include <limits>

#include "editor/frmIntegrate.h"
#include "editor/frmLocations.h"
#include "editor/morvane_program.h"
#include "platform/ansi_text.h"
#include "platform/conversions.h"
#include "platform/win_constants.h"
#include "shared/act/database_name.h"
#include "shared/settings/settings_keys.h"

namespace morvane {

namespace {

// Field types 1 to 4, each as its number followed by one NUL.
const std::string kFieldTypes("1\0002\0003\0004\000", 8);
constexpr std::string_view kLayoutColumnKey = "Layout";
constexpr std::string_view kMorvaneAutoExe = "\\MorvaneAuto.exe";
// GetSystemMetrics indexes of the fixed frame's width and height.
constexpr int32_t kSmCxFixedFrame = 7;
constexpr int32_t kSmCyFixedFrame = 8;
// The chooser starts this far right of its column, and stops this far short of the list's edge.
constexpr int32_t kChooserIndent = 50;
constexpr int32_t kChooserRightMargin = 365;
// The image list's one picture: 32 pixels high, which makes every row of the rule list so high.
constexpr int32_t kRowPictureHeight = 32;
constexpr int32_t kRestartTickMs = 1000;

}  // namespace

// --- frmSplash ---

frmSplash::frmSplash(ui::Ui& ui) : ui::Form(ui, "frmSplash") {
  clientWidth = 4680;
  clientHeight = 1215;
  borderStyle = ui::BorderStyle::None;
  showInTaskbar = false;
  lblLoading.setText("Loading... Please Wait!");
  lblLoading.setBox({360, 480, 4035, 315});
  lblLoading.setFont({"MS Sans Serif", 9.75, false});
  const auto line = [](ui::Line& l, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    l.x1 = x1;
    l.y1 = y1;
    l.x2 = x2;
    l.y2 = y2;
  };
  line(linTop, 0, 0, 4680, 0);
  line(linBottom, 0, 1200, 4680, 1200);
  line(linLeft, 0, 0, 0, 1200);
  line(linRight, 4660, 0, 4660, 1200);
  line(linRightOuter, 4680, 0, 4680, 1200);
  for (ui::Control* c : std::initializer_list<ui::Control*>{&lblLoading, &linTop, &linBottom,
                                                            &linLeft, &linRight, &linRightOuter})
    add(*c);
}

// --- frmMain ---

// Passes ACT!'s events to the form while it is loaded.
class frmMain::Sink : public EventSink {
 public:
  explicit Sink(frmMain& form) : m_form(form) {}
  void onEvent(int position, DispId, std::vector<Variant>&) override {
    if (m_form.loaded()) m_form.ActEvent1_Event(position);
  }

 private:
  frmMain& m_form;
};

frmMain::frmMain(MorvaneProgram& program)
    : ui::Form(program.ui, "frmMain"),
      tmr1(program.platform.timers),
      m_program(program),
      m_actWatch(program.platform.windows, program.platform.timers) {
  program.trap.onReported = [this](const RuntimeError& error) { onTrappedError(error); };
  setCaption(MorvaneProgram::kTitle);
  clientWidth = 7500;
  clientHeight = 4725;
  placeControls();

  cboField.onClick = [this] { Populate_lvwValues(); };
  cmdSave.onClick = [this] { cmdSave_Click(); };
  cmdUpdateLayout.onClick = [this] { cmdUpdateLayout_Click(); };
  cmdStealth.onClick = [this] { cmdStealth_Click(); };
  cmdCancel.onClick = [this] { unload(); };
  lvwValues.onMouseUp = [this](int16_t b, int16_t s, int32_t x, int32_t y) {
    lvwValues_MouseUp(b, s, x, y);
  };
  // Another row selected, by a click or a key: the chooser stood on the one before.
  lvwValues.onItemSelected = [this] { hideChooser(); };
  cboFloating.onClick = [this] { cboFloating_Click(); };
  tmr1.onTimer = [this] { tmr1_Timer(); };
  // Whatever else takes the focus, or a click on the window itself, puts the chooser away.
  for (ui::Control* c : std::initializer_list<ui::Control*>{
           &cboField, &chkStealth, &cmdCancel, &cmdSave, &cmdStealth, &cmdUpdateLayout})
    c->onGotFocus = [this] { hideChooser(); };
  onClick = [this] { hideChooser(); };

  menus = {
      {"mnuOptions",
       "&Options",
       {{"mnuLocation", "&Settings", {}, [this] { mnuLocation_Click(); }},
        {"mnuSep1", "-", {}, nullptr},
        {"mnuIntegrate", "&Integrate with ACT", {}, [this] { mnuIntegrate_Click(); }}},
       nullptr},
      {"mnuHelp",
       "&Help",
       {{"mnuOnlineHelp", "&Online Help", {}, [this] { mnuOnlineHelp_Click(); }},
        {"mnuSep2", "-", {}, nullptr},
        {"mnuAbout", "&About", {}, [this] { mnuAbout_Click(); }}},
       nullptr},
  };
}

frmMain::~frmMain() {
  m_program.trap.onReported = nullptr;
  disconnectActEvents();
}

void frmMain::onTrappedError(const RuntimeError& error) {
  // The box just shown was the one word about it; nothing more to watch.
  if (isServerGone(error)) m_actWatch.stop();
}

void frmMain::disconnectActEvents() {
  if (ActEvent1 && m_actCookie != 0) ignoreErrors([&] { ActEvent1->unadvise(m_actCookie); });
  m_actCookie = 0;
}

void frmMain::placeControls() {
  struct Place {
    ui::Control& control;
    ui::Box box;
    int32_t tabIndex;
  };
  const Place places[] = {
      {lblField, {330, 225, 5535, 285}, 3},         {cboField, {330, 510, 5430, 315}, 4},
      {lvwValues, {330, 975, 5430, 3180}, 5},       {cboFloating, {3735, 3600, 1905, 315}, 6},
      {cmdSave, {5820, 3825, 1000, 325}, 7},        {chkStealth, {345, 4320, 5445, 255}, 8},
      {cmdStealth, {6210, 1035, 1000, 555}, 0},     {cmdCancel, {6210, 1710, 1000, 325}, 1},
      {cmdUpdateLayout, {6210, 390, 1000, 525}, 2},
  };
  for (const Place& p : places) {
    p.control.setBox(p.box);
    p.control.setTabIndex(p.tabIndex);
    add(p.control);
  }
  lblField.setText("Select the field which value you want to use as reference :");
  lvwValues.addColumn("", "If reference field value is:", 2500);
  lvwValues.addColumn(kLayoutColumnKey, "Then use this layout:", 2500);
  cboFloating.setVisible(false);
  cmdSave.setText("&Save");
  cmdSave.setEnabled(false);
  chkStealth.setText("At startup: minimize to the system tray and run in Stealth Mode.");
  cmdStealth.setText("Stealth &Mode");
  cmdCancel.setText("&Close");
  cmdUpdateLayout.setText("Update Layout");
}

void frmMain::Form_Load() {
  auto& platform = m_program.platform;
  auto& module1 = m_program.module1;
  constexpr const char* kPlace = "in frmMain: Sub Form_Load";
  // Set once the field list is filled: the rest of the loading may go on.
  bool listed = false;
  m_columnWidthsRead = false;
  m_program.trap.run(kPlace, [&](int& line) {
    line = 1;
    chkStealth.setValue(conv::toInteger(settings::readStealthModeText(platform.settings)));
    ActEvent1 = platform.automation.createObject(kActEventProgId);
    m_actSink = std::make_shared<Sink>(*this);
    m_actCookie = ActEvent1->advise(m_actSink);

    line = 2;
    const int32_t linked =
        conv::toLong(callMethodById(ActEvent1, kActEventLink, {Variant(int32_t{0})}));
    if (linked < 1) {
      const bool available = conv::toBoolean(callMethodById(ActEvent1, kActEventAvailable));
      platform.boxes.show(actNotLinkedMessage(available, MorvaneProgram::kTitle, "\r"),
                          MorvaneProgram::kTitle, MsgButtons::Ok, MsgIcon::None);
      unload();
      return;
    }
    line = 3;
    m_program.iniLib.RulesFilePath =
        settings::readIniLocation(platform.settings, platform.host.programFolder());
    line = 4;
    m_program.splash.show();
    m_program.splash.refresh();
    line = 5;
    RecordKind = module1.Create_ACT_Objects();
    if (RecordKind.empty()) return;
    line = 6;
    DatabaseName =
        databaseNameFromPath(conv::toString(callMethod(module1.ActApp, "GetOpenDBName")));
    line = 7;
    m_program.populate.Populate_cboFields(cboField, kFieldTypes, true, "");
    listed = true;
  });
  if (!listed || !loaded()) return;
  // A stored reference that is no number is told, and selects nothing; the loading goes on, so
  // that the user can choose a field and save the rules again.
  m_program.trap.run(kPlace, [&](int& line) {
    line = 8;
    const int16_t reference =
        conv::toInteger(m_program.iniLib.GetKeyValue(section(), kReferenceFieldKey, "0"));
    for (int32_t i = 0; i < cboField.listCount(); ++i) {
      if (cboField.itemData(i) == reference) {
        cboField.setListIndex(i);
        break;
      }
    }
  });
  if (!loaded()) return;  // ACT! closed meanwhile
  m_program.trap.run(kPlace, [&](int& line) {
    line = 9;
    Populate_Floating();
    line = 10;
    m_program.listHook.lvwHandle = lvwValues.hWnd();
    m_program.listHook.cboFloating = &cboFloating;
    m_program.listHook.Hook();
    line = 11;
    lvwValues.setSmallIconHeight(kRowPictureHeight);
    line = 12;
    if (cboField.listIndex() >= 0) Populate_lvwValues();
    line = 13;
    for (size_t column = 0; column < 2; ++column) {
      const float width =
          settings::readColumnWidth(platform.settings, static_cast<int>(column) + 1);
      lvwValues.setColumnWidth(column, static_cast<int32_t>(std::min<double>(
                                           width, std::numeric_limits<int32_t>::max())));
    }
    m_columnWidthsRead = true;
  });
  // ACT! that goes without closing says nothing: the watch notices its windows going, and asking
  // ACT! then shows the user what became of it.
  if (!RecordKind.empty()) m_actWatch.start([this] { m_program.module1.Check_ACT(); });
}

void frmMain::Populate_lvwValues() {
  m_program.trap.run("in frmMain: Sub Populate_lvwValues", [&](int& line) {
    line = 1;
    lvwValues.clearRows();
    line = 2;
    m_program.populate.Populate_lvwPopupList(
        lvwValues, static_cast<int16_t>(cboField.itemData(cboField.listIndex())));
    line = 3;
    for (size_t row = 0; row < lvwValues.rows().size(); ++row) {
      const std::string& value = lvwValues.rows()[row].text;
      // A value the rules file cannot hold has no rule: what its name reads is another key's.
      lvwValues.setSubItem(
          row, 1, holdsRule(row) ? m_program.iniLib.GetKeyValue(section(), value, "") : "");
    }
  });
}

void frmMain::Populate_Floating() {
  m_program.trap.run("in frmMain: Sub Populate_Floating", [&](int& line) {
    line = 1;
    cboFloating.clear();
    line = 2;
    cboFloating.addItem(" ");
    line = 3;
    for (const std::string& name : m_program.layouts.EnumLayouts()) {
      const auto& items = cboFloating.items();
      if (std::none_of(items.begin(), items.end(), [&](const auto& i) { return i.text == name; }))
        cboFloating.addItem(name);
    }
  });
}

void frmMain::cmdSave_Click() {
  saveRules();
}

bool frmMain::saveRules() {
  auto& ini = m_program.iniLib;
  bool written = true;
  const bool ran = m_program.trap.run("in frmMain: Sub cmdSave_Click", [&](int& line) {
    line = 1;
    ini.DeleteSection(DatabaseName);
    line = 2;
    written = ini.SetKeyValue(section(), kReferenceFieldKey,
                              std::to_string(cboField.itemData(cboField.listIndex())));
    line = 3;
    for (size_t row = 0; row < lvwValues.rows().size(); ++row) {
      // Never a key that would read back as something else.
      if (!holdsRule(row)) continue;
      written = ini.SetKeyValue(section(), lvwValues.rows()[row].text, lvwValues.subItem(row, 1)) &&
                written;
    }
    line = 4;
    // A rules file that cannot be written (read-only, a missing folder, a full disk) loses
    // nothing: the user hears of it, and the changes stay to be saved again.
    if (!written) {
      m_program.platform.boxes.show("The rules could not be saved in " + ini.RulesFilePath +
                                        ".\rYour changes are kept: check that the file can be "
                                        "written, then save again.",
                                    MorvaneProgram::kTitle, MsgButtons::Ok, MsgIcon::Exclamation);
      return;
    }
    UnsavedChanges = false;
    cmdSave.setEnabled(false);
  });
  return ran && written;
}

void frmMain::cmdUpdateLayout_Click() {
  auto& ini = m_program.iniLib;
  m_program.trap.run("in frmMain: Sub cmdUpdateLayout_Click", [&](int& line) {
    line = 1;
    if (UnsavedChanges) {
      if (!saveRules()) return;
      UnsavedChanges = false;
    }
    line = 2;
    // The rules of the record kind ACT! shows now, which need not be the one the editor shows;
    // in any other view there is nothing to apply.
    ObjectRef view;
    const std::string kind = m_program.module1.RecordKindShown(view);
    if (kind.empty()) return;
    const std::string shown = DatabaseName + "-" + kind;
    const int16_t reference = conv::toInteger(ini.GetKeyValue(shown, kReferenceFieldKey, "0"));
    line = 3;
    // No reference field yet (a first run): no value to read, as in MorvaneAuto.
    const std::string value =
        reference == 0 ? std::string()
                       : conv::toString(callMethod(view, "GetField", {Variant(reference)}));
    line = 4;
    const std::string defaultLayout = ini.GetKeyValue(shown, kNoLayoutAssignedKey, "");
    line = 5;
    const std::string layout = ini.GetKeyValue(shown, value, defaultLayout);
    line = 6;
    if (layout.empty()) return;
    const std::string result = m_program.layouts.SelectLayout(layout);
    if (!result.empty())
      m_program.platform.boxes.show(result, "Unable to change layout", MsgButtons::Ok,
                                    MsgIcon::None);
  });
}

bool frmMain::startMorvaneAuto() {
  const std::string folder = m_program.platform.host.programFolder();
  const std::string file = folder + std::string(kMorvaneAutoExe);
  if (m_program.platform.shell.shellExecuteA(hWnd(), "open", file, "", folder, win::SW_SHOW) > 32)
    return true;
  // Closing now would leave nothing running: the user hears of it and keeps the editor.
  m_program.platform.boxes.show("Unable to start " + file, MorvaneProgram::kTitle, MsgButtons::Ok,
                                MsgIcon::Exclamation);
  return false;
}

void frmMain::cmdStealth_Click() {
  cmdUpdateLayout_Click();
  if (UnsavedChanges) return;  // the rules could not be saved: nothing is handed over
  if (startMorvaneAuto()) unload();
}

void frmMain::hideChooser() {
  if (cboFloating.visible()) cboFloating.setVisible(false);
}

void frmMain::lvwValues_MouseUp(int16_t, int16_t, int32_t x, int32_t y) {
  m_program.trap.run("in frmMain: Sub lvwValues_MouseUp", [&](int& line) {
    line = 1;
    cboFloating.setVisible(false);
    line = 2;
    if (!lvwValues.hitTest(x, y)) return;
    line = 3;
    const auto column = lvwValues.columnByKey(kLayoutColumnKey);
    if (!column) throw RuntimeError(err::kObjectNotSet);
    // A click that selects no row (the middle button, on a list without a selection) has no row
    // to choose a layout for.
    const auto row = lvwValues.selectedRow();
    if (!row) return;
    const int32_t width = lvwValues.columns()[*column].width;
    line = 4;
    // Where the column shows now: the list may be scrolled sideways.
    const int32_t shownLeft = lvwValues.shownColumnLeft(*column);
    if (x < shownLeft || x > shownLeft + width) return;
    // The row whole and the column from its left edge come into view, so that the chooser stands
    // over its cell and inside the list.
    lvwValues.ensureVisible(*row, *column);
    const int32_t left = std::max(lvwValues.shownColumnLeft(*column), 0);
    auto& ui = m_program.ui;
    const ui::Box& list = lvwValues.box();
    ui::Box box = cboFloating.box();
    line = 5;
    box.top = list.top + lvwValues.rowTop(*row) +
              (ui.systemMetrics(kSmCyFixedFrame) - 1) * twipsPerPixelY();
    line = 6;
    box.left = list.left + left + kChooserIndent +
               (ui.systemMetrics(kSmCxFixedFrame) - 1) * twipsPerPixelX();
    line = 7;
    const int32_t room = list.width - kChooserRightMargin;
    box.width = left + width < room ? width : room - left;
    // A column too narrow to show past the chooser's room leaves no room for it.
    if (box.width <= 0) return;
    cboFloating.setBox(box);
    line = 8;
    // The row's layout shows in the chooser; that is not a choice of the user's.
    m_placingChooser = true;
    const std::string layout = lvwValues.subItem(*row, 1);
    if (layout.empty()) {
      cboFloating.setListIndex(-1);
    } else {
      // ACT!'s list finds a layout whatever its letter case; so does the chooser.
      const auto& items = cboFloating.items();
      const auto it = std::find_if(items.begin(), items.end(), [&](const auto& i) {
        return ansi::equalsNoCase(i.text, layout);
      });
      // A layout ACT! no longer lists shows as no selection, not as the last row's layout.
      cboFloating.setListIndex(it != items.end() ? static_cast<int32_t>(it - items.begin()) : -1);
    }
    m_placingChooser = false;
    line = 9;
    m_chooserRow = *row;
    cboFloating.setVisible(true);
  });
  m_placingChooser = false;
}

void frmMain::cboFloating_Click() {
  if (m_placingChooser) return;
  m_program.trap.run("in frmMain: Sub cboFloating_Click", [&](int& line) {
    line = 1;
    // The row the chooser was opened on, wherever the selection went since.
    if (!m_chooserRow || *m_chooserRow >= lvwValues.rows().size()) return;
    line = 2;
    if (!holdsRule(*m_chooserRow)) {
      refuseRule(*m_chooserRow);
      return;
    }
    lvwValues.setSubItem(*m_chooserRow, 1, cboFloating.text());
    line = 3;
    UnsavedChanges = true;
    cmdSave.setEnabled(true);
  });
}

bool frmMain::holdsRule(size_t row) const {
  // The first row is the default's own entry.
  return row == 0 || keyProblem(lvwValues.rows()[row].text).empty();
}

void frmMain::refuseRule(size_t row) {
  const std::string value = lvwValues.rows()[row].text;
  lvwValues.setSubItem(row, 1, "");
  m_placingChooser = true;
  const bool blank = cboFloating.text().find_first_not_of(' ') == std::string::npos;
  cboFloating.setListIndex(-1);
  m_placingChooser = false;
  if (blank) return;  // no layout asked for, nothing refused
  m_program.platform.boxes.show(
      "The value \"" + value +
          "\" cannot have a layout of its own: the rules file cannot hold a value that " +
          keyProblem(value) + ". Records with this value take the layout of \"" +
          kNoLayoutAssignedKey + "\".",
      MorvaneProgram::kTitle, MsgButtons::Ok, MsgIcon::Exclamation);
}

void frmMain::tmr1_Timer() {
  // Waiting for ACT! to come back after its restart: the program ends at the second tick.
  if (++RestartTicks >= 2) {
    tmr1.setInterval(0);
    m_program.end();
  }
}

void frmMain::ActEvent1_Event(int position) {
  if (position != 2 && position != 14) return;
  m_actWatch.stop();  // ACT! closes as it should
  ignoreErrors([&] { callMethodById(ActEvent1, kActEventRelease); });
  if (position == 2 || !m_program.RestartACT) unload();
}

void frmMain::Form_Unload(int16_t& cancel) {
  auto& platform = m_program.platform;
  auto& module1 = m_program.module1;
  const bool saved = m_program.trap.run("in frmMain: Sub Form_Unload", [&](int& line) {
    line = 1;
    settings::saveStealthMode(platform.settings, chkStealth.value());
    line = 2;
    const bool hooked = lvwValues.hWnd() != 0 && m_program.listHook.lvwHandle == lvwValues.hWnd();
    if (hooked) m_program.listHook.Unhook();
    line = 3;
    if (UnsavedChanges &&
        platform.boxes.show("Do you want to save your changes?", MorvaneProgram::kTitle,
                            MsgButtons::YesNo, MsgIcon::None) == MsgResult::Yes &&
        !saveRules()) {
      // The user asked for the rules to be kept and they could not be written: the editor stays
      // as it was, its list hooked again.
      cancel = 1;
      if (hooked) m_program.listHook.Hook();
      return;
    }
    line = 4;
    // Widths the loading never read would be written over the stored ones.
    if (!m_columnWidthsRead) return;
    for (size_t column = 0; column < 2 && column < lvwValues.columns().size(); ++column)
      settings::saveColumnWidth(platform.settings, static_cast<int>(column) + 1,
                                static_cast<float>(lvwValues.columns()[column].width));
  });
  if (cancel != 0) return;
  m_actWatch.stop();
  if (saved) {
    // From here on a failing step is passed over.
    std::string path;
    if (m_program.RestartACT) {
      ignoreErrors(
          [&] { path = conv::toString(callMethod(module1.ActDatabase, "GetDatabasePath")); });
      ignoreErrors([&] { callMethod(module1.ActApp, "Command", {Variant(int32_t{150})}); });
    }
    ignoreErrors([&] { callMethod(module1.ActDatabase, "Close"); });
    module1.ActApp.reset();
    if (m_program.RestartACT) {
      // ACT!'s start-up macro may start Morvane again while this copy waits to end: that copy
      // must not find this one still running.
      platform.host.releaseInstance();
      ignoreErrors([&] {
        platform.shell.shellExecuteA(hWnd(), "open", path, "", platform.host.programFolder(),
                                     win::SW_SHOW);
      });
      hide();
      RestartTicks = 0;
      tmr1.setInterval(kRestartTickMs);
      return;
    }
  }
  disconnectActEvents();
  m_program.end();
}

void frmMain::mnuOnlineHelp_Click() {
  const std::string folder = m_program.platform.host.programFolder();
  m_program.platform.shell.shellExecuteA(hWnd(), "open", MorvaneProgram::kTutorialAddress, "",
                                         folder, win::SW_SHOW);
}

void frmMain::mnuAbout_Click() {
  const ProgramVersion v = m_program.platform.host.programVersion();
  const std::string title(MorvaneProgram::kTitle);
  m_program.platform.boxes.show(title + "\rVersion " + std::to_string(v.major) + "." +
                                    std::to_string(v.minor) + "." + std::to_string(v.revision),
                                "About " + title, MsgButtons::Ok, MsgIcon::Information);
}

void frmMain::mnuLocation_Click() {
  // What the dialog does not catch itself (ACT! unreachable when its preference is read, a
  // rules file that cannot be created) is reported here, and the dialog goes.
  frmLocations dialog(m_program);
  m_program.trap.run("in frmMain: Sub mnuLocation_Click", [&](int& line) {
    line = 1;
    dialog.show(true, this);
  });
}

void frmMain::mnuIntegrate_Click() {
  auto dialog = std::make_unique<clsFrmIntegrate>(m_program);
  dialog->AppName = "Mo&rvane";
  dialog->ContactScreen = true;
  dialog->ContactListScreen = false;
  dialog->GroupScreen = true;
  dialog->TaskListScreen = false;
  dialog->CalendarsScreen = false;
  dialog->EmailScreen = false;
  dialog->IntegrateIcon = icon();
  dialog->show(true, this);
}

}  // namespace morvane
