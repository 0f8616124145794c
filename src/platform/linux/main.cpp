// The Linux program: wires the Linux platform into the program's logic.

#include "platform/exit_code.h"
#include "platform/failure.h"
#include "platform/linux/desktops/linux_desktop.h"
#include "platform/linux/gui_loader.h"
#include "platform/linux/ini_settings.h"
#include "platform/linux/linux_config_window.h"
#include "platform/linux/linux_conventions.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_messages.h"
#include "platform/linux/linux_pictures.h"
#include "platform/linux/linux_process.h"
#include "platform/linux/linux_random.h"
#include "platform/linux/registry_file.h"
#include "platform/platform.h"
#include "run/program.h"

namespace {

// The configuration window's life after Main has returned: its close ends the
// program, and a failure in one of its events stops the run as in Main.
[[noreturn]] void RunConfigWindow(const tessarin::platform::Platform& platform,
                                  tessarin::linux_platform::LinuxConfigWindow& window) {
  try {
    tessarin::EndProgram(platform, window.RunUntilClosed());
  } catch (const tessarin::Failure& failure) {
    tessarin::StopOnFailure(platform, failure.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessarin::linux_platform;
  // The GUI module is loaded only when a box or the window is first shown.
  GuiLoader gui = GuiLoader::ForThisProcess();
  LinuxProcess process(argc, argv);
  LinuxMessages messages(gui);
  IniSettings settings;
  LinuxFiles files;
  LinuxPictures pictures(files);
  LinuxRandom random;
  const Environment environment = Environment::OfThisProcess();
  ProcessToolRunner desktopTools(environment);
  LinuxDesktop desktop(environment, desktopTools, pictures);
  RegistryFile registry;
  LinuxConventions conventions;
  LinuxConfigWindow configWindow(gui, settings, process, conventions);
  const tessarin::platform::Platform platform{process, messages, configWindow, settings, files,
                                              pictures, random,   desktop,      registry, conventions};
  tessarin::RunProgram(platform);
  // Main returned without ending the program: the first-run notice was shown,
  // or the configuration window is open and the run lasts until it closes.
  RunConfigWindow(platform, configWindow);
}
