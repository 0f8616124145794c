#pragma once

#include <string>

namespace tessarin {

// The seven text boxes of the configuration window, in their saving order.
enum class TextBox { Text1, Text2, Text3, Text4, Text5, Text6, Text7 };
inline constexpr int kTextBoxCount = 7;

// What ConfigForm needs of the window that shows it; each toolkit provides one.
class ConfigView {
 public:
  virtual ~ConfigView() = default;
  virtual std::string Text(TextBox box) const = 0;
  virtual void SetText(TextBox box, const std::string& text) = 0;
  // Closes the window, which unloads the form.
  virtual void Close() = 0;
};

}  // namespace tessarin
