#include "pictures/metafile_source.h"

#include <map>
#include <vector>

#include "base/failure.h"
#include "linux/loaded_module.h"
#include "pictures/bmp_reader.h"
#include "pictures/embedded_files.h"
#include "pictures/held/held_picture.h"
#include "pictures/metafile_module.h"
#include "pictures/read_exactly.h"
#include "pictures/size_checks.h"

namespace tessarin::pictures {
namespace {

constexpr const char* kModuleName = "tessarin-metafile.so";

// Loaded once per path and kept for the life of the process.
metafile::RenderFunction LoadRenderer(const std::string& modulePath, const std::string& picture) {
  static std::map<std::string, metafile::RenderFunction> loaded;
  if (const auto found = loaded.find(modulePath); found != loaded.end()) return found->second;
  const modules::LoadedModule module(modulePath);
  if (!module.Loaded()) {
    throw Failure::InFile(picture, "the metafile module cannot be loaded: " + module.Error());
  }
  metafile::RenderFunction render = nullptr;
  if (!module.Find(metafile::kRenderSymbol, render)) {
    throw Failure::InFile(picture, "the metafile module is not Tessarin's");
  }
  loaded.emplace(modulePath, render);
  return render;
}

// The last place looked in when it is nowhere, for the failure to name.
std::string DefaultModulePath() {
  const auto candidates = modules::ModuleCandidatesOfThisProcess(kModuleName);
  return modules::FirstRegularFile(candidates).value_or(candidates.back()).string();
}

}  // namespace

ports::Bitmap DecodeMetafileDib(const std::string& path, std::span<const std::uint8_t> dib,
                                DecodeSetup& setup) {
  auto source = OpenDib(std::make_unique<BytesFile>(path, dib), 0, dib.size(), DibKind::File, setup);
  CheckWholeDecodeSize(path, source->Width(), source->Height(), ports::kBytesPerPixel, setup.limits);
  return source->ReadTopLeft(source->Width(), source->Height());
}

std::unique_ptr<ports::Picture> OpenMetafileWith(std::unique_ptr<ports::InputFile> file,
                                                 const std::string& modulePath, DecodeSetup& setup) {
  const DecodeLimits& limits = setup.limits;
  const std::string path = file->Path();
  if (file->Size() > limits.maxMetafileBytes) throw Failure::InFile(path, "the metafile is too large");
  // The file, then the drawing (its surface and bitmaps, counted by the
  // player) take from the allowance; the drawing may use all it has left.
  const HeldMemory fileMemory = setup.allowance.Take(path, file->Size());
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->Size()));
  ReadExactly(*file, 0, bytes, limits.maxReadBytes);
  const metafile::RenderFunction render = LoadRenderer(modulePath, path);
  const metafile::RenderRequest request{
      bytes,
      setup.allowance.Left(),
      [&path, &setup](std::span<const std::uint8_t> dib) { return DecodeMetafileDib(path, dib, setup); },
      limits.metafileWorkPerPixel,
      limits.metafileMinWork,
      limits.metafileMaxSavedStates,
      limits.metafileMaxFontPixels};
  metafile::RenderResult result;
  render(request, result);
  if (!result.error.empty()) throw Failure::InFile(path, result.error);
  CheckWritableSize(path, result.image.width, result.image.height, limits);
  HeldMemory imageMemory = setup.allowance.Take(path, result.image.bgr.capacity());
  return std::make_unique<HeldPicture>(std::move(result.image), path, std::move(imageMemory));
}

std::unique_ptr<ports::Picture> OpenMetafile(std::unique_ptr<ports::InputFile> file,
                                             DecodeSetup& setup) {
  return OpenMetafileWith(std::move(file), DefaultModulePath(), setup);
}

}  // namespace tessarin::pictures
