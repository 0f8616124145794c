#include "platform/linux/linux_conventions.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tessarin::linux_platform {
namespace {

TEST(LinuxConventions, KeepsPathsAsGivenAndTakesTheSeparatorFromTheLocale) {
  const LinuxConventions conventions;
  EXPECT_EQ(conventions.PathSeparator(), '/');
  EXPECT_FALSE(conventions.FileNamesIgnoreCase());
  EXPECT_EQ(conventions.ToAnsiCodePage("/home/\xc3\xa9/Out.BMP"), "/home/\xc3\xa9/Out.BMP");
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(conventions.DecimalSeparator(), ".");
  ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace tessarin::linux_platform
