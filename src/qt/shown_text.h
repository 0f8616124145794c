#pragma once

#include <QString>
#include <string_view>

namespace tessarin::qt {

// Text as the program holds it (bytes, UTF-8 when they are valid) turned into
// what a widget shows. Bytes that are not UTF-8, such as a folder named in
// Latin-1, show as the Latin-1 characters they most likely stand for, one
// character each; the valid UTF-8 around them decodes as usual.
QString ShownText(std::string_view bytes);

}  // namespace tessarin::qt
