#pragma once

#include <string>
#include <string_view>

// Byte-wise text edits that mean the same in every locale and leave UTF-8
// sequences intact: only ASCII letters change case, only the named blanks go.
namespace tessarin::text {

// The blank sets a text is trimmed of; each caller names the one its input
// calls for.
inline constexpr std::string_view kSpaces = " ";            // around a value the user typed
inline constexpr std::string_view kSpacesAndTabs = " \t";   // in a settings line or a number
inline constexpr std::string_view kLineBlanks = " \t\r\n";  // also the line ends a tool prints

std::string_view Trim(std::string_view text, std::string_view blanks);
std::string_view TrimStart(std::string_view text, std::string_view blanks);
std::string_view TrimEnd(std::string_view text, std::string_view blanks);

// Removes leading and trailing spaces (code 32 only).
std::string TrimSpaces(const std::string& text);

// A to Z become a to z; every other byte stays.
char AsciiLower(char c);
std::string AsciiLower(std::string_view text);

// The text between two `quote` characters, each quote and backslash in it
// preceded by a backslash.
std::string BackslashQuoted(std::string_view text, char quote);

}  // namespace tessarin::text
