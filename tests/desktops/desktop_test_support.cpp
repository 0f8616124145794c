#include "desktops/desktop_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "linux/desktops/linux_wallpaper.h"
#include "support/null_terminated_pointers.h"

namespace tessarin::testing {
namespace {

constexpr const char* kSystemPath = "/usr/bin:/bin";

class PatternSource : public ports::Picture {
 public:
  PatternSource(const ports::Bitmap& image, ports::RowOrder order) : image_(image), order_(order) {}
  int Width() const override { return image_.width; }
  int Height() const override { return image_.height; }
  ports::RowOrder Order() const override { return order_; }
  void ReadRows(std::uint8_t* out, int rows) override {
    const std::size_t stride = static_cast<std::size_t>(image_.width) * 3;
    for (int i = 0; i < rows; ++i, ++next_) {
      const int y = order_ == ports::RowOrder::TopDown ? next_ : image_.height - 1 - next_;
      std::copy_n(image_.bgr.begin() + static_cast<std::ptrdiff_t>(y * stride), stride,
                  out + i * stride);
    }
  }
  ports::Bitmap ReadTopLeft(int, int) override { return image_; }

 private:
  const ports::Bitmap& image_;
  ports::RowOrder order_;
  int next_ = 0;
};

}  // namespace

bool Installed(const std::string& program) {
  std::istringstream folders(kSystemPath);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return ::access(program.c_str(), X_OK) == 0;
}

ThrowAwaySession::ThrowAwaySession() {
  for (const char* sub : {"home", "home/.config", "run", "tools"})
    std::filesystem::create_directories(folder_ / sub);
  std::filesystem::permissions(folder_ / "run", std::filesystem::perms::owner_all);
  environment_.Set("HOME", (folder_ / "home").string());
  environment_.Set("XDG_CONFIG_HOME", (folder_ / "home/.config").string());
  environment_.Set("XDG_RUNTIME_DIR", (folder_ / "run").string());
  environment_.Set("PATH", (folder_ / "tools").string() + ":" + kSystemPath);
  environment_.Set("LC_ALL", "C.UTF-8");
}

void ThrowAwaySession::MakeFakeTool(const std::string& tool, const std::string& script) {
  const auto path = folder_ / "tools" / tool;
  std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::string ThrowAwaySession::LogArguments(const std::string& tool) const {
  const auto log = (folder_ / (tool + ".calls")).string();
  return "printf '%s\\n' \"$@\" >> '" + log + "'; echo '--' >> '" + log + "'";
}

std::vector<std::vector<std::string>> ThrowAwaySession::LoggedCalls(const std::string& tool) const {
  std::ifstream log(folder_ / (tool + ".calls"));
  std::vector<std::vector<std::string>> calls(1);
  std::string line;
  while (std::getline(log, line)) {
    if (line == "--") {
      calls.emplace_back();
    } else {
      calls.back().push_back(line);
    }
  }
  calls.pop_back();
  return calls;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& arguments,
                                     const Environment& environment) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  std::vector<std::string> argv = arguments;
  std::vector<std::string> envp = environment.Entries();
  const std::string program = arguments.front().find('/') == std::string::npos
                                  ? "/usr/bin/" + arguments.front()
                                  : arguments.front();
  pid_t pid = -1;
  const int failed =
      ::posix_spawn(&pid, program.c_str(), &actions, &attributes,
                    NullTerminatedPointers(argv).data(), NullTerminatedPointers(envp).data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  outputFd_ = ends[0];
  if (failed == 0) pid_ = pid;
}

BackgroundProgram::~BackgroundProgram() {
  if (pid_ > 0) {
    ::kill(-pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  if (outputFd_ >= 0) ::close(outputFd_);
}

bool BackgroundProgram::WaitForOutput(const std::function<bool(const std::string&)>& ready,
                                      std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready(output_)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || pid_ < 0) return false;
    pollfd watched{outputFd_, POLLIN, 0};
    if (::poll(&watched, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    const ssize_t count = ::read(outputFd_, buffer, sizeof buffer);
    if (count <= 0) return ready(output_);
    output_.append(buffer, static_cast<std::size_t>(count));
  }
  return true;
}

PrivateBus::PrivateBus(ThrowAwaySession& session) {
  if (!Installed("dbus-daemon")) return;
  daemon_ = std::make_unique<BackgroundProgram>(
      std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
      session.Variables());
  if (!daemon_->WaitForOutput(
          [](const std::string& out) { return out.find('\n') != std::string::npos; }))
    return;
  const std::string address = daemon_->Output().substr(0, daemon_->Output().find('\n'));
  session.Variables().Set("DBUS_SESSION_BUS_ADDRESS", address);
  started_ = true;
}

std::unique_ptr<ports::Picture> PatternPictures::Open(const std::string& path) {
  opened.push_back(path);
  return std::make_unique<PatternSource>(image_, order_);
}

linux_platform::desktops::ToolOutcome ScriptedTools::Run(
    const std::string& tool, const std::vector<std::string>& arguments) {
  std::vector<std::string> call{tool};
  call.insert(call.end(), arguments.begin(), arguments.end());
  calls.push_back(call);
  for (const auto& rule : rules_) {
    if (rule.tool == tool && arguments.size() >= rule.prefix.size() &&
        std::equal(rule.prefix.begin(), rule.prefix.end(), arguments.begin())) {
      return rule.outcome;
    }
  }
  return Outcome(linux_platform::desktops::ToolOutcome::Status::Succeeded);
}

void ScriptedTools::Answer(const std::string& tool, std::vector<std::string> prefix,
                           linux_platform::desktops::ToolOutcome outcome) {
  rules_.push_back({tool, std::move(prefix), std::move(outcome)});
}

linux_platform::desktops::ToolOutcome Outcome(linux_platform::desktops::ToolOutcome::Status status,
                                              std::string output) {
  linux_platform::desktops::ToolOutcome outcome;
  outcome.status = status;
  outcome.output = std::move(output);
  return outcome;
}

std::string ApplyIn(ThrowAwaySession& session, const std::string& desktop,
                    const std::string& path) {
  linux_platform::desktops::Environment environment = session.Variables();
  environment.Set("XDG_CURRENT_DESKTOP", desktop);
  linux_platform::desktops::ProcessToolRunner tools(environment);
  PatternPictures pictures({}, ports::RowOrder::TopDown);
  ReportedLines log;
  linux_platform::desktops::LinuxWallpaper(environment, tools, pictures, log.Sink())
      .ShowAndKeep(path);
  return log.text;
}

}  // namespace tessarin::testing
