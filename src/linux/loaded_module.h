#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Code loaded only when a run needs it: Tessarin's own modules (the GUI, the
// metafile renderer) and system libraries not every run uses (libX11).
namespace tessarin::linux_platform {

// Where a module of Tessarin's is looked for, first to last: beside the
// executable, then in ../lib/tessarin (the installed layout).
std::vector<std::filesystem::path> ModuleCandidates(const std::filesystem::path& executable,
                                                    const std::string& fileName);

// The same for this process's executable (or the working folder, should
// /proc not tell where the executable is).
std::vector<std::filesystem::path> ModuleCandidatesOfThisProcess(const std::string& fileName);

// The first of the paths that is an ordinary file, symbolic links followed.
std::optional<std::filesystem::path> FirstOrdinaryFile(
    const std::vector<std::filesystem::path>& paths);

// A library opened with dlopen, every symbol bound now and none exported to
// later libraries. It is never closed: objects made by its code may live as
// long as the process.
class LoadedModule {
 public:
  // `file` is a path, or a library name the system's search resolves.
  explicit LoadedModule(const std::string& file);

  bool Loaded() const { return handle_ != nullptr; }
  // Why it did not load (the loader's own words).
  const std::string& Error() const { return error_; }

  // Points `function` at the exported symbol `name`; false when there is none.
  template <typename Function>
  bool Find(const char* name, Function& function) const {
    void* symbol = Symbol(name);
    static_assert(sizeof symbol == sizeof function);
    std::memcpy(&function, &symbol,
                sizeof function);  // a data to function pointer, as POSIX allows
    return symbol != nullptr;
  }

  // Why the module, built for another version of its interface than
  // `wanted`, must not be used: its file, the version it exports as the
  // `uint32_t` `symbol` (or that it exports none) and the one wanted; nothing
  // when they agree. Asked before any of its calls or structs is used.
  std::optional<std::string> VersionMismatch(const char* symbol, std::uint32_t wanted) const;

 private:
  void* Symbol(const char* name) const;

  std::string file_;
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace tessarin::linux_platform
