#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessarin::wallpaper {

// Reads a decimal number written with the user's decimal separator and
// optional surrounding blanks, rounding a fraction to the nearest integer
// (halves to the even neighbour). The rounding is done on the digits
// themselves, so no value is disturbed by a binary floating-point round trip.
// Empty text, other forms and values outside the signed 32-bit range give none.
std::optional<std::int32_t> ToInt32(const std::string& text, const std::string& decimalSeparator);

}  // namespace tessarin::wallpaper
