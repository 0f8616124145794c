#include "run/inset_list.h"

#include <algorithm>

#include "text/ascii_text.h"

namespace tessarin::run {

std::vector<std::string> ParsePatternList(std::string_view list) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find(';', start), list.size());
    const std::string pattern = text::TrimSpaces(std::string(list.substr(start, end - start)));
    if (!pattern.empty()) patterns.push_back(pattern);
    start = end + 1;
  }
  return patterns;
}

// Iterative wildcard matching: on a mismatch after a "*", let that star
// swallow one more character. Linear in practice, never exponential.
bool MatchesPattern(std::string_view name, std::string_view pattern) {
  std::size_t n = 0, p = 0;
  std::size_t starAt = std::string_view::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || text::AsciiLower(pattern[p]) == text::AsciiLower(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> ListInsets(ports::Files& files, const std::string& folder) {
  static const std::vector<std::string> patterns = ParsePatternList(kInsetPatterns);
  std::vector<std::string> names = files.ListOrdinaryFiles(folder);
  std::erase_if(names, [](const std::string& name) {
    return std::none_of(patterns.begin(), patterns.end(),
                        [&](const std::string& pattern) { return MatchesPattern(name, pattern); });
  });
  return names;
}

}  // namespace tessarin::run
