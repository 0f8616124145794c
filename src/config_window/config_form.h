#pragma once

#include "config_window/config_view.h"
#include "ports/conventions.h"
#include "base/exit_code.h"
#include "ports/settings_backend.h"

namespace tessarin {

// The configuration window's behaviour, whatever toolkit draws it: the boxes
// are filled from the settings on load, saved on OK, and closing the window
// ends the run.
class ConfigForm {
 public:
  ConfigForm(ports::SettingsBackend& settings, const ports::Conventions& conventions,
             ConfigView& view)
      : settings_(settings), conventions_(conventions), view_(view) {}

  // Fills each box from its key, empty when the key is missing.
  void Load();
  // Saves every non-blank box under its key, then closes the window.
  void OkPressed();
  // The window closed, for whatever reason: the status the run ends with.
  ExitCode Unload();

 private:
  ports::SettingsBackend& settings_;
  const ports::Conventions& conventions_;
  ConfigView& view_;
};

}  // namespace tessarin
