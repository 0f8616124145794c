#include <gtest/gtest.h>

#include <csignal>

#include "desktops/desktop_test_support.h"
#include "linux/desktops/tool_runner.h"

namespace tessarin::testing {
namespace {

using linux_platform::desktops::ProcessToolRunner;
using linux_platform::desktops::RunInChild;
using Status = linux_platform::desktops::ToolOutcome::Status;

constexpr std::chrono::milliseconds kShortLimit{300};

TEST(ProcessToolRunner, FindsToolsOnTheSessionsPathAndCapturesTheirOutput) {
  ThrowAwaySession session;
  session.MakeFakeTool("speaker", "echo \"$1|$2|$FROM_SESSION\"; echo noise >&2");
  session.Variables().Set("FROM_SESSION", "yes");
  ProcessToolRunner tools(session.Variables());

  const auto spoken = tools.Run("speaker", {"two words", ""});
  EXPECT_EQ(spoken.status, Status::Succeeded);
  EXPECT_EQ(spoken.output, "two words||yes\n");

  EXPECT_EQ(tools.Run("no-such-tool-anywhere", {}).status, Status::Missing);
  session.MakeFakeTool("refuser", "echo partial; exit 3");
  EXPECT_EQ(tools.Run("refuser", {}).status, Status::Failed);
  // The test process's own PATH does not count.
  EXPECT_EQ(ProcessToolRunner(Environment({{"PATH", session.Folder().string()}}))
                .Run("sh", {"-c", "true"})
                .status,
            Status::Missing);
}

TEST(ProcessToolRunner, CutsOffAHungToolButNotOneThatLeftADaemonBehind) {
  ThrowAwaySession session;
  session.MakeFakeTool("hangs", "echo started; exec sleep 30");
  session.MakeFakeTool("forks", "sleep 30 & echo done");
  ProcessToolRunner tools(session.Variables(), kShortLimit);

  EXPECT_EQ(tools.Run("hangs", {}).status, Status::TimedOut);
  const auto forked = tools.Run("forks", {});
  EXPECT_EQ(forked.status, Status::Succeeded);
  EXPECT_EQ(forked.output, "done\n");
}

TEST(RunInChild, ReturnsTheChildsTextAndSurvivesItsCrashOrHang) {
  const auto answered = RunInChild([] { return std::string("from the child"); });
  EXPECT_EQ(answered.status, Status::Succeeded);
  EXPECT_EQ(answered.output, "from the child");

  EXPECT_EQ(RunInChild([]() -> std::string { throw std::runtime_error("no"); }).status,
            Status::Failed);
  EXPECT_EQ(RunInChild([]() -> std::string {
              std::raise(SIGSEGV);
              return {};
            }).status,
            Status::Failed);
  EXPECT_EQ(RunInChild(
                []() -> std::string {
                  ::pause();
                  return {};
                },
                kShortLimit)
                .status,
            Status::TimedOut);
}

}  // namespace
}  // namespace tessarin::testing
