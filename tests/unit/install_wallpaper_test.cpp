#include "wallpaper/install_wallpaper.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace tessarin::testing {
namespace {

TEST(InstallWallpaper, HandsTheLowerCasedPathToThePlatformWhereCaseIsIgnored) {
  FakePlatform fake;
  fake.pathRules.ignoreCase = true;
  wallpaper::InstallWallpaper(fake.platform, "C:\\Walls\\Out.BMP");
  EXPECT_EQ(fake.wallpaper.installed, std::vector<std::string>{"c:\\walls\\out.bmp"});
}

TEST(InstallWallpaper, KeepsThePathAsGivenWhereCaseNamesAnotherFileAndRelativeStaysRelative) {
  FakePlatform fake;
  wallpaper::InstallWallpaper(fake.platform, "Walls/Out.BMP");
  EXPECT_EQ(fake.wallpaper.installed, std::vector<std::string>{"Walls/Out.BMP"});
}

}  // namespace
}  // namespace tessarin::testing
