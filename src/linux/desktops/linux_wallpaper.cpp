#include "linux/desktops/linux_wallpaper.h"

#include "linux/desktops/desktop_values.h"

namespace tessarin::linux_platform::desktops {

void DesktopTools::ReportMismatch(const std::string& setting, const std::string& expected,
                                  const std::string& found) const {
  Report(setting + " reads " + found + " instead of " + expected);
}

void DesktopTools::Report(const std::string& problem) const {
  report("Tessarin: the wallpaper may not show: " + problem);
}

void LinuxWallpaper::ShowAndKeep(const std::string& path) {
  try {
    const Desktop* desktop = ChooseDesktop(environment_, desktops_);
    if (desktop == nullptr) return;
    ApplyDesktop(*desktop, {tools_, report_, environment_, pictures_}, RealPath(path));
  } catch (...) {
    // The wallpaper is a courtesy to a run whose file is written: nothing stops it here.
  }
}

}  // namespace tessarin::linux_platform::desktops
