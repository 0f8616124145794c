#include "wallpaper/number_conversion.h"

#include <gtest/gtest.h>

namespace tessarin::wallpaper {
namespace {

TEST(ToInt32, ReadsWholeNumbersWithSignAndSurroundingBlanks) {
  EXPECT_EQ(ToInt32("0", "."), 0);
  EXPECT_EQ(ToInt32("  12  ", "."), 12);
  EXPECT_EQ(ToInt32("\t-7 ", "."), -7);
  EXPECT_EQ(ToInt32("+15", "."), 15);
  EXPECT_EQ(ToInt32("007", "."), 7);
}

TEST(ToInt32, RoundsFractionsToNearestWithHalvesToEven) {
  EXPECT_EQ(ToInt32("2.5", "."), 2);
  EXPECT_EQ(ToInt32("3.5", "."), 4);
  EXPECT_EQ(ToInt32("10.5", "."), 10);
  EXPECT_EQ(ToInt32("11.5", "."), 12);
  EXPECT_EQ(ToInt32("-2.5", "."), -2);
  EXPECT_EQ(ToInt32("-3.5", "."), -4);
  EXPECT_EQ(ToInt32("2.50000000000000000001", "."), 3);  // just above half: no float would see it
  EXPECT_EQ(ToInt32("2.49999999999999999999", "."), 2);
  EXPECT_EQ(ToInt32("0.5", "."), 0);
  EXPECT_EQ(ToInt32(".7", "."), 1);
  EXPECT_EQ(ToInt32("4.", "."), 4);
}

TEST(ToInt32, UsesTheUsersDecimalSeparatorOnly) {
  EXPECT_EQ(ToInt32("10,5", ","), 10);
  EXPECT_EQ(ToInt32("11,5", ","), 12);
  EXPECT_FALSE(ToInt32("10.5", ","));
  EXPECT_EQ(ToInt32("3\xd9\xab"
                    "6",
                    "\xd9\xab"),
            4);  // a separator of more than one byte
}

TEST(ToInt32, AcceptsExactlyTheSigned32BitRange) {
  EXPECT_EQ(ToInt32("2147483647", "."), 2147483647);
  EXPECT_EQ(ToInt32("-2147483648", "."), -2147483647 - 1);
  EXPECT_EQ(ToInt32("2147483647.4", "."), 2147483647);
  EXPECT_FALSE(ToInt32("2147483647.5", "."));  // rounds to 2^31
  EXPECT_FALSE(ToInt32("2147483648", "."));
  EXPECT_FALSE(ToInt32("-2147483649", "."));
  EXPECT_EQ(ToInt32("-2147483648.5", "."), -2147483647 - 1);  // the even neighbour is in range
  EXPECT_FALSE(ToInt32("99999999999999999999999", "."));
}

TEST(ToInt32, RefusesEverythingThatIsNotOneNumber) {
  for (const char* text :
       {"", "   ", "abc", "1 2", "12px", "--1", "+", ".", "1.2.3", "0x10", "1e3", "١٢"}) {
    EXPECT_FALSE(ToInt32(text, ".")) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace tessarin::wallpaper
