#include "config_window/window_outcome.h"

#include <gtest/gtest.h>

#include "base/failure.h"

namespace tessarin::config_window {
namespace {

void FailWith(WindowOutcome& outcome, const std::string& reason) {
  try {
    throw Failure(FailureKind::SettingsRefused, reason);
  } catch (...) {
    outcome.FailWithCurrentException();
  }
}

std::string FailureOf(const WindowOutcome& outcome) {
  try {
    outcome.Result();
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "(no failure)";
}

TEST(WindowOutcome, AWindowEndedWithoutEitherGivesDone) {
  const WindowOutcome outcome;
  EXPECT_FALSE(outcome.Decided());
  EXPECT_EQ(outcome.Result(), ExitCode::Done);
}

TEST(WindowOutcome, TheFirstStatusWinsOverALaterStatusOrFailure) {
  WindowOutcome outcome;
  outcome.End(ExitCode::NoInsets);
  outcome.End(ExitCode::Done);
  FailWith(outcome, "too late");
  EXPECT_FALSE(outcome.Failed());
  EXPECT_EQ(outcome.Result(), ExitCode::NoInsets);
}

TEST(WindowOutcome, TheFirstFailureWinsAndIsRethrown) {
  WindowOutcome outcome;
  FailWith(outcome, "settings refused");
  FailWith(outcome, "too late");
  outcome.End(ExitCode::Done);
  EXPECT_TRUE(outcome.Failed());
  EXPECT_EQ(FailureOf(outcome), "settings refused");
}

}  // namespace
}  // namespace tessarin::config_window
