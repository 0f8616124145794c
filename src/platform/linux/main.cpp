// The Linux program: wires the Linux platform into the program's logic.

#include "platform/exit_code.h"
#include "platform/linux/desktop_linux.h"
#include "platform/linux/ini_settings.h"
#include "platform/linux/linux_conventions.h"
#include "platform/linux/linux_files.h"
#include "platform/linux/linux_pictures.h"
#include "platform/linux/linux_process.h"
#include "platform/linux/linux_random.h"
#include "platform/linux/registry_file.h"
#include "platform/linux/stderr_messages.h"
#include "platform/platform.h"
#include "run/program.h"

int main(int argc, char** argv) {
  using namespace tessarin::linux_platform;
  LinuxProcess process(argc, argv);
  StderrMessages messages;
  NoDisplayConfigWindow configWindow(process);
  IniSettings settings;
  LinuxFiles files;
  LinuxPictures pictures(files);
  LinuxRandom random;
  ProcessToolRunner desktopTools(Environment::OfThisProcess());
  LinuxDesktop desktop(Environment::OfThisProcess(), desktopTools, pictures);
  RegistryFile registry;
  LinuxConventions conventions;
  const tessarin::platform::Platform platform{process, messages, configWindow, settings, files,
                                              pictures, random,   desktop,      registry, conventions};
  tessarin::RunProgram(platform);
  // Main returned without ending the program: the first-run notice was shown.
  return static_cast<int>(tessarin::ExitCode::Done);
}
