#include "wallpaper/number_conversion.h"

#include <string_view>

#include "text/ascii_text.h"

namespace tessarin::wallpaper {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TakeDigits(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && IsDigit(text[n])) ++n;
  const std::string_view digits = text.substr(0, n);
  text.remove_prefix(n);
  return digits;
}

// Whether the fraction's digits make the magnitude round away from zero.
bool RoundsUp(std::string_view fraction, bool integerIsOdd) {
  if (fraction.empty() || fraction.front() < '5') return false;
  if (fraction.front() > '5') return true;
  const bool moreThanHalf = fraction.substr(1).find_first_not_of('0') != std::string_view::npos;
  return moreThanHalf || integerIsOdd;
}

}  // namespace

std::optional<std::int32_t> ToInt32(const std::string& text, const std::string& decimalSeparator) {
  std::string_view rest = text::Trim(text, text::kSpacesAndTabs);
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  const std::string_view integer = TakeDigits(rest);
  std::string_view fraction;
  if (!decimalSeparator.empty() && rest.starts_with(decimalSeparator)) {
    rest.remove_prefix(decimalSeparator.size());
    fraction = TakeDigits(rest);
  }
  if (!rest.empty() || (integer.empty() && fraction.empty())) return std::nullopt;

  // 2^31 is the largest magnitude any result may have; stop counting beyond it.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (char digit : integer) {
    magnitude = magnitude * 10 + (digit - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  if (RoundsUp(fraction, magnitude % 2 == 1)) ++magnitude;
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < -kLimit || value >= kLimit) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace tessarin::wallpaper
