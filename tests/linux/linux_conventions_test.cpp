#include "linux/linux_conventions.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tessarin::linux_platform {
namespace {

TEST(LinuxConventions, KeepsPathsAsGivenAndTakesTheSeparatorFromTheLocale) {
  const LinuxConventions conventions;
  EXPECT_EQ(conventions.PathSeparator(), '/');
  EXPECT_FALSE(conventions.FileNamesIgnoreCase());
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(conventions.DecimalSeparator(), ".");
  ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace tessarin::linux_platform
