// The platform services a program is built on, handed to its program object in one bundle.
#pragma once

#include "platform/automation.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "platform/profile_files.h"
#include "platform/settings_store.h"
#include "platform/timers.h"
#include "platform/window_system.h"

namespace morvane {

struct PlatformServices {
  WindowSystem& windows;
  Timers& timers;
  MessageBoxes& boxes;
  ProfileFiles& profiles;
  SettingsStore& settings;
  Automation& automation;
  Host& host;
  Shell& shell;
  Files& files;
};

}  // namespace morvane
