#include "pictures/read_exactly.h"

#include <algorithm>

#include "base/failure.h"

namespace tessarin::pictures {

void ReadExactly(ports::InputFile& file, std::uint64_t offset, std::span<std::uint8_t> out,
                 std::size_t maxReadBytes, const char* whenShort) {
  while (!out.empty()) {
    const std::size_t want = std::min(out.size(), maxReadBytes);
    const std::size_t got = file.ReadAt(offset, out.first(want));
    if (got == 0) throw Failure::InFile(FailureKind::DamagedPicture, file.Path(), whenShort);
    offset += got;
    out = out.subspan(got);
  }
}

}  // namespace tessarin::pictures
