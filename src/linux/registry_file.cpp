#include "linux/registry_file.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "linux/atomic_update.h"
#include "linux/config_folder.h"
#include "linux/linux_conventions.h"
#include "linux/text_lines.h"
#include "text/ascii_text.h"

namespace tessarin::linux_platform {
namespace {

namespace status = registry_status;

constexpr std::uint32_t kStringType = 1;
constexpr std::uint32_t kBinaryType = 3;
constexpr std::uint32_t kDwordType = 4;
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::string_view kDesktopKey = "Control Panel\\desktop";

struct Value {
  std::string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

// Registry names ignore ASCII letter case, which is the Linux lower-case mapping.
bool SameName(std::string_view a, std::string_view b) {
  const LinuxConventions conventions;
  return conventions.LowerCase(std::string(a)) == conventions.LowerCase(std::string(b));
}

// --- Reading REGEDIT4 text -------------------------------------------------
// The file is shared with people and other tools, so only what a write needs
// is read: key lines and the names of values. Everything else is kept as it is.

// A "..." text with \\ and \" escapes starting at `at`; moves `at` past it.
std::optional<std::string> Quoted(std::string_view line, std::size_t& at) {
  if (at >= line.size() || line[at] != '"') return std::nullopt;
  std::string text;
  for (std::size_t i = at + 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      at = i + 1;
      return text;
    }
    if (line[i] == '\\' && ++i == line.size()) return std::nullopt;
    text += line[i];
  }
  return std::nullopt;
}

// A value line, "name"=data or @=data for the key's unnamed value.
struct ValueLine {
  std::string name;
  std::size_t dataStart;  // just after the "="
};

std::optional<ValueLine> ReadValueLine(std::string_view line) {
  std::size_t at = 0;
  std::optional<std::string> name;
  if (line.starts_with('@')) {
    name = "";
    at = 1;
  } else {
    name = Quoted(line, at);
  }
  if (!name || at >= line.size() || line[at] != '=') return std::nullopt;
  return ValueLine{std::move(*name), at + 1};
}

// "[HKEY_CURRENT_USER\path]" gives the path; keys of other roots are not ours.
std::optional<std::string> KeyLine(std::string_view line) {
  if (line.size() < 2 || !line.starts_with('[') || !line.ends_with(']')) return std::nullopt;
  const std::string_view inside = line.substr(1, line.size() - 2);
  if (SameName(inside, kRoot)) return "";
  if (inside.size() <= kRoot.size() + 1 || !SameName(inside.substr(0, kRoot.size()), kRoot) ||
      inside[kRoot.size()] != '\\') {
    return std::nullopt;
  }
  return std::string(inside.substr(kRoot.size() + 1));
}

// Hex data may go on over several lines, each but the last ending in "\".
bool ContinuesOnNextLine(std::string_view entry) {
  const auto value = ReadValueLine(entry);
  return value && entry.substr(value->dataStart).starts_with("hex") && entry.ends_with('\\');
}

// The file's lines, a value continued over several lines being one entry.
std::vector<std::string> Entries(std::string_view text) {
  std::vector<std::string> entries;
  bool continued = false;
  for (std::string& line : SplitLines(text)) {
    if (continued) {
      entries.back() += line;
    } else {
      entries.push_back(std::move(line));
    }
    continued = ContinuesOnNextLine(Body(entries.back()));
  }
  return entries;
}

// The key's path as the file spells it. A missing or empty file holds the
// empty desktop key.
std::optional<std::string> FindKey(const std::string& text, std::string_view path) {
  if (text.empty() && SameName(path, kDesktopKey)) return std::string(kDesktopKey);
  for (const std::string& entry : Entries(text)) {
    const auto key = entry.starts_with('[') ? KeyLine(Body(entry)) : std::nullopt;
    if (key && SameName(*key, path)) return key;
  }
  return std::nullopt;
}

// --- Writing REGEDIT4 text -------------------------------------------------

std::string Hex(std::uint32_t number, std::size_t width) {
  std::string text;
  do {
    text.insert(text.begin(), "0123456789abcdef"[number % 16]);
    number /= 16;
  } while (number != 0 || text.size() < width);
  return text;
}

std::string Quote(std::string_view text) { return BackslashQuoted(text, '"'); }

// Text that reads back as the same bytes: one final NUL, no control bytes.
bool IsPlainString(const Value& value) {
  if (value.type != kStringType || value.data.empty() || value.data.back() != 0) return false;
  return std::all_of(value.data.begin(), value.data.end() - 1,
                     [](std::uint8_t byte) { return byte >= 0x20 && byte != 0x7f; });
}

std::string FormatData(const Value& value) {
  if (IsPlainString(value)) return Quote(std::string(value.data.begin(), value.data.end() - 1));
  const auto& data = value.data;
  if (value.type == kDwordType && data.size() == 4) {
    return "dword:" +
           Hex(data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24,
               8);
  }
  std::string text = value.type == kBinaryType ? "hex:" : "hex(" + Hex(value.type, 1) + "):";
  for (std::size_t i = 0; i < data.size(); ++i) text += (i == 0 ? "" : ",") + Hex(data[i], 2);
  return text;
}

std::string ValueText(const Value& value) {
  return (value.name.empty() ? "@" : Quote(value.name)) + "=" + FormatData(value);
}

// Where the value goes: over every line of that name in the key, or else after
// the last value line of the key's first block (or its key line), or else in
// a new block at the end. No other line changes.
std::string WithValue(const std::string& text, std::string_view keyPath, const Value& value) {
  std::vector<std::string> entries = Entries(text.empty() ? "REGEDIT4\n" : text);
  bool inKey = false;
  bool replaced = false;
  int blocksOfKey = 0;
  std::optional<std::size_t> insertAfter;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string_view body = Body(entries[i]);
    if (body.starts_with('[')) {
      const auto path = KeyLine(body);
      inKey = path && SameName(*path, keyPath);
      if (inKey && ++blocksOfKey == 1) insertAfter = i;
    } else if (const auto line = inKey ? ReadValueLine(body) : std::nullopt) {
      if (SameName(line->name, value.name)) {
        // The name keeps the spelling the file gives it.
        entries[i] = std::string(body.substr(0, line->dataStart)) + FormatData(value) +
                     std::string(Terminator(entries[i]));
        replaced = true;
      } else if (blocksOfKey == 1) {
        insertAfter = i;
      }
    }
  }
  if (replaced) return JoinLines(entries);
  if (insertAfter) {
    std::string& before = entries[*insertAfter];
    EndLine(before);
    const std::string terminator(Terminator(before));
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(*insertAfter) + 1,
                   ValueText(value) + terminator);
    return JoinLines(entries);
  }
  EndLine(entries.back());
  if (!Body(entries.back()).empty()) entries.push_back("\n");
  entries.push_back("[" + std::string(kRoot) + (keyPath.empty() ? "" : "\\" + std::string(keyPath)) + "]\n");
  entries.push_back(ValueText(value) + "\n");
  return JoinLines(entries);
}

}  // namespace

std::filesystem::path RegistryFile::File() { return ProgramConfigFolder() / "registry.reg"; }

std::int32_t RegistryFile::OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                              ports::RegistryKey& key) {
  std::optional<std::string> found;
  try {
    found = FindKey(ReadStoredFile(File()), subkey);
  } catch (const std::exception&) {
    return status::kIoFailed;
  }
  if (!found && !subkey.empty()) return status::kFileNotFound;  // the root always exists
  key = next_++;
  open_.emplace(key, OpenKey{found.value_or(""), access});
  return status::kSuccess;
}

std::int32_t RegistryFile::SetValue(ports::RegistryKey key, const std::string& name,
                                    std::uint32_t type, std::span<const std::uint8_t> data) {
  const auto open = open_.find(key);
  if (open == open_.end()) return status::kInvalidHandle;
  if ((open->second.access & kKeySetValue) == 0) return status::kAccessDenied;
  if (name.find_first_of("\r\n") != std::string::npos) return status::kInvalidParameter;
  const Value value{name, type, {data.begin(), data.end()}};
  try {
    // A key removed from the file since it was opened comes back with the value.
    UpdateFileAtomically(File(), [&](const std::string& text) {
      return WithValue(text, open->second.path, value);
    });
  } catch (const std::exception&) {
    return status::kIoFailed;
  }
  return status::kSuccess;
}

std::int32_t RegistryFile::CloseKey(ports::RegistryKey key) {
  return open_.erase(key) == 0 ? status::kInvalidHandle : status::kSuccess;
}

}  // namespace tessarin::linux_platform
