#include "platform/linux/registry_file.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/linux/atomic_update.h"
#include "platform/linux/config_folder.h"
#include "platform/linux/linux_conventions.h"
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

struct Key {
  std::string path;
  std::vector<Value> values;
};

using Hive = std::vector<Key>;

// Registry names ignore ASCII letter case, which is the Linux lower-case mapping.
bool SameName(std::string_view a, std::string_view b) {
  const LinuxConventions conventions;
  return conventions.LowerCase(std::string(a)) == conventions.LowerCase(std::string(b));
}

std::optional<std::size_t> FindKey(const Hive& hive, std::string_view path) {
  for (std::size_t i = 0; i < hive.size(); ++i) {
    if (SameName(hive[i].path, path)) return i;
  }
  return std::nullopt;
}

std::size_t KeyIndex(Hive& hive, std::string_view path) {
  if (const auto found = FindKey(hive, path)) return *found;
  hive.push_back(Key{std::string(path), {}});
  return hive.size() - 1;
}

// Replaces the value of that name (keeping the name's first spelling) or adds it.
void Store(Key& key, Value value) {
  for (Value& stored : key.values) {
    if (SameName(stored.name, value.name)) {
      stored.type = value.type;
      stored.data = std::move(value.data);
      return;
    }
  }
  key.values.push_back(std::move(value));
}

// --- Reading REGEDIT4 text -------------------------------------------------

template <typename Number>
std::optional<Number> HexNumber(std::string_view digits, std::size_t maxDigits) {
  Number number{};
  if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, number, 16);
  if (error != std::errc() || stop != end) return std::nullopt;
  return number;
}

std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view list) {
  std::vector<std::uint8_t> bytes;
  if (list.empty()) return bytes;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    const auto byte = HexNumber<std::uint8_t>(list.substr(start, comma - start), 2);
    if (!byte) return std::nullopt;
    bytes.push_back(*byte);
    if (comma == std::string_view::npos) return bytes;
    start = comma + 1;
  }
}

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

// The part after "=": "text", dword:xxxxxxxx, hex:aa,... or hex(type):aa,...
std::optional<Value> TypedData(std::string_view data) {
  if (data.starts_with('"')) {
    std::size_t at = 0;
    const auto text = Quoted(data, at);
    if (!text || at != data.size()) return std::nullopt;
    Value value{"", kStringType, {text->begin(), text->end()}};
    value.data.push_back(0);
    return value;
  }
  if (data.starts_with("dword:")) {
    const auto number = HexNumber<std::uint32_t>(data.substr(6), 8);
    if (!number) return std::nullopt;
    Value value{"", kDwordType, {}};
    for (int shift = 0; shift < 32; shift += 8) value.data.push_back((*number >> shift) & 0xff);
    return value;
  }
  std::optional<std::uint32_t> type;
  std::string_view list;
  if (data.starts_with("hex:")) {
    type = kBinaryType;
    list = data.substr(4);
  } else if (data.starts_with("hex(")) {
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos) return std::nullopt;
    type = HexNumber<std::uint32_t>(data.substr(4, close - 4), 8);
    list = data.substr(close + 2);
  }
  const auto bytes = type ? HexBytes(list) : std::nullopt;
  if (!bytes) return std::nullopt;
  return Value{"", *type, *bytes};
}

// "name"=data, or @=data for the key's unnamed value.
std::optional<Value> ValueLine(std::string_view line) {
  std::size_t at = 0;
  std::optional<std::string> name;
  if (line.starts_with('@')) {
    name = "";
    at = 1;
  } else {
    name = Quoted(line, at);
  }
  if (!name || at >= line.size() || line[at] != '=') return std::nullopt;
  auto value = TypedData(line.substr(at + 1));
  if (value) value->name = std::move(*name);
  return value;
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

// Lines that cannot be read are skipped, and so are the values under a key
// line that cannot be read.
Hive ParseHive(const std::string& text) {
  if (text.empty()) return Hive{Key{std::string(kDesktopKey), {}}};
  Hive hive;
  std::optional<std::size_t> current;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with('[')) {
      const auto path = KeyLine(line);
      current = path ? std::optional(KeyIndex(hive, *path)) : std::nullopt;
    } else if (auto value = current ? ValueLine(line) : std::nullopt) {
      Store(hive[*current], std::move(*value));
    }
  }
  return hive;
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

std::string FormatHive(const Hive& hive) {
  std::string text = "REGEDIT4\n";
  for (const Key& key : hive) {
    text += "\n[" + std::string(kRoot) + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
    for (const Value& value : key.values) {
      text += (value.name.empty() ? "@" : Quote(value.name)) + "=" + FormatData(value) + "\n";
    }
  }
  return text;
}

}  // namespace

std::filesystem::path RegistryFile::File() { return ProgramConfigFolder() / "registry.reg"; }

std::int32_t RegistryFile::OpenCurrentUserKey(const std::string& subkey, std::uint32_t access,
                                              platform::RegistryKey& key) {
  Hive hive;
  try {
    hive = ParseHive(ReadStoredFile(File()));
  } catch (const std::exception&) {
    return status::kIoFailed;
  }
  const auto found = FindKey(hive, subkey);
  if (!found && !subkey.empty()) return status::kFileNotFound;  // the root always exists
  key = next_++;
  open_.emplace(key, OpenKey{found ? hive[*found].path : "", access});
  return status::kSuccess;
}

std::int32_t RegistryFile::SetValue(platform::RegistryKey key, const std::string& name,
                                    std::uint32_t type, std::span<const std::uint8_t> data) {
  const auto open = open_.find(key);
  if (open == open_.end()) return status::kInvalidHandle;
  if ((open->second.access & kKeySetValue) == 0) return status::kAccessDenied;
  if (name.find_first_of("\r\n") != std::string::npos) return status::kInvalidParameter;
  const Value value{name, type, {data.begin(), data.end()}};
  try {
    UpdateFileAtomically(File(), [&](const std::string& text) {
      Hive hive = ParseHive(text);
      // A key removed from the file since it was opened comes back with the value.
      Store(hive[KeyIndex(hive, open->second.path)], value);
      return FormatHive(hive);
    });
  } catch (const std::exception&) {
    return status::kIoFailed;
  }
  return status::kSuccess;
}

std::int32_t RegistryFile::CloseKey(platform::RegistryKey key) {
  return open_.erase(key) == 0 ? status::kInvalidHandle : status::kSuccess;
}

}  // namespace tessarin::linux_platform
