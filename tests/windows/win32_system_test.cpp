// The Win32 platform's command line, settings, registry and text conventions.

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/failure.h"
#include "platform/win32/registry_settings.h"
#include "platform/win32/win32_conventions.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_process.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_text.h"

namespace tessarin::win32_platform {
namespace {

TEST(ArgumentsOf, RemovesTheProgramsNameAndTheBlanksAfterIt) {
  EXPECT_EQ(ArgumentsOf(L"tessarin.exe /C"), "/C");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\Tessarin\\tessarin.exe\" /c"), "/c");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\My Tools\"\\tessarin.exe  \t a.bmp"), "a.bmp");
  EXPECT_EQ(ArgumentsOf(L"  tessarin.exe a"), "a");
}

TEST(ArgumentsOf, KeepsTheRestAsItStands) {
  EXPECT_EQ(ArgumentsOf(L"tessarin a.bmp,  \"b c.jpg\" , 1,2 , 3, 4, o.bmp "),
            "a.bmp,  \"b c.jpg\" , 1,2 , 3, 4, o.bmp ");
  EXPECT_EQ(ArgumentsOf(L"tessarin C:\\Bilder\\Grün.bmp"), "C:\\Bilder\\Grün.bmp");
}

TEST(ArgumentsOf, NothingAfterTheName) {
  EXPECT_EQ(ArgumentsOf(L"tessarin.exe"), "");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\a b\\tessarin.exe\"   "), "");
  EXPECT_EQ(ArgumentsOf(L"\"unterminated name"), "");
  EXPECT_EQ(ArgumentsOf(L""), "");
}

// Each test uses an application of its own under HKEY_CURRENT_USER\Software.
class RegistrySettingsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, Widen("Software\\" + application).c_str());
  }
  std::string application = std::string("TessarinTest-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name();
  RegistrySettings settings;
};

TEST_F(RegistrySettingsTest, AMissingValueReadsAsTheFallback) {
  EXPECT_EQ(settings.Read(application, "App", "X", ""), "");
  EXPECT_EQ(settings.Read(application, "App", "X", "none"), "none");
}

TEST_F(RegistrySettingsTest, ValuesAreRegSzUnderSoftwareApplicationSection) {
  settings.Write(application, "App", "InsertDir", "C:\\Bilder\\Grün\\");
  settings.Write(application, "App", "X", "0");
  settings.Write(application, "App", "X", "12");
  EXPECT_EQ(settings.Read(application, "App", "InsertDir", ""), "C:\\Bilder\\Grün\\");
  EXPECT_EQ(settings.Read(application, "App", "X", ""), "12");
  EXPECT_EQ(settings.Read(application, "Other", "X", ""), "");

  DWORD type = 0;
  wchar_t text[64] = {};
  DWORD bytes = sizeof text;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, Widen("Software\\" + application + "\\App").c_str(),
                         L"X", RRF_RT_ANY, &type, text, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(text), L"12");
}

TEST_F(RegistrySettingsTest, AnEmptyValueIsStoredAndReadsAsEmpty) {
  settings.Write(application, "App", "W", "");
  EXPECT_EQ(settings.Read(application, "App", "W", "fallback"), "");
}

TEST_F(RegistrySettingsTest, ARefusedWriteIsAFailureNamingTheKey) {
  // A key name longer than the registry allows cannot be created.
  const std::string tooLong(300, 'k');
  try {
    settings.Write(application, tooLong, "X", "1");
    FAIL() << "the write was not refused";
  } catch (const Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("HKEY_CURRENT_USER\\Software\\" + application),
              std::string::npos);
  }
}

TEST(Win32Registry, WritesThroughTheAnsiEntryPoints) {
  Win32Registry registry;
  platform::RegistryKey key = 0;
  ASSERT_EQ(registry.OpenCurrentUserKey("Control Panel\\Desktop", 0x3F, key), ERROR_SUCCESS);
  ASSERT_NE(key, 0u);
  const std::string path = "c:\\walls\\test.bmp";
  const std::vector<std::uint8_t> data(path.c_str(), path.c_str() + path.size() + 1);
  EXPECT_EQ(registry.SetValue(key, "TessarinTestValue", REG_SZ, data), ERROR_SUCCESS);
  char stored[64] = {};
  DWORD size = sizeof stored;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(reinterpret_cast<HKEY>(key), "TessarinTestValue", nullptr, &type,
                             reinterpret_cast<BYTE*>(stored), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(stored), path);
  EXPECT_EQ(size, path.size() + 1);
  RegDeleteValueA(reinterpret_cast<HKEY>(key), "TessarinTestValue");
  EXPECT_EQ(registry.CloseKey(key), ERROR_SUCCESS);
}

TEST(Win32Registry, AMissingKeyIsNotCreatedAndItsHandleStaysZero) {
  Win32Registry registry;
  platform::RegistryKey key = 0;
  EXPECT_NE(registry.OpenCurrentUserKey("Software\\TessarinTest-NoSuchKey", 0x3F, key), 0);
  EXPECT_EQ(key, 0u);
  const std::vector<std::uint8_t> data = {0};
  EXPECT_NE(registry.SetValue(key, "Wallpaper", REG_SZ, data), 0);
  HKEY probe = nullptr;
  EXPECT_NE(
      RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TessarinTest-NoSuchKey", 0, KEY_READ, &probe),
      ERROR_SUCCESS);
}

TEST(Win32Conventions, WindowsPathRules) {
  Win32Conventions conventions;
  EXPECT_EQ(conventions.PathSeparator(), '\\');
  EXPECT_TRUE(conventions.FileNamesIgnoreCase());
  EXPECT_EQ(conventions.LowerCase("C:\\Walls\\Out.BMP"), "c:\\walls\\out.bmp");
  EXPECT_EQ(conventions.LowerCase("C:\\ÄÖÜ\\ΣΑΣ.BMP"), "c:\\äöü\\σασ.bmp");
}

TEST(Win32Conventions, TheDecimalSeparatorIsTheUsersOne) {
  Win32Conventions conventions;
  wchar_t expected[8] = {};
  ASSERT_GT(GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_SDECIMAL, expected, 8), 1);
  EXPECT_EQ(conventions.DecimalSeparator(), Narrow(expected));
}

TEST(Win32Conventions, TheAnsiCodePage) {
  Win32Conventions conventions;
  EXPECT_EQ(conventions.ToAnsiCodePage("c:\\walls\\out.bmp"), "c:\\walls\\out.bmp");
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  EXPECT_EQ(conventions.ToAnsiCodePage("c:\\grün"), "c:\\gr\xFCn");
}

}  // namespace
}  // namespace tessarin::win32_platform

namespace tessarin::win32_platform {
namespace {

TEST(Win32Desktop, ShowsThePathAtOnceThroughTheAnsiEntryPoint) {
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  Win32Desktop desktop;
  desktop.ApplyWallpaperNow("c:\\wände\\tessarin.bmp");
  wchar_t shown[MAX_PATH] = {};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, shown, 0));
  EXPECT_EQ(std::wstring(shown), L"c:\\wände\\tessarin.bmp");
}

}  // namespace
}  // namespace tessarin::win32_platform
