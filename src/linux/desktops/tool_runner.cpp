#include "linux/desktops/tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "linux/file_descriptor.h"

namespace tessarin::linux_platform::desktops {
namespace {

using Clock = std::chrono::steady_clock;

// A pipe whose ends close once, whoever holds them.
struct Pipe {
  FileDescriptor readEnd;
  FileDescriptor writeEnd;
  bool Open() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    readEnd = FileDescriptor(ends[0]);
    writeEnd = FileDescriptor(ends[1]);
    return true;
  }
};

// Reads what is there without waiting; false once the writers are gone.
bool ReadAvailable(int fd, std::string& output) {
  char buffer[4096];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
      output.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0) {
      return false;
    } else {
      return errno == EAGAIN || errno == EINTR;
    }
  }
}

// Collects the child's output until it exits or the time is up; a child
// still running then is killed with everything it started. A daemon it left
// behind holding the pipe open does not hold the run up once the child is gone.
ToolOutcome WaitForChild(pid_t child, int outputFd, std::chrono::milliseconds limit) {
  ::fcntl(outputFd, F_SETFL, ::fcntl(outputFd, F_GETFL) | O_NONBLOCK);
  const auto deadline = Clock::now() + limit;
  ToolOutcome outcome;
  bool pipeOpen = true;
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) != child) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      ::kill(-child, SIGKILL);
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      outcome.status = ToolOutcome::Status::TimedOut;
      return outcome;
    }
    pollfd watched{outputFd, POLLIN, 0};
    const int waitMs = pipeOpen ? static_cast<int>(std::min<long long>(left.count(), 50)) : 1;
    ::poll(&watched, pipeOpen ? 1 : 0, waitMs);
    if (pipeOpen) pipeOpen = ReadAvailable(outputFd, outcome.output);
  }
  ReadAvailable(outputFd, outcome.output);
  const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  outcome.status = succeeded ? ToolOutcome::Status::Succeeded : ToolOutcome::Status::Failed;
  return outcome;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string ProcessToolRunner::FindTool(const std::string& tool) const {
  if (tool.find('/') != std::string::npos) return IsExecutableFile(tool) ? tool : std::string();
  std::string folders =
      environment_.Has("PATH") ? environment_.Get("PATH") : "/usr/local/bin:/usr/bin:/bin";
  std::istringstream list(folders);
  std::string folder;
  while (std::getline(list, folder, ':')) {
    const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + tool;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

ToolOutcome ProcessToolRunner::Run(const std::string& tool,
                                   const std::vector<std::string>& arguments) {
  ToolOutcome outcome;
  const std::string program = FindTool(tool);
  if (program.empty()) {
    outcome.status = ToolOutcome::Status::Missing;
    return outcome;
  }
  Pipe output;
  if (!output.Open()) return outcome;

  std::vector<std::string> argvText{tool};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : argvText) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> envText = environment_.Entries();
  std::vector<char*> envp;
  for (auto& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output.writeEnd.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);

  pid_t child = 0;
  const int failed =
      ::posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  output.writeEnd = FileDescriptor();
  if (failed != 0) {
    outcome.status = ToolOutcome::Status::Missing;
    return outcome;
  }
  return WaitForChild(child, output.readEnd.Get(), limit_);
}

ToolOutcome RunInChild(const std::function<std::string()>& work, std::chrono::milliseconds limit) {
  ToolOutcome outcome;
  Pipe output;
  if (!output.Open()) return outcome;
  const pid_t child = ::fork();
  if (child < 0) return outcome;
  if (child == 0) {
    ::setpgid(0, 0);
    int status = 1;
    try {
      const std::string text = work();
      std::size_t written = 0;
      while (written < text.size()) {
        const ssize_t count =
            ::write(output.writeEnd.Get(), text.data() + written, text.size() - written);
        if (count <= 0) break;
        written += static_cast<std::size_t>(count);
      }
      status = 0;
    } catch (...) {
    }
    ::_exit(status);
  }
  output.writeEnd = FileDescriptor();
  return WaitForChild(child, output.readEnd.Get(), limit);
}

}  // namespace tessarin::linux_platform::desktops
