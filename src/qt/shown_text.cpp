#include "qt/shown_text.h"

#include <QStringDecoder>
#include <algorithm>

namespace tessarin::qt {
namespace {

QString FromUtf8(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The length of the well-formed UTF-8 character the bytes start with, or 0:
// only a well-formed one comes back unchanged from a round trip.
std::size_t CharacterLength(std::string_view bytes) {
  constexpr std::size_t kLongestCharacter = 4;
  for (std::size_t length = 1; length <= std::min(bytes.size(), kLongestCharacter); ++length) {
    const std::string_view candidate = bytes.substr(0, length);
    const QByteArray back = FromUtf8(candidate).toUtf8();
    if (std::string_view(back.constData(), static_cast<std::size_t>(back.size())) == candidate)
      return length;
  }
  return 0;
}

}  // namespace

QString ShownText(std::string_view bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString shown = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return shown;
  shown.clear();
  while (!bytes.empty()) {
    std::size_t length = CharacterLength(bytes);
    if (length == 0) {
      shown += QChar(static_cast<unsigned char>(bytes.front()));
      length = 1;
    } else {
      shown += FromUtf8(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
  return shown;
}

}  // namespace tessarin::qt
