// The Linux program: wires the Linux platform into the program's logic.

#include "linux/desktops/linux_wallpaper.h"
#include "linux/gui_loader.h"
#include "linux/ini_settings.h"
#include "linux/linux_config_window.h"
#include "linux/linux_files.h"
#include "linux/linux_locale.h"
#include "linux/linux_messages.h"
#include "linux/linux_path_rules.h"
#include "linux/linux_process.h"
#include "linux/linux_random.h"
#include "linux/metafile_renderer.h"
#include "linux/picture_sandbox/linux_pictures.h"
#include "ports/platform.h"
#include "run/program.h"

int main(int argc, char** argv) {
  using namespace tessarin::linux_platform;
  using namespace tessarin::linux_platform::desktops;
  using tessarin::linux_platform::picture_sandbox::LinuxPictures;
  // The GUI module is loaded only when a box or the window is first shown.
  GuiLoader gui = GuiLoader::ForThisProcess();
  LinuxProcess process(argc, argv);
  LinuxMessages messages(gui);
  IniSettings settings;
  LinuxFiles files;
  // The program's own decode limits, one allowance for every picture it
  // holds, and the metafile module loaded when a metafile is first opened.
  tessarin::pictures::DecodeSetup decoding({}, MetafileRendererOfThisProcess());
  LinuxPictures pictures(files.Inputs(), decoding);
  LinuxRandom random;
  const Environment environment = Environment::OfThisProcess();
  ProcessToolRunner desktopTools(environment);
  LinuxWallpaper wallpaper(environment, desktopTools, pictures);
  LinuxPathRules pathRules;
  LinuxLocale locale;
  LinuxConfigWindow configWindow(gui, settings, pathRules);
  const tessarin::ports::Platform platform{process,  messages, configWindow, settings,  files,
                                           pictures, random,   wallpaper,    pathRules, locale};
  // The one place the process ends.
  LinuxProcess::EndProgram(tessarin::run::RunProgram(platform));
}
