#include "platform/window_system.h"

#include <cstring>

namespace morvane {

NotifyHeader WindowSystem::copyNotifyHeader(LParam lParam) {
  uint32_t raw[3] = {};
  std::memcpy(raw, reinterpret_cast<const void*>(lParam), sizeof raw);
  return {raw[0], raw[1], static_cast<int32_t>(raw[2])};
}

}  // namespace morvane
