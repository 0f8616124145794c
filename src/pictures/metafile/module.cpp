// The metafile module's entry point: the plain C request made the renderer's,
// and nothing escapes it but the status and the message.

#include <exception>
#include <type_traits>

#include "pictures/metafile/render_metafile.h"
#include "pictures/metafile_module.h"

namespace tessarin::pictures::metafile {
namespace {

uint8_t* AllocateBitmap(void* owner, int32_t width, int32_t height, int32_t bytesPerPixel) {
  auto& image = *static_cast<ports::Bitmap*>(owner);
  try {
    image.bgr.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                     static_cast<std::size_t>(bytesPerPixel));
  } catch (...) {
    return nullptr;
  }
  image.width = width;
  image.height = height;
  return image.bgr.data();
}

// The executable's DIB decoder as the renderer calls it: a failure becomes a
// MetafileError carrying the decoder's message.
ports::Bitmap DecodeDib(const TessarinDibDecoder& decoder, std::span<const std::uint8_t> dib) {
  ports::Bitmap image;
  char message[TESSARIN_MODULE_MESSAGE_BYTES] = "";
  if (decoder.decode(decoder.context, dib.data(), dib.size(), {&image, AllocateBitmap}, message,
                     sizeof message) != TESSARIN_MODULE_OK) {
    throw MetafileError(message);
  }
  return image;
}

RenderRequest RendererRequest(const TessarinMetafileRequest& request) {
  return {
      std::span<const std::uint8_t>(request.bytes, request.size),
      request.maxSurfaceBytes,
      [&request](std::span<const std::uint8_t> dib) { return DecodeDib(request.dibDecoder, dib); },
      request.workPerPixel,
      request.minWork,
      request.maxSavedStates,
      request.maxFontPixels,
      [&request](int width, int height) {
        return request.picture.allocate(request.picture.owner, width, height, 4);
      }};
}

}  // namespace
}  // namespace tessarin::pictures::metafile

extern "C" __attribute__((visibility("default"))) const uint32_t tessarin_metafile_version =
    tessarin::pictures::metafile::kModuleVersion;

extern "C" __attribute__((visibility("default"))) void tessarin_prepare_metafile_fonts(void) {
  try {
    tessarin::pictures::metafile::PrepareFonts();
  } catch (...) {
    // The fonts are then opened as text first needs them.
  }
}

extern "C" __attribute__((visibility("default"))) int tessarin_render_metafile(
    const TessarinMetafileRequest* request, char* message, size_t messageSize) {
  using namespace tessarin::pictures::metafile;
  try {
    RenderMetafile(RendererRequest(*request));  // into the executable's memory
    return TESSARIN_MODULE_OK;
  } catch (const std::exception& error) {
    tessarin_write_message(error.what(), message, messageSize);
  } catch (...) {
    tessarin_write_message("the metafile module failed", message, messageSize);
  }
  return TESSARIN_MODULE_FAILED;
}

static_assert(std::is_same_v<decltype(&tessarin_render_metafile), TessarinRenderMetafileFunction>);
