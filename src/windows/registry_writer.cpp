#include "windows/registry_writer.h"

#include <array>
#include <vector>

#include "base/failure.h"
#include "wallpaper/number_conversion.h"

namespace tessarin::windows_platform {

void WriteCurrentUserValue(Registry& registry, const ports::Locale& locale,
                           const std::string& subkey, const std::string& valueName,
                           const std::string& value, std::uint32_t valueType) {
  RegistryKey key = 0;
  registry.OpenCurrentUserKey(subkey, kKeyAccess, key);
  WriteRegistryValue(registry, locale, key, valueName, valueType, value);
  registry.CloseKey(key);
}

std::int32_t WriteRegistryValue(Registry& registry, const ports::Locale& locale, RegistryKey key,
                                const std::string& valueName, std::uint32_t valueType,
                                const std::string& value) {
  if (valueType == kRegSz) {
    std::vector<std::uint8_t> data(value.begin(), value.end());
    data.push_back(0);  // the terminating NUL is part of the stored size
    return registry.SetValue(key, valueName, kRegSz, data);
  }
  if (valueType == kRegDword) {
    const auto number = wallpaper::ToInt32(value, locale.DecimalSeparator());
    if (!number)
      throw Failure(FailureKind::BadAreaValue,
                    "\"" + value + "\" is not a whole number within the 32-bit range");
    const auto bits = static_cast<std::uint32_t>(*number);
    const std::array<std::uint8_t, 4> data = {
        static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
        static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    return registry.SetValue(key, valueName, kRegDword, data);
  }
  return 0;
}

}  // namespace tessarin::windows_platform
