#include "text/text_lines.h"

#include <gtest/gtest.h>

namespace tessarin::text {
namespace {

struct LinesCase {
  const char* text;
  std::vector<std::string> lines;
};

class LinesOfTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(LinesOfTest, CutsAtEachLineEndAndDropsIt) {
  EXPECT_EQ(LinesOf(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Texts, LinesOfTest,
                         ::testing::Values(LinesCase{"", {}}, LinesCase{"\n", {""}},
                                           LinesCase{"a\nb\n", {"a", "b"}},
                                           LinesCase{"a\n\nb", {"a", "", "b"}},
                                           LinesCase{"a\r\nb", {"a", "b"}}));

}  // namespace
}  // namespace tessarin::text
