#pragma once

#include "ports/config_window.h"
#include "ports/files.h"
#include "ports/locale.h"
#include "ports/messages.h"
#include "ports/path_rules.h"
#include "ports/pictures.h"
#include "ports/process.h"
#include "ports/random.h"
#include "ports/settings_backend.h"
#include "ports/wallpaper.h"

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
  Wallpaper& wallpaper;
  const PathRules& pathRules;
  const Locale& locale;
};

}  // namespace tessarin::ports
