#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/picture_patterns.h"
#include "ports/files.h"

namespace tessarin::run {

// The patterns of a list such as kInsetPatterns.
std::vector<std::string> ParsePatternList(std::string_view list);

// Whether the name matches the pattern ("*" any run, "?" one character),
// without regard to letter case.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// The names of the folder's ordinary files that match any of the inset
// patterns. A missing folder stops the run (Failure).
std::vector<std::string> ListInsets(ports::Files& files, const std::string& folder);

}  // namespace tessarin::run
