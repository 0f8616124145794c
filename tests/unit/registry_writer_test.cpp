#include "wallpaper/registry_writer.h"

#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/fake_platform.h"
#include "wallpaper/install_wallpaper.h"

namespace tessarin::testing {
namespace {


TEST(WriteRegistryValue, TextIsStoredWithOneNulCountedInItsSize) {
  FakeRegistry registry;
  FakeConventions conventions;
  EXPECT_EQ(registry_writer::WriteRegistryValue(registry, conventions, 42, "Wallpaper", 1, "c:\\a.bmp"), 0);
  ASSERT_EQ(registry.calls.size(), 1u);
  EXPECT_EQ(registry.calls[0].type, 1u);
  EXPECT_EQ(registry.calls[0].data, (Bytes{'c', ':', '\\', 'a', '.', 'b', 'm', 'p', 0}));
}

TEST(WriteRegistryValue, NumbersAreStoredAsFourLittleEndianBytes) {
  FakeRegistry registry;
  FakeConventions conventions;
  registry_writer::WriteRegistryValue(registry, conventions, 42, "N", 4, "7");
  registry_writer::WriteRegistryValue(registry, conventions, 42, "N", 4, " -2 ");
  EXPECT_EQ(registry.calls[0].data, (Bytes{7, 0, 0, 0}));
  EXPECT_EQ(registry.calls[1].data, (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_THROW(registry_writer::WriteRegistryValue(registry, conventions, 42, "N", 4, "seven"), Failure);
}

TEST(WriteRegistryValue, OtherTypesWriteNothingAndReturnZero) {
  FakeRegistry registry;
  FakeConventions conventions;
  EXPECT_EQ(registry_writer::WriteRegistryValue(registry, conventions, 42, "N", 2, "%PATH%"), 0);
  EXPECT_TRUE(registry.calls.empty());
}

TEST(WriteCurrentUserValue, OpensWritesAndClosesWithTheGivenAccessAndIgnoresFailures) {
  FakeRegistry registry;
  FakeConventions conventions;
  registry_writer::WriteCurrentUserValue(registry, conventions, "Control Panel\\desktop", "Wallpaper", "x",
                                  1);
  ASSERT_EQ(registry.calls.size(), 3u);
  EXPECT_EQ(registry.calls[0].operation, "open");
  EXPECT_EQ(registry.calls[0].type, 0x3Fu);  // the access mask
  EXPECT_EQ(registry.calls[1].key, 42u);
  EXPECT_EQ(registry.calls[2].operation, "close");

  // A key that cannot be opened is not created; the write goes to no key.
  registry.calls.clear();
  registry_writer::WriteCurrentUserValue(registry, conventions, "Software\\Missing", "V", "x", 1);
  ASSERT_EQ(registry.calls.size(), 3u);
  EXPECT_EQ(registry.calls[1].key, 0u);
}

TEST(InstallWallpaper, ShowsNowThenRecordsTheLowerCasedPathWhereCaseIsIgnored) {
  FakePlatform fake;
  fake.conventions.ignoreCase = true;
  InstallWallpaper(fake.platform, "C:\\Walls\\Out.BMP");
  EXPECT_EQ(fake.desktop.applied, std::vector<std::string>{"c:\\walls\\out.bmp"});
  ASSERT_EQ(fake.registry.calls.size(), 3u);
  EXPECT_EQ(fake.registry.calls[0].keyOrName, "Control Panel\\desktop");
  EXPECT_EQ(fake.registry.calls[1].keyOrName, "Wallpaper");
  const std::string stored(fake.registry.calls[1].data.begin(), fake.registry.calls[1].data.end());
  EXPECT_EQ(stored, std::string("c:\\walls\\out.bmp") + '\0');
}

TEST(InstallWallpaper, KeepsThePathAsGivenWhereCaseNamesAnotherFileAndRelativeStaysRelative) {
  FakePlatform fake;
  InstallWallpaper(fake.platform, "Walls/Out.BMP");
  EXPECT_EQ(fake.desktop.applied, std::vector<std::string>{"Walls/Out.BMP"});
  const std::string stored(fake.registry.calls[1].data.begin(), fake.registry.calls[1].data.end());
  EXPECT_EQ(stored, std::string("Walls/Out.BMP") + '\0');
}

}  // namespace
}  // namespace tessarin::testing
