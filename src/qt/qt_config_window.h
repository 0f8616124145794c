#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>

#include "config_window/config_view.h"
#include "linux/gui_module.h"

class QLineEdit;

namespace tessarin::qt {

// ConfigForm drawn with Qt Widgets: every control placed from the layout table
// over the white client area and its decorative picture. OK and closing are
// reported through `events`.
class QtConfigWindow : public QWidget {
 public:
  explicit QtConfigWindow(TessarinConfigWindowEvents events);

  std::string Text(TextBox box) const;
  void SetText(TextBox box, const std::string& text);
  void Close();
  void Show();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddControls();

  TessarinConfigWindowEvents events_;
  QPixmap background_;
  std::array<QLineEdit*, kTextBoxCount> boxes_{};
  // What each box was last given and how it showed it: while the box shows
  // that still, its text is those bytes, UTF-8 or not.
  std::array<std::string, kTextBoxCount> given_;
  std::array<QString, kTextBoxCount> shown_;
};

}  // namespace tessarin::qt
