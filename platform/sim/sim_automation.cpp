#include "platform/sim/sim_automation.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ansi_text.h"

namespace morvane::sim {

RuntimeError simAutomationError(int32_t hresult) {
  switch (hresult) {
    case hr::kFail: return automationError(hresult, "Unspecified error");
    case hr::kUnexpected: return automationError(hresult, "Catastrophic failure");
    case hr::kInvalidArg: return automationError(hresult, "The parameter is incorrect.");
    case hr::kFileNotFound:
      return automationError(hresult, "The system cannot find the file specified.");
    case hr::kBadIndex: return automationError(hresult, "Invalid index.");
    case hr::kDisconnected:
      return automationError(hresult, "The object invoked has disconnected from its clients.");
    default: return automationError(hresult);
  }
}

// --- SimAutomation ---

void SimAutomation::registerClass(std::string_view progId, Factory factory) {
  Entry& entry = m_classes[ansi::foldCase(progId)];
  entry.factory = std::move(factory);
}

void SimAutomation::unregisterClass(std::string_view progId) { m_classes.erase(ansi::foldCase(progId)); }

bool SimAutomation::isRegistered(std::string_view progId) const {
  return m_classes.count(ansi::foldCase(progId)) != 0;
}

void SimAutomation::failCreation(std::string_view progId, std::optional<RuntimeError> error) {
  auto it = m_classes.find(ansi::foldCase(progId));
  if (it == m_classes.end()) throw std::logic_error("failCreation: ProgID not registered");
  it->second.failure = error ? std::move(error) : RuntimeError(err::kCantCreateObject);
}

void SimAutomation::clearCreationFailure(std::string_view progId) {
  auto it = m_classes.find(ansi::foldCase(progId));
  if (it != m_classes.end()) it->second.failure.reset();
}

int SimAutomation::createdCount(std::string_view progId) const {
  auto it = m_classes.find(ansi::foldCase(progId));
  return it == m_classes.end() ? 0 : it->second.created;
}

ObjectRef SimAutomation::createObject(std::string_view progId) {
  auto it = m_classes.find(ansi::foldCase(progId));
  if (it == m_classes.end() || !it->second.factory) throw RuntimeError(err::kCantCreateObject);
  if (it->second.failure) throw *it->second.failure;
  // The factory may register further classes, so the entry is looked up again afterwards.
  const Factory factory = it->second.factory;
  ObjectRef object = factory();
  if (!object) throw RuntimeError(err::kCantCreateObject);
  ++m_classes[ansi::foldCase(progId)].created;
  return object;
}

// --- SimDispatch ---

SimDispatch::Member& SimDispatch::member(std::string name, DispId id) {
  const std::string folded = ansi::foldCase(name);
  auto known = m_ids.find(folded);
  if (known != m_ids.end() && known->second != id) {
    throw std::logic_error("SimDispatch: member " + name + " declared with two identifiers");
  }
  m_ids[folded] = id;
  Member& m = m_members[id];
  m.name = std::move(name);
  return m;
}

void SimDispatch::addMethod(std::string name, DispId id, int minArgs, int maxArgs,
                            Handler method) {
  Member& m = member(std::move(name), id);
  m.minArgs = minArgs;
  m.maxArgs = maxArgs;
  m.method = std::move(method);
}

void SimDispatch::addProperty(std::string name, DispId id, int indexArgs, Handler get,
                              PutHandler put) {
  Member& m = member(std::move(name), id);
  m.indexArgs = indexArgs;
  m.get = std::move(get);
  m.put = std::move(put);
}

void SimDispatch::addEvent(int position, DispId id, std::string name) {
  m_events[position] = Event{id, std::move(name)};
}

DispId SimDispatch::idOfName(std::string_view name) {
  auto it = m_ids.find(ansi::foldCase(name));
  if (it == m_ids.end()) throw RuntimeError(err::kNotSupported);
  return it->second;
}

const SimDispatch::Member& SimDispatch::memberById(DispId id) const {
  auto it = m_members.find(id);
  if (it == m_members.end()) throw RuntimeError(err::kNotSupported);
  return it->second;
}

Variant SimDispatch::invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) {
  const Member& m = memberById(id);
  const int count = static_cast<int>(args.size());
  const bool put = kind == InvokeKind::PropertyPut || kind == InvokeKind::PropertyPutRef;

  // Choose the handler first, so a wrong call fails the same way whatever the faults are.
  const Handler* call = nullptr;
  if (put) {
    if (!m.put) throw RuntimeError(err::kNotSupported);
    if (count != m.indexArgs + 1) throw RuntimeError(err::kWrongArguments);
  } else if (kind == InvokeKind::Method && m.method) {
    call = &m.method;
  } else if (m.get) {
    call = &m.get;
  } else if (m.method) {
    call = &m.method;
  } else {
    throw RuntimeError(err::kNotSupported);
  }
  if (call == &m.method && (count < m.minArgs || count > m.maxArgs)) {
    throw RuntimeError(err::kWrongArguments);
  }
  if (call == &m.get && count != m.indexArgs) throw RuntimeError(err::kWrongArguments);

  // Copies, because a handler may redeclare or release members of this object.
  const std::string name = m.name;
  auto failure = m_failures.find(ansi::foldCase(name));
  if (failure != m_failures.end()) throw failure->second;
  if (beforeInvoke) beforeInvoke(name);

  if (put) {
    const PutHandler handler = m.put;
    handler(args);
    return {};
  }
  const Handler handler = *call;
  return handler(args);
}

uint32_t SimDispatch::advise(std::shared_ptr<EventSink> sink) {
  if (m_events.empty() || !sink) throw RuntimeError(err::kNotSupported);
  const uint32_t cookie = m_nextCookie++;
  m_sinks.emplace_back(cookie, std::move(sink));
  return cookie;
}

void SimDispatch::unadvise(uint32_t cookie) {
  std::erase_if(m_sinks, [cookie](const auto& entry) { return entry.first == cookie; });
}

void SimDispatch::raiseEvent(int position, std::vector<Variant> args) {
  auto event = m_events.find(position);
  if (event == m_events.end()) throw std::logic_error("SimDispatch: no event at that position");
  const DispId id = event->second.id;
  // Sinks may unadvise (or release this object's holder) while the event is delivered.
  const auto snapshot = m_sinks;
  for (const auto& [cookie, sink] : snapshot) {
    const bool stillAdvised = std::any_of(m_sinks.begin(), m_sinks.end(),
                                          [c = cookie](const auto& entry) { return entry.first == c; });
    if (!stillAdvised) continue;
    std::vector<Variant> copy = args;
    sink->onEvent(position, id, copy);
  }
}

void SimDispatch::failMember(std::string_view name, std::optional<RuntimeError> error) {
  const std::string folded = ansi::foldCase(name);
  m_failures.erase(folded);
  m_failures.emplace(folded, error ? std::move(*error) : simAutomationError(hr::kFail));
}

void SimDispatch::clearFailure(std::string_view name) { m_failures.erase(ansi::foldCase(name)); }

std::vector<int> RecordingSink::positions() const {
  std::vector<int> out;
  for (const Received& r : m_received) out.push_back(r.position);
  return out;
}

}  // namespace morvane::sim
