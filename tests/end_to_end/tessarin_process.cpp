#include "end_to_end/tessarin_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "support/null_terminated_pointers.h"

extern char** environ;

namespace tessarin::testing {

int ThrowAwayUser::Start(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& launcher) const {
  return Spawn(arguments, {}, "/dev/null", launcher);
}

RunResult ThrowAwayUser::Run(const std::vector<std::string>& arguments,
                             const std::vector<std::string>& extraEnvironment,
                             const std::vector<std::string>& launcher) const {
  const auto errorPath = home_ / "stderr.txt";
  const int pid = Spawn(arguments, extraEnvironment, errorPath, launcher);
  int status = 0;
  ::waitpid(pid, &status, 0);
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.standardError = ReadWholeFile(errorPath);
  std::filesystem::remove(errorPath);
  return result;
}

int ThrowAwayUser::Spawn(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& extraEnvironment,
                         const std::filesystem::path& errorPath,
                         const std::vector<std::string>& launcher) const {
  // No locale variable: the program needs none, for paths either.
  std::vector<std::string> environment = {"HOME=" + home_.string(),
                                          "XDG_CONFIG_HOME=" + (home_ / ".config").string(),
                                          "PATH=/usr/bin:/bin"};
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<std::string> argv = launcher;
  argv.push_back(TESSARIN_EXECUTABLE);
  argv.insert(argv.end(), arguments.begin(), arguments.end());

  auto argvPointers = NullTerminatedPointers(argv);
  auto envPointers = NullTerminatedPointers(environment);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, home_.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                                  envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

void ThrowAwayUser::PassFirstRun() const {
  if (Run({}).exitCode != 0) throw std::runtime_error("the first run failed");
}

}  // namespace tessarin::testing
