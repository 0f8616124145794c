#include "linux/registry_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "linux/temporary_config_home.h"
#include "support/bytes.h"

namespace tessarin::linux_platform {
namespace {

using tessarin::testing::ReadWholeFile;
using tessarin::testing::TemporaryConfigHome;
using tessarin::testing::WriteWholeFile;
namespace status = registry_status;

constexpr std::uint32_t kAllAccess = 0x3F;
constexpr std::uint32_t kQueryValue = 0x1;
constexpr const char* kDesktop = "Control Panel\\desktop";
constexpr const char* kHeader = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\desktop]\n";

using testing::BytesOf;

class RegistryFileTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return home_.ProgramFolder() / "registry.reg"; }
  ports::RegistryKey Open(const std::string& subkey, std::uint32_t access = kAllAccess) {
    ports::RegistryKey key = 0;
    EXPECT_EQ(registry_.OpenCurrentUserKey(subkey, access, key), status::kSuccess) << subkey;
    EXPECT_NE(key, 0u);
    return key;
  }
  std::int32_t Set(ports::RegistryKey key, const std::string& name, std::uint32_t type,
                   const std::vector<std::uint8_t>& data) {
    return registry_.SetValue(key, name, type, data);
  }

  TemporaryConfigHome home_;
  RegistryFile registry_;
};

TEST_F(RegistryFileTest, AWallpaperPathIsStoredAsQuotedText) {
  EXPECT_EQ(RegistryFile::File(), File());
  const auto key = Open(kDesktop);
  EXPECT_EQ(Set(key, "Wallpaper", 1, BytesOf(std::string("/home/u/out.bmp") + '\0')),
            status::kSuccess);
  EXPECT_EQ(ReadWholeFile(File()), std::string(kHeader) + "\"Wallpaper\"=\"/home/u/out.bmp\"\n");
  EXPECT_EQ(registry_.CloseKey(key), status::kSuccess);
  EXPECT_EQ(registry_.CloseKey(key), status::kInvalidHandle);
}

TEST_F(RegistryFileTest, KeyAndValueNamesIgnoreLetterCaseAndKeepTheFirstSpelling) {
  const auto key = Open("CONTROL PANEL\\Desktop");
  EXPECT_EQ(Set(key, "Wallpaper", 1, BytesOf(std::string("a") + '\0')), status::kSuccess);
  EXPECT_EQ(Set(key, "WALLPAPER", 1, BytesOf(std::string("b") + '\0')), status::kSuccess);
  EXPECT_EQ(ReadWholeFile(File()), std::string(kHeader) + "\"Wallpaper\"=\"b\"\n");
  const auto another = Open("control panel\\DESKTOP");
  EXPECT_NE(another, key);
}

TEST_F(RegistryFileTest, AMissingKeyIsNeitherOpenedNorCreated) {
  ports::RegistryKey key = 1234;
  EXPECT_EQ(registry_.OpenCurrentUserKey("Software\\Tessarin", kAllAccess, key),
            status::kFileNotFound);
  EXPECT_EQ(key, 1234u);
  EXPECT_FALSE(std::filesystem::exists(File()));
  Set(Open(kDesktop), "Wallpaper", 1, BytesOf(std::string("x") + '\0'));
  EXPECT_EQ(ReadWholeFile(File()).find("Software"), std::string::npos);
}

TEST_F(RegistryFileTest, StatusCodesFollowTheHandleAndItsAccess) {
  const std::vector<std::uint8_t> text = BytesOf(std::string("x") + '\0');
  EXPECT_EQ(Set(0, "Wallpaper", 1, text), status::kInvalidHandle);
  EXPECT_EQ(Set(999, "Wallpaper", 1, text), status::kInvalidHandle);
  EXPECT_EQ(registry_.CloseKey(999), status::kInvalidHandle);
  EXPECT_EQ(Set(Open(kDesktop, kQueryValue), "Wallpaper", 1, text), status::kAccessDenied);
  EXPECT_EQ(Set(Open(kDesktop), "Two\nLines", 1, text), status::kInvalidParameter);
  EXPECT_FALSE(std::filesystem::exists(File()));

  const auto key = Open(kDesktop);
  std::filesystem::create_directories(File());  // the file cannot be replaced now
  EXPECT_EQ(Set(key, "Wallpaper", 1, text), status::kIoFailed);
  ports::RegistryKey unchanged = 0;
  EXPECT_EQ(registry_.OpenCurrentUserKey(kDesktop, kAllAccess, unchanged), status::kIoFailed);
  EXPECT_EQ(unchanged, 0u);
}

TEST_F(RegistryFileTest, EveryValueKeepsItsTypeAndBytes) {
  const auto key = Open(kDesktop);
  Set(key, "Count", 4, {7, 0, 0, 0});
  Set(key, "Order", 4, {0x78, 0x56, 0x34, 0x12});
  Set(key, "Expand", 2, {'A', 0});
  Set(key, "NoNul", 1, {'a', 'b'});
  Set(key, "Tab", 1, {'a', '\t', 0});
  Set(key, "Quote \"q\\", 1, BytesOf(std::string("C:\\a \"b\" \xc3\xa9") + '\0'));
  Set(key, "Raw", 3, {0x01, 0xff});
  Set(key, "Short", 4, {1, 2});
  Set(key, "", 11, {});
  const std::string expected = std::string(kHeader) +
                               "\"Count\"=dword:00000007\n"
                               "\"Order\"=dword:12345678\n"
                               "\"Expand\"=hex(2):41,00\n"
                               "\"NoNul\"=hex(1):61,62\n"
                               "\"Tab\"=hex(1):61,09,00\n"
                               "\"Quote \\\"q\\\\\"=\"C:\\\\a \\\"b\\\" \xc3\xa9\"\n"
                               "\"Raw\"=hex:01,ff\n"
                               "\"Short\"=hex(4):01,02\n"
                               "@=hex(b):\n";
  EXPECT_EQ(ReadWholeFile(File()), expected);
  // Another process reads every value back and writes it out unchanged.
  RegistryFile again;
  ports::RegistryKey other = 0;
  ASSERT_EQ(again.OpenCurrentUserKey(kDesktop, kAllAccess, other), status::kSuccess);
  EXPECT_EQ(again.SetValue(other, "Last", 4, std::vector<std::uint8_t>{0, 0, 0, 0x80}),
            status::kSuccess);
  EXPECT_EQ(ReadWholeFile(File()), expected + "\"Last\"=dword:80000000\n");
}

// The file is shared with people and other tools: a write changes only the
// lines of its own value and keeps every other line byte for byte.
TEST_F(RegistryFileTest, ADamagedFileKeepsWhatCanBeRead) {
  std::filesystem::create_directories(File().parent_path());
  // A new value goes after the key's last line that names a value.
  const std::string damaged =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Control Panel\\desktop]\r\n"
      "\"Good\"=\"yes\"\r\n"
      "\"Unclosed=\"no\n"
      "\"BadHex\"=hex(2):4g,00\n"
      "\"Long\"=dword:123456789\n"
      "\"Trailing\"=\"x\"junk\n"
      "\"Dangling\"=\"a\\\n"
      "\"NoType\"=hex(:00\n";
  const std::string rest =
      "garbage \x01\xff\n"
      "[HKEY_LOCAL_MACHINE\\Software]\n"
      "\"Elsewhere\"=\"x\"\n"
      "[HKEY_CURRENT_USER\\Broken\n"
      "\"Orphan\"=dword:00000001\n"
      "[HKEY_CURRENT_USER\\Software\\Kept]\n"
      "@=\"default\"";
  WriteWholeFile(File(), damaged + rest);
  EXPECT_EQ(Set(Open(kDesktop), "New", 4, {1, 0, 0, 0}), status::kSuccess);
  EXPECT_EQ(ReadWholeFile(File()), damaged + "\"New\"=dword:00000001\n" + rest);
  ports::RegistryKey key = 0;
  EXPECT_EQ(registry_.OpenCurrentUserKey("Broken", kAllAccess, key), status::kFileNotFound);
}

TEST_F(RegistryFileTest, CommentsContinuedValuesAndOtherRootsAreKeptByteForByte) {
  std::filesystem::create_directories(File().parent_path());
  const std::string head =
      "REGEDIT4\r\n"
      "; written by hand\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Vendor]\r\n"
      "\"Wallpaper\"=\"not the user's\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Control Panel\\desktop]\r\n"
      "\"Pattern\"=hex:01,02,03,\\\r\n"
      "  04,05\r\n"
      "# another comment\r\n";
  const std::string oldWallpaper = "\"wallPAPER\"=hex(2):2f,00,\\\r\n  61,00\r\n";
  const std::string tail = "\"TileWallpaper\"=\"0\"\r\n\r\n[HKEY_USERS\\.DEFAULT]\n\"X\"=dword:00000001";
  WriteWholeFile(File(), head + oldWallpaper + tail);
  const auto key = Open(kDesktop);
  EXPECT_EQ(Set(key, "Wallpaper", 1, BytesOf(std::string("/w.bmp") + '\0')), status::kSuccess);
  EXPECT_EQ(Set(key, "New", 4, {1, 0, 0, 0}), status::kSuccess);
  const std::string newLines = "\"wallPAPER\"=\"/w.bmp\"\r\n\"TileWallpaper\"=\"0\"\r\n\"New\"=dword:00000001\r\n";
  EXPECT_EQ(ReadWholeFile(File()), head + newLines + tail.substr(tail.find("\r\n") + 2));
}

}  // namespace
}  // namespace tessarin::linux_platform
