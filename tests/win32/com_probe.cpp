#include "tests/win32/com_probe.h"

#include <algorithm>

#include "platform/win32/com/com_server.h"

namespace morvane::win32::testing {

namespace {

class Child : public sim::SimDispatch {
 public:
  Child() : SimDispatch("Child") {
    addProperty(
        "Name", 1, 0, [this](Args&) { return Variant(m_name); },
        [this](Args& args) { m_name = args[0].get<std::string>(); });
  }

 private:
  std::string m_name = "child";
};

// What Bump makes of each argument: numbers go up, text gets a "!", booleans flip, Empty becomes
// the Long 1 and an object (or Nothing) the given one.
Variant bumped(const Variant& value, const ObjectRef& object) {
  struct Visitor {
    const ObjectRef& object;
    Variant operator()(Empty) const { return int32_t{1}; }
    Variant operator()(bool v) const { return !v; }
    Variant operator()(int16_t v) const { return static_cast<int16_t>(v + 1); }
    Variant operator()(int32_t v) const { return v + 1; }
    Variant operator()(float v) const { return v + 0.5f; }
    Variant operator()(double v) const { return v + 0.5; }
    Variant operator()(const std::string& v) const { return v + "!"; }
    Variant operator()(const ObjectRef&) const { return object; }
  };
  return std::visit(Visitor{object}, value.value());
}

}  // namespace

LocalServerClass probeClass() {
  return {kProbeClsid, std::string(kProbeProgId), "Morvane COM test probe"};
}

LocalServerClass victimClass() {
  if (sizeof(void*) == 8)
    return {kVictimClsid64, "MorvaneTest.Victim64", "Morvane COM test victim"};
  return {kVictimClsid32, "MorvaneTest.Victim32", "Morvane COM test victim"};
}

Probe::Probe() : SimDispatch("Probe"), m_child(std::make_shared<Child>()) {
  addMethod("Echo", 1, 1, [](Args& args) { return args[0]; });
  addMethod("Bump", 2, 1, 4, [this](Args& args) {
    for (Variant& a : args) a = bumped(a, m_child);
    return Variant();
  });
  // Raise number [, description]: a Basic error, or for a negative number an automation error.
  addMethod("Raise", 3, 1, 2, [](Args& args) -> Variant {
    const int32_t number = args[0].get<int32_t>();
    const std::string text = args.size() > 1 ? args[1].get<std::string>() : std::string();
    if (number < 0) {
      throw automationError(number,
                            text.empty() ? systemMessage(static_cast<DWORD>(number)) : text);
    }
    throw text.empty() ? RuntimeError(number) : RuntimeError(number, text);
  });
  // RaiseEvents text: raises Changed(text) to the sinks and answers the text as they left it.
  addMethod("RaiseEvents", 4, 1, [this](Args& args) {
    std::vector<Variant> eventArgs{args[0]};
    const auto sinks = m_sinks;
    for (const auto& [cookie, sink] : sinks) {
      const bool advised = std::any_of(m_sinks.begin(), m_sinks.end(),
                                       [c = cookie](const auto& s) { return s.first == c; });
      if (advised) sink->onEvent(1, 1, eventArgs);
    }
    return eventArgs[0];
  });
  addProperty(
      "Child", 5, 0, [this](Args&) { return Variant(m_child); },
      [this](Args& args) { m_child = asObject(args[0]); });
  addMethod("IsChild", 6, 1, [this](Args& args) { return Variant(asObject(args[0]) == m_child); });
  addMethod("Hang", 7, 1, [](Args& args) {
    Sleep(static_cast<DWORD>(args[0].get<int32_t>()));
    return args[0];
  });
  addMethod("Die", 8, 0, [](Args&) -> Variant { ExitProcess(3); });
  addProperty("ProcessId", 9, 0,
              [](Args&) { return Variant(static_cast<int32_t>(GetCurrentProcessId())); });
  addProperty("Bitness", 10, 0,
              [](Args&) { return Variant(static_cast<int16_t>(sizeof(void*) * 8)); });
  addProperty("SinkCount", 11, 0, [this](Args&) {
    return Variant(static_cast<int32_t>(connectionCount(shared_from_this())));
  });
  addProperty(
      "Text", 12, 0, [this](Args&) { return Variant(m_text); },
      [this](Args& args) { m_text = args[0].get<std::string>(); });
  addEvent(1, 1, "Changed");
}

uint32_t Probe::advise(std::shared_ptr<EventSink> sink) {
  if (!sink) throw RuntimeError(err::kInvalidProcedureCall);
  m_sinks.emplace_back(m_nextCookie, std::move(sink));
  return m_nextCookie++;
}

void Probe::unadvise(uint32_t cookie) {
  std::erase_if(m_sinks, [cookie](const auto& s) { return s.first == cookie; });
}

}  // namespace morvane::win32::testing
