// The metafile renderer as the module runs it, with bitmap records decoded by
// the BMP reader as the executable does.

#include <cstdint>
#include <vector>

#include "base/failure.h"
#include "fuzz_picture.h"
#include "pictures/metafile/render_metafile.h"
#include "pictures/metafile_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  const tessarin::limits::DecodeLimits& limits = tessarin::fuzzing::FuzzDecoding().limits;
  const tessarin::pictures::metafile::RenderRequest request{
      bytes,
      std::uint64_t{16} << 20,
      [](std::span<const std::uint8_t> dib) {
        return tessarin::pictures::DecodeMetafileDib("fuzz", dib,
                                                     tessarin::fuzzing::FuzzDecoding());
      },
      limits.metafileWorkPerPixel,
      limits.metafileMinWork,
      limits.metafileMaxSavedStates,
      limits.metafileMaxFontPixels,
      {}};  // the renderer's own memory
  try {
    const tessarin::ports::Bitmap image = tessarin::pictures::metafile::RenderMetafile(request);
    if (image.bgr.size() != std::size_t(image.width) * image.height * 3) __builtin_trap();
  } catch (const tessarin::pictures::metafile::MetafileError&) {
  } catch (const tessarin::Failure&) {
  }
  return 0;
}
