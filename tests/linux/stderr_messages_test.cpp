#include "linux/stderr_messages.h"

#include <gtest/gtest.h>

namespace tessarin::linux_platform {
namespace {

struct Escaping {
  const char* what;
  std::string text;
  std::string written;
};

void PrintTo(const Escaping& escaping, std::ostream* out) { *out << escaping.what; }

class ControlsEscaped : public ::testing::TestWithParam<Escaping> {};

TEST_P(ControlsEscaped, OnStandardError) {
  EXPECT_EQ(WithControlsEscaped(GetParam().text), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ControlsEscaped,
    ::testing::Values(Escaping{"C0 controls and DEL", "a\x1b[2J\a\b\x7f" + std::string(1, '\0'),
                               "a\\x1b[2J\\x07\\x08\\x7f\\x00"},
                      Escaping{"line feed, tab and backslash kept", "a\tb\nC:\\x", "a\tb\nC:\\x"},
                      Escaping{"printable UTF-8 kept", "Grün-\xe2\x82\xac-\xf0\x9f\x96\xbc",
                               "Grün-\xe2\x82\xac-\xf0\x9f\x96\xbc"},
                      Escaping{"C1 control CSI",
                               "\xc2\x9b"
                               "31m",
                               "\\xc2\\x9b"
                               "31m"},
                      Escaping{"bytes of no well-formed sequence",
                               "\x9b\xc0\xaf\xed\xa0\x80\xe2\x82",
                               "\\x9b\\xc0\\xaf\\xed\\xa0\\x80\\xe2\\x82"}),
    [](const auto& instance) { return std::to_string(instance.index); });

}  // namespace
}  // namespace tessarin::linux_platform
