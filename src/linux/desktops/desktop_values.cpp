#include "linux/desktops/desktop_values.h"

#include <filesystem>
#include <system_error>

#include "text/ascii_text.h"
#include "text/utf8.h"

namespace tessarin::linux_platform::desktops {
namespace {

bool StaysAsItIs(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

// One escape after the backslash at `at`; false for an unknown one.
bool Unescape(const std::string& literal, std::size_t& at, std::string& out) {
  const char kind = literal[at];
  static const std::string kSimple = "abfnrtv";
  static const std::string kMeaning = "\a\b\f\n\r\t\v";
  if (const auto simple = kSimple.find(kind); simple != std::string::npos) {
    out += kMeaning[simple];
    ++at;
    return true;
  }
  if (kind == 'u' || kind == 'U') {
    const std::size_t digits = kind == 'u' ? 4 : 8;
    if (at + digits >= literal.size() - 1) return false;  // digits stop before the closing quote
    const std::string hex = literal.substr(at + 1, digits);
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    text::AppendUtf8(out, static_cast<char32_t>(std::stoul(hex, nullptr, 16)));
    at += digits + 1;
    return true;
  }
  out += kind;  // the quote characters and the backslash stand for themselves
  ++at;
  return true;
}

}  // namespace

std::string RealPath(const std::string& path) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  const auto real = std::filesystem::weakly_canonical(absolute, error);
  // Else the absolute path still names the file, as no ".." step was cut from it.
  return error ? absolute.string() : real.string();
}

std::string FileUri(const std::string& absolutePath) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const unsigned char c : absolutePath) {
    if (StaysAsItIs(c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0x0F];
    }
  }
  return uri;
}

std::string SameFileOtherSpelling(const std::string& absolutePath) {
  const auto slash = absolutePath.rfind('/');
  if (slash == std::string::npos) return "./" + absolutePath;
  return absolutePath.substr(0, slash) + "/." + absolutePath.substr(slash);
}

std::string GVariantString(const std::string& text) { return text::BackslashQuoted(text, '\''); }

std::optional<std::string> ParseGVariantString(const std::string& literal) {
  if (literal.size() < 2) return std::nullopt;
  const char quote = literal.front();
  if ((quote != '\'' && quote != '"') || literal.back() != quote) return std::nullopt;
  std::string text;
  const std::size_t end = literal.size() - 1;
  std::size_t at = 1;
  while (at < end) {
    const char c = literal[at];
    if (c == quote) return std::nullopt;
    if (c != '\\') {
      text += c;
      ++at;
      continue;
    }
    ++at;
    if (at >= end || !Unescape(literal, at, text)) return std::nullopt;
  }
  return text;
}

}  // namespace tessarin::linux_platform::desktops
