// sway itself, headless, with the swaybg it starts for `output bg`: the file
// swaybg was given is read from its command line. sway refuses to run as
// root, so a test run by root starts it as nobody.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "desktops/desktop_test_support.h"
#include "end_to_end/tessarin_process.h"
#include "support/encode_bmp.h"
#include "support/fake_platform.h"

namespace tessarin::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> NulSeparated(const std::string& text) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start < text.size();) {
    const auto end = std::min(text.find('\0', start), text.size());
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The entries of a folder whose entries come and go, as /proc's do.
std::vector<fs::path> Entries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    entries.push_back(entry->path());
  }
  return entries;
}

void HandToNobody(const fs::path& path) {
  const passwd* user = ::getpwnam("nobody");
  const group* users = ::getgrnam("nogroup");
  ASSERT_TRUE(user != nullptr && users != nullptr);
  ASSERT_EQ(::chown(path.c_str(), user->pw_uid, users->gr_gid), 0) << path;
}

std::string Bmp() { return EncodeBmp(PatternImage(4, 4, 9)); }

class SwaySession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("sway") || !Installed("swaybg") || !Installed("swaymsg"))
      GTEST_SKIP() << "no sway or swaybg";
    // sway starts swaybg as an orphan: this process, not init, reaps it.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    // sway and swaybg, perhaps run as another user, must reach the files.
    fs::permissions(session_.Folder(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    files_ = fs::canonical(session_.Folder()) / "files";
    fs::create_directory(files_);
    WriteWholeFile(files_ / "~!.bmp", Bmp());  // what an unquoted ~*.bmp would find first
    const fs::path config = session_.Folder() / "config";
    std::ofstream(config) << "set $mod Mod4\n";  // as most configurations have

    std::vector<std::string> command{"sway", "-c", config.string()};
    if (::geteuid() == 0) {
      ASSERT_TRUE(Installed("setpriv"));
      HandToNobody(session_.Folder() / "home");
      HandToNobody(session_.Folder() / "run");
      command.insert(command.begin(),
                     {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    }
    Environment environment = session_.Variables();
    environment.Set("WLR_BACKENDS", "headless");
    environment.Set("WLR_RENDERER", "pixman");
    environment.Set("WLR_LIBINPUT_NO_DEVICES", "1");
    sway_ = std::make_unique<BackgroundProgram>(command, environment);
    const std::string socket = WaitForSocket();
    // Where the tests must run (CI installs sway), a compositor that never
    // starts is a failure, not a reason to pass over the tests.
    if (socket.empty() && std::getenv("CI") != nullptr) FAIL() << "sway did not start";
    if (socket.empty()) GTEST_SKIP() << "sway did not start here";
    session_.Variables().Set("SWAYSOCK", socket);
  }

  void TearDown() override {
    sway_.reset();
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (::waitpid(-1, nullptr, WNOHANG) >= 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
  }

  std::string WaitForSocket() const {
    std::error_code ignored;
    for (auto waited = 0ms; waited < 10s; waited += 50ms) {
      for (const auto& entry : Entries(session_.Folder() / "run")) {
        if (entry.filename().string().starts_with("sway-ipc.") &&
            fs::is_socket(fs::status(entry, ignored))) {
          return entry.string();
        }
      }
      std::this_thread::sleep_for(50ms);
    }
    return {};
  }

  // The file the swaybg of this session shows, waiting for one to run;
  // empty when none does.
  std::string ShownFile() {
    const std::string ours = "XDG_RUNTIME_DIR=" + session_.Variables().Get("XDG_RUNTIME_DIR");
    for (auto waited = 0ms; waited < 5s; waited += 50ms) {
      for (const auto& process : Entries("/proc")) {
        if (Contents(process / "comm") != "swaybg\n") continue;
        const auto environment = NulSeparated(Contents(process / "environ"));
        if (std::find(environment.begin(), environment.end(), ours) == environment.end()) continue;
        const auto arguments = NulSeparated(Contents(process / "cmdline"));
        const auto image = std::find(arguments.begin(), arguments.end(), "-i");
        if (image != arguments.end() && image + 1 != arguments.end()) return *(image + 1);
      }
      std::this_thread::sleep_for(50ms);
    }
    return {};
  }

  bool ACommandRan() const { return fs::exists(session_.Folder() / "home" / "X"); }

  ThrowAwaySession session_;
  std::unique_ptr<BackgroundProgram> sway_;
  fs::path files_;
};

struct FileName {
  const char* test;
  const char* name;
};

void PrintTo(const FileName& file, std::ostream* out) { *out << file.test; }

class SwayFileNames : public SwaySession, public ::testing::WithParamInterface<FileName> {};

// A command hidden in the name would run in HOME and create X there.
TEST_P(SwayFileNames, SwaybgGetsExactlyTheFileAndNothingRuns) {
  const std::string path = (files_ / GetParam().name).string();
  WriteWholeFile(path, Bmp());
  EXPECT_EQ(ApplyIn(session_, "sway", path), "");
  EXPECT_EQ(ShownFile(), path);
  EXPECT_FALSE(ACommandRan());
}

INSTANTIATE_TEST_SUITE_P(
    Names, SwayFileNames,
    ::testing::Values(
        FileName{"CommandSubstitution", "$(cd;touch X).bmp"},
        FileName{"Backticks", "`cd;touch X`.bmp"}, FileName{"SingleQuotes", "it's 'quoted'.bmp"},
        FileName{"DoubleQuotes", "say \"hi\".bmp"}, FileName{"Blanks", " two  blanks   three .bmp"},
        FileName{"Variables", "$HOME${HOME}$mod$$.bmp"}, FileName{"TildeAndGlob", "~*.bmp"},
        FileName{"Backslashes", "a\\b\\\\c\\'d\\\"e\\$mod\\ f\\"},
        FileName{"ShellSyntax", "a;b,c|d&e<f>g(h){i,j}[k]#l%m.bmp"},
        FileName{"ControlCharacters", "tab\tand\rreturn\x1b.bmp"},
        FileName{"Bytes", "\xc3\xa9t\xc3\xa9 \xff.bmp"}),
    [](const auto& test) { return std::string(test.param.test); });

TEST_F(SwaySession, ANameWithALineBreakIsRefusedWithAMessage) {
  const std::string shown = (files_ / "shown.bmp").string();
  WriteWholeFile(shown, Bmp());
  EXPECT_EQ(ApplyIn(session_, "sway", shown), "");
  ASSERT_EQ(ShownFile(), shown);
  const std::string path = (files_ / "two\nlines.bmp").string();
  WriteWholeFile(path, Bmp());
  EXPECT_EQ(ApplyIn(session_, "sway", path),
            "Tessarin: the wallpaper may not show: sway cannot be given a file name holding a line "
            "break\n");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(ShownFile(), shown);
}

// The built program in a sway session: the file it wrote, with a name that
// holds a command, is what swaybg shows.
TEST_F(SwaySession, TheProgramsOutputReachesSwaybgAsWritten) {
  ThrowAwayUser user;
  fs::permissions(user.Home(),
                  fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  user.PassFirstRun();
  WriteWholeFile(user.Home() / "canvas.bmp", Bmp());
  const std::string output = "$(cd;touch X) it's.bmp";
  const auto run = user.Run({"canvas.bmp,", "canvas.bmp,", "0,", "0,", "2,", "2,", output},
                            {"SWAYSOCK=" + session_.Variables().Get("SWAYSOCK")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardError, "");
  EXPECT_EQ(ShownFile(), (fs::canonical(user.Home()) / output).string());
  EXPECT_FALSE(ACommandRan());
}

}  // namespace
}  // namespace tessarin::testing
