#include "linux/loaded_module.h"

#include <dlfcn.h>

#include <system_error>

namespace tessarin::linux_platform {

std::vector<std::filesystem::path> ModuleCandidates(const std::filesystem::path& executable,
                                                    const std::string& fileName) {
  const auto folder = executable.parent_path();
  return {folder / fileName, (folder / ".." / "lib" / "tessarin" / fileName).lexically_normal()};
}

std::vector<std::filesystem::path> ModuleCandidatesOfThisProcess(const std::string& fileName) {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return ModuleCandidates(error ? std::filesystem::path("./tessarin") : executable, fileName);
}

std::optional<std::filesystem::path> FirstOrdinaryFile(
    const std::vector<std::filesystem::path>& paths) {
  for (const auto& path : paths) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return path;
  }
  return std::nullopt;
}

LoadedModule::LoadedModule(const std::string& file)
    : file_(file), handle_(::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ != nullptr) return;
  const char* why = ::dlerror();
  error_ = why != nullptr ? why : file + ": cannot be loaded";
}

std::optional<std::string> LoadedModule::VersionMismatch(const char* symbol,
                                                         std::uint32_t wanted) const {
  const auto* version = static_cast<const std::uint32_t*>(Symbol(symbol));
  if (version != nullptr && *version == wanted) return std::nullopt;
  return file_ + ": module " +
         (version != nullptr ? "version " + std::to_string(*version) : "without a version") +
         ", this program needs version " + std::to_string(wanted);
}

void* LoadedModule::Symbol(const char* name) const {
  return handle_ == nullptr ? nullptr : ::dlsym(handle_, name);
}

}  // namespace tessarin::linux_platform
