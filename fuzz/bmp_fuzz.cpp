#include "fuzz_picture.h"
#include "pictures/bmp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tessarin::fuzzing::FuzzPicture(data, size, tessarin::pictures::OpenBmp);
}
