#pragma once

#include <filesystem>
#include <string>

namespace tessarin::linux_platform {

// The user's configuration home: $XDG_CONFIG_HOME when it is an absolute path
// (a relative or empty value is ignored, as the XDG rule asks), else
// $HOME/.config, else the passwd entry's home + /.config. Throws Failure when
// the user has no home at all.
std::filesystem::path ConfigHome();
// The same rule for the given values of XDG_CONFIG_HOME and HOME.
std::filesystem::path ConfigHome(const std::string& xdgConfigHome, const std::string& home);

// The folder holding the program's own files: ConfigHome()/Tessarin.
std::filesystem::path ProgramConfigFolder();

}  // namespace tessarin::linux_platform
