#include "linux/config_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/failure.h"
#include "settings/settings.h"

namespace tessarin::linux_platform {
namespace {

std::string VariableValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

std::filesystem::path PasswdHome() {
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
  if (found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] == '\0') {
    throw Failure(FailureKind::Platform,
                  "no home folder: HOME is not set and the user has no passwd entry");
  }
  return found->pw_dir;
}

}  // namespace

std::filesystem::path ConfigHome() {
  return ConfigHome(VariableValue("XDG_CONFIG_HOME"), VariableValue("HOME"));
}

std::filesystem::path ConfigHome(const std::string& xdgConfigHome, const std::string& home) {
  const std::filesystem::path xdg = xdgConfigHome;
  if (xdg.is_absolute()) return xdg;
  return (home.empty() ? PasswdHome() : std::filesystem::path(home)) / ".config";
}

std::filesystem::path ProgramConfigFolder() { return ConfigHome() / settings::kApplication; }

}  // namespace tessarin::linux_platform
