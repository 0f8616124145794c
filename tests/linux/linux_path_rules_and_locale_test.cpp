#include <gtest/gtest.h>

#include <cstdlib>

#include "linux/linux_locale.h"
#include "linux/linux_path_rules.h"

namespace tessarin::linux_platform {
namespace {

TEST(LinuxPathRules, KeepsPathsAsGiven) {
  const LinuxPathRules rules;
  EXPECT_EQ(rules.PathSeparator(), '/');
  EXPECT_FALSE(rules.FileNamesIgnoreCase());
}

TEST(LinuxLocale, TakesTheSeparatorFromTheLocale) {
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(LinuxLocale().DecimalSeparator(), ".");
  ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace tessarin::linux_platform
