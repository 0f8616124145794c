#pragma once

#include "base/exit_code.h"
#include "config_window/config_view.h"
#include "ports/path_rules.h"
#include "ports/settings_backend.h"

namespace tessarin::config_window {

// The configuration window's behaviour, whatever toolkit draws it: the boxes
// are filled from the settings on load, saved on OK, and closing the window
// ends the run.
class ConfigForm {
 public:
  ConfigForm(ports::SettingsBackend& settings, const ports::PathRules& pathRules, ConfigView& view)
      : settings_(settings), pathRules_(pathRules), view_(view) {}

  // Fills each box from its key, empty when the key is missing.
  void Load();
  // Saves every non-blank box under its key, then closes the window.
  void OkPressed();
  // The window closed, for whatever reason: the status the run ends with.
  ExitCode Unload();

 private:
  ports::SettingsBackend& settings_;
  const ports::PathRules& pathRules_;
  ConfigView& view_;
};

}  // namespace tessarin::config_window
