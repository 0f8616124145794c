#include "platform/linux/gui_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <system_error>

namespace tessarin::linux_platform {
namespace {

bool VariableSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

std::filesystem::path ThisExecutable() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error);
}

// The module stays loaded until the process ends: its objects live as long.
GuiModule* LoadFrom(const std::filesystem::path& file) {
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  auto create = reinterpret_cast<CreateGuiModuleFunction>(::dlsym(handle, kCreateGuiModuleSymbol));
  return create == nullptr ? nullptr : create();
}

}  // namespace

std::vector<std::filesystem::path> GuiModuleCandidates(const std::filesystem::path& executable) {
  const auto folder = executable.parent_path();
  return {folder / kGuiModuleFileName,
          (folder / ".." / "lib" / "tessarin" / kGuiModuleFileName).lexically_normal()};
}

bool DisplayNamed() { return VariableSet("DISPLAY") || VariableSet("WAYLAND_DISPLAY"); }

GuiLoader GuiLoader::ForThisProcess() {
  return GuiLoader(GuiModuleCandidates(ThisExecutable()), DisplayNamed());
}

GuiModule* GuiLoader::Module() {
  if (!module_) {
    module_.emplace();
    if (!displayPresent_) return nullptr;
    for (const auto& file : candidates_) {
      if (!std::filesystem::is_regular_file(file)) continue;
      module_->reset(LoadFrom(file));
      break;
    }
  }
  return module_->get();
}

}  // namespace tessarin::linux_platform
