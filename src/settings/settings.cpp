#include "settings/settings.h"

namespace tessarin::settings {

std::string GetSetting(ports::SettingsBackend& store, const std::string& application,
                       const std::string& section, const std::string& key,
                       const std::string& fallback) {
  return store.Read(application, section, key, fallback);
}

void SaveSetting(ports::SettingsBackend& store, const std::string& application,
                 const std::string& section, const std::string& key, const std::string& value) {
  store.Write(application, section, key, value);
}

std::string GetAppSetting(ports::SettingsBackend& store, const std::string& key) {
  return GetSetting(store, kApplication, kSection, key, "");
}

void SaveAppSetting(ports::SettingsBackend& store, const std::string& key,
                    const std::string& value) {
  SaveSetting(store, kApplication, kSection, key, value);
}

}  // namespace tessarin::settings
