// The control channel of the ACT! stand-in (ActStandIn.exe), shared by the stand-in and its client.
//
// A command is one line of ANSI text sent with WM_COPYDATA to the stand-in's frame window:
// dwData = kCommandTag, lpData/cbData = the text (no terminating NUL needed), wParam = a window of
// the sender that receives the reply text (0: no reply text). Before SendMessage returns, the
// stand-in sends the reply text to that window with WM_COPYDATA (dwData = kReplyTag, wParam = the
// frame), and SendMessage returns a Result. A message the stand-in does not take as a command
// returns 0 (Result::NotDelivered), as does a stand-in that has gone.
//
// Commands; words are separated by blanks, verbs and keywords ignore letter case:
//   next | previous | first | last   move in the records of the active view's kind
//   goto N | goto NAME               record N (counted from 0) or by name
//   view contact|list|group|N        switch the view
//   field ID VALUE                   set a field of the current record (VALUE: rest of the line)
//   layout NAME                      apply a layout the way ACT!'s automation side would
//   layouts NAME|NAME|...            replace ACT!'s layouts (the current one stays if listed)
//   event N [TEXT]                   raise event N (TEXT, when given, is its argument)
//   database close | database open   close the database / open it again
//   unlinked on|off                  ACT! refuses links from event controls
//   fail MEMBER | fail clear         make automation members fail ("Member" or "Class.Member")
//   hang MS                          answer, then stop handling messages for MS milliseconds
//   close                            answer, then ACT! closes (event 14) and the process ends
//   state                            reply: the state keys below, one "key=value" line each
//   counters | counters reset        reply: the counter keys below; reset zeroes them first
//
// Reply values never contain line breaks; lists separate their items with a tab.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::hostwin::protocol {

inline constexpr uintptr_t kCommandTag = 0x4D564331;  // "MVC1"
inline constexpr uintptr_t kReplyTag = 0x4D565231;    // "MVR1"

enum class Result : intptr_t {
  NotDelivered = 0,
  Done = 1,
  Refused = 2,  // understood, but not possible now (no such record or field, no database)
  Unknown = 3,  // not a command, or its arguments are wrong
};

inline constexpr char kListSeparator = '\t';

// State keys.
inline constexpr std::string_view kRunning = "running";    // 1 or 0
inline constexpr std::string_view kDatabase = "database";  // open database path, "" when none
inline constexpr std::string_view kView = "view";          // view type, 1 contact, 2 list, 3 group
inline constexpr std::string_view kRecord = "record";      // current record's name
// "field.ID": a field of the active view's kind and its value in the current record.
inline constexpr std::string_view kFieldPrefix = "field.";
inline constexpr std::string_view kLayout = "layout";    // the layout shown
inline constexpr std::string_view kLayouts = "layouts";  // list: the layouts ACT! offers
inline constexpr std::string_view kApplied = "applied";  // list: every layout applied, in order
// List: every event raised, in order, as "N" or "N:argument" (the first argument as text).
inline constexpr std::string_view kEvents = "events";
inline constexpr std::string_view kUnlinked = "unlinked";  // 1 when ACT! refuses links
inline constexpr std::string_view kFailing = "failing";    // list: members made to fail
inline constexpr std::string_view kLinked = "linked";      // event controls linked to ACT!

// Counter keys: messages the stand-in's windows received from other processes, sent (cross-thread
// SendMessage and its variants) and posted; and automation calls served.
inline constexpr std::string_view kSent = "sent";
inline constexpr std::string_view kPosted = "posted";
inline constexpr std::string_view kAutomationCalls = "automation";

// "key=value" lines into a map (a line without "=" is skipped).
inline std::map<std::string, std::string> parseLines(std::string_view text) {
  std::map<std::string, std::string> values;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t eq = line.find('=');
    if (eq != std::string_view::npos)
      values.emplace(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return values;
}

inline std::vector<std::string> splitList(std::string_view text) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(kListSeparator, start);
    items.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return items;
    start = end + 1;
  }
}

inline std::string joinList(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += kListSeparator;
    text += items[i];
  }
  return text;
}

}  // namespace morvane::hostwin::protocol
