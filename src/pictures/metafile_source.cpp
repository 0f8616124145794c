#include "pictures/metafile_source.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <vector>

#include "platform/failure.h"
#include "pictures/input_slices.h"
#include "pictures/metafile_module.h"
#include "pictures/picture_limits.h"
#include "pictures/bmp_reader.h"
#include "pictures/image_source.h"

namespace tessarin::pictures {
namespace {

constexpr const char* kModuleName = "tessarin-metafile.so";

// Loaded once per path and kept for the life of the process.
metafile::RenderFunction LoadRenderer(const std::string& modulePath, const std::string& picture) {
  static std::map<std::string, metafile::RenderFunction> loaded;
  if (const auto found = loaded.find(modulePath); found != loaded.end()) return found->second;
  void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* why = dlerror();
    throw Failure::InFile(picture, std::string("the metafile module cannot be loaded: ") +
                                       (why ? why : modulePath));
  }
  auto render = reinterpret_cast<metafile::RenderFunction>(dlsym(module, metafile::kRenderSymbol));
  if (!render) throw Failure::InFile(picture, "the metafile module is not Tessarin's");
  loaded.emplace(modulePath, render);
  return render;
}

std::string DefaultModulePath() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  const auto folder = error ? std::filesystem::path(".") : executable.parent_path();
  const auto beside = folder / kModuleName;
  if (std::filesystem::exists(beside, error)) return beside.string();
  return (folder / ".." / "lib" / "tessarin" / kModuleName).string();
}

}  // namespace

platform::Image DecodeMetafileDib(const std::string& path, std::span<const std::uint8_t> dib) {
  auto source = OpenDib(std::make_unique<BytesFile>(path, dib), 0, dib.size(), DibKind::File);
  CheckWholeDecodeSize(path, source->Width(), source->Height(), platform::kBytesPerPixel);
  return source->ReadTopLeft(source->Width(), source->Height());
}

std::unique_ptr<platform::PictureSource> OpenMetafileWith(std::unique_ptr<platform::InputFile> file,
                                                          const std::string& modulePath) {
  const std::string path = file->Path();
  if (file->Size() > kMaxMetafileBytes) throw Failure::InFile(path, "the metafile is too large");
  // The file, then the drawing (its surface and bitmaps, counted by the
  // player) take from the allowance; the drawing may use all it has left.
  const HeldMemory fileMemory = HeldMemory::Take(path, file->Size());
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->Size()));
  ReadExactly(*file, 0, bytes);
  const metafile::RenderFunction render = LoadRenderer(modulePath, path);
  metafile::RenderRequest request{bytes, HeldMemory::Left(),
                                  [&path](std::span<const std::uint8_t> dib) { return DecodeMetafileDib(path, dib); }};
  metafile::RenderResult result;
  render(request, result);
  if (!result.error.empty()) throw Failure::InFile(path, result.error);
  CheckWritableSize(path, result.image.width, result.image.height);
  HeldMemory imageMemory = HeldMemory::Take(path, result.image.bgr.capacity());
  return std::make_unique<HeldImageSource>(std::move(result.image), std::move(imageMemory));
}

std::unique_ptr<platform::PictureSource> OpenMetafile(std::unique_ptr<platform::InputFile> file) {
  return OpenMetafileWith(std::move(file), DefaultModulePath());
}

}  // namespace tessarin::pictures
