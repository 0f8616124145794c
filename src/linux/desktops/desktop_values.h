#pragma once

#include <optional>
#include <string>

namespace tessarin::linux_platform::desktops {

// The file's real path, as the file system resolves it: absolute (a desktop
// service has a working directory of its own), free of symbolic links and of
// "." and ".." steps. Removing "x/.." from the text instead would name another
// file when x is a link. Of a path that does not exist (yet), the part that
// does is resolved.
std::string RealPath(const std::string& path);

// "file://" and the absolute path, every byte but letters, digits, "-._~"
// and "/" percent-encoded.
std::string FileUri(const std::string& absolutePath);

// Another spelling of the same file ("/dir/./name"): set just before the real
// value, it makes a desktop that ignores an unchanged value load the file anew,
// and should the run stop in between, the desktop still shows the file.
std::string SameFileOtherSpelling(const std::string& absolutePath);

// The text as a GVariant string literal, the form `gsettings set` parses.
std::string GVariantString(const std::string& text);

// The string a GVariant string literal (as `gsettings get` prints one) holds,
// or none when the text is not one.
std::optional<std::string> ParseGVariantString(const std::string& literal);

}  // namespace tessarin::linux_platform::desktops
