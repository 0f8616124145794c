#pragma once

#include <memory>
#include <optional>

#include "config_window/config_form.h"
#include "config_window/window_outcome.h"
#include "linux/gui_loader.h"
#include "ports/config_window.h"

namespace tessarin::linux_platform {

// The configuration window on Linux: the module's Qt window driven by
// ConfigForm, under the contract of ports::ConfigWindow. Without a display
// the window cannot open: Open throws a Failure whose status is
// ExitCode::NoDisplay.
class LinuxConfigWindow : public ports::ConfigWindow, private ConfigWindowEvents {
 public:
  LinuxConfigWindow(GuiLoader& gui, ports::SettingsBackend& settings,
                    const ports::PathRules& pathRules);
  ~LinuxConfigWindow() override;

  void Open() override;
  ExitCode RunUntilClosed() override;

 private:
  void OkPressed() override;
  void Closed() override;
  template <typename Event>
  void Guarded(Event event);

  GuiLoader& gui_;
  ports::SettingsBackend& settings_;
  const ports::PathRules& pathRules_;
  std::unique_ptr<ConfigWindowWidget> widget_;
  std::optional<config_window::ConfigForm> form_;
  config_window::WindowOutcome outcome_;
};

}  // namespace tessarin::linux_platform
