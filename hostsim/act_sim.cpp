#include "hostsim/act_sim.h"

#include <algorithm>

#include "platform/ansi_text.h"
#include "platform/sim/sim_automation.h"

namespace morvane::hostsim {

RecordKind kindOfView(int16_t viewType) {
  return viewType == view::kGroup ? RecordKind::Group : RecordKind::Contact;
}

// --- Record sets ---

const ActField* ActRecordSet::field(int32_t id) const {
  if (id == -1) return nullptr;
  for (const ActField& f : fields) {
    if (f.id == id) return &f;
  }
  return nullptr;
}

const ActField* ActRecordSet::fieldByLabel(std::string_view label) const {
  const std::string folded = ansi::foldCase(label);
  for (const ActField& f : fields) {
    if (f.id != -1 && ansi::foldCase(f.label) == folded) return &f;
  }
  return nullptr;
}

int32_t ActRecordSet::fieldCount() const {
  return static_cast<int32_t>(
      std::count_if(fields.begin(), fields.end(), [](const ActField& f) { return f.id != -1; }));
}

const ActRecord* ActRecordSet::currentRecord() const {
  return current < records.size() ? &records[current] : nullptr;
}

std::optional<std::string> ActRecordSet::currentValue(int32_t fieldId) const {
  const ActRecord* record = currentRecord();
  if (!record || !field(fieldId)) return std::nullopt;
  auto it = record->values.find(fieldId);
  return it == record->values.end() ? std::string() : it->second;
}

// --- Sample data ---

ActDatabaseData sampleDatabase() {
  using namespace sample;
  ActDatabaseData db;
  db.path = "C:\\ACT\\Database\\Sales.dbf";

  db.contacts.fields = {
      {kCompany, "Company", 1, false, {}},
      {kContactName, "Contact", 1, false, {}},
      {kPhone, "Phone", 6, false, {}},
      {-1, "", 0, false, {}},
      {kIdStatus, "ID/Status", 1, true, {"Customer", "Prospect", "Vendor", "Supplier"}},
      {kReferredBy, "Referred By", 2, true, {"Web", "Trade Show", "Partner"}},
      {kRegion, "Region", 5, true, {"North", "South"}},
      {kUser1, "User 1", 2, false, {}},
  };
  auto contact = [](std::string company, std::string name, std::string status,
                    std::string referredBy) {
    ActRecord r;
    r.name = name;
    r.values[kCompany] = std::move(company);
    r.values[kContactName] = std::move(name);
    r.values[kPhone] = "555-0100";
    r.values[kIdStatus] = std::move(status);
    r.values[kReferredBy] = std::move(referredBy);
    r.values[kRegion] = "North";
    return r;
  };
  db.contacts.records = {
      contact("Acme Ltd", "Alice Martin", "Customer", "Web"),
      contact("Borel SA", "Bob Durand", "Prospect", "Trade Show"),
      contact("Cobalt Inc", "Carla Nunes", "Vendor", "Partner"),
      contact("Dune Corp", "David Li", "", ""),
      contact("Elm & Co", "Eve Moreau", "customer", "Web"),
  };

  db.groups.fields = {
      {kGroupName, "Group Name", 1, false, {}},
      {kGroupType, "Group Type", 1, true, {"Team", "Project", "Committee"}},
      {kGroupNotes, "Notes", 4, false, {}},
  };
  auto group = [](std::string name, std::string type) {
    ActRecord r;
    r.name = name;
    r.values[kGroupName] = std::move(name);
    r.values[kGroupType] = std::move(type);
    return r;
  };
  db.groups.records = {group("Sales Team", "Team"), group("Board", "Committee")};
  return db;
}

std::vector<std::string> sampleLayouts() {
  return {"Standard", "Client", "Prospect Layout", "Vendor Layout", "Group Layout"};
}

// --- Faults ---

bool ActFaults::fails(std::string_view className, std::string_view member) const {
  if (failingMembers.empty()) return false;
  const std::string bare = ansi::foldCase(member);
  const std::string qualified = ansi::foldCase(std::string(className) + "." + std::string(member));
  for (const std::string& key : failingMembers) {
    const std::string folded = ansi::foldCase(key);
    if (folded == bare || folded == qualified) return true;
  }
  return false;
}

// --- ActSim ---

ActSim::ActSim() : m_self(std::make_shared<ActSim*>(this)) {
  m_layouts.onApplied = [this] { raiseEvent(event::kLayoutChanged, {Variant(m_layouts.current)}); };
}

ActSim::ActSim(ActDatabaseData database) : ActSim() {
  m_running = true;
  m_databaseOpen = true;
  m_database = std::move(database);
  setLayouts(sampleLayouts(), "Standard");
}

ActSim::~ActSim() = default;

std::string ActSim::openDatabasePath() const {
  return m_databaseOpen ? m_database.path : "";
}

const ActRecord* ActSim::currentRecord(RecordKind kind) const {
  return m_databaseOpen ? m_database.records(kind).currentRecord() : nullptr;
}

void ActSim::setLayouts(std::vector<std::string> names, std::string current) {
  m_layouts.names = std::move(names);
  m_layouts.current = std::move(current);
}

void ActSim::start() {
  if (m_running) return;
  m_running = true;
  m_activeView = view::kContact;
}

void ActSim::openDatabase(ActDatabaseData database) {
  start();
  if (m_databaseOpen) closeDatabase();
  m_database = std::move(database);
  m_databaseOpen = true;
  if (m_layouts.names.empty()) setLayouts(sampleLayouts(), "Standard");
  raiseEvent(event::kDatabaseOpened, {Variant(m_database.path)});
}

void ActSim::closeDatabase() {
  if (!m_databaseOpen) return;
  raiseEvent(event::kDatabaseClosing);
  m_databaseOpen = false;
}

void ActSim::quit() {
  if (!m_running) return;
  raiseEvent(event::kActClosing, {Variant(int32_t{0})});
  if (onClose) onClose();
  m_running = false;
  m_databaseOpen = false;
  ++m_session;
  for (Control& c : m_controls) c.linked = false;
}

void ActSim::kill() {
  if (!m_running) return;
  m_running = false;
  m_databaseOpen = false;
  m_killedSessions.insert(m_session++);
  for (Control& c : m_controls) c.linked = false;
}

bool ActSim::moveTo(size_t index, int position) {
  if (!m_running || !m_databaseOpen) return false;
  ActRecordSet& set = m_database.records(kindOfView(m_activeView));
  if (index >= set.records.size()) return false;
  set.current = index;
  raiseEvent(position, {Variant(set.records[index].name)});
  return true;
}

bool ActSim::nextRecord() {
  const ActRecordSet& set = m_database.records(kindOfView(m_activeView));
  return moveTo(set.current + 1, event::kNextRecord);
}

bool ActSim::previousRecord() {
  const ActRecordSet& set = m_database.records(kindOfView(m_activeView));
  if (set.current == 0) return false;
  return moveTo(set.current - 1, event::kPreviousRecord);
}

bool ActSim::firstRecord() {
  return moveTo(0, event::kFirstRecord);
}

bool ActSim::lastRecord() {
  const ActRecordSet& set = m_database.records(kindOfView(m_activeView));
  if (set.records.empty()) return false;
  return moveTo(set.records.size() - 1, event::kLastRecord);
}

bool ActSim::gotoRecord(size_t index) {
  return moveTo(index, event::kRecordChosen);
}

bool ActSim::gotoRecord(std::string_view name) {
  const std::string folded = ansi::foldCase(name);
  const auto& records = m_database.records(kindOfView(m_activeView)).records;
  for (size_t i = 0; i < records.size(); ++i) {
    if (ansi::foldCase(records[i].name) == folded) return gotoRecord(i);
  }
  return false;
}

bool ActSim::setFieldValue(int32_t fieldId, std::string value) {
  if (!m_running || !m_databaseOpen) return false;
  ActRecordSet& set = m_database.records(kindOfView(m_activeView));
  const ActField* field = set.field(fieldId);
  if (!field || set.current >= set.records.size()) return false;
  set.records[set.current].values[fieldId] = std::move(value);
  raiseEvent(event::kFieldChanged, {Variant(field->label)});
  return true;
}

void ActSim::switchView(int16_t viewType) {
  if (!m_running || viewType == m_activeView) return;
  m_activeView = viewType;
  raiseEvent(event::kViewChanged, {Variant(viewType)});
}

void ActSim::refreshLookup() {
  if (!m_running || !m_databaseOpen) return;
  raiseEvent(event::kLookupChanged);
}

bool ActSim::applyLayout(std::string_view name) {
  const std::string folded = ansi::foldCase(name);
  const auto& names = m_layouts.names;
  auto it = std::find_if(names.begin(), names.end(),
                         [&](const std::string& l) { return ansi::foldCase(l) == folded; });
  if (it == names.end()) return false;
  m_layouts.current = *it;
  m_layouts.applied.push_back(*it);
  m_layouts.onApplied();
  return true;
}

void ActSim::raiseEvent(int position, std::vector<Variant> args) {
  if (onEvent) onEvent(position, args);
  // Handlers may create, link, unlink or release controls, or close ACT!, while this runs.
  std::vector<std::shared_ptr<sim::SimDispatch>> targets;
  for (const Control& c : m_controls) {
    if (!c.linked) continue;
    if (auto object = c.object.lock()) targets.push_back(std::move(object));
  }
  for (const auto& target : targets) {
    if (isLinked(target.get())) target->raiseEvent(position, args);
  }
}

void ActSim::registerControl(const std::shared_ptr<sim::SimDispatch>& control) {
  std::erase_if(m_controls, [](const Control& c) { return c.object.expired(); });
  m_controls.push_back(Control{control, control.get(), false});
}

void ActSim::setLinked(const sim::SimDispatch* control, bool linked) {
  for (Control& c : m_controls) {
    if (c.key == control && !c.object.expired()) c.linked = linked;
  }
}

bool ActSim::isLinked(const sim::SimDispatch* control) const {
  return std::any_of(m_controls.begin(), m_controls.end(), [&](const Control& c) {
    return c.key == control && c.linked && !c.object.expired();
  });
}

int ActSim::linkedControls() const {
  return static_cast<int>(std::count_if(m_controls.begin(), m_controls.end(), [](const Control& c) {
    return c.linked && !c.object.expired();
  }));
}

}  // namespace morvane::hostsim
