#pragma once

#include "ports/settings_backend.h"

namespace tessarin::windows_platform {

// The settings in the current user's registry: application A, section S and
// key K are the REG_SZ value K of HKEY_CURRENT_USER\Software\A\S.
class RegistrySettings : public ports::SettingsBackend {
 public:
  std::string Read(const std::string& application, const std::string& section,
                   const std::string& key, const std::string& fallback) override;
  void Write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
};

}  // namespace tessarin::windows_platform
