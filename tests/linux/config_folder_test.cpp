#include "linux/config_folder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "linux/temporary_config_home.h"

namespace tessarin::linux_platform {
namespace {

using tessarin::testing::ScopedEnvironment;

TEST(ConfigHome, TakesXdgConfigHomeOnlyWhenItIsAnAbsolutePath) {
  const ScopedEnvironment home("HOME", "/home/someone");
  {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", "/elsewhere/config");
    EXPECT_EQ(ConfigHome(), "/elsewhere/config");
    EXPECT_EQ(ProgramConfigFolder(), "/elsewhere/config/Tessarin");
  }
  for (const char* ignored : {"relative/config", ""}) {
    const ScopedEnvironment xdg("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(ConfigHome(), "/home/someone/.config") << "XDG_CONFIG_HOME=" << ignored;
  }
  const ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(ConfigHome(), "/home/someone/.config");
}

TEST(ConfigHome, FallsBackToThePasswdHomeWithoutHome) {
  const passwd* entry = ::getpwuid(::getuid());
  ASSERT_NE(entry, nullptr);
  const std::filesystem::path expected = std::filesystem::path(entry->pw_dir) / ".config";
  const ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
  {
    const ScopedEnvironment unset("HOME", std::nullopt);
    EXPECT_EQ(ConfigHome(), expected);
  }
  const ScopedEnvironment empty("HOME", "");
  EXPECT_EQ(ConfigHome(), expected);
}

}  // namespace
}  // namespace tessarin::linux_platform
