// The simulated ACT!: its database, current records, views, layouts, commands and preferences,
// and the events its event control raises when the user works in it. The automation objects
// (act_automation.h) and the window side are two faces of this one state.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/act_windows.h"
#include "platform/automation.h"

namespace morvane::sim {
class SimDispatch;
}

namespace morvane::hostsim {

// ACT!'s view types (the Type of a view; also the view numbers of its additional commands).
namespace view {
inline constexpr int16_t kContact = 1;
inline constexpr int16_t kContactList = 2;
inline constexpr int16_t kGroup = 3;
inline constexpr int16_t kTaskList = 4;
inline constexpr int16_t kCalendar = 5;
inline constexpr int16_t kEmail = 6;
}  // namespace view

// What ACT!'s event control raises, by position in its event interface, and with which
// argument. The switcher reacts to 1, 3-6, 8-13 and 14; 7 is ACT! telling that a layout was
// applied, which the switcher must ignore or it would chase its own changes.
namespace event {
inline constexpr int kDatabaseOpened = 1;   // text: path of the database
inline constexpr int kDatabaseClosing = 2;  // none
inline constexpr int kNextRecord = 3;       // text: name of the record now current
inline constexpr int kPreviousRecord = 4;   // text: record name
inline constexpr int kFirstRecord = 5;      // text: record name
inline constexpr int kLastRecord = 6;       // text: record name
inline constexpr int kLayoutChanged = 7;    // text: layout name
inline constexpr int kRecordChosen = 8;     // text: record name (chosen from a list)
inline constexpr int kRecordAdded = 9;      // text: record name
inline constexpr int kRecordDeleted = 10;   // text: name of the record now current
inline constexpr int kFieldChanged = 11;    // text: label of the field
inline constexpr int kViewChanged = 12;     // 16-bit integer: the new view type
inline constexpr int kLookupChanged = 13;   // none
inline constexpr int kActClosing = 14;      // 32-bit integer 0
inline constexpr int kCount = 14;
}  // namespace event

// The record kind a view shows: groups in the group view, contacts everywhere else.
enum class RecordKind { Contact, Group };
RecordKind kindOfView(int16_t viewType);

struct ActField {
  int32_t id = -1;  // ACT!'s field number; -1 marks an unused position of the collection
  std::string label;
  int32_t type = 1;
  bool hasPopupList = false;
  std::vector<std::string> popupValues;  // the drop-down list, in ACT!'s order
};

struct ActRecord {
  std::string name;
  std::map<int32_t, std::string> values;  // by field number; a missing value reads as ""
};

struct ActRecordSet {
  std::vector<ActField> fields;  // in collection order, unused positions included
  std::vector<ActRecord> records;
  size_t current = 0;

  const ActField* field(int32_t id) const;
  const ActField* fieldByLabel(std::string_view label) const;  // letter case ignored
  int32_t fieldCount() const;  // fields in use, unused positions not counted
  const ActRecord* currentRecord() const;
  // The field's value in the current record; nullopt when the field does not exist or there
  // is no current record.
  std::optional<std::string> currentValue(int32_t fieldId) const;
};

struct ActDatabaseData {
  std::string path;  // e.g. C:\ACT\Database\Sales.dbf
  ActRecordSet contacts;
  ActRecordSet groups;

  ActRecordSet& records(RecordKind kind) { return kind == RecordKind::Group ? groups : contacts; }
  const ActRecordSet& records(RecordKind kind) const {
    return kind == RecordKind::Group ? groups : contacts;
  }
};

// Field numbers of the sample database.
namespace sample {
inline constexpr int32_t kCompany = 1;
inline constexpr int32_t kContactName = 2;
inline constexpr int32_t kPhone = 3;
inline constexpr int32_t kIdStatus = 5;    // "ID/Status", drop-down Customer/Prospect/Vendor/...
inline constexpr int32_t kReferredBy = 6;  // type 2 with a drop-down list
inline constexpr int32_t kRegion = 7;      // type 5 with a drop-down list
inline constexpr int32_t kUser1 = 8;       // type 2 without a list
inline constexpr int32_t kGroupName = 101;
inline constexpr int32_t kGroupType = 102;  // drop-down Team/Project/Committee
inline constexpr int32_t kGroupNotes = 103;
}  // namespace sample

// A small Sales database: five contacts whose "ID/Status" differ (Customer, Prospect, Vendor,
// empty, customer in lower case), two groups whose "Group Type" differ, and an unused field
// position among the contact fields.
ActDatabaseData sampleDatabase();
// "Standard", "Client", "Prospect Layout", "Vendor Layout", "Group Layout".
std::vector<std::string> sampleLayouts();

// Ways to make the simulated ACT! misbehave.
struct ActFaults {
  // The event control cannot reach ACT! (its member 1 gives 0, member 3 true).
  bool notLinked = false;
  // Reading a view's Type fails.
  bool viewTypeUnreadable = false;
  // Members that fail with an automation error: "Member" for every object, or "Class.Member"
  // for one class (App, Views, View, Grid, Preferences, Database, Records, Fields, PopupInfo,
  // AuxCmds, ActEvent). Letter case is ignored.
  std::set<std::string> failingMembers;
  // Results forced on AuxCmds members by name (the member then changes nothing).
  std::map<std::string, int32_t> auxResults;

  bool fails(std::string_view className, std::string_view member) const;
};

// A command added to ACT! by another program, and where it is placed.
struct AuxCommand {
  std::vector<Variant> definition;  // the eight values of AddAuxCommand
  std::set<int16_t> toolbarViews;
  std::set<int16_t> toolsMenuViews;
};

class ActSim {
 public:
  // ACT! not running.
  ActSim();
  // ACT! running with the database open in the contact view, showing sampleLayouts().
  explicit ActSim(ActDatabaseData database);
  ~ActSim();
  ActSim(const ActSim&) = delete;
  ActSim& operator=(const ActSim&) = delete;

  // --- What ACT! shows ---
  bool running() const { return m_running; }
  bool databaseOpen() const { return m_databaseOpen; }
  ActDatabaseData& database() { return m_database; }
  const ActDatabaseData& database() const { return m_database; }
  // The open database's path, "" when none is open.
  std::string openDatabasePath() const;
  int16_t activeView() const { return m_activeView; }
  // The current record of the kind, nullptr when there is none.
  const ActRecord* currentRecord(RecordKind kind) const;
  const ActRecord* currentRecord() const { return currentRecord(kindOfView(m_activeView)); }

  // The layouts, shared with ACT!'s windows (pass it to ActWindows); a layout the windows apply
  // raises event 7.
  ActLayoutState& layoutState() { return m_layouts; }
  const std::vector<std::string>& layouts() const { return m_layouts.names; }
  void setLayouts(std::vector<std::string> names, std::string current);
  const std::string& currentLayout() const { return m_layouts.current; }

  // --- The user at work; each raises the event ACT! raises (see namespace event) ---
  // Starts ACT! without a database (a no-op when it runs).
  void start();
  // Opens the database (closing one that is open first) and raises event 1.
  void openDatabase(ActDatabaseData database);
  // Raises event 2, then closes the database; ACT! keeps running.
  void closeDatabase();
  // ACT! closes: event 14, then onClose, then every object handed out is disconnected and the
  // event controls unlinked. Also what App.Command(150) does.
  void quit();
  // ACT! ends without closing, as when it crashes or is killed: no event and no onClose; the
  // objects handed out fail as a dead program's do (462), and the event controls hear no more.
  void kill();
  // Record moves in the kind of the active view; false (and no event) when the move is not
  // possible. gotoRecord raises 8.
  bool nextRecord();
  bool previousRecord();
  bool firstRecord();
  bool lastRecord();
  bool gotoRecord(size_t index);
  bool gotoRecord(std::string_view name);  // by record name, letter case ignored
  // Sets a field of the current record of the active view's kind; raises 11. False when the
  // field does not exist.
  bool setFieldValue(int32_t fieldId, std::string value);
  // Switches the view; raises 12 when the view changes.
  void switchView(int16_t viewType);
  // A new lookup: the current records stay; raises 13.
  void refreshLookup();
  // Applies a layout without going through ACT!'s windows (the name compares without letter
  // case) and raises 7 as the windows do. False for a name that is not in the list.
  bool applyLayout(std::string_view name);
  // Raises any event to the linked event controls, for tests of the event handlers.
  void raiseEvent(int position, std::vector<Variant> args = {});

  // Called while ACT! closes, after event 14, for the window side to destroy ACT!'s windows.
  std::function<void()> onClose;
  // Told of every event raised, linked controls or not (the simulator prints them).
  std::function<void(int position, const std::vector<Variant>& args)> onEvent;
  // Told when one of ACT!'s objects begins to serve a call, before it answers: tests make ACT!
  // raise an event or close meanwhile, as the real ACT! can while a caller waits on it.
  std::function<void(std::string_view className, std::string_view member)> whileServing;
  // Called before one of ACT!'s objects serves a call, by whoever runs ACT!'s user-interface
  // thread: the caller waits while ACT! is busy, and the hook throws the caller's error when ACT!
  // does not answer in time.
  std::function<void()> beforeServing;

  // --- State behind the automation objects ---
  ActFaults faults;
  std::map<std::string, AuxCommand> auxCommands;  // by command name, exact
  std::string startupMacro;
  std::vector<int32_t> commandsRun;  // numbers given to App.Command, in order

  // Objects remember the session they were made in; closing ACT! starts a new one, so objects
  // from before fail as disconnected.
  uint64_t session() const { return m_session; }
  // Whether the session ended with a kill rather than a close.
  bool killedIn(uint64_t session) const { return m_killedSessions.count(session) != 0; }
  // A token that expires with this ActSim; objects hold it weakly.
  std::weak_ptr<ActSim*> handle() const { return m_self; }

  // Event controls: created ones are registered; only linked ones (member 1 answered 1 or more)
  // receive events.
  void registerControl(const std::shared_ptr<sim::SimDispatch>& control);
  void setLinked(const sim::SimDispatch* control, bool linked);
  bool isLinked(const sim::SimDispatch* control) const;
  int linkedControls() const;

 private:
  bool moveTo(size_t index, int position);

  std::shared_ptr<ActSim*> m_self;
  bool m_running = false;
  bool m_databaseOpen = false;
  ActDatabaseData m_database;
  int16_t m_activeView = view::kContact;
  ActLayoutState m_layouts;
  uint64_t m_session = 1;
  std::set<uint64_t> m_killedSessions;

  struct Control {
    std::weak_ptr<sim::SimDispatch> object;
    const sim::SimDispatch* key = nullptr;
    bool linked = false;
  };
  std::vector<Control> m_controls;
};

}  // namespace morvane::hostsim
