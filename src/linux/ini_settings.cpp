#include "linux/ini_settings.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "linux/atomic_update.h"
#include "linux/config_folder.h"
#include "text/ascii_text.h"
#include "text/text_lines.h"

namespace tessarin::linux_platform {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  return text::Trim(text, text::kSpacesAndTabs);
}

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
// The program writes "key=value" and takes such a value exactly; a line edited
// by hand as "key = value" is read too, without the blanks around "=".
std::optional<std::string_view> StoredText(std::string_view body, std::string_view key) {
  const std::size_t equals = body.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view written = body.substr(0, equals);
  const std::string_view value = body.substr(equals + 1);
  if (written == key) return value;
  if (TrimBlanks(written) != key) return std::nullopt;
  return value.substr(std::min(value.find_first_not_of(" \t"), value.size()));
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
    const std::string_view body = text::Body(lines[i]);
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

// A UTF-8 byte-order mark, which editors may put at the start of the file, is
// no part of its first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view WithoutByteOrderMark(std::string_view content) {
  return content.substr(content.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0);
}

}  // namespace

std::optional<std::string> IniValue(std::string_view content, std::string_view section,
                                    std::string_view key) {
  const std::vector<std::string> lines = text::SplitLines(WithoutByteOrderMark(content));
  const Place place = Find(lines, section, key);
  if (!place.entry) return std::nullopt;
  return Unescape(*StoredText(text::Body(lines[*place.entry]), key));
}

std::string IniWithValue(const std::string& whole, const std::string& section,
                         const std::string& key, const std::string& value) {
  const std::string_view content = WithoutByteOrderMark(whole);
  const std::string_view byteOrderMark(whole.data(), whole.size() - content.size());
  std::vector<std::string> lines = text::SplitLines(content);
  const std::string entry = key + "=" + Escape(value);
  const Place place = Find(lines, section, key);
  if (place.entry) {
    std::string& line = lines[*place.entry];
    line = entry + std::string(text::Terminator(line));
  } else if (place.lastOfSection) {
    text::EndLine(lines[*place.lastOfSection]);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*place.lastOfSection) + 1,
                 entry + "\n");
  } else {
    if (!lines.empty()) {
      text::EndLine(lines.back());
      if (!TrimBlanks(text::Body(lines.back())).empty()) lines.push_back("\n");
    }
    lines.push_back("[" + section + "]\n");
    lines.push_back(entry + "\n");
  }
  return std::string(byteOrderMark) + text::JoinLines(lines);
}

std::filesystem::path IniSettings::FileFor(const std::string& application) {
  return ConfigHome() / application / (application + ".ini");
}

std::string IniSettings::Read(const std::string& application, const std::string& section,
                              const std::string& key, const std::string& fallback) {
  if (!ApplicationFitsAFileName(application) || !SectionFitsTheFormat(section) ||
      !KeyFitsTheFormat(key)) {
    return fallback;
  }
  const std::optional<std::string>& content = Content(application);
  if (!content) return fallback;
  return IniValue(*content, section, key).value_or(fallback);
}

void IniSettings::Write(const std::string& application, const std::string& section,
                        const std::string& key, const std::string& value) {
  if (!ApplicationFitsAFileName(application)) {
    throw Failure(FailureKind::SettingsRefused,
                  "\"" + application + "\" cannot name a settings file");
  }
  const std::filesystem::path file = FileFor(application);
  if (!SectionFitsTheFormat(section) || !KeyFitsTheFormat(key)) {
    throw Failure::InFile(FailureKind::SettingsRefused, file.string(),
                          "cannot store the key \"" + key + "\" of section \"" + section + "\"");
  }
  std::string written;
  try {
    UpdateFileAtomically(file, [&](const std::string& content) {
      written = IniWithValue(content, section, key, value);
      return written;
    });
  } catch (const Failure& refused) {
    // The replacement's refusals are the settings' here.
    throw Failure(FailureKind::SettingsRefused, refused.what());
  }
  contents_[application] = std::move(written);
}

const std::optional<std::string>& IniSettings::Content(const std::string& application) {
  const auto known = contents_.find(application);
  if (known != contents_.end()) return known->second;
  std::optional<std::string> content;
  try {
    content = ReadStoredFile(FileFor(application));
  } catch (const Failure&) {
  }
  return contents_.emplace(application, std::move(content)).first->second;
}

}  // namespace tessarin::linux_platform
