#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tessarin::windows_platform {

// A handle to an open key; 0 is no key.
using RegistryKey = std::uintptr_t;

// The current user's part of the registry, as its three entry points: what
// the registry writer writes through (advapi32 in the program, a recording
// fake in its tests). Names, and the data of text values (type 1, the text and
// one NUL), are the program's UTF-8 text, stored in the ANSI code page where
// that holds them. Statuses are the system's (0 is success).
class Registry {
 public:
  virtual ~Registry() = default;
  // Opens an existing subkey of HKEY_CURRENT_USER; does not create it. On
  // failure `key` is left unchanged.
  virtual std::int32_t OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                          RegistryKey& key) = 0;
  virtual std::int32_t SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                                std::span<const std::uint8_t> data) = 0;
  virtual std::int32_t CloseKey(RegistryKey key) = 0;
};

}  // namespace tessarin::windows_platform
