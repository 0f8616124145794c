#include "linux/gui_loader.h"

#include <cstdlib>

#include "linux/loaded_module.h"

namespace tessarin::linux_platform {
namespace {

bool VariableSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

GuiModule* LoadFrom(const std::filesystem::path& file) {
  const modules::LoadedModule module(file.string());
  CreateGuiModuleFunction create = nullptr;
  return module.Find(kCreateGuiModuleSymbol, create) ? create() : nullptr;
}

}  // namespace

bool DisplayNamed() { return VariableSet("DISPLAY") || VariableSet("WAYLAND_DISPLAY"); }

GuiLoader GuiLoader::ForThisProcess() {
  return GuiLoader(modules::ModuleCandidatesOfThisProcess(kGuiModuleFileName), DisplayNamed());
}

GuiModule* GuiLoader::Module() {
  if (!module_) {
    module_.emplace();
    if (!displayPresent_) return nullptr;
    if (const auto file = modules::FirstRegularFile(candidates_)) module_->reset(LoadFrom(*file));
  }
  return module_->get();
}

}  // namespace tessarin::linux_platform
