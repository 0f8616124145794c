#include "windows/registry_writer.h"

#include <gtest/gtest.h>

#include <set>

#include "support/bytes.h"
#include "support/fake_platform.h"

namespace tessarin::testing {
namespace {

// Every call in order, with keys as they were opened.
class FakeRegistry : public windows_platform::Registry {
 public:
  struct Call {
    std::string operation;  // "open", "set", "close"
    std::string keyOrName;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    windows_platform::RegistryKey key = 0;
  };
  std::set<std::string> existingKeys = {"Control Panel\\desktop"};
  std::vector<Call> calls;

  std::int32_t OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                  windows_platform::RegistryKey& key) override {
    calls.push_back({"open", subkey, access, {}, 0});
    if (existingKeys.count(subkey) == 0) return 2;
    key = 42;
    return 0;
  }
  std::int32_t SetValue(windows_platform::RegistryKey key, const std::string& name,
                        std::uint32_t type, std::span<const std::uint8_t> data) override {
    calls.push_back({"set", name, type, {data.begin(), data.end()}, key});
    return key == 42 ? 0 : 6;
  }
  std::int32_t CloseKey(windows_platform::RegistryKey key) override {
    calls.push_back({"close", "", 0, {}, key});
    return key == 42 ? 0 : 6;
  }
};

TEST(WriteRegistryValue, TextIsStoredWithOneNulCountedInItsSize) {
  FakeRegistry registry;
  FakeLocale locale;
  EXPECT_EQ(WriteRegistryValue(registry, locale, 42, "Wallpaper", 1, "c:\\a.bmp"), 0);
  ASSERT_EQ(registry.calls.size(), 1u);
  EXPECT_EQ(registry.calls[0].type, 1u);
  EXPECT_EQ(registry.calls[0].data, (Bytes{'c', ':', '\\', 'a', '.', 'b', 'm', 'p', 0}));
}

TEST(WriteRegistryValue, NumbersAreStoredAsFourLittleEndianBytes) {
  FakeRegistry registry;
  FakeLocale locale;
  WriteRegistryValue(registry, locale, 42, "N", 4, "7");
  WriteRegistryValue(registry, locale, 42, "N", 4, " -2 ");
  EXPECT_EQ(registry.calls[0].data, (Bytes{7, 0, 0, 0}));
  EXPECT_EQ(registry.calls[1].data, (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_THROW(WriteRegistryValue(registry, locale, 42, "N", 4, "seven"), Failure);
}

TEST(WriteRegistryValue, OtherTypesWriteNothingAndReturnZero) {
  FakeRegistry registry;
  FakeLocale locale;
  EXPECT_EQ(WriteRegistryValue(registry, locale, 42, "N", 2, "%PATH%"), 0);
  EXPECT_TRUE(registry.calls.empty());
}

TEST(WriteCurrentUserValue, OpensWritesAndClosesWithTheGivenAccessAndIgnoresFailures) {
  FakeRegistry registry;
  FakeLocale locale;
  WriteCurrentUserValue(registry, locale, "Control Panel\\desktop", "Wallpaper", "x", 1);
  ASSERT_EQ(registry.calls.size(), 3u);
  EXPECT_EQ(registry.calls[0].operation, "open");
  EXPECT_EQ(registry.calls[0].type, 0x3Fu);  // the access mask
  EXPECT_EQ(registry.calls[1].key, 42u);
  EXPECT_EQ(registry.calls[2].operation, "close");

  // A key that cannot be opened is not created; the write goes to no key.
  registry.calls.clear();
  WriteCurrentUserValue(registry, locale, "Software\\Missing", "V", "x", 1);
  ASSERT_EQ(registry.calls.size(), 3u);
  EXPECT_EQ(registry.calls[1].key, 0u);
}

}  // namespace
}  // namespace tessarin::testing
