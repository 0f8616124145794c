#pragma once

// Acting as other users in the Linux tests (they need root to do so).

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace tessarin::testing {

inline constexpr uid_t kNobody = 65534;
inline constexpr uid_t kDaemon = 1;  // another user of every Debian system

// Runs `work` in a child process as the user nobody; gives the text it returns.
inline std::string AsNobody(const std::function<std::string()>& work) {
  int channel[2];
  if (::pipe(channel) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
      ::_exit(1);
    const std::string text = work();
    const ssize_t written = ::write(channel[1], text.data(), text.size());
    ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  ::close(channel[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "the child did not report";
}

// A link at `link`, as the user `owner` would have made it.
inline void PlantLink(const std::filesystem::path& link, const std::filesystem::path& target,
                      uid_t owner) {
  std::filesystem::create_symlink(target, link);
  ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0) << link;
}

}  // namespace tessarin::testing
