#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::text {

// Text files shared with people are changed line by line. Every line keeps its
// own terminator ("\n", "\r\n" or none for a last line without one), so that
// joining the lines gives back the file's bytes.
inline std::vector<std::string> SplitLines(std::string_view content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t end = content.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
    lines.emplace_back(content.substr(start, next - start));
    start = next;
  }
  return lines;
}

inline std::string JoinLines(const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) content += line;
  return content;
}

inline std::string_view Terminator(std::string_view line) {
  if (line.ends_with("\r\n")) return line.substr(line.size() - 2);
  if (line.ends_with('\n')) return line.substr(line.size() - 1);
  return {};
}

// The line without its terminator.
inline std::string_view Body(std::string_view line) {
  return line.substr(0, line.size() - Terminator(line).size());
}

// The text's lines without their terminators, as a tool prints them: a last
// line without a terminator counts, nothing after a final one does.
inline std::vector<std::string> LinesOf(std::string_view content) {
  std::vector<std::string> lines;
  for (const std::string& line : SplitLines(content)) lines.emplace_back(Body(line));
  return lines;
}

// Gives a last line without a terminator one, so that a line can follow it.
inline void EndLine(std::string& line) {
  if (Terminator(line).empty()) line += '\n';
}

}  // namespace tessarin::text
