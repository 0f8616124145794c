#pragma once

#include <exception>
#include <memory>
#include <optional>

#include "config_window/config_form.h"
#include "platform/config_window.h"
#include "platform/linux/gui_loader.h"

namespace tessarin::linux_platform {

// The configuration window on Linux: the module's Qt window driven by
// ConfigForm. Open only shows it; RunUntilClosed, called once Main has
// returned, runs the event loop until the window closes, and the entry point
// then ends the program with the status it returns. Without a display Open
// throws a Failure whose status is ExitCode::NoDisplay.
class LinuxConfigWindow : public platform::ConfigWindow, private ConfigWindowEvents {
 public:
  LinuxConfigWindow(GuiLoader& gui, platform::SettingsBackend& settings,
                    platform::Process& process, const platform::Conventions& conventions);
  ~LinuxConfigWindow() override;

  void Open() override;

  // The status the window's unload ended the program with (ExitCode::Done at
  // once when the window was never opened), or rethrows the failure that
  // stopped one of its events.
  ExitCode RunUntilClosed();

 private:
  // The form's end of the program, taken inside an event: the event loop is
  // left first and the program ends outside it, as no exception may cross Qt.
  struct EndRequest {
    ExitCode status;
  };
  class EndAfterTheLoop : public platform::Process {
   public:
    explicit EndAfterTheLoop(platform::Process& process) : process_(process) {}
    std::string CommandLine() const override { return process_.CommandLine(); }
    [[noreturn]] void EndProgram(ExitCode status) override { throw EndRequest{status}; }

   private:
    platform::Process& process_;
  };

  void OkPressed() override;
  void Closed() override;
  template <typename Event>
  void Guarded(Event event);

  GuiLoader& gui_;
  platform::SettingsBackend& settings_;
  platform::Process& process_;
  const platform::Conventions& conventions_;
  EndAfterTheLoop endAfterTheLoop_;
  std::unique_ptr<ConfigWindowWidget> widget_;
  std::optional<ConfigForm> form_;
  // How the window's life ended; the first outcome wins.
  std::optional<ExitCode> end_;
  std::exception_ptr failure_;
};

}  // namespace tessarin::linux_platform
