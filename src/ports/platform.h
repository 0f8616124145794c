#pragma once

#include "ports/config_window.h"
#include "ports/conventions.h"
#include "ports/desktop.h"
#include "ports/files.h"
#include "ports/messages.h"
#include "ports/pictures.h"
#include "ports/process.h"
#include "ports/random.h"
#include "ports/registry.h"
#include "ports/settings_backend.h"

namespace tessarin::ports {

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

}  // namespace tessarin::ports
