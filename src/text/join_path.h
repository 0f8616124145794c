#pragma once

#include <string>

namespace tessarin::text {

// The folder and the name joined by exactly one separator.
std::string JoinPath(const std::string& folder, const std::string& name, char separator);

}  // namespace tessarin::text
