#pragma once

#include <string>

namespace tessarin::config_window {

// The seven text boxes of the configuration window, named by what they hold,
// in their saving order (the layout table names the controls Text1 to Text7).
enum class TextBox { OutputFile, Canvas, InsetFolder, X, Y, Height, Width };
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

}  // namespace tessarin::config_window
