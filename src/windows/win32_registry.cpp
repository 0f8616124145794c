#include "windows/win32_registry.h"

#include <windows.h>

#include <optional>
#include <string_view>

#include "windows/win32_text.h"

namespace tessarin::windows_platform {
namespace {

HKEY HandleOf(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

// A text value's data without its terminating NUL.
std::string_view TextOf(std::span<const std::uint8_t> data) {
  std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return text;
}

// The text and its NUL as registry data: the stored size counts the NUL.
template <typename Text>
std::span<const BYTE> BytesWithNul(const Text& text) {
  return {reinterpret_cast<const BYTE*>(text.c_str()),
          (text.size() + 1) * sizeof(typename Text::value_type)};
}

LSTATUS SetWide(HKEY key, const std::string& name, DWORD type, std::span<const BYTE> data) {
  return RegSetValueExW(key, Widen(name).c_str(), 0, type, data.data(),
                        static_cast<DWORD>(data.size()));
}

}  // namespace

std::int32_t Win32Registry::OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                               RegistryKey& key) {
  HKEY opened = nullptr;
  const std::optional<std::string> ansi = ToAnsiExactly(subkey);
  const LSTATUS status =
      ansi ? RegOpenKeyExA(HKEY_CURRENT_USER, ansi->c_str(), 0, access, &opened)
           : RegOpenKeyExW(HKEY_CURRENT_USER, Widen(subkey).c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) key = reinterpret_cast<RegistryKey>(opened);
  return status;
}

std::int32_t Win32Registry::SetValue(RegistryKey key, const std::string& name, std::uint32_t type,
                                     std::span<const std::uint8_t> data) {
  const std::optional<std::string> ansiName = ToAnsiExactly(name);
  if (type != REG_SZ) {
    if (!ansiName) return SetWide(HandleOf(key), name, type, data);
    return RegSetValueExA(HandleOf(key), ansiName->c_str(), 0, type, data.data(),
                          static_cast<DWORD>(data.size()));
  }
  const std::string_view text = TextOf(data);
  const std::optional<std::string> ansiText = ToAnsiExactly(text);
  // Text the code page lacks would be stored with '?' in its place.
  if (!ansiName || !ansiText) {
    const std::wstring wide = Widen(text);
    return SetWide(HandleOf(key), name, REG_SZ, BytesWithNul(wide));
  }
  const auto bytes = BytesWithNul(*ansiText);
  return RegSetValueExA(HandleOf(key), ansiName->c_str(), 0, REG_SZ, bytes.data(),
                        static_cast<DWORD>(bytes.size()));
}

std::int32_t Win32Registry::CloseKey(RegistryKey key) { return RegCloseKey(HandleOf(key)); }

}  // namespace tessarin::windows_platform
