#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "linux/gui_module.h"

namespace tessarin::linux_platform {

// Loads the GUI module on first need, once per process. Nothing is loaded
// without a display, and a module that is missing, fails to load or finds no
// display leaves the program on stderr alone.
class GuiLoader {
 public:
  GuiLoader(std::vector<std::filesystem::path> candidates, bool displayPresent)
      : candidates_(std::move(candidates)), displayPresent_(displayPresent) {}

  // The module beside this executable or in ../lib/tessarin, and the display
  // named by DISPLAY or WAYLAND_DISPLAY.
  static GuiLoader ForThisProcess();

  // The started toolkit, or null when there is none to be had.
  GuiModule* Module();

 private:
  std::vector<std::filesystem::path> candidates_;
  bool displayPresent_;
  std::optional<std::unique_ptr<GuiModule>> module_;
};

// Whether the environment names a display: DISPLAY or WAYLAND_DISPLAY set and
// not empty.
bool DisplayNamed();

}  // namespace tessarin::linux_platform
