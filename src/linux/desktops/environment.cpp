#include "linux/desktops/environment.h"

#include <unistd.h>

namespace tessarin::linux_platform::desktops {

Environment Environment::OfThisProcess() {
  Environment snapshot;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const auto equals = text.find('=');
    if (equals != std::string::npos) snapshot.Set(text.substr(0, equals), text.substr(equals + 1));
  }
  return snapshot;
}

std::string Environment::Get(const std::string& name) const {
  const auto found = variables_.find(name);
  return found == variables_.end() ? std::string() : found->second;
}

std::vector<std::string> Environment::Entries() const {
  std::vector<std::string> entries;
  for (const auto& [name, value] : variables_) entries.push_back(name + "=" + value);
  return entries;
}

}  // namespace tessarin::linux_platform::desktops
