#pragma once

#include <string>
#include <vector>

#include "text/ascii_text.h"  // TrimSpaces, for the fields

namespace tessarin {

// Cuts the text at every comma: two adjacent commas give an empty field, and
// an empty text gives one empty field.
std::vector<std::string> SplitAtCommas(const std::string& text);

// The folder and the name joined by exactly one separator.
std::string JoinPath(const std::string& folder, const std::string& name, char separator);

}  // namespace tessarin
