#include "platform/win32/win32_registry.h"

#include <windows.h>

namespace tessarin::win32_platform {

std::int32_t Win32Registry::OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                               platform::RegistryKey& key) {
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<platform::RegistryKey>(opened);
  return status;
}

std::int32_t Win32Registry::SetValue(platform::RegistryKey key, const std::string& name,
                                     std::uint32_t type, std::span<const std::uint8_t> data) {
  return RegSetValueExA(reinterpret_cast<HKEY>(key), name.c_str(), 0, type, data.data(),
                        static_cast<DWORD>(data.size()));
}

std::int32_t Win32Registry::CloseKey(platform::RegistryKey key) {
  return RegCloseKey(reinterpret_cast<HKEY>(key));
}

}  // namespace tessarin::win32_platform
