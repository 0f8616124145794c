#include "linux/picture_sandbox/confinement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace tessarin::linux_platform::picture_sandbox {
namespace {

// The program a decoder loads is built once per run and given the decoder's
// descriptors: it must be exactly what libseccomp builds for them, whichever
// is lower and whatever value they share with a system call number.
class DecoderFilter : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(DecoderFilter, IsWhatLibseccompBuildsForTheDecodersDescriptors) {
  const auto [file, channel] = GetParam();
  const std::vector<sock_filter> built = CompileDecoderFilter(file, channel);
  const std::vector<sock_filter> loaded = picture_sandbox::DecoderFilter(file, channel);
  ASSERT_FALSE(built.empty());
  ASSERT_EQ(loaded.size(), built.size());
  EXPECT_EQ(std::memcmp(loaded.data(), built.data(), built.size() * sizeof(sock_filter)), 0);
}

INSTANTIATE_TEST_SUITE_P(Confinement, DecoderFilter,
                         ::testing::Values(std::pair{3, 4}, std::pair{4, 3}, std::pair{0, 1},
                                           std::pair{9, 10}, std::pair{10, 9}, std::pair{17, 250},
                                           std::pair{1023, 5}));

}  // namespace
}  // namespace tessarin::linux_platform::picture_sandbox
