#pragma once

#include <string>

namespace tessarin::ports {

// What the user's locale says about writing numbers.
class Locale {
 public:
  virtual ~Locale() = default;
  // The user's decimal separator.
  virtual std::string DecimalSeparator() const = 0;
};

}  // namespace tessarin::ports
