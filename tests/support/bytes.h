#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes BytesOf(std::string_view text) { return {text.begin(), text.end()}; }
inline std::string TextOf(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// Appends the lowest `count` bytes of `value`, least significant first.
inline void PutLe(Bytes& out, std::uint64_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace tessarin::testing
