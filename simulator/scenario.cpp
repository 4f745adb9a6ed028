#include "simulator/scenario.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "editor/frmIntegrate.h"
#include "editor/frmLocations.h"
#include "hostsim/act_windows.h"
#include "platform/ansi_text.h"
#include "platform/conversions.h"
#include "platform/error_trap.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_user.h"
#include "platform/win_constants.h"
#include "shared/act/database_name.h"
#include "shared/act/modLayout.h"
#include "simulator/trace_text.h"

namespace morvane::simulator {

namespace {

std::vector<std::string> splitWords(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string trim(std::string s) {
  const auto notBlank = [](unsigned char c) { return c != ' ' && c != '\t' && c != '\r'; };
  s.erase(s.begin(), std::find_if(s.begin(), s.end(), notBlank));
  s.erase(std::find_if(s.rbegin(), s.rend(), notBlank).base(), s.end());
  return s;
}

// The text after the first n words of the line.
std::string restAfter(const std::string& line, size_t n) {
  size_t pos = 0;
  for (size_t i = 0; i < n; ++i) {
    pos = line.find_first_not_of(" \t", pos);
    pos = line.find_first_of(" \t", pos);
    if (pos == std::string::npos) return {};
  }
  return trim(line.substr(pos));
}

long number(const std::string& word) {
  try {
    size_t used = 0;
    const long n = std::stol(word, &used);
    if (used == word.size()) return n;
  } catch (const std::exception&) {
  }
  throw ScenarioError("not a number: " + word);
}

// Line breaks of message texts shown on one line.
std::string oneLine(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += " | ";
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string inQuotes(const std::string& s) {
  return "\"" + s + "\"";
}

std::string viewName(int16_t type) {
  switch (type) {
    case hostsim::view::kContact:
      return "contact view";
    case hostsim::view::kContactList:
      return "contact list";
    case hostsim::view::kGroup:
      return "group view";
    default:
      return "view " + std::to_string(type);
  }
}

std::string buttonName(MsgResult r) {
  switch (r) {
    case MsgResult::Ok:
      return "OK";
    case MsgResult::Cancel:
      return "Cancel";
    case MsgResult::Abort:
      return "Abort";
    case MsgResult::Retry:
      return "Retry";
    case MsgResult::Ignore:
      return "Ignore";
    case MsgResult::Yes:
      return "Yes";
    case MsgResult::No:
      return "No";
  }
  return "?";
}

std::string eventArgs(const std::vector<Variant>& args) {
  std::string s;
  for (const Variant& v : args) {
    std::string text;
    try {
      text = conv::toString(v);
    } catch (const RuntimeError&) {
      text = "?";
    }
    s += (s.empty() ? " (" : ", ") + (v.isString() ? inQuotes(text) : text);
  }
  return s.empty() ? s : s + ")";
}

}  // namespace

ScenarioPlayer::ScenarioPlayer(SimWorld& world, std::ostream& out) : m_world(world), m_out(out) {
  m_world.boxes.onShow = [this](const sim::ShownBox& box) {
    m_out << "  message box " << inQuotes(box.caption) << ": " << oneLine(box.text) << " ["
          << buttonName(box.answer) << "]\n";
  };
  m_world.act.onEvent = [this](int position, const std::vector<Variant>& args) {
    m_out << "  ACT! raises event " << position << eventArgs(args) << "\n";
  };
  m_lastTray = trayState();
  m_lastTimer = timerState();
  m_lastEditor = editorState();
  m_lastAct = actState();
}

ScenarioPlayer::~ScenarioPlayer() {
  m_world.boxes.onShow = nullptr;
  m_world.act.onEvent = nullptr;
}

std::string ScenarioPlayer::actState() const {
  const hostsim::ActSim& act = m_world.act;
  if (!act.running()) return "ACT! is not running";
  if (!act.databaseOpen()) return "ACT! runs with no database open";
  std::string s = "ACT!: " + viewName(act.activeView());
  const auto kind = hostsim::kindOfView(act.activeView());
  if (const hostsim::ActRecord* record = act.currentRecord(kind)) {
    s += ", " + std::string(kind == hostsim::RecordKind::Group ? "group " : "contact ") +
         inQuotes(record->name);
    // The field the rules go by, as the rules file names it.
    std::string section;
    try {
      section = databaseNameFromPath(act.openDatabasePath()) +
                (kind == hostsim::RecordKind::Group ? "-Group" : "-Contact");
    } catch (const RuntimeError&) {
    }
    char buffer[64] = {};
    const std::string file(kRulesFile);
    m_world.profiles.getPrivateProfileStringA(section.c_str(), "_Reference_Field_", "", buffer,
                                              sizeof buffer, file.c_str());
    const auto& records = act.database().records(kind);
    try {
      const auto id = static_cast<int32_t>(conv::toLong(std::string(buffer)));
      if (const hostsim::ActField* field = records.field(id))
        s += ", " + field->label + " " + inQuotes(records.currentValue(id).value_or(""));
    } catch (const RuntimeError&) {
    }
  }
  return s + "; layout " + inQuotes(act.currentLayout());
}

std::string ScenarioPlayer::trayState() const {
  const sim::TrayIcon* icon = m_world.trayIcon();
  if (!icon) return "tray: no icon";
  return "tray: icon " + hexHandle(icon->icon) + ", tooltip " + inQuotes(icon->tip);
}

std::string ScenarioPlayer::timerState() const {
  MorvaneAutoProgram* program = m_world.morvaneAuto();
  const int32_t interval = program ? program->form.tmr1.interval() : 0;
  if (interval == 0) return "MorvaneAuto: no deferred update";
  return "MorvaneAuto: deferred update in " + std::to_string(interval) + " ms";
}

std::string ScenarioPlayer::editorState() const {
  MorvaneProgram* program = m_world.morvane();
  if (program == nullptr || !program->main.visible()) return "Morvane: no editor";
  const frmMain& f = program->main;
  std::string s = "Morvane: editor, field " + inQuotes(f.cboField.text());
  for (size_t row = 0; row < f.lvwValues.rows().size(); ++row)
    s += (row == 0 ? ": " : ", ") + f.lvwValues.rows()[row].text + " -> " +
         inQuotes(f.lvwValues.subItem(row, 1));
  if (f.cboFloating.visible()) s += "; chooser open on " + inQuotes(f.cboFloating.text());
  if (f.UnsavedChanges) s += "; unsaved changes";
  return s;
}

void ScenarioPlayer::editorStep(const std::vector<std::string>& words, const std::string& line) {
  MorvaneProgram* program = m_world.morvane();
  if (program == nullptr || !program->main.visible()) {
    m_out << "  (the editor is not open)\n";
    return;
  }
  frmMain& f = program->main;
  sim::SimUser user(m_world.desktop, m_world.ui());
  const std::string what = words.size() > 1 ? ansi::foldCase(words[1]) : "";
  const auto entry = [](const ui::ComboBox& combo, const std::string& text) {
    for (int32_t i = 0; i < combo.listCount(); ++i)
      if (ansi::foldCase(combo.list(i)) == ansi::foldCase(text)) return i;
    throw ScenarioError("no such entry: " + text);
  };
  if (what == "field") {
    // editor field <label>
    user.choose(f.cboField, entry(f.cboField, restAfter(line, 2)));
  } else if (what == "layout") {
    // editor layout <row> = <layout>: the layout cell clicked, the layout chosen ("" for none)
    const std::string rest = restAfter(line, 2);
    const size_t equals = rest.find('=');
    if (equals == std::string::npos)
      throw ScenarioError("expected: editor layout <row> = <layout>");
    const std::string rowText = trim(rest.substr(0, equals));
    const std::string layout = trim(rest.substr(equals + 1));
    const auto& rows = f.lvwValues.rows();
    size_t row = 0;
    while (row < rows.size() && ansi::foldCase(rows[row].text) != ansi::foldCase(rowText)) ++row;
    if (row == rows.size()) throw ScenarioError("no such row: " + rowText);
    const int32_t x = f.lvwValues.columnLeft(1) + f.lvwValues.columns()[1].width / 2;
    user.clickAt(f.lvwValues, ui::mouse::kLeft, x, f.lvwValues.rowTop(row) + 100);
    m_world.settle();
    user.choose(f.cboFloating, entry(f.cboFloating, layout.empty() ? " " : layout));
  } else if (what == "column" && words.size() == 4) {
    // editor column N DX: the divider at the right of column N (1 is the first) dragged DX twips
    const long column = number(words[2]);
    if (column < 1 || column > static_cast<long>(f.lvwValues.columns().size()))
      throw ScenarioError("no such column: " + words[2]);
    user.dragDivider(f.lvwValues, static_cast<size_t>(column - 1),
                     static_cast<int32_t>(number(words[3])));
  } else if (what == "save") {
    user.click(f.cmdSave);
  } else if (what == "update") {
    user.click(f.cmdUpdateLayout);
  } else if (what == "stealth") {
    user.click(f.cmdStealth);
  } else if (what == "startup-stealth") {
    user.click(f.chkStealth);
  } else if (what == "close") {
    user.click(f.cmdCancel);
  } else if (what == "settings" || what == "integrate") {
    m_dialog = what;
    m_dialogSteps.clear();
    return;
  } else {
    throw ScenarioError("unknown editor step: " + line);
  }
  m_world.settle();
}

void ScenarioPlayer::openDialog() {
  MorvaneProgram* program = m_world.morvane();
  const std::string kind = std::exchange(m_dialog, std::string());
  if (program == nullptr || !program->main.visible()) {
    m_out << "  (the editor is not open)\n";
    return;
  }
  std::optional<ScenarioError> failed;
  m_world.ui().whenModal([&] {
    ui::Form* dialog = m_world.ui().modalForm();
    if (dialog == nullptr) return;
    m_out << "  " << dialogState(*dialog) << "\n";
    for (const std::string& line : m_dialogSteps) {
      if (!dialog->loaded()) break;
      m_out << "  > " << line << "\n";
      try {
        dialogStep(*dialog, line);
      } catch (const ScenarioError& e) {
        failed = e;
        return;
      }
      if (dialog->loaded()) m_out << "  " << dialogState(*dialog) << "\n";
    }
  });
  sim::SimUser user(m_world.desktop, m_world.ui());
  user.chooseMenu(program->main,
                  {"&Options", kind == "settings" ? "&Settings" : "&Integrate with ACT"});
  m_world.settle();
  if (failed) throw *failed;
}

void ScenarioPlayer::dialogStep(ui::Form& dialog, const std::string& line) {
  sim::SimUser user(m_world.desktop, m_world.ui());
  const std::vector<std::string> words = splitWords(line);
  const std::string what = ansi::foldCase(words[0]);
  const std::string rest = restAfter(line, 1);
  if (what == "answer" && words.size() == 2) {
    const std::string a = ansi::foldCase(words[1]);
    m_world.boxes.answerNext(a == "yes"  ? MsgResult::Yes
                             : a == "no" ? MsgResult::No
                                         : MsgResult::Ok);
    return;
  }
  if (auto* d = dynamic_cast<frmLocations*>(&dialog)) {
    // browse <path>|cancel, copy <path>|cancel, path <text>, delay <keys>, macro, ok, cancel
    if (what == "browse" || what == "copy") {
      m_world.ui().answerFileDialog(ansi::foldCase(rest) == "cancel" ? std::nullopt
                                                                     : std::optional(rest));
      user.click(what == "browse" ? d->cmdBrowse : d->cmdCopy);
    } else if (what == "path" || what == "delay") {
      ui::TextBox& box = what == "path" ? d->txtPath : d->txtDelay;
      box.setText("");  // the user selects what is there, then types
      user.type(box, rest);
    } else if (what == "macro") {
      user.click(d->cmdMacro);
    } else if (what == "ok") {
      user.click(d->cmdOK);
    } else if (what == "cancel") {
      user.click(d->cmdCancel);
    } else {
      throw ScenarioError("unknown settings step: " + line);
    }
  } else if (auto* d = dynamic_cast<clsFrmIntegrate*>(&dialog)) {
    // toolbar|menu <view>: the view's box; label toolbar|menu <view>: its label; close; cancel
    const auto box = [&](const std::string& where, const std::string& view) -> int {
      const int first = ansi::foldCase(where) == "toolbar" ? 0
                        : ansi::foldCase(where) == "menu"  ? clsFrmIntegrate::kViews
                                                           : -1;
      for (int v = 0; first >= 0 && v < clsFrmIntegrate::kViews; ++v)
        if (ansi::foldCase(d->lblScreen[first + v].text()) == ansi::foldCase(view))
          return first + v;
      throw ScenarioError("no such box: " + line);
    };
    if (what == "toolbar" || what == "menu") {
      ui::CheckBox& b = d->chkScreen[box(what, rest)];
      if (!b.enabled()) m_out << "  (the box is disabled)\n";
      user.click(b);
    } else if (what == "label" && words.size() >= 3) {
      user.click(d->lblScreen[box(words[1], restAfter(line, 2))]);
    } else if (what == "close") {
      user.click(d->cmdOK);
    } else if (what == "cancel") {
      user.click(d->cmdCancel);
    } else {
      throw ScenarioError("unknown integration step: " + line);
    }
  }
  m_world.settle();
}

std::string ScenarioPlayer::dialogState(ui::Form& dialog) const {
  if (auto* d = dynamic_cast<frmLocations*>(&dialog)) {
    return "Settings: file " + inQuotes(d->txtPath.text()) + ", delay " +
           inQuotes(d->txtDelay.text()) + ", macro button " + inQuotes(d->cmdMacro.text()) +
           (d->cmdMacro.enabled() ? "" : " (disabled)");
  }
  if (auto* d = dynamic_cast<clsFrmIntegrate*>(&dialog)) {
    std::string s = d->caption() + ":";
    for (int frame = 0; frame < 2; ++frame) {
      s += frame == 0 ? " toolbar [" : "; menu [";
      std::string ticked;
      for (int v = 0; v < clsFrmIntegrate::kViews; ++v) {
        const int i = frame * clsFrmIntegrate::kViews + v;
        if (d->chkScreen[i].value() != 1) continue;
        if (!ticked.empty()) ticked += ", ";
        ticked += d->lblScreen[i].text();
      }
      s += ticked + "]";
    }
    return s;
  }
  return dialog.caption();
}

void ScenarioPlayer::reportChanges(bool showAct) {
  const auto& calls = m_world.system.shellCalls();
  for (; m_shellCallsSeen < calls.size(); ++m_shellCallsSeen) {
    const sim::ShellCall& c = calls[m_shellCallsSeen];
    m_out << "  shell: " << c.verb << " " << c.file << " " << inQuotes(c.parameters) << " in "
          << c.directory << ", show " << c.showCommand << " -> "
          << (c.result > 32 ? "started" : "failed (" + std::to_string(c.result) + ")") << "\n";
  }
  const auto& starts = m_world.morvaneStarts();
  for (; m_morvaneStartsSeen < starts.size(); ++m_morvaneStartsSeen)
    m_out << "  Morvane starts with " << inQuotes(starts[m_morvaneStartsSeen]) << "\n";
  const std::string timer = timerState();
  if (timer != m_lastTimer) m_out << "  " << timer << "\n";
  m_lastTimer = timer;
  const std::string editor = editorState();
  if (editor != m_lastEditor) m_out << "  " << editor << "\n";
  m_lastEditor = editor;
  const std::string tray = trayState();
  if (tray != m_lastTray) m_out << "  " << tray << "\n";
  m_lastTray = tray;
  const std::string act = actState();
  if (showAct || act != m_lastAct) m_out << "  " << act << "\n";
  m_lastAct = act;
}

void ScenarioPlayer::actStep(const std::vector<std::string>& words, const std::string& line) {
  hostsim::ActSim& act = m_world.act;
  const std::string what = words.size() > 1 ? ansi::foldCase(words[1]) : "";
  bool moved = true;
  if (what == "start") {
    m_world.startAct();
  } else if (what == "quit") {
    m_world.quitAct();
  } else if (what == "kill") {
    m_world.killAct();
  } else if ((what == "hang" || what == "hang-on-search") && words.size() == 3) {
    const long ms = number(words[2]);
    if (ms < 0) throw ScenarioError("time does not go back: " + line);
    if (what == "hang")
      m_world.hangAct(static_cast<uint64_t>(ms));
    else
      m_world.hangActWhenSent(win::LB_FINDSTRINGEXACT, static_cast<uint64_t>(ms));
  } else if (what == "next") {
    moved = act.nextRecord();
  } else if (what == "previous") {
    moved = act.previousRecord();
  } else if (what == "first") {
    moved = act.firstRecord();
  } else if (what == "last") {
    moved = act.lastRecord();
  } else if (what == "goto" && words.size() == 3) {
    moved = act.gotoRecord(static_cast<size_t>(number(words[2]) - 1));
  } else if (what == "view" && words.size() == 3) {
    const std::string v = ansi::foldCase(words[2]);
    const int16_t type = v == "contact" ? hostsim::view::kContact
                         : v == "list"  ? hostsim::view::kContactList
                         : v == "group" ? hostsim::view::kGroup
                                        : static_cast<int16_t>(number(words[2]));
    act.switchView(type);
  } else if (what == "field" && words.size() >= 3) {
    moved = act.setFieldValue(static_cast<int32_t>(number(words[2])), restAfter(line, 3));
  } else if (what == "event" && words.size() == 3) {
    act.raiseEvent(static_cast<int>(number(words[2])), {Variant(std::string())});
  } else if (what == "close-database") {
    act.closeDatabase();
  } else if (what == "open-database") {
    act.openDatabase(hostsim::sampleDatabase());
  } else if (what == "unlinked" && words.size() == 3) {
    act.faults.notLinked = ansi::foldCase(words[2]) == "on";
  } else {
    throw ScenarioError("unknown ACT! step: " + line);
  }
  if (!moved) m_out << "  (ACT! cannot do that here)\n";
  m_world.settle();
}

void ScenarioPlayer::step(const std::string& rawLine) {
  const std::string line = trim(rawLine);
  if (line.empty() || line[0] == '#') return;
  if (!m_dialog.empty()) {
    // Inside a dialog block: its steps wait for its "end".
    if (ansi::foldCase(line) != "end") {
      m_dialogSteps.push_back(line);
      return;
    }
    m_out << "> end\n";
    openDialog();
    reportChanges(true);
    return;
  }
  const std::vector<std::string> words = splitWords(line);
  const std::string verb = ansi::foldCase(words[0]);
  m_out << "> " << line << "\n";
  bool showAct = true;
  if (verb == "act") {
    actStep(words, line);
  } else if (verb == "run" && words.size() == 2 && ansi::foldCase(words[1]) == "morvaneauto") {
    m_world.runMorvaneAuto();
  } else if (verb == "run" && words.size() >= 2 && ansi::foldCase(words[1]) == "morvane") {
    m_world.runMorvane(restAfter(line, 2));
  } else if (verb == "editor") {
    editorStep(words, line);
  } else if (verb == "wait" && words.size() == 2) {
    const long ms = number(words[1]);
    if (ms < 0) throw ScenarioError("time does not go back: " + line);
    m_world.wait(static_cast<uint64_t>(ms));
  } else if (verb == "rule") {
    // rule <section>: <key> = <value>
    const std::string rest = restAfter(line, 1);
    const size_t colon = rest.find(':');
    const size_t equals = rest.find('=', colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || equals == std::string::npos)
      throw ScenarioError("expected: rule <section>: <key> = <value>");
    m_world.writeRule(trim(rest.substr(0, colon)), trim(rest.substr(colon + 1, equals - colon - 1)),
                      trim(rest.substr(equals + 1)));
    showAct = false;
  } else if (verb == "folder" && words.size() >= 2) {
    // folder <path>: a folder on the simulated drives, such as a share for the rules
    if (!m_world.files.createDirectory(restAfter(line, 1)))
      throw ScenarioError("cannot make the folder: " + line);
    showAct = false;
  } else if (verb == "rules" && words.size() == 2 && ansi::foldCase(words[1]) == "sample") {
    m_world.writeSampleRules();
    showAct = false;
  } else if (verb == "rules" && words.size() == 2 && ansi::foldCase(words[1]) == "empty") {
    // A fresh installation's rules file: there, with nothing in it.
    if (!m_world.files.writeFile(kRulesFile, "")) throw ScenarioError("cannot write: " + line);
    showAct = false;
  } else if (verb == "setting") {
    const std::string rest = restAfter(line, 1);
    const size_t equals = rest.find('=');
    if (equals == std::string::npos) throw ScenarioError("expected: setting <key> = <value>");
    m_world.settings.saveSetting("Morvane", "Settings", trim(rest.substr(0, equals)),
                                 trim(rest.substr(equals + 1)));
    showAct = false;
  } else if (verb == "tray" && words.size() >= 2) {
    const std::string action = ansi::foldCase(words[1]);
    const sim::MouseButton button = words.size() > 2 && ansi::foldCase(words[2]) == "right"
                                        ? sim::MouseButton::Right
                                        : sim::MouseButton::Left;
    bool done = false;
    if (action == "click") {
      done = m_world.clickTray(button);
    } else if (action == "dblclick") {
      done = m_world.doubleClickTray(button);
    } else if (action == "hover") {
      const sim::TrayIcon* icon = m_world.trayIcon();
      done = icon && m_world.tray.moveOver(icon->hwnd, icon->id);
      m_world.settle();
    } else {
      throw ScenarioError("unknown tray step: " + line);
    }
    if (!done) m_out << "  (there is no icon in the notification area)\n";
  } else if (verb == "answer" && words.size() == 2) {
    const std::string a = ansi::foldCase(words[1]);
    const MsgResult r = a == "ok"       ? MsgResult::Ok
                        : a == "cancel" ? MsgResult::Cancel
                        : a == "yes"    ? MsgResult::Yes
                        : a == "no"     ? MsgResult::No
                                        : throw ScenarioError("unknown answer: " + line);
    m_world.boxes.answerNext(r);
    showAct = false;
  } else if (verb == "show" && words.size() >= 3 && ansi::foldCase(words[1]) == "setting") {
    // show setting <key>: the per-user setting as stored; a missing one gives either default
    const std::string key = restAfter(line, 2);
    const std::string value = m_world.settings.getSetting("Morvane", "Settings", key, "1");
    if (value == "1" && m_world.settings.getSetting("Morvane", "Settings", key, "2") == "2")
      m_out << "  setting " << key << " is not stored\n";
    else
      m_out << "  setting " << key << " = " << inQuotes(value) << "\n";
    showAct = false;
  } else if (verb == "show") {
    m_out << "  MorvaneAuto running: " << m_world.runningMorvaneAutos() << "\n";
    m_out << "  Morvane running: " << m_world.runningMorvanes() << "\n";
  } else {
    throw ScenarioError("unknown step: " + line);
  }
  reportChanges(showAct);
}

bool ScenarioPlayer::play(std::istream& in) {
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    ++n;
    try {
      step(line);
    } catch (const ScenarioError& e) {
      m_out << "line " << n << ": " << e.what() << "\n";
      return false;
    }
  }
  return true;
}

const char* builtInTour() {
  return R"(# The built-in tour: ACT! with the Sales database, rules for its contacts and groups, and
# MorvaneAuto switching the layout as the user moves from record to record.
rules sample
act start
run MorvaneAuto
act next
act next
act next
act next
# The contact list waits: MorvaneAuto looks again after its delay.
act view list
wait 1000
act view contact
act previous
# Groups go by their own field.
act view group
act next
act view contact
# A rule changed while MorvaneAuto runs counts from the next record on.
rule Sales-Contact: Vendor = Standard
act goto 3
# Back to the rule editor: the user gives vendors their layout again, saves, applies it to the
# current record and hands over to MorvaneAuto.
tray click
editor layout Vendor = Vendor Layout
editor save
editor update
# In the settings, a shorter wait before MorvaneAuto's deferred updates.
editor settings
delay 600
ok
end
editor stealth
show
)";
}

std::string playScenario(const std::string& scenario, bool* ok) {
  std::ostringstream out;
  SimWorld world;
  ScenarioPlayer player(world, out);
  std::istringstream in(scenario);
  const bool played = player.play(in);
  if (ok) *ok = played;
  return out.str();
}

std::string playSelection(const std::string& layout, bool* ok) {
  sim::SimDesktop desktop;
  sim::SimMessageBoxes boxes;
  hostsim::ActLayoutState layouts{hostsim::sampleLayouts(), "Standard", {}};
  hostsim::ActWindows act(desktop, layouts);
  act.open();
  ErrorTrap trap(boxes, "Morvane");
  modLayout layoutModule(desktop, trap);

  std::ostringstream out;
  out << "ACT! shows layout: " << act.currentLayout() << "\n";
  out << "Selecting layout: " << layout << "\n";
  desktop.clearTrace();
  const std::string result = layoutModule.SelectLayout(layout);
  for (const auto& e : desktop.trace()) out << "  " << describe(e) << "\n";
  desktop.pump();
  out << "Result: " << (result.empty() ? "(success)" : result) << "\n";
  out << "ACT! shows layout: " << act.currentLayout() << "\n";
  if (ok) *ok = result.empty();
  return out.str();
}

}  // namespace morvane::simulator
