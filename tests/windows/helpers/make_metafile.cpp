// Writes a placeable Windows metafile for the end-to-end tests (see
// placeable_metafile.h: 40 x 30 pixels at 96 DPI, red with a blue 10 x 10
// square at the top left).
//
//   make_metafile OUT.wmf

#include <cstdio>

#include "placeable_metafile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_metafile OUT.wmf\n");
    return 2;
  }
  const std::vector<std::uint8_t> file = tessarin::testing::PlaceableMetafile();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || file.empty()) return 1;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written ? 0 : 1;
}
