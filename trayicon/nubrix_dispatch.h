// The control as an automation object: its members by dispatch identifier and by name, and its
// events to the connected sinks. This is how a host program reaches it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/automation.h"
#include "platform/property_bag.h"
#include "trayicon/Nubrix.h"

namespace morvane {

class NubrixDispatch : public Dispatch, public std::enable_shared_from_this<NubrixDispatch> {
 public:
  // Use createNubrix: the control keeps itself alive through shared_from_this while it handles
  // its window's messages.
  explicit NubrixDispatch(const ControlHost& host);

  Nubrix& control() { return m_control; }

  // Names compare without letter case; unknown names give 438.
  DispId idOfName(std::string_view name) override;
  // As for a Basic client, a property may be read through a method call and a function called
  // through a property get. 438 for an unknown identifier or a kind the member does not have,
  // 450 for a wrong number of arguments; the control's own failures pass through.
  Variant invoke(DispId id, InvokeKind kind, std::vector<Variant>& args) override;
  uint32_t advise(std::shared_ptr<EventSink> sink) override;
  void unadvise(uint32_t cookie) override;
  size_t sinkCount() const { return m_sinks.size(); }

  // The picture object a picture property reads as when its slot holds no object of its own (no
  // image, or a bare handle); unset, this module's PictureObject. A COM server gives the system's
  // standard picture instead, the IPicture its clients hand on.
  std::function<ObjectRef(Hicon handle)> standardPicture;

 private:
  Variant pictureOut(const Picture& picture) const;
  void raise(int position, DispId id, std::vector<Variant>& args);
  void raise(int position, DispId id);
  void raiseButton(int position, DispId id, int16_t& button);

  Nubrix m_control;
  std::vector<std::pair<uint32_t, std::shared_ptr<EventSink>>> m_sinks;
  uint32_t m_nextCookie = 1;
};

// A control placed on the host's form: it loads the saved state when there is one, otherwise it
// starts as a new control.
std::shared_ptr<NubrixDispatch> createNubrix(const ControlHost& host, PropertyBag* saved = nullptr);

// A class factory for an automation registry ("NubrixControl.Nubrix"): each object it makes is
// placed on the same host and loads the same saved state.
std::function<ObjectRef()> nubrixFactory(const ControlHost& host,
                                         std::shared_ptr<PropertyBag> saved = nullptr);

}  // namespace morvane
