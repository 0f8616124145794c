#pragma once

#include <exception>
#include <memory>
#include <optional>

#include "config_window/config_form.h"
#include "platform/config_window.h"
#include "platform/linux/gui_loader.h"

namespace tessarin::linux_platform {

// The configuration window on Linux: the module's Qt window driven by
// ConfigForm, under the contract of platform::ConfigWindow. Without a display
// the window cannot open: Open throws a Failure whose status is
// ExitCode::NoDisplay.
class LinuxConfigWindow : public platform::ConfigWindow, private ConfigWindowEvents {
 public:
  LinuxConfigWindow(GuiLoader& gui, platform::SettingsBackend& settings,
                    const platform::Conventions& conventions);
  ~LinuxConfigWindow() override;

  void Open() override;
  ExitCode RunUntilClosed() override;

 private:
  void OkPressed() override;
  void Closed() override;
  template <typename Event>
  void Guarded(Event event);

  GuiLoader& gui_;
  platform::SettingsBackend& settings_;
  const platform::Conventions& conventions_;
  std::unique_ptr<ConfigWindowWidget> widget_;
  std::optional<ConfigForm> form_;
  // How the window's life ended; the first outcome wins.
  std::optional<ExitCode> end_;
  std::exception_ptr failure_;
};

}  // namespace tessarin::linux_platform
