#include "windows/registry_settings.h"

#include <windows.h>

#include "base/failure.h"
#include "windows/win32_text.h"

namespace tessarin::windows_platform {
namespace {

std::string SubkeyOf(const std::string& application, const std::string& section) {
  return "Software\\" + application + "\\" + section;
}

}  // namespace

std::string RegistrySettings::Read(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& fallback) {
  const std::wstring subkey = Widen(SubkeyOf(application, section));
  const std::wstring name = Widen(key);
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS) {
    return fallback;
  }
  // The value may grow between the two calls; ask again with the new size.
  for (;;) {
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.c_str(),
                                        RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return fallback;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return Narrow(text);
  }
}

void RegistrySettings::Write(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) {
  const std::string subkey = SubkeyOf(application, section);
  HKEY opened = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, Widen(subkey).c_str(), 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, &opened, nullptr);
  if (status == ERROR_SUCCESS) {
    const std::wstring text = Widen(value);
    status = RegSetValueExW(opened, Widen(key).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    // Durable once saved: the window ends the program right after its last save.
    if (status == ERROR_SUCCESS) status = RegFlushKey(opened);
    RegCloseKey(opened);
  }
  if (status != ERROR_SUCCESS) {
    throw Failure::InFile(
        FailureKind::SettingsRefused, "HKEY_CURRENT_USER\\" + subkey,
        "cannot save " + key + ": " + ErrorText(static_cast<unsigned long>(status)));
  }
}

}  // namespace tessarin::windows_platform
