#include "hostwin/act_standin.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <exception>
#include <set>
#include <utility>

#include "hostsim/act_automation.h"
#include "hostsim/act_macro.h"
#include "platform/ansi_text.h"
#include "platform/conversions.h"
#include "platform/win32/com/com_server.h"

namespace morvane::hostwin {

using protocol::Result;

namespace {

constexpr DWORD kReplyTimeoutMs = 10000;
constexpr DWORD kLongestHangMs = 10 * 60 * 1000;
constexpr DWORD kClosingDeadlineMs = 5000;
// ACT!'s preferences, kept beside its database file: "<database>.prefs".
constexpr const char* kPreferences = "Preferences";
constexpr const char* kStartupMacro = "StartupMacro";

std::atomic<const char*> g_closingStep{nullptr};

DWORD WINAPI endAtClosingDeadline(void*) {
  Sleep(kClosingDeadlineMs);
  std::fprintf(stderr, "ActStandIn: still %s %lu ms after ACT! began to close; ending now\n",
               g_closingStep.load(), static_cast<unsigned long>(kClosingDeadlineMs));
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimLeft(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view trim(std::string_view text) {
  text = trimLeft(text);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The first word, folded to lower case, and the rest after the blanks that follow it.
std::pair<std::string, std::string_view> splitWord(std::string_view text) {
  text = trimLeft(text);
  size_t end = 0;
  while (end < text.size() && !isBlank(text[end])) ++end;
  return {ansi::foldCase(text.substr(0, end)), trimLeft(text.substr(end))};
}

template <class T>
std::optional<T> parseNumber(std::string_view text) {
  text = trim(text);
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string line(std::string_view key, std::string value) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return std::string(key) + "=" + value + "\n";
}

std::string lineOfList(std::string_view key, const std::vector<std::string>& items) {
  return line(key, protocol::joinList(items));
}

}  // namespace

std::optional<StandInOptions> parseStandInArguments(std::string_view commandLine,
                                                    std::string& error) {
  StandInOptions options;
  if (win32::startedByCom(commandLine)) {
    options.mode = StandInMode::StartedByCom;
    return options;
  }
  const auto [first, afterFirst] = splitWord(commandLine);
  if (first == "/regserver" || first == "/unregserver") {
    if (!trim(afterFirst).empty()) {
      error = first + " takes no further arguments";
      return std::nullopt;
    }
    options.mode =
        first == "/regserver" ? StandInMode::RegisterServer : StandInMode::UnregisterServer;
    return options;
  }
  std::string_view rest = commandLine;
  for (;;) {
    rest = trimLeft(rest);
    if (!rest.empty() && rest.front() == '"') {
      const size_t close = rest.find('"', 1);
      if (close == std::string_view::npos) {
        error = "a quoted database path needs its closing quote";
        return std::nullopt;
      }
      options.database = std::string(rest.substr(1, close - 1));
      rest = rest.substr(close + 1);
      continue;
    }
    auto [word, after] = splitWord(rest);
    if (word.empty()) return options;
    if (word.front() != '/' && word.front() != '-') {
      options.database = std::string(rest.substr(0, word.size()));
      rest = after;
    } else if (word == "/fillers") {
      auto [count, next] = splitWord(after);
      const auto fillers = parseNumber<int>(count);
      if (!fillers || *fillers < 0) {
        error = "/fillers needs a number of windows";
        return std::nullopt;
      }
      options.fillers = *fillers;
      rest = next;
    } else {
      error = "unknown argument: " + word;
      return std::nullopt;
    }
  }
}

namespace {

hostsim::ActDatabaseData databaseOf(const StandInOptions& options) {
  hostsim::ActDatabaseData database = hostsim::sampleDatabase();
  if (!options.database.empty()) database.path = options.database;
  return database;
}

}  // namespace

void noteClosingStep(const char* step) {
  if (g_closingStep.exchange(step) != nullptr) return;
  if (const HANDLE deadline = CreateThread(nullptr, 0, endAtClosingDeadline, nullptr, 0, nullptr))
    CloseHandle(deadline);
}

ActStandIn::ActStandIn(HINSTANCE instance, const StandInOptions& options)
    : m_act(databaseOf(options)), m_frame(instance, m_act, options.fillers) {
  hostsim::registerActClasses(m_automation, m_act);
  m_act.onEvent = [this](int position, const std::vector<Variant>& args) {
    onEvent(position, args);
  };
  loadPreferences();
  // ACT! closes: its preferences are kept, objects handed out are cut off, then the windows go,
  // and with the frame the program.
  m_act.onClose = [this] {
    savePreferences();
    noteClosingStep("cutting its clients off");
    if (m_server != nullptr) m_server->disconnect();
    noteClosingStep("closing its windows");
    m_frame.destroy();
  };
  m_frame.onCopyData = [this](HWND sender, const COPYDATASTRUCT& data) {
    return onCopyData(sender, data);
  };
  m_frame.onCloseRequested = [this] { m_act.quit(); };
  m_frame.onDestroyed = [] { PostQuitMessage(0); };
  m_frame.onKey = [this](UINT key) { onKey(key); };
  m_frame.onQueuedWork = [this] { runCommands(); };
  m_frame.onButtonClicked = [this] {
    // ACT! stops answering in the middle of a click, while the clicking program waits on it.
    if (const DWORD ms = std::exchange(m_hangOnClickMs, 0)) hangFor(ms);
  };
  m_frame.onLayoutSearch = [this] {
    if (const DWORD ms = std::exchange(m_hangOnSearchMs, 0)) hangFor(ms);
  };
  m_wake =
      CreateEventA(nullptr, FALSE, FALSE, protocol::wakeEventName(GetCurrentProcessId()).c_str());
  m_frame.create();
}

ActStandIn::~ActStandIn() {
  if (m_wake != nullptr) CloseHandle(m_wake);
  m_act.onClose = nullptr;
  m_act.onEvent = nullptr;
  m_frame.onDestroyed = nullptr;
  m_frame.destroy();
}

int ActStandIn::run() {
  if (!m_frame.isOpen()) return 1;
  m_frame.show();
  runStartupMacro();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    m_frame.notePosted(msg);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

std::string ActStandIn::preferencesFile() const {
  // Beside a database file that is there; none for the sample's path alone.
  const std::string& database = m_act.database().path;
  const DWORD attributes = GetFileAttributesA(database.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  return database + ".prefs";
}

void ActStandIn::loadPreferences() {
  const std::string file = preferencesFile();
  if (file.empty()) return;
  char macro[MAX_PATH * 2] = {};
  GetPrivateProfileStringA(kPreferences, kStartupMacro, "", macro, sizeof macro, file.c_str());
  m_act.startupMacro = macro;
}

void ActStandIn::savePreferences() {
  const std::string file = preferencesFile();
  if (!file.empty())
    WritePrivateProfileStringA(kPreferences, kStartupMacro, m_act.startupMacro.c_str(),
                               file.c_str());
}

void ActStandIn::runStartupMacro() {
  if (m_act.startupMacro.empty()) return;
  const HANDLE file = CreateFileA(m_act.startupMacro.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  for (const std::string& program : hostsim::macroPrograms(m_act.startupMacro, text)) {
    const std::string folder = program.substr(0, program.rfind('\\'));
    ShellExecuteA(m_frame.frame(), "open", program.c_str(), nullptr, folder.c_str(), SW_SHOW);
  }
}

void ActStandIn::onEvent(int position, const std::vector<Variant>& args) {
  // First of all, by whatever way ACT! closes (its window, the control channel, Command 150).
  if (position == hostsim::event::kActClosing) noteClosingStep("telling its clients ACT! closes");
  std::string entry = std::to_string(position);
  if (!args.empty() && !args.front().isObject()) {
    entry += ':';
    entry += conv::toString(args.front());
  }
  m_events.push_back(std::move(entry));
  if (position == hostsim::event::kLayoutChanged) m_frame.showLayout();
  m_frame.showRecord();
}

void ActStandIn::hangFor(DWORD ms) {
  if (m_wake == nullptr) {
    Sleep(ms);
    return;
  }
  ResetEvent(m_wake);  // a wake meant for an earlier hang
  WaitForSingleObject(m_wake, ms);
}

void ActStandIn::onKey(UINT key) {
  switch (key) {
    case VK_NEXT:
      m_act.nextRecord();
      break;
    case VK_PRIOR:
      m_act.previousRecord();
      break;
    case VK_HOME:
      m_act.firstRecord();
      break;
    case VK_END:
      m_act.lastRecord();
      break;
    default:
      break;
  }
}

LRESULT ActStandIn::onCopyData(HWND sender, const COPYDATASTRUCT& data) {
  if (data.dwData != protocol::kCommandTag) return 0;
  if (++m_lastCommand == 0) m_lastCommand = 1;
  m_commands.push_back(
      {m_lastCommand, sender,
       std::string(data.lpData != nullptr ? static_cast<const char*>(data.lpData) : "",
                   data.lpData != nullptr ? data.cbData : 0)});
  m_frame.postQueuedWork();
  return static_cast<LRESULT>(m_lastCommand);
}

void ActStandIn::runCommands() {
  // A command that waits on other programs may let the loop run again; the outer call goes on.
  if (m_runningCommands) return;
  m_runningCommands = true;
  while (!m_commands.empty()) {
    const Command command = std::move(m_commands.front());
    m_commands.pop_front();
    Outcome outcome{Result::Refused, "ACT! has closed", nullptr};
    try {
      if (m_frame.isOpen()) outcome = execute(command.text);
    } catch (const std::exception& e) {
      outcome = {Result::Refused, e.what(), nullptr};
    }
    sendReply(command, outcome);
    if (outcome.afterReply) outcome.afterReply();
  }
  m_runningCommands = false;
}

void ActStandIn::sendReply(const Command& command, const Outcome& outcome) {
  if (command.replyTo == nullptr) return;
  const std::string reply = protocol::replyHeader(command.number, outcome.result) + outcome.reply;
  COPYDATASTRUCT data{protocol::kReplyTag, static_cast<DWORD>(reply.size()),
                      const_cast<char*>(reply.data())};
  // SMTO_BLOCK: nothing else is handled until the sender has the reply, so a hang starts
  // before the sender can send anything more.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(command.replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(m_frame.frame()),
                      reinterpret_cast<LPARAM>(&data), SMTO_BLOCK | SMTO_ABORTIFHUNG,
                      kReplyTimeoutMs, &ignored);
}

ActStandIn::Outcome ActStandIn::execute(std::string_view command) {
  const auto [verb, rest] = splitWord(command);
  const auto done = [](bool ok) { return Outcome{ok ? Result::Done : Result::Refused, {}, {}}; };
  const Outcome unknown{Result::Unknown, "unknown command: " + std::string(trim(command)), {}};

  if (verb == "next") return done(m_act.nextRecord());
  if (verb == "previous") return done(m_act.previousRecord());
  if (verb == "first") return done(m_act.firstRecord());
  if (verb == "last") return done(m_act.lastRecord());
  if (verb == "goto") {
    const std::string_view target = trim(rest);
    if (target.empty()) return unknown;
    if (const auto number = parseNumber<size_t>(target))  // 1 is the first record
      return done(*number > 0 && m_act.gotoRecord(*number - 1));
    return done(m_act.gotoRecord(target));
  }
  if (verb == "view") {
    const std::string name = ansi::foldCase(trim(rest));
    std::optional<int16_t> view;
    if (name == "contact") view = hostsim::view::kContact;
    if (name == "list") view = hostsim::view::kContactList;
    if (name == "group") view = hostsim::view::kGroup;
    if (!view) view = parseNumber<int16_t>(name);
    if (!view) return unknown;
    m_act.switchView(*view);
    return done(m_act.running());
  }
  if (verb == "field") {
    const auto [id, value] = splitWord(rest);
    const auto fieldId = parseNumber<int32_t>(id);
    if (!fieldId) return unknown;
    return done(m_act.setFieldValue(*fieldId, std::string(value)));
  }
  if (verb == "layout") return done(m_act.applyLayout(trim(rest)));
  if (verb == "layouts") return setLayouts(rest);
  if (verb == "event") return raiseEvent(rest);
  if (verb == "database") {
    const std::string what = ansi::foldCase(trim(rest));
    if (what == "close") {
      if (!m_act.databaseOpen()) return done(false);
      m_act.closeDatabase();
      return done(true);
    }
    if (what == "open") {
      // The same data again, as ACT! reopens the file it had open.
      hostsim::ActDatabaseData database = m_act.database();
      m_act.openDatabase(std::move(database));
      return done(true);
    }
    return unknown;
  }
  if (verb == "unlinked") {
    const std::string what = ansi::foldCase(trim(rest));
    if (what != "on" && what != "off") return unknown;
    m_act.faults.notLinked = what == "on";
    return done(true);
  }
  if (verb == "fail") {
    const std::string_view member = trim(rest);
    if (member.empty()) return unknown;
    if (ansi::equalsNoCase(member, "clear"))
      m_act.faults.failingMembers.clear();
    else
      m_act.faults.failingMembers.insert(std::string(member));
    return done(true);
  }
  if (verb == "hang") {
    const auto ms = parseNumber<DWORD>(rest);
    if (!ms || *ms > kLongestHangMs) return unknown;
    return {Result::Done, {}, [this, ms = *ms] { hangFor(ms); }};
  }
  if (verb == "hang-on-click" || verb == "hang-on-search") {
    const auto ms = parseNumber<DWORD>(rest);
    if (!ms || *ms > kLongestHangMs) return unknown;
    (verb == "hang-on-click" ? m_hangOnClickMs : m_hangOnSearchMs) = *ms;
    return done(true);
  }
  if (verb == "die") {
    // ACT! crashes: no event, no goodbye to its clients; only what the system does for any
    // process that ends (ExitProcess, unlike TerminateProcess, lets COM take its classes back).
    return {Result::Done, {}, [] { ExitProcess(3); }};
  }
  if (verb == "close") {
    m_act.quit();
    return done(true);
  }
  if (verb == "state") return {Result::Done, stateText(), {}};
  if (verb == "counters") {
    const std::string what = ansi::foldCase(trim(rest));
    if (what == "reset") {
      m_frame.resetCounts();
      if (m_server != nullptr) m_server->resetCalls();
    } else if (!what.empty()) {
      return unknown;
    }
    return {Result::Done, countersText(), {}};
  }
  return unknown;
}

ActStandIn::Outcome ActStandIn::raiseEvent(std::string_view arguments) {
  const auto [number, text] = splitWord(arguments);
  const auto position = parseNumber<int>(number);
  if (!position || *position < 1 || *position > hostsim::event::kCount)
    return {Result::Unknown, "event needs a number from 1 to 14", {}};
  // Each event with an argument of the type ACT! gives it.
  std::vector<Variant> args;
  switch (*position) {
    case hostsim::event::kDatabaseClosing:
    case hostsim::event::kLookupChanged:
      break;
    case hostsim::event::kViewChanged:
      args.emplace_back(parseNumber<int16_t>(text).value_or(m_act.activeView()));
      break;
    case hostsim::event::kActClosing:
      args.emplace_back(parseNumber<int32_t>(text).value_or(0));
      break;
    default:
      args.emplace_back(std::string(text));
      break;
  }
  m_act.raiseEvent(*position, std::move(args));
  return {Result::Done, {}, {}};
}

ActStandIn::Outcome ActStandIn::setLayouts(std::string_view arguments) {
  std::vector<std::string> names;
  std::string_view rest = trim(arguments);
  while (!rest.empty()) {
    const size_t bar = rest.find('|');
    const std::string_view name = trim(rest.substr(0, bar));
    if (!name.empty()) names.emplace_back(name);
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  if (names.empty()) return {Result::Unknown, "layouts needs names separated by |", {}};
  std::string current = m_act.currentLayout();
  if (std::find(names.begin(), names.end(), current) == names.end()) current = names.front();
  m_act.setLayouts(std::move(names), std::move(current));
  m_frame.refreshLayoutList();
  m_frame.showLayout();
  return {Result::Done, {}, {}};
}

std::string ActStandIn::stateText() {
  namespace p = protocol;
  std::string text;
  text += line(p::kRunning, m_act.running() ? "1" : "0");
  text += line(p::kDatabase, m_act.openDatabasePath());
  text += line(p::kView, std::to_string(m_act.activeView()));
  const hostsim::ActRecord* record = m_act.currentRecord();
  text += line(p::kRecord, record != nullptr ? record->name : "");
  if (record != nullptr) {
    const hostsim::ActRecordSet& set =
        m_act.database().records(hostsim::kindOfView(m_act.activeView()));
    for (const hostsim::ActField& field : set.fields) {
      if (field.id == -1) continue;
      text += line(std::string(p::kFieldPrefix) + std::to_string(field.id),
                   set.currentValue(field.id).value_or(""));
    }
  }
  text += line(p::kLayout, m_act.currentLayout());
  text += lineOfList(p::kLayouts, m_act.layouts());
  text += lineOfList(p::kApplied, m_act.layoutState().applied);
  text += lineOfList(p::kEvents, m_events);
  text += line(p::kUnlinked, m_act.faults.notLinked ? "1" : "0");
  text += lineOfList(p::kFailing,
                     {m_act.faults.failingMembers.begin(), m_act.faults.failingMembers.end()});
  text += line(p::kLinked, std::to_string(m_act.linkedControls()));
  std::vector<std::string> commands;
  for (const auto& [name, command] : m_act.auxCommands) {
    const auto views = [](const std::set<int16_t>& numbers) {
      std::string joined;
      for (const int16_t n : numbers) {
        if (!joined.empty()) joined += ',';
        joined += std::to_string(n);
      }
      return joined;
    };
    commands.push_back(name + "|" + views(command.toolbarViews) + "|" +
                       views(command.toolsMenuViews));
  }
  text += lineOfList(p::kAuxCommands, commands);
  text += line(p::kStartupMacro, m_act.startupMacro);
  return text;
}

std::string ActStandIn::countersText() const {
  const MessageCounts& counts = m_frame.counts();
  std::string text;
  text += line(protocol::kSent, std::to_string(counts.sent));
  text += line(protocol::kPosted, std::to_string(counts.posted));
  text += line(protocol::kAutomationCalls,
               std::to_string(m_server != nullptr ? m_server->callsServed() : 0));
  return text;
}

}  // namespace morvane::hostwin
