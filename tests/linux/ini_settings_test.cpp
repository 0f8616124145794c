#include "linux/ini_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "base/failure.h"
#include "linux/temporary_config_home.h"

namespace tessarin::linux_platform {
namespace {

using tessarin::testing::FolderEntries;
using tessarin::testing::ReadWholeFile;
using tessarin::testing::TemporaryConfigHome;
using tessarin::testing::WriteWholeFile;

class IniSettingsTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return home_.ProgramFolder() / "Tessarin.ini"; }
  std::string Get(const std::string& section, const std::string& key) {
    return settings_.Read("Tessarin", section, key, "<fallback>");
  }
  void Save(const std::string& section, const std::string& key, const std::string& value) {
    settings_.Write("Tessarin", section, key, value);
  }
  // The Failure of a refused save, whose file must then be left as it was.
  std::string RefusedSave(const std::string& key) {
    const std::string before = ReadWholeFile(File());
    try {
      Save("App", key, "value");
    } catch (const Failure& failure) {
      EXPECT_EQ(ReadWholeFile(File()), before);
      EXPECT_EQ(failure.Kind(), FailureKind::SettingsRefused) << failure.what();
      return failure.what();
    }
    ADD_FAILURE() << "the save of " << key << " was not refused";
    return "";
  }

  TemporaryConfigHome home_;
  IniSettings settings_;
};

TEST_F(IniSettingsTest, FirstSaveOnAFreshProfileWritesJustTheSectionAndKey) {
  EXPECT_EQ(IniSettings::FileFor("Tessarin"), File());
  Save("App", "FirstRun", "1");
  EXPECT_EQ(ReadWholeFile(File()), "[App]\nFirstRun=1\n");
  EXPECT_EQ(Get("App", "FirstRun"), "1");
  EXPECT_EQ(FolderEntries(home_.ProgramFolder()), std::vector<std::string>{"Tessarin.ini"});
  struct stat folder {};
  ASSERT_EQ(::stat(home_.ProgramFolder().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

TEST_F(IniSettingsTest, OddValuesComeBackExactly) {
  const std::map<std::string, std::string> values = {
      {"Spaces", "  around  "},
      {"Equals", "a=b=c"},
      {"Backslashes", "C:\\Walls\\"},
      {"Breaks", "one\ntwo\r\nthree\r"},
      {"Escapes", "\\n is not \\r"},
      {"Utf8", "\xc3\xa9t\xc3\xa9 \xe2\x82\xac"},
      {"Empty", ""},
      {"Brackets", "[App]"},
  };
  for (const auto& [key, value] : values) Save("App", key, value);
  IniSettings fresh;
  for (const auto& [key, value] : values) {
    EXPECT_EQ(fresh.Read("Tessarin", "App", key, "<fallback>"), value) << key;
  }
  const std::string text = ReadWholeFile(File());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + static_cast<long>(values.size()));
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(IniSettingsTest, MissingValuesGiveTheFallback) {
  EXPECT_EQ(Get("App", "FirstRun"), "<fallback>");
  Save("App", "FirstRun", "1");
  Save("App", "X", "");
  EXPECT_EQ(Get("App", "X"), "");
  EXPECT_EQ(Get("App", "OutputFile"), "<fallback>");
  EXPECT_EQ(Get("Other", "FirstRun"), "<fallback>");
  EXPECT_EQ(Get("App", "firstrun"), "<fallback>");
  EXPECT_EQ(Get("app", "FirstRun"), "<fallback>");
  EXPECT_EQ(Get("App", "First"), "<fallback>");
  EXPECT_EQ(settings_.Read("Other", "App", "FirstRun", "<fallback>"), "<fallback>");
  std::filesystem::remove(File());
  std::filesystem::create_directory(File());
  EXPECT_EQ(IniSettings().Read("Tessarin", "App", "FirstRun", "<fallback>"), "<fallback>");
}

TEST_F(IniSettingsTest, SavingChangesOnlyItsOwnLine) {
  std::filesystem::create_directories(File().parent_path());
  WriteWholeFile(File(),
                 "; kept as it is\n"
                 "[Other]\nX=other\n\n"
                 "[App]\nX=5\r\nUnknown = kept \n; trailing comment\n\n"
                 "[Tail]\nk=v");
  Save("App", "X", "7");
  Save("App", "Y", "0");
  Save("Tail", "k", "w");
  Save("New", "K", "v");
  EXPECT_EQ(ReadWholeFile(File()),
            "; kept as it is\n"
            "[Other]\nX=other\n\n"
            "[App]\nX=7\r\nUnknown = kept \nY=0\n; trailing comment\n\n"
            "[Tail]\nk=w\n\n"
            "[New]\nK=v\n");
  EXPECT_EQ(Get("Other", "X"), "other");
  EXPECT_EQ(Get("App", "X"), "7");
  EXPECT_EQ(Get("App", "Unknown "), " kept ");
}

// A file edited by hand may start with a byte-order mark and hold blanks
// around "="; a line in the program's own form ("key=value") keeps its value
// exactly.
TEST_F(IniSettingsTest, AByteOrderMarkAndBlanksAroundEqualsAreAccepted) {
  std::filesystem::create_directories(File().parent_path());
  WriteWholeFile(File(), "\xEF\xBB\xBF[App]\r\nFirstRun = 1\r\n  X =  10\r\nOutputFile=  spaced\n");
  EXPECT_EQ(Get("App", "FirstRun"), "1");
  EXPECT_EQ(Get("App", "X"), "10");
  EXPECT_EQ(Get("App", "OutputFile"), "  spaced");
  Save("App", "X", "20");
  Save("App", "Y", "5");
  EXPECT_EQ(ReadWholeFile(File()),
            "\xEF\xBB\xBF[App]\r\nFirstRun = 1\r\nX=20\r\nOutputFile=  spaced\nY=5\n");
}

TEST_F(IniSettingsTest, ASecondSaveReplacesTheFirst) {
  Save("App", "X", "10");
  Save("App", "X", "0");
  EXPECT_EQ(Get("App", "X"), "0");
  EXPECT_EQ(ReadWholeFile(File()), "[App]\nX=0\n");
}

// One run reads the file once; its own saves are seen at once, and a save
// takes the file afresh so that another run's keys are kept.
TEST_F(IniSettingsTest, ARunReadsTheFileOnceAndItsSavesRefreshWhatItSees) {
  std::filesystem::create_directories(home_.ProgramFolder());
  WriteWholeFile(File(), "[App]\nX=1\nY=2\n");
  EXPECT_EQ(Get("App", "X"), "1");
  WriteWholeFile(File(), "[App]\nX=10\nY=20\nW=30\n");  // another run's save
  EXPECT_EQ(Get("App", "Y"), "2");
  Save("App", "H", "4");
  EXPECT_EQ(Get("App", "W"), "30");
  EXPECT_EQ(Get("App", "H"), "4");
  EXPECT_EQ(ReadWholeFile(File()), "[App]\nX=10\nY=20\nW=30\nH=4\n");
}

TEST_F(IniSettingsTest, RefusedSavesNameTheFileAndChangeNothing) {
  Save("App", "FirstRun", "1");
  EXPECT_EQ(RefusedSave("a=b"),
            File().string() + ": cannot store the key \"a=b\" of section \"App\"");
  EXPECT_EQ(RefusedSave("[App]"),
            File().string() + ": cannot store the key \"[App]\" of section \"App\"");
  EXPECT_EQ(Get("App", "a=b"), "<fallback>");

  std::filesystem::remove(File());
  std::filesystem::create_directory(File());
  EXPECT_EQ(RefusedSave("X"), File().string() + ": " + std::strerror(EISDIR));
  EXPECT_EQ(FolderEntries(home_.ProgramFolder()), std::vector<std::string>{"Tessarin.ini"});

  std::filesystem::remove_all(home_.ProgramFolder());
  WriteWholeFile(home_.ProgramFolder(), "a regular file");
  EXPECT_EQ(RefusedSave("X"), home_.ProgramFolder().string() + ": " + std::strerror(ENOTDIR));
  EXPECT_EQ(ReadWholeFile(home_.ProgramFolder()), "a regular file");
}

// Each child saves its own keys one by one; a lost update would drop some.
TEST_F(IniSettingsTest, ConcurrentProcessesKeepEachOthersKeys) {
  constexpr int kKeysPerProcess = 60;
  std::vector<pid_t> children;
  for (const std::string prefix : {"A", "B"}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        IniSettings own;
        for (int i = 0; i < kKeysPerProcess; ++i) {
          own.Write("Tessarin", "App", prefix + std::to_string(i), std::to_string(i));
        }
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (const std::string prefix : {"A", "B"}) {
    for (int i = 0; i < kKeysPerProcess; ++i) {
      EXPECT_EQ(Get("App", prefix + std::to_string(i)), std::to_string(i)) << prefix << i;
    }
  }
  EXPECT_EQ(FolderEntries(home_.ProgramFolder()), std::vector<std::string>{"Tessarin.ini"});
}

}  // namespace
}  // namespace tessarin::linux_platform
