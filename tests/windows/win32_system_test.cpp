// The Win32 platform's command line, settings, registry, path rules and locale.

#include <gtest/gtest.h>
#include <windows.h>

#include "base/failure.h"
#include "windows/registry_settings.h"
#include "windows/win32_files.h"
#include "windows/win32_locale.h"
#include "windows/win32_path_rules.h"
#include "windows/win32_process.h"
#include "windows/win32_registry.h"
#include "windows/win32_text.h"
#include "windows/win32_wallpaper.h"
#include "windows/windows_temporary_folder.h"

namespace tessarin::windows_platform {
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
  RegistryKey key = 0;
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

// Text the ANSI code page holds goes through RegSetValueExA, the rest (Greek
// and Japanese with code page 1252) through RegSetValueExW: either way REG_SZ,
// read back as the same text, with its NUL counted in the stored size.
TEST(Win32Registry, StoresTextInAnyScriptAsTheSameText) {
  Win32Registry registry;
  RegistryKey key = 0;
  ASSERT_EQ(registry.OpenCurrentUserKey("Control Panel\\Desktop", 0x3F, key), ERROR_SUCCESS);
  for (const std::string path : {"c:\\wände\\out.bmp", "c:\\ωmega\\日本.bmp"}) {
    const std::vector<std::uint8_t> data(path.c_str(), path.c_str() + path.size() + 1);
    EXPECT_EQ(registry.SetValue(key, "TessarinTestValue", REG_SZ, data), ERROR_SUCCESS);
    wchar_t stored[64] = {};
    DWORD size = sizeof stored;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(reinterpret_cast<HKEY>(key), L"TessarinTestValue", nullptr, &type,
                               reinterpret_cast<BYTE*>(stored), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Narrow(stored), path);
    EXPECT_EQ(size, (Widen(path).size() + 1) * sizeof(wchar_t));
  }
  RegDeleteValueW(reinterpret_cast<HKEY>(key), L"TessarinTestValue");
  registry.CloseKey(key);
}

TEST(Win32Registry, AMissingKeyIsNotCreatedAndItsHandleStaysZero) {
  Win32Registry registry;
  RegistryKey key = 0;
  EXPECT_NE(registry.OpenCurrentUserKey("Software\\TessarinTest-NoSuchKey", 0x3F, key), 0);
  EXPECT_EQ(key, 0u);
  const std::vector<std::uint8_t> data = {0};
  EXPECT_NE(registry.SetValue(key, "Wallpaper", REG_SZ, data), 0);
  HKEY probe = nullptr;
  EXPECT_NE(
      RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TessarinTest-NoSuchKey", 0, KEY_READ, &probe),
      ERROR_SUCCESS);
}

TEST(Win32PathRules, WindowsPathRules) {
  Win32PathRules rules;
  EXPECT_EQ(rules.PathSeparator(), '\\');
  EXPECT_TRUE(rules.FileNamesIgnoreCase());
  EXPECT_EQ(rules.LowerCase("C:\\Walls\\Out.BMP"), "c:\\walls\\out.bmp");
  EXPECT_EQ(rules.LowerCase("C:\\ÄÖÜ\\ΣΑΣ.BMP"), "c:\\äöü\\σασ.bmp");
}

TEST(Win32Locale, TheDecimalSeparatorIsTheUsersOne) {
  Win32Locale locale;
  wchar_t expected[8] = {};
  ASSERT_GT(GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_SDECIMAL, expected, 8), 1);
  EXPECT_EQ(locale.DecimalSeparator(), Narrow(expected));
}

TEST(ToAnsiExactly, TextTheAnsiCodePageHoldsAndTextItLacks) {
  EXPECT_EQ(ToAnsiExactly("c:\\walls\\out.bmp"), "c:\\walls\\out.bmp");
  EXPECT_EQ(ToAnsiExactly(""), "");
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  EXPECT_EQ(ToAnsiExactly("c:\\grün"), "c:\\gr\xFCn");
  EXPECT_EQ(ToAnsiExactly("c:\\Ωmega"), std::nullopt);  // not '?', nor the look-alike 'O'
  EXPECT_EQ(ToAnsiExactly("c:\\日本"), std::nullopt);
}

}  // namespace
}  // namespace tessarin::windows_platform

namespace tessarin::windows_platform {
namespace {

std::wstring ShownWallpaper() {
  wchar_t shown[MAX_PATH] = {};
  if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, shown, 0)) return L"(none)";
  return shown;
}

// The value the next logon shows, as text.
std::string KeptWallpaper() {
  wchar_t kept[MAX_PATH] = {};
  DWORD size = sizeof kept;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\desktop", L"Wallpaper", RRF_RT_REG_SZ,
                   nullptr, kept, &size) != ERROR_SUCCESS) {
    return "(none)";
  }
  return Narrow(kept);
}

// Shown at once and kept for the next logon, through the real registry.
class Win32WallpaperTest : public ::testing::Test {
 protected:
  void ShowAndKeep(const std::string& path) {
    Win32Wallpaper(registry_, locale_).ShowAndKeep(path);
  }

 private:
  Win32Registry registry_;
  Win32Locale locale_;
};

TEST_F(Win32WallpaperTest, ShowsThePathAtOnceThroughTheAnsiEntryPointThenKeepsIt) {
  if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  ShowAndKeep("c:\\wände\\tessarin.bmp");
  EXPECT_EQ(ShownWallpaper(), L"c:\\wände\\tessarin.bmp");
  EXPECT_EQ(KeptWallpaper(), "c:\\wände\\tessarin.bmp");
}

TEST_F(Win32WallpaperTest, ShowsAndKeepsAPathInAnyScriptAsThatPath) {
  ShowAndKeep("c:\\ωmega\\日本.bmp");
  EXPECT_EQ(ShownWallpaper(), L"c:\\ωmega\\日本.bmp");
  EXPECT_EQ(KeptWallpaper(), "c:\\ωmega\\日本.bmp");
}

// Which file a path names: its volume and index, "" when it names none.
std::string FileIdentity(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) return "";
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
         ":" + std::to_string(info.nFileIndexLow);
}

// The desktop shows nothing for a path of MAX_PATH characters or more: such a
// wallpaper is handed over by its short name, which names the same file.
TEST_F(Win32WallpaperTest, ShowsAPathLongerThanTheDesktopTakesByItsShortName) {
  testing::WindowsTemporaryFolder folder;
  std::wstring deep = Widen(folder.Path());
  while (deep.size() < 200) {
    deep += L"\\a folder with a long name";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  const std::wstring file = deep + L"\\" + std::wstring(300 - deep.size() - 5, L'w') + L".bmp";
  ASSERT_EQ(file.size(), 300u);
  CloseHandle(CreateFileW(SystemPath(Narrow(file)).c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ShowAndKeep(Narrow(file));
  const std::wstring shown = ShownWallpaper();
  ASSERT_LT(shown.size(), static_cast<std::size_t>(MAX_PATH));
  const std::string written = FileIdentity(SystemPath(Narrow(file)));
  ASSERT_NE(written, "");
  EXPECT_EQ(FileIdentity(shown), written) << Narrow(shown);
}

// Windows lifts MAX_PATH from a program only when its manifest says it is
// ready for longer paths (and the system allows them).
TEST(Manifest, DeclaresTheProgramLongPathAware) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no manifest among the resources";
  const auto* text = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  const std::string manifest(text, SizeofResource(nullptr, found));
  EXPECT_NE(manifest.find("<longPathAware "
                          "xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
                          "</longPathAware>"),
            std::string::npos)
      << manifest;
}

}  // namespace
}  // namespace tessarin::windows_platform
