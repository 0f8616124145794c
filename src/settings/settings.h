#pragma once

#include <string>

#include "ports/settings_backend.h"

namespace tessarin::settings {

// The application and section every setting of the program lives under.
inline constexpr const char* kApplication = "Tessarin";
inline constexpr const char* kSection = "App";

// The keys of section App.
namespace keys {
inline constexpr const char* kFirstRun = "FirstRun";
inline constexpr const char* kOutputFile = "OutputFile";
inline constexpr const char* kCanvas = "Canvas";
inline constexpr const char* kInsertDir = "InsertDir";
inline constexpr const char* kX = "X";
inline constexpr const char* kY = "Y";
inline constexpr const char* kH = "H";
inline constexpr const char* kW = "W";
}  // namespace keys

// The stored text, or `fallback` when the value does not exist.
std::string GetSetting(ports::SettingsBackend& store, const std::string& application,
                       const std::string& section, const std::string& key,
                       const std::string& fallback);

// Creates or replaces the value; a refused write stops the run (Failure).
void SaveSetting(ports::SettingsBackend& store, const std::string& application,
                 const std::string& section, const std::string& key, const std::string& value);

// The program's own reads and writes: application Tessarin, section App, and
// the empty text as default.
std::string GetAppSetting(ports::SettingsBackend& store, const std::string& key);
void SaveAppSetting(ports::SettingsBackend& store, const std::string& key,
                    const std::string& value);

}  // namespace tessarin::settings
