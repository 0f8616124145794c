#include "text/ascii_text.h"

namespace tessarin::text {

std::string_view TrimStart(std::string_view text, std::string_view blanks) {
  const auto first = text.find_first_not_of(blanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view TrimEnd(std::string_view text, std::string_view blanks) {
  const auto last = text.find_last_not_of(blanks);
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text, std::string_view blanks) {
  return TrimEnd(TrimStart(text, blanks), blanks);
}

std::string TrimSpaces(const std::string& text) { return std::string(Trim(text, kSpaces)); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

std::string BackslashQuoted(std::string_view text, char quote) {
  std::string quoted(1, quote);
  for (const char c : text) {
    if (c == quote || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + quote;
}

}  // namespace tessarin::text
