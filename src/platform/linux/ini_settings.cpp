#include "platform/linux/ini_settings.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/failure.h"
#include "platform/linux/atomic_update.h"
#include "platform/linux/config_folder.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {
namespace {

// Every line keeps its own terminator ("\n", "\r\n" or none for a last line
// without one), so that joining the lines gives back the file's bytes.
std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t end = content.find('\n', start);
    const std::size_t next = end == std::string::npos ? content.size() : end + 1;
    lines.push_back(content.substr(start, next - start));
    start = next;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) content += line;
  return content;
}

std::string_view Terminator(std::string_view line) {
  if (line.ends_with("\r\n")) return line.substr(line.size() - 2);
  if (line.ends_with('\n')) return line.substr(line.size() - 1);
  return {};
}

std::string_view Body(std::string_view line) {
  return line.substr(0, line.size() - Terminator(line).size());
}

std::string_view TrimBlanks(std::string_view text) { return Trim(text, kSpacesAndTabs); }

std::optional<std::string_view> SectionName(std::string_view body) {
  const std::string_view trimmed = TrimBlanks(body);
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
  return trimmed.substr(1, trimmed.size() - 2);
}

bool IsComment(std::string_view body) {
  const std::string_view trimmed = TrimBlanks(body);
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

bool IsEntry(std::string_view body) {
  return !IsComment(body) && body.find('=') != std::string_view::npos;
}

// The stored (still escaped) text of `key` when the line is that key's entry.
std::optional<std::string_view> StoredText(std::string_view body, std::string_view key) {
  if (!body.starts_with(key) || body.size() <= key.size() || body[key.size()] != '=') {
    return std::nullopt;
  }
  return body.substr(key.size() + 1);
}

// A key that can be written as "key=value" and found again: it must not hold
// "=" or a line break, nor start like a section header or a comment.
bool KeyFitsTheFormat(std::string_view key) {
  if (key.empty() || key.find_first_of("=\r\n") != std::string_view::npos) return false;
  const std::string_view trimmed = TrimBlanks(key);
  return trimmed.empty() ||
         (trimmed.front() != '[' && trimmed.front() != ';' && trimmed.front() != '#');
}

bool SectionFitsTheFormat(std::string_view section) {
  return section.find_first_of("\r\n") == std::string_view::npos;
}

bool ApplicationFitsAFileName(std::string_view application) {
  return !application.empty() && application != "." && application != ".." &&
         application.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string Escape(std::string_view value) {
  std::string escaped;
  for (const char c : value) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// Unknown escapes and a lone final "\" are kept as written.
std::string Unescape(std::string_view stored) {
  std::string value;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const char next = i + 1 < stored.size() ? stored[i + 1] : '\0';
    if (stored[i] != '\\' || (next != '\\' && next != 'n' && next != 'r')) {
      value += stored[i];
      continue;
    }
    value += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
    ++i;
  }
  return value;
}

// Where a key lives: its entry line, or else the line after which a new entry
// of the section goes (the section's last entry, or its header). Only the
// first section of that name receives new entries; a key is found in any.
struct Place {
  std::optional<std::size_t> entry;
  std::optional<std::size_t> lastOfSection;
};

Place Find(const std::vector<std::string>& lines, std::string_view section, std::string_view key) {
  Place place;
  int sectionsSeen = 0;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view body = Body(lines[i]);
    if (const auto name = SectionName(body)) {
      inside = *name == section;
      if (inside && ++sectionsSeen == 1) place.lastOfSection = i;
    } else if (inside && StoredText(body, key)) {
      place.entry = i;
      return place;
    } else if (inside && sectionsSeen == 1 && IsEntry(body)) {
      place.lastOfSection = i;
    }
  }
  return place;
}

void EndLine(std::string& line) {
  if (Terminator(line).empty()) line += '\n';
}

std::string WithValue(const std::string& content, const std::string& section,
                      const std::string& key, const std::string& value) {
  std::vector<std::string> lines = SplitLines(content);
  const std::string entry = key + "=" + Escape(value);
  const Place place = Find(lines, section, key);
  if (place.entry) {
    std::string& line = lines[*place.entry];
    line = entry + std::string(Terminator(line));
  } else if (place.lastOfSection) {
    EndLine(lines[*place.lastOfSection]);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*place.lastOfSection) + 1,
                 entry + "\n");
  } else {
    if (!lines.empty()) {
      EndLine(lines.back());
      if (!TrimBlanks(Body(lines.back())).empty()) lines.push_back("\n");
    }
    lines.push_back("[" + section + "]\n");
    lines.push_back(entry + "\n");
  }
  return JoinLines(lines);
}

}  // namespace

std::filesystem::path IniSettings::FileFor(const std::string& application) {
  return ConfigHome() / application / (application + ".ini");
}

std::string IniSettings::Read(const std::string& application, const std::string& section,
                              const std::string& key, const std::string& fallback) {
  if (!ApplicationFitsAFileName(application) || !SectionFitsTheFormat(section) ||
      !KeyFitsTheFormat(key)) {
    return fallback;
  }
  std::vector<std::string> lines;
  try {
    lines = SplitLines(ReadStoredFile(FileFor(application)));
  } catch (const Failure&) {
    return fallback;  // an unreadable file holds no values for us
  }
  const Place place = Find(lines, section, key);
  if (!place.entry) return fallback;
  return Unescape(*StoredText(Body(lines[*place.entry]), key));
}

void IniSettings::Write(const std::string& application, const std::string& section,
                        const std::string& key, const std::string& value) {
  if (!ApplicationFitsAFileName(application)) {
    throw Failure("\"" + application + "\" cannot name a settings file");
  }
  const std::filesystem::path file = FileFor(application);
  if (!SectionFitsTheFormat(section) || !KeyFitsTheFormat(key)) {
    throw Failure::InFile(file.string(),
                          "cannot store the key \"" + key + "\" of section \"" + section + "\"");
  }
  UpdateFileAtomically(
      file, [&](const std::string& content) { return WithValue(content, section, key, value); });
}

}  // namespace tessarin::linux_platform
