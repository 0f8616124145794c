#pragma once

#include "platform/config_window.h"
#include "platform/conventions.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/pictures.h"
#include "platform/process.h"
#include "platform/random.h"
#include "platform/registry.h"
#include "platform/settings_backend.h"

namespace tessarin::platform {

// Every service the program's logic reaches the platform through.
struct Platform {
  Process& process;
  Messages& messages;
  ConfigWindow& configWindow;
  SettingsBackend& settings;
  Files& files;
  Pictures& pictures;
  Random& random;
  Desktop& desktop;
  Registry& registry;
  const Conventions& conventions;
};

}  // namespace tessarin::platform
