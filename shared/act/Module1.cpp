#include "shared/act/Module1.h"

#include "platform/conversions.h"
#include "platform/runtime_error.h"
#include "shared/settings/settings_keys.h"

namespace morvane {

namespace {
constexpr std::string_view kAppProgId = "ACTOLE.APPOBJECT";
constexpr std::string_view kDatabaseProgId = "ACTOLE.DATABASE";
constexpr std::string_view kCreatePlace = "in Module1: Function Create_ACT_Objects";
constexpr std::string_view kGetViewPlace = "in Module1: Function GetView";
// The name ACT! is given with Views.Create.
constexpr const char* kViewName = "CV";
}  // namespace

std::string actNotLinkedMessage(bool available, std::string_view programTitle,
                                std::string_view lineBreak) {
  if (!available)
    return "Please open an ACT database prior to running " + std::string(programTitle);
  return "Unable to communicate with ACT!" + std::string(lineBreak) +
         "Please run actreg.exe located in the ACT folder and try again";
}

void TimerDelayArming::armIfIdle() {
  if (m_timer.interval() == 0) m_timer.setInterval(m_delay);
}

std::string Module1::Create_ACT_Objects() {
  const bool attached = m_trap.run(kCreatePlace, [&](int& line) {
    line = 1;
    ActApp = m_automation.createObject(kAppProgId);
    line = 2;
    callMethod(ActApp, "OpenFile", {Variant("")});
    line = 3;
    ActViews = asObject(getProperty(ActApp, "Views"));
  });
  if (!attached || m_program == ActProgram::MorvaneAuto) return "";

  // From here on a failure ends the procedure without a message.
  try {
    ActActiveView = asObject(callMethod(ActViews, "GetActive"));
    const int16_t t = conv::toInteger(getProperty(ActActiveView, "Type"));
    if (t != kViewTypeContact && t != kViewTypeGroup) return "";
    ActCurrentView = asObject(callMethod(ActViews, "Create", {Variant(t), Variant(kViewName)}));
    ActDatabase = m_automation.createObject(kDatabaseProgId);
    callMethod(ActDatabase, "OpenEx", {Variant("")});
    const bool contact = t == kViewTypeContact;
    const ObjectRef records = asObject(getProperty(ActDatabase, contact ? "Contact" : "Group"));
    ActFields = asObject(getProperty(records, "Fields"));
    return std::string(contact ? kViewContact : kViewGroup);
  } catch (const RuntimeError&) {
    return "";
  }
}

std::string Module1::RecordKindShown(ObjectRef& view) {
  const ObjectRef active = asObject(callMethod(ActViews, "GetActive"));
  const int16_t t = conv::toInteger(getProperty(active, "Type"));
  if (t != kViewTypeContact && t != kViewTypeGroup) return "";
  view = asObject(callMethod(ActViews, "Create", {Variant(t), Variant(kViewName)}));
  return std::string(t == kViewTypeContact ? kViewContact : kViewGroup);
}

int16_t Module1::savedViewType() {
  return settings::readViewType(m_settings);
}

std::string Module1::GetView(DelayTimerArming& delayTimer) {
  const bool gotActive = m_trap.run(kGetViewPlace, [&](int& line) {
    line = 1;
    ActActiveView = asObject(callMethod(ActViews, "GetActive"));
  });
  if (!gotActive) return "";

  // From here on a failing step sets t to the saved view type and the next step runs. A failure
  // while reading the setting is not caught here: it goes to the caller, as an error raised
  // inside an error handler does. Nor is a call ACT! did not answer, or a sign that ACT! has gone:
  // what the view is cannot be told then, and a saved type would stand in for an answer.
  int16_t t = 0;
  auto step = [&](auto&& body) {
    try {
      body();
    } catch (const RuntimeError& e) {
      if (e.number() == kCallTimedOut || isServerGone(e)) throw;
      t = savedViewType();
    }
  };
  auto create = [&](int16_t type) {
    step([&] {
      ActCurrentView =
          asObject(callMethod(ActViews, "Create", {Variant(type), Variant(kViewName)}));
    });
  };

  step([&] { t = conv::toInteger(getProperty(ActActiveView, "Type")); });
  switch (t) {
    case kViewTypeContact:
      create(kViewTypeContact);
      return std::string(kViewContact);
    case kViewTypeContactList:
      create(kViewTypeContactList);
      step([&] { ActCurrentView = asObject(callMethod(ActCurrentView, "GetGrid")); });
      step([&] { delayTimer.armIfIdle(); });
      return std::string(kViewContactList);
    case kViewTypeGroup:
      create(kViewTypeGroup);
      return std::string(kViewGroup);
    default:
      return "";
  }
}

bool Module1::Check_ACT() {
  return m_trap.run("in Module1: Function Check_ACT", [&](int& line) {
    line = 1;
    callMethod(ActApp, "GetOpenDBName");
  });
}

void Module1::release() {
  ActFields.reset();
  ActDatabase.reset();
  ActCurrentView.reset();
  ActActiveView.reset();
  ActViews.reset();
  ActApp.reset();
}

}  // namespace morvane
