// The control channel of the ACT! stand-in (ActStandIn.exe), shared by the stand-in and its client.
//
// A command is one line of ANSI text sent with WM_COPYDATA to the stand-in's frame window:
// dwData = kCommandTag, lpData/cbData = the text (no terminating NUL needed), wParam = a window of
// the sender that receives the reply. SendMessage returns the command's number (1 or more), or 0
// when the stand-in did not take the message (wrong tag, or the stand-in has gone).
//
// The stand-in runs the commands one at a time, in the order they came, from its message loop and
// never inside the sender's SendMessage: the ACT! events a command raises may call out to COM
// clients, which a thread must not do while it handles another process's SendMessage, and the
// sender has to keep handling its own messages (its event sinks among them) until the reply comes.
// A command therefore runs after the messages that were posted to the stand-in's windows before it
// was sent. When a command has run, the stand-in sends WM_COPYDATA to the reply window: dwData =
// kReplyTag, wParam = the frame (0 once it has gone), lpData = "NUMBER RESULT\n" followed by the
// reply text, RESULT being a Result.
//
// Commands; words are separated by blanks, verbs and keywords ignore letter case:
//   next | previous | first | last   move in the records of the active view's kind
//   goto N | goto NAME               record N (1 is the first) or by name
//   view contact|list|group|N        switch the view
//   field ID VALUE                   set a field of the current record (VALUE: rest of the line)
//   layout NAME                      apply a layout the way ACT!'s automation side would
//   layouts NAME|NAME|...            replace ACT!'s layouts (the current one stays if listed)
//   event N [TEXT]                   raise event N (TEXT, when given, is its argument)
//   database close | database open   close the database / open it again
//   unlinked on|off                  ACT! refuses links from event controls
//   fail MEMBER | fail clear         make automation members fail ("Member" or "Class.Member")
//   hang MS                          reply, then stop handling messages for MS milliseconds
//   hang-on-click MS                 the next click on a status-bar button stops the stand-in
//                                    for MS milliseconds before the button acts
//   hang-on-search MS                the next name search in the layout list (LB_FINDSTRINGEXACT)
//                                    stops the stand-in for MS milliseconds before it answers
// A hang ends early when the event named by wakeEventName is set: a test that has seen what it
// wanted need not sleep out the rest.
//   close                            ACT! closes (event 14, windows destroyed), then the process
//                                    ends
//   die                              reply, then the process ends at once, as if ACT! crashed
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

enum class Result : int {
  NotDelivered = 0,  // no reply: the command was not taken, or not answered in time
  Done = 1,
  Refused = 2,  // understood, but not possible now (no such record or field, no database)
  Unknown = 3,  // not a command, or its arguments are wrong
};

inline constexpr char kListSeparator = '\t';

// The auto-reset event that ends a hang of the stand-in with that process id.
inline std::string wakeEventName(unsigned long processId) {
  return "Local\\MorvaneActStandInWake." + std::to_string(processId);
}

// The first line of a reply.
inline std::string replyHeader(uint32_t number, Result result) {
  return std::to_string(number) + " " + std::to_string(static_cast<int>(result)) + "\n";
}
// Splits a reply into its header's number and result and the reply text; false when the header
// is not one.
inline bool parseReply(std::string_view reply, uint32_t& number, Result& result,
                       std::string& text) {
  const size_t end = reply.find('\n');
  const std::string_view header = reply.substr(0, end);
  const size_t blank = header.find(' ');
  if (end == std::string_view::npos || blank == std::string_view::npos) return false;
  const auto digits = [](std::string_view d, unsigned long& value) {
    if (d.empty() || d.size() > 9 || d.find_first_not_of("0123456789") != std::string_view::npos)
      return false;
    value = std::stoul(std::string(d));
    return true;
  };
  unsigned long n = 0, r = 0;
  if (!digits(header.substr(0, blank), n) || !digits(header.substr(blank + 1), r)) return false;
  number = static_cast<uint32_t>(n);
  result = static_cast<Result>(r);
  text = std::string(reply.substr(end + 1));
  return true;
}

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
// List: ACT!'s additional commands as "name|toolbar views|Tools-menu views", the views as numbers
// joined by ",", e.g. "Mo&rvane|1,3|".
inline constexpr std::string_view kAuxCommands = "aux";
inline constexpr std::string_view kStartupMacro = "macro";  // ACT!'s start-up macro preference

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
