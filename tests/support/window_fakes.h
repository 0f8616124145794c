#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/conventions.h"
#include "platform/failure.h"
#include "platform/process.h"
#include "platform/settings_backend.h"

namespace tessarin::testing {

// What a fake process throws instead of ending.
struct ProgramEnded {
  ExitCode status;
};

class ThrowingProcess : public platform::Process {
 public:
  std::string CommandLine() const override { return ""; }
  [[noreturn]] void EndProgram(ExitCode status) override { throw ProgramEnded{status}; }
};

// Settings in memory, remembering the order of the writes.
class FakeSettings : public platform::SettingsBackend {
 public:
  std::string Read(const std::string& application, const std::string& section,
                   const std::string& key, const std::string& fallback) override {
    const auto found = values.find(application + "/" + section + "/" + key);
    return found == values.end() ? fallback : found->second;
  }
  void Write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override {
    if (refuseWrites) throw Failure::InFile("Tessarin.ini", "refused");
    values[application + "/" + section + "/" + key] = value;
    writes.push_back(key);
  }
  bool Has(const std::string& key) const { return values.contains("Tessarin/App/" + key); }
  std::string At(const std::string& key) const { return values.at("Tessarin/App/" + key); }
  void Put(const std::string& key, const std::string& value) { values["Tessarin/App/" + key] = value; }

  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
  bool refuseWrites = false;
};

class FakeConventions : public platform::Conventions {
 public:
  explicit FakeConventions(char separator = '/') : separator_(separator) {}
  char PathSeparator() const override { return separator_; }
  bool FileNamesIgnoreCase() const override { return separator_ == '\\'; }
  std::string LowerCase(const std::string& text) const override { return text; }
  std::string DecimalSeparator() const override { return "."; }
  std::string ToAnsiCodePage(const std::string& text) const override { return text; }

 private:
  char separator_;
};

}  // namespace tessarin::testing
