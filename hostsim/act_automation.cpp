#include "hostsim/act_automation.h"

#include "platform/ansi_text.h"
#include "platform/conversions.h"

namespace morvane::hostsim {

namespace {

using sim::simAutomationError;
using sim::hr::kBadIndex;
using sim::hr::kDisconnected;
using sim::hr::kFail;
using sim::hr::kFileNotFound;
using sim::hr::kInvalidArg;
using sim::hr::kUnexpected;
using Args = sim::SimDispatch::Args;

constexpr int32_t kServerUnavailable = 462;

// Arguments arrive as the caller's variants; ACT! coerces them as COM does, with Basic's rules.
int16_t argInteger(const Variant& v) {
  return conv::toInteger(v);
}
int32_t argLong(const Variant& v) {
  return conv::toLong(v);
}
std::string argText(const Variant& v) {
  return conv::toString(v);
}

bool samePath(std::string_view a, std::string_view b) {
  return ansi::foldCase(a) == ansi::foldCase(b);
}

// An object served by ACT!'s process: it dies with ACT! (disconnected) and honours the fault
// knobs.
class ActObject : public sim::SimDispatch {
 public:
  ActObject(std::string className, ActSim& act)
      : SimDispatch(std::move(className)), m_act(act.handle()), m_session(act.session()) {
    beforeInvoke = [this](const std::string& member) {
      ActSim& a = this->act();
      if (const auto busy = a.beforeServing) busy();
      if (const auto hook = a.whileServing) {
        hook(this->className(), member);
        this->act();  // ACT! may have closed meanwhile
      }
      if (a.faults.fails(this->className(), member)) throw simAutomationError(kFail);
    };
  }

 protected:
  ActSim& act() const {
    auto handle = m_act.lock();
    if (handle && (*handle)->running() && (*handle)->session() == m_session) return **handle;
    // A program that died answers nothing; one that closed cut its objects off first.
    if (handle && (*handle)->killedIn(m_session)) throw RuntimeError(kServerUnavailable);
    throw simAutomationError(kDisconnected);
  }
  const ActRecordSet& openRecords(RecordKind kind) const {
    ActSim& a = act();
    if (!a.databaseOpen()) throw simAutomationError(kFail);
    return a.database().records(kind);
  }

 private:
  std::weak_ptr<ActSim*> m_act;
  uint64_t m_session;
};

template <class T, class... A>
ObjectRef make(A&&... a) {
  return std::make_shared<T>(std::forward<A>(a)...);
}

class GridObject : public ActObject {
 public:
  explicit GridObject(ActSim& act) : ActObject("Grid", act) {
    addProperty("RowCount", 1, 0, [this](Args&) {
      return Variant(static_cast<int32_t>(openRecords(RecordKind::Contact).records.size()));
    });
    addProperty("CurrentRow", 2, 0, [this](Args&) {
      return Variant(static_cast<int32_t>(openRecords(RecordKind::Contact).current + 1));
    });
  }
};

class ViewObject : public ActObject {
 public:
  ViewObject(ActSim& act, int16_t type) : ActObject("View", act), m_type(type) {
    addProperty("Type", 1, 0, [this](Args&) {
      if (this->act().faults.viewTypeUnreadable) throw simAutomationError(kFail);
      return Variant(m_type);
    });
    addMethod("GetGrid", 2, 0, [this](Args&) -> Variant {
      if (m_type != view::kContactList) throw simAutomationError(kFail);
      return make<GridObject>(this->act());
    });
    // The field number comes by reference as a 16-bit integer, and a reference to any other
    // type does not convert (type mismatch). ACT! leaves the number as it is.
    addMethod("GetField", 3, 1, [this](Args& args) -> Variant {
      if (!args[0].holds<int16_t>()) throw RuntimeError(err::kTypeMismatch);
      const int16_t number = args[0].get<int16_t>();
      if (m_type != view::kContact && m_type != view::kContactList && m_type != view::kGroup) {
        throw simAutomationError(kFail);
      }
      const ActRecordSet& set = openRecords(kindOfView(m_type));
      if (!set.field(number)) throw simAutomationError(kBadIndex);
      return set.currentValue(number).value_or("");
    });
  }

 private:
  int16_t m_type;
};

class ViewsObject : public ActObject {
 public:
  explicit ViewsObject(ActSim& act) : ActObject("Views", act) {
    addMethod("GetActive", 1, 0, [this](Args&) -> Variant {
      return make<ViewObject>(this->act(), this->act().activeView());
    });
    addMethod("Create", 2, 2, [this](Args& args) -> Variant {
      const int16_t type = argInteger(args[0]);
      argText(args[1]);
      if (type < view::kContact || type > view::kEmail) throw simAutomationError(kInvalidArg);
      return make<ViewObject>(this->act(), type);
    });
  }
};

class PreferencesObject : public ActObject {
 public:
  explicit PreferencesObject(ActSim& act) : ActObject("Preferences", act) {
    addProperty(
        "StartupMacro", 1, 0, [this](Args&) { return Variant(this->act().startupMacro); },
        [this](Args& args) { this->act().startupMacro = argText(args[0]); });
  }
};

class AppObject : public ActObject {
 public:
  explicit AppObject(ActSim& act) : ActObject("App", act) {
    // "" attaches to the database ACT! has open; a path must be that database.
    addMethod("OpenFile", 1, 1, [this](Args& args) -> Variant {
      const std::string path = argText(args[0]);
      ActSim& a = this->act();
      if (!a.databaseOpen()) throw simAutomationError(kFail);
      if (!path.empty() && !samePath(path, a.database().path)) {
        throw simAutomationError(kFileNotFound);
      }
      m_opened = true;
      return {};
    });
    addProperty("Views", 2, 0, [this](Args&) -> Variant {
      if (!m_opened) throw simAutomationError(kUnexpected);
      return make<ViewsObject>(this->act());
    });
    addMethod("GetOpenDBName", 3, 0,
              [this](Args&) -> Variant { return this->act().openDatabasePath(); });
    // Command 150 closes ACT!.
    addMethod("Command", 4, 1, [this](Args& args) -> Variant {
      const int32_t number = argLong(args[0]);
      ActSim& a = this->act();
      a.commandsRun.push_back(number);
      if (number == 150) a.quit();
      return {};
    });
    addProperty("Preferences", 5, 0,
                [this](Args&) -> Variant { return make<PreferencesObject>(this->act()); });
  }

 private:
  bool m_opened = false;
};

class PopupInfoObject : public ActObject {
 public:
  PopupInfoObject(ActSim& act, RecordKind kind, int32_t field)
      : ActObject("PopupInfo", act), m_kind(kind), m_field(field) {
    addProperty("PopupCount", 1, 0,
                [this](Args&) { return Variant(static_cast<int32_t>(values().size())); });
    addProperty("Value", 2, 1, [this](Args& args) -> Variant {
      const int32_t index = argLong(args[0]);
      const std::vector<std::string> list = values();
      if (index < 0 || index >= static_cast<int32_t>(list.size())) {
        throw simAutomationError(kBadIndex);
      }
      return list[static_cast<size_t>(index)];
    });
  }

 private:
  std::vector<std::string> values() const {
    const ActField* field = openRecords(m_kind).field(m_field);
    if (!field) throw simAutomationError(kBadIndex);
    return field->hasPopupList ? field->popupValues : std::vector<std::string>{};
  }

  RecordKind m_kind;
  int32_t m_field;
};

class FieldsObject : public ActObject {
 public:
  FieldsObject(ActSim& act, RecordKind kind) : ActObject("Fields", act), m_kind(kind) {
    addProperty("Count", 1, 0, [this](Args&) { return Variant(records().fieldCount()); });
    addProperty("ID", 2, 1, [this](Args& args) { return Variant(atPosition(args[0]).id); });
    addProperty("Label", 3, 1, [this](Args& args) { return Variant(atPosition(args[0]).label); });
    addProperty("Type", 4, 1, [this](Args& args) { return Variant(byKey(args[0]).type); });
    addProperty("HasPopupList", 5, 1,
                [this](Args& args) { return Variant(byKey(args[0]).hasPopupList); });
    addMethod("POPUPINFO", 6, 2, [this](Args& args) -> Variant {
      const int32_t field = argLong(args[0]);
      argLong(args[1]);
      if (!records().field(field)) throw simAutomationError(kBadIndex);
      return make<PopupInfoObject>(this->act(), m_kind, field);
    });
  }

 private:
  const ActRecordSet& records() const { return openRecords(m_kind); }
  const ActField& atPosition(const Variant& index) const {
    const int16_t position = argInteger(index);
    const auto& fields = records().fields;
    if (position < 0 || position >= static_cast<int32_t>(fields.size())) {
      throw simAutomationError(kBadIndex);
    }
    return fields[static_cast<size_t>(position)];
  }
  // The key is the field number as text.
  const ActField& byKey(const Variant& key) const {
    const ActField* field = records().field(conv::toLong(argText(key)));
    if (!field) throw simAutomationError(kBadIndex);
    return *field;
  }

  RecordKind m_kind;
};

class RecordsObject : public ActObject {
 public:
  RecordsObject(ActSim& act, RecordKind kind) : ActObject("Records", act) {
    addProperty("Fields", 1, 0,
                [this, kind](Args&) -> Variant { return make<FieldsObject>(this->act(), kind); });
  }
};

class DatabaseObject : public ActObject {
 public:
  explicit DatabaseObject(ActSim& act) : ActObject("Database", act) {
    addMethod("OpenEx", 1, 1, [this](Args& args) -> Variant {
      const std::string path = argText(args[0]);
      ActSim& a = this->act();
      if (!a.databaseOpen()) throw simAutomationError(kFail);
      if (!path.empty() && !samePath(path, a.database().path)) {
        throw simAutomationError(kFileNotFound);
      }
      m_open = true;
      return {};
    });
    addProperty("Contact", 2, 0, [this](Args&) -> Variant { return records(RecordKind::Contact); });
    addProperty("Group", 3, 0, [this](Args&) -> Variant { return records(RecordKind::Group); });
    addMethod("GetDatabasePath", 4, 0, [this](Args&) -> Variant {
      if (!m_open) throw simAutomationError(kUnexpected);
      return this->act().openDatabasePath();
    });
    addMethod("Close", 5, 0, [this](Args&) -> Variant {
      m_open = false;
      return {};
    });
  }

 private:
  ObjectRef records(RecordKind kind) {
    if (!m_open) throw simAutomationError(kUnexpected);
    return make<RecordsObject>(act(), kind);
  }

  bool m_open = false;
};

// Results of the AuxCmds members that add or remove an entry.
constexpr int32_t kAuxOk = 0;
constexpr int32_t kAuxNoSuchCommand = 1;
constexpr int32_t kAuxBadView = 2;

class AuxCmdsObject : public ActObject {
 public:
  explicit AuxCmdsObject(ActSim& act) : ActObject("AuxCmds", act) {
    addMethod("AddAuxCommand", 1, 8, [this](Args& args) -> Variant {
      if (auto forced = forcedResult("AddAuxCommand")) return *forced;
      AuxCommand& command = this->act().auxCommands[argText(args[0])];
      command.definition = args;
      return kAuxOk;
    });
    addMethod("AuxCommandExists", 2, 1, [this](Args& args) -> Variant {
      if (auto forced = forcedResult("AuxCommandExists")) return *forced;
      return int32_t{this->act().auxCommands.count(argText(args[0])) ? 1 : 0};
    });
    addPlacement("AuxCommandExistsInToolbar", 3, &AuxCommand::toolbarViews, Op::Query);
    addPlacement("AuxCommandExistsInToolsMenu", 4, &AuxCommand::toolsMenuViews, Op::Query);
    addPlacement("AddAuxCommandToToolbar", 5, &AuxCommand::toolbarViews, Op::Add);
    addPlacement("RemoveAuxCommandFromToolbar", 6, &AuxCommand::toolbarViews, Op::Remove);
    addPlacement("AddAuxCommandToToolsMenu", 7, &AuxCommand::toolsMenuViews, Op::Add);
    addPlacement("RemoveAuxCommandFromToolsMenu", 8, &AuxCommand::toolsMenuViews, Op::Remove);
  }

 private:
  enum class Op { Query, Add, Remove };
  using Placement = std::set<int16_t> AuxCommand::*;

  std::optional<int32_t> forcedResult(const std::string& member) const {
    const auto& forced = act().faults.auxResults;
    auto it = forced.find(member);
    if (it == forced.end()) return std::nullopt;
    return it->second;
  }

  // (view number, command name): a query answers 1 when placed, 0 otherwise; add and remove
  // answer 0, or 1 for an undefined command, 2 for a view number out of 1..6.
  void addPlacement(const std::string& name, DispId id, Placement where, Op op) {
    addMethod(name, id, 2, [this, name, where, op](Args& args) -> Variant {
      if (auto forced = forcedResult(name)) return *forced;
      const int16_t viewNumber = argInteger(args[0]);
      const std::string command = argText(args[1]);
      auto& commands = this->act().auxCommands;
      auto it = commands.find(command);
      if (op == Op::Query) {
        return int32_t{it != commands.end() && (it->second.*where).count(viewNumber) ? 1 : 0};
      }
      if (it == commands.end()) return kAuxNoSuchCommand;
      if (viewNumber < view::kContact || viewNumber > view::kEmail) return kAuxBadView;
      if (op == Op::Add) {
        (it->second.*where).insert(viewNumber);
      } else {
        (it->second.*where).erase(viewNumber);
      }
      return kAuxOk;
    });
  }
};

// The event control lives in its holder's process: it outlives ACT! and simply stops hearing
// from it.
class EventControl : public sim::SimDispatch {
 public:
  explicit EventControl(ActSim& act) : SimDispatch("ActEvent"), m_act(act.handle()) {
    beforeInvoke = [this](const std::string& member) {
      if (ActSim* a = sim(); a && a->faults.fails(className(), member)) {
        throw simAutomationError(kFail);
      }
    };
    addMethod("Attach", actevent::kAttach, 1, [this](Args& args) -> Variant {
      argLong(args[0]);
      ActSim* a = sim();
      if (!a || !a->running() || !a->databaseOpen() || a->faults.notLinked) return int32_t{0};
      a->setLinked(this, true);
      return int32_t{1};
    });
    addMethod("Detach", actevent::kDetach, 0, [this](Args&) -> Variant {
      if (ActSim* a = sim()) a->setLinked(this, false);
      return {};
    });
    addMethod("ActAvailable", actevent::kActAvailable, 0, [this](Args&) -> Variant {
      ActSim* a = sim();
      return a && a->running() && a->databaseOpen();
    });
    static constexpr const char* kNames[event::kCount] = {
        "DatabaseOpened", "DatabaseClosing", "NextRecord",    "PreviousRecord", "FirstRecord",
        "LastRecord",     "LayoutChanged",   "RecordChosen",  "RecordAdded",    "RecordDeleted",
        "FieldChanged",   "ViewChanged",     "LookupChanged", "ActClosing"};
    for (int position = 1; position <= event::kCount; ++position) {
      addEvent(position, position, kNames[position - 1]);
    }
  }

 private:
  ActSim* sim() const {
    auto handle = m_act.lock();
    return handle ? *handle : nullptr;
  }

  std::weak_ptr<ActSim*> m_act;
};

// Classes served by ACT!'s process can only be made while it runs.
template <class T>
ObjectRef makeServed(ActSim& act) {
  if (!act.running()) throw RuntimeError(err::kCantCreateObject);
  return std::make_shared<T>(act);
}

}  // namespace

std::shared_ptr<sim::SimDispatch> makeEventControl(ActSim& act) {
  auto control = std::make_shared<EventControl>(act);
  act.registerControl(control);
  return control;
}

void registerActClasses(sim::SimAutomation& automation, ActSim& act) {
  // The factories outlive nothing: they hold the ActSim's weak handle, not the ActSim.
  std::weak_ptr<ActSim*> handle = act.handle();
  auto served = [handle](auto tag) -> sim::SimAutomation::Factory {
    using T = typename decltype(tag)::type;
    return [handle]() -> ObjectRef {
      auto h = handle.lock();
      if (!h) throw RuntimeError(err::kCantCreateObject);
      return makeServed<T>(**h);
    };
  };
  automation.registerClass(kAppProgId, served(std::type_identity<AppObject>{}));
  automation.registerClass(kDatabaseProgId, served(std::type_identity<DatabaseObject>{}));
  automation.registerClass(kAuxCmdsProgId, served(std::type_identity<AuxCmdsObject>{}));
  automation.registerClass(kEventControlProgId, [handle]() -> ObjectRef {
    auto h = handle.lock();
    if (!h) throw RuntimeError(err::kCantCreateObject);
    return makeEventControl(**h);
  });
}

}  // namespace morvane::hostsim
