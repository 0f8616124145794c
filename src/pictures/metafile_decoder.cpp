#include "pictures/metafile_decoder.h"

#include <cstring>
#include <exception>
#include <vector>

#include "base/failure.h"
#include "pictures/bmp_decoder.h"
#include "pictures/embedded_files.h"
#include "pictures/held/held_picture.h"
#include "pictures/metafile_module.h"
#include "pictures/read_exactly.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

// The executable's side of one drawing: what the module's callbacks reach.
struct Drawing {
  const std::string& path;
  DecodeSetup& setup;
  ports::Bitmap image;
  held::HeldMemory imageMemory;
  std::exception_ptr failure;  // of the picture's memory, reported as it is
};

// The DIB decoder the module calls back: nothing may escape into the module.
int DecodeDib(void* context, const uint8_t* dib, size_t size, TessarinPixelSink sink, char* message,
              size_t messageSize) {
  auto& drawing = *static_cast<Drawing*>(context);
  try {
    const ports::Bitmap image =
        DecodeMetafileDib(drawing.path, std::span<const std::uint8_t>(dib, size), drawing.setup);
    uint8_t* pixels = sink.allocate(sink.owner, image.width, image.height, ports::kBytesPerPixel);
    if (pixels == nullptr) {
      tessarin_write_message("out of memory for the metafile's bitmap", message, messageSize);
      return TESSARIN_MODULE_FAILED;
    }
    std::memcpy(pixels, image.bgr.data(), image.bgr.size());
    return TESSARIN_MODULE_OK;
  } catch (...) {
    // The failure names the file and its kind already; it is what the run
    // reports once the module gives up.
    drawing.failure = std::current_exception();
    tessarin_write_message("the metafile's bitmap cannot be decoded", message, messageSize);
  }
  return TESSARIN_MODULE_FAILED;
}

// The drawing surface, which the finished picture is left in: its bytes
// taken from the allowance.
uint8_t* AllocatePicture(void* owner, int32_t width, int32_t height, int32_t bytesPerPixel) {
  auto& drawing = *static_cast<Drawing*>(owner);
  try {
    CheckWritableSize(drawing.path, width, height, drawing.setup.limits);
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                              static_cast<std::size_t>(bytesPerPixel);
    drawing.imageMemory = drawing.setup.allowance.Take(drawing.path, bytes);
    drawing.image.bgr.resize(bytes);
    drawing.image.width = width;
    drawing.image.height = height;
    return drawing.image.bgr.data();
  } catch (...) {
    drawing.failure = std::current_exception();
    return nullptr;
  }
}

metafile::RenderFunction LoadRenderer(const DecodeSetup& setup, const std::string& path) {
  if (!setup.loadMetafileRenderer) {
    throw Failure::InFile(FailureKind::Platform, path,
                          "the metafile module cannot be loaded: none is given");
  }
  return setup.loadMetafileRenderer(path);
}

}  // namespace

ports::Bitmap DecodeMetafileDib(const std::string& path, std::span<const std::uint8_t> dib,
                                DecodeSetup& setup) {
  auto source =
      OpenDib(std::make_unique<BytesFile>(path, dib), 0, dib.size(), DibKind::File, setup);
  CheckWholeDecodeSize(path, source->Width(), source->Height(), ports::kBytesPerPixel,
                       setup.limits);
  return source->ReadTopLeft(source->Width(), source->Height());
}

std::unique_ptr<ports::Picture> OpenMetafile(std::unique_ptr<ports::InputFile> file,
                                             DecodeSetup& setup) {
  const limits::DecodeLimits& limits = setup.limits;
  const std::string path = file->Path();
  if (file->Size() > limits.maxMetafileBytes) {
    throw Failure::InFile(FailureKind::PictureTooLarge, path, "the metafile is too large");
  }
  // The file, then the drawing (its surface and bitmaps, counted by the
  // renderer) take from the allowance; the drawing may use all it has left.
  const held::HeldMemory fileMemory = setup.allowance.Take(path, file->Size());
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->Size()));
  ReadExactly(*file, 0, bytes, limits.maxReadBytes);
  const metafile::RenderFunction render = LoadRenderer(setup, path);
  Drawing drawing{path, setup, {}, {}, {}};
  const TessarinMetafileRequest request{bytes.data(),
                                        bytes.size(),
                                        setup.allowance.Left(),
                                        limits.metafileWorkPerPixel,
                                        limits.metafileMinWork,
                                        limits.metafileMaxSavedStates,
                                        limits.metafileMaxFontPixels,
                                        {&drawing, DecodeDib},
                                        {&drawing, AllocatePicture}};
  char message[TESSARIN_MODULE_MESSAGE_BYTES] = "";
  if (render(&request, message, sizeof message) != TESSARIN_MODULE_OK) {
    if (drawing.failure) std::rethrow_exception(drawing.failure);
    throw Failure::InFile(FailureKind::DamagedPicture, path, message);
  }
  // The BGR pixels fill the start of the surface; the rest stays held with
  // them, as it is not given back to the system.
  drawing.image.bgr.resize(static_cast<std::size_t>(drawing.image.width) *
                           static_cast<std::size_t>(drawing.image.height) * ports::kBytesPerPixel);
  return std::make_unique<held::HeldPicture>(std::move(drawing.image), path,
                                             std::move(drawing.imageMemory));
}

}  // namespace tessarin::pictures
