#pragma once

#include <map>
#include <string>
#include <vector>

namespace tessarin::linux_platform::desktops {

// A copy of the environment the desktop code looks at and hands to the tools
// it runs, so that tests can choose every variable.
class Environment {
 public:
  Environment() = default;
  explicit Environment(std::map<std::string, std::string> variables)
      : variables_(std::move(variables)) {}

  static Environment OfThisProcess();

  // The variable's value, empty when it is not set.
  std::string Get(const std::string& name) const;
  bool Has(const std::string& name) const { return variables_.count(name) != 0; }
  void Set(const std::string& name, const std::string& value) { variables_[name] = value; }

  // "NAME=value" entries, as a child process's environment takes them.
  std::vector<std::string> Entries() const;

 private:
  std::map<std::string, std::string> variables_;
};

}  // namespace tessarin::linux_platform::desktops
