#include "linux/stderr_messages.h"

#include <unistd.h>

#include <cstdio>

namespace tessarin::linux_platform {
namespace {

std::string HexEscape(unsigned char byte) {
  char escaped[5];
  std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
  return escaped;
}

// The length a UTF-8 sequence starting with this byte has; 0 for a byte that
// starts none (a continuation byte, one of an overlong form, or past U+10FFFF).
std::size_t LengthAfterLead(unsigned char lead) {
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return lead < 0xF5 ? 4 : 0;
}

// The length of the well-formed UTF-8 sequence at `i` (shortest form, no
// surrogates, at most U+10FFFF); 0 when the bytes there form none.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  const std::size_t length = LengthAfterLead(lead);
  if (length == 0 || i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  const unsigned char second = byte(i + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string WithLineFeeds(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) ++i;  // the pair is one line break
    result += text[i] == '\r' ? '\n' : text[i];
  }
  return result;
}

std::string WithControlsEscaped(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      const bool control = (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F;
      result += control ? HexEscape(byte) : std::string(1, text[i]);
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, i);
    // U+0080 to U+009F, the C1 controls (a terminal may take U+009B as CSI).
    const bool c1Control =
        length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (length == 0 || c1Control) {
      const std::size_t escaped = c1Control ? 2 : 1;
      for (std::size_t k = 0; k < escaped; ++k)
        result += HexEscape(static_cast<unsigned char>(text[i + k]));
      i += escaped;
    } else {
      result.append(text, i, length);
      i += length;
    }
  }
  return result;
}

void WriteToStderr(const std::string& text) {
  const std::string line = WithControlsEscaped(WithLineFeeds(text)) + '\n';
  // One write, so that lines of concurrent runs do not interleave.
  for (std::size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n <= 0) return;  // nowhere to report to
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace tessarin::linux_platform
