#include "linux/metafile_renderer.h"

#include <map>
#include <mutex>

#include "base/failure.h"
#include "linux/loaded_module.h"

namespace tessarin::linux_platform {
namespace {

constexpr const char* kModuleName = "tessarin-metafile.so";

// Loaded once per path and kept for the life of the process; the fonts its
// text is drawn in are opened with it, so that a decoder process that loads
// it before it is shut in opens no file to draw.
pictures::metafile::RenderFunction LoadRenderer(const std::string& modulePath,
                                                const std::string& picture) {
  static std::mutex mutex;
  static std::map<std::string, pictures::metafile::RenderFunction> loaded;
  const std::lock_guard lock(mutex);
  if (const auto found = loaded.find(modulePath); found != loaded.end()) return found->second;
  const LoadedModule module(modulePath);
  if (!module.Loaded()) {
    throw Failure::InFile(FailureKind::Platform, picture,
                          "the metafile module cannot be loaded: " + module.Error());
  }
  if (const auto mismatch = module.VersionMismatch(pictures::metafile::kVersionSymbol,
                                                   pictures::metafile::kModuleVersion)) {
    throw Failure::InFile(FailureKind::Platform, picture,
                          "the metafile module cannot be loaded: " + *mismatch);
  }
  pictures::metafile::RenderFunction render = nullptr;
  pictures::metafile::PrepareFontsFunction prepareFonts = nullptr;
  if (!module.Find(pictures::metafile::kRenderSymbol, render) ||
      !module.Find(pictures::metafile::kPrepareFontsSymbol, prepareFonts)) {
    throw Failure::InFile(FailureKind::Platform, picture, "the metafile module is not Tessarin's");
  }
  prepareFonts();
  loaded.emplace(modulePath, render);
  return render;
}

// The last place looked in when it is nowhere, for the failure to name.
// Looked for once: a decoder process may look at no file once it is shut in.
const std::string& DefaultModulePath() {
  static const std::string path = [] {
    const auto candidates = ModuleCandidatesOfThisProcess(kModuleName);
    return FirstOrdinaryFile(candidates).value_or(candidates.back()).string();
  }();
  return path;
}

}  // namespace

pictures::MetafileRendererLoader MetafileRendererAt(std::string modulePath) {
  return [modulePath = std::move(modulePath)](const std::string& picture) {
    return LoadRenderer(modulePath, picture);
  };
}

pictures::MetafileRendererLoader MetafileRendererOfThisProcess() {
  return [](const std::string& picture) { return LoadRenderer(DefaultModulePath(), picture); };
}

}  // namespace tessarin::linux_platform
