#pragma once

#include "windows/registry.h"

namespace tessarin::windows_platform {

// advapi32's RegOpenKeyExA, RegSetValueExA and RegCloseKey, with names and
// text in the ANSI code page; text that code page cannot hold goes to the
// wide entry points instead (RegOpenKeyExW, RegSetValueExW), still REG_SZ with
// its NUL counted.
class Win32Registry : public Registry {
 public:
  std::int32_t OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                  RegistryKey& key) override;
  std::int32_t SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                        std::span<const std::uint8_t> data) override;
  std::int32_t CloseKey(RegistryKey key) override;
};

}  // namespace tessarin::windows_platform
