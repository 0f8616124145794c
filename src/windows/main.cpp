// The Windows program: wires the Win32 platform into the program's logic.

#include <windows.h>

#include "ports/platform.h"
#include "run/program.h"
#include "windows/ole_pictures.h"
#include "windows/registry_settings.h"
#include "windows/run_bounds.h"
#include "windows/win32_config_window.h"
#include "windows/win32_files.h"
#include "windows/win32_locale.h"
#include "windows/win32_messages.h"
#include "windows/win32_path_rules.h"
#include "windows/win32_process.h"
#include "windows/win32_random.h"
#include "windows/win32_registry.h"
#include "windows/win32_wallpaper.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace tessarin::windows_platform;
  // The window's pixel sizes are scaled by the screen's DPI here, not by the system.
  SetProcessDPIAware();
  // The system's decoders run in this process: the whole run is what is bounded.
  PlaceRunInMemoryJob();
  Win32Process process;
  Win32Messages messages;
  RegistrySettings settings;
  Win32Files files;
  const tessarin::limits::DecodeLimits decodeLimits;  // the program's own
  OlePictures pictures(files, decodeLimits);
  Win32Random random;
  Win32PathRules pathRules;
  Win32Locale locale;
  Win32Registry registry;
  Win32Wallpaper wallpaper(registry, locale);
  Win32ConfigWindow configWindow(instance, settings, pathRules);
  const tessarin::ports::Platform platform{process,  messages, configWindow, settings,  files,
                                           pictures, random,   wallpaper,    pathRules, locale};
  // The one place the process ends.
  Win32Process::EndProgram(tessarin::run::RunProgram(platform));
}
