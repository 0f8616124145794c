#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "ports/registry.h"

namespace tessarin::linux_platform {

// The statuses this registry gives, as the operating system's registry does.
namespace registry_status {
inline constexpr std::int32_t kSuccess = 0;
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kAccessDenied = 5;
inline constexpr std::int32_t kInvalidHandle = 6;
inline constexpr std::int32_t kInvalidParameter = 87;
inline constexpr std::int32_t kIoFailed = 1016;
}  // namespace registry_status

// The access right a key needs for SetValue.
inline constexpr std::uint32_t kKeySetValue = 0x2;

// The current user's registry, kept in ConfigHome()/Tessarin/registry.reg as
// REGEDIT4 text: "[HKEY_CURRENT_USER\<path>]" lines, each followed by its
// values as "name"="text", "name"=dword:xxxxxxxx or "name"=hex(type):aa,bb.
// Every value keeps its type and exact bytes. Key paths and value names ignore
// ASCII letter case and keep the spelling first written. Without a file the
// registry holds the empty key "Control Panel\desktop". A write changes only
// the lines of its own value; every other line (comments, hex data continued
// with "\", keys of other roots, lines it cannot read) is kept byte for byte.
// No call throws: failures are statuses.
class RegistryFile : public ports::Registry {
 public:
  std::int32_t OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                  ports::RegistryKey& key) override;
  std::int32_t SetValue(ports::RegistryKey key, const std::string& name, std::uint32_t type,
                        std::span<const std::uint8_t> data) override;
  std::int32_t CloseKey(ports::RegistryKey key) override;

  // The file that holds the registry.
  static std::filesystem::path File();

 private:
  struct OpenKey {
    std::string path;
    std::uint32_t access;
  };
  std::map<ports::RegistryKey, OpenKey> open_;
  ports::RegistryKey next_ = 1;
};

}  // namespace tessarin::linux_platform
