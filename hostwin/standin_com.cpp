#include "hostwin/standin_com.h"

#include <string>
#include <utility>
#include <vector>

#include "hostwin/standin_classes.h"
#include "platform/runtime_error.h"
#include "platform/win32/com/com_registration.h"

namespace morvane::hostwin {

using Microsoft::WRL::ComPtr;

namespace {
class CountingDispatch;
}  // namespace

struct StandInComServer::Ledger : std::enable_shared_from_this<Ledger> {
  explicit Ledger(sim::SimAutomation& classes) : automation(&classes) {}

  // The same decorator for the same object, so that an object keeps one COM identity.
  ObjectRef handOut(const ObjectRef& object);

  sim::SimAutomation* automation;  // nullptr once ACT! has closed
  uint64_t calls = 0;
  std::vector<std::weak_ptr<CountingDispatch>> handedOut;
};

namespace {

// One of ACT!'s objects as a client of the stand-in sees it: every call is counted, and the objects
// it returns are handed out the same way.
class CountingDispatch final : public Dispatch {
 public:
  CountingDispatch(ObjectRef inner, std::shared_ptr<StandInComServer::Ledger> ledger)
      : m_inner(std::move(inner)), m_ledger(std::move(ledger)) {}

  const ObjectRef& inner() const { return m_inner; }

  DispId idOfName(std::string_view name) override {
    ++m_ledger->calls;
    return m_inner->idOfName(name);
  }
  Variant invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) override {
    ++m_ledger->calls;
    Variant result = m_inner->invoke(id, kind, args);
    if (result.isObject() && result.get<ObjectRef>())
      return m_ledger->handOut(result.get<ObjectRef>());
    return result;
  }
  uint32_t advise(std::shared_ptr<EventSink> sink) override {
    return m_inner->advise(std::move(sink));
  }
  void unadvise(uint32_t cookie) override { m_inner->unadvise(cookie); }

 private:
  ObjectRef m_inner;
  std::shared_ptr<StandInComServer::Ledger> m_ledger;
};

}  // namespace

ObjectRef StandInComServer::Ledger::handOut(const ObjectRef& object) {
  std::erase_if(handedOut, [](const auto& weak) { return weak.expired(); });
  for (const auto& weak : handedOut) {
    if (auto known = weak.lock(); known && known->inner() == object) return known;
  }
  auto counted = std::make_shared<CountingDispatch>(object, shared_from_this());
  handedOut.push_back(counted);
  return counted;
}

StandInComServer::StandInComServer(sim::SimAutomation& classes)
    : m_ledger(std::make_shared<Ledger>(classes)) {
  for (const StandInClass& cls : kStandInClasses) {
    const std::string progId(cls.progId);
    auto factory = win32::makeClassFactory(
        [ledger = m_ledger, progId]() -> ObjectRef {
          try {
            if (ledger->automation == nullptr) throw RuntimeError(err::kCantCreateObject);
            return ledger->handOut(ledger->automation->createObject(progId));
          } catch (const RuntimeError&) {
            if (win32::LocalServer* server = win32::LocalServer::current();
                server != nullptr && server->count() == 0) {
              server->end();
            }
            throw;
          }
        },
        cls.events);
    m_registrations.push_back(
        std::make_unique<win32::ClassObjectRegistration>(*cls.clsid, std::move(factory)));
  }
}

StandInComServer::~StandInComServer() {
  disconnect();
}

void StandInComServer::disconnect() {
  // No new clients first, then the ones there are lose their objects.
  m_registrations.clear();
  m_ledger->automation = nullptr;
  const auto handedOut = std::exchange(m_ledger->handedOut, {});
  for (const auto& weak : handedOut) {
    if (const std::shared_ptr<CountingDispatch> object = weak.lock()) {
      // The object's COM side, which CoDisconnectObject cuts off from every proxy; it goes when
      // this last reference does, releasing the sinks connected to it.
      const ComPtr<IDispatch> exposed = win32::exposeObject(object);
      CoDisconnectObject(exposed.Get(), 0);
    }
  }
}

uint64_t StandInComServer::callsServed() const {
  return m_ledger->calls;
}

void StandInComServer::resetCalls() {
  m_ledger->calls = 0;
}

void registerStandInClasses(std::string_view exePath) {
  for (const StandInClass& cls : kStandInClasses)
    win32::registerLocalServerClass(localServerClass(cls), exePath);
}

void unregisterStandInClasses() {
  for (const StandInClass& cls : kStandInClasses)
    win32::unregisterLocalServerClass(localServerClass(cls));
}

}  // namespace morvane::hostwin
