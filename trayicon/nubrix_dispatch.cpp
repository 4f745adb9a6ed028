#include "trayicon/nubrix_dispatch.h"

#include <algorithm>

#include "platform/conversions.h"
#include "platform/runtime_error.h"
#include "trayicon/nubrix_members.h"

namespace morvane {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

const nubrix::MemberInfo* memberById(DispId id) {
  for (const auto& m : nubrix::kMembers)
    if (m.id == id) return &m;
  return nullptr;
}

void expectArgs(const std::vector<Variant>& args, size_t count) {
  if (args.size() != count) throw RuntimeError(err::kWrongArguments);
}

}  // namespace

NubrixDispatch::NubrixDispatch(const ControlHost& host) : m_control(host) {
  m_control.holdWhileBusy = [this]() -> std::shared_ptr<void> { return weak_from_this().lock(); };
  m_control.onMouseOver = [this] { raise(nubrix::event::kMouseOver, nubrix::dispid::kMouseOver); };
  m_control.onClick = [this](int16_t& button) {
    raiseButton(nubrix::event::kClick, nubrix::dispid::kClick, button);
  };
  m_control.onDblClick = [this](int16_t& button) {
    raiseButton(nubrix::event::kDblClick, nubrix::dispid::kDblClick, button);
  };
  m_control.onIconAdd = [this] { raise(nubrix::event::kIconAdd, nubrix::dispid::kIconAdd); };
  m_control.onIconRemove = [this] {
    raise(nubrix::event::kIconRemove, nubrix::dispid::kIconRemove);
  };
  m_control.onBlink = [this] { raise(nubrix::event::kBlink, nubrix::dispid::kBlink); };
}

DispId NubrixDispatch::idOfName(std::string_view name) {
  for (const auto& m : nubrix::kMembers)
    if (equalsNoCase(m.name, name)) return m.id;
  throw RuntimeError(err::kNotSupported);
}

Variant NubrixDispatch::invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) {
  const nubrix::MemberInfo* member = memberById(id);
  if (!member) throw RuntimeError(err::kNotSupported);
  using nubrix::MemberKind;
  const bool read = kind == InvokeKind::Method || kind == InvokeKind::PropertyGet;
  const bool isMethod = member->kind == MemberKind::Method || member->kind == MemberKind::Function;

  if (isMethod) {
    if (!read) throw RuntimeError(err::kNotSupported);
    expectArgs(args, 0);
    namespace d = nubrix::dispid;
    switch (id) {
      case d::kShowAbout:
        m_control.showAbout();
        return {};
      case d::kOsVersion:
        return m_control.OsVersion();
      case d::kAddIcon:
        m_control.AddIcon();
        return {};
      case d::kChangeIcon:
        m_control.ChangeIcon();
        return {};
      case d::kRefreshToolTip:
        m_control.RefreshToolTip();
        return {};
      case d::kRemoveIcon:
        m_control.RemoveIcon();
        return {};
      default:
        throw RuntimeError(err::kNotSupported);
    }
  }

  if (read) {
    expectArgs(args, 0);
    switch (id) {
      case nubrix::dispid::kIcon1:
        return pictureOut(m_control.Icon1());
      case nubrix::dispid::kToolTipIcon1:
        return Variant(m_control.ToolTipIcon1());
      case nubrix::dispid::kIcon2:
        return pictureOut(m_control.Icon2());
      case nubrix::dispid::kToolTipIcon2:
        return Variant(m_control.ToolTipIcon2());
      case nubrix::dispid::kHWnd:
        return Variant(static_cast<int32_t>(m_control.hWnd()));
      case nubrix::dispid::kIconAnimation:
        return Variant(m_control.IconAnimation());
      case nubrix::dispid::kInterval:
        return Variant(m_control.Interval());
      default:
        throw RuntimeError(err::kNotSupported);
    }
  }

  // Writes: pictures by reference (Set), the rest by value (Let). A picture given by value is
  // taken as well, as the object it holds.
  if (member->kind == MemberKind::PropertyGetOnly) throw RuntimeError(err::kNotSupported);
  if (member->kind == MemberKind::PropertyGetLet && kind != InvokeKind::PropertyPut)
    throw RuntimeError(err::kNotSupported);
  expectArgs(args, 1);
  const Variant& value = args[0];
  switch (id) {
    case nubrix::dispid::kIcon1:
      m_control.setIcon1(pictureFromVariant(value));
      break;
    case nubrix::dispid::kToolTipIcon1:
      m_control.setToolTipIcon1(conv::toString(value));
      break;
    case nubrix::dispid::kIcon2:
      m_control.setIcon2(pictureFromVariant(value));
      break;
    case nubrix::dispid::kToolTipIcon2:
      m_control.setToolTipIcon2(conv::toString(value));
      break;
    case nubrix::dispid::kIconAnimation:
      m_control.setIconAnimation(conv::toBoolean(value));
      break;
    case nubrix::dispid::kInterval:
      m_control.setInterval(conv::toLong(value));
      break;
    default:
      throw RuntimeError(err::kNotSupported);
  }
  return {};
}

Variant NubrixDispatch::pictureOut(const Picture& picture) const {
  if (picture.object || !standardPicture) return pictureToVariant(picture);
  return Variant(standardPicture(picture.handle));
}

uint32_t NubrixDispatch::advise(std::shared_ptr<EventSink> sink) {
  if (!sink) throw RuntimeError(err::kInvalidProcedureCall);
  const uint32_t cookie = m_nextCookie++;
  m_sinks.emplace_back(cookie, std::move(sink));
  return cookie;
}

void NubrixDispatch::unadvise(uint32_t cookie) {
  std::erase_if(m_sinks, [cookie](const auto& s) { return s.first == cookie; });
}

void NubrixDispatch::raise(int position, DispId id, std::vector<Variant>& args) {
  // Sinks advised at this moment, in advise order; one unadvised meanwhile hears no more.
  const auto sinks = m_sinks;
  for (const auto& [cookie, sink] : sinks) {
    const bool stillAdvised = std::any_of(m_sinks.begin(), m_sinks.end(),
                                          [c = cookie](const auto& s) { return s.first == c; });
    if (!stillAdvised) continue;
    // A sink's failure goes back to the event call as a result the control does not look at.
    try {
      sink->onEvent(position, id, args);
    } catch (const RuntimeError&) {
    }
  }
}

void NubrixDispatch::raise(int position, DispId id) {
  std::vector<Variant> args;
  raise(position, id, args);
}

void NubrixDispatch::raiseButton(int position, DispId id, int16_t& button) {
  std::vector<Variant> args{Variant(button)};
  // Button goes by reference; the control has no use for what a sink writes back.
  raise(position, id, args);
}

std::shared_ptr<NubrixDispatch> createNubrix(const ControlHost& host, PropertyBag* saved) {
  auto object = std::make_shared<NubrixDispatch>(host);
  if (saved)
    object->control().ReadProperties(*saved);
  else
    object->control().InitProperties();
  return object;
}

std::function<ObjectRef()> nubrixFactory(const ControlHost& host,
                                         std::shared_ptr<PropertyBag> saved) {
  return [host, saved]() -> ObjectRef { return createNubrix(host, saved.get()); };
}

}  // namespace morvane
