#pragma once

#include <string>

namespace tessarin::ports {

// Per-user persistent text values addressed by application, section and key.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;

  // The stored text, or `fallback` when the value does not exist. Never fails.
  virtual std::string Read(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& fallback) = 0;

  // Creates or replaces the value; durable once it returns. A refused write
  // throws Failure.
  virtual void Write(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) = 0;
};

}  // namespace tessarin::ports
