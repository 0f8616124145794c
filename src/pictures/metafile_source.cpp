#include "pictures/metafile_source.h"

#include <map>
#include <vector>

#include "linux/loaded_module.h"
#include "base/failure.h"
#include "pictures/input_slices.h"
#include "pictures/metafile_module.h"
#include "pictures/picture_input.h"
#include "pictures/picture_limits.h"
#include "pictures/bmp_reader.h"
#include "pictures/image_source.h"

namespace tessarin::pictures {
namespace {

constexpr const char* kModuleName = "tessarin-metafile.so";

struct Renderer {
  metafile::RenderFunction render = nullptr;
  metafile::PrepareFontsFunction prepareFonts = nullptr;
};

// Loaded once per path and kept for the life of the process.
Renderer LoadRenderer(const std::string& modulePath, const std::string& picture) {
  static std::map<std::string, Renderer> loaded;
  if (const auto found = loaded.find(modulePath); found != loaded.end()) return found->second;
  const modules::LoadedModule module(modulePath);
  if (!module.Loaded()) {
    throw Failure::InFile(picture, "the metafile module cannot be loaded: " + module.Error());
  }
  Renderer renderer;
  if (!module.Find(metafile::kRenderSymbol, renderer.render) ||
      !module.Find(metafile::kPrepareFontsSymbol, renderer.prepareFonts)) {
    throw Failure::InFile(picture, "the metafile module is not Tessarin's");
  }
  loaded.emplace(modulePath, renderer);
  return renderer;
}

// The last place looked in when it is nowhere, for the failure to name.
// Looked for once: a decoder process may look at no file once it is shut in.
const std::string& DefaultModulePath() {
  static const std::string path = [] {
    const auto candidates = modules::ModuleCandidatesOfThisProcess(kModuleName);
    return modules::FirstRegularFile(candidates).value_or(candidates.back()).string();
  }();
  return path;
}

}  // namespace

ports::Bitmap DecodeMetafileDib(const std::string& path, std::span<const std::uint8_t> dib) {
  auto source = OpenDib(std::make_unique<BytesFile>(path, dib), 0, dib.size(), DibKind::File);
  CheckWholeDecodeSize(path, source->Width(), source->Height(), ports::kBytesPerPixel);
  return source->ReadTopLeft(source->Width(), source->Height());
}

std::unique_ptr<ports::Picture> OpenMetafileWith(std::unique_ptr<ports::InputFile> file,
                                                          const std::string& modulePath) {
  const std::string path = file->Path();
  if (file->Size() > kMaxMetafileBytes) throw Failure::InFile(path, "the metafile is too large");
  // The file, then the drawing (its surface and bitmaps, counted by the
  // player) take from the allowance; the drawing may use all it has left.
  const HeldMemory fileMemory = HeldMemory::Take(path, file->Size());
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->Size()));
  ReadExactly(*file, 0, bytes);
  const metafile::RenderFunction render = LoadRenderer(modulePath, path).render;
  metafile::RenderRequest request{bytes, HeldMemory::Left(),
                                  [&path](std::span<const std::uint8_t> dib) { return DecodeMetafileDib(path, dib); }};
  metafile::RenderResult result;
  render(request, result);
  if (!result.error.empty()) throw Failure::InFile(path, result.error);
  CheckWritableSize(path, result.image.width, result.image.height);
  HeldMemory imageMemory = HeldMemory::Take(path, result.image.bgr.capacity());
  return std::make_unique<HeldImageSource>(std::move(result.image), path, std::move(imageMemory));
}

void PrepareMetafileRenderer(const std::string& picture) { PrepareMetafileRendererAt(DefaultModulePath(), picture); }

void PrepareMetafileRendererAt(const std::string& modulePath, const std::string& picture) {
  LoadRenderer(modulePath, picture).prepareFonts();
}

std::unique_ptr<ports::Picture> OpenMetafile(std::unique_ptr<ports::InputFile> file) {
  return OpenMetafileWith(std::move(file), DefaultModulePath());
}

}  // namespace tessarin::pictures
