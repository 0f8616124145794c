#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ports/settings_backend.h"

namespace tessarin::linux_platform {

// The value of `key` in `section` of an INI text read as IniSettings reads its
// file; none when the key is not there.
std::optional<std::string> IniValue(std::string_view content, std::string_view section,
                                    std::string_view key);

// The INI text with `key` of `section` set to `value` as IniSettings::Write
// sets it: the key's line changed, or a new one added, every other line kept.
std::string IniWithValue(const std::string& content, const std::string& section,
                         const std::string& key, const std::string& value);

// The settings as a per-user INI file, ConfigHome()/<application>/<application>.ini:
// "[Section]" lines each followed by "key=value" lines. Names match exactly
// (letter case counts) and values are kept exactly as given; only "\", line
// feed and carriage return are escaped (as \\, \n, \r) so that a value stays on
// its line. A write changes only the line of its key and keeps every other
// line byte for byte. Reading accepts what an editor may leave: a UTF-8
// byte-order mark at the start (kept on writing) and "key = value" lines.
// A run reads the file once: the first read of an application takes its
// content, later reads answer from it, and every write (which reads the file
// afresh under its lock, so that no other run's keys are lost) refreshes it.
class IniSettings : public ports::SettingsBackend {
 public:
  std::string Read(const std::string& application, const std::string& section,
                   const std::string& key, const std::string& fallback) override;
  void Write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;

  // The file that holds the application's settings.
  static std::filesystem::path FileFor(const std::string& application);

 private:
  // The content last read or written, per application; none for a file that
  // could not be read, which holds no values for us.
  const std::optional<std::string>& Content(const std::string& application);

  std::map<std::string, std::optional<std::string>> contents_;
};

}  // namespace tessarin::linux_platform
