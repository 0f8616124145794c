#pragma once

#include <cstdint>
#include <string>

#include "ports/locale.h"
#include "windows/registry.h"

// The program's two registry-writing procedures.
namespace tessarin::windows_platform {

inline constexpr std::uint32_t kRegSz = 1;     // text
inline constexpr std::uint32_t kRegDword = 4;  // signed 32-bit integer, little-endian
// Query value, set value, create subkey, enumerate subkeys, notify, create link.
inline constexpr std::uint32_t kKeyAccess = 0x3F;

// Opens the subkey of the current user (never creating it), writes one value
// and closes the key. Every status is ignored: failures are silent.
void WriteCurrentUserValue(Registry& registry, const ports::Locale& locale,
                           const std::string& subkey, const std::string& valueName,
                           const std::string& value, std::uint32_t valueType);

// Writes one value under an open key and returns the registry's status, or 0
// without writing for a type other than text or number. A number that cannot
// be read stops the run (Failure).
std::int32_t WriteRegistryValue(Registry& registry, const ports::Locale& locale, RegistryKey key,
                                const std::string& valueName, std::uint32_t valueType,
                                const std::string& value);

}  // namespace tessarin::windows_platform
