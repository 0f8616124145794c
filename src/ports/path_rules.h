#pragma once

#include <string>

namespace tessarin::ports {

// The platform's rules for file paths.
class PathRules {
 public:
  virtual ~PathRules() = default;
  virtual char PathSeparator() const = 0;
  // Whether letter case distinguishes file names.
  virtual bool FileNamesIgnoreCase() const = 0;
  // The platform's own lower-case mapping of the whole text.
  virtual std::string LowerCase(const std::string& text) const = 0;
};

}  // namespace tessarin::ports
