#pragma once

#include <string>
#include <vector>

namespace tessarin::text {

// Cuts the text at every comma: two adjacent commas give an empty field, and
// an empty text gives one empty field.
std::vector<std::string> SplitAtCommas(const std::string& text);

}  // namespace tessarin::text
